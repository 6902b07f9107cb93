// The project's tables: a new file has every table, empty; an older file gets the tables added
// since when opened; a file that is no project is refused.
#include "dbtestsupport.h"

using namespace quirelle;
using namespace quirelle::db;
using quirelle::test::addRow;

class TstProject : public QObject
{
    Q_OBJECT

private slots:
    void tablesMadeAddedAndRequired()
    {
        test::TempProject p;
        std::vector<TableDef> all = projectTables();
        all.insert(all.end(), addedTables().begin(), addedTables().end());
        for (const TableDef& t : all) {
            QVERIFY2(tableExists(p.db(), t.name.toUpper()), qPrintable(t.name));
            QCOMPARE(test::countRows(p.db(), t.name), 0);
        }
        QVERIFY(!tableExists(p.db(), "Paper"));
        // A database that has some of the tables gets the missing ones only.
        auto db = Database::CreateDatabase(p.folder() + "/partial");
        createTable(*db, projectTables()[10]);
        addRow(*db, "Papers", {{"Title", "old"}});
        createMissingTables(*db);
        QCOMPARE(test::countRows(*db, "Papers"), 1);
        QVERIFY(tableExists(*db, "Time Management"));
        // An older file, made with the described tables only, gets the added ones when opened.
        const QString path = p.folder() + "/older";
        {
            auto older = Database::CreateDatabase(path);
            createMissingTables(*older);
            addRow(*older, "Papers", {{"Title", "old"}});
        }
        // Opened read-only, it is not changed, and it still opens.
        QVERIFY(project().open(path, nullptr, true));
        QVERIFY(!project().db().tableExists("Paper Extra Fields"));
        QVERIFY(project().open(path));
        QVERIFY(project().db().tableExists("Paper Extra Fields"));
        QVERIFY(project().db().tableExists("Paper Files"));
        QCOMPARE(test::countRows(project().db(), "Papers"), 1);
        // A file without the described tables is not a project, and opening it keeps the
        // project that was open.
        Database::CreateDatabase(p.folder() + "/other")->Close();
        QString reason;
        QVERIFY(!project().open(p.folder() + "/other", &reason));
        QVERIFY2(reason.contains("Authors"), qPrintable(reason));
        QCOMPARE(project().projectFilePath(), path);
        QVERIFY(project().isOpen());
    }
};

QTEST_GUILESS_MAIN(TstProject)
#include "tst_project.moc"
