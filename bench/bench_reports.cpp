// bench_reports: times the word report's "Go" for the rare word and the reading list of every
// paper on a large project file, through the real windows, and checks what they produced. With
// --compare it also writes the reading list with a query per author link row and checks that
// both give the same bytes.
#include "benchcommon.h"
#include "benchwindows.h"
#include "plainquery.h"

#include "app/frmmain.h"
#include "app/frmmenu.h"
#include "app/services.h"
#include "db/project.h"
#include "db/sharedqueries.h"
#include "reports/data/readinglistfile.h"
#include "reports/frmreport.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QListWidget>
#include <QPushButton>
#include <QTemporaryDir>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <functional>
#include <vector>

using namespace quirelle;
using namespace quirelle::bench;

namespace {

constexpr int GoRuns = 9;
constexpr int ListRuns = 5;
constexpr double GoGoalMs = 200;
constexpr double ListGoalMs = 2000;

struct Times
{
    std::vector<double> wall;
    std::vector<double> cpu;
};

double timeMs(const std::function<void()>& f, Times* times = nullptr)
{
    using namespace std::chrono;
    const double cpuStart = cpuMs();
    const auto start = steady_clock::now();
    f();
    const double wall = duration<double, std::milli>(steady_clock::now() - start).count();
    if (times) {
        times->wall.push_back(wall);
        times->cpu.push_back(cpuMs() - cpuStart);
    }
    return wall;
}

void printTimes(const char* what, const Times& runs, double goal)
{
    const auto [low, high] = std::minmax_element(runs.wall.begin(), runs.wall.end());
    const double m = median(runs.wall);
    std::printf("%s\n  median %.1f ms (min %.1f, max %.1f; processor time %.1f ms)  goal < %.0f ms"
                "  %s\n",
                what, m, *low, *high, median(runs.cpu), goal, m < goal ? "PASS" : "FAIL");
    if (m >= goal)
        ++missedGoals();
}

bool check(bool ok, const char* what)
{
    std::printf("  check: %-60s %s\n", what, ok ? "ok" : "WRONG");
    return ok;
}

// The reading list as the described method makes it: a query for each paper's author links and
// one for each link's author.
QByteArray readingListOneQueryPerLink()
{
    QByteArray out;
    db::Recordset papers;
    db::Recordset links;
    db::Recordset author;
    getAllPapers(papers);
    const int count = papers.RecordCount();
    for (int i = 1; i <= count; ++i) {
        QString authors;
        if (getPaperList(links, PaperList::Authors,
                         papers.Fields(QStringLiteral("Paper ID")).toLong())) {
            const int linkCount = links.RecordCount();
            for (int j = 1; j <= linkCount; ++j) {
                if (openQuery(author,
                              QStringLiteral("select * from [Authors] where [Author ID] = ") +
                                  links.Fields(QStringLiteral("Author ID")).text() +
                                  QStringLiteral(";"))) {
                    authors +=
                        author.Fields(QStringLiteral("SurName")).text() + QStringLiteral(", ") +
                        author.Fields(QStringLiteral("ForeNames")).text() + QStringLiteral("; ");
                }
                links.MoveNext();
            }
        }
        out += (authors + QStringLiteral(": ") + papers.Fields(QStringLiteral("Title")).text() +
                QStringLiteral(": ") + papers.Fields(QStringLiteral("Publication Name")).text() +
                QStringLiteral(": ") + papers.Fields(QStringLiteral("Year")).text() +
                QStringLiteral("\r\r\n"))
                   .toUtf8();
        papers.MoveNext();
    }
    return out;
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QStringList args = app.arguments().mid(1);
    const bool compare = args.removeAll(QStringLiteral("--compare")) > 0;
    if (args.size() != 1 || !args.front().endsWith(QStringLiteral(".mdb"))) {
        std::fprintf(stderr, "usage: bench_reports <project.mdb> [--compare]\n");
        return 2;
    }
    const QString projectFile = QFileInfo(args.front()).absoluteFilePath();
    if (!QFileInfo::exists(projectFile)) {
        std::fprintf(stderr, "%s: no such file\n", qPrintable(projectFile));
        return 2;
    }

    // The program started as the user starts it, on the large project, with message boxes
    // answered instead of shown; its settings file and the reading list go to a scratch folder.
    QTemporaryDir scratch;
    QDir::setCurrent(scratch.path());
    {
        QFile nif(QStringLiteral("support.nif"));
        if (!nif.open(QIODevice::WriteOnly))
            return 1;
        nif.write(("settings\n\"" + projectFile.chopped(4) + "\"\n").toUtf8());
    }
    services::testing::enable();
    frmMain::instance();
    QApplication::processEvents();
    if (!project().isOpen()) {
        std::fprintf(stderr, "%s could not be opened\n", qPrintable(projectFile));
        return 1;
    }
    std::printf("Project: %s\n\n", qPrintable(projectFile));

    bool allRight = true;

    // "Go" for the rare word.
    auto* reports =
        frmMenu::instance().findChild<QPushButton*>(controlName(QStringLiteral("cmdButton"), 8));
    reports->click();
    frmReport& report = frmReport::instance();
    Times goRuns;
    for (int i = 0; i < GoRuns; ++i) {
        control<QComboBox>(report, "cmbKeyword")->setEditText(QString::fromLatin1(probe::RareWord));
        timeMs([&] { control<QPushButton>(report, "cmdGo")->click(); }, &goRuns);
    }
    printTimes(R"("Go" for the word "zephyrine")", goRuns, GoGoalMs);
    {
        // The three searches it shares with the search window, each as one plain statement.
        PlainQuery plain(projectFile);
        const QString typed =
            QLatin1Char('%') + QString::fromLatin1(probe::RareWord) + QLatin1Char('%');
        const double plainCpu = plain.cpuTimeMs(GoRuns, searchSql::Title, {typed}) +
                                plain.cpuTimeMs(GoRuns, searchSql::Quotation, {typed}) +
                                plain.cpuTimeMs(GoRuns, searchSql::KeywordTyped, {typed});
        reportAgainstPlain("  against the plain statements", median(goRuns.cpu), plainCpu, 2, 3);
    }
    allRight &= check(control<QListWidget>(report, "lstByPaperTitle")->count() == probe::RareTitles,
                      "36 titles");
    allRight &=
        check(control<QListWidget>(report, "lstByQuotation")->count() == 2 * probe::RareQuotations,
              "24 quotations, each under its paper");
    allRight &=
        check(control<QListWidget>(report, "lstByKeyword")->count() == probe::RareKeywordPapers,
              "12 papers of keyword 150");
    control<QPushButton>(report, "cmdCancel")->click();

    // The reading list of every paper.
    auto* readingList =
        frmMenu::instance().findChild<QPushButton*>(controlName(QStringLiteral("cmdButton"), 7));
    Times listRuns;
    for (int i = 0; i < ListRuns; ++i)
        timeMs([&] { readingList->click(); }, &listRuns);
    std::printf("\n");
    printTimes("Reading list of every paper", listRuns, ListGoalMs);
    QFile file(QDir(scratch.path()).filePath(reports::readingListFileName));
    QByteArray written;
    if (file.open(QIODevice::ReadOnly))
        written = file.readAll();
    db::Recordset all;
    getAllPapers(all);
    const int papers = all.RecordCount();
    allRight &= check(written.count("\r\r\n") == papers, "one record per paper");
    const auto& shown = services::testing::messages();
    allRight &= check(!shown.empty() && shown.back().prompt.startsWith(QStringLiteral("A reading")),
                      "the message that says where the file is");

    if (compare) {
        QByteArray described;
        const double ms = timeMs([&] { described = readingListOneQueryPerLink(); });
        std::printf("\nThe same records with a query per author link row: %.0f ms\n", ms);
        allRight &= check(described == written, "the same bytes as the reading list");
    }

    std::printf("\n%s\n", allRight ? "All checks passed." : "Some checks FAILED.");
    project().close();
    return allRight ? verdict() : 1;
}
