// The paper window driven through its own controls: a new paper added and linked, the lists of
// a stored paper, the detail boxes saved when left, citations and other works, quotations and
// the reference on the clipboard.
#include "app/frmmain.h"
#include "paperwindow.h"

#include <QAction>
#include <QComboBox>
#include <QPlainTextEdit>
#include <QStandardPaths>

using namespace quirelle;
using namespace quirelle::test;
namespace st = quirelle::services::testing;

namespace {

QStringList comboLines(const QComboBox* combo)
{
    QStringList out;
    for (int i = 0; i < combo->count(); ++i)
        out << combo->itemText(i);
    return out;
}

// The rows of `query`, each as its `fields` joined by "/".
QStringList rows(const QString& query, const QStringList& fields)
{
    db::Recordset rs = globals().dbProject->OpenRecordset(query);
    QStringList out;
    for (int i = 0; i < rs.RecordCount(); ++i) {
        rs.setAbsolutePosition(i);
        QStringList values;
        for (const QString& f : fields)
            values << rs.Fields(f).text();
        out << values.join(QLatin1Char('/'));
    }
    return out;
}

QString stored(qint64 paper, const QString& field)
{
    return rows(QStringLiteral("select * from [Papers] where [Paper ID] = %1;").arg(paper), {field})
        .value(0, QStringLiteral("<none>"));
}

// Replaces the box's text as the user would, then leaves the box for the title box, which
// never saves anything.
void typeAndLeave(int index, const QString& text)
{
    QWidget* box = win().txtDetails[static_cast<size_t>(index)];
    bringToFront(box);
    box->setFocus();
    settle();
    QTest::keyClick(box, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(box, Qt::Key_Delete);
    const QStringList parts = text.split(QLatin1Char('\n'));
    for (qsizetype i = 0; i < parts.size(); ++i) {
        if (i > 0)
            QTest::keyClick(box, Qt::Key_Return);
        QTest::keyClicks(box, parts[i]);
    }
    win().txtDetails[index == 0 ? 1 : 0]->setFocus();
    settle();
}

void choose(QComboBox* combo, const QString& text)
{
    const int at = combo->findText(text);
    QVERIFY2(at >= 0, qPrintable(text));
    combo->setCurrentIndex(at);
}

} // namespace

class TstViewPaper : public QObject
{
    Q_OBJECT

private slots:
    // The new paper's id is read from its stored row: another paper of the same title keeps
    // its own links.
    void newPaperIsAddedAndLinked()
    {
        Shell shell;
        const qint64 wendrake = addAuthor("Wendrake", "Ilse");
        const qint64 venmoor = addAuthor("Venmoor", "Kade");
        const qint64 vision = add("Keywords", {{"Keyword", "vision"}, {"Definition", "seeing"}});
        const qint64 cnn = add("Models", {{"Model", "cnn"}});
        const qint64 twin = addPaper("O'Brien's Clay");
        linkAuthor(twin, venmoor);

        frmMain::instance().findChild<QAction*>(QStringLiteral("mnuPaper"))->trigger();
        settle();
        frmViewPaper& w = win();
        QVERIFY(w.isShown());
        QVERIFY(!w.cmdDeletePaper->isEnabled());
        for (QComboBox* c : {w.cmbAuthor, w.cmbKeywords, w.cmbModels, w.cmbReferencedWork})
            QVERIFY(frmViewPaper::isLocked(c));

        // Nothing to link to yet; an empty title stores nothing.
        click(w.cmdAddAuthor);
        click(w.cmdAddPaper);
        QCOMPARE(prompts(), QStringList({"PaperID = 0 error",
                                         "Please type the paper's title, then press Add."}));
        QCOMPARE(countRows(shell.db(), "Papers"), 1);

        QTest::keyClicks(w.txtDetails[0], QStringLiteral("O'Brien's Clay"));
        click(w.cmdAddPaper);
        const qint64 added = twin + 1;
        QCOMPARE(stored(added, "Title"), QStringLiteral("O'Brien's Clay"));
        QCOMPARE(w.currentPaperID, added);
        QCOMPARE(w.detailText(6), QString::number(added));
        QVERIFY(frmMain::instance().windowTitle().endsWith(QStringLiteral(" - Papers added: 2")));
        QVERIFY(!w.cmdAddPaper->isEnabled());

        choose(w.cmbAuthor, line(wendrake, "Wendrake, Ilse"));
        click(w.cmdAddAuthor);
        choose(w.cmbKeywords, line(vision, "vision"));
        click(w.cmdAddKeyword);
        choose(w.cmbModels, line(cnn, "cnn"));
        click(w.cmdAddModel);
        w.SSTab1->setCurrentIndex(0);
        choose(w.cmbReferencedWork, line(twin, "O'Brien's Clay"));
        click(w.cmdAddReferencedWork);
        QCOMPARE(lines(w.lstAuthors), QStringList{line(wendrake, "Wendrake, Ilse")});
        QCOMPARE(rows("select * from [Paper Authors List];", {"Paper ID", "Author ID"}),
                 QStringList({QStringLiteral("%1/%2").arg(twin).arg(venmoor),
                              QStringLiteral("%1/%2").arg(added).arg(wendrake)}));
        QCOMPARE(st::messages().size(), size_t(2));

        // Filled again from the search, on the summary: every link read back from the database.
        w.hideForm();
        openPaper(added);
        QCOMPARE(w.SSTab1->currentIndex(), 4);
        QCOMPARE(lines(w.lstKeywords), QStringList{line(vision, "vision : seeing")});
        QCOMPARE(lines(w.lstModels), QStringList{line(cnn, "cnn")});
        QCOMPARE(lines(w.lstReferencedWork), QStringList{line(twin, "O'Brien's Clay")});

        // "Add" is for new papers only: a stored paper is never stored twice.
        windows::openPaperFromTitlePick(static_cast<qint32>(twin));
        QVERIFY(!w.cmdAddPaper->isEnabled());
        click(w.cmdAddPaper);
        QCOMPARE(countRows(shell.db(), "Papers"), 2);
        QCOMPARE(lines(w.lstAuthors), QStringList{line(venmoor, "Venmoor, Kade")});
    }

