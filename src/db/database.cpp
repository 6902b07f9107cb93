// Opening, creating and describing project database files.
#include "db/database.h"

#include "db/connection.h"
#include "db/dberror.h"
#include "db/durability.h"
#include "db/jetsql.h"
#include "db/nativesql.h"
#include "db/textrules.h"
#include "db/writelock.h"

#include <QFile>
#include <QFileInfo>
#include <QScopeGuard>
#include <QUrl>
#include <QUrlQuery>

#include <sqlite3.h>

namespace quirelle::db {

namespace {

constexpr int ApplicationId = 0x5155524c; // marks the files this program creates

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

std::shared_ptr<Connection> connect(const QString& path, int flags, bool readOnly)
{
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
    return std::make_shared<Connection>(handle, path, readOnly);
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

} // namespace

bool isServerAddress(const QString& location)
{
    return location.startsWith(QLatin1String("postgresql://"), Qt::CaseInsensitive) ||
           location.startsWith(QLatin1String("postgres://"), Qt::CaseInsensitive);
}

QString displayAddress(const QString& address)
{
    QUrl url(address);
    url.setPassword({});
    QUrlQuery query(url);
    query.removeAllQueryItems(QStringLiteral("password"));
    url.setQuery(query);
    return url.toString();
}

bool hasDatabaseHeader(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return false;
    static const QByteArray magic("SQLite format 3\0", 16);
    return f.read(16) == magic;
}

Database::Database(std::shared_ptr<Connection> c) : m_connection(std::move(c)) {}

Database::~Database() = default;

std::unique_ptr<Database> Database::OpenDatabase(const QString& path, bool readOnlyWanted)
{
    if (isServerAddress(path))
        throw DbError(err::Generic,
                      QStringLiteral("This copy of the program cannot open shared projects."));
    const QFileInfo info(path);
    if (!info.exists() || info.isDir())
        throw DbError(err::FileNotFound, QStringLiteral("Could not find file '%1'.").arg(path));
    // An empty file would be taken for an empty database and written to: refuse it, as any
    // other file that is not a database.
    if (!hasDatabaseHeader(path))
        throw DbError(err::NotADatabase,
                      QStringLiteral("Unrecognized database format '%1'.").arg(path));

    const bool readOnly =
        readOnlyWanted || !info.isWritable() || !QFileInfo(info.absolutePath()).isWritable();
    auto c = connect(path, readOnly ? SQLITE_OPEN_READONLY : SQLITE_OPEN_READWRITE, readOnly);
    // Reading the schema proves the file is a readable database before anyone relies on it.
    // A file held by another program, or one that cannot be read now, is not taken for a
    // damaged one.
    const int rc =
        sqlite3_exec(c->handle(), "SELECT count(*) FROM sqlite_master", nullptr, nullptr, nullptr);
    const int primary = rc & 0xff;
    if (primary == SQLITE_NOTADB || primary == SQLITE_CORRUPT)
        throw DbError(err::NotADatabase,
                      QStringLiteral("Unrecognized database format '%1'.").arg(path));
    if (primary == SQLITE_BUSY || primary == SQLITE_LOCKED)
        throw DbError(err::Locked, QStringLiteral("The project '%1' is in use by another "
                                                  "program. Try again in a moment.")
                                       .arg(path));
    if (rc != SQLITE_OK)
        throw DbError(err::Generic, QStringLiteral("Could not read '%1': %2.")
                                        .arg(path, QString::fromUtf8(sqlite3_errmsg(c->handle()))));
    return std::unique_ptr<Database>(new Database(std::move(c)));
}

std::unique_ptr<Database> Database::CreateDatabase(const QString& pathWithoutExtension,
                                                   const QString& /*locale*/)
{
    const QString path = pathWithoutExtension + QStringLiteral(".mdb");
    if (QFileInfo::exists(path))
        throw DbError(err::DatabaseExists, QStringLiteral("Database already exists."));
    const QFileInfo info(path);
    if (info.fileName() == QLatin1String(".mdb") || !QFileInfo(info.absolutePath()).isDir())
        throw DbError(err::NotAValidPath, QStringLiteral("'%1' is not a valid path.").arg(path));
    auto c = connect(path, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, false);
    // Writing the header makes the new file a database at once, even before it has tables.
    c->exec(
        QStringLiteral("PRAGMA application_id = %1; PRAGMA user_version = 1;").arg(ApplicationId));
    return std::unique_ptr<Database>(new Database(std::move(c)));
}

Connection& Database::connection() const
{
    if (!m_connection)
        throw DbError(err::DatabaseClosed, QStringLiteral("Object invalid or no longer set."));
    return *m_connection;
}

void Database::Close()
{
    m_connection.reset();
}

QString Database::path() const
{
    return connection().path();
}

bool Database::readOnly() const
{
    return connection().readOnly();
}

bool Database::isServer() const
{
    return false;
}

const TableInfo& Database::TableDefs(const QString& name) const
{
    Connection& c = connection();
    if (!c.hasTable(name))
        throw DbError(err::NotInCollection, QStringLiteral("Item not found in this collection."));
    return c.table(name);
}

bool Database::tableExists(const QString& name) const
{
    return connection().hasTable(name);
}

void Database::appendTableDef(const TableDef& def)
{
    Connection& c = connection();
    if (c.hasTable(def.name))
        throw DbError(err::TableExists, QStringLiteral("Table '%1' already exists.").arg(def.name));

    // An auto-increment field with the primary index is the table's own row number; the others
    // are numbered by the engine (see Recordset::Update), so they may also take repeated values.
    QString rowidField;
    for (const IndexDef& i : def.indexes) {
        for (const FieldDef& f : def.fields) {
            if (i.primary && f.name == i.field && f.type == FieldType::Long && (f.attributes & 16))
                rowidField = f.name;
        }
    }
    QStringList fields;
    for (const FieldDef& f : def.fields)
        fields << fieldSql(f, f.name == rowidField);

    Transaction t(*this);
    c.exec(QStringLiteral("CREATE TABLE %1 (%2)")
               .arg(sqliteName(def.name), fields.join(QStringLiteral(", "))));
    for (const IndexDef& i : def.indexes) {
        if (i.field == rowidField)
            continue;
        // Index names repeat across tables, and SQLite's are per database: prefix the table.
        c.exec(QStringLiteral("CREATE %1INDEX %2 ON %3 (%4)")
                   .arg(i.primary ? QStringLiteral("UNIQUE ") : QString(),
                        sqliteName(def.name + QLatin1Char('.') + i.name), sqliteName(def.name),
                        sqliteName(i.field)));
    }
    t.commit();
    c.forgetTables();
}

Recordset Database::OpenRecordset(const QString& query, const QVariantList& params)
{
    auto& c = connection();
    const TranslatedSelect q = translateSelect(
        query, [&c](const QString& name) -> const TableInfo& { return c.table(name); }, params);
    return Recordset(m_connection, q);
}

TableVersion Database::tableVersion(const QString& table) const
{
    Connection& c = connection();
    TableVersion v;
    v.connection = c.serial();
    v.local = c.changesTo(table);
    sqlite3_stmt* s = c.cached(QStringLiteral("PRAGMA data_version"));
    if (sqlite3_step(s) == SQLITE_ROW)
        v.external = sqlite3_column_int64(s, 0);
    sqlite3_reset(s);
    return v;
}

void Database::BeginTrans()
{
    takeWriteLock(connection().handle()); // the transaction may write (db/writelock.h)
    const auto settle = qScopeGuard([this] { settleWriteLock(connection().handle()); });
    connection().exec(QStringLiteral("BEGIN"));
}

void Database::CommitTrans()
{
    const auto settle = qScopeGuard([this] { settleWriteLock(connection().handle()); });
    connection().exec(QStringLiteral("COMMIT"));
}

void Database::Rollback()
{
    const auto settle = qScopeGuard([this] { settleWriteLock(connection().handle()); });
    connection().exec(QStringLiteral("ROLLBACK"));
}

bool Database::inTransaction() const
{
    return sqlite3_get_autocommit(connection().handle()) == 0;
}

ReadTransaction::ReadTransaction(Database& db)
{
    if (db.inTransaction())
        return;
    NativeStatement::exec(db, QStringLiteral("BEGIN")); // without the write lock: it only reads
    m_db = &db;
}

ReadTransaction::~ReadTransaction()
{
    if (!m_db)
        return;
    try {
        m_db->CommitTrans();
    } catch (...) {
        // A transaction that only read has nothing to lose.
    }
}

Transaction::Transaction(Database& db) : m_db(db)
{
    m_db.BeginTrans();
}

Transaction::~Transaction()
{
    if (!m_done) {
        try {
            m_db.Rollback();
        } catch (...) {
            // the connection already undid it
        }
    }
}

void Transaction::commit()
{
    m_db.CommitTrans();
    m_done = true;
}

// ---- Bulk reading and writing ----

namespace {

QString fieldList(const QStringList& fields)
{
    QStringList names;
    for (const QString& f : fields)
        names << sqliteName(f);
    return names.join(QStringLiteral(", "));
}

void bind(Connection& c, sqlite3_stmt* s, int index, const QVariant& v)
{
    int rc;
    if (v.isNull()) {
        rc = sqlite3_bind_null(s, index);
    } else if (v.typeId() == QMetaType::Int || v.typeId() == QMetaType::LongLong ||
               v.typeId() == QMetaType::UInt) {
        rc = sqlite3_bind_int64(s, index, v.toLongLong());
    } else {
        const QByteArray utf8 = v.toString().toUtf8();
        rc = sqlite3_bind_text(s, index, utf8.constData(), static_cast<int>(utf8.size()),
                               SQLITE_TRANSIENT);
    }
    if (rc != SQLITE_OK)
        c.fail(rc);
}

} // namespace

struct RowStream::Impl
{
    std::shared_ptr<Connection> connection;
    std::unique_ptr<Statement> statement;
};

RowStream::RowStream(Database& database, const QString& table, const QStringList& fields,
                     const QString& whereField, const QVariant& whereValue)
    : d(std::make_unique<Impl>())
{
    d->connection = database.m_connection;
    Connection& c = database.connection();
    const QString stored = c.table(table).name;
    QString sql = QStringLiteral("SELECT %1 FROM %2").arg(fieldList(fields), sqliteName(stored));
    if (!whereField.isEmpty())
        sql += QStringLiteral(" WHERE %1 = ?1").arg(sqliteName(whereField));
    sql += QStringLiteral(" ORDER BY rowid");
    d->statement = std::make_unique<Statement>(c, sql);
    if (!whereField.isEmpty())
        bind(c, d->statement->get(), 1, whereValue);
}

RowStream::~RowStream() = default;

void RowStream::restart(const QVariant& whereValue)
{
    sqlite3_stmt* s = d->statement->get();
    sqlite3_reset(s);
    bind(*d->connection, s, 1, whereValue);
}

bool RowStream::next()
{
    const int rc = sqlite3_step(d->statement->get());
    if (rc == SQLITE_ROW)
        return true;
    if (rc != SQLITE_DONE)
        d->connection->fail(sqlite3_extended_errcode(d->connection->handle()));
    return false;
}

QString RowStream::text(int column) const
{
    sqlite3_stmt* s = d->statement->get();
    if (sqlite3_column_type(s, column) == SQLITE_NULL)
        return {};
    const auto* t = reinterpret_cast<const char*>(sqlite3_column_text(s, column));
    return QString::fromUtf8(t, sqlite3_column_bytes(s, column));
}

qint64 RowStream::number(int column) const
{
    return sqlite3_column_int64(d->statement->get(), column);
}

bool RowStream::isNull(int column) const
{
    return sqlite3_column_type(d->statement->get(), column) == SQLITE_NULL;
}

struct RowWriter::Impl
{
    std::shared_ptr<Connection> connection;
    std::unique_ptr<Statement> insert;
    QString table;
    int fieldCount = 0;
    bool numbered = false; // an auto-increment field other than the row number is given here
    qint64 nextNumber = 0;
    bool haveSequence = false;
};

RowWriter::RowWriter(Database& database, const QString& table, const QStringList& fields)
    : d(std::make_unique<Impl>())
{
    d->connection = database.m_connection;
    Connection& c = database.connection();
    const TableInfo& info = c.table(table);
    d->table = info.name;
    d->fieldCount = static_cast<int>(fields.size());
    QStringList all = fields;
    for (const ColumnInfo& col : info.columns) {
        if (!col.autoNumber || col.rowidAlias || fields.contains(col.name, Qt::CaseInsensitive))
            continue;
        // Numbered as Recordset::Update numbers it: past the highest value stored and the
        // highest number handed out, which is kept in sqlite_sequence.
        d->numbered = true;
        all << col.name;
        Statement highest(c, QStringLiteral("SELECT max(%1) FROM %2")
                                 .arg(sqliteName(col.name), sqliteName(info.name)));
        if (sqlite3_step(highest.get()) == SQLITE_ROW)
            d->nextNumber = sqlite3_column_int64(highest.get(), 0);
        Statement sequence(c, QStringLiteral("SELECT 1 FROM sqlite_master WHERE name = "
                                             "'sqlite_sequence'"));
        d->haveSequence = sqlite3_step(sequence.get()) == SQLITE_ROW;
        if (d->haveSequence) {
            Statement seq(c, QStringLiteral("SELECT seq FROM sqlite_sequence WHERE name = ?1"));
            bind(c, seq.get(), 1, info.name);
            if (sqlite3_step(seq.get()) == SQLITE_ROW)
                d->nextNumber = std::max(d->nextNumber, sqlite3_column_int64(seq.get(), 0));
        }
        ++d->nextNumber;
        break;
    }
    QStringList params;
    for (qsizetype i = 1; i <= all.size(); ++i)
        params << QStringLiteral("?%1").arg(i);
    d->insert = std::make_unique<Statement>(
        c, QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
               .arg(sqliteName(info.name), fieldList(all), params.join(QStringLiteral(", "))));
}

RowWriter::~RowWriter() = default;

qint64 RowWriter::add(const QVariantList& values)
{
    Connection& c = *d->connection;
    sqlite3_stmt* s = d->insert->get();
    sqlite3_reset(s);
    for (int i = 0; i < d->fieldCount; ++i)
        bind(c, s, i + 1, i < values.size() ? values[i] : QVariant());
    if (d->numbered) {
        if (d->nextNumber > INT32_MAX)
            throw DbError(err::Generic,
                          QStringLiteral("The table '%1' has run out of numbers.").arg(d->table));
        sqlite3_bind_int64(s, d->fieldCount + 1, d->nextNumber);
    }
    const int rc = sqlite3_step(s);
    sqlite3_reset(s);
    if (rc != SQLITE_DONE)
        c.fail(sqlite3_extended_errcode(c.handle()));
    if (!d->numbered)
        return sqlite3_last_insert_rowid(c.handle());
    const qint64 number = d->nextNumber++;
    if (d->haveSequence) {
        sqlite3_stmt* update =
            c.cached(QStringLiteral("UPDATE sqlite_sequence SET seq = ?1 WHERE name = ?2"));
        sqlite3_bind_int64(update, 1, number);
        bind(c, update, 2, d->table);
        if (sqlite3_step(update) != SQLITE_DONE)
            c.fail(sqlite3_extended_errcode(c.handle()));
        if (sqlite3_changes(c.handle()) == 0) {
            sqlite3_stmt* insert =
                c.cached(QStringLiteral("INSERT INTO sqlite_sequence (name, seq) VALUES (?2, ?1)"));
            sqlite3_bind_int64(insert, 1, number);
            bind(c, insert, 2, d->table);
            if (sqlite3_step(insert) != SQLITE_DONE)
                c.fail(sqlite3_extended_errcode(c.handle()));
            sqlite3_reset(insert);
        }
        sqlite3_reset(update);
    }
    return number;
}

} // namespace quirelle::db
