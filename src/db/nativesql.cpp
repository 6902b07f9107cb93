// The engine's own statements on a project's connection.
#include "db/nativesql.h"

#include "db/connection.h"
#include "db/database.h"

namespace quirelle::db {

NativeStatement::NativeStatement(Database& database, const QString& sql)
    : m_connection(database.m_connection)
{
    m_statement = database.connection().prepare(sql);
}

NativeStatement::~NativeStatement() = default;

NativeStatement& NativeStatement::bind(int index, const QVariant& value)
{
    if (m_stepped) {
        m_statement->reset();
        m_stepped = false;
    }
    m_statement->bind(index, value);
    return *this;
}

bool NativeStatement::next()
{
    m_stepped = true;
    return m_statement->step();
}

void NativeStatement::run()
{
    while (next()) {}
}

QString NativeStatement::text(int column) const
{
    return m_statement->text(column);
}

qint64 NativeStatement::number(int column) const
{
    return m_statement->integer(column);
}

double NativeStatement::real(int column) const
{
    return m_statement->real(column);
}

bool NativeStatement::isNull(int column) const
{
    return m_statement->isNull(column);
}

void NativeStatement::exec(Database& database, const QString& sql)
{
    database.connection().exec(sql);
}

} // namespace quirelle::db