    // The combo boxes are read again when their table changed, whoever changed it.
    void combosFollowTheirTables()
    {
        Shell shell;
        const qint64 p = addPaper("Paper");
        add("Keywords", {{"Keyword", "old word"}});
        openPaper(p);
        frmViewPaper& w = win();
        addAuthor("Ash", "A");
        db::Recordset keywords = shell.db().OpenRecordset("select * from [Keywords];");
        keywords.Edit();
        keywords.Fields("Keyword") = QStringLiteral("new word");
        keywords.Update();
        typeAndLeave(1, QStringLiteral("1999")); // the window's own write, then another's
        addPaper("Elsewhere");
        openPaper(p);
        QCOMPARE(comboLines(w.cmbAuthor), QStringList{line(1, "Ash, A")});
        QCOMPARE(comboLines(w.cmbKeywords), QStringList{line(1, "new word")});
        QCOMPARE(comboLines(w.cmbReferencedWork),
                 QStringList({line(1, "Paper"), line(2, "Elsewhere")}));

        // The window's own new paper, detail and deletion.
        windows::openNewPaper();
        QTest::keyClicks(w.txtDetails[0], QStringLiteral("Mine"));
        click(w.cmdAddPaper);
        typeAndLeave(4, QStringLiteral("Unread"));
        openPaper(p);
        QCOMPARE(comboLines(w.cmbReferencedWork),
                 QStringList({line(1, "Paper"), line(2, "Elsewhere"), line(3, "Mine")}));
        st::setNextAnswer(services::vbYes);
        click(w.cmdDeletePaper);
        windows::openNewPaper();
        QCOMPARE(comboLines(w.cmbReferencedWork),
                 QStringList({line(2, "Elsewhere"), line(3, "Mine")}));

        // Written by another program.
        if (QStandardPaths::findExecutable(QStringLiteral("sqlite3")).isEmpty())
            return;
        sqliteShell(shell.file(), "INSERT INTO Models (Model) VALUES ('outside');");
        openPaper(3);
        QCOMPARE(comboLines(w.cmbModels), QStringList{line(1, "outside")});
    }

