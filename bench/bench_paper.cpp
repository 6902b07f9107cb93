// bench_paper: times the paper window on a large project: populate of the probe paper from the
// call to the painted window, leaving a detail box, and deleting a paper with its link rows.
// It works on a copy of the project file, so the file given is never changed.
#include "benchcommon.h"
#include "benchwindows.h"

#include "app/frmmain.h"
#include "app/services.h"
#include "app/windows.h"
#include "db/dberror.h"
#include "db/project.h"
#include "db/sharedqueries.h"
#include "paper/frmviewpaper.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTemporaryDir>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <vector>

using namespace quirelle;
using namespace quirelle::bench;

namespace {

constexpr int Runs = 9;

// A paper with ten rows in each of the five link tables.
qint32 paperWithFiftyLinks()
{
    db::Recordset papers;
    getPaper(papers, 0);
    papers.AddNew();
    papers.Fields(QStringLiteral("Title")) = QStringLiteral("Fifty links");
    papers.Update();
    papers.setBookmark(papers.LastModified());
    const qint32 id = papers.Fields(QStringLiteral("Paper ID")).toLong();
    const QString paper = QString::number(id);
    const auto addRows = [&](const QString& table,
                             const std::function<void(db::Recordset&, int)>& put) {
        db::Recordset rs = project().db().OpenRecordset(
            QStringLiteral("select * from [%1] where [Paper ID] = '0';").arg(table));
        for (int i = 1; i <= 10; ++i) {
            rs.AddNew();
            rs.Fields(QStringLiteral("Paper ID")) = paper;
            put(rs, i);
            rs.Update();
        }
    };
    addRows(QStringLiteral("Paper Authors List"), [](db::Recordset& rs, int i) {
        rs.Fields(QStringLiteral("Author ID")) = QString::number(i);
    });
    addRows(QStringLiteral("Paper Keywords List"),
            [](db::Recordset& rs, int i) { rs.Fields(QStringLiteral("Keywords ID")) = i; });
    addRows(QStringLiteral("Paper Models List"), [](db::Recordset& rs, int i) {
        rs.Fields(QStringLiteral("Model ID")) = QString::number(i);
    });
    addRows(QStringLiteral("Paper References List"),
            [](db::Recordset& rs, int i) { rs.Fields(QStringLiteral("Reference ID")) = i; });
    addRows(QStringLiteral("Paper Statements List"), [](db::Recordset& rs, int i) {
        rs.Fields(QStringLiteral("Statement")) = QStringLiteral("quotation %1").arg(i);
    });
    return id;
}

template<class T = QWidget>
T* control(const char* name)
{
    return frmViewPaper::instance().findChild<T*>(QString::fromLatin1(name));
}

void openFromSearch(qint32 paper)
{
    windows::openPaper(paper, windows::PaperOrigin::Search);
}

void openNew()
{
    windows::openPaper(0, windows::PaperOrigin::NewPaper);
}

int run(const QString& source)
{
    QTemporaryDir dir;
    const QString copy = startOnCopy(source, dir, QStringLiteral("bench"));
    if (copy.isEmpty()) {
        std::fprintf(stderr, "bench_paper: cannot copy %s\n", qPrintable(source));
        return 1;
    }

    frmMain::instance().resize(1280, 900);
    frmMain::instance().show();
    QApplication::processEvents();
    db::Recordset all;
    getAllPapers(all);
    std::printf("Paper window benchmark on %s: %d papers\n\n", qPrintable(source),
                all.RecordCount());

    // (a) populate. The first call of a session makes the window and reads from a file no
    // window has read yet: it must show the paper without reading the combo boxes' lists.
    const double firstStart = nowMs();
    frmViewPaper& w = frmViewPaper::instance();
    w.hideForm();
    PaintWatch watch(&w);
    const double made = nowMs() - firstStart;
    const double first = made + timedUntilPainted(watch, [&] { openFromSearch(probe::Paper); });
    report("first populate, cold (window made, paper 1234 painted)", first, 50);
    const qint32 probePaper = probe::Paper;

    // The window is hidden first, so that it is filled, shown and painted whole.
    const auto hidden = [&](const std::function<void()>& call) {
        w.hideForm();
        QApplication::processEvents();
        return timedUntilPainted(watch, call);
    };
    std::vector<double> times;
    for (int i = 0; i < Runs; ++i)
        times.push_back(hidden([&] { openFromSearch(probePaper); }));
    report("populate paper 1234 from the search, to painted (median)", median(times), 150);
    std::printf("  lists: %d authors, %d keywords, %d references, %d citations, %d quotations\n",
                control<QListWidget>("lstAuthors")->count(),
                control<QListWidget>("lstKeywords")->count(),
                control<QListWidget>("lstReferencedWork")->count(),
                control<QListWidget>("lstCitations")->count(),
                control<QListWidget>("lstStatements")->count());

    // Opening the author list the first time reads every author.
    auto* authors = control<QComboBox>("cmbAuthor");
    const double listStart = nowMs();
    authors->showPopup();
    QApplication::processEvents();
    report("first opening of the author list (every author read)", nowMs() - listStart, 0);
    authors->hidePopup();

    // A jump: the window stays up and shows another paper.
    times.clear();
    for (int i = 0; i < Runs; ++i) {
        w.populate(probe::EmptyPaper);
        QApplication::processEvents();
        times.push_back(timedUntilPainted(watch, [&] { w.populate(probePaper); }));
    }
    report("populate paper 1234 on the shown window, to painted (median)", median(times), 150);

    times.clear();
    for (int i = 0; i < Runs; ++i)
        times.push_back(hidden([&] { openNew(); }));
    report("populate of a new paper, to painted (median)", median(times), 150);

    // After this window added a paper and stored a detail: its own writes keep the lists.
    times.clear();
    for (int i = 0; i < Runs; ++i) {
        openNew();
        control<QLineEdit>("txtDetails(0)")->setText(QStringLiteral("Added %1").arg(i));
        control<QPushButton>("cmdAddPaper")->click();
        auto* year = control<QLineEdit>("txtDetails(1)");
        year->setFocus();
        year->setText(QStringLiteral("2024"));
        control<QLineEdit>("txtDetails(0)")->setFocus();
        times.push_back(hidden([&] { openFromSearch(probePaper); }));
    }
    report("populate paper 1234 after adding a paper here (median)", median(times), 150);

    // After other windows wrote authors or papers, those lists are read again.
    const auto addRow = [](const char* table, const char* field, int i) {
        db::Recordset rs = project().db().OpenRecordset(
            QStringLiteral("select * from [%1] where [%2] = 0;")
                .arg(QLatin1String(table), QLatin1String(table) == QLatin1String("Authors")
                                               ? QStringLiteral("Author ID")
                                               : QStringLiteral("Paper ID")));
        rs.AddNew();
        rs.Fields(QLatin1String(field)) = QStringLiteral("Newcomer %1").arg(i);
        rs.Update();
    };
    times.clear();
    for (int i = 0; i < Runs; ++i) {
        addRow("Authors", "Surname", i);
        times.push_back(hidden([&] { openFromSearch(probePaper); }));
    }
    report("populate paper 1234 after an author was added elsewhere (median)", median(times), 150);
    times.clear();
    for (int i = 0; i < Runs; ++i) {
        addRow("Authors", "Surname", i);
        addRow("Papers", "Title", i);
        times.push_back(hidden([&] { openFromSearch(probePaper); }));
    }
    report("populate paper 1234 after authors and papers changed elsewhere", median(times), 150);

    // (b) leaving a detail box: the Status box of the probe paper is stored.
    openFromSearch(probePaper);
    QApplication::processEvents();
    auto* status = control<QLineEdit>("txtDetails(4)");
    times.clear();
    for (int i = 0; i < Runs; ++i) {
        status->setFocus();
        QApplication::processEvents();
        status->setText(QStringLiteral("Read %1").arg(i));
        const double start = nowMs();
        control<QLineEdit>("txtDetails(0)")->setFocus(); // the lost-focus save runs here
        QApplication::processEvents();
        times.push_back(nowMs() - start);
    }
    report("leaving a detail box (median)", median(times), 20);
    getPaper(all, probePaper);
    if (all.Fields(QStringLiteral("Status")).text() != QStringLiteral("Read %1").arg(Runs - 1))
        std::printf("  (the status was not stored)\n");

    // (c) deleting a paper with 50 link rows, from the click to the search window shown
    // afresh; then what the search window and the caption take of that on their own.
    times.clear();
    for (int i = 0; i < Runs; ++i) {
        const qint32 id = paperWithFiftyLinks();
        w.populate(id);
        QApplication::processEvents();
        services::testing::setNextAnswer(services::Answer::Yes);
        const double start = nowMs();
        control<QPushButton>("cmdDeletePaper")->click();
        times.push_back(nowMs() - start);
        db::Recordset rs;
        if (getPaper(rs, id) || getPaperList(rs, PaperList::Authors, id) ||
            getPaperList(rs, PaperList::Statements, id))
            std::printf("  (paper %d was not deleted)\n", id);
    }
    std::vector<double> after;
    for (int i = 0; i < Runs; ++i) {
        const double start = nowMs();
        windows::unloadSearch();
        frmMain::instance().showProjectCaption();
        windows::openSearch();
        after.push_back(nowMs() - start);
    }
    report("deleting a paper with 50 link rows, whole click (median)", median(times), 0);
    report("  of which the caption count and the search window (median)", median(after), 0);
    report("  the deletion itself (difference)", median(times) - median(after), 50);
    for (const auto& m : services::testing::messages()) {
        if (m.prompt != QStringLiteral("Are you sure you wish to delete this Paper?"))
            std::printf("  message: %s\n", qPrintable(m.prompt));
    }
    return verdict();
}

} // namespace

int main(int argc, char** argv)
{
    return windowBenchMain(argc, argv, "bench_paper", run);
}
