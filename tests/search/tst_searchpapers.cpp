// The search window as the user drives it: a mode, a criterion typed or picked, "Search", a click
// on a result and back. The word report, which finds text with the same queries: its headings
// and three lists, the word box with its Enter key, a paper opened by a double-click. Text found
// as the user sees it, in both.
#include "app/textboxes.h"
#include "paper/frmviewpaper.h"
#include "reports/frmreport.h"
#include "search/frmsearchpapers.h"
#include "testsupport.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMdiSubWindow>
#include <QRadioButton>
#include <QScopeGuard>
#include <QTabWidget>

using namespace quirelle;
using namespace quirelle::test;

namespace {

enum Mode { Title, Author, Model, Rating, Quotation, Keyword };

const QString noEntries = QStringLiteral("No entried found...");
const QString noMatches = QStringLiteral("No matches found");

const QStringList titles{"Learning to Learn", "Deep Learning in Practice",
                         "O'Brien's Law of Meetings", "Models of Trust", "Unrelated"};

// Five papers with their authors, models, quotations and keywords. Link rows ({row, paper}) are
// added in the order the expected lines follow.
void seed(db::Database& d)
{
    db::Transaction t(d); // one write to the disk, not one per row
    const auto link = [&d](const char* table, const char* idField,
                           std::initializer_list<std::pair<int, int>> links) {
        for (auto [id, paper] : links)
            addRow(d, table,
                   {{idField, QString::number(id)}, {"Paper ID", QString::number(paper)}});
    };
    for (int i = 0; i < titles.size(); ++i)
        addRow(d, "Papers", {{"Title", titles[i]}, {"Rating", QStringLiteral("ABCBD").mid(i, 1)}});
    const char* authors[][2] = {{"Johnson", "Ann"},   {"Robson", "Bob"},  {"Atkinson", "Cy"},
                                {"van Dyke", "Dora"}, {"O'Brien", "Eve"}, {"Zed", "Nobody"}};
    for (const auto& a : authors)
        addRow(d, "Authors", {{"Surname", a[0]}, {"Forenames", a[1]}});
    link("Paper Authors List", "Author ID", {{1, 1}, {1, 2}, {3, 3}, {3, 1}, {4, 4}, {5, 3}});
    for (const char* m : {"Trust Ladder", "Trust Cycle", "Cost Model"})
        addRow(d, "Models", {{"Model", m}});
    link("Paper Models List", "Model ID", {{1, 4}, {1, 2}, {3, 5}});
    for (auto [paper, text] : {std::pair{2, "A model of everything"},
                               {1, "Nothing to see"},
                               {2, "Another model here"},
                               {5, "It's a model"}})
        addRow(d, "Paper Statements List",
               {{"Paper ID", QString::number(paper)}, {"Statement", text}});
    for (const char* k : {"Neural networks", "Computer vision", "Machine learning",
                          "Orphan keyword", "What's new", "Time: a concept"})
        addRow(d, "Keywords", {{"Keyword", k}});
    link("Paper Keywords List", "Keywords ID", {{1, 1}, {1, 3}, {2, 4}, {3, 2}, {5, 5}, {6, 5}});
    t.commit();
}

QStringList lines(std::initializer_list<int> papers)
{
    QStringList out;
    for (int p : papers)
        out << QString::number(p) + QStringLiteral(" : ") + titles.at(p - 1);
    return out;
}

} // namespace

class TstSearchPapers : public QObject
{
    Q_OBJECT

    std::unique_ptr<Shell> m_shell;
    std::unique_ptr<ServerTestDatabase> m_server; // the shared project the searches read

