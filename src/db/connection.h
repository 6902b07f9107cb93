// The open SQLite connection shared by a database and the record sets opened on it, with the
// table descriptions and prepared statements it keeps for them. Internal to the engine.
#pragma once

#include "db/tableinfo.h"

#include <QString>

#include <map>
#include <memory>

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

private:
    sqlite3* m_handle;
    QString m_path;
    bool m_readOnly;
    std::map<QString, TableInfo> m_tables; // by lower-case name
    std::map<QString, sqlite3_stmt*> m_statements;
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
