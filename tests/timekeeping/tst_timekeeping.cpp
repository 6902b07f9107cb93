// Time entry (the way out of the program), where typed text stays as typed, and the time
// sheet's totals.
#include "app/frmmenu.h"
#include "app/services.h"
#include "testsupport.h"
#include "timekeeping/frmtimemanagement.h"
#include "timekeeping/frmtimesheet.h"

#include <QComboBox>
#include <QListWidget>
#include <QLocale>
#include <QTest>

using namespace quirelle;
using namespace quirelle::test;
namespace st = quirelle::services::testing;

namespace {

QStringList storedEntries(db::Database& d)
{
    QStringList out;
    db::Recordset rs = d.OpenRecordset(QStringLiteral("select * from [Time Management];"));
    db::forEachRow(rs, [&] {
        out << rs.Fields(QStringLiteral("Subject")).text() + QLatin1Char('|') +
                   rs.Fields(QStringLiteral("Time")).text();
    });
    return out;
}

QComboBox* box(const char* name)
{
    return control<QComboBox>(frmTimeManagement::instance(), QString::fromLatin1(name));
}

} // namespace

class TstTimekeeping : public QObject
{
    Q_OBJECT

private slots:
    // Subjects logged before are listed; what is typed is stored as typed, never completed
    // from the list.
    void timeEntry_data()
    {
        QTest::addColumn<QStringList>("listed");
        QTest::addColumn<QString>("subject");
        QTest::addColumn<int>("hoursItem"); // -1: typed
        QTest::addColumn<QString>("typedHours");
        QTest::addColumn<QString>("button");
        QTest::addColumn<QString>("stored"); // the new row; "" for none
        const QStringList none;
        QTest::newRow("half an hour") << none << "Reading" << 0 << ""
                                      << "cmdAdd"
                                      << "Reading|0.5";
        QTest::newRow("three hours") << none << "Thesis" << 3 << ""
                                     << "cmdAdd"
                                     << "Thesis|3";
        QTest::newRow("typed hours") << none << "Lab" << -1 << "2.5"
                                     << "cmdAdd"
                                     << "Lab|2.5";
        QTest::newRow("typed 1/2 is converted") << none << "Lab" << -1 << "1/2"
                                                << "cmdAdd"
                                                << "Lab|0.5";
        QTest::newRow("typed 1 stays 1") << none << "Lab" << -1 << "1"
                                         << "cmdAdd"
                                         << "Lab|1";
        QTest::newRow("letter case as typed") << QStringList{"Reading"} << "reading" << 1 << ""
                                              << "cmdAdd"
                                              << "reading|1";
        QTest::newRow("start of a listed subject")
            << QStringList{"Reading group"} << "Reading" << 1 << ""
            << "cmdAdd"
            << "Reading|1";
        QTest::newRow("empty subject") << none << "" << 1 << ""
                                       << "cmdAdd"
                                       << "";
        QTest::newRow("done") << none << "Reading" << 1 << ""
                              << "cmdDone"
                              << "";
    }
    void timeEntry()
    {
        QFETCH(QStringList, listed);
        QFETCH(QString, subject);
        QFETCH(int, hoursItem);
        QFETCH(QString, typedHours);
        QFETCH(QString, button);
        QFETCH(QString, stored);
        Shell shell;
        for (const QString& s : listed)
            addRow(QStringLiteral("Time Management"), {{"Subject", s}, {"Time", "1"}});
        click(control(frmMenu::instance(), "cmdQuit"));
        frmTimeManagement& w = frmTimeManagement::instance();
        QVERIFY(w.isShown());
        QCOMPARE(w.caption(), QStringLiteral("Time Management"));
        QCOMPARE(lines(box("cmbWork")), listed);
        QCOMPARE(box("cmbTime")->count(), 5);
        QCOMPARE(box("cmbTime")->currentText(), QString());
        typeKeys(box("cmbWork"), subject);
        if (hoursItem >= 0)
            box("cmbTime")->setCurrentIndex(hoursItem);
        else
            typeKeys(box("cmbTime"), typedHours);
        focusTo(box("cmbWork"));
        pressKey(Qt::Key_Tab);
        pressKey(Qt::Key_Tab);
        QCOMPARE(box("cmbWork")->currentText(), subject);
        QCOMPARE(box("cmbTime")->currentText(),
                 hoursItem >= 0 ? box("cmbTime")->itemText(hoursItem) : typedHours);
        click(control(w, button));
        QVERIFY(st::endCalled());
        QStringList expected;
        for (const QString& s : listed)
            expected << s + QStringLiteral("|1");
        if (!stored.isEmpty())
            expected << stored;
        QCOMPARE(storedEntries(*db::Database::OpenDatabase(shell.file())), expected);
    }

