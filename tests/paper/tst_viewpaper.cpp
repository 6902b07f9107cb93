// The paper window driven through its own controls: a new paper added and linked, the lists of
// a stored paper, the detail boxes saved when left, citations and other works, quotations and
// the reference on the clipboard.
#include "app/frmmain.h"
#include "app/frmmenu.h"
#include "app/services.h"
#include "app/windows.h"
#include "db/globals.h"
#include "paper/frmviewpaper.h"
#include "testsupport.h"

#include <QAction>
#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStandardPaths>
#include <QTabWidget>
#include <QTest>

using namespace quirelle;
namespace st = quirelle::services::testing;

namespace {

frmViewPaper& win()
{
    return frmViewPaper::instance();
}

QStringList lines(const QListWidget* list)
{
    QStringList out;
    for (int i = 0; i < list->count(); ++i)
        out << list->item(i)->text();
    return out;
}

QStringList comboLines(const QComboBox* combo)
{
    QStringList out;
    for (int i = 0; i < combo->count(); ++i)
        out << combo->itemText(i);
    return out;
}

QStringList prompts()
{
    QStringList out;
    for (const auto& m : st::messages())
        out << m.prompt;
    return out;
}

qint64 add(const QString& table, const QVariantMap& values)
{
    return test::addRow(*globals().dbProject, table, values);
}

qint64 addPaper(const QString& title, const QVariantMap& more = {})
{
    QVariantMap values = more;
    values.insert(QStringLiteral("Title"), title);
    return add(QStringLiteral("Papers"), values);
}

qint64 addAuthor(const QString& surname, const QString& forenames)
{
    return add(QStringLiteral("Authors"),
               {{QStringLiteral("Surname"), surname}, {QStringLiteral("Forenames"), forenames}});
}

void linkAuthor(qint64 paper, qint64 author)
{
    add(QStringLiteral("Paper Authors List"),
        {{QStringLiteral("Paper ID"), QString::number(paper)},
         {QStringLiteral("Author ID"), QString::number(author)}});
}

void cite(qint64 citing, qint64 cited)
{
    add(QStringLiteral("Paper References List"),
        {{QStringLiteral("Paper ID"), QString::number(citing)},
         {QStringLiteral("Reference ID"), cited}});
}

// The stored value of one field of a paper ("<null>" for Null, "<none>" without a row).
QString stored(qint64 paper, const QString& field)
{
    db::Recordset rs = globals().dbProject->OpenRecordset(
        QStringLiteral("select * from [Papers] where [Paper ID] = %1;").arg(paper));
    if (rs.RecordCount() == 0)
        return QStringLiteral("<none>");
    const QVariant v = rs.Fields(field).Value();
    return v.isNull() ? QStringLiteral("<null>") : v.toString();
}

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

void click(QPushButton* b)
{
    QTest::mouseClick(b, Qt::LeftButton);
    test::settle();
}

// Brings the list's tab to the front and clicks its line.
void clickLine(QListWidget* list, int row)
{
    for (int i = 0; i < win().SSTab1->count(); ++i) {
        if (win().SSTab1->widget(i)->isAncestorOf(list))
            win().SSTab1->setCurrentIndex(i);
    }
    test::settle();
    QListWidgetItem* item = list->item(row);
    QVERIFY(item);
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(item).center());
    test::settle();
}

QString detail(int index)
{
    return win().detailText(index);
}

// Replaces the box's text as the user would, then leaves the box for the title box, which
// never saves anything.
void typeAndLeave(int index, const QString& text)
{
    QWidget* box = win().txtDetails[static_cast<size_t>(index)];
    for (int i = 0; i < win().SSTab1->count(); ++i) {
        if (win().SSTab1->widget(i)->isAncestorOf(box))
            win().SSTab1->setCurrentIndex(i);
    }
    box->setFocus();
    test::settle();
    QTest::keyClick(box, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(box, Qt::Key_Delete);
    const QStringList parts = text.split(QLatin1Char('\n'));
    for (qsizetype i = 0; i < parts.size(); ++i) {
        if (i > 0)
            QTest::keyClick(box, Qt::Key_Return);
        QTest::keyClicks(box, parts[i]);
    }
    win().txtDetails[index == 0 ? 1 : 0]->setFocus();
    test::settle();
}

void choose(QComboBox* combo, const QString& line)
{
    const int at = combo->findText(line);
    QVERIFY2(at >= 0, qPrintable(line));
    combo->setCurrentIndex(at);
}

QString caption()
{
    return frmMain::instance().windowTitle();
}

} // namespace

