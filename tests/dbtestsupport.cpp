// Test helpers that need no window.
#include "dbtestsupport.h"

#include "db/backups.h"
#include "db/dberror.h"
#include "db/nativesql.h"

#include <QCoreApplication>
#include <QUrl>

#include <QProcess>
#include <QStandardPaths>

namespace quirelle::test {

QString serverAddress()
{
    return qEnvironmentVariable("QUIRELLE_TEST_PG");
}

QTestData& addEngineRow(Engine engine, const char* name)
{
    QByteArray row = engine == Engine::File ? "file" : "server";
    if (name)
        row += QByteArray(": ") + name;
    return QTest::newRow(row.constData()) << engine;
}

void addEngineRows()
{
    QTest::addColumn<Engine>("engine");
    addEngineRow(Engine::File);
    addEngineRow(Engine::Server);
}

namespace {

// The test server's address with another database in place of its own.
QString withDatabase(const QString& address, const QString& database)
{
    QUrl url(address);
    url.setPath(QLatin1Char('/') + database);
    return url.toString();
}

} // namespace

ServerTestDatabase::ServerTestDatabase()
{
    static int serial = 0;
    m_name =
        QStringLiteral("quirelle_test_%1_%2").arg(QCoreApplication::applicationPid()).arg(++serial);
    execAsAdmin(QStringLiteral("DROP DATABASE IF EXISTS %1").arg(m_name));
    execAsAdmin(QStringLiteral("CREATE DATABASE %1").arg(m_name));
    m_address = withDatabase(serverAddress(), m_name);
}

ServerTestDatabase::~ServerTestDatabase()
{
    try {
        execAsAdmin(QStringLiteral("DROP DATABASE %1 WITH (FORCE)").arg(m_name));
    } catch (const db::DbError& e) {
        qWarning("could not drop the test database: %s", qPrintable(e.description()));
    }
}

void ServerTestDatabase::execAsAdmin(const QString& sql)
{
    auto admin = db::Database::OpenDatabase(serverAddress());
    db::NativeStatement::exec(*admin, sql);
}

TempProject::TempProject(Engine engine)
{
    if (engine == Engine::Server) {
        m_database = std::make_unique<ServerTestDatabase>();
        m_address = m_database->address();
        db::createServerProject(m_address);
        m_server = db::Database::OpenDatabase(m_address);
        return;
    }
    project().close();
    db::createProjectFile(pathWithoutExtension());
    QString reason;
    if (!project().open(pathWithoutExtension(), &reason))
        qFatal("cannot open the test project: %s", qPrintable(reason));
}

TempProject::~TempProject()
{
    if (m_server) {
        m_server->Close();
        return;
    }
    project().close();
}

db::Database& TempProject::db()
{
    return m_server ? *m_server : project().db();
}

qint64 addRow(db::Database& database, const QString& table, const QVariantMap& values)
{
    db::Recordset rs = database.OpenRecordset(QStringLiteral("select * from [%1];").arg(table));
    rs.AddNew();
    for (auto it = values.begin(); it != values.end(); ++it)
        rs.Fields(it.key()).setValue(it.value());
    rs.Update();
    rs.setBookmark(rs.LastModified());
    const db::TableInfo& info = database.TableDefs(table);
    for (int i = 0; i < rs.fieldCount(); ++i) {
        if (info.columns[static_cast<size_t>(i)].autoNumber)
            return rs.Fields(rs.fieldName(i)).Value().toLongLong();
    }
    return -1;
}

qint64 addRow(const QString& table, const QVariantMap& values)
{
    return addRow(project().db(), table, values);
}

int countRows(db::Database& database, const QString& table)
{
    return database.OpenRecordset(QStringLiteral("select * from [%1];").arg(table)).RecordCount();
}

QStringList rowsOf(const QString& query, const QStringList& fields)
{
    return rowsOf(project().db(), query, fields);
}

QStringList rowsOf(db::Database& database, const QString& query, const QStringList& fields)
{
    db::Recordset rs = database.OpenRecordset(query);
    QStringList out;
    db::forEachRow(rs, [&] {
        QStringList values;
        for (const QString& f : fields)
            values << rs.Fields(f).text();
        out << values.join(QLatin1Char('/'));
    });
    return out;
}

qint64 addPaper(const QString& title, QVariantMap more)
{
    more.insert(QStringLiteral("Title"), title);
    return addRow(QStringLiteral("Papers"), more);
}

qint64 addAuthor(const QString& surname, const QString& forenames)
{
    return addRow(QStringLiteral("Authors"), {{"Surname", surname}, {"Forenames", forenames}});
}

void linkAuthor(qint64 paper, qint64 author)
{
    addRow(QStringLiteral("Paper Authors List"),
           {{"Paper ID", QString::number(paper)}, {"Author ID", QString::number(author)}});
}

void cite(qint64 citing, qint64 cited)
{
    addRow(QStringLiteral("Paper References List"),
           {{"Paper ID", QString::number(citing)}, {"Reference ID", cited}});
}

void logHours(const QStringList& entries)
{
    for (const QString& e : entries)
        addRow(QStringLiteral("Time Management"), {{"Subject", e.section(QLatin1Char('|'), 0, 0)},
                                                   {"Time", e.section(QLatin1Char('|'), 1)}});
}

QStringList backupNames(const QString& projectFile)
{
    QStringList names;
    for (const db::BackupCopy& c : db::listBackups(projectFile))
        names << QFileInfo(c.file).fileName();
    return names;
}

QByteArray readFile(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void writeFile(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size())
        QFAIL(qPrintable(QStringLiteral("cannot write ") + path));
}

QString sqliteShell(const QString& file, const QString& sql)
{
    const QString shell = QStandardPaths::findExecutable(QStringLiteral("sqlite3"));
    if (shell.isEmpty())
        return {};
    // As another program would, it waits a while for a lock the program's background work
    // (the check, the full-text index) holds for a moment.
    QProcess p;
    p.start(shell, {QStringLiteral("-cmd"), QStringLiteral(".timeout 5000"), file, sql});
    p.waitForFinished(30000);
    return QString::fromUtf8(p.readAllStandardOutput() + p.readAllStandardError()).trimmed();
}

HeldFile::HeldFile(const QString& file)
{
    const QString shell = QStandardPaths::findExecutable(QStringLiteral("sqlite3"));
    if (shell.isEmpty())
        return;
    // It waits its turn, as another program would, and ends at once when it could not take the
    // file, so that "held" is printed only when it is.
    m_shell.start(shell, {file});
    m_shell.write(".timeout 5000\n.bail on\nBEGIN EXCLUSIVE;\n.print held\n");
    while (m_shell.waitForReadyRead(30000)) {
        if (m_shell.readAllStandardOutput().contains("held")) {
            m_held = true;
            return;
        }
    }
}

HeldFile::~HeldFile()
{
    release();
}

void HeldFile::release()
{
    if (m_shell.state() == QProcess::NotRunning)
        return;
    m_shell.write("ROLLBACK;\n");
    m_shell.closeWriteChannel();
    if (!m_shell.waitForFinished(30000))
        m_shell.kill();
    m_held = false;
}

} // namespace quirelle::test
