// The search window driven as the user drives it: the options panel's "Search", a mode, a
// criterion typed or picked, "Search", a click on a result; then the lines, the messages and
// the paper window that opened.
#include "app/frmmain.h"
#include "app/frmmenu.h"
#include "app/services.h"
#include "db/globals.h"
#include "db/schema.h"
#include "paper/frmviewpaper.h"
#include "search/frmsearchpapers.h"
#include "testsupport.h"

#include <QAction>
#include <QComboBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QListWidget>
#include <QMdiSubWindow>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTest>

using namespace quirelle;

namespace {

enum Mode { Title, Author, Model, Rating, Quotation, Keyword };

const QString noEntries = QStringLiteral("No entried found...");
const QString noMatches = QStringLiteral("No matches found");

void link(db::Database& d, const char* table, const char* idField, int id, int paper)
{
    test::addRow(d, QString::fromLatin1(table),
                 {{QString::fromLatin1(idField), QString::number(id)},
                  {QStringLiteral("Paper ID"), QString::number(paper)}});
}

// Five papers with their authors, models, quotations and keywords. Link rows are added in the
// order the expected lines follow.
void seed(db::Database& d)
{
    db::Transaction t(d); // one write to the disk, not one per row
    const char* papers[][2] = {{"Learning to Learn", "A"},
                               {"Deep Learning in Practice", "B"},
                               {"O'Brien's Law of Meetings", "C"},
                               {"Models of Trust", "B"},
                               {"Unrelated", "D"}};
    for (const auto& p : papers) {
        test::addRow(d, QStringLiteral("Papers"),
                     {{QStringLiteral("Title"), QString::fromUtf8(p[0])},
                      {QStringLiteral("Rating"), QString::fromLatin1(p[1])}});
    }
    const char* authors[][2] = {{"Johnson", "Ann"},   {"Robson", "Bob"},  {"Atkinson", "Cy"},
                                {"van Dyke", "Dora"}, {"O'Brien", "Eve"}, {"Zed", "Nobody"}};
    for (const auto& a : authors) {
        test::addRow(d, QStringLiteral("Authors"),
                     {{QStringLiteral("Surname"), QString::fromUtf8(a[0])},
                      {QStringLiteral("Forenames"), QString::fromUtf8(a[1])}});
    }
    for (auto [author, paper] : {std::pair{1, 1}, {1, 2}, {3, 3}, {3, 1}, {4, 4}, {5, 3}})
        link(d, "Paper Authors List", "Author ID", author, paper);

    for (const char* m : {"Trust Ladder", "Trust Cycle", "Cost Model"})
        test::addRow(d, QStringLiteral("Models"), {{QStringLiteral("Model"), m}});
    for (auto [model, paper] : {std::pair{1, 4}, {1, 2}, {3, 5}})
        link(d, "Paper Models List", "Model ID", model, paper);

    for (auto [paper, text] : {std::pair{2, "A model of everything"},
                               {1, "Nothing to see"},
                               {2, "Another model here"},
                               {5, "It's a model"}}) {
        test::addRow(d, QStringLiteral("Paper Statements List"),
                     {{QStringLiteral("Paper ID"), QString::number(paper)},
                      {QStringLiteral("Statement"), text}});
    }

    for (const char* k : {"Neural networks", "Computer vision", "Machine learning",
                          "Orphan keyword", "What's new", "Time: a concept"})
        test::addRow(d, QStringLiteral("Keywords"), {{QStringLiteral("Keyword"), k}});
    for (auto [keyword, paper] : {std::pair{1, 1}, {1, 3}, {2, 4}, {3, 2}, {5, 5}, {6, 5}})
        link(d, "Paper Keywords List", "Keywords ID", keyword, paper);
    t.commit();
}

QString line(int paper)
{
    static const QStringList titles{"Learning to Learn", "Deep Learning in Practice",
                                    "O'Brien's Law of Meetings", "Models of Trust", "Unrelated"};
    return QString::number(paper) + QStringLiteral(" : ") + titles.at(paper - 1);
}

QStringList lines(std::initializer_list<int> papers)
{
    QStringList out;
    for (int p : papers)
        out << line(p);
    return out;
}

QStringList shownMessages()
{
    QStringList out;
    for (const auto& m : services::testing::messages())
        out << m.prompt;
    return out;
}

} // namespace

