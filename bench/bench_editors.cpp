// bench_editors: times the grid editors on a large project: the author editor's fill from the
// call to the painted grid (20,000 authors at full size), a click on a grid row, and the fills of
// the keyword and model editors and the meeting log. It works on a copy of the project file.
#include "benchcommon.h"
#include "benchwindows.h"
#include "plainquery.h"

#include "app/frmmain.h"
#include "app/services.h"
#include "db/dberror.h"
#include "db/project.h"
#include "db/sharedqueries.h"
#include "editors/frmaddauthor.h"
#include "editors/frmaddkeyword.h"
#include "editors/frmaddmodel.h"
#include "meetings/frmmeeting.h"

#include <QAbstractItemModel>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <vector>

using namespace quirelle;
using namespace quirelle::bench;

namespace {

constexpr int Runs = 9;
constexpr int Clicks = 50;

// The plain statements that read what each editor's grid shows, in the order of its field
// (SQLite's NOCASE in place of the dialect's order, which puts accented letters by their base
// letters).
namespace plain {
constexpr const char* Authors = R"(SELECT Surname, Forenames, Occupation, Location, "Author ID"
    FROM Authors ORDER BY Surname COLLATE NOCASE, rowid)";
constexpr const char* Keywords =
    R"(SELECT Keyword, Definition, "Keyword ID" FROM Keywords ORDER BY Keyword COLLATE NOCASE, rowid)";
constexpr const char* Models =
    R"(SELECT Model, Details, "Model ID" FROM Models ORDER BY Model COLLATE NOCASE, rowid)";
} // namespace plain

// What a fill may take beyond twice the plain statement: the window shown and the grid's first
// screen painted.
constexpr double WindowAllowanceMs = 5;

// Times populate of one editor: on the window that is hidden (as after Back), and on the
// window that is shown (as when its menu entry is chosen again); each against the plain
// statement of the same rows when there is one.
template<class W>
void timeFill(W& w, QTableView* grid, const char* hiddenLabel, const char* shownLabel, double goal,
              PlainQuery* plainQuery = nullptr, const char* plainSql = nullptr)
{
    PaintWatch watch(grid->viewport());
    const double plainCpu = plainQuery ? plainQuery->cpuTimeMs(Runs, plainSql) : 0;
    std::vector<double> times;
    std::vector<double> cpu;
    const auto fill = [&] {
        double c = 0;
        times.push_back(timedUntilPainted(
            watch, [&] { w.populate(); }, &c));
        cpu.push_back(c);
    };
    const auto reportFill = [&](const char* label) {
        report(label, median(times), goal);
        if (plainQuery)
            reportAgainstPlain("  against the plain statement", median(cpu), plainCpu, 2,
                               WindowAllowanceMs);
        times.clear();
        cpu.clear();
    };
    for (int i = 0; i < Runs; ++i) {
        w.hideForm();
        QApplication::processEvents();
        fill();
    }
    reportFill(hiddenLabel);
    for (int i = 0; i < Runs; ++i)
        fill();
    reportFill(shownLabel);
}

int run(const QString& source)
{
    QTemporaryDir dir;
    const QString copy = startOnCopy(source, dir, QStringLiteral("bench"));
    if (copy.isEmpty()) {
        std::fprintf(stderr, "bench_editors: cannot copy %s\n", qPrintable(source));
        return 1;
    }

    frmMain::instance().resize(1280, 900);
    frmMain::instance().show();
    QApplication::processEvents();
    db::Recordset all;
    getAllAuthors(all);
    std::printf("Grid editor benchmark on %s: %d authors\n\n", qPrintable(source),
                all.RecordCount());

    // (a) Fill of the author editor, from the call to the painted grid.
    frmAddAuthor& authors = frmAddAuthor::instance();
    auto* authorGrid = control<QTableView>(authors, "MSFAuthors");
    {
        PaintWatch watch(authorGrid->viewport());
        report("author editor, first populate (window made)",
               timedUntilPainted(watch, [&] { authors.populate(); }), 0);
    }
    PlainQuery plainQuery(copy + QStringLiteral(".mdb"));
    if (!plainQuery.isOpen())
        return 1;
    timeFill(authors, authorGrid, "author editor populate, hidden -> painted (median)",
             "author editor populate on the shown window (median)", 200, &plainQuery,
             plain::Authors);
    const int rows = authorGrid->model()->rowCount();
    std::printf("  grid rows: %d\n", rows);

    // (b) A click on a grid row, until the boxes hold that author. Rows all over the grid.
    QTableView* grid = authorGrid;
    std::vector<double> times;
    int wrong = 0;
    Random random(BenchSeed);
    for (int i = 0; i < Clicks && rows > 0; ++i) {
        const QModelIndex index = grid->model()->index(random.below(rows), 0);
        grid->scrollTo(index);
        QApplication::processEvents();
        const QPoint at = grid->visualRect(index).center();
        const double start = nowMs();
        QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, at);
        QApplication::processEvents();
        times.push_back(nowMs() - start);
        if (control<QLineEdit>(authors, "txtDetails(0)")->text() != index.data().toString())
            ++wrong;
    }
    report("row click (median)", median(times), 10);
    report("row click (slowest)", *std::max_element(times.begin(), times.end()), 0);
    if (wrong)
        std::printf("  (%d clicks showed another author)\n", wrong);

    // A click after another window has opened the shared author list on one author: the editor
    // keeps its own rows, so nothing is read again.
    times.clear();
    for (int i = 0; i < Runs && rows > 0; ++i) {
        const QModelIndex index = grid->model()->index(random.below(rows), 0);
        grid->scrollTo(index);
        QApplication::processEvents();
        getAuthor(all, probe::Author);
        const QPoint at = grid->visualRect(index).center();
        const double start = nowMs();
        QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, at);
        QApplication::processEvents();
        times.push_back(nowMs() - start);
    }
    report("row click after the list was moved elsewhere (median)", median(times), 0);
    control<QPushButton>(authors, "cmdExit")->click();

    // (c) The other editors, for comparison.
    frmAddKeyword& keywords = frmAddKeyword::instance();
    keywords.populate();
    timeFill(keywords, control<QTableView>(keywords, "MSFKeywords"),
             "keyword editor populate, hidden -> painted",
             "keyword editor populate on the shown window", 0, &plainQuery, plain::Keywords);
    control<QPushButton>(keywords, "cmdExit")->click();
    frmAddModel& models = frmAddModel::instance();
    models.populate();
    timeFill(models, control<QTableView>(models, "MSFModels"),
             "model editor populate, hidden -> painted",
             "model editor populate on the shown window", 0, &plainQuery, plain::Models);
    control<QPushButton>(models, "cmdExit")->click();
    frmMeeting& meetings = frmMeeting::instance();
    meetings.populate();
    timeFill(meetings, control<QTableView>(meetings, "msfMeetings"),
             "meeting log populate, hidden -> painted", "meeting log populate on the shown window",
             0);
    control<QPushButton>(meetings, "cmdExit")->click();

    for (const auto& m : services::testing::messages())
        std::printf("  message: %s\n", qPrintable(m.prompt));
    return verdict();
}

} // namespace

int main(int argc, char** argv)
{
    return windowBenchMain(argc, argv, "bench_editors", run);
}
