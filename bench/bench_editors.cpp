// bench_editors: times the grid editors on a large project: the author editor's fill from the
// call to the painted grid (20,000 authors at full size), a click on a grid row, and the fills of
// the keyword and model editors and the meeting log. It works on a copy of the project file.
#include "benchcommon.h"
#include "benchwindows.h"

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

// Times populate of one editor: on the window that is hidden (as after Back), and on the
// window that is shown (as when its menu entry is chosen again).
template<class W>
void timeFill(W& w, QTableView* grid, const char* hiddenLabel, const char* shownLabel, double goal)
{
    PaintWatch watch(grid->viewport());
    std::vector<double> times;
    for (int i = 0; i < Runs; ++i) {
        w.hideForm();
        QApplication::processEvents();
        times.push_back(timedUntilPainted(watch, [&] { w.populate(); }));
    }
    report(hiddenLabel, median(times), goal);
    times.clear();
    for (int i = 0; i < Runs; ++i)
        times.push_back(timedUntilPainted(watch, [&] { w.populate(); }));
    report(shownLabel, median(times), goal);
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
    getAllAuthors();
    std::printf("Grid editor benchmark on %s: %d authors\n\n", qPrintable(source),
                project().rsAuthors.RecordCount());

    // (a) Fill of the author editor, from the call to the painted grid.
    frmAddAuthor& authors = frmAddAuthor::instance();
    auto* authorGrid = control<QTableView>(authors, "MSFAuthors");
    {
        PaintWatch watch(authorGrid->viewport());
        report("author editor, first populate (window made)",
               timedUntilPainted(watch, [&] { authors.populate(); }), 0);
    }
    timeFill(authors, authorGrid, "author editor populate, hidden -> painted (median)",
             "author editor populate on the shown window (median)", 200);
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
        getAuthor(probe::Author);
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
             "keyword editor populate on the shown window", 0);
    control<QPushButton>(keywords, "cmdExit")->click();
    frmAddModel& models = frmAddModel::instance();
    models.populate();
    timeFill(models, control<QTableView>(models, "MSFModels"),
             "model editor populate, hidden -> painted",
             "model editor populate on the shown window", 0);
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