class TstSearchPapers : public QObject
{
    Q_OBJECT

    std::unique_ptr<test::Shell> m_shell;

    frmSearchPapers& window() { return frmSearchPapers::instance(); }

    // The options panel's "Search".
    frmSearchPapers& openFromPanel()
    {
        QTest::mouseClick(frmMenu::instance().findChild<QPushButton*>("cmdButton(4)"),
                          Qt::LeftButton);
        test::settle();
        return window();
    }

    void chooseMode(int mode)
    {
        QRadioButton* option =
            window().findChild<QRadioButton*>(QStringLiteral("optSearch(%1)").arg(mode));
        QVERIFY(option);
        // On the round button itself: the caption is shorter than the control.
        QTest::mouseClick(option, Qt::LeftButton, {}, QPoint(6, option->height() / 2));
        test::settle();
    }

    void type(const QString& criterion)
    {
        QLineEdit* edit = window().cmbSearchCriteria->lineEdit();
        edit->clear();
        QTest::keyClicks(edit, criterion);
    }

    // Picks the criteria list's item that begins with `prefix`, as a click in the list does.
    void pick(const QString& prefix)
    {
        QComboBox* combo = window().cmbSearchCriteria;
        for (int i = 0; i < combo->count(); ++i) {
            if (combo->itemText(i).startsWith(prefix)) {
                combo->setCurrentIndex(i);
                return;
            }
        }
        QFAIL(qPrintable("no item " + prefix));
    }

    void find()
    {
        QTest::mouseClick(window().cmdFind, Qt::LeftButton);
        test::settle();
    }

    QStringList results() const
    {
        QStringList out;
        QListWidget* list = frmSearchPapers::instance().lstOptions;
        for (int i = 0; i < list->count(); ++i)
            out << list->item(i)->text();
        return out;
    }

    QStringList criteriaItems() const
    {
        QStringList out;
        QComboBox* combo = frmSearchPapers::instance().cmbSearchCriteria;
        for (int i = 0; i < combo->count(); ++i)
            out << combo->itemText(i);
        return out;
    }

    void clickResult(int row)
    {
        QListWidget* list = window().lstOptions;
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                          list->visualItemRect(list->item(row)).center());
        test::settle();
    }

