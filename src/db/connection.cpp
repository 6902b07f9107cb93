// The driver layer's shared part (table descriptions, kept statements, bound values) and the
// SQLite driver: the file's connection with the dialect's collation and `like`, its statements,
// and the mapping of SQLite failures onto the engine's error numbers.
#include "db/connection.h"

#include "db/database.h"
#include "db/dberror.h"
#include "db/durability.h"
#include "db/jetsql.h"
#include "db/textrules.h"
#include "db/writelock.h"

#include <QFile>
#include <QRegularExpression>

#include <atomic>
#include <mutex>

#include <sqlite3.h>

namespace quirelle::db {

namespace {

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
    static std::atomic<quint64> serial = 0;
    return ++serial;
}

} // namespace

void setDamageObserver(std::function<void(const QString& file)> observer)
{
    DamageObserver& o = damageObserver();
    const std::lock_guard lock(o.mutex);
    o.observer = std::move(observer);
}

// ---- Shared by the drivers ----

void Statement::bind(int index, const QVariant& value)
{
    const int type = value.typeId();
    if (value.isNull())
        bindNull(index);
    else if (type == QMetaType::Int || type == QMetaType::LongLong || type == QMetaType::UInt ||
             type == QMetaType::ULongLong || type == QMetaType::Bool)
        bindInteger(index, value.toLongLong());
    else if (type == QMetaType::Double)
        bindReal(index, value.toDouble());
    else
        bindText(index, value.toString());
}

Connection::Connection(QString path, bool readOnly)
    : m_path(std::move(path)), m_readOnly(readOnly), m_serial(nextSerial())
{}

Connection::~Connection() = default;

Statement& Connection::cached(const QString& sql)
{
    auto it = m_statements.find(sql);
    if (it == m_statements.end())
        it = m_statements.emplace(sql, prepareKept(sql)).first;
    it->second->reset();
    it->second->clearBindings();
    return *it->second;
}

bool Connection::hasTable(const QString& name)
{
    if (m_tables.count(name.toLower()))
        return true;
    // Not kept: the tables of the full-text index are dropped and made anew by statements of
    // the engine's own language.
    return describe(name).has_value();
}

const TableInfo& Connection::table(const QString& name)
{
    const QString key = name.toLower();
    if (auto it = m_tables.find(key); it != m_tables.end())
        return it->second;
    auto info = describe(name);
    if (!info) {
        throw DbError(err::UnknownTable,
                      QStringLiteral("The engine cannot find the input table or query '%1'. "
                                     "Make sure it exists and that its name is spelled "
                                     "correctly.")
                          .arg(name));
    }
    return m_tables.emplace(key, std::move(*info)).first->second;
}

// ---- SQLite ----

