// The PostgreSQL driver: a project's tables on a database server, through libpq. Statements are
// sent with their values apart from the text (never as SQL), and prepared on the server once
// they run a second time. A table without a numbered key gets a hidden `rowid` column that
// addresses its rows, as SQLite's own row number does in a file. Every table tells the changes
// to it through statement-level triggers: a row in quirelle_changes per statement (read by
// tableVersion) and a notice on the channel "quirelle" with the table's name.
#include "db/pgconnection.h"

#include "db/connection.h"
#include "db/database.h"
#include "db/dberror.h"
#include "db/jetsql.h"
#include "db/nativesql.h"

#include <QChar>
#include <QMutex>
#include <QRegularExpression>
#include <QUrl>
#include <QUrlQuery>

#include <libpq-fe.h>

#include <algorithm>
#include <cstring>
#include <exception>
#include <map>
#include <optional>
#include <utility>

namespace quirelle::db {

namespace {

// Type numbers of the server's built-in types the engine reads.
constexpr Oid Int2 = 21, Int4 = 23, Int8 = 20, Float4 = 700, Float8 = 701, Numeric = 1700,
              Bool = 16;

// The password of each address opened with one, by its display address: other connections of
// this process open the project again by path(), which never holds a password.
struct Passwords
{
    QMutex mutex;
    std::map<QString, QString> addresses;
};

Passwords& passwords()
{
    static Passwords p;
    return p;
}

QString passwordOf(const QString& address)
{
    const QUrl url(address);
    if (!url.password().isEmpty())
        return url.password();
    return QUrlQuery(url).queryItemValue(QStringLiteral("password"), QUrl::FullyDecoded);
}

// The address to connect to: the one given, or the one with the password this process was
// given for it before.
QString fullAddress(const QString& address)
{
    Passwords& p = passwords();
    const QMutexLocker lock(&p.mutex);
    const QString shown = displayAddress(address);
    if (!passwordOf(address).isEmpty()) {
        p.addresses[shown] = address;
        return address;
    }
    const auto it = p.addresses.find(shown);
    return it == p.addresses.end() ? address : it->second;
}

// A message of the server or of libpq, without the password should it appear in it.
QString scrubbed(QString message, const QString& password)
{
    if (!password.isEmpty())
        message.replace(password, QStringLiteral("********"));
    return message.trimmed();
}

QString quoted(const QString& name)
{
    return sqliteName(name);
}

// Writes ?1, ?2 ... as the server's $1, $2 ..., outside quoted text and names.
QString serverParameters(const QString& sql, int* count)
{
    QString out;
    out.reserve(sql.size());
    QChar quote;
    *count = 0;
    for (qsizetype i = 0; i < sql.size(); ++i) {
        const QChar c = sql[i];
        if (!quote.isNull()) {
            if (c == quote)
                quote = QChar();
        } else if (c == QLatin1Char('\'') || c == QLatin1Char('"')) {
            quote = c;
        } else if (c == QLatin1Char('?') && i + 1 < sql.size() && sql[i + 1].isDigit()) {
            qsizetype j = i + 1;
            while (j < sql.size() && sql[j].isDigit())
                ++j;
            const int n = sql.mid(i + 1, j - i - 1).toInt();
            *count = std::max(*count, n);
            out += QLatin1Char('$') + sql.mid(i + 1, j - i - 1);
            i = j - 1;
            continue;
        }
        out += c;
    }
    return out;
}

class PgConnection;
class PgBulk;

// The hidden columns that keep a searched field's text folded are named by this and the field.
const QString FoldedPrefix = QStringLiteral("quirelle_fold ");

struct ResultDeleter
{
    void operator()(PGresult* r) const { PQclear(r); }
};
using Result = std::unique_ptr<PGresult, ResultDeleter>;

class PgConnection final : public Connection
{
public:
    PgConnection(PGconn* handle, const QString& shown, const QString& password, bool readOnly)
        : Connection(shown, readOnly), m_handle(handle), m_password(password)
    {}
    ~PgConnection() override
    {
        dropStatements();
        PQfinish(m_handle);
    }

    using Connection::markReadOnly;
    PGconn* handle() const { return m_handle; }
    [[noreturn]] void fail(const PGresult* result) const;
    // Runs `sql` with values; the result holds its rows. Writes inside a transaction are
    // undone alone when they fail, as in a file: the transaction goes on.
    Result run(const QByteArray& sql, const QByteArray& name, int count, const char* const* values,
               bool write);
    bool prepareNamed(const QByteArray& name, const QByteArray& sql, int count);
    // Connects again when the connection was lost (a server restarted, a network gone) and no
    // transaction was open: the next action works again. Counts the times it did.
    void reconnectIfLost();
    quint64 reconnections() const { return m_reconnections; }
    // The session's settings, on every new connection.
    void setUp()
    {
        exec(QStringLiteral("SET client_encoding = 'UTF8'; SET standard_conforming_strings = on"));
        if (readOnly())
            exec(QStringLiteral("SET default_transaction_read_only = on"));
    }
    QByteArray nextName() { return "q" + QByteArray::number(++m_names); }
    void noteChanges(const PGresult* r)
    {
        const char* rows = PQcmdTuples(const_cast<PGresult*>(r));
        if (rows && *rows && std::strncmp(PQcmdStatus(const_cast<PGresult*>(r)), "SELECT", 6))
            m_changes += std::strtoull(rows, nullptr, 10);
    }