    static frmSearchPapers& window() { return frmSearchPapers::instance(); }
    static QComboBox* criterion() { return control<QComboBox>(window(), "cmbSearchCriteria"); }
    static QListWidget* resultList() { return control<QListWidget>(window(), "lstOptions"); }
    static QStringList results() { return lines(resultList()); }
    static QRadioButton* option(int mode)
    {
        return control<QRadioButton>(window(), controlName("optSearch", mode));
    }
    static void chooseMode(int mode)
    {
        // On the round button itself: the caption is shorter than the control.
        QTest::mouseClick(option(mode), Qt::LeftButton, {}, QPoint(6, option(mode)->height() / 2));
        settle();
    }
    // Picks the criteria list's item that begins with `prefix`, as a click in the list does.
    static void pick(const QString& prefix)
    {
        criterion()->setCurrentIndex(criterion()->findText(prefix, Qt::MatchStartsWith));
    }
    static void find() { click(control(window(), "cmdFind")); }
    // "Search" with `typed` in the criterion box.
    static void find(const QString& typed)
    {
        replaceText(criterion(), typed);
        find();
    }
    // The word report, from the options panel once the search is left.
    static frmReport& report()
    {
        if (window().isShown()) {
            click(control(window(), "cmdCancel"));
            panelButton(8);
        }
        return frmReport::instance();
    }
    static QListWidget* list(const char* name) { return control<QListWidget>(report(), name); }
    static QComboBox* wordBox() { return control<QComboBox>(report(), "cmbKeyword"); }
    static QString heading(int i)
    {
        return control<QLabel>(report(), controlName("lblDetails", i))->text();
    }
    static void runWord(const QString& word)
    {
        replaceText(wordBox(), word);
        click(control(report(), "cmdGo"));
    }

private slots:
    void init()
    {
        m_shell = std::make_unique<Shell>();
        seed(m_shell->db());
        panelButton(4); // Search
    }
    void cleanup() { m_shell.reset(); }
    void cleanupTestCase() { m_server.reset(); }

    void eachModeFillsItsCriteriaList()
    {
        QVERIFY(window().isShown() && !frmMenu::instance().isEnabled());
        for (int mode = Title; mode <= Keyword; ++mode)
            QVERIFY(!option(mode)->isChecked());
        // No mode: "Search" only says that nothing is listed, whatever was typed.
        find("learn");
        QCOMPARE(results(), QStringList{noEntries});
        chooseMode(Title);
        QCOMPARE(lines(criterion()), lines({1, 2, 3, 4, 5}));
        chooseMode(Author);
        QCOMPARE(lines(criterion()),
                 QStringList({"3 : Atkinson, Cy", "1 : Johnson, Ann", "5 : O'Brien, Eve",
                              "2 : Robson, Bob", "4 : van Dyke, Dora", "6 : Zed, Nobody"}));
        chooseMode(Model);
        QCOMPARE(lines(criterion()),
                 QStringList({"3 : Cost Model", "2 : Trust Cycle", "1 : Trust Ladder"}));
        chooseMode(Keyword);
        QCOMPARE(lines(criterion()),
                 QStringList({"2 : Computer vision", "3 : Machine learning", "1 : Neural networks",
                              "4 : Orphan keyword", "6 : Time: a concept", "5 : What's new"}));
        // A mode chosen again is filled afresh, never twice over; the criterion starts empty.
        chooseMode(Keyword);
        QCOMPARE(lines(criterion()).size(), 6);
        QCOMPARE(criterion()->currentText(), QString());
        // Quotation offers nothing, and choosing it empties the result list too.
        chooseMode(Title);
        find("learn");
        chooseMode(Quotation);
        QCOMPARE(lines(criterion()), QStringList());
        QCOMPARE(results(), QStringList());
    }

