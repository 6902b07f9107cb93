// The shared record set routines: what they find and what they leave in their record sets, on
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
            for (const char* a : {"1", "3"})
                addRow("Paper Authors List", {{"Paper ID", "2"}, {"Author ID", a}});
            addRow("Paper Authors List", {{"Paper ID", "1"}, {"Author ID", "2"}});
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

QTEST_GUILESS_MAIN(TstSharedQueries)
#include "tst_sharedqueries.moc"
