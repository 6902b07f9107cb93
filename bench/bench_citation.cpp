// bench_citation: formatted references in APA, the largest of the common styles (the newest copy
// beside the project when there is one, and the system's). The first reference of a session (the
// processor's script, the style and one paper), then a bibliography of 1,000 papers with the
// processor ready, and how long the caller's thread goes without handling its events while the
// reference service formats those 1,000 papers on its own thread.
#include "benchcommon.h"

#include "citation/data/bibliography.h"
#include "citation/data/citationservice.h"
#include "citation/data/cslstyle.h"
#include "citation/data/processor.h"
#include "db/database.h"
#include "db/dberror.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>

using namespace quirelle;
using namespace quirelle::bench;
using namespace quirelle::citation;

namespace {

constexpr int Papers = 1000;
constexpr double FirstGoalMs = 400;
constexpr double BibliographyGoalMs = 1000;
constexpr double WaitGoalMs = 50;

// APA as the newest copy of the style beside the project has it, when there is one (its sort
// keys are larger than those of the system package's older copy), else the system's.
QString benchStyle()
{
    const QString newer = QStringLiteral(QUIRELLE_SHARED_DIR "/csl-styles/apa.csl");
    return QFileInfo::exists(newer) ? QFileInfo(newer).canonicalFilePath() : QStringLiteral("apa");
}

QList<qint32> firstPapers(int count)
{
    QList<qint32> papers;
    for (qint32 id = 1; id <= count; ++id)
        papers << id;
    return papers;
}

// The first reference in a fresh processor: script, style, one paper. Also for two other
// styles, for comparison.
void firstReference(const QJsonArray& items)
{
    const QString bench = benchStyle();
    QStringList styles{bench, QStringLiteral("chicago-author-date"), QStringLiteral("ieee")};
    if (bench != u"apa")
        styles.insert(1, QStringLiteral("apa"));
    for (const QString& name : styles) {
        QString error;
        const double start = nowMs();
        const double startCpu = cpuMs();
        Processor processor;
        const auto style = loadStyle(name, &error);
        QStringList entries;
        if (style && processor.setStyle(*style, {}, &error)) {
            processor.setItems({items.first()});
            entries = processor.bibliography(idsOf({items.first()}), OutputFormat::Html, &error);
        }
        const double ms = nowMs() - start;
        const double cpu = cpuMs() - startCpu;
        if (entries.isEmpty()) {
            std::printf("%s: %s\n", qPrintable(name), qPrintable(error));
            ++missedGoals();
            continue;
        }
        const QString what =
            QStringLiteral("(a) first reference of a session, %1")
                .arg(name == bench && bench != u"apa" ? QStringLiteral("apa (newer)") : name);
        report(qPrintable(what), ms, name == bench ? FirstGoalMs : 0);
        report("    of which processor time", cpu, 0);
    }
}

void bibliography(const QJsonArray& items)
{
    QString error;
    Processor processor;
    const auto style = loadStyle(benchStyle(), &error);
    if (!style || !processor.setStyle(*style, {}, &error)) {
        std::printf("%s\n", qPrintable(error));
        ++missedGoals();
        return;
    }
    processor.setItems(items);
    const QStringList ids = idsOf(items);
    for (const OutputFormat format : {OutputFormat::Html, OutputFormat::Text}) {
        const double start = nowMs();
        const double startCpu = cpuMs();
        const QStringList entries = processor.bibliography(ids, format, &error);
        const double ms = nowMs() - start;
        const double cpu = cpuMs() - startCpu;
        const bool html = format == OutputFormat::Html;
        const QString what = QStringLiteral("(b) bibliography of %1 papers in %2 as %3")
                                 .arg(entries.size())
                                 .arg(QFileInfo(benchStyle()).completeBaseName(),
                                      html ? QStringLiteral("HTML") : "text");
        report(qPrintable(what), ms, html ? BibliographyGoalMs : 0);
        report("    of which processor time", cpu, 0);
    }
}

// The longest time the caller's event loop went without a turn while the service formatted the
// papers (as HTML, text and RTF, as for a file), from a cold start.
void waiting(const QJsonArray& items)
{
    auto& service = CitationService::instance();
    QElapsedTimer clock;
    clock.start();
    double longest = 0, last = 0;
    QTimer tick;
    tick.setInterval(5);
    QObject::connect(&tick, &QTimer::timeout, [&] {
        const double now = clock.nsecsElapsed() / 1e6;
        longest = std::max(longest, now - last);
        last = now;
    });
    QEventLoop loop;
    bool done = false;
    QObject::connect(&service, &CitationService::formatted, &loop, [&] {
        done = true;
        loop.quit();
    });
    tick.start();
    const double start = nowMs();
    service.format({benchStyle(), {}, items, false, true});
    const double requested = nowMs() - start;
    last = clock.nsecsElapsed() / 1e6;
    if (!done)
        loop.exec();
    const double total = nowMs() - start;
    report("(c) the request to the reference service", requested, 0);
    report("    the longest the caller's events waited meanwhile", longest, WaitGoalMs);
    report("    until the 1,000 entries came back, three formats", total, 0);
}

int run(const QString& projectFile)
{
    std::printf("bench_citation on %s\n\n", qPrintable(QFileInfo(projectFile).fileName()));
    if (Processor::scriptPath().isEmpty()) {
        std::printf("the reference processor is missing: scripts/install-deps fetches it\n");
        return 1;
    }
    // Export stores the papers' keys: a copy takes them.
    QTemporaryDir scratch;
    const QString copy = scratch.filePath(QStringLiteral("citation.mdb"));
    if (!QFile::copy(projectFile, copy))
        throw db::DbError(db::err::Generic, QStringLiteral("Cannot copy %1").arg(projectFile));
    auto project = db::Database::OpenDatabase(copy);
    QString error;
    const auto items = itemsOfPapers(*project, firstPapers(Papers), &error);
    if (!items || items->isEmpty()) {
        std::printf("%s\n", qPrintable(error));
        return 1;
    }
    firstReference(*items);
    bibliography(*items);
    waiting(*items);
    return verdict();
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: bench_citation <project.mdb>\n");
        return 2;
    }
    try {
        return run(QString::fromLocal8Bit(argv[1]));
    } catch (const db::DbError& e) {
        std::fprintf(stderr, "bench_citation: %s\n", qPrintable(e.description()));
        return 1;
    }
}