class TstViewPaper : public QObject
{
    Q_OBJECT

private slots:
    void newPaperIsAddedAndLinked()
    {
        test::Shell shell;
        const qint64 wendrake = addAuthor("Wendrake", "Ilse");
        const qint64 venmoor = addAuthor("Venmoor", "Kade");
        const qint64 vision = add("Keywords", {{"Keyword", "vision"}, {"Definition", "seeing"}});
        add("Keywords", {{"Keyword", "Audio"}});
        const qint64 cnn = add("Models", {{"Model", "cnn"}});
        const qint64 older = addPaper("Older Paper");

        frmMain::instance().findChild<QAction*>(QStringLiteral("mnuPaper"))->trigger();
        test::settle();
        frmViewPaper& w = win();
        QVERIFY(w.isShown());
        QCOMPARE(w.caption(), QStringLiteral("Article Contents"));
        QVERIFY(!frmMenu::instance().isEnabled());
        QCOMPARE(comboLines(w.cmbAuthor),
                 QStringList({QStringLiteral("%1 : Venmoor, Kade").arg(venmoor),
                              QStringLiteral("%1 : Wendrake, Ilse").arg(wendrake)}));
        QCOMPARE(comboLines(w.cmbKeywords),
                 QStringList({QStringLiteral("2 : Audio"), QStringLiteral("1 : vision")}));
        QCOMPARE(comboLines(w.cmbReferencedWork), QStringList{QStringLiteral("1 : Older Paper")});
        QCOMPARE(w.cmbAuthor->currentText(), QString());
        for (QComboBox* c : {w.cmbAuthor, w.cmbKeywords, w.cmbModels, w.cmbReferencedWork})
            QVERIFY(frmViewPaper::isLocked(c));
        // Locked: neither keys nor the wheel choose a line.
        w.cmbAuthor->setFocus();
        QTest::keyClick(w.cmbAuthor, Qt::Key_Down);
        QTest::keyClicks(w.cmbAuthor, QStringLiteral("1 : x"));
        QCOMPARE(w.cmbAuthor->currentIndex(), -1);
        QCOMPARE(w.cmbAuthor->currentText(), QString());
        QVERIFY(qobject_cast<QLineEdit*>(w.txtDetails[1])->isReadOnly());
        QVERIFY(qobject_cast<QPlainTextEdit*>(w.txtDetails[5])->isReadOnly());
        QVERIFY(!qobject_cast<QLineEdit*>(w.txtDetails[0])->isReadOnly());
        QVERIFY(w.cmdAddPaper->isEnabled());
        QVERIFY(!w.cmdDeletePaper->isEnabled());
        QVERIFY(!w.cmdCopyReference->isEnabled());

        // Nothing to link to yet; an empty title stores nothing.
        click(w.cmdAddAuthor);
        click(w.cmdAddKeyword);
        click(w.cmdAddPaper);
        QCOMPARE(st::messages().size(), size_t(2));
        QCOMPARE(st::messages()[0].prompt, QStringLiteral("PaperID = 0 error"));
        QCOMPARE(st::messages()[0].buttons, services::vbCritical);
        QCOMPARE(test::countRows(shell.db(), "Papers"), 1);

        QTest::keyClicks(w.txtDetails[0], QStringLiteral("O'Brien's Clay"));
        click(w.cmdAddPaper);
        const qint64 added = older + 1;
        QCOMPARE(stored(added, "Title"), QStringLiteral("O'Brien's Clay"));
        QCOMPARE(w.currentPaperID, added);
        QCOMPARE(detail(6), QString::number(added));
        QVERIFY(caption().endsWith(QStringLiteral(" - Papers added: 2")));
        QVERIFY(!w.cmdAddPaper->isEnabled());
        QVERIFY(w.cmdDeletePaper->isEnabled());
        QVERIFY(!frmViewPaper::isLocked(w.cmbAuthor));
        // Not in the referenced works until the window is filled again.
        QCOMPARE(w.cmbReferencedWork->count(), 1);

        choose(w.cmbAuthor, QStringLiteral("%1 : Wendrake, Ilse").arg(wendrake));
        click(w.cmdAddAuthor);
        choose(w.cmbKeywords, QStringLiteral("%1 : vision").arg(vision));
        click(w.cmdAddKeyword);
        choose(w.cmbModels, QStringLiteral("%1 : cnn").arg(cnn));
        click(w.cmdAddModel);
        w.SSTab1->setCurrentIndex(0);
        choose(w.cmbReferencedWork, QStringLiteral("%1 : Older Paper").arg(older));
        click(w.cmdAddReferencedWork);
        QCOMPARE(lines(w.lstAuthors), QStringList{QStringLiteral("1 : Wendrake, Ilse")});
        QCOMPARE(lines(w.lstKeywords), QStringList{QStringLiteral("1 : vision")});
        QCOMPARE(lines(w.lstModels), QStringList{QStringLiteral("1 : cnn")});
        QCOMPARE(lines(w.lstReferencedWork), QStringList{QStringLiteral("1 : Older Paper")});
        QCOMPARE(rows("select * from [Paper Authors List];", {"Paper ID", "Author ID"}),
                 QStringList{QStringLiteral("2/1")});
        QCOMPARE(rows("select * from [Paper Keywords List];", {"Paper ID", "Keywords ID"}),
                 QStringList{QStringLiteral("2/1")});
        QCOMPARE(rows("select * from [Paper Models List];", {"Paper ID", "Model ID"}),
                 QStringList{QStringLiteral("2/1")});
        QCOMPARE(rows("select * from [Paper References List];", {"Paper ID", "Reference ID"}),
                 QStringList{QStringLiteral("2/1")});
        QCOMPARE(st::messages().size(), size_t(2));

        // Filled again from the search: the keyword shows its definition, the summary is in front.
        w.SSTab1->setCurrentIndex(1);
        w.hideForm();
        windows::openPaperFromSearch(static_cast<qint32>(added));
        test::settle();
        QVERIFY(w.isShown());
        QCOMPARE(w.SSTab1->currentIndex(), 4);
        QCOMPARE(lines(w.lstKeywords), QStringList{QStringLiteral("1 : vision : seeing")});
        QCOMPARE(detail(0), QStringLiteral("O'Brien's Clay"));
        QCOMPARE(w.cmbReferencedWork->count(), 2);
        QVERIFY(!w.cmdAddPaper->isEnabled());
    }

