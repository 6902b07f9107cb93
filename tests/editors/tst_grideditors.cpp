// The author, keyword and model editors as the user drives them, and every grid window's
// refused rows.
#include "editors/frmaddkeyword.h"
#include "gridwindow.h"

#include <QMdiSubWindow>

using namespace quirelle;
using namespace quirelle::test;

namespace {

QString surnames(const Editor& e)
{
    QStringList s;
    for (int r = 1; r <= e.rows(); ++r)
        s << e.cell(r, 0);
    return s.join(QLatin1Char(','));
}

const QString emoji = QStringLiteral("\U0001F600");

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
        QCOMPARE(e.stored("Authors", "[Surname] = ''", "Location"), QString());
        // Add after a click adds a second author with the shown details.
        e.clickRow(2);
        QCOMPARE(e.text(3), "Leeds");
        e.click("cmdAdd");
        QCOMPARE(surnames(e), ",Venmoor,Venmoor");
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

    // Two authors of one surname: a click shows its own row.
    void aClickShowsItsOwnRow()
    {
        Shell shell;
        addRow("Authors", {{"Surname", "Smith"}, {"Forenames", "Ann"}, {"Occupation", "Chemist"}});
        addAuthor("Smith", "Bea");
        const Editor e = Editor::open(Authors);
        const int annRow = e.cell(1, 1) == "Ann" ? 1 : 2;
        e.clickRow(annRow);
        e.clickRow(3 - annRow);
        QCOMPARE(e.text(1), "Bea");
        QCOMPARE(e.text(2), "Chemist"); // a Null field leaves the box as it was
    }

    void deleteAsks()
    {
        Shell shell;
        addAuthor("Ashby", "Ann");
        addAuthor("Bram", "Bo");
        linkAuthor(1, 1);
        const Editor e = Editor::open(Authors);
        e.click("cmdDelete"); // no row chosen yet: nothing asked
        QCOMPARE(e.messages(), 0);
        e.clickRow(1);
        // A keyboard move chooses nothing.
        pressKey(Qt::Key_Down);
        QCOMPARE(e.grid->currentIndex().row(), 1);
        st::setNextAnswer(services::Answer::No);
        e.click("cmdDelete");
        QCOMPARE(lastPrompt(), "Do you wish to delete?");
        QCOMPARE(st::messages().back().buttons, services::Buttons::YesNo);
        QCOMPARE(surnames(e), "Ashby,Bram");
        QCOMPARE(e.text(0), "Ashby");
        st::setNextAnswer(services::Answer::Yes);
        e.click("cmdDelete");
        QCOMPARE(surnames(e), "Bram");
        QCOMPARE(e.text(0), QString());
        QCOMPARE(countRows(shell.db(), "Paper Authors List"), 1); // the links stay
        e.click("cmdDelete");                                     // no row chosen again
        QCOMPARE(e.messages(), 2);
    }

    // Limits count characters as the user sees them: twenty emoji and ten letters fit thirty.
    void authorWithEmojiFits()
    {
        Shell shell;
        const Editor e = Editor::open(Authors);
        const QString surname = emoji.repeated(20) + QStringLiteral("Wendrake_x");
        e.type(0, surname);
        e.click("cmdAdd");
        QCOMPARE(e.messages(), 0);
        QCOMPARE(e.cell(1, 0), surname);
        QCOMPARE(e.stored("Authors", "[Author ID] = 1", "Surname"), surname);
    }

    void moreRowsThanASixteenBitCounter()
    {
        Shell shell;
        constexpr int Count = 32769; // the last row's position does not fit in 16 bits
        {
            db::Transaction t(shell.db());
            db::Recordset rs = shell.db().OpenRecordset("select * from [Authors];");
            for (int i = 1; i <= Count; ++i) {
                rs.AddNew();
                rs.Fields("Surname") = QStringLiteral("S%1").arg(i, 5, 10, QLatin1Char('0'));
                rs.Update();
            }
            t.commit();
        }
        const Editor e = Editor::open(Authors);
        QCOMPARE(e.rows(), Count);
        e.clickRow(Count);
        QCOMPARE(e.text(0), "S32769");
        st::setNextAnswer(services::Answer::Yes);
        e.click("cmdDelete");
        QCOMPARE(e.rows(), Count - 1);
        QCOMPARE(e.cell(Count - 1, 0), "S32768");
    }

    // Keywords: Null for empty Definition and Origin, boxes emptied by a click, Delete at once,
    // boxes kept over Back.
    void keywords()
    {
        Shell shell;
        const Editor e = Editor::open(Keywords);
        e.type(0, "vision");
        e.click("cmdAdd");
        QCOMPARE(e.stored("Keywords", "[Keyword] = 'vision'", "Definition"), "<null>");
        QCOMPARE(e.stored("Keywords", "[Keyword] = 'vision'", "Origin"), "<null>");
        e.type(0, "audio");
        e.type(1, "Sound");
        e.type(2, "Latin");
        e.click("cmdAdd");
        QCOMPARE(e.stored("Keywords", "[Keyword] = 'audio'", "Origin"), "Latin");
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
        const QString encoder = "[Model] = 'Encoder'";
        QCOMPARE(e.stored("Models", encoder, "Creator") + e.stored("Models", encoder, "Year") +
                     e.stored("Models", encoder, "Sphere"),
                 "Bo1999Maths");
        QCOMPARE(e.rows(), 2);
    }

    // Add with the text in its box and "Kept" in every other box is refused: one message
    // naming the field and its limit, nothing stored, no row shown, every box as typed.
    // Mended, one Add stores one row.
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
        row("surname", Authors, 0, QString(31, 'x'), "'Surname' holds at most 30 characters");
        row("surname with emoji", Authors, 0, emoji.repeated(20) + QString(11, 'x'),
            "holds at most 30 characters, and the text typed has 31");
        row("location", Authors, 3, QString(51, 'y'), "'Location' holds at most 50");
        row("empty keyword", Keywords, 0, "", "'Keyword' cannot be left empty");
        row("long keyword", Keywords, 0, QString(51, 'k'), "'Keyword' holds at most 50");
        row("long origin", Keywords, 2, QString(51, 'o'), "'Origin' holds at most 50");
        row("empty model", Models, 0, "", "'Model' cannot be left empty");
        row("five-character year", Models, 3, "20171", "'Year' holds at most 4");
        row("meeting date", Meetings, 0, "12/05/2026", "'Date' holds at most 8");
        row("meeting time", Meetings, 1, "14:30h", "'Time' holds at most 5");
        row("meeting subject", Meetings, 5, QString(51, 's'), "'Subject' holds at most 50");
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
        e.type(box, QStringLiteral("1"));
        e.click("cmdAdd");
        QCOMPARE(e.messages(), 1);
        QCOMPARE(countRows(shell.db(), table), 1);
        QCOMPARE(e.rows(), 1);
    }
};

QTEST_MAIN(TstGridEditors)
#include "tst_grideditors.moc"
