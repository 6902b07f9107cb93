// The project: a new file has every table, empty; an older file gets the tables added since when
// opened; a file that is no project is refused; the shared record set routines.
#include "db/sharedqueries.h"
#include "dbtestsupport.h"

using namespace quirelle;
using namespace quirelle::db;
using quirelle::test::addRow;

class TstProject : public QObject
{
    Q_OBJECT

private slots:
    void newProjectHasEveryTableEmpty()
    {
        test::TempProject p;
        std::vector<TableDef> all = projectTables();
        all.insert(all.end(), addedTables().begin(), addedTables().end());
        for (const TableDef& t : all) {
            QVERIFY2(tableExists(p.db(), t.name.toUpper()), qPrintable(t.name));
            QCOMPARE(test::countRows(p.db(), t.name), 0);
        }
        QVERIFY(!tableExists(p.db(), QStringLiteral("Paper")));
        // A database that has some of the tables gets the missing ones only.
        auto db = Database::CreateDatabase(p.folder() + QStringLiteral("/partial"));
        createTable(*db, projectTables()[10]);
        addRow(*db, QStringLiteral("Papers"), {{"Title", "old"}});
        createMissingTables(*db);
        QCOMPARE(test::countRows(*db, QStringLiteral("Papers")), 1);
        QVERIFY(tableExists(*db, QStringLiteral("Time Management")));
    }

    void olderFileGetsTheAddedTablesWhenOpened()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("older"));
        {
            auto db = Database::CreateDatabase(path);
            createMissingTables(*db); // the described tables only, as older versions made them
            addRow(*db, QStringLiteral("Papers"), {{"Title", "old"}});
        }
        // Opened read-only, it is not changed, and it still opens.
        QVERIFY(project().open(path, nullptr, true));
        QVERIFY(!project().db().tableExists(QStringLiteral("Paper Extra Fields")));
        QVERIFY(project().open(path));
        QVERIFY(project().db().tableExists(QStringLiteral("Paper Extra Fields")));
        QCOMPARE(test::countRows(project().db(), QStringLiteral("Papers")), 1);
        project().close();
        // A file without the described tables is not a project, and opening it keeps the
        // project that was open.
        test::TempProject kept;
        Database::CreateDatabase(dir.filePath(QStringLiteral("other")))->Close();
        QString reason;
        QVERIFY(!project().open(dir.filePath(QStringLiteral("other")), &reason));
        QVERIFY2(reason.contains(QStringLiteral("Authors")), qPrintable(reason));
        QCOMPARE(project().projectFilePath, kept.pathWithoutExtension());
        QVERIFY(project().rsPapers.isOpen());
    }

    // What the routines find and leave in their record sets, on empty and filled tables.
    void sharedQueries_data()
    {
        QTest::addColumn<bool>("filled");
        QTest::newRow("empty tables") << false;
        QTest::newRow("filled tables") << true;
    }
    void sharedQueries()
    {
        QFETCH(bool, filled);
        test::TempProject p;
        Project& g = project();
        if (filled) {
            for (const char* s : {"Venmoor", "Wendrake", "abel"})
                addRow("Authors", {{"Surname", s}});
            for (const char* k : {"vision", "Audio"})
                addRow("Keywords", {{"Keyword", k}});
            for (const char* m : {"Transformer", "cnn"})
                addRow("Models", {{"Model", m}});
            for (const char* t : {"Signals in Clay", "Clay Remembers"})
                addRow("Papers", {{"Title", t}});
            for (int a : {1, 3})
                test::linkAuthor(2, a);
            test::linkAuthor(1, 2);
            addRow("Paper Statements List", {{"Paper ID", "2"}, {"Statement", "clay"}});
        }
        // Whole lists in their order, letter case aside; the first row current.
        QCOMPARE(getAllAuthors(), filled);
        QCOMPARE(g.rsAuthors.RecordCount(), filled ? 3 : 0);
        QCOMPARE(getAllKeywords(), filled);
        QCOMPARE(getAllModels(), filled);
        if (filled) {
            QCOMPARE(g.rsAuthors.Fields("Surname").text(), QStringLiteral("abel"));
            QCOMPARE(g.rsKeywords.Fields("Keyword").text(), QStringLiteral("Audio"));
            QCOMPARE(g.rsModels.Fields("Model").text(), QStringLiteral("cnn"));
        }
        // One row by its number; a number that names none leaves the set empty.
        QCOMPARE(getAuthor(2), filled);
        if (filled)
            QCOMPARE(g.rsAuthors.Fields("Surname").text(), QStringLiteral("Wendrake"));
        QCOMPARE(getAuthor(99), false);
        QCOMPARE(g.rsAuthors.RecordCount(), 0);
        QCOMPARE(getPaper(2), filled);
        QCOMPARE(getPaper(3), false);
        // A paper's link rows in their own order; numbers beyond 16 bits.
        QCOMPARE(getPaperAuthors(2), filled);
        QCOMPARE(g.rsPaperAuthors.RecordCount(), filled ? 2 : 0);
        if (filled)
            QCOMPARE(g.rsPaperAuthors.Fields("Author ID").text(), QStringLiteral("1"));
        QCOMPARE(getPaperStatements(2), filled);
        QCOMPARE(getPaperStatements(1), false);
        QCOMPARE(getPaperAuthors(40000), false);
        QCOMPARE(openAllLists(), 0);
        addRow("Master", {});
        addRow("Master", {});
        QCOMPARE(getMaster(), 2); // more than one is the caller's to report
        QCOMPARE(openAllLists(), 2);
        QCOMPARE(g.rsPapers.RecordCount(), filled ? 2 : 0);
        QCOMPARE(g.rsPaperStatements.RecordCount(), filled ? 1 : 0);
    }
};

QTEST_GUILESS_MAIN(TstProject)
#include "tst_project.moc"
