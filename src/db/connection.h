// The engine's driver layer: an open connection to a project database (a SQLite file or a
// PostgreSQL server) shared by a database and the record sets opened on it, with the table
// descriptions and prepared statements it keeps for them. Internal to the engine: the record
// sets, bulk reading and writing and native statements run on either driver through it.
#pragma once

#include "db/tableinfo.h"

#include <QString>
#include <QVariant>

#include <map>
#include <memory>
#include <optional>
#include <vector>

namespace quirelle::db {

struct TableDef;
struct TableVersion;

// The SQL a connection speaks.
enum class Dialect { SQLite, PostgreSQL };

enum class ValueType { Null, Integer, Real, Text };

// A prepared statement. Parameters are written ?1, ?2 ... in either dialect; failures are
// thrown as engine errors.
class Statement
{
public:
    virtual ~Statement() = default;

    // Binds `value` to the one-based parameter `index`: a null QVariant is Null, whole numbers
    // and truth values bind as integers, real numbers as such, anything else as text.
    void bind(int index, const QVariant& value);
    virtual void bindNull(int index) = 0;
    virtual void bindInteger(int index, qint64 value) = 0;
    virtual void bindReal(int index, double value) = 0;
    virtual void bindText(int index, const QString& value) = 0;
    // Ready to run again from the start, with the values bound so far.
    virtual void reset() = 0;
    // Every parameter Null again.
    virtual void clearBindings() = 0;

    // Runs the statement (the first time) and moves to its next row; false after the last.
    virtual bool step() = 0;
    // Runs the statement to its end.
    void run()
    {
        while (step()) {}
    }

    virtual ValueType type(int column) const = 0;
    bool isNull(int column) const { return type(column) == ValueType::Null; }
    virtual qint64 integer(int column) const = 0;
    virtual double real(int column) const = 0;
    virtual QString text(int column) const = 0;
    // The stored field a selected value comes from, when the driver can say; else "".
    virtual QString originName(int) const { return {}; }
};

// Rows added to one table many at a time and sent to the engine together, in the caller's
// transaction: far fewer exchanges with a server than one INSERT each. The rows kept are sent
// before any other statement runs on the connection (they are dropped by a rollback), when
// enough are kept, and by flush.
class BulkInsert
{
public:
    virtual ~BulkInsert() = default;
    // Keeps a row: the values of the fields in order, checked as binding them checks them.
    virtual void add(const QVariantList& values) = 0;
    // Sends the rows kept. When the engine refuses one, none of those sent together is stored,
    // its error is thrown, and the transaction can only be rolled back.
    virtual void flush() = 0;
};

class Connection
{
public:
    Connection(QString path, bool readOnly);
    virtual ~Connection();
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    virtual Dialect dialect() const = 0;
    const QString& path() const { return m_path; }
    bool readOnly() const { return m_readOnly; }

    // The stored table of that name (letter case ignored); throws err::UnknownTable.
    const TableInfo& table(const QString& name);
    bool hasTable(const QString& name);
    void forgetTables() { m_tables.clear(); }
    // Creates the table from its description (inside the caller's transaction).
    virtual void createTable(const TableDef& def) = 0;

    virtual std::unique_ptr<Statement> prepare(const QString& sql) = 0;
    // A statement kept to run many times.
    virtual std::unique_ptr<Statement> prepareKept(const QString& sql) { return prepare(sql); }
    // A query that may return very many rows, read without holding them all at once.
    virtual std::unique_ptr<Statement> prepareLarge(const QString& sql) { return prepare(sql); }
    // Adding many rows of the fields at once, inside a transaction; nothing when the engine has
    // no quicker way than one INSERT each.
    virtual std::unique_ptr<BulkInsert> prepareBulk(const TableInfo&, const QStringList&)
    {
        return nullptr;
    }
    // A prepared statement kept for the life of the connection (reset, its values cleared).
    Statement& cached(const QString& sql);

