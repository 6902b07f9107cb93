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

namespace {

qint32 addPaper(const QString& title)
{
    return static_cast<qint32>(
        test::addRow(*globals().dbProject, QStringLiteral("Papers"), {{"Title", title}}));
}

void addQuotation(qint32 paper, const QString& statement)
{
    test::addRow(*globals().dbProject, QStringLiteral("Paper Statements List"),
                 {{"Paper ID", QString::number(paper)}, {"Statement", statement}});
}

qint32 addKeyword(const QString& keyword)
{
    return static_cast<qint32>(
        test::addRow(*globals().dbProject, QStringLiteral("Keywords"), {{"Keyword", keyword}}));
}

void linkKeyword(qint32 paper, qint32 keyword, const QString& text)
{
    test::addRow(
        *globals().dbProject, QStringLiteral("Paper Keywords List"),
        {{"Keywords ID", keyword}, {"Paper ID", QString::number(paper)}, {"Keyword", text}});
}

QStringList lines(const QListWidget* list)
{
    QStringList out;
    for (int i = 0; i < list->count(); ++i)
        out << list->item(i)->text();
    return out;
}

QString line(qint32 paper, const QString& title)
{
    return QString::number(paper) + QStringLiteral(" : ") + title;
}

frmReport& openByPanel()
{
    auto* button =
        frmMenu::instance().findChild<QPushButton*>(controlName(QStringLiteral("cmdButton"), 8));
    QTest::mouseClick(button, Qt::LeftButton);
    test::settle();
    return frmReport::instance();
}

void runWord(frmReport& report, const QString& word)
{
    report.cmbKeyword->setEditText(word);
    QTest::mouseClick(report.cmdGo, Qt::LeftButton);
}

void doubleClick(QListWidget* list, int row)
{
    const QRect rect = list->visualItemRect(list->item(row));
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, rect.center());
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, rect.center());
    test::settle();
}

} // namespace

class TstReport : public QObject
{
    Q_OBJECT

private slots:
    void findsTheWordInTitlesQuotationsAndTheFirstKeyword()
    {
        test::Shell shell;
        const qint32 neural = addPaper(QStringLiteral("Neural NETworks"));
        const qint32 internet = addPaper(QStringLiteral("Internet studies"));
        const qint32 cats = addPaper(QStringLiteral("Cats"));
        addQuotation(neural, QStringLiteral("a net of nodes"));
        addQuotation(cats, QStringLiteral("nothing here"));
        addQuotation(neural, QStringLiteral("the Net again"));
        const qint32 network = addKeyword(QStringLiteral("network"));
        const qint32 netting = addKeyword(QStringLiteral("netting"));
        linkKeyword(cats, network, QStringLiteral("network"));
        linkKeyword(internet, network, QStringLiteral("network"));
        linkKeyword(neural, netting, QStringLiteral("netting"));

        frmReport& report = openByPanel();
        QVERIFY(report.isShown());
        QCOMPARE(report.caption(), QStringLiteral("Report"));
        QVERIFY(!frmMenu::instance().isEnabled());
        QCOMPARE(report.lblDetails[1]->text(), QStringLiteral("Paper Titles"));
        QCOMPARE(report.lblDetails[0]->text(), QStringLiteral("Quotations"));
        QCOMPARE(report.lblDetails[2]->text(), QStringLiteral("Keywords"));

        runWord(report, QStringLiteral("net"));
        QCOMPARE(report.lblDetails[1]->text(),
                 QStringLiteral("Paper titles containing the word net"));
        QCOMPARE(report.lblDetails[0]->text(),
                 QStringLiteral("Quotations containing the word net"));
        QCOMPARE(report.lblDetails[2]->text(),
                 QStringLiteral("Keyword fields containing the word net"));
        QCOMPARE(lines(report.lstByPaperTitle),
                 QStringList({line(neural, QStringLiteral("Neural NETworks")),
                              line(internet, QStringLiteral("Internet studies"))}));
        QCOMPARE(lines(report.lstByQuotation),
                 QStringList({line(neural, QStringLiteral("Neural NETworks")),
                              QStringLiteral(" ---> a net of nodes"),
                              line(neural, QStringLiteral("Neural NETworks")),
                              QStringLiteral(" ---> the Net again")}));
        // Only the papers of the first keyword that holds the word.
        QCOMPARE(lines(report.lstByKeyword),
                 QStringList({line(cats, QStringLiteral("Cats")),
                              line(internet, QStringLiteral("Internet studies"))}));

        // An empty word changes nothing; a word found nowhere empties every list.
        runWord(report, QString());
        QCOMPARE(report.lstByPaperTitle->count(), 2);
        QCOMPARE(report.lblDetails[1]->text(),
                 QStringLiteral("Paper titles containing the word net"));
        runWord(report, QStringLiteral("zebra"));
        QCOMPARE(report.lstByPaperTitle->count(), 0);
        QCOMPARE(report.lstByQuotation->count(), 0);
        QCOMPARE(report.lstByKeyword->count(), 0);
        QVERIFY(services::testing::messages().empty());

        // "Back" gives the options panel back and keeps what the report shows.
        runWord(report, QStringLiteral("net"));
        QTest::mouseClick(report.cmdCancel, Qt::LeftButton);
        QVERIFY(!report.isShown());
        QVERIFY(frmMenu::instance().isEnabled());
        QCOMPARE(report.lstByQuotation->count(), 4);
        QCOMPARE(report.cmbKeyword->currentText(), QStringLiteral("net"));
    }