    Dialect dialect() const override { return Dialect::PostgreSQL; }
    void createTable(const TableDef& def) override;
    std::unique_ptr<Statement> prepare(const QString& sql) override;
    std::unique_ptr<Statement> prepareLarge(const QString& sql) override;
    std::unique_ptr<BulkInsert> prepareBulk(const TableInfo& table,
                                            const QStringList& fields) override;
    void exec(const QString& sql) override
    {
        if (sql == QLatin1String("ROLLBACK"))
            dropPending();
        else
            sendPending();
        reconnectIfLost();
        Result r(PQexec(m_handle, sql.toUtf8().constData()));
        if (PQresultStatus(r.get()) != PGRES_COMMAND_OK &&
            PQresultStatus(r.get()) != PGRES_TUPLES_OK)
            fail(r.get());
        // A transaction a statement failed in is only rolled back, also when asked to commit.
        if (sql == QLatin1String("COMMIT") && std::strcmp(PQcmdStatus(r.get()), "ROLLBACK") == 0)
            throw DbError(err::Generic, QStringLiteral("A statement of the transaction failed: "
                                                       "nothing of it was stored."));
        noteChanges(r.get());
    }
    // The rows of a bulk insert not sent yet go before any other statement; a rollback drops
    // them. A refusal found where it could not be thrown is thrown here.
    void sendPending();
    void dropPending();
    void setPending(PgBulk* bulk) { m_pending = bulk; }
    bool pending(const PgBulk* bulk) const { return m_pending == bulk; }
    void defer(const DbError& error) { m_deferred = error; }
    void countChanges(quint64 rows) { m_changes += rows; }
    bool inTransaction() const override
    {
        return PQtransactionStatus(m_handle) != PQTRANS_IDLE &&
               PQtransactionStatus(m_handle) != PQTRANS_UNKNOWN;
    }
    bool lockRow(const TableInfo& table, qint64 key) override;
    quint64 totalChanges() const override { return m_changes; }
    TableVersion tableVersion(const QString& table) override;
    qint64 othersChanges() override;
    bool numbersFields() const override { return false; }
    qint32 nextNumber(const TableInfo&, const ColumnInfo&) override { return 0; }
    QString returning(const TableInfo& table, const QString& numberedField) const override
    {
        return QStringLiteral(" RETURNING ") +
               (numberedField.isEmpty() ? table.rowKey : quoted(numberedField));
    }
    qint64 insertedKey(Statement& insert) override { return insert.integer(0); }
    QString listLookup(const QString& table, const QString& columns, const QString& field,
                       bool numbers, const QString& rowKey) const override
    {
        // Each value's rows are looked up by the field's index (the subquery is kept apart, so
        // that the server does not read the whole table to join it instead).
        return QStringLiteral("SELECT %1 FROM unnest(CAST(?1 AS %2[])) WITH ORDINALITY AS "
                              "quirelle_list(value, n) CROSS JOIN LATERAL (SELECT * FROM %3 t "
                              "WHERE t.%4 = quirelle_list.value OFFSET 0) t ORDER BY "
                              "quirelle_list.n, t.%5")
            .arg(columns, numbers ? QStringLiteral("bigint") : QStringLiteral("text"),
                 quoted(table), field, rowKey);
    }
    void bindList(Statement& s, int index, const std::vector<QVariant>& values) override;
    int rowsReadWithKeys() const override { return 20000; }

protected:
    std::optional<TableInfo> describe(const QString& name) override;

private:
    PGconn* m_handle;
    QString m_password;
    quint64 m_changes = 0;
    quint64 m_names = 0;
    quint64 m_reconnections = 0;
    bool m_broken = false;    // left unusable by a session the server ended: connect again
    bool m_listening = false; // to the notices of the tables' triggers
    qint64 m_notices = 0;     // from other connections, counted
    PgBulk* m_pending = nullptr;
    std::optional<DbError> m_deferred;
};

// The server's text: the values of its text hold no NUL character, and cutting a value there
// would store another value than the one given.
QByteArray serverText(const QString& v)
{
    if (v.contains(QChar(0)))
        throw DbError(err::TypeMismatch,
                      QStringLiteral("A shared project cannot store text with the character NUL "
                                     "in it."));
    return v.toUtf8();
}

class PgStatement final : public Statement
{
public:
    // A statement `batched` reads its rows through a cursor, a batch at a time, so that the
    // rows it holds stay few however many it returns.
    PgStatement(PgConnection& c, const QString& sql, bool batched = false) : m_c(c)
    {
        int count = 0;
        m_sql = serverParameters(sql, &count).toUtf8();
        if (batched) {
            m_cursor = "c" + m_c.nextName();
            m_sql = "DECLARE " + m_cursor + " NO SCROLL CURSOR WITH HOLD FOR " + m_sql;
        }
        m_values.resize(static_cast<size_t>(count));
        static const QRegularExpression write(QStringLiteral("^\\s*(INSERT|UPDATE|DELETE)\\b"),
                                              QRegularExpression::CaseInsensitiveOption);
        m_write = write.match(sql).hasMatch();
    }
    ~PgStatement() override
    {
        closeCursor();
        if (!m_name.isEmpty() && PQstatus(m_c.handle()) == CONNECTION_OK)
            PQclear(PQexec(m_c.handle(), ("DEALLOCATE " + m_name).constData()));
    }

