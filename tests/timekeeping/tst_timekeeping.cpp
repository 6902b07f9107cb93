// Time entry (the way out of the program) and the time sheet's totals.
#include "app/frmmain.h"
#include "app/frmmenu.h"
#include "app/services.h"
#include "db/globals.h"
#include "testsupport.h"
#include "timekeeping/frmtimemanagement.h"
#include "timekeeping/frmtimesheet.h"

#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTest>

using namespace quirelle;
namespace st = quirelle::services::testing;

namespace {

QStringList lines(QListWidget* list)
{
    QStringList out;
    for (int i = 0; i < list->count(); ++i)
        out << list->item(i)->text();
    return out;
}

QStringList storedEntries(db::Database& d)
{
    QStringList out;
    db::Recordset rs = d.OpenRecordset(QStringLiteral("select * from [Time Management];"));
    for (int i = 0; i < rs.RecordCount(); ++i) {
        rs.setAbsolutePosition(i);
        out << rs.Fields(QStringLiteral("Subject")).text() + QLatin1Char('|') +
                   rs.Fields(QStringLiteral("Time")).text();
    }
    return out;
}

} // namespace

class TstTimekeeping : public QObject
{
    Q_OBJECT

private slots:
    void timeEntry_data()
    {
        QTest::addColumn<QString>("subject");
        QTest::addColumn<int>("hoursItem"); // -1: typed
        QTest::addColumn<QString>("typedHours");
        QTest::addColumn<QString>("button");
        QTest::addColumn<QStringList>("stored");
        QTest::newRow("half an hour") << "Reading" << 0 << ""
                                      << "cmdAdd" << QStringList{"Reading|0.5"};
        QTest::newRow("three hours") << "Thesis" << 3 << ""
                                     << "cmdAdd" << QStringList{"Thesis|3"};
        QTest::newRow("typed hours") << "Lab" << -1 << "2.5"
                                     << "cmdAdd" << QStringList{"Lab|2.5"};
        QTest::newRow("typed 1/2 is converted") << "Lab" << -1 << "1/2"
                                                << "cmdAdd" << QStringList{"Lab|0.5"};
        QTest::newRow("empty subject") << "" << 1 << ""
                                       << "cmdAdd" << QStringList{};
        QTest::newRow("done") << "Reading" << 1 << ""
                              << "cmdDone" << QStringList{};
    }
    void timeEntry()
    {
        QFETCH(QString, subject);
        QFETCH(int, hoursItem);
        QFETCH(QString, typedHours);
        QFETCH(QString, button);
        QFETCH(QStringList, stored);
        test::Shell shell;
        QTest::mouseClick(frmMenu::instance().cmdQuit, Qt::LeftButton);
        frmTimeManagement& w = frmTimeManagement::instance();
        QVERIFY(w.isShown());
        QCOMPARE(w.caption(), QStringLiteral("Time Management"));
        QCOMPARE(w.cmbTime->count(), 5);
        QCOMPARE(w.cmbTime->currentText(), QString());
        QTest::keyClicks(w.cmbWork, subject);
        if (hoursItem >= 0)
            w.cmbTime->setCurrentIndex(hoursItem);
        else
            QTest::keyClicks(w.cmbTime, typedHours);
        QTest::mouseClick(w.findChild<QPushButton*>(button), Qt::LeftButton);
        QVERIFY(st::endCalled());
        auto d = db::Database::OpenDatabase(shell.file());
        QCOMPARE(storedEntries(*d), stored);
    }

    void subjectsListedOncePerRow()
    {
        test::Shell shell;
        for (int i = 0; i < 3; ++i)
            test::addRow(shell.db(), QStringLiteral("Time Management"),
                         {{"Subject", "Reading"}, {"Time", "1"}});
        frmMain::instance().findChild<QAction*>(QStringLiteral("mnuExit"))->trigger();
        QCOMPARE(frmTimeManagement::instance().cmbWork->count(), 3);
        QCOMPARE(frmTimeManagement::instance().cmbWork->currentText(), QString());
    }

