// The word report: its headings and three lists, the word box, and opening a paper by a
// double-click, driven through the real window.
#include "app/frmmenu.h"
#include "app/services.h"
#include "app/windows.h"
#include "db/globals.h"
#include "reports/frmreport.h"
#include "testsupport.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTest>

using namespace quirelle;
using test::lines;

namespace {

qint32 add(const QString& table, const QVariantMap& values)
{
    return static_cast<qint32>(test::addRow(*globals().dbProject, table, values));
}

// A paper with its quotations. A new project numbers its papers from 1.
void addPaper(const QString& title, const QStringList& quotations = {})
{
    const qint32 id = add("Papers", {{"Title", title}});
    for (const QString& q : quotations)
        add("Paper Statements List", {{"Paper ID", QString::number(id)}, {"Statement", q}});
}

// A keyword linked to `papers`.
void addKeyword(const QString& keyword, const QList<qint32>& papers = {})
{
    const qint32 id = add("Keywords", {{"Keyword", keyword}});
    for (qint32 paper : papers)
        add("Paper Keywords List",
            {{"Keywords ID", id}, {"Paper ID", QString::number(paper)}, {"Keyword", keyword}});
}

frmReport& openByPanel()
{
    QTest::mouseClick(frmMenu::instance().cmdButton[8], Qt::LeftButton);
    test::settle();
    return frmReport::instance();
}

void runWord(frmReport& report, const QString& word)
{
    report.cmbKeyword->setEditText(word);
    QTest::mouseClick(report.cmdGo, Qt::LeftButton);
}

} // namespace

class TstReport : public QObject
{
    Q_OBJECT

private slots:
    void findsTheWordInTitlesQuotationsAndTheFirstKeyword()
    {
        test::Shell shell;
        addPaper("Neural NETworks", {"a net of nodes", "the Net again"});
        addPaper("Internet studies");
        addPaper("Cats", {"nothing here"});
        addPaper("O'Brien's law", {"as O'Brien said"});
        addKeyword("network", {3, 2});
        addKeyword("netting", {1});
        addKeyword("O'Brien method");
        addKeyword("O'Brien", {4});

        frmReport& report = openByPanel();
        runWord(report, "net");
        QCOMPARE(report.lblDetails[1]->text(), "Paper titles containing the word net");
        QCOMPARE(report.lblDetails[0]->text(), "Quotations containing the word net");
        QCOMPARE(report.lblDetails[2]->text(), "Keyword fields containing the word net");
        QCOMPARE(lines(report.lstByPaperTitle),
                 QStringList({"1 : Neural NETworks", "2 : Internet studies"}));
        // A paper with two quotations appears twice.
        QCOMPARE(lines(report.lstByQuotation),
                 QStringList({"1 : Neural NETworks", " ---> a net of nodes", "1 : Neural NETworks",
                              " ---> the Net again"}));
        // Only the papers of the first keyword that holds the word.
        QCOMPARE(lines(report.lstByKeyword), QStringList({"3 : Cats", "2 : Internet studies"}));

        // An empty word changes nothing.
        runWord(report, QString());
        QCOMPARE(report.lblDetails[1]->text(), "Paper titles containing the word net");
        QCOMPARE(report.lstByPaperTitle->count(), 2);
        // Apostrophes; the first keyword found has no papers, so its list stays empty.
        runWord(report, "o'brien");
        QCOMPARE(lines(report.lstByPaperTitle), QStringList({"4 : O'Brien's law"}));
        QCOMPARE(report.lstByQuotation->count(), 2);
        QCOMPARE(report.lstByKeyword->count(), 0);
        // A word found nowhere empties every list.
        runWord(report, "zebra");
        QCOMPARE(report.lstByPaperTitle->count() + report.lstByQuotation->count(), 0);
        QVERIFY(services::testing::messages().empty());

        // Opened again, the word box offers each keyword once, and Enter runs the report with the
        // word as typed, not completed into a keyword.
        QTest::mouseClick(report.cmdCancel, Qt::LeftButton);
        openByPanel();
        QCOMPARE(report.cmbKeyword->count(), 4);
        report.cmbKeyword->setFocus();
        QTest::keyClicks(report.cmbKeyword->lineEdit(), "NET");
        QTest::keyClick(report.cmbKeyword->lineEdit(), Qt::Key_Return);
        QCOMPARE(report.lblDetails[1]->text(), "Paper titles containing the word NET");
        QCOMPARE(report.lstByPaperTitle->count(), 2);
    }

    void doubleClickOpensThePaperOfTheLine()
    {
        test::Shell shell;
        addPaper("Alpha waves", {"waves one"});
        addPaper("Beta waves", {"waves two"});
        globals().previousPaperID = 0;
        frmReport& report = openByPanel();
        // Stray double-clicks do nothing: on an empty list, on a line without a number.
        QTest::mouseDClick(report.lstByKeyword->viewport(), Qt::LeftButton, {}, QPoint(5, 5));
        report.lstByPaperTitle->addItem("no number : here");
        test::doubleClickLine(report.lstByPaperTitle, 0);
        QVERIFY(report.isShown());
        QCOMPARE(globals().previousPaperID, 0);

        runWord(report, "waves");
        const QStringList before = lines(report.lstByQuotation);
        // A quotation line opens the paper of the line above it.
        test::doubleClickLine(report.lstByQuotation, 3);
        QVERIFY(!report.isShown());
        QCOMPARE(report.lstByQuotation->currentRow(), 2);
        QCOMPARE(globals().previousPaperID, -100);

        windows::returnToReport();
        globals().previousPaperID = 0;
        QVERIFY(report.isShown());
        QCOMPARE(report.cmbKeyword->currentText(), "waves");
        QCOMPARE(lines(report.lstByQuotation), before);

        test::doubleClickLine(report.lstByPaperTitle, 1);
        QVERIFY(!report.isShown());
        QCOMPARE(report.lstByPaperTitle->currentItem()->text(), "2 : Beta waves");
        QCOMPARE(globals().previousPaperID, -100);
        QVERIFY(services::testing::messages().empty());
        // Paper numbers past 16 bits are read whole; a quotation line holds none.
        QCOMPARE(paperIdOfLine("70000 : Title").value_or(-1), 70000);
        QCOMPARE(paperIdOfLine(" ---> 42 said").value_or(-1), -1);
    }
};

QTEST_MAIN(TstReport)
#include "tst_report.moc"
