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

// A new project file with every table, opened as the program's project.
class TempProject : public TempFolder
{
public:
    TempProject();
    ~TempProject();
    db::Database& db();
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
