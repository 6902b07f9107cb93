// bench_interchange: times the import of a 10,000-entry and a 7,000-entry (3 MB) BibTeX file into a
// copy of the large project (duplicate detection on) and the export of every paper with its
// authors, keywords and extra fields to each format, and compares the memory an import takes on the
// large project with what the same import takes on an empty one. Times are the processor time of
// the thread that imports or exports, which a busy machine changes less than the clock.
#include "benchcommon.h"

#include "db/database.h"
#include "db/dberror.h"
#include "db/recordset.h"
#include "db/schema.h"
#include "interchange/data/exporter.h"
#include "interchange/data/extrafields.h"
#include "interchange/data/importer.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

using namespace quirelle;
using namespace quirelle::bench;
using namespace quirelle::interchange;

namespace {

constexpr int Entries = 10000;
constexpr int SmallEntries = 7000; // with short abstracts: a file of about 3 MB
constexpr int ImportRuns = 3;
constexpr int ExportRuns = 3;
constexpr double ImportGoalMs = 3000;
constexpr double SmallImportGoalMs = 1500;
constexpr double ExportGoalMs = 2000;

long statusKiB(const char* field)
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind(field, 0) == 0)
            return std::stol(line.substr(std::string(field).size()));
    }
    return -1;
}

// A file of entries like a reference manager's: authors and keywords from pools (so that many
// repeat, within the file and against the project), a twentieth of them copies of papers the
// project has (title, year and first author), each with a DOI, pages and an abstract.
QString makeBib(db::Database& project, int entries, int abstractLength)
{
    Random random(BenchSeed);
    struct Known
    {
        QString title, year, author;
    };
    std::vector<Known> projectPapers; // papers the file repeats, with their first author
    {
        db::Recordset rs =
            project.OpenRecordset(QStringLiteral("select * from [Papers] where [Paper ID] < 600;"));
        for (int i = 0; i < rs.RecordCount(); ++i) {
            rs.setAbsolutePosition(i);
            const QString id = rs.Fields(QStringLiteral("Paper ID")).text();
            db::Recordset links = project.OpenRecordset(
                QStringLiteral("select * from [Paper Authors List] where [Paper ID] = '%1';")
                    .arg(id));
            if (links.RecordCount() == 0)
                continue;
            db::Recordset author = project.OpenRecordset(
                QStringLiteral("select * from [Authors] where [Author ID] = %1;")
                    .arg(links.Fields(QStringLiteral("Author ID")).text()));
            projectPapers.push_back({rs.Fields(QStringLiteral("Title")).text(),
                                     rs.Fields(QStringLiteral("Year")).text(),
                                     QStringLiteral("{%1}, {%2}")
                                         .arg(author.Fields(QStringLiteral("Surname")).text(),
                                              author.Fields(QStringLiteral("Forenames")).text())});
        }
    }
    const char* const surnames[] = {"Wendrake", "Müller",   "O'Brien", "Łukasiewicz", "van Dijk",
                                    "Okafor",   "Nakamura", "Dubois",  "Haddad",      "Silva"};
    const char* const words[] = {"tidal", "orbital",  "resonance", "lunar", "drift",    "coastal",
                                 "model", "harmonic", "surge",     "basin", "Zephyrine"};
    QString bib;
    bib.reserve(entries * (400 + abstractLength));
    for (int i = 0; i < entries; ++i) {
        QString title, year = QString::number(random.between(1950, 2023));
        QStringList authors;
        if (i % 20 == 0 && !projectPapers.empty()) {
            const Known& known = projectPapers[static_cast<size_t>(
                random.below(static_cast<int>(projectPapers.size())))];
            title = known.title;
            year = known.year;
            authors << known.author;
        } else {
            for (int w = 0; w < 6; ++w)
                title += QString::fromUtf8(random.pick(words)) + QLatin1Char(' ');
            title += QString::number(i);
        }
        for (int a = random.between(authors.isEmpty() ? 1 : 0, 3); a > 0; --a) {
            authors << QStringLiteral("%1%2, %3. %4.")
                           .arg(QString::fromUtf8(random.pick(surnames)))
                           .arg(random.below(300))
                           .arg(QChar(u'A' + random.below(26)))
                           .arg(QChar(u'A' + random.below(26)));
        }
        QStringList keywords;
        for (int k = random.between(1, 4); k > 0; --k)
            keywords << QStringLiteral("topic %1").arg(random.below(800));
        bib += QStringLiteral("@article{key%1,\n  author = {%2},\n  title = {%3},\n"
                              "  journal = {Journal of %4 Studies},\n  year = %5,\n"
                              "  volume = %6, number = %7, pages = {%8--%9},\n"
                              "  doi = {10.5555/bench.%1},\n  keywords = {%10},\n"
                              "  abstract = {%11}\n}\n\n")
                   .arg(i)
                   .arg(authors.join(QStringLiteral(" and ")), title,
                        QString::fromUtf8(random.pick(words)), year)
                   .arg(random.between(1, 90))
                   .arg(random.between(1, 12))
                   .arg(random.between(1, 500))
                   .arg(random.between(501, 900))
                   .arg(keywords.join(QStringLiteral(", ")),
                        QString(abstractLength, QChar(u'a' + random.below(26))));
    }
    return bib;
}

