// The search window as the user drives it: a mode, a criterion typed or picked, "Search", a click
// on a result; text found as the user sees it, here and in the word report.
#include "app/textboxes.h"
#include "paper/frmviewpaper.h"
#include "reports/frmreport.h"
#include "search/frmsearchpapers.h"
#include "testsupport.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMdiSubWindow>
#include <QRadioButton>
#include <QTabWidget>

using namespace quirelle;
using namespace quirelle::test;

namespace {

enum Mode { Title, Author, Model, Rating, Quotation, Keyword };

const QString noEntries = QStringLiteral("No entried found...");
const QString noMatches = QStringLiteral("No matches found");

void link(db::Database& d, const char* table, const char* idField, int id, int paper)
{
    addRow(d, table, {{idField, QString::number(id)}, {"Paper ID", QString::number(paper)}});
}

const QStringList titles{"Learning to Learn", "Deep Learning in Practice",
                         "O'Brien's Law of Meetings", "Models of Trust", "Unrelated"};

// Five papers with their authors, models, quotations and keywords. Link rows are added in the
// order the expected lines follow.
void seed(db::Database& d)
{
    db::Transaction t(d); // one write to the disk, not one per row
    for (int i = 0; i < titles.size(); ++i)
        addRow(d, "Papers", {{"Title", titles[i]}, {"Rating", QStringLiteral("ABCBD").mid(i, 1)}});
    const char* authors[][2] = {{"Johnson", "Ann"},   {"Robson", "Bob"},  {"Atkinson", "Cy"},
                                {"van Dyke", "Dora"}, {"O'Brien", "Eve"}, {"Zed", "Nobody"}};
    for (const auto& a : authors)
        addRow(d, "Authors", {{"Surname", a[0]}, {"Forenames", a[1]}});
    for (auto [author, paper] : {std::pair{1, 1}, {1, 2}, {3, 3}, {3, 1}, {4, 4}, {5, 3}})
        link(d, "Paper Authors List", "Author ID", author, paper);
    for (const char* m : {"Trust Ladder", "Trust Cycle", "Cost Model"})
        addRow(d, "Models", {{"Model", m}});
    for (auto [model, paper] : {std::pair{1, 4}, {1, 2}, {3, 5}})
        link(d, "Paper Models List", "Model ID", model, paper);
    for (auto [paper, text] : {std::pair{2, "A model of everything"},
                               {1, "Nothing to see"},
                               {2, "Another model here"},
                               {5, "It's a model"}})
        addRow(d, "Paper Statements List",
               {{"Paper ID", QString::number(paper)}, {"Statement", text}});
    for (const char* k : {"Neural networks", "Computer vision", "Machine learning",
                          "Orphan keyword", "What's new", "Time: a concept"})
        addRow(d, "Keywords", {{"Keyword", k}});
    for (auto [keyword, paper] : {std::pair{1, 1}, {1, 3}, {2, 4}, {3, 2}, {5, 5}, {6, 5}})
        link(d, "Paper Keywords List", "Keywords ID", keyword, paper);
    t.commit();
}

QStringList lines(std::initializer_list<int> papers)
{
    QStringList out;
    for (int p : papers)
        out << QString::number(p) + QStringLiteral(" : ") + titles.at(p - 1);
    return out;
}

// Rows of typedAndPickedSearches: the criterion typed, or the criteria item it begins picked.
void typed(const char* name, Mode mode, const QString& text, const QStringList& expected,
           const QString& message = {})
{
    QTest::newRow(name) << int(mode) << text << false << expected << message;
}
void picked(const char* name, Mode mode, const QString& item, const QStringList& expected,
            const QString& message = {})
{
    QTest::newRow(name) << int(mode) << item << true << expected << message;
}

} // namespace

class TstSearchPapers : public QObject
{
    Q_OBJECT

    std::unique_ptr<Shell> m_shell;

    frmSearchPapers& window() { return frmSearchPapers::instance(); }
    template<class T = QWidget>
    T* ctl(const QString& name)
    {
        return control<T>(window(), name);
    }
    QComboBox* criterion() { return ctl<QComboBox>(QStringLiteral("cmbSearchCriteria")); }
    QRadioButton* option(int mode) { return ctl<QRadioButton>(controlName("optSearch", mode)); }

    // The options panel's "Search".
    frmSearchPapers& openFromPanel()
    {
        panelButton(4);
        return window();
    }

    void chooseMode(int mode)
    {
        // On the round button itself: the caption is shorter than the control.
        QTest::mouseClick(option(mode), Qt::LeftButton, {}, QPoint(6, option(mode)->height() / 2));
        settle();
    }

    void type(const QString& text) { replaceText(criterion(), text); }