    void combosFollowTheirTables()
    {
        test::Shell shell;
        const qint64 p = addPaper("Paper");
        addAuthor("Moss", "M");
        add("Keywords", {{"Keyword", "old word"}});
        windows::openPaperFromSearch(static_cast<qint32>(p));
        frmViewPaper& w = win();
        QCOMPARE(comboLines(w.cmbAuthor), QStringList{QStringLiteral("1 : Moss, M")});

        // Written by another window between two fills.
        addAuthor("Ash", "A");
        db::Recordset keywords = shell.db().OpenRecordset("select * from [Keywords];");
        keywords.Edit();
        keywords.Fields("Keyword") = QStringLiteral("new word");
        keywords.Update();
        windows::openPaperFromSearch(static_cast<qint32>(p));
        QCOMPARE(comboLines(w.cmbAuthor),
                 QStringList({QStringLiteral("2 : Ash, A"), QStringLiteral("1 : Moss, M")}));
        QCOMPARE(comboLines(w.cmbKeywords), QStringList{QStringLiteral("1 : new word")});
        QCOMPARE(w.cmbAuthor->currentText(), QString());

        // The window's own writes to the papers: a detail, a new paper, a deletion, and a
        // paper added elsewhere in between.
        const auto allPapers = [] {
            QStringList out;
            for (const QString& row : rows("select * from [Papers];", {"Paper ID", "Title"}))
                out << row.section(QLatin1Char('/'), 0, 0) + QStringLiteral(" : ") +
                           row.section(QLatin1Char('/'), 1);
            return out;
        };
        typeAndLeave(1, QStringLiteral("1999"));
        addPaper("Elsewhere");
        windows::openNewPaper();
        QTest::keyClicks(w.txtDetails[0], QStringLiteral("Mine"));
        click(w.cmdAddPaper);
        typeAndLeave(4, QStringLiteral("Unread"));
        windows::openPaperFromSearch(static_cast<qint32>(p));
        QCOMPARE(comboLines(w.cmbReferencedWork), allPapers());
        QCOMPARE(comboLines(w.cmbReferencedWork).size(), 3);
        st::setNextAnswer(services::vbYes);
        click(w.cmdDeletePaper);
        windows::openNewPaper();
        QCOMPARE(comboLines(w.cmbReferencedWork), allPapers());
        QCOMPARE(comboLines(w.cmbReferencedWork).size(), 2);

        // Written by another program.
        if (!test::sqliteShell(shell.file(), "INSERT INTO Models (Model) VALUES ('outside');")
                 .isEmpty())
            QFAIL("the sqlite3 shell failed");
        windows::openPaperFromSearch(static_cast<qint32>(p));
        if (!QStandardPaths::findExecutable(QStringLiteral("sqlite3")).isEmpty())
            QCOMPARE(comboLines(w.cmbModels), QStringList{QStringLiteral("1 : outside")});
    }

