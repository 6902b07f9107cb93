// The open SQLite connection shared by a database and the record sets opened on it, with the
// table descriptions and prepared statements it keeps for them. Internal to the engine.
#pragma once

#include "db/tableinfo.h"

#include <QString>

#include <map>
#include <memory>
#include <string>

struct sqlite3;
struct sqlite3_stmt;

namespace quirelle::db {

class Statement;

class Connection
{
public:
    Connection(sqlite3* handle, QString path, bool readOnly);
    ~Connection();
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    sqlite3* handle() const { return m_handle; }
    const QString& path() const { return m_path; }
    bool readOnly() const { return m_readOnly; }

    // The stored table of that name (letter case ignored); throws err::UnknownTable.
    const TableInfo& table(const QString& name);
    bool hasTable(const QString& name);
    void forgetTables() { m_tables.clear(); }

    // A prepared statement kept for the life of the connection (reset before it is handed out).
    sqlite3_stmt* cached(const QString& sql);
    void exec(const QString& sql);

    // Turns the connection's last failure into an engine error and throws it.
    [[noreturn]] void fail(int rc, const QString& context = {}) const;

    // Rows of `table` added, changed or deleted through this connection so far (letter case
    // ignored), counted as SQLite reports them; and the number that tells this connection
    // apart from every other opened during the run.
    quint64 changesTo(const QString& table) const;
    void noteChange(const char* table);
    quint64 serial() const { return m_serial; }

private:
    sqlite3* m_handle;
    QString m_path;
    bool m_readOnly;
    std::map<QString, TableInfo> m_tables; // by lower-case name
    std::map<QString, sqlite3_stmt*> m_statements;
    std::map<std::string, quint64> m_changes; // by the table's stored name
    quint64 m_serial;
};

// One-shot prepared statement that is finalized when it goes out of scope.
class Statement
{
public:
    Statement(Connection& c, const QString& sql);
    ~Statement();
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;
    sqlite3_stmt* get() const { return m_stmt; }

private:
    sqlite3_stmt* m_stmt = nullptr;
};

} // namespace quirelle::db