    // Reading many rows by a list of values. Where every statement is an exchange with a server,
    // one statement for the whole list costs far less than one for each value; a file reads a
    // row by its value quicker than it reads a list (it has no list statement, "").
    // The statement reads `columns` of `table` where `field` holds one of the values bound as
    // ?1 by bindList: the rows of the first value first, those of one value in the order of
    // their row numbers `rowKey`, a value listed twice giving its rows twice. `numbers`: the
    // field holds whole numbers. The columns are written as SQL over the table named "t", the
    // field and the row key as SQL names of its columns.
    virtual QString listLookup(const QString& /*table*/, const QString& /*columns*/,
                               const QString& /*field*/, bool /*numbers*/,
                               const QString& /*rowKey*/) const
    {
        return {};
    }
    virtual void bindList(Statement&, int /*index*/, const std::vector<QVariant>& /*values*/) {}
    // How many rows a record set reads with its row numbers at most, where its query reads the
    // values of its rows at the same time (0: a file reads the row numbers alone).
    virtual int rowsReadWithKeys() const { return 0; }
    // Runs statements that take no values.
    virtual void exec(const QString& sql) = 0;
    virtual bool inTransaction() const = 0;
    // A transaction that may write takes its turn among this program's connections first
    // (db/writelock.h), and lets the turn go once no transaction is open. A server orders its
    // writers itself.
    virtual void takeWriteTurn() {}
    virtual void settleWriteTurn() {}
    // Holds the row whose key is `key` against other connections' changes until the transaction
    // ends, so that what is read of it next is what a write then replaces. True when it did: a
    // file is written by one connection at a time, and needs nothing of it.
    virtual bool lockRow(const TableInfo&, qint64) { return false; }

    // Rows this connection added, changed or deleted so far, in every table: a value read
    // before stays true while this number stays the same (for this connection's own writes).
    virtual quint64 totalChanges() const = 0;
    virtual TableVersion tableVersion(const QString& table) = 0;
    // A number that grows when other connections commit changes, learnt as cheaply as the engine
    // allows (it may lag behind a commit by a moment).
    virtual qint64 othersChanges() = 0;
    // The number that tells this connection apart from every other opened during the run.
    quint64 serial() const { return m_serial; }

    // Adding a row. Whether the program numbers the auto-increment fields that are not given
    // (else the engine does), that number, and what follows the INSERT so that running it
    // tells the new row's number (insertedKey, after the statement ran): its row number, or
    // where the engine numbers a field, that field's number when asked for it.
    virtual bool numbersFields() const = 0;
    virtual qint32 nextNumber(const TableInfo& table, const ColumnInfo& column) = 0;
    virtual QString returning(const TableInfo& table, const QString& numberedField = {}) const = 0;
    virtual qint64 insertedKey(Statement& insert) = 0;

protected:
    // For a connection that learns only once open that it may not write.
    void markReadOnly() { m_readOnly = true; }
    // Finalizes the kept statements: a driver does so before it closes its connection.
    void dropStatements() { m_statements.clear(); }
    // Reads the description of the table of that name (letter case ignored); nothing when
    // there is none.
    virtual std::optional<TableInfo> describe(const QString& name) = 0;

private:
    QString m_path;
    bool m_readOnly;
    quint64 m_serial;
    std::map<QString, TableInfo> m_tables; // by lower-case name
    std::map<QString, std::unique_ptr<Statement>> m_statements;
};

// A connection to a SQLite project file: created (it must not exist), or opened and proved a
// readable database.
std::shared_ptr<Connection> openSqlite(const QString& path, bool create, bool readOnly);

// The auto-increment field with the primary index, which numbers the table's rows; "" when the
// table has none.
QString numberedKey(const TableDef& def);

// The connection's last failure as an engine error of the dialect's numbers: the SQLite
// result code `rc` with the message.
[[noreturn]] void failSqlite(int rc, const QString& message, const QString& path);

} // namespace quirelle::db
