// bench_search: times the search window on a large project file, through the real window: the
// choice of each mode (which fills the criteria list) and "Search" in each mode, typed and
// picked, for criteria that find a few dozen papers and for one-letter title patterns that find
// thousands. It works on a copy of the file, to which it adds an author and a model that carry
// the rare word, each linked to a few dozen papers (the generated file has no model links and
// no rare author).
#include "benchcommon.h"
#include "benchwindows.h"
#include "plainquery.h"

#include "app/frmmain.h"
#include "app/frmmenu.h"
#include "app/services.h"
#include "app/windows.h"
#include "db/database.h"
#include "db/dberror.h"
#include "db/project.h"
#include "search/frmsearchpapers.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <tuple>
#include <vector>

using namespace quirelle;
using namespace quirelle::bench;

namespace {

constexpr int Runs = 7;
constexpr int FewGoalMs = 100;
constexpr int ManyGoalMs = 500;

// What the bench adds to its copy: found by the rare word, linked to papers 2001 onwards.
constexpr int RareAuthorPapers = 30;
constexpr int RareModelPapers = 36;
constexpr int FirstLinkedPaper = 2001;

double timeMs(const std::function<void()>& f)
{
    using namespace std::chrono;
    const auto start = steady_clock::now();
    f();
    return duration<double, std::milli>(steady_clock::now() - start).count();
}

// The rare author and model, each with its links; returns their ids.
std::pair<qint32, qint32> addRareAuthorAndModel(db::Database& d)
{
    db::Transaction t(d);
    const auto add = [&d](const QString& table, const QString& field, const QString& value,
                          const QString& idField) {
        db::Recordset rs = d.OpenRecordset(QStringLiteral("select * from [%1];").arg(table));
        rs.AddNew();
        rs.Fields(field) = value;
        rs.Update();
        rs.setBookmark(rs.LastModified());
        return rs.Fields(idField).toLong();
    };
    const auto link = [&d](const QString& table, const QString& idField, qint32 id, int papers) {
        db::Recordset rs = d.OpenRecordset(QStringLiteral("select * from [%1];").arg(table));
        for (int p = FirstLinkedPaper; p < FirstLinkedPaper + papers; ++p) {
            rs.AddNew();
            rs.Fields(QStringLiteral("Paper ID")) = QString::number(p);
            rs.Fields(idField) = QString::number(id);
            rs.Update();
        }
    };
    const qint32 author = add(QStringLiteral("Authors"), QStringLiteral("Surname"),
                              QStringLiteral("Zephyrine"), QStringLiteral("Author ID"));
    link(QStringLiteral("Paper Authors List"), QStringLiteral("Author ID"), author,
         RareAuthorPapers);
    const qint32 model = add(QStringLiteral("Models"), QStringLiteral("Model"),
                             QStringLiteral("Zephyrine Matrix"), QStringLiteral("Model ID"));
    link(QStringLiteral("Paper Models List"), QStringLiteral("Model ID"), model, RareModelPapers);
    t.commit();
    return {author, model};
}

// The window's own share of a search that finds next to nothing: the click, the list emptied
// and filled, its paint. A search may take this much over twice the plain statement.
constexpr double WindowAllowanceMs = 3;

struct Case
{
    const char* what;
    int mode;
    QString criterion; // typed, or the start of the list item to pick
    bool picked;
    int goalMs;                  // 0: shown for information
    int expected = -1;           // lines expected, -1: not checked
    const char* plain = nullptr; // the plain statement of the same lines, if there is one
};

class Bench
{
public:
    Bench(frmSearchPapers& w, PlainQuery& plain) : m_w(w), m_plain(plain) {}

    void chooseMode(int mode)
    {
        control<QRadioButton>(m_w, qPrintable(QStringLiteral("optSearch(%1)").arg(mode)))->click();
    }

    bool setCriterion(const Case& c)
    {
        QComboBox* combo = control<QComboBox>(m_w, "cmbSearchCriteria");
        if (!c.picked) {
            combo->setEditText(c.criterion);
            return true;
        }
        const int found = combo->findText(c.criterion, Qt::MatchStartsWith);
        if (found < 0)
            return false;
        combo->setCurrentIndex(found);
        return true;
    }

    // "Search", and the list drawn; the processor time it took goes to `cpu`.
    double search(std::vector<double>& cpu)
    {
        const double cpuStart = cpuMs();
        const double ms = timeMs([this] {
            control<QPushButton>(m_w, "cmdFind")->click();
            QApplication::processEvents();
        });
        cpu.push_back(cpuMs() - cpuStart);
        return ms;
    }

