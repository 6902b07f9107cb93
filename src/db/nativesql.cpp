// SQLite's own statements on a project's connection.
#include "db/nativesql.h"

#include "db/connection.h"
#include "db/database.h"

#include <sqlite3.h>

namespace quirelle::db {

NativeStatement::NativeStatement(Database& database, const QString& sql)
    : m_connection(database.m_connection)
{
    m_statement = std::make_unique<Statement>(database.connection(), sql);
}

NativeStatement::~NativeStatement() = default;

NativeStatement& NativeStatement::bind(int index, const QVariant& value)
{
    sqlite3_stmt* s = m_statement->get();
    if (m_stepped) {
        sqlite3_reset(s);
        m_stepped = false;
    }
    int rc;
    const int type = value.typeId();
    if (value.isNull()) {
        rc = sqlite3_bind_null(s, index);
    } else if (type == QMetaType::Int || type == QMetaType::LongLong || type == QMetaType::UInt ||
               type == QMetaType::ULongLong || type == QMetaType::Bool) {
        rc = sqlite3_bind_int64(s, index, value.toLongLong());
    } else if (type == QMetaType::Double) {
        rc = sqlite3_bind_double(s, index, value.toDouble());
    } else {
        const QByteArray utf8 = value.toString().toUtf8();
        rc = sqlite3_bind_text(s, index, utf8.constData(), static_cast<int>(utf8.size()),
                               SQLITE_TRANSIENT);
    }
    if (rc != SQLITE_OK)
        m_connection->fail(rc);
    return *this;
}

bool NativeStatement::next()
{
    m_stepped = true;
    const int rc = sqlite3_step(m_statement->get());
    if (rc == SQLITE_ROW)
        return true;
    if (rc != SQLITE_DONE)
        m_connection->fail(sqlite3_extended_errcode(m_connection->handle()));
    return false;
}

void NativeStatement::run()
{
    while (next()) {}
}

QString NativeStatement::text(int column) const
{
    sqlite3_stmt* s = m_statement->get();
    const auto* bytes = reinterpret_cast<const char*>(sqlite3_column_text(s, column));
    if (!bytes)
        return {};
    return QString::fromUtf8(bytes, sqlite3_column_bytes(s, column));
}

qint64 NativeStatement::number(int column) const
{
    return sqlite3_column_int64(m_statement->get(), column);
}

double NativeStatement::real(int column) const
{
    return sqlite3_column_double(m_statement->get(), column);
}

bool NativeStatement::isNull(int column) const
{
    return sqlite3_column_type(m_statement->get(), column) == SQLITE_NULL;
}

void NativeStatement::exec(Database& database, const QString& sql)
{
    database.connection().exec(sql);
}

} // namespace quirelle::db
