// bench_pictures: times the two picture windows on a large project: the citation map of a paper
// with 300 citations from the request to the painted view (one level and two), the probe paper's
// map, what reading and laying out take of that, and the hours chart of the whole hours log. It
// works on a copy of the project, to which it adds the 300 citations of a paper that had none.
#include "benchcommon.h"
#include "benchwindows.h"

#include "app/frmmain.h"
#include "app/services.h"
#include "db/dberror.h"
#include "db/project.h"
#include "paper/data/citationgraph.h"
#include "paper/data/citationlayout.h"
#include "paper/frmcitationmap.h"
#include "timekeeping/frmhourschart.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPushButton>
#include <QTemporaryDir>

#include <cstdio>
#include <functional>
#include <set>
#include <vector>

using namespace quirelle;
using namespace quirelle::bench;

namespace {

constexpr int Runs = 9;
constexpr int Citations = 300;
constexpr double MapGoalMs = 200;

double medianOf(int runs, const std::function<double()>& once)
{
    std::vector<double> times;
    for (int i = 0; i < runs; ++i)
        times.push_back(once());
    return median(times);
}

// Paper `cited` gets `count` citations from distinct papers chosen at random.
void addCitations(db::Database& d, qint32 cited, int count, int papers)
{
    Random random(BenchSeed);
    std::set<int> citing;
    while (static_cast<int>(citing.size()) < count) {
        const int p = random.between(1, papers);
        if (p != cited && p != probe::Paper)
            citing.insert(p);
    }
    db::Transaction t(d);
    db::Recordset rs =
        d.OpenRecordset(QStringLiteral("select * from [Paper References List] where [Paper ID] = "
                                       "'0';"));
    for (int p : citing) {
        rs.AddNew();
        rs.Fields(QStringLiteral("Paper ID")) = QString::number(p);
        rs.Fields(QStringLiteral("Reference ID")) = cited;
        rs.Update();
    }
    t.commit();
}

int run(const QString& source)
{
    QTemporaryDir dir;
    const QString copy = startOnCopy(source, dir, QStringLiteral("bench"));
    if (copy.isEmpty()) {
        std::fprintf(stderr, "bench_pictures: cannot copy %s\n", qPrintable(source));
        return 1;
    }

    frmMain::instance().resize(1280, 900);
    frmMain::instance().show();
    QApplication::processEvents();
    db::Database& d = project().db();
    const int papers =
        d.OpenRecordset(QStringLiteral("select [Paper ID] from [Papers];")).RecordCount();
    const qint32 cited = probe::EmptyPaper;
    addCitations(d, cited, Citations, papers);
    std::printf("Picture benchmark on %s: %d papers; paper %d given %d citations\n\n",
                qPrintable(source), papers, cited, Citations);

    // (a) The citation map: opened from the menu (the list of every paper read), then centred
    // on the paper with 300 citations, from the request to the painted view.
    const double opened = nowMs();
    frmMain::instance().findChild<QAction*>(QStringLiteral("mnuCitationMap"))->trigger();
    QApplication::processEvents();
    report("citation map opened from the menu, first time", nowMs() - opened, 0);
    frmCitationMap& map = frmCitationMap::instance();
    auto* view = map.findChild<QWidget*>(QStringLiteral("viewMap"));
    auto* second = map.findChild<QCheckBox*>(QStringLiteral("chkSecondLevel"));
    PaintWatch watch(static_cast<QAbstractScrollArea*>(view)->viewport());

    const auto mapOf = [&](qint32 paper, bool twoLevels, const char* what, double goal) {
        second->setChecked(twoLevels);
        const double ms = medianOf(Runs, [&] {
            map.centreOn(probe::EmptyPaper == paper ? probe::Paper : probe::EmptyPaper);
            QApplication::processEvents();
            return timedUntilPainted(watch, [&] { map.centreOn(paper); });
        });
        report(what, ms, goal);
        const citations::Neighbourhood& g = map.neighbourhood();
        std::printf("  %zu papers, %zu citations among them\n", g.nodes.size(), g.edges.size());
    };
    mapOf(cited, false, "map of the paper with 300 citations, to painted (median)", MapGoalMs);
    mapOf(cited, true, "  the same with the second level (median)", 0);
    mapOf(probe::Paper, false, "map of paper 1234 (20 + 30 links), to painted (median)", 0);
    mapOf(probe::Paper, true, "  the same with the second level (median)", 0);

    // What the reading and the layout take of the map of 300 citations.
    for (int levels : {1, 2}) {
        citations::Neighbourhood g;
        const double read = medianOf(Runs, [&] {
            const double start = nowMs();
            g = citations::readNeighbourhood(d, cited, levels);
            return nowMs() - start;
        });
        const std::vector<QSizeF> sizes(g.nodes.size(), QSizeF(110, 24));
        const double laid = medianOf(Runs, [&] {
            const double start = nowMs();
            const citations::Layout l = citations::layOut(g, sizes);
            return nowMs() - start;
        });
        std::printf("  %d level(s): reading %.2f ms, layout %.2f ms\n", levels, read, laid);
    }

    // (b) Saving the map of 300 citations as pictures (the file dialog answered at once).
    second->setChecked(false);
    map.centreOn(cited);
    QApplication::processEvents();
    auto* save = map.findChild<QPushButton*>(QStringLiteral("cmdSavePicture"));
    for (const QString& kind : {QStringLiteral("PNG"), QStringLiteral("SVG")}) {
        const QString file = dir.filePath(QStringLiteral("map.") + kind.toLower());
        const double ms = medianOf(3, [&] {
            services::testing::setNextFileName(file);
            const double start = nowMs();
            save->click();
            return nowMs() - start;
        });
        const QString what = QStringLiteral("map of 300 citations saved as %1 (median)").arg(kind);
        report(qPrintable(what), ms, 0);
        std::printf("  %lld bytes\n", static_cast<long long>(QFileInfo(file).size()));
    }

    // (c) The hours chart of the whole log, from the menu to the painted chart.
    frmMain::instance().findChild<QAction*>(QStringLiteral("mnuHoursChart"))->trigger();
    QApplication::processEvents();
    auto* chart = frmMain::instance().findChild<HoursChart*>(QStringLiteral("chartHours"));
    PaintWatch chartWatch(chart);
    const double chartMs = medianOf(Runs, [&] {
        return timedUntilPainted(chartWatch, [] {
            frmMain::instance().findChild<QAction*>(QStringLiteral("mnuHoursChart"))->trigger();
        });
    });
    report("hours chart of the whole log, to painted (median)", chartMs, 0);
    std::printf("  %zu subjects; %s\n", chart->bars().size(), qPrintable(chart->title()));
    for (const auto& m : services::testing::messages())
        std::printf("  message: %s\n", qPrintable(m.prompt));
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    return windowBenchMain(argc, argv, "bench_pictures", run);
}
