// The project schema: twelve tables in order with their fields, created empty; existing tables
// kept.
#include "db/schema.h"
#include "testsupport.h"

#include <QTest>

using namespace quirelle;
using namespace quirelle::db;

class TstSchema : public QObject
{
    Q_OBJECT

private slots:
    void newProjectHasTwelveEmptyTables()
    {
        test::TempProject p;
        const QStringList expected{"Authors",
                                   "Keywords",
                                   "Master",
                                   "Meeting",
                                   "Models",
                                   "Paper Authors List",
                                   "Paper Keywords List",
                                   "Paper Models List",
                                   "Paper References List",
                                   "Paper Statements List",
                                   "Papers",
                                   "Time Management"};
        QStringList names;
        for (const TableDef& t : projectTables())
            names << t.name;
        QCOMPARE(names, expected);
        for (const QString& t : expected) {
            QVERIFY2(tableExists(p.db(), t), qPrintable(t));
            QVERIFY(tableExists(p.db(), t.toUpper()));
            QCOMPARE(test::countRows(p.db(), t), 0);
        }
        QVERIFY(!tableExists(p.db(), QStringLiteral("Paper")));
    }

    void fieldsAsDescribed()
    {
        test::TempProject p;
        const TableInfo& papers = p.db().TableDefs(QStringLiteral("papers"));
        QStringList names;
        for (const ColumnInfo& c : papers.columns)
            names << c.name;
        QCOMPARE(names, QStringList({"Paper ID", "Title", "Year", "Summary", "Status", "Rating",
                                     "Publication Type", "Publication name"}));
        QCOMPARE(papers.columns[0].type, FieldType::Long);
        QVERIFY(papers.columns[0].autoNumber);
        QCOMPARE(papers.columns[1].size, 100);
        QCOMPARE(papers.columns[3].type, FieldType::Memo);
        QCOMPARE(papers.columns[7].size, 255);
        const TableInfo& links = p.db().TableDefs(QStringLiteral("Paper Keywords List"));
        QCOMPARE(links.columns[0].name, QStringLiteral("Keywords ID"));
        QVERIFY(links.columns[0].autoNumber);
        QCOMPARE(links.columns[2].size, 30);
    }

    void existingTableKeepsItsRows()
    {
        test::TempProject p;
        test::addRow(p.db(), QStringLiteral("Papers"), {{"Title", "kept"}});
        createMissingTables(p.db()); // nothing to do, nothing lost
        QCOMPARE(test::countRows(p.db(), QStringLiteral("Papers")), 1);

        // A database that has some of the tables gets the missing ones only.
        QTemporaryDir dir;
        auto db = Database::CreateDatabase(dir.filePath(QStringLiteral("partial")));
        createTable(*db, projectTables()[10]);
        test::addRow(*db, QStringLiteral("Papers"), {{"Title", "old"}});
        createMissingTables(*db);
        QCOMPARE(test::countRows(*db, QStringLiteral("Papers")), 1);
        QVERIFY(tableExists(*db, QStringLiteral("Time Management")));
    }
};

QTEST_GUILESS_MAIN(TstSchema)
#include "tst_schema.moc"