    // Picks the criteria list's item that begins with `prefix`, as a click in the list does.
    void pick(const QString& prefix)
    {
        const QStringList items = lines(criterion());
        for (int i = 0; i < items.size(); ++i) {
            if (items[i].startsWith(prefix))
                return criterion()->setCurrentIndex(i);
        }
        QFAIL(qPrintable("no item " + prefix));
    }

    void find() { click(ctl(QStringLiteral("cmdFind"))); }

    QStringList results() { return lines(ctl<QListWidget>(QStringLiteral("lstOptions"))); }
    QStringList criteriaItems() { return lines(criterion()); }

private slots:
    void init()
    {
        m_shell = std::make_unique<Shell>();
        seed(m_shell->db());
    }
    void cleanup() { m_shell.reset(); }

    void eachModeFillsItsCriteriaList()
    {
        frmSearchPapers& w = openFromPanel();
        QVERIFY(w.isShown());
        QVERIFY(!frmMenu::instance().isEnabled());
        for (int mode = Title; mode <= Keyword; ++mode)
            QVERIFY(!option(mode)->isChecked());
        // No mode: "Search" only says that nothing is listed, whatever was typed.
        type("learn");
        find();
        QCOMPARE(results(), QStringList{noEntries});
        chooseMode(Title);
        QCOMPARE(criteriaItems(), lines({1, 2, 3, 4, 5}));
        chooseMode(Author);
        QCOMPARE(criteriaItems(),
                 QStringList({"3 : Atkinson, Cy", "1 : Johnson, Ann", "5 : O'Brien, Eve",
                              "2 : Robson, Bob", "4 : van Dyke, Dora", "6 : Zed, Nobody"}));
        chooseMode(Model);
        QCOMPARE(criteriaItems(),
                 QStringList({"3 : Cost Model", "2 : Trust Cycle", "1 : Trust Ladder"}));
        chooseMode(Rating);
        QCOMPARE(criteriaItems(), QStringList({"A", "B", "C", "D"}));
        chooseMode(Keyword);
        QCOMPARE(criteriaItems(),
                 QStringList({"2 : Computer vision", "3 : Machine learning", "1 : Neural networks",
                              "4 : Orphan keyword", "6 : Time: a concept", "5 : What's new"}));
        // A mode chosen again is filled afresh, never twice over; the criterion starts empty.
        chooseMode(Keyword);
        QCOMPARE(criteriaItems().size(), 6);
        QCOMPARE(criterion()->currentText(), QString());
        // Quotation offers nothing, and choosing it empties the result list too.
        chooseMode(Title);
        type("learn");
        find();
        chooseMode(Quotation);
        QCOMPARE(criteriaItems(), QStringList());
        QCOMPARE(results(), QStringList());
    }

    void typedAndPickedSearches_data()
    {
        QTest::addColumn<int>("mode");
        QTest::addColumn<QString>("criterion");
        QTest::addColumn<bool>("picked");
        QTest::addColumn<QStringList>("expected");
        QTest::addColumn<QString>("message");
        const QStringList none;
        const QStringList empty{noEntries};
        typed("title, any letter case", Title, "learn", lines({1, 2}));
        typed("title with an apostrophe", Title, "O'Brien's", lines({3}));
        typed("title, one-character wildcard", Title, "l?arn", lines({1, 2}));
        typed("title, any-run wildcard", Title, "of*tru", lines({4}));
        typed("title not found", Title, "zzz", empty);
        picked("author, in link order", Author, "3 : ", lines({3, 1}));
        picked("author without papers", Author, "2 : ", none, noMatches);
        // Robson, between Johnson and Atkinson, has no papers: passed over. Paper 1 has two
        // matching authors and is listed for each.
        typed("author, a match without papers between", Author, "son", lines({1, 2, 3, 1}));
        typed("author, no match has papers", Author, "R?bson", none, noMatches);
        typed("author not found", Author, "xyz", empty);
        picked("model", Model, "3 : ", lines({5}));
        picked("model without papers", Model, "2 : ", none, noMatches);
        typed("model, a match without papers after", Model, "trust", lines({4, 2}));
        typed("model, no match has papers", Model, "cycle", none, noMatches);
        picked("rating", Rating, "B", lines({2, 4}));
        typed("rating in lower case", Rating, "b", lines({2, 4}));
        typed("rating E refused", Rating, "E", empty);
        typed("rating with a blank refused", Rating, "b ", empty);
        typed("quotation twice in one paper", Quotation, "model", lines({2, 2, 5}));
        typed("quotation looking like a list line", Quotation, "5 : x", empty);
        typed("keyword", Keyword, "vision", lines({4}));
        // " vision" matches "Computer vision" too, but only the first keyword found is followed.
        typed("keyword, two terms, the first keyword", Keyword, "neural, vision", lines({1, 3}));
        typed("keyword, blank kept in the last term", Keyword, "zzz, vision", lines({4}));
        typed("keyword, no blank before the last term", Keyword, "zzz, neural", none);
        typed("keyword, three terms", Keyword, "zzz,yyy,learning", lines({2}));
        typed("keyword, empty first term matches all", Keyword, ",zzz", lines({1, 3}));
        typed("keyword, no keyword", Keyword, "zzz", none);
        typed("keyword, no papers", Keyword, "orphan", empty);
        typed("keyword with a colon", Keyword, "time: a", lines({5}));
        picked("keyword", Keyword, "1 : ", lines({1, 3}));
        picked("keyword without papers", Keyword, "4 : ", none, noMatches);
    }
    void typedAndPickedSearches()
    {
        QFETCH(int, mode);
        QFETCH(QString, criterion);
        QFETCH(bool, picked);
        QFETCH(QStringList, expected);
        QFETCH(QString, message);
        openFromPanel();
        chooseMode(mode);
        ctl<QListWidget>("lstOptions")->addItem(QStringLiteral("left over")); // replaced
        if (picked)
            pick(criterion);
        else
            type(criterion);
        find();
        QCOMPARE(results(), expected);
        QCOMPARE(prompts(), message.isEmpty() ? QStringList() : QStringList{message});
        for (const auto& m : services::testing::messages())
            QCOMPARE(m.buttons, services::Buttons::OK);
        QVERIFY(window().isShown());
    }

