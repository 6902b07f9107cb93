// The meeting log: a window of its own, its grid hidden while there are no meetings, dates and
// times stored as typed, and the refused meetings.
#include "app/frmmain.h"
#include "editors/gridwindow.h"
#include "meetings/frmmeeting.h"

#include <QAction>
#include <QLabel>

using namespace quirelle;
using namespace quirelle::test;

namespace {

enum Box { Date = 0, Time = 1, Location = 2, Present = 3, Outcome = 4, Subject = 5 };

frmMeeting& openFromPanel()
{
    QTest::mouseClick(frmMenu::instance().cmdButton[3], Qt::LeftButton);
    settle();
    return frmMeeting::instance();
}

} // namespace

class TstMeetingLog : public QObject
{
    Q_OBJECT

private slots:
    void emptyLogHidesTheGrid()
    {
        Shell shell;
        frmMeeting& w = openFromPanel();
        QVERIFY(w.isShown());
        QVERIFY(w.isWindow());
        QVERIFY(!w.subWindow());
        QCOMPARE(w.caption(), QStringLiteral("Meeting Details"));
        QVERIFY(!panelEnabled());
        QVERIFY(!w.msfMeetings->isVisible());
        QVERIFY(!control(w, "cmdDelete"));
        QCOMPARE(w.cmdExit->text(), QStringLiteral("Exit"));
        QCOMPARE(w.lblDetails[2]->text(), QStringLiteral("Date:"));
        QCOMPARE(w.lblDetails[0]->text(), QStringLiteral("Time:"));
        QCOMPARE(focusChain(w.txtDetails[Date], 9),
                 QStringList({"txtDetails(0)", "txtDetails(1)", "txtDetails(2)", "txtDetails(3)",
                              "txtDetails(5)", "txtDetails(4)", "cmdExit", "cmdClear", "cmdAdd"}));

        // The first meeting brings the grid out with its headings.
        click(w, "cmdAdd");
        QVERIFY(w.msfMeetings->isVisible());
        QCOMPARE(dataRows(w.msfMeetings), 1);
        QCOMPARE(cell(w.msfMeetings, 1, 0), QString());
        QCOMPARE(headings(w.msfMeetings),
                 QStringList({"Date", "Time", "Location", "Present", "Subject"}));
        QCOMPARE(columnWidths(w.msfMeetings), QList<int>({66, 46, 166, 166, 133}));
        QCOMPARE(storedField("Meeting", "[Counter] = 1", "Outcome"), QString());
    }

    void addShowsWhatWasTypedAndAClickShowsTheOutcome()
    {
        Shell shell;
        frmMeeting& w = openFromPanel();
        type(w, Date, "12/05/26");
        type(w, Time, "14:30");
        type(w, Location, "Room 4");
        type(w, Present, "Ann, Bo");
        type(w, Subject, "Budget");
        type(w, Outcome, "Agreed.\nNext week.");
        click(w, "cmdAdd");
        for (int i = 0; i < 6; ++i)
            QCOMPARE(textOf(w.txtDetails[i]), QString());
        QCOMPARE(cell(w.msfMeetings, 1, 0), QStringLiteral("12/05/26"));
        QCOMPARE(cell(w.msfMeetings, 1, 1), QStringLiteral("14:30"));
        QCOMPARE(cell(w.msfMeetings, 1, 3), QStringLiteral("Ann, Bo"));
        QCOMPARE(cell(w.msfMeetings, 1, 4), QStringLiteral("Budget"));

        // A meeting with Nulls leaves the earlier texts in those boxes.
        addRow(shell.db(), "Meeting", {{"Date", "13/05/26"}});
        w.populate();
        clickRow(w.msfMeetings, 1);
        QCOMPARE(textOf(w.txtDetails[Outcome]), QStringLiteral("Agreed.\nNext week."));
        clickRow(w.msfMeetings, 2);
        QCOMPARE(textOf(w.txtDetails[Date]), QStringLiteral("13/05/26"));
        QCOMPARE(textOf(w.txtDetails[Subject]), QStringLiteral("Budget"));
    }

    void exitThenMeetingsAgain()
    {
        Shell shell;
        frmMeeting& w = openFromPanel();
        type(w, Location, "Room 4");
        click(w, "cmdExit");
        QVERIFY(!w.isShown());
        QVERIFY(panelEnabled());
        addRow(shell.db(), "Meeting", {{"Date", "13/05/26"}});
        frmMain::instance().findChild<QAction*>("mnuMeetings")->trigger();
        settle();
        QVERIFY(w.isShown());
        QVERIFY(!panelEnabled());
        QCOMPARE(textOf(w.txtDetails[Location]), QString());
        QCOMPARE(dataRows(w.msfMeetings), 1);

        // Its own close box leaves as Exit does.
        w.close();
        settle();
        QVERIFY(!w.isShown());
        QVERIFY(panelEnabled());
    }

    void refusedMeetingIsNotStored_data()
    {
        QTest::addColumn<int>("box");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("field");
        QTest::addColumn<int>("limit");
        QTest::newRow("date") << int(Date) << "12/05/2026"
                              << "Date" << 8;
        QTest::newRow("time") << int(Time) << "14:30h"
                              << "Time" << 5;
        QTest::newRow("subject") << int(Subject) << QString(51, 's') << "Subject" << 50;
    }
    void refusedMeetingIsNotStored()
    {
        QFETCH(int, box);
        QFETCH(QString, text);
        QFETCH(QString, field);
        QFETCH(int, limit);
        Shell shell;
        frmMeeting& w = openFromPanel();
        type(w, Outcome, "Minutes");
        type(w, box, text);
        click(w, "cmdAdd");
        QCOMPARE(messageCount(), 1);
        QVERIFY2(lastMessage().contains("'" + field + "'"), qPrintable(lastMessage()));
        QVERIFY2(lastMessage().contains(QString::number(limit)), qPrintable(lastMessage()));
        QCOMPARE(countRows(shell.db(), "Meeting"), 0);
        QVERIFY(!w.msfMeetings->isVisible());
        QCOMPARE(textOf(w.txtDetails[box]), text);
        QCOMPARE(textOf(w.txtDetails[Outcome]), QStringLiteral("Minutes"));

        type(w, box, "1");
        click(w, "cmdAdd");
        QCOMPARE(countRows(shell.db(), "Meeting"), 1);
        QCOMPARE(dataRows(w.msfMeetings), 1);
    }
};

QTEST_MAIN(TstMeetingLog)
#include "tst_frmmeeting.moc"