    // Wildcards, apostrophes and letter case in the text rules are tested with the engine; here
    // each mode's branches: typed or picked, matches without papers, the keyword terms, with
    // the same lines from a project file and a shared project.
    void typedAndPickedSearches_data()
    {
        QTest::addColumn<Engine>("engine");
        QTest::addColumn<int>("mode");
        QTest::addColumn<QString>("text"); // "<n> : " picks the item of row n
        QTest::addColumn<QStringList>("expected");
        QTest::addColumn<QString>("message");
        const QStringList none;
        const QStringList empty{noEntries};
        const auto row = [](const char* name, Mode mode, const QString& text,
                            const QStringList& expected, const QString& message = {}) {
            for (Engine engine : {Engine::File, Engine::Server})
                addEngineRow(engine, name) << int(mode) << text << expected << message;
        };
        row("title, any letter case", Title, "learn", lines({1, 2}));
        row("title with an apostrophe", Title, "O'Brien's", lines({3}));
        row("title, the user's wildcard", Title, "l?arn", lines({1, 2}));
        row("author, in link order", Author, "3 : ", lines({3, 1}));
        row("author without papers", Author, "2 : ", none, noMatches);
        // Robson, between Johnson and Atkinson, has no papers: passed over. Paper 1 has two
        // matching authors and is listed for each.
        row("author, a match without papers between", Author, "son", lines({1, 2, 3, 1}));
        row("author, no match has papers", Author, "R?bson", none, noMatches);
        row("author not found", Author, "xyz", empty);
        // Models share the authors' steps, with queries of their own.
        row("model", Model, "3 : ", lines({5}));
        row("model, a match without papers after", Model, "trust", lines({4, 2}));
        row("rating in lower case", Rating, "b", lines({2, 4}));
        row("rating, a wildcard refused", Rating, "?", empty);
        row("quotation twice in one paper", Quotation, "model", lines({2, 2, 5}));
        row("quotation looking like a list line", Quotation, "5 : x", empty);
        // " vision" matches "Computer vision" too, but only the first keyword found is followed.
        row("keyword, two terms, the first keyword", Keyword, "neural, vision", lines({1, 3}));
        row("keyword, blank kept in the last term", Keyword, "zzz, vision", lines({4}));
        row("keyword, no blank before the last term", Keyword, "zzz, neural", none);
        row("keyword, three terms", Keyword, "zzz,yyy,learning", lines({2}));
        row("keyword, empty first term matches all", Keyword, ",zzz", lines({1, 3}));
        row("keyword, no papers", Keyword, "orphan", empty);
        row("keyword with a colon", Keyword, "time: a", lines({5}));
        row("keyword picked", Keyword, "1 : ", lines({1, 3}));
        row("keyword without papers", Keyword, "4 : ", none, noMatches);
    }
    void typedAndPickedSearches()
    {
        QUIRELLE_FETCH_ENGINE(engine);
        if (engine == Engine::Server) {
            // One shared project for every row: the searches only read.
            if (!m_server) {
                m_server = std::make_unique<ServerTestDatabase>();
                db::createServerProject(m_server->address());
                seed(*db::Database::OpenDatabase(m_server->address()));
            }
            QVERIFY(frmMenu::instance().connectTo(m_server->address()));
            panelButton(4);
        }
        const auto back = qScopeGuard([&] {
            if (engine == Engine::Server)
                frmMenu::instance().connectTo(m_shell->file());
        });
        QFETCH(int, mode);
        QFETCH(QString, text);
        QFETCH(QStringList, expected);
        QFETCH(QString, message);
        chooseMode(mode);
        resultList()->addItem(QStringLiteral("left over")); // replaced
        if (text.endsWith(QStringLiteral(" : ")))
            pick(text);
        else
            replaceText(criterion(), text);
        find();
        QCOMPARE(results(), expected);
        QCOMPARE(prompts(), message.isEmpty() ? QStringList() : QStringList{message});
        QVERIFY(window().isShown());
    }

    void enterSearchesAndAnEmptyCriterionKeepsTheList()
    {
        chooseMode(Title);
        criterion()->clearEditText();
        typeKeys(criterion(), "practice\n");
        QCOMPARE(results(), lines({2}));
        QCOMPARE(lines(criterion()).size(), 5); // nothing typed is added to the list
        find("");
        QCOMPARE(results(), lines({2}));
        // "No entried found..." names no paper: a click on it opens nothing.
        find("zzz");
        clickLine(resultList(), 0);
        QVERIFY(window().isShown());
        QVERIFY(!frmViewPaper::isLoaded());
    }

