// Statements in the engine's own language (SQLite's for a project file, PostgreSQL's on a
// server), for the tables the dialect cannot describe (the full-text index): prepared, with
// bound values written ?1, ?2 ... in either, failures turned into engine errors.
#pragma once

#include <QString>
#include <QVariant>

#include <memory>

namespace quirelle::db {

class Connection;
class Database;
class Statement;

class NativeStatement final
{
public:
    NativeStatement(Database& database, const QString& sql);
    ~NativeStatement();
    NativeStatement(const NativeStatement&) = delete;
    NativeStatement& operator=(const NativeStatement&) = delete;

    // Binds `value` to the one-based parameter `index` (a null QVariant is Null; whole numbers
    // bind as integers, anything else as text). Resets the statement first, so that one
    // statement runs again with new values.
    NativeStatement& bind(int index, const QVariant& value);
    // Moves to the next row; false after the last.
    bool next();
    // Runs the statement to its end.
    void run();

    QString text(int column) const;
    qint64 number(int column) const;
    double real(int column) const;
    bool isNull(int column) const;

    // Runs statements that take no values.
    static void exec(Database& database, const QString& sql);

private:
    std::shared_ptr<Connection> m_connection;
    std::unique_ptr<Statement> m_statement;
    bool m_stepped = false;
};

} // namespace quirelle::db
