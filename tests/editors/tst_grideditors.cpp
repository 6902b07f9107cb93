// The author, keyword and model editors and the meeting log as the user drives them: typing
// into their boxes, clicking grid rows and buttons, and reading back the grid, the boxes, the
// messages and the stored rows; every grid window's refused rows.
#include "app/textboxes.h"
#include "editors/frmaddkeyword.h"
#include "editors/grideditor.h"
#include "testsupport.h"

#include <QApplication>
#include <QMdiSubWindow>
#include <QTableView>

using namespace quirelle;
using namespace quirelle::test;

namespace {

struct Editor
{
    // The editor the options panel's button `button` opens.
    static Editor open(int button)
    {
        panelButton(button);
        for (QWidget* w : QApplication::allWidgets()) {
            auto* g = qobject_cast<GridEditor*>(w);
            if (g && g->isShown())
                return {*g, g->findChild<QTableView*>()};
        }
        qFatal("button %d opened no grid editor", button);
    }

    GridEditor& w;
    QTableView* grid;

    QWidget* box(int i) const { return w.findChild<QWidget*>(controlName("txtDetails", i)); }
    int rows() const { return grid->model()->rowCount(); }
    // The text of data row `row` (from 1), column `column`.
    QString cell(int row, int column) const
    {
        return grid->model()->index(row - 1, column).data().toString();
    }
    QString text(int i) const { return boxText(box(i)); }
    // Replaces the box's text by typing.
    void type(int i, const QString& text) const { replaceText(box(i), text); }
    void click(const QString& button) const { test::click(control(w, button)); }
    // A mouse click on data row `row` (from 1).
    void clickRow(int row) const
    {
        const QModelIndex index = grid->model()->index(row - 1, 0);
        grid->scrollTo(index);
        settle();
        QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, grid->visualRect(index).center());
        settle();
    }
    static int messages() { return static_cast<int>(st::messages().size()); }
    static bool panelEnabled() { return frmMenu::instance().isEnabled(); }
};

enum Button { Authors = 0, Models = 1, Meetings = 3, Keywords = 5 };

} // namespace

class TstGridEditors : public QObject
{
    Q_OBJECT

private slots:
    void authorsAddBackAndReopen()
    {
        Shell shell;
        const Editor e = Editor::open(Authors);
        QVERIFY(e.w.isShown() && !e.panelEnabled() && e.grid->isVisible());
        QCOMPARE(e.rows(), 0);
        e.clickRow(1); // nothing to click and nothing to delete
        e.click("cmdDelete");
        QCOMPARE(e.messages(), 0);
        const QStringList typed{"Venmoor", "Kade", "Lecturer", "Leeds"};
        for (int i = 0; i < 4; ++i)
            e.type(i, typed[i]);
        e.click("cmdAdd");
        QCOMPARE(e.text(0) + e.text(1) + e.text(2) + e.text(3), QString());
        // Empty boxes store empty text, not Null, and sort first.
        e.click("cmdAdd");
        QCOMPARE(
            rowsOf("select * from Authors where Surname = '' and Location = '';", {"Forenames"}),
            QStringList{""});
        // Add after a click adds a second author with the shown details.
        e.clickRow(2);
        QCOMPARE(e.text(3), "Leeds");
        e.click("cmdAdd");
        QCOMPARE(e.rows(), 3);
        QCOMPARE(e.cell(1, 0) + e.cell(2, 0) + e.cell(3, 0), "VenmoorVenmoor");
        // Back; the menu opens it afresh, with the keyword editor open beside it.
        e.type(0, "Half typed");
        e.click("cmdExit");
        QVERIFY(!e.w.isShown() && e.panelEnabled());
        addAuthor("Bram", "Bo");
        fromMenu("mnuAuthors");
        QVERIFY(e.w.isShown() && !e.panelEnabled());
        QCOMPARE(e.text(0), QString());
        QCOMPARE(e.rows(), 4);
        fromMenu("mnuKeywords");
        QVERIFY(frmAddKeyword::instance().isShown() && e.w.isShown());
        e.w.subWindow()->close(); // the frame's close box leaves as Back does
        settle();
        QVERIFY(!e.w.isShown() && e.panelEnabled() && frmAddKeyword::instance().isShown());
    }

