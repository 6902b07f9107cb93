// Journeys through the windows: search, paper window and back, a deletion, and another project
// opened while windows show the rows of the one that was open.
#include "app/textboxes.h"
#include "editors/frmaddauthor.h"
#include "meetings/frmmeeting.h"
#include "paper/frmviewpaper.h"
#include "reports/frmreport.h"
#include "search/frmsearchpapers.h"
#include "testsupport.h"
#include "timekeeping/frmtimemanagement.h"
#include "timekeeping/frmtimesheet.h"

#include <QRadioButton>
#include <QTabWidget>
#include <QTableView>

using namespace quirelle;
using namespace quirelle::test;

class TstRoundTrips : public QObject
{
    Q_OBJECT

    // Paper 1 "Clay Remembers", cited by paper 2 "Signals in Clay".
    static void fill()
    {
        addPaper("Clay Remembers");
        cite(addPaper("Signals in Clay"), 1);
    }
    static frmViewPaper& paperWindow() { return frmViewPaper::instance(); }
    static QString paperNumber() { return boxText(control(paperWindow(), "txtDetails(6)")); }
    static frmSearchPapers& search() { return frmSearchPapers::instance(); }
    static QComboBox* criterion() { return control<QComboBox>(search(), "cmbSearchCriteria"); }
    static QListWidget* results() { return control<QListWidget>(search(), "lstOptions"); }
    // A title search from the menu.
    static void searchTitles(const QString& typed)
    {
        fromMenu("mnuSearch");
        click(control(search(), "optSearch(0)"));
        replaceText(criterion(), typed);
        click(control(search(), "cmdFind"));
    }

private slots:
    void searchToPaperAlongLinksAndBack()
    {
        Shell shell;
        fill();
        searchTitles(QStringLiteral("CLAY"));
        const QStringList found = lines(results());
        QCOMPARE(found.size(), 2);
        clickLine(results(), 0);
        QVERIFY(paperWindow().isShown());
        QVERIFY(!search().isShown());
        QCOMPARE(paperNumber(), "1");
        QCOMPARE(control<QTabWidget>(paperWindow(), "SSTab1")->currentIndex(), 4);
        // Back: the search window with its mode, criterion and results.
        click(control(paperWindow(), "cmdBack"));
        QVERIFY(search().isShown());
        QVERIFY(control<QRadioButton>(search(), "optSearch(0)")->isChecked());
        QCOMPARE(criterion()->currentText(), "CLAY");
        QCOMPARE(lines(results()), found);
        // Deleting the paper sends the user to a search that starts afresh.
        clickLine(results(), 0);
        st::setNextAnswer(services::Answer::Yes);
        click(control(paperWindow(), "cmdDeletePaper"));
        QVERIFY(!paperWindow().isShown());
        QVERIFY(search().isShown());
        QCOMPARE(lines(results()), QStringList());
        QCOMPARE(criterion()->currentText(), QString());
        QVERIFY(!control<QRadioButton>(search(), "optSearch(0)")->isChecked());
        QVERIFY(caption().endsWith(QStringLiteral(" - Papers added: 1")));
    }

    // Windows that show rows of project A are gone once project B is open: nothing they held
    // can act on B, and the options panel is usable again.
    void openingAnotherProjectUnloadsItsWindows()
    {
        Shell shell;
        fill();
        addRow("Authors", {{"Surname", "Only in A"}});
        const QString other = QDir(shell.folder()).filePath(QStringLiteral("other"));
        db::createProjectFile(other);
        {
            auto b = db::Database::OpenDatabase(other + QStringLiteral(".mdb"));
            addRow(*b, "Authors", {{"Surname", "Bennet"}});
            addRow(*b, "Authors", {{"Surname", "Birch"}});
            addRow(*b, "Time Management", {{"Subject", "B work"}, {"Time", "1"}});
        }
        searchTitles(QStringLiteral("clay"));
        clickLine(results(), 0); // the paper window, from the search
        fromMenu("mnuReports");
        fromMenu("mnuTimeSheets");
        fromMenu("mnuMeetings");
        fromMenu("mnuExit");    // the time entry
        fromMenu("mnuAuthors"); // the author editor, a row clicked
        QTableView* grid = control<QTableView>(frmAddAuthor::instance(), "MSFAuthors");
        QTest::mouseClick(grid->viewport(), Qt::LeftButton, {},
                          grid->visualRect(grid->model()->index(0, 0)).center());
        settle();
        QVERIFY(!frmMenu::instance().isEnabled());
        openByMenu(other + QStringLiteral(".mdb"));
        QCOMPARE(project().projectFilePath, other);
        QVERIFY(!frmAddAuthor::isLoaded());
        QVERIFY(!frmViewPaper::isLoaded());
        QVERIFY(!frmReport::isLoaded());
        QVERIFY(!frmSearchPapers::isLoaded());
        QVERIFY(!frmTimeSheet::isLoaded());
        QVERIFY(!frmMeeting::isLoaded());
        QVERIFY(!frmTimeManagement::isLoaded());
        QVERIFY(frmMenu::instance().isEnabled());
        QCOMPARE(countRows(shell.db(), "Authors"), 2);
        // Opened again, each shows B's rows.
        fromMenu("mnuAuthors");
        QTableView* fresh = control<QTableView>(frmAddAuthor::instance(), "MSFAuthors");
        QCOMPARE(fresh->model()->rowCount(), 2);
        QCOMPARE(fresh->model()->index(0, 0).data().toString(), "Bennet");
        fromMenu("mnuExit");
        QCOMPARE(lines(control<QComboBox>(frmTimeManagement::instance(), "cmbWork")),
                 QStringList{"B work"});
        searchTitles(QStringLiteral("clay"));
        QCOMPARE(lines(results()), QStringList{"No entried found..."});
        QVERIFY(st::messages().empty());
    }
};

QTEST_MAIN(TstRoundTrips)
#include "tst_roundtrips.moc"