    void backKeepsModeAndCriterion()
    {
        chooseMode(Author);
        find("son");
        // The search left no transaction open: another connection sees a row added since.
        addRow(m_shell->db(), "Papers", {{"Title", "Later"}});
        QCOMPARE(countRows(*db::Database::OpenDatabase(m_shell->file()), "Papers"), 6);
        click(control(window(), "cmdCancel"));
        QVERIFY(!window().isShown() && frmMenu::instance().isEnabled());
        QCOMPARE(results(), QStringList());
        fromMenu("mnuSearch");
        QVERIFY(option(Author)->isChecked());
        QCOMPARE(criterion()->currentText(), "son");
        find();
        QCOMPARE(results(), lines({1, 2, 3, 1}));
        // Closing the frame leaves as "Back" does.
        window().subWindow()->close();
        settle();
        QVERIFY(!window().isShown() && frmMenu::instance().isEnabled());
    }

    void toThePaperAndBack()
    {
        chooseMode(Title);
        // A picked title opens its paper at once; back, the list says that nothing is listed.
        pick(QStringLiteral("4 : "));
        find();
        frmViewPaper& paper = frmViewPaper::instance();
        QVERIFY(paper.isShown() && !window().isShown());
        QCOMPARE(boxText(control(paper, "txtDetails(6)")), "4");
        click(control(paper, "cmdBack"));
        QVERIFY(window().isShown());
        QCOMPARE(results(), QStringList{noEntries});
        // A result clicked opens its paper at the quotations; back, the search as it was left.
        find("LEARN");
        clickLine(resultList(), 1);
        QVERIFY(paper.isShown() && !window().isShown());
        QCOMPARE(paper.currentPaperID(), 2);
        QCOMPARE(control<QTabWidget>(paper, "SSTab1")->currentIndex(), 4);
        click(control(paper, "cmdBack"));
        QVERIFY(window().isShown() && option(Title)->isChecked());
        QCOMPARE(criterion()->currentText(), "LEARN");
        QCOMPARE(results(), lines({1, 2}));
        // Deleting the paper sends the user to a search that starts afresh.
        clickLine(resultList(), 1);
        st::setNextAnswer(services::Answer::Yes);
        click(control(paper, "cmdDeletePaper"));
        QVERIFY(!paper.isShown() && window().isShown());
        QCOMPARE(results(), QStringList());
        QCOMPARE(criterion()->currentText(), QString());
        QVERIFY(!option(Title)->isChecked());
        QVERIFY(caption().endsWith(QStringLiteral(" - Papers added: 4")));
    }

    void wordReportListsTitlesQuotationsAndTheFirstKeyword()
    {
        runWord("IN");
        QCOMPARE(heading(1), "Paper titles containing the word IN");
        QCOMPARE(heading(0), "Quotations containing the word IN");
        QCOMPARE(heading(2), "Keyword fields containing the word IN");
        QCOMPARE(lines(list("lstByPaperTitle")), lines({1, 2, 3}));
        QCOMPARE(lines(list("lstByQuotation")),
                 QStringList({lines({2})[0], " ---> A model of everything", lines({1})[0],
                              " ---> Nothing to see"}));
        QCOMPARE(lines(list("lstByKeyword")), lines({2}));
        // An empty word changes nothing.
        runWord(QString());
        QCOMPARE(heading(1), "Paper titles containing the word IN");
        QCOMPARE(list("lstByPaperTitle")->count(), 3);
        // A paper with two quotations appears twice.
        runWord("model");
        QCOMPARE(lines(list("lstByQuotation")),
                 QStringList({lines({2})[0], " ---> A model of everything", lines({2})[0],
                              " ---> Another model here", lines({5})[0], " ---> It's a model"}));
        // A word found nowhere empties every list.
        runWord("zebra");
        QCOMPARE(list("lstByPaperTitle")->count() + list("lstByQuotation")->count() +
                     list("lstByKeyword")->count(),
                 0);
        QVERIFY(st::messages().empty());
        // Opened again, the word box offers each keyword once, and Enter runs the report with the
        // word as typed, not completed into a keyword.
        click(control(report(), "cmdCancel"));
        panelButton(8);
        QCOMPARE(wordBox()->count(), 6);
        typeKeys(wordBox(), "ne\n");
        QCOMPARE(heading(1), "Paper titles containing the word ne");
        QCOMPARE(lines(list("lstByKeyword")), lines({1, 3}));
    }