// Gives every paper a few extra fields, as an import would have left them.
void addExtraFields(db::Database& project)
{
    db::Transaction t(project);
    db::Recordset rs = project.OpenRecordset(
        QStringLiteral("select * from [Paper Extra Fields] where [Paper ID] = '0';"));
    db::Recordset papers = project.OpenRecordset(QStringLiteral("select * from [Papers];"));
    for (int i = 0; i < papers.RecordCount(); ++i) {
        papers.setAbsolutePosition(i);
        const QString id = papers.Fields(QStringLiteral("Paper ID")).text();
        const std::pair<const char*, QString> fields[] = {
            {"volume", QString::number(i % 90)},
            {"pages", QStringLiteral("%1--%2").arg(i % 400).arg(i % 400 + 12)},
            {"doi", QStringLiteral("10.5555/generated.%1").arg(id)}};
        for (const auto& [name, value] : fields) {
            rs.AddNew();
            rs.Fields(QStringLiteral("Paper ID")) = id;
            rs.Fields(QStringLiteral("Field Name")) = QString::fromLatin1(name);
            rs.Fields(QStringLiteral("Value")) = value;
            rs.Update();
        }
    }
    t.commit();
}

// Runs this program again to import `bib` into `project` and returns how far its resident
// memory rose above what it was before the import.
long importPeakKiB(const QString& project, const QString& bib)
{
    QProcess child;
    child.start(QCoreApplication::applicationFilePath(),
                {QStringLiteral("--import-memory"), project, bib});
    child.waitForFinished(600000);
    return QString::fromLatin1(child.readAllStandardOutput()).trimmed().toLong();
}

// In the child: the import, and the rise of the peak resident memory it caused.
int importMemory(const QString& project, const QString& bib)
{
    auto database = db::Database::OpenDatabase(project);
    ensureExtraFieldsTable(*database);
    const long before = statusKiB("VmRSS:");
    importFile(*database, bib, Format::BibTeX);
    std::printf("%ld\n", statusKiB("VmHWM:") - before);
    return 0;
}

QString writeBib(const QTemporaryDir& dir, const QString& name, const QString& text)
{
    const QString path = dir.filePath(name);
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(text.toUtf8()) < 0)
        throw db::DbError(db::err::Generic, QStringLiteral("Cannot write the entries"));
    return path;
}

QString copyOf(const QString& source, const QTemporaryDir& dir, const QString& name)
{
    const QString target = dir.filePath(name);
    QFile::remove(target);
    if (!QFile::copy(source, target))
        throw db::DbError(db::err::Generic, QStringLiteral("Cannot copy %1").arg(source));
    return target;
}

