// The project database engine: open and create database files, describe and create tables,
// open record sets from the program's query texts, and group changes in transactions.
#pragma once

#include "db/recordset.h"
#include "db/tableinfo.h"

#include <QString>

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
struct TableVersion
{
    quint64 connection = 0; // which opening of which file
    quint64 local = 0;      // rows written through this connection
    qint64 external = 0;    // commits by other connections to the file
    bool operator==(const TableVersion&) const = default;
};

class Database
{
public:
    // Opens an existing database file, shared and read-write (read-only when the file may not
    // be written, or when asked). A file that is missing or not a database fails with an engine
    // error and is left untouched.
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

    // The stored table's description; fails (err::NotInCollection) when there is no such table.
    const TableInfo& TableDefs(const QString& name) const;
    bool tableExists(const QString& name) const;
    void appendTableDef(const TableDef& def);

    // Opens a query of the dialect. Each `?` in it takes the next value of `params`, bound:
    // values typed by the user reach the engine this way, never as query text.
    Recordset OpenRecordset(const QString& query, const QVariantList& params = {});

    // Lets a window keep what it read from a table until the table changes.
    TableVersion tableVersion(const QString& table) const;

    void BeginTrans();
    void CommitTrans();
    void Rollback();
    bool inTransaction() const;

private:
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

} // namespace quirelle::db