    void keywordWithoutPapersAndQuotesInTheWord()
    {
        test::Shell shell;
        const qint32 paper = addPaper(QStringLiteral("O'Brien's law"));
        addQuotation(paper, QStringLiteral("as O'Brien said"));
        addKeyword(QStringLiteral("O'Brien method"));
        linkKeyword(paper, addKeyword(QStringLiteral("O'Brien")), QStringLiteral("O'Brien"));

        frmReport& report = openByPanel();
        runWord(report, QStringLiteral("o'brien"));
        QVERIFY(services::testing::messages().empty());
        QCOMPARE(lines(report.lstByPaperTitle),
                 QStringList({line(paper, QStringLiteral("O'Brien's law"))}));
        QCOMPARE(report.lstByQuotation->count(), 2);
        // The first keyword found is linked to no paper: its list stays empty.
        QCOMPARE(report.lstByKeyword->count(), 0);
    }

    void wordBoxOffersEachKeywordOnceAndEnterRunsTheReport()
    {
        test::Shell shell;
        const qint32 paper = addPaper(QStringLiteral("Graph theory"));
        linkKeyword(paper, addKeyword(QStringLiteral("graphs")), QStringLiteral("graphs"));
        addKeyword(QStringLiteral("algebra"));

        frmReport& report = openByPanel();
        runWord(report, QStringLiteral("graph"));
        QTest::mouseClick(report.cmdCancel, Qt::LeftButton);
        openByPanel();
        QCOMPARE(report.cmbKeyword->count(), 2);
        QCOMPARE(report.cmbKeyword->itemText(0), QStringLiteral("algebra"));
        QCOMPARE(report.cmbKeyword->itemText(1), QStringLiteral("graphs"));
        QCOMPARE(report.cmbKeyword->currentText(), QString());

        report.lstByPaperTitle->clear();
        report.cmbKeyword->setFocus();
        // Typing must not be completed into a keyword behind the user's back.
        QTest::keyClicks(report.cmbKeyword->lineEdit(), QStringLiteral("GRAPH"));
        QTest::keyClick(report.cmbKeyword->lineEdit(), Qt::Key_Return);
        QCOMPARE(report.lblDetails[1]->text(),
                 QStringLiteral("Paper titles containing the word GRAPH"));
        QCOMPARE(lines(report.lstByPaperTitle),
                 QStringList({line(paper, QStringLiteral("Graph theory"))}));
        QCOMPARE(lines(report.lstByKeyword), lines(report.lstByPaperTitle));
    }

    void doubleClickOpensThePaperOfTheLine()
    {
        test::Shell shell;
        const qint32 first = addPaper(QStringLiteral("Alpha waves"));
        const qint32 second = addPaper(QStringLiteral("Beta waves"));
        addQuotation(first, QStringLiteral("waves one"));
        addQuotation(second, QStringLiteral("waves two"));

        frmReport& report = openByPanel();
        runWord(report, QStringLiteral("waves"));
        const QStringList before = lines(report.lstByQuotation);

        // A quotation line opens the paper of the line above it.
        doubleClick(report.lstByQuotation, 3);
        QVERIFY(!report.isShown());
        QCOMPARE(report.lstByQuotation->currentRow(), 2);
        QCOMPARE(globals().previousPaperID, -100);

        windows::returnToReport();
        globals().previousPaperID = 0;
        QVERIFY(report.isShown());
        QCOMPARE(report.cmbKeyword->currentText(), QStringLiteral("waves"));
        QCOMPARE(lines(report.lstByQuotation), before);

        doubleClick(report.lstByPaperTitle, 1);
        QVERIFY(!report.isShown());
        QCOMPARE(report.lstByPaperTitle->currentItem()->text(),
                 line(second, QStringLiteral("Beta waves")));
        QCOMPARE(globals().previousPaperID, -100);
        QVERIFY(services::testing::messages().empty());
    }

    void strayDoubleClicksDoNothing()
    {
        test::Shell shell;
        globals().previousPaperID = 0;
        frmReport& report = openByPanel();
        // An empty list.
        QTest::mouseDClick(report.lstByKeyword->viewport(), Qt::LeftButton, {}, QPoint(5, 5));
        test::settle();
        QVERIFY(report.isShown());
        // A line that does not begin with a number.
        report.lstByPaperTitle->addItem(QStringLiteral("no number : here"));
        doubleClick(report.lstByPaperTitle, 0);
        QVERIFY(report.isShown());
        QCOMPARE(globals().previousPaperID, 0);
        QVERIFY(services::testing::messages().empty());
    }

    void paperIdOfLine_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("id");
        QTest::newRow("paper line") << QStringLiteral("42 : Title") << 42;
        QTest::newRow("past 16 bits") << QStringLiteral("70000 : Title") << 70000;
        QTest::newRow("quotation line") << QStringLiteral(" ---> 42 said") << -1;
        QTest::newRow("words") << QStringLiteral("Title 42") << -1;
        QTest::newRow("empty") << QString() << -1;
    }
    void paperIdOfLine()
    {
        QFETCH(QString, text);
        QFETCH(int, id);
        const auto found = quirelle::paperIdOfLine(text);
        QCOMPARE(found.value_or(-1), id);
    }
};

QTEST_MAIN(TstReport)
#include "tst_report.moc"