    // Two authors of one surname, last of more rows than a 16-bit counter numbers: a click shows
    // its own row. Delete asks, and takes the row a click chose, not one the keyboard moved to.
    void clickAndDelete()
    {
        Shell shell;
        constexpr int Count = 32769; // the last row's position does not fit in 16 bits
        {
            db::Transaction t(shell.db());
            db::RowWriter authors(shell.db(), "Authors", {"Surname"});
            for (int i = 1; i <= Count - 2; ++i)
                authors.add({QStringLiteral("S%1").arg(i, 5, 10, QLatin1Char('0'))});
            t.commit();
        }
        addRow("Authors", {{"Surname", "Smith"}, {"Forenames", "Ann"}, {"Occupation", "Chemist"}});
        addAuthor("Smith", "Bea");
        linkAuthor(1, 1);
        const Editor e = Editor::open(Authors);
        QCOMPARE(e.rows(), Count);
        e.click("cmdDelete"); // no row chosen yet: nothing asked
        QCOMPARE(e.messages(), 0);
        const QString first = e.cell(Count - 1, 1), last = e.cell(Count, 1);
        e.clickRow(first == "Ann" ? Count - 1 : Count);
        e.clickRow(first == "Ann" ? Count : Count - 1);
        QCOMPARE(e.text(1), "Bea");
        QCOMPARE(e.text(2), "Chemist"); // a Null field leaves the box as it was
        e.clickRow(Count);
        pressKey(Qt::Key_Up);
        QCOMPARE(e.grid->currentIndex().row(), Count - 2);
        st::setNextAnswer(services::Answer::No);
        e.click("cmdDelete");
        QCOMPARE(lastPrompt(), "Do you wish to delete?");
        QCOMPARE(st::messages().back().buttons, services::Buttons::YesNo);
        QCOMPARE(e.rows(), Count);
        QCOMPARE(e.text(1), last);
        st::setNextAnswer(services::Answer::Yes);
        e.click("cmdDelete");
        QCOMPARE(e.rows(), Count - 1);
        QCOMPARE(e.cell(Count - 1, 1), first);
        QCOMPARE(e.text(0), QString());
        QCOMPARE(countRows(shell.db(), "Paper Authors List"), 1); // the links stay
        e.click("cmdDelete");                                     // no row chosen again
        QCOMPARE(e.messages(), 2);
    }

    // Keywords: Null for empty Definition and Origin, boxes emptied by a click, Delete at once,
    // boxes kept over Back.
    void keywords()
    {
        Shell shell;
        const Editor e = Editor::open(Keywords);
        e.type(0, "vision");
        e.click("cmdAdd");
        QCOMPARE(rowsOf("select * from Keywords where Definition is null and Origin is null;",
                        {"Keyword"}),
                 QStringList{"vision"});
        e.type(0, "audio");
        e.type(1, "Sound");
        e.type(2, "Latin");
        e.click("cmdAdd");
        QCOMPARE(rowsOf("select * from Keywords where Keyword = 'audio';", {"Origin"}),
                 QStringList{"Latin"});
        QCOMPARE(e.text(1), QString());
        // A click empties the boxes first: a Null field shows an empty box.
        e.clickRow(1);
        QCOMPARE(e.text(2), "Latin");
        e.clickRow(2);
        QCOMPARE(e.text(0), "vision");
        QCOMPARE(e.text(2), QString());
        // Delete takes the clicked keyword without a question and empties the boxes.
        e.clickRow(1);
        e.click("cmdDelete");
        QCOMPARE(e.messages(), 0);
        QCOMPARE(e.rows(), 1);
        QCOMPARE(e.cell(1, 0), "vision");
        QCOMPARE(e.text(1), QString());
        // The filled grid has no chosen row: a second Delete removes nothing.
        e.click("cmdDelete");
        QCOMPARE(countRows(shell.db(), "Keywords"), 1);
        // The boxes keep their text over Back.
        e.type(0, "drift");
        e.type(2, "Norse");
        e.click("cmdExit");
        QVERIFY(e.panelEnabled());
        addRow(shell.db(), "Keywords", {{"Keyword", "tide"}});
        fromMenu("mnuKeywords");
        QVERIFY(!e.panelEnabled());
        QCOMPARE(e.text(0) + e.text(2), "driftNorse");
        QCOMPARE(e.rows(), 2);
    }

    // Models: Creator, Year and Sphere kept by Clear and carried from one model to the next,
    // Delete at once.
    void models()
    {
        enum Box { Model = 0, Creator = 2, Year = 3, Sphere = 4 };
        Shell shell;
        addRow(shell.db(), "Models",
               {{"Model", "Alpha"}, {"Creator", "Ann"}, {"Year", "1999"}, {"Sphere", "Maths"}});
        addRow(shell.db(), "Models", {{"Model", "Beta"}, {"Creator", "Bo"}});
        const Editor e = Editor::open(Models);
        e.clickRow(1);
        e.click("cmdClear");
        QCOMPARE(e.text(Model), QString());
        QCOMPARE(e.text(Creator) + e.text(Year) + e.text(Sphere), "Ann1999Maths");
        // Beta has no year nor sphere: the earlier ones stay in their boxes.
        e.clickRow(2);
        QCOMPARE(e.text(Model) + e.text(Creator) + e.text(Year), "BetaBo1999");
        e.click("Command1");
        QCOMPARE(e.messages(), 0);
        QCOMPARE(e.rows(), 1);
        QCOMPARE(e.cell(1, 0), "Alpha");
        QCOMPARE(e.text(Model), QString());
        // Creator, Year and Sphere are carried over to the next model.
        e.type(Model, "Encoder");
        e.click("cmdAdd");
        QCOMPARE(e.text(Model) + e.text(Creator) + e.text(Year) + e.text(Sphere), "Bo1999Maths");
        QCOMPARE(
            rowsOf("select * from Models where Model = 'Encoder';", {"Creator", "Year", "Sphere"}),
            QStringList{"Bo/1999/Maths"});
        QCOMPARE(e.rows(), 2);
    }