    bool run(const Case& c)
    {
        chooseMode(c.mode);
        if (!setCriterion(c)) {
            std::printf("%-52s no list item %s\n", c.what, qPrintable(c.criterion));
            return false;
        }
        std::vector<double> times;
        std::vector<double> cpu;
        for (int i = 0; i < Runs; ++i)
            times.push_back(search(cpu));
        const int lines = control<QListWidget>(m_w, "lstOptions")->count();
        const bool linesRight = c.expected < 0 || lines == c.expected;
        const double m = median(times);
        const auto [low, high] = std::minmax_element(times.begin(), times.end());
        const QString goal = c.goalMs ? QStringLiteral("< %1 ms").arg(c.goalMs) : QString();
        if (c.goalMs && m >= c.goalMs)
            ++missedGoals();
        std::printf(
            "%-52s %7d %9.1f ms  (%.1f-%.1f)  %-9s %s%s\n", c.what, lines, m, *low, *high,
            c.goalMs ? qPrintable(goal) : "-", c.goalMs ? (m < c.goalMs ? "PASS" : "FAIL") : "info",
            linesRight ? ""
                       : qPrintable(QStringLiteral("  WRONG: %1 lines expected").arg(c.expected)));
        return (!c.plain || compareWithPlain(c, median(cpu))) && linesRight;
    }

    void timeModeChoice(const char* what, int mode)
    {
        std::vector<double> times;
        for (int i = 0; i < Runs; ++i) {
            times.push_back(timeMs([&] {
                chooseMode(mode);
                QApplication::processEvents();
            }));
        }
        std::printf("%-52s %7d %9.1f ms\n", what,
                    control<QComboBox>(m_w, "cmbSearchCriteria")->count(), median(times));
    }

private:
    // The plain statement's parameter for the criterion: the picked item's id, or the typed text
    // anywhere in the field.
    QString plainParameter(const Case& c) const
    {
        if (c.picked)
            return c.criterion.section(QLatin1Char(' '), 0, 0);
        return c.mode == 3 ? c.criterion : QLatin1Char('%') + c.criterion + QLatin1Char('%');
    }

    // The search against its plain statement in the same run; false when the lines differ.
    bool compareWithPlain(const Case& c, double searchCpuMs)
    {
        const QStringList params{plainParameter(c)};
        const QStringList expected = m_plain.lines(c.plain, params);
        QStringList shown;
        const QListWidget* list = control<QListWidget>(m_w, "lstOptions");
        for (int i = 0; i < list->count(); ++i)
            shown << list->item(i)->text();
        const bool same =
            shown == expected ||
            (expected.isEmpty() && shown == QStringList{QStringLiteral("No entried found...")});
        const double plainCpuMs = m_plain.cpuTimeMs(Runs, c.plain, params);
        const QString what = QStringLiteral("  against the plain statement%1")
                                 .arg(same ? QString() : QStringLiteral(" (OTHER LINES)"));
        reportAgainstPlain(qPrintable(what), searchCpuMs, plainCpuMs, 2, WindowAllowanceMs);
        return same;
    }

    frmSearchPapers& m_w;
    PlainQuery& m_plain;
};

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QStringList args = app.arguments().mid(1);
    if (args.size() != 1 || !args.front().endsWith(QStringLiteral(".mdb"))) {
        std::fprintf(stderr, "usage: bench_search <project.mdb>\n");
        return 2;
    }
    const QString source = QFileInfo(args.front()).absoluteFilePath();
    if (!QFileInfo::exists(source)) {
        std::fprintf(stderr, "%s: no such file\n", qPrintable(source));
        return 2;
    }

    // A copy in a scratch folder, which is also the working directory of the program.
    QTemporaryDir scratch;
    QDir::setCurrent(scratch.path());
    const QString copy = scratch.filePath(QStringLiteral("large"));
    if (!QFile::copy(source, copy + QStringLiteral(".mdb"))) {
        std::fprintf(stderr, "could not copy %s\n", qPrintable(source));
        return 1;
    }
    qint32 rareAuthor = 0;
    qint32 rareModel = 0;
    try {
        auto d = db::Database::OpenDatabase(copy + QStringLiteral(".mdb"));
        std::tie(rareAuthor, rareModel) = addRareAuthorAndModel(*d);
    } catch (const db::DbError& e) {
        std::fprintf(stderr, "error %d: %s\n", e.number(), qPrintable(e.description()));
        return 1;
    }
    {
        QFile nif(QStringLiteral("support.nif"));
        if (!nif.open(QIODevice::WriteOnly))
            return 1;
        nif.write(("settings\n\"" + copy + "\"\n").toUtf8());
    }

