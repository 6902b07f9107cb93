// The shared record set routines: their results and what they leave in their record sets, on
// empty and filled tables.
#include "db/project.h"
#include "db/sharedqueries.h"
#include "dbtestsupport.h"

#include <QTest>

using namespace quirelle;
using quirelle::test::addRow;

class TstSharedQueries : public QObject
{
    Q_OBJECT

private:
    void fill(db::Database& d)
    {
        addRow(d, "Authors", {{"Surname", "Venmoor"}, {"Forenames", "Kade"}});
        addRow(d, "Authors", {{"Surname", "Wendrake"}, {"Forenames", "Ilse"}});
        addRow(d, "Authors", {{"Surname", "abel"}, {"Forenames", "Ann"}});
        addRow(d, "Keywords", {{"Keyword", "vision"}});
        addRow(d, "Keywords", {{"Keyword", "Audio"}});
        addRow(d, "Models", {{"Model", "Transformer"}});
        addRow(d, "Models", {{"Model", "cnn"}});
        addRow(d, "Papers", {{"Title", "Signals in Clay"}});
        addRow(d, "Papers", {{"Title", "Clay Remembers"}});
        addRow(d, "Meeting", {{"Date", "12/05/26"}});
        addRow(d, "Paper Authors List", {{"Paper ID", "2"}, {"Author ID", "1"}});
        addRow(d, "Paper Authors List", {{"Paper ID", "2"}, {"Author ID", "3"}});
        addRow(d, "Paper Authors List", {{"Paper ID", "1"}, {"Author ID", "2"}});
        addRow(d, "Paper Keywords List",
               {{"Keywords ID", 1}, {"Paper ID", "2"}, {"Keyword", "vision"}});
        addRow(d, "Paper Models List", {{"Paper ID", "2"}, {"Model ID", "2"}});
        addRow(d, "Paper References List", {{"Reference ID", 1}, {"Paper ID", "2"}});
        addRow(d, "Paper Statements List", {{"Paper ID", "2"}, {"Statement", "clay remembers"}});
    }

private slots:
    void routines_data()
    {
        QTest::addColumn<bool>("filled");
        QTest::newRow("empty tables") << false;
        QTest::newRow("filled tables") << true;
    }
    void routines()
    {
        QFETCH(bool, filled);
        test::TempProject p;
        if (filled)
            fill(p.db());
        Project& g = project();

        QCOMPARE(getAllAuthors(), filled);
        QCOMPARE(g.rsAuthors.RecordCount(), filled ? 3 : 0);
        if (filled) {
            QCOMPARE(g.rsAuthors.AbsolutePosition(), 0);
            QCOMPARE(g.rsAuthors.Fields("Surname").text(), QStringLiteral("abel")); // case ignored
        }
        QCOMPARE(getAuthor(2), filled);
        if (filled)
            QCOMPARE(g.rsAuthors.Fields("Surname").text(), QStringLiteral("Wendrake"));
        QCOMPARE(getAuthor(99), false);
        QCOMPARE(g.rsAuthors.RecordCount(), 0);

        QCOMPARE(getAllKeywords(), filled);
        if (filled)
            QCOMPARE(g.rsKeywords.Fields("Keyword").text(), QStringLiteral("Audio"));
        QCOMPARE(getKeyword(1), filled);
        QCOMPARE(getAllModels(), filled);
        if (filled)
            QCOMPARE(g.rsModels.Fields("Model").text(), QStringLiteral("cnn"));
        QCOMPARE(getModel(1), filled);

        getAllPapers();
        QCOMPARE(g.rsPapers.RecordCount(), filled ? 2 : 0);
        QCOMPARE(getPaper(2), filled);
        QCOMPARE(getPaper(3), false);
        QCOMPARE(g.rsPapers.RecordCount(), 0);
        getAllMeetings();
        QCOMPARE(g.rsMeetings.RecordCount(), filled ? 1 : 0);

        QCOMPARE(getAllPaperAuthors(), filled);
        QCOMPARE(getPaperAuthors(2), filled);
        QCOMPARE(g.rsPaperAuthors.RecordCount(), filled ? 2 : 0);
        if (filled)
            QCOMPARE(g.rsPaperAuthors.Fields("Author ID").text(),
                     QStringLiteral("1")); // link order
        QCOMPARE(getPaperKeywords(2), filled);
        QCOMPARE(getPaperModels(2), filled);
        QCOMPARE(getPaperReferences(2), filled);
        QCOMPARE(getPaperStatements(2), filled);
        QCOMPARE(getPaperStatements(1), false);
        QCOMPARE(getPaperAuthors(40000), false); // ids beyond 16 bits

        QCOMPARE(getMaster(), 0);
        QCOMPARE(openAllLists(), 0);
        QCOMPARE(g.rsPapers.RecordCount(), filled ? 2 : 0);
        QCOMPARE(g.rsPaperStatements.RecordCount(), filled ? 1 : 0);
        QVERIFY(g.rsMaster.isOpen());
    }
};

QTEST_GUILESS_MAIN(TstSharedQueries)
#include "tst_sharedqueries.moc"