int run(const QString& projectFile)
{
    QTemporaryDir scratch;
    std::printf("bench_interchange on %s\n\n", qPrintable(QFileInfo(projectFile).fileName()));

    QString bib, smallBib;
    {
        auto project = db::Database::OpenDatabase(projectFile, true);
        bib = makeBib(*project, Entries, 300);
        smallBib = makeBib(*project, SmallEntries, 100);
    }
    const QString bibFile = writeBib(scratch, QStringLiteral("entries.bib"), bib);
    const QString smallBibFile = writeBib(scratch, QStringLiteral("small.bib"), smallBib);

    // (a) Import into a fresh copy of the project, each run.
    const auto timeImport = [&](const QString& file, int entries, double goalMs) {
        std::printf("%d entries, %.1f MB of BibTeX\n", entries, QFileInfo(file).size() / 1e6);
        std::vector<double> importMs;
        ImportSummary summary;
        for (int r = 0; r < ImportRuns; ++r) {
            const QString copy = copyOf(projectFile, scratch, QStringLiteral("import.mdb"));
            auto project = db::Database::OpenDatabase(copy);
            ensureExtraFieldsTable(*project);
            const double start = cpuMs();
            summary = importFile(*project, file, Format::BibTeX);
            importMs.push_back(cpuMs() - start);
        }
        std::printf("%s\n", qPrintable(summaryText(summary).section(QLatin1Char('\n'), 0, 3)));
        report(qPrintable(QStringLiteral("(a) import of %L1 BibTeX entries (duplicates checked)")
                              .arg(entries)),
               median(importMs), goalMs);
        std::printf("\n");
    };
    timeImport(bibFile, Entries, ImportGoalMs);
    timeImport(smallBibFile, SmallEntries, SmallImportGoalMs);

    // (b) The memory an import takes, each in a process of its own: into the large project,
    // and into an empty one, where it is the entries' share alone.
    const QString memoryCopy = copyOf(projectFile, scratch, QStringLiteral("memory.mdb"));
    const QString empty = scratch.filePath(QStringLiteral("empty"));
    db::createProjectFile(empty);
    const long largeGrowth = importPeakKiB(memoryCopy, bibFile);
    const long emptyGrowth = importPeakKiB(empty + QStringLiteral(".mdb"), bibFile);
    const double allowedKiB = emptyGrowth * 1.25 + 16 * 1024;
    std::printf("(b) peak memory of the import: %.1f MiB into the large project, %.1f MiB into "
                "an empty one  %s\n",
                largeGrowth / 1024.0, emptyGrowth / 1024.0,
                largeGrowth > 0 && largeGrowth < allowedKiB ? "PASS" : "FAIL");

    // (c) Export of every paper, with extra fields on each, to each format.
    const QString copy = copyOf(projectFile, scratch, QStringLiteral("export.mdb"));
    auto project = db::Database::OpenDatabase(copy);
    ensureExtraFieldsTable(*project);
    addExtraFields(*project);
    QByteArray text;
    // The first export stores the keys it gives out, as the program's own export does.
    exportText(*project, {Format::BibTeX, {}, true}, text);
    for (const Format format : {Format::BibTeX, Format::Ris, Format::CslJson}) {
        std::vector<double> ms;
        ExportResult result;
        for (int r = 0; r < ExportRuns; ++r) {
            const double start = cpuMs();
            result = exportText(*project, {format, {}}, text);
            ms.push_back(cpuMs() - start);
        }
        const QString what = QStringLiteral("(c) export of %1 papers to %2 (%3 MB)")
                                 .arg(result.papers)
                                 .arg(formatName(format))
                                 .arg(text.size() / 1e6, 0, 'f', 1);
        report(qPrintable(what), median(ms), ExportGoalMs);
    }
    return verdict();
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    if (argc == 4 && QByteArray(argv[1]) == "--import-memory")
        return importMemory(QString::fromLocal8Bit(argv[2]), QString::fromLocal8Bit(argv[3]));
    if (argc != 2) {
        std::fprintf(stderr, "usage: bench_interchange <project.mdb>\n");
        return 2;
    }
    try {
        return run(QString::fromLocal8Bit(argv[1]));
    } catch (const db::DbError& e) {
        std::fprintf(stderr, "bench_interchange: %s\n", qPrintable(e.description()));
        return 1;
    }
}