    void refusedEntryIsNotLost()
    {
        test::Shell shell;
        frmTimeManagement& w = frmTimeManagement::instance();
        w.showForm();
        const QString tooLong(51, QLatin1Char('s'));
        QTest::keyClicks(w.cmbWork, tooLong);
        w.cmbTime->setCurrentIndex(1);
        // The time sheet leaves another query in the shared record set: storing still works.
        test::addRow(shell.db(), QStringLiteral("Time Management"),
                     {{"Subject", "x"}, {"Time", "1"}});
        frmTimeSheet::instance().populate();
        QTest::mouseClick(w.cmdAdd, Qt::LeftButton);
        QVERIFY(!st::endCalled());
        QVERIFY(w.isShown());
        QCOMPARE(w.cmbWork->currentText(), tooLong);
        QCOMPARE(st::messages().size(), size_t(1));
        QCOMPARE(test::countRows(shell.db(), QStringLiteral("Time Management")), 1);
        w.cmbWork->setEditText(QStringLiteral("Writing"));
        QTest::mouseClick(w.cmdAdd, Qt::LeftButton);
        QVERIFY(st::endCalled());
        auto d = db::Database::OpenDatabase(shell.file());
        QCOMPARE(storedEntries(*d), QStringList({"x|1", "Writing|1"}));
    }

    void timeSheet_data()
    {
        QTest::addColumn<QStringList>("entries"); // subject|time
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("halves and wholes") << QStringList{"Reading|0.5", "Reading|3", "Thesis|2"}
                                           << QStringList{"Reading = 3.5", "Thesis = 2"};
        QTest::newRow("one half") << QStringList{"Reading|0.5"} << QStringList{"Reading = 0.5"};
        QTest::newRow("quarters") << QStringList{"Lab|0.25", "Lab|0.5"}
                                  << QStringList{"Lab = 0.75"};
        QTest::newRow("case of subjects")
            << QStringList{"Reading|1", "reading|2"} << QStringList{"Reading = 3"};
        QTest::newRow("apostrophe") << QStringList{"O'Brien's paper|1", "O'Brien's paper|1"}
                                    << QStringList{"O'Brien's paper = 2"};
        QTest::newRow("text that is not a number")
            << QStringList{"Lab|two", "Lab|1.5"} << QStringList{"Lab = 1.5"};
        QTest::newRow("exact sums") << QStringList{"A|0.1", "A|0.2"} << QStringList{"A = 0.3"};
    }
    void timeSheet()
    {
        QFETCH(QStringList, entries);
        QFETCH(QStringList, expected);
        test::Shell shell;
        for (const QString& e : entries) {
            const QStringList parts = e.split(QLatin1Char('|'));
            test::addRow(shell.db(), QStringLiteral("Time Management"),
                         {{"Subject", parts[0]}, {"Time", parts[1]}});
        }
        QTest::mouseClick(frmMenu::instance().cmdButton[6], Qt::LeftButton);
        frmTimeSheet& sheet = frmTimeSheet::instance();
        QVERIFY(sheet.isShown());
        QCOMPARE(lines(sheet.lstTimesheet), expected);
        // Opened again: the same lines, once.
        frmMain::instance().findChild<QAction*>(QStringLiteral("mnuTimeSheets"))->trigger();
        QCOMPARE(lines(sheet.lstTimesheet), expected);
        QVERIFY(st::messages().empty());
        QTest::mouseClick(sheet.cmdBack, Qt::LeftButton);
        QVERIFY(!sheet.isShown());
    }

    void emptyTimeSheetShowsNothing()
    {
        test::Shell shell;
        QTest::mouseClick(frmMenu::instance().cmdButton[6], Qt::LeftButton);
        QVERIFY(!frmTimeSheet::isLoaded() || !frmTimeSheet::instance().isShown());
        QVERIFY(st::messages().empty());
    }

    void hoursFormat()
    {
        QCOMPARE(formatHours(35000), QLocale().toString(3.5));
        QCOMPARE(formatHours(30000), QStringLiteral("3"));
        QCOMPARE(formatHours(2500), QLocale().toString(0.25));
        QCOMPARE(formatHours(0), QStringLiteral("0"));
        QCOMPARE(parseHours(QStringLiteral("0.5")), std::optional<qint64>(5000));
        QCOMPARE(parseHours(QStringLiteral(" 2 ")), std::optional<qint64>(20000));
        QVERIFY(!parseHours(QStringLiteral("1/2")));
        QVERIFY(!parseHours(QString()));
    }
};

QTEST_MAIN(TstTimekeeping)
#include "tst_timekeeping.moc"