    // The program started as the user starts it, with message boxes answered instead of shown.
    services::testing::enable();
    frmMain::instance();
    QApplication::processEvents();
    if (!project().isOpen()) {
        std::fprintf(stderr, "%s could not be opened\n", qPrintable(copy));
        return 1;
    }
    windows::openSearch();
    frmSearchPapers& w = frmSearchPapers::instance();
    PlainQuery plainQuery(copy + QStringLiteral(".mdb"));
    if (!plainQuery.isOpen())
        return 1;
    Bench bench(w, plainQuery);
    std::printf("Search window on a copy of %s (median of %d runs)\n\n", qPrintable(source), Runs);

    std::printf("%-52s %7s %12s\n", "choosing a mode (fills the criteria list)", "items", "time");
    bench.timeModeChoice("Title", 0);
    bench.timeModeChoice("Author", 1);
    bench.timeModeChoice("Model", 2);
    bench.timeModeChoice("Keyword", 5);

    const QString rare = QString::fromLatin1(probe::RareWord);
    const QString authorItem = QString::number(rareAuthor) + QStringLiteral(" : ");
    const QString modelItem = QString::number(rareModel) + QStringLiteral(" : ");
    const QString keywordItem = QString::number(probe::RareKeyword) + QStringLiteral(" : ");
    const QString author777 = QString::number(probe::Author) + QStringLiteral(" : ");
    // clang-format off
    const std::vector<Case> cases = {
        {"Title typed, the rare word", 0, rare, false, FewGoalMs, probe::RareTitles, searchSql::Title},
        {"Author typed, the rare word", 1, rare, false, FewGoalMs, RareAuthorPapers,
         searchSql::AuthorTyped},
        {"Author picked, the rare author", 1, authorItem, true, FewGoalMs, RareAuthorPapers,
         searchSql::AuthorPicked},
        {"Author picked, author 777", 1, author777, true, 0, probe::AuthorPapers,
         searchSql::AuthorPicked},
        {"Author typed, a common surname (Smith)", 1, QStringLiteral("Smith"), false, 0, -1,
         searchSql::AuthorTyped},
        {"Model typed, the rare word", 2, rare, false, FewGoalMs, RareModelPapers,
         searchSql::ModelTyped},
        {"Model picked, the rare model", 2, modelItem, true, FewGoalMs, RareModelPapers,
         searchSql::ModelPicked},
        {"Rating typed, a (a quarter of all papers)", 3, QStringLiteral("a"), false, 0, -1,
         searchSql::Rating},
        {"Rating refused, e", 3, QStringLiteral("e"), false, FewGoalMs, 1},
        {"Quotation typed, the rare word", 4, rare, false, FewGoalMs, probe::RareQuotations,
         searchSql::Quotation},
        {"Keyword typed, the rare word", 5, rare, false, FewGoalMs, probe::RareKeywordPapers,
         searchSql::KeywordTyped},
        {"Keyword picked, the rare keyword", 5, keywordItem, true, FewGoalMs,
         probe::RareKeywordPapers, searchSql::KeywordPicked},
        {"Keyword picked, keyword 42", 5,
         QString::number(probe::Keyword) + QStringLiteral(" : "), true, 0, probe::KeywordPapers,
         searchSql::KeywordPicked},
        {"Title typed, q (one letter)", 0, QStringLiteral("q"), false, ManyGoalMs, -1,
         searchSql::Title},
        {"Title typed, k (one letter)", 0, QStringLiteral("k"), false, ManyGoalMs, -1,
         searchSql::Title},
        {"Title typed, e (one letter, nearly every paper)", 0, QStringLiteral("e"), false, 0, -1,
         searchSql::Title},
        {"Quotation typed, q (one letter)", 4, QStringLiteral("q"), false, 0, -1,
         searchSql::Quotation},
    };
    // clang-format on

    std::printf("\n%-52s %7s %12s  %-11s %-9s\n", "\"Search\"", "lines", "median", "(min-max)",
                "goal");
    bool allRight = true;
    for (const Case& c : cases)
        allRight = bench.run(c) && allRight;
    if (!services::testing::messages().empty()) {
        std::printf("\nmessages shown: %zu (the last: %s)\n", services::testing::messages().size(),
                    qPrintable(services::testing::messages().back().prompt));
    }
    std::printf("\nlines found: %s\n", allRight ? "all as expected" : "some WRONG");
    return verdict();
}
