// The project database engine: open and create database files, describe and create tables,
// open record sets from the program's query texts, and group changes in transactions.
#pragma once

#include "db/recordset.h"
#include "db/tableinfo.h"

#include <QString>
#include <QStringList>
#include <QVariant>

#include <functional>
#include <memory>
#include <vector>

namespace quirelle::db {

class Connection;

// How a table is to be created, field by field, as the schema describes it.
struct FieldDef
{
    static constexpr int AutoIncrement = 17; // fixed size + auto-increment

    QString name;
    FieldType type = FieldType::Text;
    int size = 0;
    int attributes = 0;
    bool allowZeroLength = false;
};

struct IndexDef
{
    QString name;
    QString field;
    bool primary = false;
};

struct TableDef
{
    QString name;
    std::vector<FieldDef> fields;
    std::vector<IndexDef> indexes;
};

// The state of one table's rows: two equal versions mean that nothing was written to the
// table in between, through this program or by another program.
// (On a server both counts come from the table's log of changes, which every member's writes
// add to.)
struct TableVersion
{
    quint64 connection = 0; // which opening of which file
    quint64 local = 0;      // rows written through this connection
    qint64 external = 0;    // commits by other connections to the file
    bool operator==(const TableVersion&) const = default;
};

// Whether `location` names a project on a database server (a "postgresql://" or "postgres://"
// address) rather than a project file.
bool isServerAddress(const QString& location);
// The address as it may be shown or stored: user, host, port and database, never a password.
QString displayAddress(const QString& address);

// Whether the file begins with SQLite's header (an empty file or any other bytes do not).
bool hasDatabaseHeader(const QString& path);

// Tells `observer` the path of every database file that a read or a write found damaged, on
// the thread that found it, however the failure is shown then. Empty: nobody is told.
void setDamageObserver(std::function<void(const QString& file)> observer);

class Database
{
public:
    // Opens an existing database file, shared and read-write (read-only when the file may not
    // be written, or when asked). A file that is missing or not a database fails with an engine
    // error and is left untouched. A server address opens that database on the server instead
    // (read-only when the user's role may only read, or when asked).
    static std::unique_ptr<Database> OpenDatabase(const QString& path, bool readOnly = false);
    // Creates `pathWithoutExtension` + ".mdb" and opens it; fails when that file exists.
    static std::unique_ptr<Database> CreateDatabase(const QString& pathWithoutExtension,
                                                    const QString& locale = {});

    ~Database();
    Database(const Database&) = delete;
    Database& operator=(const Database&) = delete;

    void Close();
    bool isOpen() const { return m_connection != nullptr; }
    QString path() const;
    bool readOnly() const;
    // Whether the database lives on a server; path() is then its address without a password.
    bool isServer() const;

    // The stored table's description; fails (err::NotInCollection) when there is no such table.
    const TableInfo& TableDefs(const QString& name) const;
    bool tableExists(const QString& name) const;
    void appendTableDef(const TableDef& def);

    // Opens a query of the dialect. Each `?` in it takes the next value of `params`, bound:
    // values typed by the user reach the engine this way, never as query text.
    Recordset OpenRecordset(const QString& query, const QVariantList& params = {});

    // Lets a window keep what it read from a table until the table changes.
    TableVersion tableVersion(const QString& table) const;
    // Grows when others commit changes to the database (other connections to the file, other
    // members on the server); cheap enough to ask several times a second.
    qint64 othersChanges() const;

    void BeginTrans();
    void CommitTrans();
    void Rollback();
    bool inTransaction() const;

private:
    friend class RowStream; // bulk reading and writing, at the end of this file
    friend class RowWriter;
    friend class NativeStatement; // SQLite's own statements (db/nativesql.h)
    explicit Database(std::shared_ptr<Connection> c);
    Connection& connection() const;

    std::shared_ptr<Connection> m_connection;
};

// Reads under one lock of the file: outside a transaction the engine takes and checks the lock
// afresh for each statement, and a walk that reads row by row then costs many times longer.
// Nothing is written under it, so it always ends by committing (also when the reading failed, so
// that nothing another handler wrote meanwhile is undone). Inside a transaction it does nothing.
class ReadTransaction
{
public:
    explicit ReadTransaction(Database& db);
    ~ReadTransaction();
    ReadTransaction(const ReadTransaction&) = delete;
    ReadTransaction& operator=(const ReadTransaction&) = delete;

private:
    Database* m_db = nullptr;
};

// Rolls a transaction back unless it was committed: all or nothing for one user action.
class Transaction
{
public:
    explicit Transaction(Database& db);
    ~Transaction();
    Transaction(const Transaction&) = delete;
    Transaction& operator=(const Transaction&) = delete;
    void commit();

private:
    Database& m_db;
    bool m_done = false;
};

// ---- Bulk reading and writing, for importing and exporting many rows at once ----

// Walks chosen fields of a table's rows, in the order of their row numbers, without keeping
// them: memory stays the same however many rows there are. Optionally only the rows whose
// field `whereField` holds `whereValue` exactly.
class RowStream final
{
public:
    RowStream(Database& database, const QString& table, const QStringList& fields,
              const QString& whereField = {}, const QVariant& whereValue = {});
    ~RowStream();
    RowStream(const RowStream&) = delete;
    RowStream& operator=(const RowStream&) = delete;

    // Moves to the next row; false after the last.
    bool next();
    // Walks again from before the first row, now of the rows whose `whereField` holds `value`:
    // reading many such lists takes one prepared statement, not one each.
    void restart(const QVariant& whereValue);
    // Walks again, now of the rows whose `whereField` holds any of `values`: the rows of the
    // first value, then those of the next, as a restart with each value in turn walks them. A
    // server reads them all in one statement.
    void restart(const std::vector<QVariant>& values);
    // The value of the field at `column` (in the order given); Null reads as a null string, or 0.
    QString text(int column) const;
    qint64 number(int column) const;
    bool isNull(int column) const;

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};

// Adds rows to a table through one prepared statement, as AddNew and Update would: the values
// are checked by the table's own rules, and an auto-increment field that is not given is
// numbered the same way.
class RowWriter final
{
public:
    RowWriter(Database& database, const QString& table, const QStringList& fields);
    ~RowWriter();
    RowWriter(const RowWriter&) = delete;
    RowWriter& operator=(const RowWriter&) = delete;

    // Adds one row with the values of the fields in order (an invalid QVariant is Null) and
    // returns its number: the one given to its auto-increment field, else its row number.
    qint64 add(const QVariantList& values);
    // Adds one row as add() does when its number is not needed: on a server, inside a
    // transaction, the rows are then sent many at a time. A row the table refuses then throws
    // here, in flush() or in the next statement on the database (a row written through add()
    // included), with the engine's error; none of the rows sent with it is stored, and the
    // transaction can only be rolled back. The rows not sent yet go when the writer is destroyed
    // (not when an error is on its way out): a refusal then throws from the next statement.
    void put(const QVariantList& values);
    // Sends the rows put() kept; throws the error of a refused one.
    void flush();

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};

} // namespace quirelle::db