void failSqlite(int rc, const QString& message, const QString& path)
{
    const int primary = rc & 0xff;
    if (primary == SQLITE_READONLY || primary == SQLITE_PERM || primary == SQLITE_AUTH) {
        throw DbError(err::ReadOnly, QStringLiteral("Cannot update. Database or object is "
                                                    "read-only."));
    }
    if (primary == SQLITE_NOTADB || primary == SQLITE_CORRUPT) {
        damageFound(path);
        throw DbError(err::NotADatabase,
                      QStringLiteral("Unrecognized database format '%1'.").arg(path));
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
    throw DbError(err::Generic, message);
}

namespace {

int collateJet(void*, int lengthA, const void* a, int lengthB, const void* b)
{
    return text::collate(
        std::string_view(static_cast<const char*>(a), static_cast<size_t>(lengthA)),
        std::string_view(static_cast<const char*>(b), static_cast<size_t>(lengthB)));
}

void deletePattern(void* p)
{
    delete static_cast<text::LikePattern*>(p);
}

// jetlike(value, pattern): the dialect's `like`. The compiled pattern is kept with the
// statement, so a constant pattern is compiled once per query.
void jetLike(sqlite3_context* context, int, sqlite3_value** args)
{
    if (sqlite3_value_type(args[0]) == SQLITE_NULL || sqlite3_value_type(args[1]) == SQLITE_NULL) {
        sqlite3_result_null(context);
        return;
    }
    auto* pattern = static_cast<text::LikePattern*>(sqlite3_get_auxdata(context, 1));
    if (!pattern) {
        const auto* p = reinterpret_cast<const char*>(sqlite3_value_text(args[1]));
        pattern = new text::LikePattern(QString::fromUtf8(p, sqlite3_value_bytes(args[1])));
        sqlite3_set_auxdata(context, 1, pattern, deletePattern);
        pattern = static_cast<text::LikePattern*>(sqlite3_get_auxdata(context, 1));
        if (!pattern) {
            sqlite3_result_error_nomem(context);
            return;
        }
    }
    const auto* v = reinterpret_cast<const char*>(sqlite3_value_text(args[0]));
    const int n = sqlite3_value_bytes(args[0]);
    sqlite3_result_int(context,
                       pattern->matches(std::string_view(v, static_cast<size_t>(n))) ? 1 : 0);
}

void rowChanged(void* changes, int, const char*, const char* table, sqlite3_int64);

class SqliteConnection final : public Connection
{
public:
    SqliteConnection(sqlite3* handle, const QString& path, bool readOnly)
        : Connection(path, readOnly), m_handle(handle)
    {
        sqlite3_update_hook(m_handle, rowChanged, &m_changes);
    }
    ~SqliteConnection() override
    {
        dropStatements();
        sqlite3_close_v2(m_handle);
        dropWriteLock(m_handle);
    }
    void takeWriteTurn() override { takeWriteLock(m_handle); }
    void settleWriteTurn() override { settleWriteLock(m_handle); }

    sqlite3* handle() const { return m_handle; }
    [[noreturn]] void fail(int rc) const
    {
        failSqlite(rc, QString::fromUtf8(sqlite3_errmsg(m_handle)), path());
    }
    [[noreturn]] void fail() const { fail(sqlite3_extended_errcode(m_handle)); }

    Dialect dialect() const override { return Dialect::SQLite; }
    void createTable(const TableDef& def) override;
    std::unique_ptr<Statement> prepare(const QString& sql) override { return prepare(sql, 0); }
    std::unique_ptr<Statement> prepareKept(const QString& sql) override
    {
        return prepare(sql, SQLITE_PREPARE_PERSISTENT);
    }
    std::unique_ptr<Statement> prepare(const QString& sql, unsigned flags);
    void exec(const QString& sql) override
    {
        char* error = nullptr;
        const int rc = sqlite3_exec(m_handle, sql.toUtf8().constData(), nullptr, nullptr, &error);
        sqlite3_free(error);
        if (rc != SQLITE_OK)
            fail();
    }
    bool inTransaction() const override { return sqlite3_get_autocommit(m_handle) == 0; }
    quint64 totalChanges() const override
    {
        return static_cast<quint64>(sqlite3_total_changes64(m_handle));
    }
    TableVersion tableVersion(const QString& table) override;
    qint64 othersChanges() override;
    bool numbersFields() const override { return true; }
    qint32 nextNumber(const TableInfo& table, const ColumnInfo& column) override;
    QString returning(const TableInfo&, const QString&) const override { return {}; }
    qint64 insertedKey(Statement&) override { return sqlite3_last_insert_rowid(m_handle); }

protected:
    std::optional<TableInfo> describe(const QString& name) override;

private:
    sqlite3* m_handle;
    std::map<std::string, quint64> m_changes; // by the table's stored name
};

void rowChanged(void* changes, int, const char*, const char* table, sqlite3_int64)
{
    ++(*static_cast<std::map<std::string, quint64>*>(changes))[table];
}

class SqliteStatement final : public Statement
{
public:
    SqliteStatement(SqliteConnection& c, sqlite3_stmt* s) : m_c(c), m_s(s) {}
    ~SqliteStatement() override { sqlite3_finalize(m_s); }

    void bindNull(int index) override { check(sqlite3_bind_null(m_s, index)); }
    void bindInteger(int index, qint64 value) override
    {
        check(sqlite3_bind_int64(m_s, index, value));
    }
    void bindReal(int index, double value) override
    {
        check(sqlite3_bind_double(m_s, index, value));
    }
    void bindText(int index, const QString& value) override
    {
        const QByteArray utf8 = value.toUtf8();
        check(sqlite3_bind_text(m_s, index, utf8.constData(), static_cast<int>(utf8.size()),
                                SQLITE_TRANSIENT));
    }
    void reset() override { sqlite3_reset(m_s); }
    void clearBindings() override { sqlite3_clear_bindings(m_s); }
    bool step() override
    {
        const int rc = sqlite3_step(m_s);
        if (rc == SQLITE_ROW)
            return true;
        if (rc != SQLITE_DONE) {
            // Reset at once, so that a failed statement keeps no lock on the file.
            const int code = sqlite3_extended_errcode(m_c.handle());
            const QString message = QString::fromUtf8(sqlite3_errmsg(m_c.handle()));
            sqlite3_reset(m_s);
            failSqlite(code, message, m_c.path());
        }
        return false;
    }
    ValueType type(int column) const override
    {
        switch (sqlite3_column_type(m_s, column)) {
        case SQLITE_NULL:
            return ValueType::Null;
        case SQLITE_INTEGER:
            return ValueType::Integer;
        case SQLITE_FLOAT:
            return ValueType::Real;
        default:
            return ValueType::Text;
        }
    }
    qint64 integer(int column) const override { return sqlite3_column_int64(m_s, column); }
    double real(int column) const override { return sqlite3_column_double(m_s, column); }
    QString text(int column) const override
    {
        const auto* t = reinterpret_cast<const char*>(sqlite3_column_text(m_s, column));
        if (!t)
            return {};
        return QString::fromUtf8(t, sqlite3_column_bytes(m_s, column));
    }
    QString originName(int column) const override
    {
        return QString::fromUtf8(sqlite3_column_origin_name(m_s, column));
    }

private:
    void check(int rc)
    {
        if (rc != SQLITE_OK)
            m_c.fail(rc);
    }

    SqliteConnection& m_c;
    sqlite3_stmt* m_s;
};

std::unique_ptr<Statement> SqliteConnection::prepare(const QString& sql, unsigned flags)
{
    sqlite3_stmt* stmt = nullptr;
    const QByteArray text = sql.toUtf8();
    if (sqlite3_prepare_v3(m_handle, text.constData(), static_cast<int>(text.size()), flags, &stmt,
                           nullptr) != SQLITE_OK) {
        fail();
    }
    return std::make_unique<SqliteStatement>(*this, stmt);
}

qint64 SqliteConnection::othersChanges()
{
    Statement& s = cached(QStringLiteral("PRAGMA data_version"));
    const qint64 version = s.step() ? s.integer(0) : 0;
    s.reset();
    return version;
}

TableVersion SqliteConnection::tableVersion(const QString& table)
{
    TableVersion v;
    v.connection = serial();
    for (const auto& [name, count] : m_changes) {
        if (QString::fromStdString(name).compare(table, Qt::CaseInsensitive) == 0)
            v.local = count;
    }
    Statement& s = cached(QStringLiteral("PRAGMA data_version"));
    if (s.step())
        v.external = s.integer(0);
    s.reset();
    return v;
}

// The next number of an auto-increment field that is not the row number: one past both the
// highest number given so far and the highest value stored, so a number is never handed out
// twice even after its row was deleted. The highest number given is kept where SQLite keeps
// its own, in sqlite_sequence.
qint32 SqliteConnection::nextNumber(const TableInfo& table, const ColumnInfo& c)
{
    qint64 highest = 0;
    {
        auto s = prepare(QStringLiteral("SELECT max(%1) FROM %2")
                             .arg(sqliteName(c.name), sqliteName(table.name)));
        if (s->step())
            highest = s->integer(0);
    }
    const bool haveSequence = [&] {
        auto s = prepare(QStringLiteral("SELECT 1 FROM sqlite_master WHERE name = "
                                        "'sqlite_sequence'"));
        return s->step();
    }();
    if (haveSequence) {
        auto s = prepare(QStringLiteral("SELECT seq FROM sqlite_sequence WHERE name = ?1"));
        s->bindText(1, table.name);
        if (s->step())
            highest = std::max(highest, s->integer(0));
    }
    if (highest >= INT32_MAX)
        throw DbError(err::Generic,
                      QStringLiteral("The table '%1' has run out of numbers.").arg(table.name));
    const qint64 next = highest + 1;
    if (haveSequence) {
        auto del = prepare(QStringLiteral("DELETE FROM sqlite_sequence WHERE name = ?1"));
        del->bindText(1, table.name);
        del->run();
        auto ins = prepare(QStringLiteral("INSERT INTO sqlite_sequence (name, seq) VALUES (?1, "
                                          "?2)"));
        ins->bindText(1, table.name);
        ins->bindInteger(2, next);
        ins->run();
    }
    return static_cast<qint32>(next);
}

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

std::optional<TableInfo> SqliteConnection::describe(const QString& name)
{
    TableInfo info;
    {
        auto s = prepare(QStringLiteral("SELECT name FROM sqlite_master WHERE type = 'table' AND "
                                        "name = ?1 COLLATE NOCASE AND name NOT LIKE 'sqlite\\_%' "
                                        "ESCAPE '\\'"));
        s->bindText(1, name);
        if (!s->step())
            return std::nullopt;
        info.name = s->text(0);
    }
    auto s = prepare(QStringLiteral("PRAGMA table_info(%1)").arg(sqliteName(info.name)));
    while (s->step())
        info.columns.push_back(describeColumn(s->text(1), s->text(2), s->integer(5) == 1));
    return info;
}

QString fieldSql(const FieldDef& f, bool rowid)
{
    const QString name = sqliteName(f.name);
    QString sql = name;
    switch (f.type) {
    case FieldType::Long:
        if (rowid)
            sql += QStringLiteral(" INTEGER PRIMARY KEY AUTOINCREMENT");
        else if (f.attributes & 16)
            sql += QStringLiteral(" COUNTER");
        else
            sql += QStringLiteral(" INTEGER");
        return sql;
    case FieldType::Text:
        sql += QStringLiteral(" VARCHAR(%1) CONSTRAINT %2 CHECK (length(%3) <= %1)")
                   .arg(f.size)
                   .arg(sqliteName(f.name + QStringLiteral(" size")), name);
        break;
    case FieldType::Memo:
        sql += QStringLiteral(" LONGTEXT");
        break;
    }
    if (!f.allowZeroLength) {
        sql += QStringLiteral(" CONSTRAINT %1 CHECK (%2 <> '')")
                   .arg(sqliteName(f.name + QStringLiteral(" not empty")), name);
    }
    return sql;
}

void SqliteConnection::createTable(const TableDef& def)
{
    // An auto-increment field with the primary index is the table's own row number; the others
    // are numbered by the engine (see nextNumber), so they may also take repeated values.
    const QString rowidField = numberedKey(def);
    QStringList fields;
    for (const FieldDef& f : def.fields)
        fields << fieldSql(f, f.name == rowidField);

    exec(QStringLiteral("CREATE TABLE %1 (%2)")
             .arg(sqliteName(def.name), fields.join(QStringLiteral(", "))));
    for (const IndexDef& i : def.indexes) {
        if (i.field == rowidField)
            continue;
        // Index names repeat across tables, and SQLite's are per database: prefix the table.
        exec(QStringLiteral("CREATE %1INDEX %2 ON %3 (%4)")
                 .arg(i.primary ? QStringLiteral("UNIQUE ") : QString(),
                      sqliteName(def.name + QLatin1Char('.') + i.name), sqliteName(def.name),
                      sqliteName(i.field)));
    }
}

} // namespace

QString numberedKey(const TableDef& def)
{
    for (const IndexDef& i : def.indexes) {
        for (const FieldDef& f : def.fields) {
            if (i.primary && f.name == i.field && f.type == FieldType::Long && (f.attributes & 16))
                return f.name;
        }
    }
    return {};
}

std::shared_ptr<Connection> openSqlite(const QString& path, bool create, bool readOnly)
{
    const int flags = create     ? SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE
                      : readOnly ? SQLITE_OPEN_READONLY
                                 : SQLITE_OPEN_READWRITE;
    sqlite3* handle = nullptr;
    const int rc = sqlite3_open_v2(QFile::encodeName(path).constData(), &handle, flags, nullptr);
    if (rc != SQLITE_OK) {
        sqlite3_close_v2(handle);
        throw DbError(err::NotAValidPath, QStringLiteral("'%1' is not a valid path.").arg(path));
    }
    sqlite3_extended_result_codes(handle, 1);
    waitWhenBusy(handle, 2000);
    applyDurabilitySettings(handle);
    sqlite3_create_collation_v2(handle, "JET", SQLITE_UTF8, nullptr, collateJet, nullptr);
    sqlite3_create_function_v2(handle, "jetlike", 2, SQLITE_UTF8 | SQLITE_DETERMINISTIC, nullptr,
                               jetLike, nullptr, nullptr, nullptr);
    auto c = std::make_shared<SqliteConnection>(handle, path, readOnly);
    if (create)
        return c;
    // Reading the schema proves the file is a readable database before anyone relies on it.
    // A file held by another program, or one that cannot be read now, is not taken for a
    // damaged one.
    const int probe =
        sqlite3_exec(handle, "SELECT count(*) FROM sqlite_master", nullptr, nullptr, nullptr);
    const int primary = probe & 0xff;
    if (primary == SQLITE_NOTADB || primary == SQLITE_CORRUPT)
        throw DbError(err::NotADatabase,
                      QStringLiteral("Unrecognized database format '%1'.").arg(path));
    if (primary == SQLITE_BUSY || primary == SQLITE_LOCKED)
        throw DbError(err::Locked, QStringLiteral("The project '%1' is in use by another "
                                                  "program. Try again in a moment.")
                                       .arg(path));
    if (probe != SQLITE_OK)
        throw DbError(err::Generic, QStringLiteral("Could not read '%1': %2.")
                                        .arg(path, QString::fromUtf8(sqlite3_errmsg(handle))));
    return c;
}

} // namespace quirelle::db