    void refusedEntryIsNotLost()
    {
        Shell shell;
        fromMenu("mnuExit");
        frmTimeManagement& w = frmTimeManagement::instance();
        const QString tooLong(51, QLatin1Char('s'));
        typeKeys(box("cmbWork"), tooLong);
        box("cmbTime")->setCurrentIndex(1);
        click(control(w, "cmdAdd"));
        QVERIFY(!st::endCalled());
        QVERIFY(w.isShown());
        QCOMPARE(box("cmbWork")->currentText(), tooLong);
        QCOMPARE(prompts().size(), 1);
        QCOMPARE(st::messages().back().icon, services::Icon::Critical);
        QCOMPARE(countRows(shell.db(), QStringLiteral("Time Management")), 0);
        replaceText(box("cmbWork"), QStringLiteral("Writing"));
        click(control(w, "cmdAdd"));
        QVERIFY(st::endCalled());
        QCOMPARE(storedEntries(*db::Database::OpenDatabase(shell.file())),
                 QStringList({"Writing|1"}));
    }

    void timeSheet_data()
    {
        QTest::addColumn<QStringList>("entries"); // subject|time
        QTest::addColumn<QStringList>("expected");
        const QString half = QLocale().toString(0.5);
        QTest::newRow("none") << QStringList{} << QStringList{};
        QTest::newRow("halves and wholes")
            << QStringList{"Reading|0.5", "Reading|3", "Thesis|2"}
            << QStringList{"Reading = " + QLocale().toString(3.5), "Thesis = 2"};
        QTest::newRow("quarters") << QStringList{"Lab|0.25", "Lab|0.5"}
                                  << QStringList{"Lab = " + QLocale().toString(0.75)};
        QTest::newRow("case of subjects")
            << QStringList{"Reading|1", "reading|2"} << QStringList{"Reading = 3"};
        QTest::newRow("apostrophe") << QStringList{"O'Brien's paper|1", "O'Brien's paper|1"}
                                    << QStringList{"O'Brien's paper = 2"};
        QTest::newRow("text that is not a number")
            << QStringList{"Lab|two", "Lab|1.5"} << QStringList{"Lab = " + QLocale().toString(1.5)};
        QTest::newRow("exact sums")
            << QStringList{"A|0.1", "A|0.2"} << QStringList{"A = " + QLocale().toString(0.3)};
        QTest::newRow("hours in the user's format")
            << QStringList{"A|" + half, "A|2"} << QStringList{"A = " + QLocale().toString(2.5)};
    }
    void timeSheet()
    {
        QFETCH(QStringList, entries);
        QFETCH(QStringList, expected);
        Shell shell;
        for (const QString& e : entries) {
            const QStringList parts = e.split(QLatin1Char('|'));
            addRow(QStringLiteral("Time Management"), {{"Subject", parts[0]}, {"Time", parts[1]}});
        }
        panelButton(6);
        // An empty sheet is not shown at all.
        QCOMPARE(frmTimeSheet::isLoaded() && frmTimeSheet::instance().isShown(),
                 !entries.isEmpty());
        if (entries.isEmpty())
            return;
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