    void detailBoxSavesWhenLeft_data()
    {
        QTest::addColumn<int>("index");
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("typed");
        QTest::newRow("year") << 1 << QStringLiteral("Year") << QStringLiteral("1998");
        QTest::newRow("summary") << 2 << QStringLiteral("Summary") << "Line one\nline two";
        QTest::newRow("rating") << 3 << QStringLiteral("Rating") << QStringLiteral("B");
        QTest::newRow("status") << 4 << QStringLiteral("Status") << QStringLiteral("To read");
        QTest::newRow("publication") << 7 << QStringLiteral("Publication Name") << "O'Things";
    }
    void detailBoxSavesWhenLeft()
    {
        QFETCH(int, index);
        QFETCH(QString, field);
        QFETCH(QString, typed);
        Shell shell;
        const qint64 p = addPaper("Paper", {{field, "Z"}});
        openPaper(p);
        typeAndLeave(index, typed);
        QCOMPARE(stored(p, field), typed);
        // Emptied and left: the stored value stays and comes back at the next fill.
        typeAndLeave(index, QString());
        QCOMPARE(stored(p, field), typed);
        QCOMPARE(win().detailText(index), QString());
        openPaper(p);
        QCOMPARE(win().detailText(index), typed);
        QVERIFY(st::messages().empty());
    }

    void detailsThatAreNotStored()
    {
        Shell shell;
        const qint64 p = addPaper("Kept Title", {{"Rating", "A"}});
        openPaper(p);
        typeAndLeave(0, QStringLiteral("Changed Title"));
        typeAndLeave(5, QStringLiteral("a quotation not yet added"));
        QCOMPARE(stored(p, "Title"), QStringLiteral("Kept Title"));
        QCOMPARE(countRows(shell.db(), "Paper Statements List"), 0);
        QVERIFY(st::messages().empty());

        // Refused by the database: the message, the stored value and the typed text stay.
        typeAndLeave(3, QStringLiteral("ABC"));
        QCOMPARE(prompts().size(), 1);
        QVERIFY(prompts()[0].startsWith(QStringLiteral("Error found : ")));
        QVERIFY(prompts()[0].size() > QStringLiteral("Error found : ").size());
        QCOMPARE(stored(p, "Rating"), QStringLiteral("A"));
        QCOMPARE(win().detailText(3), QStringLiteral("ABC"));
        typeAndLeave(3, QStringLiteral("C")); // the window goes on working
        QCOMPARE(stored(p, "Rating"), QStringLiteral("C"));
    }

    void publicationType()
    {
        Shell shell;
        const qint64 p = addPaper("Paper");
        QComboBox* combo = win().cmbPublication;
        const auto typeAndLeaveType = [combo](const QString& text) {
            combo->setFocus();
            combo->clearEditText();
            QTest::keyClicks(combo, text);
            win().txtDetails[0]->setFocus();
            settle();
        };
        openPaper(p);
        typeAndLeaveType(QStringLiteral("Book"));
        QCOMPARE(stored(p, "Publication Type"), QStringLiteral("Book"));
        typeAndLeaveType(QStringLiteral("Thesis")); // not an entry: not stored
        QCOMPARE(stored(p, "Publication Type"), QStringLiteral("Book"));
        openPaper(p);
        QCOMPARE(combo->currentText(), QStringLiteral("Book"));
        // A new paper has no row yet: nothing is stored, nothing breaks.
        windows::openNewPaper();
        typeAndLeaveType(QStringLiteral("Website"));
        QVERIFY(st::messages().empty());
        QCOMPARE(countRows(shell.db(), "Papers"), 1);
    }

