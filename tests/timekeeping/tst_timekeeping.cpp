// Time entry (the way out of the program), where typed text stays as typed, and the time sheet.
#include "testsupport.h"
#include "timekeeping/frmtimemanagement.h"
#include "timekeeping/frmtimesheet.h"

using namespace quirelle;
using namespace quirelle::test;

class TstTimekeeping : public QObject
{
    Q_OBJECT

    static QComboBox* box(const char* name)
    {
        return control<QComboBox>(frmTimeManagement::instance(), QString::fromLatin1(name));
    }
    // The hours logged, read from the file once the program has ended.
    static QStringList logged(const QString& file)
    {
        return rowsOf(*db::Database::OpenDatabase(file),
                      QStringLiteral("select * from [Time Management];"), {"Subject", "Time"});
    }

private slots:
    // Subjects logged before are listed; what is typed is stored as typed, never completed
    // from the list.
    void timeEntry_data()
    {
        QTest::addColumn<QString>("listed"); // a subject logged before, if any
        QTest::addColumn<QString>("subject");
        QTest::addColumn<QString>("hours");  // typed, or "#n" for the list's item n
        QTest::addColumn<QString>("stored"); // the new row, if any
        QTest::addColumn<QString>("button");
        const auto row = [](const char* name, const char* listed, const char* subject,
                            const char* hours, const char* stored, const char* button = "cmdAdd") {
            QTest::newRow(name) << listed << subject << hours << stored << button;
        };
        row("half an hour", "", "Reading", "#0", "Reading/0.5");
        row("three hours", "", "Thesis", "#3", "Thesis/3");
        row("typed hours", "", "Lab", "2.5", "Lab/2.5");
        row("typed 1/2 is converted", "", "Lab", "1/2", "Lab/0.5");
        row("typed 1 stays 1", "", "Lab", "1", "Lab/1");
        row("letter case as typed", "Reading", "reading", "#1", "reading/1");
        row("start of a listed subject", "Reading group", "Reading", "#1", "Reading/1");
        row("empty subject", "", "", "#1", "");
        row("done", "", "Reading", "#1", "", "cmdDone");
    }
    void timeEntry()
    {
        QFETCH(QString, listed);
        QFETCH(QString, subject);
        QFETCH(QString, hours);
        QFETCH(QString, stored);
        QFETCH(QString, button);
        Shell shell;
        const QStringList before = listed.isEmpty() ? QStringList() : QStringList{listed};
        for (const QString& s : before)
            logHours({s + "|1"});
        click(control(frmMenu::instance(), "cmdQuit"));
        QVERIFY(frmTimeManagement::instance().isShown());
        QCOMPARE(lines(box("cmbWork")), before);
        QCOMPARE(box("cmbTime")->currentText(), QString());
        typeKeys(box("cmbWork"), subject);
        if (hours.startsWith('#')) {
            box("cmbTime")->setCurrentIndex(hours.mid(1).toInt());
            hours = box("cmbTime")->currentText();
        } else {
            typeKeys(box("cmbTime"), hours);
        }
        focusTo(box("cmbWork"));
        pressKey(Qt::Key_Tab);
        pressKey(Qt::Key_Tab);
        QCOMPARE(box("cmbWork")->currentText(), subject);
        QCOMPARE(box("cmbTime")->currentText(), hours);
        click(control(frmTimeManagement::instance(), button));
        QVERIFY(st::endCalled());
        QStringList expected;
        for (const QString& s : before)
            expected << s + "/1";
        if (!stored.isEmpty())
            expected << stored;
        QCOMPARE(logged(shell.file()), expected);
    }

    void refusedEntryIsNotLost()
    {
        Shell shell;
        fromMenu("mnuExit");
        const QString tooLong(51, QLatin1Char('s'));
        typeKeys(box("cmbWork"), tooLong);
        box("cmbTime")->setCurrentIndex(1);
        click(control(frmTimeManagement::instance(), "cmdAdd"));
        QVERIFY(!st::endCalled());
        QVERIFY(frmTimeManagement::instance().isShown());
        QCOMPARE(box("cmbWork")->currentText(), tooLong);
        QCOMPARE(prompts().size(), 1);
        QCOMPARE(st::messages().back().icon, services::Icon::Critical);
        QCOMPARE(countRows(shell.db(), QStringLiteral("Time Management")), 0);
        replaceText(box("cmbWork"), QStringLiteral("Writing"));
        click(control(frmTimeManagement::instance(), "cmdAdd"));
        QVERIFY(st::endCalled());
        QCOMPARE(logged(shell.file()), QStringList({"Writing/1"}));
    }

    // An empty sheet is not shown. The sheet lists each subject once with its exact total,
    // letter case aside, in the user's number format; text that is no number counts nothing.
    void timeSheet()
    {
        Shell shell;
        panelButton(6);
        QVERIFY(!frmTimeSheet::isLoaded() || !frmTimeSheet::instance().isShown());
        const QLocale user;
        logHours({"A|0.1", "A|0.2", "Lab|two", "Lab|" + user.toString(1.5), "O'Brien's paper|1",
                  "o'brien's PAPER|0.25"});
        panelButton(6);
        const QStringList expected{"A = " + user.toString(0.3), "Lab = " + user.toString(1.5),
                                   "O'Brien's paper = " + user.toString(1.25)};
        frmTimeSheet& sheet = frmTimeSheet::instance();
        QCOMPARE(lines(control<QListWidget>(sheet, "lstTimesheet")), expected);
        // Opened again: the same lines, once.
        fromMenu("mnuTimeSheets");
        QCOMPARE(lines(control<QListWidget>(sheet, "lstTimesheet")), expected);
        QVERIFY(st::messages().empty());
        click(control(sheet, "cmdBack"));
        QVERIFY(!sheet.isShown());
    }
};

QTEST_MAIN(TstTimekeeping)
#include "tst_timekeeping.moc"
