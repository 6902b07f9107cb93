// The meeting log: a window of its own, its grid hidden while there are no meetings, dates and
// times stored as typed. Its refused rows are tested with the other grid windows'.
#include "editors/gridwindow.h"
#include "meetings/frmmeeting.h"

using namespace quirelle;
using namespace quirelle::test;

namespace {
enum Box { Date = 0, Time = 1, Location = 2, Present = 3, Outcome = 4, Subject = 5 };
}

class TstMeetingLog : public QObject
{
    Q_OBJECT

private slots:
    void emptyLogAddExitAndAgain()
    {
        Shell shell;
        const Editor e = Editor::open(3);
        QVERIFY(e.w.isShown() && !e.panelEnabled());
        QVERIFY(!e.grid->isVisible());
        // The first meeting, even an empty one, brings the grid out.
        e.click("cmdAdd");
        QVERIFY(e.grid->isVisible());
        QCOMPARE(e.stored("Meeting", "[Counter] = 1", "Outcome"), QString());
        e.type(Location, "Room 4");
        e.click("cmdExit");
        QVERIFY(!e.w.isShown() && e.panelEnabled());
        addRow(shell.db(), "Meeting", {{"Date", "13/05/26"}});
        fromMenu("mnuMeetings");
        QVERIFY(e.w.isShown() && !e.panelEnabled());
        QCOMPARE(e.text(Location), QString());
        QCOMPARE(e.rows(), 2);
        e.w.close(); // its own close box leaves as Exit does
        settle();
        QVERIFY(!e.w.isShown() && e.panelEnabled());
    }

    void addShowsWhatWasTypedAndNullsLeaveTheBoxes()
    {
        Shell shell;
        const Editor e = Editor::open(3);
        const QStringList typed{"12/05/26", "14:30", "Room 4", "Ann, Bo", "Agreed.", "Budget"};
        for (int i = Date; i <= Subject; ++i)
            e.type(i, typed[i]);
        e.click("cmdAdd");
        QCOMPARE(e.text(Outcome), QString());
        QCOMPARE(e.cell(1, 1), "14:30");
        QCOMPARE(e.cell(1, 4), "Budget");
        addRow(shell.db(), "Meeting", {{"Date", "13/05/26"}});
        e.w.populate();
        e.clickRow(1);
        QCOMPARE(e.text(Outcome), "Agreed.");
        e.clickRow(2);
        QCOMPARE(e.text(Date), "13/05/26");
        QCOMPARE(e.text(Subject), "Budget");
    }
};

QTEST_MAIN(TstMeetingLog)
#include "tst_frmmeeting.moc"
