// bench_startup: how long the program takes, on a large project, from start-up to a usable main
// window, and then to show a paper in a paper window made for it. Neither may grow with the
// catalogue: only what the user asked to see may cost in proportion to it.
#include "benchcommon.h"
#include "benchwindows.h"

#include "app/frmmain.h"
#include "app/projectsafety.h"
#include "app/services.h"
#include "app/windows.h"
#include "db/dberror.h"
#include "db/project.h"
#include "paper/frmviewpaper.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QListWidget>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>

using namespace quirelle;
using namespace quirelle::bench;

namespace {

constexpr int Runs = 5;

void untilPainted(const PaintWatch& watch, int before)
{
    const double deadline = nowMs() + 10000;
    while (watch.paints == before && nowMs() < deadline)
        QApplication::processEvents();
}

// Lets events run until the check and the backup copy of the project just opened have
// reported, and returns the longest the window's thread went without handling an event.
double longestStall()
{
    ProjectSafety& safety = frmMain::instance().safety();
    double last = nowMs();
    double longest = 0;
    QTimer tick;
    tick.setInterval(2);
    QObject::connect(&tick, &QTimer::timeout, [&] {
        const double now = nowMs();
        longest = std::max(longest, now - last);
        last = now;
    });
    tick.start();
    const double deadline = nowMs() + 30000;
    while ((safety.isBusy() || nowMs() < last + 20) && nowMs() < deadline)
        QApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
    return longest;
}

int run(const QString& given)
{
    const QString original = QFileInfo(given).absoluteFilePath();
    // A copy in a scratch folder: the backup copies of opening go beside it.
    QTemporaryDir dir;
    QDir::setCurrent(dir.path());
    const QString source = dir.filePath(QStringLiteral("project.mdb"));
    if (!QFile::copy(original, source)) {
        std::fprintf(stderr, "bench_startup: cannot copy %s\n", qPrintable(original));
        return 1;
    }
    QFile nif(QStringLiteral("support.nif"));
    if (!nif.open(QIODevice::WriteOnly))
        return 1;
    nif.write(("settings\n\"" + source.chopped(4) + "\"\n").toUtf8());
    nif.close();
    services::testing::enable();

    std::vector<double> startUps, papers, stalls;
    int paperLines = 0;
    for (int i = 0; i < Runs; ++i) {
        // Start-up: the main window loads, the options panel connects to the project, the
        // caption counts its papers, and the frame is painted.
        double start = nowMs();
        frmMain& main = frmMain::instance();
        PaintWatch frame(&main);
        untilPainted(frame, 0);
        startUps.push_back(nowMs() - start);
        if (!project().isOpen()) {
            std::fprintf(stderr, "bench_startup: %s could not be opened\n", qPrintable(source));
            return 1;
        }
        // The check of the project (and, the first time, its backup copy) runs meanwhile.
        QDir(dir.filePath(QStringLiteral("Backups"))).removeRecursively();
        stalls.push_back(longestStall());

        // A paper in a paper window made for it: made, filled and painted.
        start = nowMs();
        frmViewPaper& w = frmViewPaper::instance();
        PaintWatch paper(&w);
        windows::openPaper(probe::Paper, windows::PaperOrigin::Search);
        untilPainted(paper, 0);
        papers.push_back(nowMs() - start);
        paperLines = w.findChild<QListWidget*>(QStringLiteral("lstCitations"))->count();

        frmMain::unload();
        project().close();
    }
    std::printf("Start-up benchmark on %s (median of %d runs)\n\n", qPrintable(original), Runs);
    report("start-up to the main window painted, project connected", median(startUps), 150);
    report("longest the window waited during the check and backup copy", median(stalls), 50);
    report("first paper window on paper 1234, painted", median(papers), 150);
    std::printf("  (paper 1234 listed %d citations)\n", paperLines);
    for (const auto& m : services::testing::messages())
        std::printf("  message: %s\n", qPrintable(m.prompt));
    return verdict();
}

} // namespace

int main(int argc, char** argv)
{
    return windowBenchMain(argc, argv, "bench_startup", run);
}