    void samePaperTitleKeepsItsOwnLinks()
    {
        test::Shell shell;
        const qint64 first = addPaper("Twin");
        const qint64 a = addAuthor("Alder", "A");
        const qint64 b = addAuthor("Birch", "B");
        linkAuthor(first, a);

        windows::openNewPaper();
        frmViewPaper& w = win();
        QTest::keyClicks(w.txtDetails[0], QStringLiteral("Twin"));
        click(w.cmdAddPaper);
        const qint64 second = w.currentPaperID;
        QVERIFY(second != first);
        choose(w.cmbAuthor, QStringLiteral("%1 : Birch, B").arg(b));
        click(w.cmdAddAuthor);
        QCOMPARE(rows("select * from [Paper Authors List];", {"Paper ID", "Author ID"}),
                 QStringList({QStringLiteral("%1/%2").arg(first).arg(a),
                              QStringLiteral("%1/%2").arg(second).arg(b)}));
        // "Add" is for new papers only: a stored paper is never stored twice.
        windows::openPaperFromTitlePick(static_cast<qint32>(first));
        QVERIFY(!w.cmdAddPaper->isEnabled());
        click(w.cmdAddPaper);
        QCOMPARE(test::countRows(shell.db(), "Papers"), 2);
        QCOMPARE(lines(w.lstAuthors), QStringList{QStringLiteral("%1 : Alder, A").arg(a)});
    }

    void storedPaperFillsEveryControl()
    {
        test::Shell shell;
        const qint64 p = addPaper("Signals in Clay", {{"Year", "2003"},
                                                      {"Summary", "About clay."},
                                                      {"Rating", "A"},
                                                      {"Status", "Read"},
                                                      {"Publication Type", "Book"},
                                                      {"Publication Name", "Small Things"}});
        const qint64 a = addAuthor("Wendrake", "Ilse");
        linkAuthor(p, a);
        add("Paper Statements List", {{"Paper ID", QString::number(p)}, {"Statement", "clay"}});
        windows::openPaperFromSearch(static_cast<qint32>(p));
        frmViewPaper& w = win();
        QCOMPARE(detail(0), QStringLiteral("Signals in Clay"));
        QCOMPARE(detail(1), QStringLiteral("2003"));
        QCOMPARE(detail(2), QStringLiteral("About clay."));
        QCOMPARE(detail(3), QStringLiteral("A"));
        QCOMPARE(detail(4), QStringLiteral("Read"));
        QCOMPARE(detail(6), QString::number(p));
        QCOMPARE(detail(7), QStringLiteral("Small Things"));
        QCOMPARE(w.cmbPublication->currentText(), QStringLiteral("Book"));
        QCOMPARE(lines(w.lstStatements), QStringList{QStringLiteral("1 : clay")});
        QVERIFY(w.cmdDeletePaper->isEnabled());
        QVERIFY(!w.cmdBackToPrevious->isEnabled());
        QCOMPARE(comboLines(w.cmbPublication),
                 QStringList({"Book", "Business White Paper", "News Article",
                              "Professional Journal", "University White Paper", "Website"}));

        // A paper that is gone: the message, and the window is left.
        windows::openPaperFromSearch(999);
        QCOMPARE(prompts(), QStringList{QStringLiteral("Could not locate Paper error")});
        QCOMPARE(st::messages()[0].buttons, services::vbCritical);
        QVERIFY(!w.isShown());
    }

