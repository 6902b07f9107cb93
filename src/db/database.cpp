// Opening, creating and describing project database files.
#include "db/database.h"

#include "db/connection.h"
#include "db/dberror.h"
#include "db/jetsql.h"
#include "db/nativesql.h"
#include "db/pgconnection.h"

#include <QFile>
#include <QFileInfo>
#include <QScopeGuard>
#include <QUrl>
#include <QUrlQuery>

#include <optional>

namespace quirelle::db {

namespace {

constexpr int ApplicationId = 0x5155524c; // marks the files this program creates

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
        return std::unique_ptr<Database>(new Database(openServer(path, readOnlyWanted)));
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
    return std::unique_ptr<Database>(new Database(openSqlite(path, false, readOnly)));
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
    auto c = openSqlite(path, true, false);
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
    return connection().dialect() == Dialect::PostgreSQL;
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

    // Inside the caller's transaction when there is one (a project created on a server).
    std::optional<Transaction> t;
    if (!c.inTransaction())
        t.emplace(*this);
    c.createTable(def);
    if (t)
        t->commit();
    c.forgetTables();
}

Recordset Database::OpenRecordset(const QString& query, const QVariantList& params)
{
    auto& c = connection();
    const TranslatedSelect q = translateSelect(
        query, [&c](const QString& name) -> const TableInfo& { return c.table(name); }, params,
        c.dialect());
    return Recordset(m_connection, q);
}

qint64 Database::othersChanges() const
{
    return connection().othersChanges();
}

TableVersion Database::tableVersion(const QString& table) const
{
    return connection().tableVersion(table);
}

void Database::BeginTrans()
{
    connection().takeWriteTurn(); // the transaction may write
    const auto settle = qScopeGuard([this] { connection().settleWriteTurn(); });
    connection().exec(QStringLiteral("BEGIN"));
}

void Database::CommitTrans()
{
    const auto settle = qScopeGuard([this] { connection().settleWriteTurn(); });
    connection().exec(QStringLiteral("COMMIT"));
}

void Database::Rollback()
{
    const auto settle = qScopeGuard([this] { connection().settleWriteTurn(); });
    connection().exec(QStringLiteral("ROLLBACK"));
}

bool Database::inTransaction() const
{
    return connection().inTransaction();
}

ReadTransaction::ReadTransaction(Database& db)
{
    if (db.inTransaction())
        return;
    NativeStatement::exec(db, QStringLiteral("BEGIN")); // without a write turn: it only reads
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

} // namespace

struct RowStream::Impl
{
    std::shared_ptr<Connection> connection;
    std::unique_ptr<Statement> statement;
    Statement* current = nullptr; // the statement walked
    // A list of values: read in one statement, or one value after another.
    QString listSql;
    std::unique_ptr<Statement> list;
    std::vector<QVariant> values;
    size_t nextValue = 0;
};

RowStream::RowStream(Database& database, const QString& table, const QStringList& fields,
                     const QString& whereField, const QVariant& whereValue)
    : d(std::make_unique<Impl>())
{
    d->connection = database.m_connection;
    Connection& c = database.connection();
    const TableInfo& info = c.table(table);
    QString sql = QStringLiteral("SELECT %1 FROM %2").arg(fieldList(fields), sqliteName(info.name));
    if (!whereField.isEmpty())
        sql += QStringLiteral(" WHERE %1 = ?1").arg(sqliteName(whereField));
    sql += QStringLiteral(" ORDER BY ") + info.rowKey;
    // A walk over a whole table reads it in batches; the rows of one value are few, and one
    // statement reads them for each value in turn.
    d->statement = whereField.isEmpty() ? c.prepareLarge(sql) : c.prepare(sql);
    d->current = d->statement.get();
    if (whereField.isEmpty())
        return;
    d->statement->bind(1, whereValue);
    QStringList columns;
    for (const QString& f : fields)
        columns << QStringLiteral("t.") + sqliteName(f);
    const int where = info.indexOf(whereField);
    d->listSql =
        c.listLookup(info.name, columns.join(QStringLiteral(", ")), sqliteName(whereField),
                     where >= 0 && info.columns[static_cast<size_t>(where)].type == FieldType::Long,
                     info.rowKey);
}

RowStream::~RowStream() = default;

void RowStream::restart(const QVariant& whereValue)
{
    d->values.clear();
    d->current = d->statement.get();
    d->statement->reset();
    d->statement->bind(1, whereValue);
}

void RowStream::restart(const std::vector<QVariant>& values)
{
    if (d->listSql.isEmpty()) {
        d->values = values;
        d->current = d->statement.get();
        d->statement->reset();
        if (values.empty())
            d->statement->bindNull(1); // no rows
        else
            d->statement->bind(1, values.front());
        d->nextValue = 1;
        return;
    }
    if (!d->list)
        d->list = d->connection->prepare(d->listSql);
    d->list->reset();
    d->connection->bindList(*d->list, 1, values);
    d->current = d->list.get();
}

bool RowStream::next()
{
    while (!d->current->step()) {
        if (d->nextValue >= d->values.size())
            return false;
        d->current->reset();
        d->current->bind(1, d->values[d->nextValue++]);
    }
    return true;
}

QString RowStream::text(int column) const
{
    return d->current->text(column);
}

qint64 RowStream::number(int column) const
{
    return d->current->integer(column);
}

bool RowStream::isNull(int column) const
{
    return d->current->isNull(column);
}

struct RowWriter::Impl
{
    std::shared_ptr<Connection> connection;
    std::unique_ptr<Statement> insert;
    std::unique_ptr<BulkInsert> bulk; // the engine's quicker way, for put()
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
    QString numberedByEngine;
    for (const ColumnInfo& col : info.columns) {
        if (!col.autoNumber || col.rowidAlias || fields.contains(col.name, Qt::CaseInsensitive))
            continue;
        if (!c.numbersFields()) {
            numberedByEngine = col.name;
            break;
        }
        // Numbered as Recordset::Update numbers it: past the highest value stored and the
        // highest number handed out, which is kept in sqlite_sequence.
        d->numbered = true;
        all << col.name;
        auto highest = c.prepare(QStringLiteral("SELECT max(%1) FROM %2")
                                     .arg(sqliteName(col.name), sqliteName(info.name)));
        if (highest->step())
            d->nextNumber = highest->integer(0);
        auto sequence = c.prepare(QStringLiteral("SELECT 1 FROM sqlite_master WHERE name = "
                                                 "'sqlite_sequence'"));
        d->haveSequence = sequence->step();
        if (d->haveSequence) {
            auto seq = c.prepare(QStringLiteral("SELECT seq FROM sqlite_sequence WHERE name = ?1"));
            seq->bindText(1, info.name);
            if (seq->step())
                d->nextNumber = std::max(d->nextNumber, seq->integer(0));
        }
        ++d->nextNumber;
        break;
    }
    QStringList params;
    for (qsizetype i = 1; i <= all.size(); ++i)
        params << QStringLiteral("?%1").arg(i);
    d->insert = c.prepare(
        QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
            .arg(sqliteName(info.name), fieldList(all), params.join(QStringLiteral(", "))) +
        c.returning(info, numberedByEngine));
    if (!d->numbered && c.inTransaction())
        d->bulk = c.prepareBulk(info, fields);
}

RowWriter::~RowWriter() = default;

void RowWriter::put(const QVariantList& values)
{
    if (!d->bulk) {
        add(values);
        return;
    }
    d->bulk->add(values);
}

void RowWriter::flush()
{
    if (d->bulk)
        d->bulk->flush();
}

qint64 RowWriter::add(const QVariantList& values)
{
    Connection& c = *d->connection;
    Statement& s = *d->insert;
    s.reset();
    for (int i = 0; i < d->fieldCount; ++i)
        s.bind(i + 1, i < values.size() ? values[i] : QVariant());
    if (d->numbered) {
        if (d->nextNumber > INT32_MAX)
            throw DbError(err::Generic,
                          QStringLiteral("The table '%1' has run out of numbers.").arg(d->table));
        s.bindInteger(d->fieldCount + 1, d->nextNumber);
    }
    s.step();
    const qint64 key = c.insertedKey(s);
    s.reset();
    if (!d->numbered)
        return key;
    const qint64 number = d->nextNumber++;
    if (d->haveSequence) {
        Statement& update =
            c.cached(QStringLiteral("UPDATE sqlite_sequence SET seq = ?1 WHERE name = ?2"));
        update.bindInteger(1, number);
        update.bindText(2, d->table);
        update.run();
        Statement& insert = c.cached(QStringLiteral("INSERT INTO sqlite_sequence (name, seq) "
                                                    "SELECT ?2, ?1 WHERE changes() = 0"));
        insert.bindInteger(1, number);
        insert.bindText(2, d->table);
        insert.run();
    }
    return number;
}

} // namespace quirelle::db
