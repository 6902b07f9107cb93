// bench_files: times the files of papers on a copy of the large project: linking 100 PDFs to a
// paper, attaching (copying) 100 PDFs against `cp` of the same files in the same run, and Find
// Missing Files over a folder of 50,000 files for 5,000 missing ones. The copies are compared
// at the disk's speed: each copy is timed until its files are on the disk (`sync` of them), as
// a copy in memory alone says little about the disk.
#include "benchcommon.h"

#include "db/database.h"
#include "db/dberror.h"
#include "paper/data/paperfiles.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>

#include <cstdio>
#include <vector>

using namespace quirelle;
using namespace quirelle::bench;

namespace {

constexpr int Pdfs = 100;
constexpr int Runs = 3;
constexpr double LinkGoalMs = 1000;
constexpr double CopySpeedShare = 0.8; // of cp's
constexpr int FolderFiles = 50000;
constexpr int FolderDirs = 100;
constexpr int Missing = 5000;
constexpr double FindGoalMs = 5000;

[[noreturn]] void fail(const QString& what)
{
    throw db::DbError(db::err::Generic, what);
}

void writeFile(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size())
        fail(QStringLiteral("Cannot write %1").arg(path));
}

// 100 files of 0.5 to 1.5 MB of random bytes, named like downloaded papers.
QStringList makePdfs(const QString& folder)
{
    Random random(BenchSeed);
    QDir().mkpath(folder);
    QStringList files;
    for (int i = 0; i < Pdfs; ++i) {
        QByteArray bytes(random.between(512, 1536) * 1024, Qt::Uninitialized);
        for (qsizetype at = 0; at + 8 <= bytes.size(); at += 8) {
            const quint64 n = random.next();
            std::memcpy(bytes.data() + at, &n, 8);
        }
        bytes.replace(0, 8, "%PDF-1.7");
        files << QDir(folder).filePath(QStringLiteral("paper-%1.pdf").arg(i, 3, 10, QChar(u'0')));
        writeFile(files.back(), bytes);
    }
    return files;
}

qint64 totalSize(const QStringList& files)
{
    qint64 size = 0;
    for (const QString& f : files)
        size += QFileInfo(f).size();
    return size;
}

// Adds the files to the paper as the Files tab does with files dropped on the window.
double addAll(db::Database& database, const paper::FileFolders& folders, qint32 paper,
              const QStringList& files, paper::FileKind kind)
{
    const double start = nowMs();
    const paper::AddedFiles added = paper::addPaperFiles(database, folders, paper, files, kind);
    const double ms = nowMs() - start;
    if (added.added.size() != static_cast<size_t>(files.size()))
        fail(QStringLiteral("Only %1 files were added").arg(added.added.size()));
    return ms;
}

void runTool(const QString& program, const QStringList& arguments)
{
    QProcess tool;
    tool.start(program, arguments);
    if (!tool.waitForFinished(600000) || tool.exitCode() != 0)
        fail(QStringLiteral("%1 failed").arg(program));
}

// The files of a folder, to sync them.
QStringList filesIn(const QString& folder)
{
    QStringList files;
    for (const QString& name : QDir(folder).entryList(QDir::Files))
        files << QDir(folder).filePath(name);
    return files;
}

struct CopyTimes
{
    double inMemory = 0; // the copy returned
    double onDisk = 0;   // and its files synced
};

// A folder of 50,000 small files in 100 subfolders; the rows of 5,000 of them stored where they
// no longer are, with their size and hash, on papers 1 to 5,000.
void makeMissing(db::Database& database, const paper::FileFolders& folders, const QString& root)
{
    Random random(BenchSeed + 1);
    db::Transaction t(database);
    paper::FileRows rows(database, folders);
    const QString gone = QDir(folders.project).filePath(QStringLiteral("gone"));
    QDir().mkpath(gone);
    for (int i = 0; i < FolderFiles; ++i) {
        const QString dir = QStringLiteral("%1/d%2").arg(root).arg(i % FolderDirs);
        if (i < FolderDirs)
            QDir().mkpath(dir);
        QByteArray bytes = QStringLiteral("file %1 ").arg(i).toUtf8();
        bytes += QByteArray(random.between(100, 4000), 'x');
        const QString name = QStringLiteral("f%1.pdf").arg(i);
        writeFile(dir + QLatin1Char('/') + name, bytes);
        if (i % (FolderFiles / Missing) != 0)
            continue;
        // The row as it was when the file was where it is no longer: written there, stored,
        // then taken away.
        const QString old = gone + QLatin1Char('/') + name;
        writeFile(old, bytes);
        rows.add(i / (FolderFiles / Missing) + 1, old, paper::FileKind::Linked,
                 QString::fromLatin1(
                     QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex()));
        QFile::remove(old);
    }
    t.commit();
}

