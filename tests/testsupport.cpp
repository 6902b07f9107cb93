// Shared test helpers.
#include "testsupport.h"

#include "app/services.h"
#include "db/globals.h"
#include "db/schema.h"

#include <QProcess>
#include <QStandardPaths>

namespace quirelle::test {

TempProject::TempProject()
{
    services::testing::enable();
    services::testing::reset();
    globals().releaseAll();
    db::createProjectFile(pathWithoutExtension());
    globals().dbProject = db::Database::OpenDatabase(file());
    globals().projectFilePath = pathWithoutExtension();
    globals().appPath = folder();
}

TempProject::~TempProject()
{
    globals().releaseAll();
}

db::Database& TempProject::db()
{
    return *globals().dbProject;
}

qint64 addRow(db::Database& database, const QString& table, const QVariantMap& values)
{
    db::Recordset rs = database.OpenRecordset(QStringLiteral("select * from [%1];").arg(table));
    rs.AddNew();
    for (auto it = values.begin(); it != values.end(); ++it)
        rs.Fields(it.key()).setValue(it.value());
    rs.Update();
    rs.setBookmark(rs.LastModified());
    for (int i = 0; i < rs.fieldCount(); ++i) {
        const db::TableInfo& info = database.TableDefs(table);
        if (info.columns[static_cast<size_t>(i)].autoNumber)
            return rs.Fields(rs.fieldName(i)).Value().toLongLong();
    }
    return -1;
}

int countRows(db::Database& database, const QString& table)
{
    return database.OpenRecordset(QStringLiteral("select * from [%1];").arg(table)).RecordCount();
}

QString sqliteShell(const QString& file, const QString& sql)
{
    const QString shell = QStandardPaths::findExecutable(QStringLiteral("sqlite3"));
    if (shell.isEmpty())
        return {};
    QProcess p;
    p.start(shell, {file, sql});
    p.waitForFinished(30000);
    return QString::fromUtf8(p.readAllStandardOutput() + p.readAllStandardError()).trimmed();
}

} // namespace quirelle::test