    void citationsAndOtherWorks()
    {
        Shell shell;
        const qint64 shown = addPaper("Shown");
        const qint64 two = addPaper("Two");
        const qint64 three = addPaper("Three");
        const qint64 lonely = addPaper("Lonely");
        const qint64 a = addAuthor("Alder", "A");
        const qint64 b = addAuthor("Birch", "B");
        const qint64 c = addAuthor("Cedar", "C"); // wrote the shown paper only
        for (qint64 author : {b, a, c, b})        // the same author twice
            linkAuthor(shown, author);
        linkAuthor(two, a);
        linkAuthor(three, b);
        linkAuthor(two, b);
        for (qint64 citing : {three, two, three}) // twice by the same paper
            cite(citing, shown);

        openPaper(shown);
        frmViewPaper& w = win();
        // By the order of the shown paper's author links, then of each author's own links;
        // duplicates are kept among the citations only.
        const QStringList others{line(three, "Three"), line(two, "Two")};
        const QStringList citations{line(three, "Three"), line(two, "Two"), line(three, "Three")};
        QCOMPARE(lines(w.lstOtherArticles), others);
        QCOMPARE(lines(w.lstCitations), citations);
        // A new paper leaves both lists as they were.
        windows::openNewPaper();
        QCOMPARE(lines(w.lstCitations), citations);
        QCOMPARE(lines(w.lstOtherArticles), others);
        openPaper(lonely);
        QCOMPARE(lines(w.lstCitations), QStringList{});
        QCOMPARE(lines(w.lstOtherArticles), QStringList{});
    }

    // The lists of a stored paper: ids above 32,767 are read whole; a link row whose row is gone,
    // or that names no number, gives no line.
    void storedPaperLists()
    {
        Shell shell;
        addPaper("Shown", {{"Paper ID", 40000}});
        addPaper("Citing", {{"Paper ID", 70000}});
        addPaper("Sibling", {{"Paper ID", 100000}});
        add("Authors", {{"Author ID", 50000}, {"Surname", "Large"}, {"Forenames", "L"}});
        add("Keywords", {{"Keyword ID", 60000}, {"Keyword", "big"}});
        add("Models", {{"Model ID", 80000}, {"Model", "wide"}});
        for (const char* id : {"99", "abc", "50000"})
            add("Paper Authors List", {{"Paper ID", "40000"}, {"Author ID", id}});
        for (int id : {99, 60000})
            add("Paper Keywords List", {{"Paper ID", "40000"}, {"Keywords ID", id}});
        for (const char* id : {"99", "80000"})
            add("Paper Models List", {{"Paper ID", "40000"}, {"Model ID", id}});
        for (auto [citing, cited] :
             {std::pair{40000, 99}, {40000, 100000}, {98, 40000}, {70000, 40000}})
            cite(citing, cited);
        linkAuthor(97, 50000); // another work of the author, gone
        linkAuthor(100000, 50000);

        openPaper(40000);
        frmViewPaper& w = win();
        QCOMPARE(w.detailText(6), QStringLiteral("40000"));
        QCOMPARE(lines(w.lstAuthors), QStringList{line(50000, "Large, L")});
        QCOMPARE(lines(w.lstKeywords), QStringList{line(60000, "big : ")});
        QCOMPARE(lines(w.lstModels), QStringList{line(80000, "wide")});
        QCOMPARE(lines(w.lstReferencedWork), QStringList{line(100000, "Sibling")});
        QCOMPARE(lines(w.lstCitations), QStringList{line(70000, "Citing")});
        QCOMPARE(lines(w.lstOtherArticles), QStringList{line(100000, "Sibling")});
        QVERIFY(st::messages().empty());

        clickListLine(w.lstCitations, 0);
        QCOMPARE(w.currentPaperID, 70000);
        QCOMPARE(globals().previousPaperID, 40000);
        w.SSTab1->setCurrentIndex(0);
        choose(w.cmbReferencedWork, line(100000, "Sibling"));
        click(w.cmdAddReferencedWork);
        QCOMPARE(rows("select * from [Paper References List] where [Paper ID] = '70000';",
                      {"Reference ID"}),
                 QStringList({"40000", "100000"}));
    }

