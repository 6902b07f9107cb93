// Shared test helpers.
#include "testsupport.h"

#include "app/form.h"
#include "app/frmmain.h"
#include "app/services.h"
#include "db/globals.h"
#include "db/schema.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QListWidget>
#include <QProcess>
#include <QStandardPaths>
#include <QTest>

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

Shell::Shell(Start start) : m_previousDir(QDir::currentPath())
{
    services::testing::enable();
    services::testing::reset();
    globals().releaseAll();
    QDir::setCurrent(m_dir.path());
    if (start == Start::OnProject) {
        db::createProjectFile(pathWithoutExtension());
        QFile nif(QStringLiteral("support.nif"));
        if (nif.open(QIODevice::WriteOnly))
            nif.write(("settings\n\"" + pathWithoutExtension() + "\"\n").toUtf8());
        nif.close();
    }
    services::guarded([] { frmMain::instance(); });
    settle();
}

Shell::~Shell()
{
    frmMain::unload();
    globals().releaseAll();
    services::testing::reset();
    QDir::setCurrent(m_previousDir);
}

db::Database& Shell::db()
{
    return *globals().dbProject;
}

QStringList lines(const QListWidget* list)
{
    QStringList out;
    for (int i = 0; i < list->count(); ++i)
        out << list->item(i)->text();
    return out;
}

void clickLine(QListWidget* list, int row)
{
    const QRect rect = list->visualItemRect(list->item(row));
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, rect.center());
    settle();
}

void doubleClickLine(QListWidget* list, int row)
{
    const QRect rect = list->visualItemRect(list->item(row));
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, rect.center());
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, rect.center());
    settle();
}

void settle()
{
    for (int i = 0; i < 3; ++i)
        QApplication::processEvents();
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
