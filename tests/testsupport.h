// Shared test helpers: a fresh project in a temporary folder, the services in test mode, and
// small helpers to put rows into tables.
#pragma once

#include "db/database.h"

#include <QString>
#include <QTemporaryDir>
#include <QVariantMap>

class QListWidget;

#include <memory>

namespace quirelle::test {

// A new project file with all twelve tables in its own temporary folder, opened as the
// program's project (dbProject), with the window services answering instead of the user.
class TempProject
{
public:
    TempProject();
    ~TempProject();
    QString folder() const { return m_dir.path(); }
    QString pathWithoutExtension() const { return m_dir.filePath(QStringLiteral("project")); }
    QString file() const { return pathWithoutExtension() + QStringLiteral(".mdb"); }
    db::Database& db();

private:
    QTemporaryDir m_dir;
};

// The whole program started on a fresh project in a temporary folder (the working directory
// while it lives): "support.nif" names the project, the main window loads, the options panel
// connects. The window services answer instead of the user.
class Shell
{
public:
    enum class Start { OnProject, EmptyFolder };
    explicit Shell(Start start = Start::OnProject);
    ~Shell();
    QString folder() const { return m_dir.path(); }
    QString pathWithoutExtension() const { return m_dir.filePath(QStringLiteral("project")); }
    QString file() const { return pathWithoutExtension() + QStringLiteral(".mdb"); }
    db::Database& db();

private:
    QTemporaryDir m_dir;
    QString m_previousDir;
};

// The lines of a list box, and a click or double-click on one of its lines, as a user gives it.
QStringList lines(const QListWidget* list);
void clickLine(QListWidget* list, int row);
void doubleClickLine(QListWidget* list, int row);

// Lets queued events run (windows shown, focus moved, timers due).
void settle();

// Adds one row to `table` with the given field values and returns its auto number (or -1).
qint64 addRow(db::Database& database, const QString& table, const QVariantMap& values);
int countRows(db::Database& database, const QString& table);

// Runs the sqlite3 shell on `file` with `sql` and returns its output; empty when it is missing.
QString sqliteShell(const QString& file, const QString& sql);

} // namespace quirelle::test
