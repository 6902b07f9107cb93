// Whole journeys through the windows: from the search and from the word report into the paper
// window and back, and a deletion that sends the user back to a fresh search.
#include "app/frmmain.h"
#include "app/frmmenu.h"
#include "app/services.h"
#include "db/globals.h"
#include "paper/frmviewpaper.h"
#include "reports/frmreport.h"
#include "search/frmsearchpapers.h"
#include "testsupport.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTest>

using namespace quirelle;
namespace st = quirelle::services::testing;

namespace {

struct Catalogue
{
    qint32 clay = 0;
    qint32 signals_ = 0;
    qint32 other = 0;
};

Catalogue fill(db::Database& d)
{
    Catalogue c;
    c.clay = static_cast<qint32>(
        test::addRow(d, "Papers", {{"Title", "Clay Remembers"}, {"Summary", "on clay"}}));
    c.signals_ = static_cast<qint32>(test::addRow(d, "Papers", {{"Title", "Signals in Clay"}}));
    c.other = static_cast<qint32>(test::addRow(d, "Papers", {{"Title", "Unrelated"}}));
    const qint32 author = static_cast<qint32>(
        test::addRow(d, "Authors", {{"Surname", "Wendrake"}, {"Forenames", "Ilse"}}));
    for (qint32 p : {c.clay, c.signals_})
        test::addRow(d, "Paper Authors List",
                     {{"Paper ID", QString::number(p)}, {"Author ID", QString::number(author)}});
    test::addRow(d, "Paper References List",
                 {{"Reference ID", c.clay}, {"Paper ID", QString::number(c.signals_)}});
    test::addRow(d, "Paper Statements List",
                 {{"Paper ID", QString::number(c.signals_)}, {"Statement", "clay remembers"}});
    test::addRow(d, "Paper Keywords List",
                 {{"Keywords ID", 1}, {"Paper ID", QString::number(c.other)}, {"Keyword", "x"}});
    return c;
}

QString paperNumber()
{
    return qobject_cast<QLineEdit*>(frmViewPaper::instance().txtDetails[6])->text();
}

QPushButton* panelButton(int index)
{
    return frmMenu::instance().cmdButton[static_cast<size_t>(index)];
}

} // namespace

class TstRoundTrips : public QObject
{
    Q_OBJECT

private slots:
    void reportToPaperAndBack()
    {
        test::Shell shell;
        const Catalogue c = fill(shell.db());
        QTest::mouseClick(panelButton(8), Qt::LeftButton);
        frmReport& report = frmReport::instance();
        QVERIFY(!frmMenu::instance().isEnabled());
        report.cmbKeyword->setEditText(QStringLiteral("clay"));
        QTest::mouseClick(report.cmdGo, Qt::LeftButton);
        const QStringList titles = test::lines(report.lstByPaperTitle);
        const QStringList quotations = test::lines(report.lstByQuotation);
        QCOMPARE(titles.size(), 2);
        QCOMPARE(quotations, QStringList({QStringLiteral("%1 : Signals in Clay").arg(c.signals_),
                                          QStringLiteral(" ---> clay remembers")}));
        const QString heading = report.lblDetails[1]->text();

        // A quotation line opens the paper of the line above it.
        test::doubleClickLine(report.lstByQuotation, 1);
        frmViewPaper& paper = frmViewPaper::instance();
        QVERIFY(paper.isShown());
        QVERIFY(!report.isShown());
        QCOMPARE(paperNumber(), QString::number(c.signals_));
        QCOMPARE(globals().previousPaperID, -100);
        QCOMPARE(test::lines(paper.lstReferencedWork),
                 QStringList{QStringLiteral("%1 : Clay Remembers").arg(c.clay)});

        // Back returns to the report as it was left.
        QTest::mouseClick(paper.cmdBack, Qt::LeftButton);
        QVERIFY(!paper.isShown());
        QVERIFY(report.isShown());
        QCOMPARE(report.cmbKeyword->currentText(), QStringLiteral("clay"));
        QCOMPARE(report.lblDetails[1]->text(), heading);
        QCOMPARE(test::lines(report.lstByPaperTitle), titles);
        QCOMPARE(test::lines(report.lstByQuotation), quotations);
        QVERIFY(!frmMenu::instance().isEnabled());
        QTest::mouseClick(report.cmdCancel, Qt::LeftButton);
        QVERIFY(frmMenu::instance().isEnabled());
        QCOMPARE(frmMenu::instance().palette().color(QPalette::Window), QColor(128, 255, 255));
    }