private slots:
    void init()
    {
        m_shell = std::make_unique<test::Shell>();
        seed(m_shell->db());
    }
    void cleanup() { m_shell.reset(); }

    void startsWithNoModeAndDisablesThePanel()
    {
        frmSearchPapers& w = openFromPanel();
        QVERIFY(w.isShown());
        QCOMPARE(w.caption(), QStringLiteral("Quirelle"));
        QVERIFY(!frmMenu::instance().isEnabled());
        for (QRadioButton* option : w.optSearch)
            QVERIFY(!option->isChecked());
        QCOMPARE(w.cmbSearchCriteria->currentText(), QString());
        QCOMPARE(w.cmbSearchCriteria->font().pointSize(), 12);
        for (QWidget* c : {static_cast<QWidget*>(&w), static_cast<QWidget*>(w.fraSearchBy),
                           static_cast<QWidget*>(w.optSearch[3])})
            QCOMPARE(c->palette().color(c->backgroundRole()), panelColour());

        // No mode: "Search" only says that nothing is listed, whatever was typed.
        type("learn");
        find();
        QCOMPARE(results(), QStringList{noEntries});
        find();
        QCOMPARE(results(), QStringList{noEntries});
    }

    void eachModeFillsItsCriteriaList()
    {
        openFromPanel();
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
        QCOMPARE(window().cmbSearchCriteria->currentText(), QString());

        // Quotation offers nothing, and choosing it empties the result list too.
        chooseMode(Title);
        type("learn");
        find();
        QCOMPARE(results().size(), 2);
        chooseMode(Quotation);
        QCOMPARE(criteriaItems(), QStringList());
        QCOMPARE(results(), QStringList());
    }

    void typedAndPickedSearches_data()
    {
        QTest::addColumn<int>("mode");
        QTest::addColumn<QString>("typed");  // empty: `picked` is picked instead
        QTest::addColumn<QString>("picked"); // the start of a list item
        QTest::addColumn<QStringList>("expected");
        QTest::addColumn<QStringList>("messages");
        const QStringList none;
        const QStringList empty{noEntries};

        QTest::newRow("title, any letter case") << int(Title) << "learn"
                                                << "" << lines({1, 2}) << none;
        QTest::newRow("title with a blank is typed") << int(Title) << "deep learning"
                                                     << "" << lines({2}) << none;
        QTest::newRow("title with an apostrophe") << int(Title) << "O'Brien's"
                                                  << "" << lines({3}) << none;
        QTest::newRow("title, one-character wildcard") << int(Title) << "l?arn"
                                                       << "" << lines({1, 2}) << none;
        QTest::newRow("title, any-run wildcard") << int(Title) << "of*tru"
                                                 << "" << lines({4}) << none;
        QTest::newRow("title not found") << int(Title) << "zzz"
                                         << "" << empty << none;

        QTest::newRow("author picked, link order") << int(Author) << ""
                                                   << "3 : " << lines({3, 1}) << none;
        QTest::newRow("author picked without papers")
            << int(Author) << ""
            << "2 : " << QStringList() << QStringList{noMatches};
        // Robson, between Johnson and Atkinson, has no papers: passed over. Paper 1 has two
        // matching authors and is listed for each.
        QTest::newRow("author typed, a match without papers in between")
            << int(Author) << "son"
            << "" << lines({1, 2, 3, 1}) << none;
        QTest::newRow("author typed, no match has papers")
            << int(Author) << "R?bson"
            << "" << QStringList() << QStringList{noMatches};
        QTest::newRow("author typed with a blank") << int(Author) << "van Dyke"
                                                   << "" << lines({4}) << none;
        QTest::newRow("author typed with an apostrophe") << int(Author) << "o'brien"
                                                         << "" << lines({3}) << none;
        QTest::newRow("author not found") << int(Author) << "xyz"
                                          << "" << empty << none;

        QTest::newRow("model picked") << int(Model) << ""
                                      << "3 : " << lines({5}) << none;
        QTest::newRow("model picked without papers")
            << int(Model) << ""
            << "2 : " << QStringList() << QStringList{noMatches};
        QTest::newRow("model typed, a match without papers after") << int(Model) << "trust"
                                                                   << "" << lines({4, 2}) << none;
        QTest::newRow("model typed, no match has papers")
            << int(Model) << "cycle"
            << "" << QStringList() << QStringList{noMatches};

        QTest::newRow("rating picked") << int(Rating) << ""
                                       << "B" << lines({2, 4}) << none;
        QTest::newRow("rating in lower case") << int(Rating) << "b"
                                              << "" << lines({2, 4}) << none;
        QTest::newRow("rating a") << int(Rating) << "a"
                                  << "" << lines({1}) << none;
        QTest::newRow("rating E refused") << int(Rating) << "E"
                                          << "" << empty << none;
        QTest::newRow("rating AB refused") << int(Rating) << "AB"
                                           << "" << empty << none;
        QTest::newRow("rating with a blank refused") << int(Rating) << "b "
                                                     << "" << empty << none;

        QTest::newRow("quotation twice in one paper") << int(Quotation) << "model"
                                                      << "" << lines({2, 2, 5}) << none;
        QTest::newRow("quotation with an apostrophe") << int(Quotation) << "it's a"
                                                      << "" << lines({5}) << none;
        QTest::newRow("quotation that looks like a list line") << int(Quotation) << "5 : x"
                                                               << "" << empty << none;

        QTest::newRow("keyword typed") << int(Keyword) << "vision"
                                       << "" << lines({4}) << none;
        // " vision" matches "Computer vision" too, but only the first keyword found is followed.
        QTest::newRow("keyword, two terms, only the first keyword")
            << int(Keyword) << "neural, vision"
            << "" << lines({1, 3}) << none;
        QTest::newRow("keyword, blank kept in the last term") << int(Keyword) << "zzz, vision"
                                                              << "" << lines({4}) << none;
        QTest::newRow("keyword, no blank before the last term") << int(Keyword) << "zzz, neural"
                                                                << "" << QStringList() << none;
        QTest::newRow("keyword, three terms") << int(Keyword) << "zzz,yyy,learning"
                                              << "" << lines({2}) << none;
        QTest::newRow("keyword, empty first term matches all") << int(Keyword) << ",zzz"
                                                               << "" << lines({1, 3}) << none;
        QTest::newRow("keyword typed, no keyword") << int(Keyword) << "zzz"
                                                   << "" << QStringList() << none;
        QTest::newRow("keyword typed, no papers") << int(Keyword) << "orphan"
                                                  << "" << empty << none;
        QTest::newRow("keyword typed with a colon") << int(Keyword) << "time: a"
                                                    << "" << lines({5}) << none;
        QTest::newRow("keyword typed with an apostrophe") << int(Keyword) << "what's"
                                                          << "" << lines({5}) << none;
        QTest::newRow("keyword picked") << int(Keyword) << ""
                                        << "1 : " << lines({1, 3}) << none;
        QTest::newRow("keyword picked without papers")
            << int(Keyword) << ""
            << "4 : " << QStringList() << QStringList{noMatches};
    }
    void typedAndPickedSearches()
    {
        QFETCH(int, mode);
        QFETCH(QString, typed);
        QFETCH(QString, picked);
        QFETCH(QStringList, expected);
        QFETCH(QStringList, messages);
        openFromPanel();
        chooseMode(mode);
        // A list left by an earlier search is replaced.
        window().lstOptions->addItem(QStringLiteral("left over"));
        if (typed.isEmpty())
            pick(picked);
        else
            type(typed);
        find();
        QCOMPARE(results(), expected);
        QCOMPARE(shownMessages(), messages);
        for (const auto& m : services::testing::messages())
            QCOMPARE(m.buttons, services::vbOKOnly);
        QVERIFY(window().isShown());
    }

    void emptyCriterionKeepsTheList()
    {
        openFromPanel();
        chooseMode(Title);
        type("learn");
        find();
        type("");
        find();
        QCOMPARE(results(), lines({1, 2}));
    }

    void enterInTheCriterionSearches()
    {
        openFromPanel();
        chooseMode(Title);
        type("practice");
        QTest::keyClick(window().cmbSearchCriteria->lineEdit(), Qt::Key_Return);
        test::settle();
        QCOMPARE(results(), lines({2}));
        QCOMPARE(criteriaItems().size(), 5); // nothing typed is added to the list
    }

    void searchLeavesNoTransactionOpen()
    {
        openFromPanel();
        chooseMode(Author);
        type("son");
        find();
        test::addRow(m_shell->db(), QStringLiteral("Papers"), {{QStringLiteral("Title"), "Later"}});
        // Another connection sees the row only once it is committed.
        auto other = db::Database::OpenDatabase(m_shell->file());
        QCOMPARE(other->OpenRecordset(QStringLiteral("select * from [Papers];")).RecordCount(), 6);
    }

    void backKeepsModeAndCriterion()
    {
        frmSearchPapers& w = openFromPanel();
        chooseMode(Model);
        type("trust");
        find();
        QTest::mouseClick(w.cmdCancel, Qt::LeftButton);
        test::settle();
        QVERIFY(!w.isShown());
        QVERIFY(frmMenu::instance().isEnabled());
        QCOMPARE(frmMenu::instance().palette().color(QPalette::Window), panelColour());
        QCOMPARE(results(), QStringList());

        QCOMPARE(&openFromPanel(), &w);
        QVERIFY(w.isShown());
        QVERIFY(w.optSearch[Model]->isChecked());
        QCOMPARE(w.cmbSearchCriteria->currentText(), QStringLiteral("trust"));
        find();
        QCOMPARE(results(), lines({4, 2}));
    }

    void closingTheFrameLeavesAsBackDoes()
    {
        frmSearchPapers& w = openFromPanel();
        w.subWindow()->close();
        test::settle();
        QVERIFY(!w.isShown());
        QVERIFY(frmMenu::instance().isEnabled());
    }

    void openingAnotherProjectWhileUpGivesThePanelBack()
    {
        frmSearchPapers& w = openFromPanel();
        QVERIFY(w.isShown());
        QVERIFY(!frmMenu::instance().isEnabled());
        const QString other = m_shell->folder() + QStringLiteral("/other");
        db::createProjectFile(other);
        services::testing::setNextFileName(other + QStringLiteral(".mdb"));
        frmMain::instance().findChild<QAction*>(QStringLiteral("mnuOpen"))->trigger();
        test::settle();
        QVERIFY(!frmSearchPapers::isLoaded());
        QVERIFY(frmMenu::instance().isEnabled());
    }

    void openingAnotherProjectStartsAfresh()
    {
        frmSearchPapers& w = openFromPanel();
        chooseMode(Rating);
        type("b");
        find();
        QTest::mouseClick(w.cmdCancel, Qt::LeftButton);

        const QString other = m_shell->folder() + QStringLiteral("/other");
        db::createProjectFile(other);
        services::testing::setNextFileName(other + QStringLiteral(".mdb"));
        frmMain::instance().findChild<QAction*>(QStringLiteral("mnuOpen"))->trigger();
        test::settle();
        QVERIFY(!frmSearchPapers::isLoaded());

        frmSearchPapers& fresh = openFromPanel();
        for (QRadioButton* option : fresh.optSearch)
            QVERIFY(!option->isChecked());
        QCOMPARE(fresh.cmbSearchCriteria->currentText(), QString());
        QCOMPARE(fresh.cmbSearchCriteria->count(), 0);
        QCOMPARE(results(), QStringList());
        // Its lists come from the project now open.
        chooseMode(Title);
        QCOMPARE(criteriaItems(), QStringList());
    }

    // ---- Opening a paper ----

    void resultClickOpensThePaperOnItsSummary()
    {
        globals().previousPaperID = 0;
        frmSearchPapers& w = openFromPanel();
        chooseMode(Quotation);
        type("model");
        find();
        clickResult(2); // "5 : Unrelated"
        QVERIFY(!w.isShown());
        frmViewPaper& paper = frmViewPaper::instance();
        QVERIFY(paper.isShown());
        QCOMPARE(paper.currentPaperID, 5);
        QCOMPARE(qobject_cast<QLineEdit*>(paper.txtDetails[6])->text(), QStringLiteral("5"));
        QCOMPARE(paper.SSTab1->currentIndex(), 4);
        QCOMPARE(globals().previousPaperID, 0);
        QVERIFY(!frmMenu::instance().isEnabled());

        // The paper window's "Back" returns to the list as it was.
        QTest::mouseClick(paper.cmdBack, Qt::LeftButton);
        test::settle();
        QVERIFY(w.isShown());
        QVERIFY(!paper.isShown());
        QCOMPARE(results(), lines({2, 2, 5}));
    }

    void clickOnALineWithoutANumberDoesNothing()
    {
        frmSearchPapers& w = openFromPanel();
        chooseMode(Title);
        type("zzz");
        find();
        QCOMPARE(results(), QStringList{noEntries});
        clickResult(0);
        QVERIFY(w.isShown());
        QVERIFY(!frmViewPaper::isLoaded() || !frmViewPaper::instance().isShown());
        QCOMPARE(shownMessages(), QStringList());
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
        QCOMPARE(paper.currentPaperID, 4);
        QCOMPARE(qobject_cast<QLineEdit*>(paper.txtDetails[6])->text(), QStringLiteral("4"));

        // Coming back, the list says that nothing is listed.
        QTest::mouseClick(paper.cmdBack, Qt::LeftButton);
        test::settle();
        QVERIFY(w.isShown());
        QCOMPARE(results(), QStringList{noEntries});
    }
};

QTEST_MAIN(TstSearchPapers)
#include "tst_searchpapers.moc"
