// Test helpers that need no window: a fresh project in a temporary folder, rows put into its
// tables, and the sqlite3 shell as an outside reader of the file.
#pragma once

#include "db/database.h"
#include "db/project.h"
#include "db/schema.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QString>
#include <QTemporaryDir>
#include <QTest>
#include <QVariantMap>

namespace quirelle::test {

// A temporary folder with the path of a project file in it ("project.mdb").
class TempFolder
{
public:
    QString folder() const { return m_dir.path(); }
    QString pathWithoutExtension() const { return m_dir.filePath(QStringLiteral("project")); }
    QString file() const { return pathWithoutExtension() + QStringLiteral(".mdb"); }

private:
    QTemporaryDir m_dir;
};

// Where a test's project lives: in a file, or on the test server (QUIRELLE_TEST_PG).
enum class Engine { File, Server };

// The address of the test server's superuser database; "" when no server was given.
QString serverAddress();
// A data row of `engine` (the first column), named by the engine and `name`; and the column
// "engine" with a row for each engine.
QTestData& addEngineRow(Engine engine, const char* name = nullptr);
void addEngineRows();
// The engine of the current data row; a server row is skipped when no test server was given.
#define QUIRELLE_FETCH_ENGINE(engine)                                                              \
    QFETCH(quirelle::test::Engine, engine);                                                        \
    if (engine == quirelle::test::Engine::Server && quirelle::test::serverAddress().isEmpty())     \
        QSKIP("no test server: QUIRELLE_TEST_PG names none (scripts/test starts one)");

class ServerTestDatabase;

// A new project with every table: a project file opened as the program's project, or a
// database of its own on the test server, dropped again at the end.
class TempProject : public TempFolder
{
public:
    explicit TempProject(Engine engine = Engine::File);
    ~TempProject();
    db::Database& db();
    // The server project's address ("" for a file).
    const QString& address() const { return m_address; }

private:
    QString m_address;
    std::unique_ptr<ServerTestDatabase> m_database; // dropped after the project closes
    std::unique_ptr<db::Database> m_server;
};

// A new database on the test server, with its address, dropped when this goes.
class ServerTestDatabase
{
public:
    ServerTestDatabase();
    ~ServerTestDatabase();
    ServerTestDatabase(const ServerTestDatabase&) = delete;
    ServerTestDatabase& operator=(const ServerTestDatabase&) = delete;
    const QString& address() const { return m_address; }
    const QString& name() const { return m_name; }
    // Runs statements as the test server's superuser, in the server's own database.
    static void execAsAdmin(const QString& sql);

private:
    QString m_name;
    QString m_address;
};

// Adds one row to `table` with the given field values and returns its auto number (or -1).
qint64 addRow(db::Database& database, const QString& table, const QVariantMap& values);
qint64 addRow(const QString& table, const QVariantMap& values); // to the open project
int countRows(db::Database& database, const QString& table);
// The rows of `query`, each as its `fields` joined by "/" (Null as ""); on the open project
// unless another database is given.
QStringList rowsOf(const QString& query, const QStringList& fields);
QStringList rowsOf(db::Database& database, const QString& query, const QStringList& fields);

// Rows of the open project as the windows write them: a paper (with more fields), an author,
// an author linked to a paper, a citation, and hours logged ("subject|time" each).
qint64 addPaper(const QString& title, QVariantMap more = {});
qint64 addAuthor(const QString& surname, const QString& forenames = {});
void linkAuthor(qint64 paper, qint64 author);
void cite(qint64 citing, qint64 cited);
void logHours(const QStringList& entries);

// The names of the project file's backup copies, newest first.
QStringList backupNames(const QString& projectFile);

// The bytes of a string literal, NULs included, without the terminating one.
template<size_t N>
QByteArray bytes(const char (&literal)[N])
{
    return QByteArray(literal, static_cast<qsizetype>(N - 1));
}

// A whole file's bytes ("" when it cannot be read), and a file written with `bytes` (the test
// fails when it cannot be).
QByteArray readFile(const QString& path);
void writeFile(const QString& path, const QByteArray& bytes);

// A folder of the shared test data beside the project (`../shared/<sub>` from the source tree, or
// under $QUIRELLE_SHARED_DIR); empty when it is not there.
QString sharedFolder(const QString& sub);

// Runs the sqlite3 shell on `file` with `sql` and returns its output; empty when it is missing.
QString sqliteShell(const QString& file, const QString& sql);

// Another program holding the project file: the sqlite3 shell inside an exclusive transaction,
// so that nothing can be read from the file or written to it until it lets go.
class HeldFile
{
public:
    explicit HeldFile(const QString& file);
    ~HeldFile();
    HeldFile(const HeldFile&) = delete;
    HeldFile& operator=(const HeldFile&) = delete;
    // False when the shell is missing or could not take the file.
    bool isHeld() const { return m_held; }
    // Ends the transaction and the shell.
    void release();

private:
    QProcess m_shell;
    bool m_held = false;
};

} // namespace quirelle::test

Q_DECLARE_METATYPE(quirelle::test::Engine)