    void detailBoxSavesWhenLeft_data()
    {
        QTest::addColumn<int>("index");
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("typed");
        QTest::newRow("year") << 1 << "Year"
                              << "1998";
        QTest::newRow("summary") << 2 << "Summary"
                                 << "Line one\nline two";
        QTest::newRow("rating") << 3 << "Rating"
                                << "B";
        QTest::newRow("status") << 4 << "Status"
                                << "To read";
        QTest::newRow("publication name") << 7 << "Publication Name"
                                          << "Journal of O'Things";
    }
    void detailBoxSavesWhenLeft()
    {
        QFETCH(int, index);
        QFETCH(QString, field);
        QFETCH(QString, typed);
        test::Shell shell;
        const qint64 p = addPaper("Paper", {{field, "Z"}});
        windows::openPaperFromSearch(static_cast<qint32>(p));
        typeAndLeave(index, typed);
        QCOMPARE(stored(p, field), typed);
        // Emptied and left: the stored value stays and comes back at the next fill.
        typeAndLeave(index, QString());
        QCOMPARE(stored(p, field), typed);
        QCOMPARE(detail(index), QString());
        windows::openPaperFromSearch(static_cast<qint32>(p));
        QCOMPARE(detail(index), typed);
        QVERIFY(st::messages().empty());
    }

    void boxesThatNeverSave()
    {
        test::Shell shell;
        const qint64 p = addPaper("Kept Title");
        windows::openPaperFromSearch(static_cast<qint32>(p));
        typeAndLeave(0, QStringLiteral("Changed Title"));
        typeAndLeave(5, QStringLiteral("a quotation not yet added"));
        QCOMPARE(stored(p, "Title"), QStringLiteral("Kept Title"));
        QCOMPARE(test::countRows(shell.db(), "Paper Statements List"), 0);
        QVERIFY(qobject_cast<QLineEdit*>(win().txtDetails[6])->isReadOnly());
        QVERIFY(st::messages().empty());
    }

    void refusedDetailKeepsTypedTextAndStoredValue()
    {
        test::Shell shell;
        const qint64 p = addPaper("Paper", {{"Rating", "A"}});
        windows::openPaperFromSearch(static_cast<qint32>(p));
        typeAndLeave(3, QStringLiteral("ABC"));
        QCOMPARE(prompts().size(), 1);
        QVERIFY(prompts()[0].startsWith(QStringLiteral("Error found : ")));
        QVERIFY(prompts()[0].size() > QStringLiteral("Error found : ").size());
        QCOMPARE(st::messages()[0].buttons, services::vbOKOnly);
        QCOMPARE(stored(p, "Rating"), QStringLiteral("A"));
        QCOMPARE(detail(3), QStringLiteral("ABC"));
        // The window goes on working.
        typeAndLeave(1, QStringLiteral("2001"));
        QCOMPARE(stored(p, "Year"), QStringLiteral("2001"));
        typeAndLeave(3, QStringLiteral("C"));
        QCOMPARE(stored(p, "Rating"), QStringLiteral("C"));
    }