    void wordReportDoubleClickOpensThePaperOfTheLine()
    {
        // Stray double-clicks do nothing: on an empty list, on a line without a number.
        QTest::mouseDClick(list("lstByKeyword")->viewport(), Qt::LeftButton, {}, QPoint(5, 5));
        list("lstByPaperTitle")->addItem("no number : here");
        doubleClickLine(list("lstByPaperTitle"), 0);
        QVERIFY(report().isShown() && !frmViewPaper::isLoaded());
        runWord("model");
        const QStringList before = lines(list("lstByQuotation"));
        // A quotation line opens the paper of the line above it.
        doubleClickLine(list("lstByQuotation"), 5);
        frmViewPaper& paper = frmViewPaper::instance();
        QVERIFY(!report().isShown());
        QCOMPARE(list("lstByQuotation")->currentRow(), 4);
        QCOMPARE(paper.currentPaperID(), 5);
        QCOMPARE(paper.previousPaperID(), -100);
        QVERIFY(!control(paper, "cmdBackToPrevious")->isEnabled());
        // Back returns to the report as it was left; the options panel stays disabled until
        // the report's own Back.
        click(control(paper, "cmdBack"));
        QVERIFY(report().isShown());
        QCOMPARE(wordBox()->currentText(), "model");
        QCOMPARE(heading(1), "Paper titles containing the word model");
        QCOMPARE(lines(list("lstByQuotation")), before);
        QVERIFY(!frmMenu::instance().isEnabled());
        QCOMPARE(paper.previousPaperID(), 0); // the report's mark is used up
        doubleClickLine(list("lstByPaperTitle"), 0);
        QVERIFY(!report().isShown());
        QCOMPARE(paper.currentPaperID(), 4);
        QCOMPARE(paper.previousPaperID(), -100);
        click(control(paper, "cmdBack"));
        click(control(report(), "cmdCancel"));
        QVERIFY(frmMenu::instance().isEnabled());
        QCOMPARE(frmMenu::instance().palette().color(QPalette::Window), QColor(128, 255, 255));
        QVERIFY(st::messages().empty());
    }

    // A title stored with a decomposed accent is found whichever form is typed; a NUL (pasted)
    // is a character like any other. The same in the search and in the word report.
    void textFoundAsTheUserSeesIt_data()
    {
        QTest::addColumn<QString>("entered");
        QTest::addColumn<bool>("pasted");
        QTest::addColumn<int>("paper");
        QTest::newRow("composed accent") << QStringLiteral("caf\u00e9 s") << false << 6;
        QTest::newRow("decomposed accent") << QStringLiteral("cafe\u0301 s") << false << 6;
        QTest::newRow("NUL") << QString::fromUtf8("l\0h", 3) << true << 7;
        QTest::newRow("NUL alone") << QString(QChar(0)) << true << 7;
    }
    void textFoundAsTheUserSeesIt()
    {
        QFETCH(QString, entered);
        QFETCH(bool, pasted);
        QFETCH(int, paper);
        addPaper(QStringLiteral("Cafe\u0301 society"));
        addPaper(QString::fromUtf8("nul\0here", 8));
        const QStringList expected = rowsOf(
            QStringLiteral("select * from [Papers] where [Paper ID] = %1;").arg(paper), {"Title"});
        const QString found = QString::number(paper) + QStringLiteral(" : ") + expected.value(0);
        const auto enter = [&](QComboBox* box) {
            box->clearEditText();
            if (pasted) {
                QGuiApplication::clipboard()->setText(entered);
                focusTo(box);
                pressKey(Qt::Key_V, Qt::ControlModifier);
            } else {
                typeKeys(box, entered);
            }
            QCOMPARE(box->currentText(), entered);
        };
        chooseMode(Title);
        enter(criterion());
        find();
        QCOMPARE(results(), QStringList{found});
        enter(wordBox());
        click(control(report(), "cmdGo"));
        QCOMPARE(lines(list("lstByPaperTitle")), QStringList{found});
        QCOMPARE(prompts(), QStringList());
    }
};

QTEST_MAIN(TstSearchPapers)
#include "tst_searchpapers.moc"