    void searchToPaperAlongLinksAndBack()
    {
        test::Shell shell;
        const Catalogue c = fill(shell.db());
        QTest::mouseClick(panelButton(4), Qt::LeftButton);
        frmSearchPapers& search = frmSearchPapers::instance();
        QTest::mouseClick(search.optSearch[0], Qt::LeftButton);
        search.cmbSearchCriteria->setEditText(QStringLiteral("CLAY"));
        QTest::mouseClick(search.cmdFind, Qt::LeftButton);
        const QStringList results = test::lines(search.lstOptions);
        QCOMPARE(results.size(), 2);

        test::clickLine(search.lstOptions, 0);
        frmViewPaper& paper = frmViewPaper::instance();
        QVERIFY(paper.isShown());
        QVERIFY(!search.isShown());
        QCOMPARE(paperNumber(), QString::number(c.clay));
        QCOMPARE(paper.SSTab1->currentIndex(), 4);
        // Along a citation and back with "<< doc".
        QCOMPARE(test::lines(paper.lstCitations),
                 QStringList{QStringLiteral("%1 : Signals in Clay").arg(c.signals_)});
        test::clickLine(paper.lstCitations, 0);
        QCOMPARE(paperNumber(), QString::number(c.signals_));
        QVERIFY(paper.cmdBackToPrevious->isEnabled());
        QTest::mouseClick(paper.cmdBackToPrevious, Qt::LeftButton);
        QCOMPARE(paperNumber(), QString::number(c.clay));

        // Back: the search window with its mode, criterion and results.
        QTest::mouseClick(paper.cmdBack, Qt::LeftButton);
        QVERIFY(search.isShown());
        QVERIFY(search.optSearch[0]->isChecked());
        QCOMPARE(search.cmbSearchCriteria->currentText(), QStringLiteral("CLAY"));
        QCOMPARE(test::lines(search.lstOptions), results);
    }

    void deletingSendsTheUserToAFreshSearch()
    {
        test::Shell shell;
        const Catalogue c = fill(shell.db());
        QTest::mouseClick(panelButton(4), Qt::LeftButton);
        QTest::mouseClick(frmSearchPapers::instance().optSearch[0], Qt::LeftButton);
        frmSearchPapers::instance().cmbSearchCriteria->setEditText(QStringLiteral("clay"));
        QTest::mouseClick(frmSearchPapers::instance().cmdFind, Qt::LeftButton);
        test::clickLine(frmSearchPapers::instance().lstOptions, 0);
        QCOMPARE(paperNumber(), QString::number(c.clay));

        st::setNextAnswer(services::vbYes);
        QTest::mouseClick(frmViewPaper::instance().cmdDeletePaper, Qt::LeftButton);
        QCOMPARE(st::messages().back().prompt,
                 QStringLiteral("Are you sure you wish to delete this Paper?"));
        QCOMPARE(st::messages().back().title, QStringLiteral("Warning"));
        QVERIFY(!frmViewPaper::instance().isShown());
        frmSearchPapers& search = frmSearchPapers::instance();
        QVERIFY(search.isShown());
        QVERIFY(test::lines(search.lstOptions).isEmpty());
        QCOMPARE(search.cmbSearchCriteria->currentText(), QString());
        for (QRadioButton* b : search.optSearch)
            QVERIFY(!b->isChecked());
        QVERIFY(frmMain::instance().windowTitle().endsWith(QStringLiteral(" - Papers added: 2")));
        // Its links went with it; the paper that cited it keeps its reference row.
        QCOMPARE(test::countRows(shell.db(), QStringLiteral("Paper Authors List")), 1);
        QCOMPARE(test::countRows(shell.db(), QStringLiteral("Paper References List")), 1);
    }
};

QTEST_MAIN(TstRoundTrips)
#include "tst_roundtrips.moc"
