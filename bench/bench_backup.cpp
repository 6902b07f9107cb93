// bench_backup: times the safety work on a large project: SQLite's quick check, a checked backup
// copy, the listing of ten copies, a restore, and how long starting the background check keeps
// the caller waiting. It works on a copy of the project file in a temporary folder, so the file
// given is never changed and the copies never land beside it.
#include "benchcommon.h"

#include "db/backgroundcheck.h"
#include "db/backups.h"

#include <QCoreApplication>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>
#include <vector>

using namespace quirelle;
using namespace quirelle::bench;

namespace {

constexpr int Runs = 5;

// Starts the check on opening with no copy yet, so that it checks and then writes one. Returns
// the time the caller was kept, and sets `total` to the time until the copy was reported.
double timedOpeningRun(const QString& project, double* total)
{
    QDir(db::backupFolder(project)).removeRecursively();
    const double start = nowMs();
    db::BackgroundCheck runner;
    runner.checkOnOpening(project);
    const double blocked = nowMs() - start;

    QEventLoop loop;
    bool written = false;
    QObject::connect(&runner, &db::BackgroundCheck::backupWritten, &loop,
                     [&written] { written = true; });
    QObject::connect(&runner, &db::BackgroundCheck::finished, &loop, &QEventLoop::quit);
    QTimer::singleShot(60000, &loop, &QEventLoop::quit);
    loop.exec();
    *total = nowMs() - start;
    if (!written)
        std::printf("  (the background run wrote no copy)\n");
    return blocked;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: bench_backup <project.mdb>\n");
        return 2;
    }
    QTemporaryDir dir;
    const QString project = dir.filePath(QStringLiteral("QuirelleXP.mdb"));
    if (!dir.isValid() || !QFile::copy(QString::fromLocal8Bit(argv[1]), project)) {
        std::fprintf(stderr, "cannot copy %s into a temporary folder\n", argv[1]);
        return 1;
    }
    std::printf("bench_backup on %s (%.1f MB)\n", argv[1],
                static_cast<double>(QFileInfo(project).size()) / 1e6);

    std::vector<double> checks;
    for (int i = 0; i < Runs; ++i) {
        const double start = nowMs();
        const db::FileCheck check = db::checkFile(project);
        checks.push_back(nowMs() - start);
        if (!check.passed())
            std::printf("  (the project failed its check: %s)\n", qPrintable(check.problems));
    }
    report("quick check of the project", median(checks), 0);

    std::vector<double> backups;
    QString lastCopy;
    for (int i = 0; i < Runs; ++i) {
        const double start = nowMs();
        const db::BackupResult result = db::writeBackup(project);
        backups.push_back(nowMs() - start);
        if (!result.written())
            std::printf("  (no copy: %s)\n", qPrintable(result.reason));
        lastCopy = result.file;
    }
    report("backup copy written, checked and renamed", median(backups), 1000);

    // Fill the folder to the ten kept copies for the listing.
    for (int i = 0; i < db::KeptBackupCopies; ++i)
        db::writeBackup(project, QDateTime::currentDateTime().addDays(-i - 1));
    std::vector<double> listings;
    for (int i = 0; i < Runs; ++i) {
        const double start = nowMs();
        const auto copies = db::listBackups(project);
        listings.push_back(nowMs() - start);
        if (copies.size() != db::KeptBackupCopies)
            std::printf("  (%d copies listed)\n", static_cast<int>(copies.size()));
    }
    report("listing of ten copies with their paper counts", median(listings), 0);

    std::vector<double> restores;
    for (int i = 0; i < Runs; ++i) {
        const QString copy = db::listBackups(project).value(1).file;
        const double start = nowMs();
        const db::RestoreResult result = db::restoreBackup(project, copy);
        restores.push_back(nowMs() - start);
        if (!result.ok)
            std::printf("  (not restored: %s)\n", qPrintable(result.reason));
    }
    report("restore of a copy, keeping the project as a copy first", median(restores), 0);

    std::vector<double> blocked;
    std::vector<double> totals;
    for (int i = 0; i < Runs; ++i) {
        double total = 0;
        blocked.push_back(timedOpeningRun(project, &total));
        totals.push_back(total);
    }
    report("caller kept by starting the check on opening", median(blocked), 5);
    report("check on opening until its copy is reported", median(totals), 0);
    return 0;
}