    void enterSearchesAndAnEmptyCriterionKeepsTheList()
    {
        openFromPanel();
        chooseMode(Title);
        criterion()->clearEditText();
        typeKeys(criterion(), "practice\n");
        QCOMPARE(results(), lines({2}));
        QCOMPARE(criteriaItems().size(), 5); // nothing typed is added to the list
        type("");
        find();
        QCOMPARE(results(), lines({2}));
        // "No entried found..." names no paper: a click on it opens nothing.
        type("zzz");
        find();
        clickLine(ctl<QListWidget>("lstOptions"), 0);
        QVERIFY(window().isShown());
        QVERIFY(!frmViewPaper::isLoaded());
    }

    void backKeepsModeAndCriterion()
    {
        frmSearchPapers& w = openFromPanel();
        chooseMode(Author);
        type("son");
        find();
        // The search left no transaction open: another connection sees a row added since.
        addRow(m_shell->db(), "Papers", {{"Title", "Later"}});
        QCOMPARE(countRows(*db::Database::OpenDatabase(m_shell->file()), "Papers"), 6);
        click(ctl("cmdCancel"));
        QVERIFY(!w.isShown());
        QVERIFY(frmMenu::instance().isEnabled());
        QCOMPARE(results(), QStringList());
        QCOMPARE(&openFromPanel(), &w);
        QVERIFY(option(Author)->isChecked());
        QCOMPARE(criterion()->currentText(), "son");
        find();
        QCOMPARE(results(), lines({1, 2, 3, 1}));
        // Closing the frame leaves as "Back" does.
        w.subWindow()->close();
        settle();
        QVERIFY(!w.isShown());
        QVERIFY(frmMenu::instance().isEnabled());
    }

    void pickedTitleOpensThePaperAtOnce()
    {
        frmSearchPapers& w = openFromPanel();
        chooseMode(Title);
        pick(QStringLiteral("4 : "));
        find();
        QVERIFY(!w.isShown());
        frmViewPaper& paper = frmViewPaper::instance();
        QVERIFY(paper.isShown());
        QCOMPARE(paper.currentPaperID(), 4);
        QCOMPARE(boxText(control(paper, "txtDetails(6)")), "4");
        // Coming back, the list says that nothing is listed.
        click(control(paper, "cmdBack"));
        QVERIFY(w.isShown());
        QCOMPARE(results(), QStringList{noEntries});
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
        addRow("Papers", {{"Title", QStringLiteral("Cafe\u0301 society")}});
        addRow("Papers", {{"Title", QString::fromUtf8("nul\0here", 8)}});
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
        openFromPanel();
        chooseMode(Title);
        enter(criterion());
        find();
        QCOMPARE(results(), QStringList{found});
        click(ctl("cmdCancel"));
        panelButton(8);
        frmReport& report = frmReport::instance();
        enter(control<QComboBox>(report, "cmbKeyword"));
        click(control(report, "cmdGo"));
        QCOMPARE(lines(control<QListWidget>(report, "lstByPaperTitle")), QStringList{found});
        QCOMPARE(prompts(), QStringList());
    }
};

QTEST_MAIN(TstSearchPapers)
#include "tst_searchpapers.moc"