    void bindNull(int index) override { value(index).reset(); }
    void bindInteger(int index, qint64 v) override { value(index) = QByteArray::number(v); }
    void bindReal(int index, double v) override { value(index) = QByteArray::number(v, 'g', 17); }
    void bindText(int index, const QString& v) override { value(index) = serverText(v); }
    void reset() override
    {
        closeCursor();
        m_result.reset();
        m_row = -1;
    }
    void clearBindings() override
    {
        for (auto& v : m_values)
            v.reset();
    }
    bool step() override
    {
        if (!m_result) {
            execute();
            m_row = -1;
            if (!m_cursor.isEmpty()) {
                m_open = true;
                fetch();
            }
        }
        ++m_row;
        if (m_row >= PQntuples(m_result.get()) && m_open) {
            fetch();
            m_row = 0;
        }
        return m_row < PQntuples(m_result.get());
    }
    ValueType type(int column) const override
    {
        if (PQgetisnull(m_result.get(), m_row, column))
            return ValueType::Null;
        switch (PQftype(m_result.get(), column)) {
        case Int2:
        case Int4:
        case Int8:
        case Bool:
            return ValueType::Integer;
        case Float4:
        case Float8:
        case Numeric:
            return ValueType::Real;
        default:
            return ValueType::Text;
        }
    }
    qint64 integer(int column) const override
    {
        const char* v = PQgetvalue(m_result.get(), m_row, column);
        if (PQftype(m_result.get(), column) == Bool)
            return *v == 't' ? 1 : 0;
        return std::strtoll(v, nullptr, 10);
    }
    double real(int column) const override
    {
        return std::strtod(PQgetvalue(m_result.get(), m_row, column), nullptr);
    }
    QString text(int column) const override
    {
        if (PQgetisnull(m_result.get(), m_row, column))
            return {};
        return QString::fromUtf8(PQgetvalue(m_result.get(), m_row, column),
                                 PQgetlength(m_result.get(), m_row, column));
    }

private:
    std::optional<QByteArray>& value(int index)
    {
        if (index < 1 || index > static_cast<int>(m_values.size()))
            throw DbError(err::Generic, QStringLiteral("Bind or column index out of range."));
        return m_values[static_cast<size_t>(index - 1)];
    }
    static constexpr int Batch = 2000;
    void fetch()
    {
        m_result = m_c.run("FETCH " + QByteArray::number(Batch) + " FROM " + m_cursor, {}, 0,
                           nullptr, false);
        if (PQntuples(m_result.get()) < Batch)
            closeCursor();
    }
    void closeCursor()
    {
        if (!m_open)
            return;
        m_open = false;
        if (PQstatus(m_c.handle()) == CONNECTION_OK)
            PQclear(PQexec(m_c.handle(), ("CLOSE " + m_cursor).constData()));
    }
    void execute()
    {
        std::vector<const char*> values;
        values.reserve(m_values.size());
        for (const auto& v : m_values)
            values.push_back(v ? v->constData() : nullptr);
        m_c.reconnectIfLost();
        if (m_reconnections != m_c.reconnections()) {
            // What was prepared went with the old connection.
            m_name.clear();
            m_reconnections = m_c.reconnections();
        }
        // Run more than once, a statement is prepared on the server and planned once.
        if (m_name.isEmpty() && ++m_runs > 1) {
            const QByteArray name = m_c.nextName();
            if (m_c.prepareNamed(name, m_sql, static_cast<int>(values.size())))
                m_name = name;
        }
        m_result = m_c.run(m_sql, m_name, static_cast<int>(values.size()), values.data(), m_write);
    }

    PgConnection& m_c;
    QByteArray m_sql;
    QByteArray m_name; // prepared on the server under this name
    int m_runs = 0;
    quint64 m_reconnections = 0;
    QByteArray m_cursor; // batched: the cursor's name
    bool m_open = false; // the cursor holds rows not fetched yet
    bool m_write = false;
    std::vector<std::optional<QByteArray>> m_values;
    Result m_result;
    int m_row = -1;
};

// Rows sent with COPY, a batch at a time: one statement for thousands of rows, its triggers
// run once (they see every row of it). The values go as text, which the server reads and checks
// by the table's rules as it does an INSERT's.
class PgBulk final : public BulkInsert
{
public:
    PgBulk(PgConnection& c, const TableInfo& table, const QStringList& fields)
        : m_c(c), m_fields(static_cast<int>(fields.size()))
    {
        QStringList names;
        for (const QString& f : fields)
            names << quoted(f);
        m_sql = QStringLiteral("COPY %1 (%2) FROM STDIN")
                    .arg(quoted(table.name), names.join(QStringLiteral(", ")))
                    .toUtf8();
    }
    ~PgBulk() override
    {
        if (!m_c.pending(this))
            return;
        m_c.setPending(nullptr);
        // Rows kept while an error is on its way out are dropped with its transaction.
        if (std::uncaught_exceptions() > m_unwinding)
            return;
        try {
            send();
        } catch (const DbError& e) {
            m_c.defer(e);
        }
    }

    void add(const QVariantList& values) override
    {
        if (!m_c.pending(this)) {
            m_c.sendPending();
            m_c.setPending(this);
            m_rows.clear();
        }
        const qsizetype start = m_rows.size();
        try {
            for (int i = 0; i < m_fields; ++i) {
                if (i > 0)
                    m_rows += '\t';
                append(i < values.size() ? values[i] : QVariant());
            }
        } catch (...) {
            m_rows.truncate(start);
            throw;
        }
        m_rows += '\n';
        m_c.countChanges(1);
        if (m_rows.size() >= Batch)
            flush();
    }
    void flush() override
    {
        if (m_c.pending(this))
            m_c.sendPending();
    }
    // Sends the rows kept (PgConnection::sendPending).
    void send()
    {
        const QByteArray rows = std::exchange(m_rows, {});
        Result r(PQexec(m_c.handle(), m_sql.constData()));
        if (PQresultStatus(r.get()) != PGRES_COPY_IN)
            m_c.fail(r.get());
        const bool sent = PQputCopyData(m_c.handle(), rows.constData(), int(rows.size())) == 1 &&
                          PQputCopyEnd(m_c.handle(), nullptr) == 1;
        Result end(PQgetResult(m_c.handle()));
        while (PGresult* more = PQgetResult(m_c.handle()))
            PQclear(more);
        if (!sent || PQresultStatus(end.get()) != PGRES_COMMAND_OK)
            m_c.fail(end.get());
    }
    void drop() { m_rows.clear(); }

private:
    static constexpr qsizetype Batch = 4 << 20; // bytes of rows sent together