    // Add with the text in its box and "Kept" in every other box is refused: one message
    // naming the field and its limit, nothing stored, no row shown, every box as typed.
    // Mended to the limit (one character less; "1" for an empty box), one Add stores the text
    // whole: limits count characters as the user sees them (an emoji is one).
    void refused_data()
    {
        QTest::addColumn<int>("button");
        QTest::addColumn<QString>("table");
        QTest::addColumn<int>("box");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("says");
        const auto row = [](const char* name, Button button, int box, const QString& text,
                            const char* says) {
            const char* tables[] = {"Authors", "Models", "", "Meeting", "", "Keywords"};
            QTest::newRow(name) << int(button) << tables[button] << box << text << says;
        };
        row("surname with emoji", Authors, 0,
            QStringLiteral("\U0001F600").repeated(20) + QString(11, 'x'),
            "'Surname' holds at most 30 characters, and the text typed has 31");
        row("empty keyword", Keywords, 0, "", "'Keyword' cannot be left empty");
        row("long keyword", Keywords, 0, QString(51, 'k'), "'Keyword' holds at most 50");
        row("empty model", Models, 0, "", "'Model' cannot be left empty");
        row("five-character year", Models, 3, "20171", "'Year' holds at most 4");
        row("meeting date", Meetings, 0, "12/5/2026", "'Date' holds at most 8");
    }
    void refused()
    {
        QFETCH(int, button);
        QFETCH(QString, table);
        QFETCH(int, box);
        QFETCH(QString, text);
        QFETCH(QString, says);
        Shell shell;
        const Editor e = Editor::open(button);
        int boxes = 0;
        while (e.box(boxes))
            ++boxes;
        for (int i = 0; i < boxes; ++i)
            e.type(i, i == box ? text : QStringLiteral("Kept"));
        e.click("cmdAdd");
        QCOMPARE(e.messages(), 1);
        QVERIFY2(lastPrompt().contains(says), qPrintable(lastPrompt()));
        QCOMPARE(st::messages().back().icon, services::Icon::Critical);
        QCOMPARE(countRows(shell.db(), table), 0);
        QCOMPARE(e.rows(), 0);
        for (int i = 0; i < boxes; ++i)
            QCOMPARE(e.text(i), i == box ? text : QStringLiteral("Kept"));
        const QString mended = text.isEmpty() ? QStringLiteral("1") : text.chopped(1);
        e.type(box, mended);
        e.click("cmdAdd");
        QCOMPARE(e.messages(), 1);
        QCOMPARE(rowsOf("select * from [" + table + "];", {says.section('\'', 1, 1)}),
                 QStringList{mended});
        QCOMPARE(e.rows(), 1);
    }

    // The meeting log: no grid while there are no meetings, its boxes emptied on each filling,
    // a Null field leaving its box as it was.
    void meetingLog()
    {
        enum Box { Date = 0, Location = 2, Outcome = 4, Subject = 5 };
        Shell shell;
        const Editor e = Editor::open(Meetings);
        QVERIFY(e.w.isShown() && !e.panelEnabled());
        QVERIFY(!e.grid->isVisible());
        // The first meeting, even an empty one, brings the grid out.
        e.click("cmdAdd");
        QVERIFY(e.grid->isVisible());
        QCOMPARE(rowsOf("select * from Meeting where Outcome = '';", {"Counter"}),
                 QStringList{"1"});
        const QStringList typed{"12/05/26", "14:30", "Room 4", "Ann, Bo", "Agreed.", "Budget"};
        for (int i = Date; i <= Subject; ++i)
            e.type(i, typed[i]);
        e.click("cmdAdd");
        QCOMPARE(e.text(Outcome), QString());
        QCOMPARE(e.cell(2, 1), "14:30");
        QCOMPARE(e.cell(2, 4), "Budget");
        e.type(Location, "Room 5");
        e.click("cmdExit");
        QVERIFY(!e.w.isShown() && e.panelEnabled());
        addRow(shell.db(), "Meeting", {{"Date", "13/05/26"}});
        fromMenu("mnuMeetings");
        QVERIFY(e.w.isShown() && !e.panelEnabled());
        QCOMPARE(e.text(Location), QString());
        QCOMPARE(e.rows(), 3);
        e.clickRow(2);
        QCOMPARE(e.text(Outcome), "Agreed.");
        e.clickRow(3);
        QCOMPARE(e.text(Date), "13/05/26");
        QCOMPARE(e.text(Subject), "Budget");
        e.w.close(); // its own close box leaves as Exit does
        settle();
        QVERIFY(!e.w.isShown() && e.panelEnabled());
    }
};

QTEST_MAIN(TstGridEditors)
#include "tst_grideditors.moc"
