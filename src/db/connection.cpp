// The shared SQLite connection: table descriptions read from the file, cached statements, and
// the mapping of SQLite failures onto the engine's error numbers.
#include "db/connection.h"

#include "db/database.h"
#include "db/dberror.h"
#include "db/jetsql.h"
#include "db/writelock.h"

#include <QRegularExpression>

#include <mutex>

#include <sqlite3.h>

namespace quirelle::db {

namespace {

void rowChanged(void* connection, int, const char*, const char* table, sqlite3_int64)
{
    static_cast<Connection*>(connection)->noteChange(table);
}

struct DamageObserver
{
    std::mutex mutex;
    std::function<void(const QString&)> observer;
};

DamageObserver& damageObserver()
{
    static DamageObserver o;
    return o;
}

void damageFound(const QString& file)
{
    DamageObserver& o = damageObserver();
    const std::lock_guard lock(o.mutex);
    if (o.observer)
        o.observer(file);
}

quint64 nextSerial()
{
    static quint64 serial = 0;
    return ++serial;
}

} // namespace

void setDamageObserver(std::function<void(const QString& file)> observer)
{
    DamageObserver& o = damageObserver();
    const std::lock_guard lock(o.mutex);
    o.observer = std::move(observer);
}

Connection::Connection(sqlite3* handle, QString path, bool readOnly)
    : m_handle(handle), m_path(std::move(path)), m_readOnly(readOnly), m_serial(nextSerial())
{
    sqlite3_update_hook(m_handle, rowChanged, this);
}

void Connection::noteChange(const char* table)
{
    ++m_changes[table];
}

quint64 Connection::changesTo(const QString& table) const
{
    for (const auto& [name, count] : m_changes) {
        if (QString::fromStdString(name).compare(table, Qt::CaseInsensitive) == 0)
            return count;
    }
    return 0;
}

Connection::~Connection()
{
    for (auto& [sql, stmt] : m_statements)
        sqlite3_finalize(stmt);
    sqlite3_close_v2(m_handle);
    dropWriteLock(m_handle);
}

void Connection::fail(int rc, const QString& context) const
{
    const QString message = QString::fromUtf8(sqlite3_errmsg(m_handle));
    const int primary = rc & 0xff;
    if (primary == SQLITE_READONLY || primary == SQLITE_PERM || primary == SQLITE_AUTH) {
        throw DbError(err::ReadOnly, QStringLiteral("Cannot update. Database or object is "
                                                    "read-only."));
    }
    if (primary == SQLITE_NOTADB || primary == SQLITE_CORRUPT) {
        damageFound(m_path);
        throw DbError(err::NotADatabase,
                      QStringLiteral("Unrecognized database format '%1'.").arg(m_path));
    }
    if (rc == SQLITE_CONSTRAINT_PRIMARYKEY || rc == SQLITE_CONSTRAINT_UNIQUE) {
        throw DbError(err::Duplicate,
                      QStringLiteral("The changes you requested to the table were not successful "
                                     "because they would create duplicate values in the index, "
                                     "primary key, or relationship."));
    }
    if (rc == SQLITE_CONSTRAINT_CHECK) {
        // The table's own checks, named "<field> not empty" and "<field> size".
        static const QRegularExpression named(
            QStringLiteral("CHECK constraint failed: (.*) (not empty|size)$"));
        const auto m = named.match(message);
        if (m.hasMatch() && m.captured(2) == QLatin1String("not empty")) {
            throw DbError(
                err::ZeroLength,
                QStringLiteral("Field '%1' cannot be a zero-length string.").arg(m.captured(1)));
        }
        throw DbError(err::FieldTooSmall,
                      QStringLiteral("The field is too small to accept the amount of data you "
                                     "attempted to add. Try inserting or pasting less data."));
    }
    if (primary == SQLITE_FULL) {
        throw DbError(err::DiskFull, QStringLiteral("Not enough space on the disk: the change was "
                                                    "not stored."));
    }
    if (primary == SQLITE_BUSY || primary == SQLITE_LOCKED) {
        throw DbError(err::Locked, QStringLiteral("The project is in use by another program "
                                                  "(another copy of this program, perhaps): the "
                                                  "change was not stored. Try again in a moment."));
    }
    throw DbError(err::Generic,
                  context.isEmpty() ? message : context + QStringLiteral(": ") + message);
}

void Connection::exec(const QString& sql)
{
    char* error = nullptr;
    const int rc = sqlite3_exec(m_handle, sql.toUtf8().constData(), nullptr, nullptr, &error);
    sqlite3_free(error);
    if (rc != SQLITE_OK)
        fail(sqlite3_extended_errcode(m_handle));
}

sqlite3_stmt* Connection::cached(const QString& sql)
{
    auto it = m_statements.find(sql);
    if (it == m_statements.end()) {
        sqlite3_stmt* stmt = nullptr;
        const QByteArray text = sql.toUtf8();
        if (sqlite3_prepare_v3(m_handle, text.constData(), static_cast<int>(text.size()),
                               SQLITE_PREPARE_PERSISTENT, &stmt, nullptr) != SQLITE_OK) {
            fail(sqlite3_extended_errcode(m_handle));
        }
        it = m_statements.emplace(sql, stmt).first;
    }
    sqlite3_reset(it->second);
    sqlite3_clear_bindings(it->second);
    return it->second;
}

namespace {

ColumnInfo describeColumn(const QString& name, const QString& declared, bool primaryKey)
{
    ColumnInfo c;
    c.name = name;
    const QString type = declared.trimmed().toUpper();
    static const QRegularExpression sized(
        QStringLiteral("^(VARCHAR|TEXT|CHAR)\\s*\\(\\s*(\\d+)\\s*\\)$"));
    if (type == QLatin1String("COUNTER")) {
        c.type = FieldType::Long;
        c.autoNumber = true;
    } else if (type == QLatin1String("INTEGER") && primaryKey) {
        c.type = FieldType::Long;
        c.autoNumber = true;
        c.rowidAlias = true;
    } else if (type.contains(QLatin1String("INT"))) {
        c.type = FieldType::Long;
    } else if (const auto m = sized.match(type); m.hasMatch()) {
        c.type = FieldType::Text;
        c.size = m.captured(2).toInt();
    } else {
        c.type = FieldType::Memo;
    }
    return c;
}

} // namespace

bool Connection::hasTable(const QString& name)
{
    if (m_tables.count(name.toLower()))
        return true;
    Statement s(*this, QStringLiteral("SELECT 1 FROM sqlite_master WHERE type = 'table' AND "
                                      "name = ?1 COLLATE NOCASE AND name NOT LIKE 'sqlite\\_%' "
                                      "ESCAPE '\\'"));
    const QByteArray n = name.toUtf8();
    sqlite3_bind_text(s.get(), 1, n.constData(), static_cast<int>(n.size()), SQLITE_TRANSIENT);
    const int rc = sqlite3_step(s.get());
    if (rc != SQLITE_ROW && rc != SQLITE_DONE)
        fail(sqlite3_extended_errcode(m_handle));
    return rc == SQLITE_ROW;
}

const TableInfo& Connection::table(const QString& name)
{
    const QString key = name.toLower();
    if (auto it = m_tables.find(key); it != m_tables.end())
        return it->second;

    QString stored;
    {
        Statement s(*this, QStringLiteral("SELECT name FROM sqlite_master WHERE type = 'table' AND "
                                          "name = ?1 COLLATE NOCASE AND name NOT LIKE 'sqlite\\_%' "
                                          "ESCAPE '\\'"));
        const QByteArray n = name.toUtf8();
        sqlite3_bind_text(s.get(), 1, n.constData(), static_cast<int>(n.size()), SQLITE_TRANSIENT);
        const int rc = sqlite3_step(s.get());
        if (rc == SQLITE_ROW) {
            stored =
                QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(s.get(), 0)));
        } else if (rc == SQLITE_DONE) {
            throw DbError(err::UnknownTable,
                          QStringLiteral("The engine cannot find the input table or query '%1'. "
                                         "Make sure it exists and that its name is spelled "
                                         "correctly.")
                              .arg(name));
        } else {
            fail(sqlite3_extended_errcode(m_handle));
        }
    }

    TableInfo info;
    info.name = stored;
    Statement s(*this, QStringLiteral("PRAGMA table_info(%1)").arg(sqliteName(stored)));
    int rc;
    while ((rc = sqlite3_step(s.get())) == SQLITE_ROW) {
        const auto text = [&](int col) {
            return QString::fromUtf8(
                reinterpret_cast<const char*>(sqlite3_column_text(s.get(), col)));
        };
        info.columns.push_back(
            describeColumn(text(1), text(2), sqlite3_column_int(s.get(), 5) == 1));
    }
    if (rc != SQLITE_DONE)
        fail(sqlite3_extended_errcode(m_handle));
    return m_tables.emplace(key, std::move(info)).first->second;
}

Statement::Statement(Connection& c, const QString& sql)
{
    const QByteArray text = sql.toUtf8();
    if (sqlite3_prepare_v2(c.handle(), text.constData(), static_cast<int>(text.size()), &m_stmt,
                           nullptr) != SQLITE_OK) {
        c.fail(sqlite3_extended_errcode(c.handle()));
    }
}

Statement::~Statement()
{
    sqlite3_finalize(m_stmt);
}

} // namespace quirelle::db