    // A value in COPY's text form: \N for Null, the characters that end a value or a row
    // written with a backslash.
    void append(const QVariant& value)
    {
        const int type = value.typeId();
        if (value.isNull()) {
            m_rows += "\\N";
        } else if (type == QMetaType::Int || type == QMetaType::LongLong ||
                   type == QMetaType::UInt || type == QMetaType::ULongLong ||
                   type == QMetaType::Bool) {
            m_rows += QByteArray::number(value.toLongLong());
        } else if (type == QMetaType::Double) {
            m_rows += QByteArray::number(value.toDouble(), 'g', 17);
        } else {
            for (const char c : serverText(value.toString())) {
                switch (c) {
                case '\\':
                    m_rows += "\\\\";
                    break;
                case '\t':
                    m_rows += "\\t";
                    break;
                case '\n':
                    m_rows += "\\n";
                    break;
                case '\r':
                    m_rows += "\\r";
                    break;
                default:
                    m_rows += c;
                }
            }
        }
    }

    PgConnection& m_c;
    int m_fields;
    QByteArray m_sql;
    QByteArray m_rows; // in COPY's text form
    int m_unwinding = std::uncaught_exceptions();
};

void PgConnection::sendPending()
{
    if (m_deferred) {
        const DbError error = *m_deferred;
        m_deferred.reset();
        throw error;
    }
    if (PgBulk* bulk = std::exchange(m_pending, nullptr))
        bulk->send();
}

void PgConnection::dropPending()
{
    m_deferred.reset();
    if (PgBulk* bulk = std::exchange(m_pending, nullptr))
        bulk->drop();
}

void PgConnection::bindList(Statement& s, int index, const std::vector<QVariant>& values)
{
    // An array as the server reads it: {1,2,3} or {"text","text"}, a Null as NULL.
    QString list = QStringLiteral("{");
    for (const QVariant& v : values) {
        if (list.size() > 1)
            list += QLatin1Char(',');
        const int type = v.typeId();
        if (v.isNull()) {
            list += QStringLiteral("NULL");
        } else if (type == QMetaType::Int || type == QMetaType::LongLong ||
                   type == QMetaType::UInt || type == QMetaType::ULongLong) {
            list += QString::number(v.toLongLong());
        } else {
            QString text = v.toString();
            text.replace(QLatin1Char('\\'), QLatin1String("\\\\"));
            text.replace(QLatin1Char('"'), QLatin1String("\\\""));
            list += QLatin1Char('"') + text + QLatin1Char('"');
        }
    }
    s.bindText(index, list + QLatin1Char('}'));
}

std::unique_ptr<BulkInsert> PgConnection::prepareBulk(const TableInfo& table,
                                                      const QStringList& fields)
{
    return std::make_unique<PgBulk>(*this, table, fields);
}

std::unique_ptr<Statement> PgConnection::prepare(const QString& sql)
{
    return std::make_unique<PgStatement>(*this, sql);
}

std::unique_ptr<Statement> PgConnection::prepareLarge(const QString& sql)
{
    return std::make_unique<PgStatement>(*this, sql, true);
}

bool PgConnection::prepareNamed(const QByteArray& name, const QByteArray& sql, int count)
{
    // Preparing fails only where running would, which then says why; inside a transaction the
    // failure is undone alone, so that the transaction goes on.
    const bool guarded = inTransaction();
    if (guarded)
        exec(QStringLiteral("SAVEPOINT quirelle_prepare"));
    Result r(PQprepare(m_handle, name.constData(), sql.constData(), count, nullptr));
    const bool prepared = PQresultStatus(r.get()) == PGRES_COMMAND_OK;
    if (guarded) {
        exec(prepared ? QStringLiteral("RELEASE SAVEPOINT quirelle_prepare")
                      : QStringLiteral("ROLLBACK TO SAVEPOINT quirelle_prepare; RELEASE "
                                       "SAVEPOINT quirelle_prepare"));
    }
    return prepared;
}

void PgConnection::reconnectIfLost()
{
    if (PQstatus(m_handle) != CONNECTION_BAD && !m_broken)
        return;
    m_broken = false;
    PQreset(m_handle);
    if (PQstatus(m_handle) != CONNECTION_OK)
        fail(nullptr);
    ++m_reconnections;
    setUp();
    // Whatever others committed while the connection was gone is not known: count it as changed.
    m_listening = false;
    ++m_notices;
}

Result PgConnection::run(const QByteArray& sql, const QByteArray& name, int count,
                         const char* const* values, bool write)
{
    sendPending();
    const auto send = [&] {
        return name.isEmpty() ? PQsendQueryParams(m_handle, sql.constData(), count, nullptr, values,
                                                  nullptr, nullptr, 0)
                              : PQsendQueryPrepared(m_handle, name.constData(), count, values,
                                                    nullptr, nullptr, 0);
    };
    const auto ok = [](const PGresult* r) {
        const auto status = PQresultStatus(r);
        return status == PGRES_COMMAND_OK || status == PGRES_TUPLES_OK;
    };
    Result r;
    if (write && inTransaction()) {
        // Inside a savepoint, sent together with it and its release in one exchange.
        const char* begin = "SAVEPOINT quirelle_statement";
        const char* end = "RELEASE SAVEPOINT quirelle_statement";
        const auto command = [this](const char* text) {
            return PQsendQueryParams(m_handle, text, 0, nullptr, nullptr, nullptr, nullptr, 0);
        };
        if (!PQenterPipelineMode(m_handle) || !command(begin) || !send() || !command(end) ||
            !PQpipelineSync(m_handle)) {
            PQexitPipelineMode(m_handle);
            fail(nullptr);
        }
        // One result for each of the three, each followed by a null, then the sync's.
        Result results[3];
        for (Result& each : results) {
            each.reset(PQgetResult(m_handle));
            while (PGresult* more = PQgetResult(m_handle))
                PQclear(more);
        }
        while (PGresult* rest = PQgetResult(m_handle)) {
            const bool synced = PQresultStatus(rest) == PGRES_PIPELINE_SYNC;
            PQclear(rest);
            if (synced)
                break;
        }
        // Results left unread (the server ended the session amid them) leave the connection
        // unusable: it is taken as lost, and the next action connects again.
        m_broken = !PQexitPipelineMode(m_handle);
        r = std::move(results[1]);
        if (!r || !ok(r.get())) {
            const PGresult* why =
                r && PQresultStatus(r.get()) != PGRES_PIPELINE_ABORTED ? r.get() : results[0].get();
            if (!m_broken) {
                Result undo(PQexec(m_handle, "ROLLBACK TO SAVEPOINT quirelle_statement; RELEASE "
                                             "SAVEPOINT quirelle_statement"));
            }
            fail(why);
        }
    } else {
        r.reset(name.isEmpty() ? PQexecParams(m_handle, sql.constData(), count, nullptr, values,
                                              nullptr, nullptr, 0)
                               : PQexecPrepared(m_handle, name.constData(), count, values, nullptr,
                                                nullptr, 0));
        if (!ok(r.get()))
            fail(r.get());
    }
    noteChanges(r.get());
    return r;
}

void PgConnection::fail(const PGresult* result) const
{
    const auto field = [result](int code) {
        const char* v = result ? PQresultErrorField(result, code) : nullptr;
        return v ? QString::fromUtf8(v) : QString();
    };
    const QString state = field(PG_DIAG_SQLSTATE);
    QString message = field(PG_DIAG_MESSAGE_PRIMARY);
    if (message.isEmpty())
        message = QString::fromUtf8(PQerrorMessage(m_handle));
    message = scrubbed(message, m_password);
    if (state == QLatin1String("42501") || state == QLatin1String("25006")) {
        throw DbError(err::ReadOnly, QStringLiteral("Cannot update. Database or object is "
                                                    "read-only."));
    }
    if (state == QLatin1String("23505")) {
        throw DbError(err::Duplicate,
                      QStringLiteral("The changes you requested to the table were not successful "
                                     "because they would create duplicate values in the index, "
                                     "primary key, or relationship."));
    }
    if (state == QLatin1String("23514")) {
        const QString constraint = field(PG_DIAG_CONSTRAINT_NAME);
        if (constraint.endsWith(QLatin1String(" not empty"))) {
            throw DbError(err::ZeroLength,
                          QStringLiteral("Field '%1' cannot be a zero-length string.")
                              .arg(constraint.chopped(10)));
        }
    }
    if (state == QLatin1String("23514") || state == QLatin1String("22001")) {
        throw DbError(err::FieldTooSmall,
                      QStringLiteral("The field is too small to accept the amount of data you "
                                     "attempted to add. Try inserting or pasting less data."));
    }
    if (state == QLatin1String("22P02") || state == QLatin1String("22003")) {
        throw DbError(err::TypeMismatch,
                      QStringLiteral("Data type conversion error: %1.").arg(message));
    }
    if (state == QLatin1String("53100")) {
        throw DbError(err::DiskFull, QStringLiteral("Not enough space on the server's disk: the "
                                                    "change was not stored."));
    }
    if (state == QLatin1String("40001") || state == QLatin1String("40P01") ||
        state == QLatin1String("55P03")) {
        throw DbError(err::Locked, QStringLiteral("Another member of the project was changing the "
                                                  "same rows: the change was not stored. Try "
                                                  "again in a moment."));
    }
    if (m_broken || PQstatus(m_handle) != CONNECTION_OK || state.startsWith(QLatin1String("08")) ||
        state.startsWith(QLatin1String("57P"))) {
        throw DbError(
            err::Generic,
            QStringLiteral("The connection to the server %1 was lost: %2").arg(path(), message));
    }
    throw DbError(err::Generic, message);
}

qint64 PgConnection::othersChanges()
{
    // The tables' triggers send a notice when a transaction commits; reading the notices that
    // arrived costs no exchange with the server. Listening starts at the first question, so that
    // the connections nobody asks (a worker's) do not gather notices.
    // A lost connection is not made again here: connecting to a server that cannot be reached
    // waits, and the windows look four times a second. The next action connects again.
    if (PQstatus(m_handle) == CONNECTION_BAD || m_broken)
        fail(nullptr);
    if (!m_listening) {
        exec(QStringLiteral("LISTEN quirelle"));
        m_listening = true;
    }
    PQconsumeInput(m_handle);
    const int self = PQbackendPID(m_handle);
    while (PGnotify* notice = PQnotifies(m_handle)) {
        if (notice->be_pid != self)
            ++m_notices;
        PQfreemem(notice);
    }
    return m_notices;
}

bool PgConnection::lockRow(const TableInfo& table, qint64 key)
{
    if (!inTransaction() || readOnly())
        return false;
    Statement& s = cached(QStringLiteral("SELECT 1 FROM %1 WHERE %2 = ?1 FOR UPDATE")
                              .arg(quoted(table.name), table.rowKey));
    s.bindInteger(1, key);
    s.step();
    s.reset();
    return true;
}

TableVersion PgConnection::tableVersion(const QString& table)
{
    // The table's entries counted and the highest: a transaction another member commits late,
    // with a lower number, still changes the count. The log has one entry per transaction, so
    // this connection's own writes inside one count too.
    Statement& s = cached(QStringLiteral("SELECT count(*), coalesce(max(id), 0) FROM "
                                         "quirelle_changes WHERE table_name = ?1"));
    s.bindText(1, hasTable(table) ? this->table(table).name : table);
    TableVersion v;
    v.connection = serial();
    v.local = totalChanges();
    if (s.step())
        v.external = (s.integer(1) << 32) ^ s.integer(0);
    s.reset();
    return v;
}

std::optional<TableInfo> PgConnection::describe(const QString& name)
{
    // The table and its columns in one exchange: a row for each column, after the table's name.
    auto columns = prepare(QStringLiteral(
        "SELECT t.relname, a.attname, a.atttypid, a.atttypmod, a.attidentity <> '', EXISTS "
        "(SELECT 1 FROM pg_index i WHERE i.indrelid = a.attrelid AND i.indisprimary AND "
        "a.attnum = ANY(i.indkey)) FROM (SELECT c.oid, c.relname FROM pg_class c WHERE "
        "c.relkind IN ('r', 'p') AND c.relnamespace = current_schema()::regnamespace AND "
        "lower(c.relname) = lower(?1) AND c.relname NOT LIKE 'quirelle\\_%' ORDER BY c.relname "
        "= ?1 DESC LIMIT 1) t LEFT JOIN pg_attribute a ON a.attrelid = t.oid AND a.attnum > 0 "
        "AND NOT a.attisdropped ORDER BY a.attnum"));
    columns->bindText(1, name);
    if (!columns->step())
        return std::nullopt;
    TableInfo info;
    info.name = columns->text(0);
    std::map<QString, QString> folded; // by field: its hidden folded column
    for (bool more = !columns->isNull(1); more; more = columns->step()) {
        ColumnInfo c;
        c.name = columns->text(1);
        if (c.name == QLatin1String("rowid")) {
            info.rowKey = QStringLiteral("rowid");
            continue;
        }
        if (c.name.startsWith(FoldedPrefix)) {
            folded[c.name.mid(FoldedPrefix.size())] = c.name;
            continue;
        }
        const auto type = static_cast<Oid>(columns->integer(2));
        if (type == Int2 || type == Int4 || type == Int8) {
            c.type = FieldType::Long;
            c.autoNumber = columns->integer(4) != 0;
            c.rowidAlias = c.autoNumber && columns->integer(5) != 0;
            if (c.rowidAlias)
                info.rowKey = quoted(c.name);
        } else if (columns->integer(3) > 4) {
            c.type = FieldType::Text;
            c.size = static_cast<int>(columns->integer(3) - 4);
        } else {
            c.type = FieldType::Memo;
        }
        info.columns.push_back(c);
    }
    for (ColumnInfo& c : info.columns) {
        if (const auto it = folded.find(c.name); it != folded.end())
            c.folded = it->second;
    }
    return info;
}

void PgConnection::createTable(const TableDef& def)
{
    const QString key = numberedKey(def);
    const QString table = quoted(def.name);
    QStringList fields;
    if (key.isEmpty())
        fields << QStringLiteral("rowid bigint GENERATED ALWAYS AS IDENTITY PRIMARY KEY");
    QStringList numbered;
    for (const FieldDef& f : def.fields) {
        const QString name = quoted(f.name);
        QString sql = name;
        switch (f.type) {
        case FieldType::Long:
            sql += QStringLiteral(" integer");
            if (f.attributes & 16) {
                sql += QStringLiteral(" GENERATED BY DEFAULT AS IDENTITY");
                numbered << f.name;
            }
            if (f.name == key)
                sql += QStringLiteral(" PRIMARY KEY");
            break;
        case FieldType::Text:
            sql += QStringLiteral(" varchar(%1)").arg(f.size);
            break;
        case FieldType::Memo:
            sql += QStringLiteral(" text");
            break;
        }
        if (f.type != FieldType::Long && !f.allowZeroLength) {
            sql += QStringLiteral(" CONSTRAINT %1 CHECK (%2 <> '')")
                       .arg(quoted(f.name + QStringLiteral(" not empty")), name);
        }
        fields << sql;
    }
    exec(QStringLiteral("CREATE TABLE %1 (%2)").arg(table, fields.join(QStringLiteral(", "))));
    for (const IndexDef& i : def.indexes) {
        if (i.field == key)
            continue;
        exec(QStringLiteral("CREATE %1INDEX %2 ON %3 (%4)")
                 .arg(i.primary ? QStringLiteral("UNIQUE ") : QString(),
                      quoted(def.name + QLatin1Char('.') + i.name), table, quoted(i.field)));
        // Text is found by its folded letters (see the dialect's translation): an index of
        // those finds it without reading every row.
        const auto field = std::find_if(def.fields.begin(), def.fields.end(),
                                        [&](const FieldDef& f) { return f.name == i.field; });
        if (field != def.fields.end() && field->type != FieldType::Long) {
            exec(QStringLiteral("CREATE INDEX %1 ON %2 (quirelle_fold(%3))")
                     .arg(quoted(def.name + QLatin1Char('.') + i.name + QStringLiteral(" folded")),
                          table, quoted(i.field)));
        }
    }
    exec(QStringLiteral("CREATE TRIGGER %1 AFTER INSERT OR UPDATE OR DELETE OR TRUNCATE ON %2 "
                        "FOR EACH STATEMENT EXECUTE FUNCTION quirelle_changed()")
             .arg(quoted(def.name + QStringLiteral(" changed")), table));
    // Numbers given by the program (a copied project, a link's repeated number) move the
    // server's count past them, so that it never hands them out again.
    for (const QString& f : numbered) {
        exec(QStringLiteral("CREATE TRIGGER %1 AFTER INSERT ON %2 REFERENCING NEW TABLE AS added "
                            "FOR EACH STATEMENT EXECUTE FUNCTION quirelle_numbered(%3)")
                 .arg(quoted(def.name + QStringLiteral(" numbered ") + f), table,
                      QLatin1Char('\'') +
                          QString(f).replace(QLatin1Char('\''), QLatin1String("''")) +
                          QLatin1Char('\'')));
    }
}

// The first value of a statement that takes no values.
QString scalar(PgConnection& c, const QString& sql)
{
    auto s = c.prepare(sql);
    return s->step() ? s->text(0) : QString();
}

} // namespace

namespace {

// The character class of every combining mark, as the program's own text rules know them:
// the server takes them off for the first key of the ordering.
QString markClass()
{
    QString out = QStringLiteral("[");
    const auto escape = [](char32_t c) {
        return c > 0xFFFF ? QStringLiteral("\\U%1").arg(uint(c), 8, 16, QLatin1Char('0'))
                          : QStringLiteral("\\u%1").arg(uint(c), 4, 16, QLatin1Char('0'));
    };
    for (char32_t c = 0; c <= 0x10FFFF; ++c) {
        if (!QChar::isMark(c))
            continue;
        char32_t last = c;
        while (last + 1 <= 0x10FFFF && QChar::isMark(last + 1))
            ++last;
        out += escape(c);
        if (last > c)
            out += QLatin1Char('-') + escape(last);
        c = last;
    }
    return out + QLatin1Char(']');
}

} // namespace

void createServerHelpers(Database& database)
{
    NativeStatement encoding(database, QStringLiteral("SELECT current_setting('server_encoding'), "
                                                      "EXISTS (SELECT 1 FROM pg_collation WHERE "
                                                      "collname = 'und-x-icu'), "
                                                      "quote_ident(current_schema())"));
    encoding.next();
    if (encoding.text(0) != QLatin1String("UTF8"))
        throw DbError(err::Generic, QStringLiteral("The server's database keeps its text in %1: a "
                                                   "shared project needs a database in UTF8.")
                                        .arg(encoding.text(0)));
    // Letter case by the Unicode rules whatever the database's locale, where the server has them.
    // (Composing text that is composed already changes nothing: asking first costs less.)
    const QString composed =
        QStringLiteral("CASE WHEN t IS NFC NORMALIZED THEN t ELSE normalize(t, NFC) END");
    const QString lower = encoding.number(1)
                              ? QStringLiteral("lower(%1 COLLATE \"und-x-icu\")").arg(composed)
                              : QStringLiteral("lower(%1)").arg(composed);
    const QString schema = encoding.text(2);
    const QStringList statements{
        // The text folded as the dialect compares it: letter case aside, accents kept.
        // (Text of ASCII characters alone, as most is, takes the short way.) Both functions
        // are written so that the server writes their bodies into the statements that call
        // them, many times quicker than calling a function for every row: one expression,
        // not STRICT (a Null still gives Null).
        QStringLiteral(
            "CREATE FUNCTION quirelle_fold(t text) RETURNS text LANGUAGE sql IMMUTABLE "
            "PARALLEL SAFE AS $f$ SELECT CASE WHEN octet_length(t) = length(t) "
            "THEN lower(t COLLATE \"C\") COLLATE \"default\" ELSE translate(%1, 'ς', 'σ') "
            "COLLATE \"default\" END $f$")
            .arg(lower),
        // Its base letters, accents taken off: the first key of the ordering.
        QStringLiteral("CREATE FUNCTION quirelle_base(t text) RETURNS text LANGUAGE sql IMMUTABLE "
                       "PARALLEL SAFE AS $f$ SELECT CASE WHEN octet_length(t) = length(t) THEN "
                       "lower(t COLLATE \"C\") COLLATE \"default\" ELSE "
                       "regexp_replace(normalize(%1.quirelle_fold(t), NFD), "
                       "'%2', '', 'g') END $f$")
            .arg(schema, markClass()),
        QStringLiteral("CREATE TABLE quirelle_changes (id bigint GENERATED ALWAYS AS IDENTITY "
                       "PRIMARY KEY, table_name text NOT NULL)"),
        QStringLiteral("CREATE INDEX quirelle_changes_table ON quirelle_changes (table_name, id)"),
        // One entry per table and transaction (a setting local to the transaction says it was
        // made); every thousandth entry clears its table's older entries away.
        QStringLiteral("CREATE FUNCTION quirelle_changed() RETURNS trigger LANGUAGE plpgsql "
                       "SECURITY DEFINER SET search_path = %1, pg_temp AS $f$ DECLARE "
                       "made text := 'quirelle.changed_' || md5(TG_TABLE_NAME); added bigint; "
                       "BEGIN IF coalesce(current_setting(made, true), '') = '' THEN "
                       "INSERT INTO quirelle_changes (table_name) VALUES (TG_TABLE_NAME) "
                       "RETURNING id INTO added; PERFORM set_config(made, 'y', true); "
                       "IF added % 1000 = 0 THEN DELETE FROM quirelle_changes WHERE table_name = "
                       "TG_TABLE_NAME AND id < added - 100; END IF; END IF; "
                       "PERFORM pg_notify('quirelle', TG_TABLE_NAME); RETURN NULL; END $f$")
            .arg(schema),
        QStringLiteral("CREATE FUNCTION quirelle_numbered() RETURNS trigger LANGUAGE plpgsql "
                       "SECURITY DEFINER SET search_path = %1, pg_temp AS $f$ DECLARE "
                       "sequence text := pg_get_serial_sequence(format('%I.%I', TG_TABLE_SCHEMA, "
                       "TG_TABLE_NAME), TG_ARGV[0]); highest bigint; BEGIN "
                       "EXECUTE format('SELECT max(%I) FROM added', TG_ARGV[0]) INTO highest; "
                       "IF highest > coalesce(pg_sequence_last_value(sequence::regclass), 0) THEN "
                       "PERFORM setval(sequence, highest); END IF; RETURN NULL; END $f$")
            .arg(schema),
    };
    for (const QString& sql : statements)
        NativeStatement::exec(database, sql);
}

void createServerSearchIndexes(Database& database)
{
    NativeStatement::exec(database, QStringLiteral("SAVEPOINT quirelle_trigrams"));
    bool trigrams = true;
    try {
        NativeStatement::exec(database, QStringLiteral("CREATE EXTENSION IF NOT EXISTS pg_trgm"));
    } catch (const DbError&) {
        NativeStatement::exec(database, QStringLiteral("ROLLBACK TO SAVEPOINT quirelle_trigrams"));
        trigrams = false;
    }
    if (trigrams)
        NativeStatement::exec(database, QStringLiteral("RELEASE SAVEPOINT quirelle_trigrams"));
    static const std::pair<const char*, const char*> searched[] = {
        {"Papers", "Title"},    {"Papers", "Rating"},    {"Paper Statements List", "Statement"},
        {"Authors", "Surname"}, {"Keywords", "Keyword"}, {"Models", "Model"},
    };
    for (const auto& [table, field] : searched) {
        const TableInfo& info = database.TableDefs(QString::fromLatin1(table));
        const auto column =
            std::find_if(info.columns.begin(), info.columns.end(), [field](const ColumnInfo& c) {
                return c.name.compare(QLatin1String(field), Qt::CaseInsensitive) == 0;
            });
        if (column == info.columns.end())
            continue;
        // The folded text kept beside the field: a search that no index serves (one letter)
        // reads it rather than folding every row's text again.
        const QString folded = FoldedPrefix + column->name;
        NativeStatement::exec(database,
                              QStringLiteral("ALTER TABLE %1 ADD COLUMN %2 text GENERATED ALWAYS "
                                             "AS (quirelle_fold(%3)) STORED")
                                  .arg(quoted(info.name), quoted(folded), quoted(column->name)));
        if (!trigrams)
            continue;
        NativeStatement::exec(database,
                              QStringLiteral("CREATE INDEX %1 ON %2 USING gin (%3 gin_trgm_ops)")
                                  .arg(quoted(info.name + QStringLiteral(" ") + column->name +
                                              QStringLiteral(" trigrams")),
                                       quoted(info.name), quoted(folded)));
    }
}

std::shared_ptr<Connection> openServer(const QString& address, bool readOnlyWanted)
{
    const QString full = fullAddress(address);
    const QString shown = displayAddress(address);
    const QString password = passwordOf(full);
    // A server that cannot be reached is given up after a while (unless the address or the
    // environment says how long to wait): connecting again after a lost connection happens on
    // the next action, in the window's thread.
    const QByteArray conninfo = full.toUtf8();
    const bool timeoutGiven = qEnvironmentVariableIsSet("PGCONNECT_TIMEOUT");
    const char* keywords[] = {"connect_timeout", "dbname", nullptr};
    const char* values[] = {"10", conninfo.constData(), nullptr};
    PGconn* handle =
        PQconnectdbParams(keywords + (timeoutGiven ? 1 : 0), values + (timeoutGiven ? 1 : 0), 1);
    if (!handle)
        throw DbError(err::Generic, QStringLiteral("Out of memory."));
    if (PQstatus(handle) != CONNECTION_OK) {
        const QString why = scrubbed(QString::fromUtf8(PQerrorMessage(handle)), password);
        PQfinish(handle);
        throw DbError(err::FileNotFound,
                      QStringLiteral("Could not open the shared project %1: %2").arg(shown, why));
    }
    PQsetNoticeProcessor(
        handle, [](void*, const char*) {}, nullptr);
    auto probe = std::make_shared<PgConnection>(handle, shown, password, false);
    probe->setUp();
    // A role that may not change the tables, or a server that only reads, opens read-only; the
    // server then also refuses every write itself.
    const bool mayWrite =
        scalar(*probe,
               QStringLiteral("SELECT NOT pg_is_in_recovery() AND current_setting("
                              "'default_transaction_read_only') = 'off' AND coalesce((SELECT "
                              "has_table_privilege(c.oid, 'INSERT') AND "
                              "has_table_privilege(c.oid, 'UPDATE') AND has_table_privilege(c.oid, "
                              "'DELETE') FROM pg_class c "
                              "WHERE c.relname = 'Papers' AND c.relnamespace = "
                              "current_schema()::regnamespace), true)")) == QLatin1String("t");
    if (!mayWrite || readOnlyWanted) {
        probe->markReadOnly();
        probe->setUp();
    }
    return probe;
}

} // namespace quirelle::db
