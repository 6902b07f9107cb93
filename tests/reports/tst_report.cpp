// The word report: its headings and three lists, the word box with its Enter key, and opening a
// paper by a double-click, driven through the real window.
#include "paper/frmviewpaper.h"
#include "reports/frmreport.h"
#include "testsupport.h"

using namespace quirelle;
using namespace quirelle::test;

class TstReport : public QObject
{
    Q_OBJECT

    // A paper with its quotations. A new project numbers its papers from 1.
    static void addQuoted(const QString& title, const QStringList& quotations = {})
    {
        const qint64 id = addPaper(title);
        for (const QString& q : quotations)
            addRow("Paper Statements List", {{"Paper ID", QString::number(id)}, {"Statement", q}});
    }
    // A keyword linked to `papers`.
    static void addKeyword(const QString& keyword, const QList<qint32>& papers = {})
    {
        const qint64 id = addRow("Keywords", {{"Keyword", keyword}});
        for (qint32 paper : papers)
            addRow(
                "Paper Keywords List",
                {{"Keywords ID", id}, {"Paper ID", QString::number(paper)}, {"Keyword", keyword}});
    }
    static frmReport& report() { return frmReport::instance(); }
    static QListWidget* list(const char* name) { return control<QListWidget>(report(), name); }
    static QComboBox* wordBox() { return control<QComboBox>(report(), "cmbKeyword"); }
    static QString heading(int i)
    {
        return control<QLabel>(report(), controlName("lblDetails", i))->text();
    }
    static void runWord(const QString& word)
    {
        replaceText(wordBox(), word);
        click(control(report(), "cmdGo"));
    }
    static frmViewPaper& paper() { return frmViewPaper::instance(); }

private slots:
    void findsTheWordInTitlesQuotationsAndTheFirstKeyword()
    {
        Shell shell;
        addQuoted("Neural NETworks", {"a net of nodes", "the Net again"});
        addQuoted("Internet studies");
        addQuoted("Cats", {"nothing here"});
        addQuoted("O'Brien's law", {"as O'Brien said"});
        addKeyword("network", {3, 2});
        addKeyword("netting", {1});
        addKeyword("O'Brien method");
        addKeyword("O'Brien", {4});
        panelButton(8);
        runWord("net");
        QCOMPARE(heading(1), "Paper titles containing the word net");
        QCOMPARE(heading(0), "Quotations containing the word net");
        QCOMPARE(heading(2), "Keyword fields containing the word net");
        QCOMPARE(lines(list("lstByPaperTitle")),
                 QStringList({"1 : Neural NETworks", "2 : Internet studies"}));
        // A paper with two quotations appears twice.
        QCOMPARE(lines(list("lstByQuotation")),
                 QStringList({"1 : Neural NETworks", " ---> a net of nodes", "1 : Neural NETworks",
                              " ---> the Net again"}));
        // Only the papers of the first keyword that holds the word.
        QCOMPARE(lines(list("lstByKeyword")), QStringList({"3 : Cats", "2 : Internet studies"}));
        // An empty word changes nothing.
        runWord(QString());
        QCOMPARE(heading(1), "Paper titles containing the word net");
        QCOMPARE(list("lstByPaperTitle")->count(), 2);
        // Apostrophes; the first keyword found has no papers, so its list stays empty.
        runWord("o'brien");
        QCOMPARE(lines(list("lstByPaperTitle")), QStringList({"4 : O'Brien's law"}));
        QCOMPARE(list("lstByQuotation")->count(), 2);
        QCOMPARE(list("lstByKeyword")->count(), 0);
        // A word found nowhere empties every list.
        runWord("zebra");
        QCOMPARE(list("lstByPaperTitle")->count() + list("lstByQuotation")->count(), 0);
        QVERIFY(services::testing::messages().empty());
        // Opened again, the word box offers each keyword once, and Enter runs the report with the
        // word as typed, not completed into a keyword.
        click(control(report(), "cmdCancel"));
        panelButton(8);
        QCOMPARE(wordBox()->count(), 4);
        typeKeys(wordBox(), "NET\n");
        QCOMPARE(heading(1), "Paper titles containing the word NET");
        QCOMPARE(list("lstByPaperTitle")->count(), 2);
    }

    void doubleClickOpensThePaperOfTheLine()
    {
        Shell shell;
        addQuoted("Alpha waves", {"waves one"});
        addQuoted("Beta waves", {"waves two"});
        panelButton(8);
        // Stray double-clicks do nothing: on an empty list, on a line without a number.
        QTest::mouseDClick(list("lstByKeyword")->viewport(), Qt::LeftButton, {}, QPoint(5, 5));
        list("lstByPaperTitle")->addItem("no number : here");
        doubleClickLine(list("lstByPaperTitle"), 0);
        QVERIFY(report().isShown());
        QVERIFY(!frmViewPaper::isLoaded());
        runWord("waves");
        const QStringList before = lines(list("lstByQuotation"));
        // A quotation line opens the paper of the line above it.
        doubleClickLine(list("lstByQuotation"), 3);
        QVERIFY(!report().isShown());
        QCOMPARE(list("lstByQuotation")->currentRow(), 2);
        QCOMPARE(paper().currentPaperID(), 2);
        QCOMPARE(paper().previousPaperID(), -100);
        QVERIFY(!control(paper(), "cmdBackToPrevious")->isEnabled());
        // Back returns to the report as it was left; the options panel stays disabled until
        // the report's own Back.
        click(control(paper(), "cmdBack"));
        QVERIFY(report().isShown());
        QCOMPARE(wordBox()->currentText(), "waves");
        QCOMPARE(heading(1), "Paper titles containing the word waves");
        QCOMPARE(lines(list("lstByQuotation")), before);
        QVERIFY(!frmMenu::instance().isEnabled());
        QCOMPARE(paper().previousPaperID(), 0); // the report's mark is used up
        doubleClickLine(list("lstByPaperTitle"), 0);
        QVERIFY(!report().isShown());
        QCOMPARE(paper().currentPaperID(), 1);
        QCOMPARE(paper().previousPaperID(), -100);
        click(control(paper(), "cmdBack"));
        click(control(report(), "cmdCancel"));
        QVERIFY(frmMenu::instance().isEnabled());
        QCOMPARE(frmMenu::instance().palette().color(QPalette::Window), QColor(128, 255, 255));
        QVERIFY(services::testing::messages().empty());
    }
};

QTEST_MAIN(TstReport)
#include "tst_report.moc"