int run(const QString& projectFile)
{
    QTemporaryDir scratch;
    std::printf("bench_files on %s\n\n", qPrintable(QFileInfo(projectFile).fileName()));
    const QString copy = scratch.filePath(QStringLiteral("bench.mdb"));
    if (!QFile::copy(projectFile, copy))
        fail(QStringLiteral("Cannot copy %1").arg(projectFile));
    auto database = db::Database::OpenDatabase(copy);
    paper::ensurePaperFilesTable(*database);
    const paper::FileFolders folders(copy);

    const QStringList pdfs = makePdfs(scratch.filePath(QStringLiteral("downloads")));
    const qint64 bytes = totalSize(pdfs);
    std::printf("%d PDFs, %.1f MB\n\n", Pdfs, bytes / 1e6);

    // (a) Linking: the files stay where they are; each is read once for its hash.
    std::vector<double> linkMs;
    for (int r = 0; r < Runs; ++r)
        linkMs.push_back(addAll(*database, folders, 100 + r, pdfs, paper::FileKind::Linked));
    report("(a) linking 100 PDFs to a paper (median)", median(linkMs), LinkGoalMs);

    // (b) Attaching copies, against cp of the same files, taken in turns.
    std::vector<double> cpMemory, cpDisk, attachMemory, attachDisk;
    runTool(QStringLiteral("sync"), {});
    for (int r = 0; r < Runs; ++r) {
        const QString target = scratch.filePath(QStringLiteral("cp%1").arg(r));
        QDir().mkpath(target);
        double start = nowMs();
        runTool(QStringLiteral("cp"), QStringList(pdfs) << target);
        cpMemory.push_back(nowMs() - start);
        runTool(QStringLiteral("sync"), filesIn(target));
        cpDisk.push_back(nowMs() - start);

        start = nowMs();
        addAll(*database, folders, 200 + r, pdfs, paper::FileKind::Attached);
        attachMemory.push_back(nowMs() - start);
        runTool(QStringLiteral("sync"), filesIn(folders.attached));
        attachDisk.push_back(nowMs() - start);
        QDir(target).removeRecursively();
        QDir(folders.attached).removeRecursively();
    }
    const auto speed = [bytes](double ms) { return bytes / 1e3 / ms; };
    std::printf("MB/s        in memory   on disk\n");
    std::printf("cp          %9.0f %9.0f\n", speed(median(cpMemory)), speed(median(cpDisk)));
    std::printf("attaching   %9.0f %9.0f  (%.0f%% of cp's on disk)\n", speed(median(attachMemory)),
                speed(median(attachDisk)), 100 * median(cpDisk) / median(attachDisk));
    report("(b) attaching 100 PDFs until on disk (goal: cp's time / 0.8)", median(attachDisk),
           median(cpDisk) / CopySpeedShare);

    // (c) Find Missing Files.
    const QString folder = scratch.filePath(QStringLiteral("moved"));
    makeMissing(*database, folders, folder);
    const double start = nowMs();
    const paper::MissingSearch found = paper::findMissingFiles(
        *database, folders, folder, [](qsizetype, qsizetype) { return true; });
    const double findMs = nowMs() - start;
    std::printf("found %d, still missing %d\n", found.found, found.missing);
    if (found.found != Missing)
        ++missedGoals();
    report("(c) Find Missing Files: 50,000 files, 5,000 missing", findMs, FindGoalMs);
    return verdict();
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: bench_files <project.mdb>\n");
        return 2;
    }
    try {
        return run(QString::fromLocal8Bit(argv[1]));
    } catch (const db::DbError& e) {
        std::fprintf(stderr, "bench_files: %s\n", qPrintable(e.description()));
        return 1;
    }
}
