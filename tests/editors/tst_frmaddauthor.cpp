// The author editor driven as the user drives it: the grid, the boxes, Add, Delete with its
// question, Back, refused rows, two editors at once and a table beyond 32,767 rows.
#include "app/frmmain.h"
#include "app/frmmenu.h"
#include "db/sharedqueries.h"
#include "editors/frmaddauthor.h"
#include "editors/frmaddkeyword.h"
#include "editors/gridwindow.h"

#include <QAction>
#include <QLabel>
#include <QMdiSubWindow>

using namespace quirelle;
using namespace quirelle::test;

namespace {

const QString Surname = QStringLiteral("Surname");
const QString Forenames = QStringLiteral("Forenames");
const QString Occupation = QStringLiteral("Occupation");

frmAddAuthor& openFromPanel()
{
    QTest::mouseClick(frmMenu::instance().cmdButton[0], Qt::LeftButton);
    settle();
    return frmAddAuthor::instance();
}

QString surnames(QTableView* grid)
{
    QStringList s;
    for (int r = 1; r <= dataRows(grid); ++r)
        s << cell(grid, r, 0);
    return s.join(QLatin1Char(','));
}

} // namespace

class TstAuthorEditor : public QObject
{
    Q_OBJECT

private slots:
    void opensOnAnEmptyTable()
    {
        Shell shell;
        frmAddAuthor& w = openFromPanel();
        QVERIFY(w.isShown());
        QCOMPARE(w.caption(), QStringLiteral("Add Author"));
        QVERIFY(!panelEnabled());
        QCOMPARE(dataRows(w.MSFAuthors), 0);
        QVERIFY(w.MSFAuthors->isVisible());
        QCOMPARE(headings(w.MSFAuthors),
                 QStringList({"Surname", "Forenames", "Occupation", "Location"}));
        QCOMPARE(columnWidths(w.MSFAuthors), QList<int>({100, 100, 100, 133}));
        QCOMPARE(w.lblDetails[1]->text(), QStringLiteral("Forenames:"));
        QCOMPARE(w.lblDetails[3]->objectName(), QStringLiteral("lblDetails(3)"));
        QCOMPARE(w.palette().color(QPalette::Window), panelColour());
        QCOMPARE(w.lblDetails[0]->palette().color(QPalette::Window), panelColour());

        // Nothing to click and nothing to delete.
        clickRow(w.MSFAuthors, 1);
        click(w, "cmdDelete");
        QCOMPARE(messageCount(), 0);
        QCOMPARE(countRows(shell.db(), "Authors"), 0);

        QCOMPARE(focusChain(w.txtDetails[0], 8),
                 QStringList({"txtDetails(0)", "txtDetails(1)", "txtDetails(2)", "txtDetails(3)",
                              "cmdExit", "cmdClear", "cmdAdd", "cmdDelete"}));
        // Along the bottom, left to right.
        QVERIFY(w.cmdExit->x() < w.cmdDelete->x());
        QVERIFY(w.cmdDelete->x() < w.cmdClear->x());
        QVERIFY(w.cmdClear->x() < w.cmdAdd->x());
    }

    void addStoresEveryBoxAndSortsBySurname()
    {
        Shell shell;
        frmAddAuthor& w = openFromPanel();
        type(w, 0, "Venmoor");
        type(w, 1, "Kade");
        type(w, 2, "Lecturer");
        type(w, 3, "Leeds");
        click(w, "cmdAdd");
        QCOMPARE(dataRows(w.MSFAuthors), 1);
        for (int i = 0; i < 4; ++i)
            QCOMPARE(textOf(w.txtDetails[i]), QString());

        // Empty boxes store empty text, not Null, and sort first.
        click(w, "cmdAdd");
        QCOMPARE(countRows(shell.db(), "Authors"), 2);
        QCOMPARE(storedField("Authors", "[Surname] = ''", "Location"), QString());
        QCOMPARE(surnames(w.MSFAuthors), QStringLiteral(",Venmoor"));
        QCOMPARE(cell(w.MSFAuthors, 2, 3), QStringLiteral("Leeds"));

        // Add after a click adds a second author with the shown details.
        clickRow(w.MSFAuthors, 2);
        QCOMPARE(textOf(w.txtDetails[2]), QStringLiteral("Lecturer"));
        click(w, "cmdAdd");
        QCOMPARE(countRows(shell.db(), "Authors"), 3);
        QCOMPARE(surnames(w.MSFAuthors), QStringLiteral(",Venmoor,Venmoor"));
    }

