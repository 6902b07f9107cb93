// Test helpers that need no window: a fresh project in a temporary folder, rows put into its
// tables, and the sqlite3 shell as an outside reader of the file.
#pragma once

#include "db/database.h"

#include <QString>
#include <QTemporaryDir>
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
// The rows of `query` on the open project, each as its `fields` joined by "/" (Null as "").
QStringList rowsOf(const QString& query, const QStringList& fields);

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

} // namespace quirelle::test