    void quotations()
    {
        Shell shell;
        const qint64 p = addPaper("Signals in Clay", {{"Year", "1998"}});
        linkAuthor(p, addAuthor("Wendrake", "Ilse"));
        linkAuthor(p, addAuthor("Venmoor", "Kade"));
        add("Paper Statements List", {{"Paper ID", "99"}, {"Statement", "clay remembers"}});
        openPaper(p);
        frmViewPaper& w = win();
        auto* box = qobject_cast<QPlainTextEdit*>(w.txtDetails[5]);
        bringToFront(box);
        for (const char* typed : {"  clay remembers  ", "O'Brien's view", ""}) {
            box->setFocus();
            QTest::keyClicks(box, typed);
            click(w.cmdAddStatements); // an empty box stores nothing
        }
        // Another paper's identical quotation does not lend its number.
        QCOMPARE(lines(w.lstStatements),
                 QStringList({line(2, "clay remembers"), line(3, "O'Brien's view")}));
        QCOMPARE(box->toPlainText(), QString());
        QCOMPARE(
            rows("select * from [Paper Statements List];", {"Statements ID", "Paper ID"}),
            QStringList({"1/99", QStringLiteral("2/%1").arg(p), QStringLiteral("3/%1").arg(p)}));

        clickListLine(w.lstStatements, 1);
        QCOMPARE(st::clipboard(),
                 QStringLiteral("Wendrake and Venmoor [WEND98] stated that 'O'Brien's view'"));
        QCOMPARE(box->toPlainText(), line(3, "O'Brien's view"));
        QVERIFY(st::messages().empty());
    }

    void reference()
    {
        Shell shell;
        const qint64 p = addPaper(
            "Signals in Clay", {{"Year", "2003"}, {"Publication Name", "Journal of Small Things"}});
        linkAuthor(p, addAuthor("Wendrake", "Ilse"));
        linkAuthor(p, 4242); // gone: adds nothing
        linkAuthor(p, addAuthor("Venmoor", "Kade"));
        openPaper(p);
        click(win().cmdCopyReference);
        QCOMPARE(st::clipboard(),
                 "Wendrake I., Venmoor K., Signals in Clay, Journal of Small Things, 2003");
        // Without a publication name or authors.
        openPaper(addPaper("Alone", {{"Year", "2010"}}));
        click(win().cmdCopyReference);
        QCOMPARE(st::clipboard(), QStringLiteral("Alone, , 2010"));
        QVERIFY(st::messages().empty());
    }

    // Twice the same author: two links, unless the database refuses the second.
    void sameLinkTwice()
    {
        Shell shell;
        const qint64 p = addPaper("Paper");
        const qint64 a = addAuthor("Alder", "A");
        const qint64 k = add("Keywords", {{"Keyword", "clay"}});
        const bool sqlite3 = !QStandardPaths::findExecutable(QStringLiteral("sqlite3")).isEmpty();
        sqliteShell(shell.file(), "CREATE UNIQUE INDEX one ON \"Paper Keywords List\" "
                                  "(\"Paper ID\", \"Keywords ID\");");
        openPaper(p);
        frmViewPaper& w = win();
        choose(w.cmbAuthor, line(a, "Alder, A"));
        click(w.cmdAddAuthor);
        click(w.cmdAddAuthor);
        QCOMPARE(lines(w.lstAuthors).size(), 2);
        w.cmbAuthor->setEditText(QStringLiteral("Alder")); // names no row: links nothing
        click(w.cmdAddAuthor);
        QCOMPARE(countRows(shell.db(), "Paper Authors List"), 2);
        QVERIFY(st::messages().empty());
        if (!sqlite3)
            QSKIP("the sqlite3 shell is not installed");
        choose(w.cmbKeywords, line(k, "clay"));
        click(w.cmdAddKeyword);
        click(w.cmdAddKeyword);
        QCOMPARE(prompts(), QStringList{"This is a duplicate entry and will be ignored"});
        QCOMPARE(lines(w.lstKeywords), QStringList{line(k, "clay")});
        QCOMPARE(countRows(shell.db(), "Paper Keywords List"), 1);
    }
};

QTEST_MAIN(TstViewPaper)
#include "tst_viewpaper.moc"