    void aNullFieldLeavesTheBoxAsItWas()
    {
        Shell shell;
        addRow(shell.db(), "Authors",
               {{Surname, "Ashby"}, {Forenames, "Ann"}, {Occupation, "Chemist"}});
        addRow(shell.db(), "Authors", {{Surname, "Bram"}, {Forenames, "Bo"}});
        frmAddAuthor& w = openFromPanel();
        QCOMPARE(cell(w.MSFAuthors, 2, 2), QString());
        clickRow(w.MSFAuthors, 1);
        clickRow(w.MSFAuthors, 2);
        QCOMPARE(textOf(w.txtDetails[0]), QStringLiteral("Bram"));
        QCOMPARE(textOf(w.txtDetails[2]), QStringLiteral("Chemist"));
    }

    void sameSurnamesAreToldApart()
    {
        Shell shell;
        addRow(shell.db(), "Authors", {{Surname, "Smith"}, {Forenames, "Ann"}});
        addRow(shell.db(), "Authors", {{Surname, "Smith"}, {Forenames, "Bea"}});
        frmAddAuthor& w = openFromPanel();
        for (int row : {2, 1}) {
            clickRow(w.MSFAuthors, row);
            QCOMPARE(textOf(w.txtDetails[1]), cell(w.MSFAuthors, row, 1));
        }
    }

    void deleteAsks_data()
    {
        QTest::addColumn<int>("answer");
        QTest::newRow("yes") << int(services::vbYes);
        QTest::newRow("no") << int(services::vbNo);
    }
    void deleteAsks()
    {
        QFETCH(int, answer);
        Shell shell;
        addRow(shell.db(), "Authors", {{Surname, "Ashby"}, {Forenames, "Ann"}});
        addRow(shell.db(), "Authors", {{Surname, "Bram"}, {Forenames, "Bo"}});
        addRow(shell.db(), "Paper Authors List", {{"Paper ID", "1"}, {"Author ID", "1"}});
        frmAddAuthor& w = openFromPanel();

        // Right after opening no row is chosen: nothing is asked or deleted.
        click(w, "cmdDelete");
        QCOMPARE(messageCount(), 0);

        clickRow(w.MSFAuthors, 1);
        services::testing::setNextAnswer(answer);
        click(w, "cmdDelete");
        QCOMPARE(messageCount(), 1);
        QCOMPARE(services::testing::messages().back().prompt,
                 QStringLiteral("Do you wish to delete?"));
        QCOMPARE(services::testing::messages().back().buttons, services::vbYesNo);
        if (answer == services::vbYes) {
            QCOMPARE(surnames(w.MSFAuthors), QStringLiteral("Bram"));
            QCOMPARE(textOf(w.txtDetails[0]), QString());
            // The links stay.
            QCOMPARE(countRows(shell.db(), "Paper Authors List"), 1);
            // The next Delete has no chosen row again.
            click(w, "cmdDelete");
            QCOMPARE(messageCount(), 1);
        } else {
            QCOMPARE(surnames(w.MSFAuthors), QStringLiteral("Ashby,Bram"));
            QCOMPARE(textOf(w.txtDetails[0]), QStringLiteral("Ashby"));
            QCOMPARE(countRows(shell.db(), "Authors"), 2);
        }
    }

    void onlyAClickChoosesARow()
    {
        Shell shell;
        addRow(shell.db(), "Authors", {{Surname, "Ashby"}, {Forenames, "Ann"}});
        addRow(shell.db(), "Authors", {{Surname, "Bram"}, {Forenames, "Bo"}});
        frmAddAuthor& w = openFromPanel();
        clickRow(w.MSFAuthors, 1);
        QTest::keyClick(w.MSFAuthors, Qt::Key_Down);
        settle();
        QCOMPARE(w.MSFAuthors->currentIndex().row(), 1);
        QCOMPARE(textOf(w.txtDetails[0]), QStringLiteral("Ashby"));
        services::testing::setNextAnswer(services::vbYes);
        click(w, "cmdDelete");
        QCOMPARE(surnames(w.MSFAuthors), QStringLiteral("Bram"));
    }

    void deleteTakesTheClickedAuthorAfterAnotherWindowMovedTheList()
    {
        Shell shell;
        addRow(shell.db(), "Authors", {{Surname, "Ashby"}, {Forenames, "Ann"}});
        addRow(shell.db(), "Authors", {{Surname, "Bram"}, {Forenames, "Bo"}});
        frmAddAuthor& w = openFromPanel();
        clickRow(w.MSFAuthors, 2);
        // As the paper window does when it looks an author up.
        getAuthor(1);
        services::testing::setNextAnswer(services::vbYes);
        click(w, "cmdDelete");
        QCOMPARE(surnames(w.MSFAuthors), QStringLiteral("Ashby"));
    }