    void publicationType()
    {
        test::Shell shell;
        const qint64 p = addPaper("Paper");
        windows::openPaperFromSearch(static_cast<qint32>(p));
        frmViewPaper& w = win();
        w.cmbPublication->setFocus();
        test::settle();
        w.cmbPublication->setCurrentIndex(0);
        w.txtDetails[0]->setFocus();
        test::settle();
        QCOMPARE(stored(p, "Publication Type"), QStringLiteral("Book"));
        // Typed text that is not an entry is not stored.
        w.cmbPublication->setFocus();
        test::settle();
        QTest::keyClick(w.cmbPublication, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClicks(w.cmbPublication, QStringLiteral("Thesis"));
        w.txtDetails[0]->setFocus();
        test::settle();
        QCOMPARE(stored(p, "Publication Type"), QStringLiteral("Book"));

        // A new paper has no row yet: nothing is stored, nothing breaks.
        windows::openNewPaper();
        w.cmbPublication->setFocus();
        test::settle();
        w.cmbPublication->setCurrentIndex(5);
        w.txtDetails[0]->setFocus();
        test::settle();
        QVERIFY(st::messages().empty());
        QCOMPARE(test::countRows(shell.db(), "Papers"), 1);
        QCOMPARE(stored(p, "Publication Type"), QStringLiteral("Book"));
    }

    void linkRowsWithoutTheirRowGiveNoLine()
    {
        test::Shell shell;
        const qint64 p = addPaper("Shown");
        const qint64 other = addPaper("Other");
        const qint64 a = addAuthor("Alder", "A");
        const qint64 k = add("Keywords", {{"Keyword", "kept"}});
        const qint64 m = add("Models", {{"Model", "kept model"}});
        for (const QString& id : {QStringLiteral("99"), QStringLiteral("abc"), QString::number(a)})
            add("Paper Authors List", {{"Paper ID", QString::number(p)}, {"Author ID", id}});
        add("Paper Keywords List", {{"Paper ID", QString::number(p)}, {"Keywords ID", 99}});
        add("Paper Keywords List", {{"Paper ID", QString::number(p)}, {"Keywords ID", k}});
        add("Paper Models List", {{"Paper ID", QString::number(p)}, {"Model ID", "99"}});
        add("Paper Models List",
            {{"Paper ID", QString::number(p)}, {"Model ID", QString::number(m)}});
        cite(p, 99);
        cite(p, other);
        // A citing paper and another work of the author that are gone.
        cite(98, p);
        linkAuthor(97, a);
        linkAuthor(other, a);

        windows::openPaperFromSearch(static_cast<qint32>(p));
        frmViewPaper& w = win();
        QCOMPARE(lines(w.lstAuthors), QStringList{QStringLiteral("%1 : Alder, A").arg(a)});
        QCOMPARE(lines(w.lstKeywords), QStringList{QStringLiteral("%1 : kept : ").arg(k)});
        QCOMPARE(lines(w.lstModels), QStringList{QStringLiteral("%1 : kept model").arg(m)});
        QCOMPARE(lines(w.lstReferencedWork), QStringList{QStringLiteral("%1 : Other").arg(other)});
        QCOMPARE(lines(w.lstCitations), QStringList{});
        QCOMPARE(lines(w.lstOtherArticles), QStringList{QStringLiteral("%1 : Other").arg(other)});
        QVERIFY(st::messages().empty());
    }

    void citationsAndOtherWorks()
    {
        test::Shell shell;
        const qint64 shown = addPaper("Shown");
        const qint64 two = addPaper("Two");
        const qint64 three = addPaper("Three");
        const qint64 lonely = addPaper("Lonely");
        const qint64 a = addAuthor("Alder", "A");
        const qint64 b = addAuthor("Birch", "B");
        const qint64 c = addAuthor("Cedar", "C"); // wrote the shown paper only
        linkAuthor(shown, b);
        linkAuthor(shown, a);
        linkAuthor(shown, c);
        linkAuthor(shown, b); // the same author twice
        linkAuthor(two, a);
        linkAuthor(three, b);
        linkAuthor(two, b);
        cite(three, shown);
        cite(two, shown);
        cite(three, shown); // twice by the same paper

        windows::openPaperFromSearch(static_cast<qint32>(shown));
        frmViewPaper& w = win();
        // By the order of the shown paper's author links, then of each author's own links.
        QCOMPARE(lines(w.lstOtherArticles), QStringList({QStringLiteral("%1 : Three").arg(three),
                                                         QStringLiteral("%1 : Two").arg(two)}));
        QCOMPARE(lines(w.lstCitations), QStringList({QStringLiteral("%1 : Three").arg(three),
                                                     QStringLiteral("%1 : Two").arg(two),
                                                     QStringLiteral("%1 : Three").arg(three)}));
        const QStringList citations = lines(w.lstCitations);
        const QStringList others = lines(w.lstOtherArticles);

        // A new paper leaves both lists as they were.
        windows::openNewPaper();
        QCOMPARE(lines(w.lstCitations), citations);
        QCOMPARE(lines(w.lstOtherArticles), others);

        windows::openPaperFromSearch(static_cast<qint32>(lonely));
        QCOMPARE(lines(w.lstCitations), QStringList{});
        QCOMPARE(lines(w.lstOtherArticles), QStringList{});
    }

    void idsAboveSixteenBits()
    {
        test::Shell shell;
        addPaper("Shown", {{"Paper ID", 40000}});
        addPaper("Citing", {{"Paper ID", 70000}});
        addPaper("Sibling", {{"Paper ID", 100000}});
        add("Authors", {{"Author ID", 50000}, {"Surname", "Large"}, {"Forenames", "L"}});
        add("Keywords", {{"Keyword ID", 60000}, {"Keyword", "big"}});
        linkAuthor(40000, 50000);
        linkAuthor(100000, 50000);
        add("Paper Keywords List", {{"Paper ID", "40000"}, {"Keywords ID", 60000}});
        cite(70000, 40000);
        cite(40000, 100000);

        windows::openPaperFromSearch(40000);
        frmViewPaper& w = win();
        QCOMPARE(detail(6), QStringLiteral("40000"));
        QCOMPARE(lines(w.lstAuthors), QStringList{QStringLiteral("50000 : Large, L")});
        QCOMPARE(lines(w.lstKeywords), QStringList{QStringLiteral("60000 : big : ")});
        QCOMPARE(lines(w.lstReferencedWork), QStringList{QStringLiteral("100000 : Sibling")});
        QCOMPARE(lines(w.lstCitations), QStringList{QStringLiteral("70000 : Citing")});
        QCOMPARE(lines(w.lstOtherArticles), QStringList{QStringLiteral("100000 : Sibling")});

        clickLine(w.lstCitations, 0);
        QCOMPARE(w.currentPaperID, 70000);
        QCOMPARE(globals().previousPaperID, 40000);
        QCOMPARE(lines(w.lstReferencedWork), QStringList{QStringLiteral("40000 : Shown")});
        w.SSTab1->setCurrentIndex(0);
        choose(w.cmbReferencedWork, QStringLiteral("100000 : Sibling"));
        click(w.cmdAddReferencedWork);
        QCOMPARE(rows("select * from [Paper References List] where [Paper ID] = '70000';",
                      {"Reference ID"}),
                 QStringList({QStringLiteral("40000"), QStringLiteral("100000")}));
    }

    void quotations()
    {
        test::Shell shell;
        const qint64 p = addPaper("Signals in Clay", {{"Year", "1998"}});
        linkAuthor(p, addAuthor("Wendrake", "Ilse"));
        linkAuthor(p, addAuthor("Venmoor", "Kade"));
        add("Paper Statements List", {{"Paper ID", "99"}, {"Statement", "clay remembers"}});
        windows::openPaperFromSearch(static_cast<qint32>(p));
        frmViewPaper& w = win();
        w.SSTab1->setCurrentIndex(3);
        auto* box = qobject_cast<QPlainTextEdit*>(w.txtDetails[5]);
        box->setFocus();
        QTest::keyClicks(box, QStringLiteral("  clay remembers  "));
        click(w.cmdAddStatements);
        QTest::keyClicks(box, QStringLiteral("O'Brien's view"));
        click(w.cmdAddStatements);
        // Another paper's identical quotation does not lend its number.
        QCOMPARE(lines(w.lstStatements), QStringList({QStringLiteral("2 : clay remembers"),
                                                      QStringLiteral("3 : O'Brien's view")}));
        QCOMPARE(box->toPlainText(), QString());
        QCOMPARE(
            rows(QStringLiteral("select * from [Paper Statements List] where [Paper ID] = "
                                "'%1';")
                     .arg(p),
                 {"Statements ID", "Statement"}),
            QStringList({QStringLiteral("2/clay remembers"), QStringLiteral("3/O'Brien's view")}));
        click(w.cmdAddStatements); // an empty box stores nothing
        QCOMPARE(test::countRows(shell.db(), "Paper Statements List"), 3);

        clickLine(w.lstStatements, 0);
        QCOMPARE(st::clipboard(),
                 QStringLiteral("Wendrake and Venmoor [WEND98] stated that 'clay remembers'"));
        QCOMPARE(box->toPlainText(), QStringLiteral("2 : clay remembers"));
        QCOMPARE(w.lstAuthors->currentRow(), 1);
        clickLine(w.lstStatements, 1);
        QCOMPARE(st::clipboard(),
                 QStringLiteral("Wendrake and Venmoor [WEND98] stated that 'O'Brien's view'"));
    }

    void quotationWithoutAuthors()
    {
        test::Shell shell;
        const qint64 p = addPaper("Alone", {{"Year", "2010"}});
        add("Paper Statements List", {{"Paper ID", QString::number(p)}, {"Statement", "quiet"}});
        windows::openPaperFromSearch(static_cast<qint32>(p));
        clickLine(win().lstStatements, 0);
        QCOMPARE(st::clipboard(), QStringLiteral("[10] stated that 'quiet'"));
        QVERIFY(st::messages().empty());
    }

    void reference_data()
    {
        QTest::addColumn<QString>("publication");
        QTest::addColumn<bool>("withAuthors");
        QTest::addColumn<QString>("expected");
        QTest::newRow("worked example")
            << "Journal of Small Things" << true
            << "Wendrake I., Venmoor K., Signals in Clay, Journal of Small Things, 2003";
        QTest::newRow("no publication name")
            << "" << true << "Wendrake I., Venmoor K., Signals in Clay, , 2003";
        QTest::newRow("no authors") << "Journal of Small Things" << false
                                    << "Signals in Clay, Journal of Small Things, 2003";
    }
    void reference()
    {
        QFETCH(QString, publication);
        QFETCH(bool, withAuthors);
        QFETCH(QString, expected);
        test::Shell shell;
        QVariantMap details{{"Year", "2003"}};
        if (!publication.isEmpty())
            details.insert("Publication Name", publication);
        const qint64 p = addPaper("Signals in Clay", details);
        if (withAuthors) {
            linkAuthor(p, addAuthor("Wendrake", "Ilse"));
            linkAuthor(p, 4242); // gone: adds nothing
            linkAuthor(p, addAuthor("Venmoor", "Kade"));
        }
        windows::openPaperFromSearch(static_cast<qint32>(p));
        click(win().cmdCopyReference);
        QCOMPARE(st::clipboard(), expected);
        QVERIFY(st::messages().empty());
    }

    void duplicateLinkRefusedByTheDatabase()
    {
        test::Shell shell;
        if (test::sqliteShell(shell.file(), QStringLiteral("SELECT 1;")).isEmpty())
            QSKIP("the sqlite3 shell is not installed");
        const qint64 p = addPaper("Paper");
        const qint64 a = addAuthor("Alder", "A");
        test::sqliteShell(shell.file(), QStringLiteral("CREATE UNIQUE INDEX one_link ON \"Paper "
                                                       "Authors List\" (\"Paper ID\", \"Author "
                                                       "ID\");"));
        windows::openPaperFromSearch(static_cast<qint32>(p));
        frmViewPaper& w = win();
        choose(w.cmbAuthor, QStringLiteral("%1 : Alder, A").arg(a));
        click(w.cmdAddAuthor);
        click(w.cmdAddAuthor);
        QCOMPARE(prompts(),
                 QStringList{QStringLiteral("This is a duplicate entry and will be ignored")});
        QCOMPARE(st::messages()[0].buttons, services::vbOKOnly);
        QCOMPARE(lines(w.lstAuthors), QStringList{QStringLiteral("%1 : Alder, A").arg(a)});
        QCOMPARE(test::countRows(shell.db(), "Paper Authors List"), 1);
    }

    void sameAuthorTwiceWithoutUniqueIndex()
    {
        test::Shell shell;
        const qint64 p = addPaper("Paper");
        const qint64 a = addAuthor("Alder", "A");
        windows::openPaperFromSearch(static_cast<qint32>(p));
        frmViewPaper& w = win();
        choose(w.cmbAuthor, QStringLiteral("%1 : Alder, A").arg(a));
        click(w.cmdAddAuthor);
        click(w.cmdAddAuthor);
        QCOMPARE(lines(w.lstAuthors).size(), 2);
        // Typed text that names no row links nothing.
        w.cmbAuthor->setEditText(QStringLiteral("Alder"));
        click(w.cmdAddAuthor);
        QCOMPARE(test::countRows(shell.db(), "Paper Authors List"), 2);
        windows::openPaperFromSearch(static_cast<qint32>(p));
        QCOMPARE(lines(w.lstAuthors).size(), 2);
    }
};

QTEST_MAIN(TstViewPaper)
#include "tst_viewpaper.moc"