    void backGivesThePanelBackAndReopeningStartsAfresh()
    {
        Shell shell;
        addRow(shell.db(), "Authors", {{Surname, "Ashby"}, {Forenames, "Ann"}});
        frmAddAuthor& w = openFromPanel();
        type(w, 0, "Half typed");
        setBackColour(&frmMenu::instance(), Qt::red);
        click(w, "cmdExit");
        QVERIFY(!w.isShown());
        QVERIFY(panelEnabled());
        QCOMPARE(frmMenu::instance().palette().color(QPalette::Window), panelColour());

        addRow(shell.db(), "Authors", {{Surname, "Bram"}, {Forenames, "Bo"}});
        frmMain::instance().findChild<QAction*>("mnuAuthors")->trigger();
        settle();
        QVERIFY(w.isShown());
        QVERIFY(!panelEnabled());
        QCOMPARE(textOf(w.txtDetails[0]), QString());
        QCOMPARE(dataRows(w.MSFAuthors), 2);

        // The frame's close box leaves as Back does.
        w.subWindow()->close();
        settle();
        QVERIFY(!w.isShown());
        QVERIFY(panelEnabled());
    }

    void twoEditorsOpenAtOnce()
    {
        Shell shell;
        frmAddAuthor& authors = openFromPanel();
        frmMain::instance().findChild<QAction*>("mnuKeywords")->trigger();
        settle();
        QVERIFY(frmAddKeyword::instance().isShown());
        QVERIFY(authors.isShown());
        QVERIFY(!panelEnabled());
        click(authors, "cmdExit");
        QVERIFY(panelEnabled());
        QVERIFY(frmAddKeyword::instance().isShown());
    }

    void refusedAuthorIsNotStored_data()
    {
        QTest::addColumn<int>("box");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("field");
        QTest::addColumn<int>("limit");
        QTest::newRow("surname") << 0 << QString(31, 'x') << "Surname" << 30;
        QTest::newRow("location") << 3 << QString(51, 'y') << "Location" << 50;
    }
    void refusedAuthorIsNotStored()
    {
        QFETCH(int, box);
        QFETCH(QString, text);
        QFETCH(QString, field);
        QFETCH(int, limit);
        Shell shell;
        frmAddAuthor& w = openFromPanel();
        type(w, 1, "Kade");
        type(w, box, text);
        click(w, "cmdAdd");
        QCOMPARE(messageCount(), 1);
        QVERIFY2(lastMessage().contains("'" + field + "'"), qPrintable(lastMessage()));
        QVERIFY2(lastMessage().contains(QString::number(limit)), qPrintable(lastMessage()));
        QCOMPARE(services::testing::messages().back().buttons, services::vbCritical);
        QCOMPARE(countRows(shell.db(), "Authors"), 0);
        QCOMPARE(dataRows(w.MSFAuthors), 0);
        QCOMPARE(textOf(w.txtDetails[box]), text);
        QCOMPARE(textOf(w.txtDetails[1]), QStringLiteral("Kade"));

        // Mended, it goes in once: nothing of the refused row is left behind.
        type(w, box, "Short");
        click(w, "cmdAdd");
        QCOMPARE(messageCount(), 1);
        QCOMPARE(countRows(shell.db(), "Authors"), 1);
        QCOMPARE(dataRows(w.MSFAuthors), 1);
    }

    void moreRowsThanASixteenBitCounter()
    {
        Shell shell;
        constexpr int Count = 33000;
        {
            db::Database& d = shell.db();
            db::Transaction t(d);
            db::Recordset rs = d.OpenRecordset("select * from [Authors];");
            for (int i = 1; i <= Count; ++i) {
                rs.AddNew();
                rs.Fields(Surname) = QStringLiteral("S%1").arg(i, 5, 10, QLatin1Char('0'));
                rs.Fields(Forenames) = QStringLiteral("F%1").arg(i);
                rs.Update();
            }
            t.commit();
        }
        frmAddAuthor& w = openFromPanel();
        QCOMPARE(dataRows(w.MSFAuthors), Count);
        QCOMPARE(cell(w.MSFAuthors, Count, 0), QStringLiteral("S33000"));
        clickRow(w.MSFAuthors, 32768);
        QCOMPARE(textOf(w.txtDetails[1]), QStringLiteral("F32768"));
        clickRow(w.MSFAuthors, Count);
        QCOMPARE(textOf(w.txtDetails[1]), QStringLiteral("F33000"));
        services::testing::setNextAnswer(services::vbYes);
        click(w, "cmdDelete");
        QCOMPARE(dataRows(w.MSFAuthors), Count - 1);
        QCOMPARE(storedField("Authors", "[Surname] = 'S33000'", Forenames),
                 QStringLiteral("<no row>"));
    }
};

QTEST_MAIN(TstAuthorEditor)
#include "tst_frmaddauthor.moc"
