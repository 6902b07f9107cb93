// Backup copies: names, rotation, listing, when due, damaged files refused, copies that cannot be
// written, restoring, and the background runner's reports; a project's rows replaced in place, and
// the copies of a shared project.
#include "db/backgroundcheck.h"
#include "db/backups.h"
#include "db/projectcopy.h"
#include "dbtestsupport.h"

#include <QDeadlineTimer>
#include <QProcess>
#include <QSignalSpy>
#include <QThread>
#include <QUrl>

#include <unistd.h>

using namespace quirelle;
using namespace quirelle::db;

namespace {

const QDateTime Noon(QDate(2026, 12, 6), QTime(12, 0));

void addPapers(const QString& file, int papers)
{
    auto project = Database::OpenDatabase(file);
    Transaction t(*project);
    for (int i = 0; i < papers; ++i)
        test::addRow(*project, "Papers",
                     {{"Title", QStringLiteral("Paper %1").arg(i)},
                      {"Summary", QStringLiteral("A summary that fills pages. ").repeated(40)}});
    t.commit();
}

// "<folder>/<name>.mdb" with `papers` papers, closed again.
QString makeProject(const QTemporaryDir& dir, int papers, const QString& name = "QuirelleXP")
{
    createProjectFile(dir.filePath(name));
    addPapers(dir.filePath(name + ".mdb"), papers);
    return dir.filePath(name + ".mdb");
}

int papersIn(const QString& file)
{
    return test::countRows(*Database::OpenDatabase(file, true), "Papers");
}

// Overwrites whole pages past the first, so the header still says "SQLite".
void damage(const QString& file)
{
    QFile f(file);
    QVERIFY(f.open(QIODevice::ReadWrite));
    f.seek(4096);
    f.write(QByteArray(3 * 4096, '\xa5'));
}

QStringList filesIn(const QString& folder)
{
    return QDir(folder).entryList(QDir::Files | QDir::Hidden, QDir::Name);
}

// Waits, without running the event loop, until a partial copy of `project` is being written;
// false when none came within 30 s.
bool copyUnderWay(const QString& project)
{
    for (QDeadlineTimer deadline(30000); !deadline.hasExpired(); QThread::usleep(200)) {
        if (!filesIn(backupFolder(project)).filter(".partial").isEmpty())
            return true;
    }
    return false;
}

// Waits for the runner to report the end of its run on `project`.
void waitForRun(BackgroundCheck& runner, const QString& project)
{
    QSignalSpy finished(&runner, &BackgroundCheck::finished);
    QTRY_VERIFY_WITH_TIMEOUT(!finished.isEmpty(), 30000);
    QCOMPARE(finished.last().value(0).toString(), project);
}

} // namespace

class TstBackups : public QObject
{
    Q_OBJECT

private slots:
    void namesRotationListingAndWhenDue()
    {
        QTemporaryDir dir;
        const QString project = makeProject(dir, 1);
        makeProject(dir, 1, "QuirelleXP 2");
        const QDateTime at(QDate(2026, 12, 6), QTime(14, 5, 40));
        // Another project's copies, though their names begin alike, are not this one's.
        QVERIFY(writeBackup(dir.filePath("QuirelleXP 2.mdb"), at).written());
        QVERIFY(backupDue(project, at));
        for (const QDateTime& when : {at.addSecs(-33), at, at})
            QVERIFY(writeBackup(project, when).written());
        // Due a day after the newest copy, or when it is ahead of the clock.
        QVERIFY(!backupDue(project, at.addSecs(23 * 3600)));
        QVERIFY(backupDue(project, at.addSecs(25 * 3600)));
        QVERIFY(backupDue(project, at.addDays(-2)));
        QCOMPARE(test::backupNames(project), QStringList({"QuirelleXP 2026-12-06 140540-2.mdb",
                                                          "QuirelleXP 2026-12-06 140540.mdb",
                                                          "QuirelleXP 2026-12-06 1405.mdb"}));
        // Written out of order, while the program has the project open: the names, not the
        // order of writing, decide which go.
        addPapers(project, 2);
        auto open = Database::OpenDatabase(project);
        QFile(backupFolder(project) + "/notes.txt").open(QIODevice::WriteOnly);
        for (int day : {3, 12, 1, 7, 9, 2, 11, 5, 4, 10, 8, 6})
            QVERIFY(writeBackup(project, Noon.addDays(-day)).written());
        const QList<BackupCopy> kept = listBackups(project);
        QCOMPARE(kept.size(), KeptBackupCopies);
        QCOMPARE(kept.first().taken, at);
        QCOMPARE(kept.first().papers, 1);
        QCOMPARE(kept.last().taken, Noon.addDays(-7));
        QCOMPARE(kept.last().papers, 3);
        QCOMPARE(kept.last().size, QFileInfo(project).size());
        const QStringList files = filesIn(backupFolder(project));
        QVERIFY(files.contains("notes.txt"));
        QVERIFY(files.contains("QuirelleXP 2 2026-12-06 1405.mdb"));
        QCOMPARE(files.filter(".partial").size(), 0);
        // A copy that cannot be read is listed all the same.
        QFile(backupFolder(project) + "/QuirelleXP 2026-12-07 0900.mdb").open(QIODevice::WriteOnly);
        QCOMPARE(listBackups(project).first().papers, -1);
        QCOMPARE(checkFile(dir.filePath("missing.mdb")).result, FileCheck::Result::NotChecked);
    }

    // No copy is kept of a damaged project, nor where none can be written; the reason says
    // which. The row's name is the obstacle.
    void copyRefused_data()
    {
        QTest::addColumn<QString>("reason");
        QTest::newRow("pages overwritten") << "failed its check";
        QTest::newRow("cut short") << "failed its check";
        QTest::newRow("emptied") << "failed its check";
        QTest::newRow("a file named Backups") << "a file of that name is in the way";
        QTest::newRow("read-only Backups folder") << "cannot be written to";
        QTest::newRow("full disk") << "the disk is full";
    }
    void copyRefused()
    {
        const QString obstacle = QTest::currentDataTag();
        QFETCH(QString, reason);
        QTemporaryDir dir;
        const QString project = makeProject(dir, 60);
        const QString folder = backupFolder(project);
        const bool damaged = reason == "failed its check";
        if (obstacle == "pages overwritten") {
            damage(project);
        } else if (damaged) {
            QFile::resize(project, obstacle == "cut short" ? QFileInfo(project).size() / 2 : 0);
        } else if (obstacle == "a file named Backups") {
            QFile(folder).open(QIODevice::WriteOnly);
        } else if (obstacle == "read-only Backups folder") {
            if (geteuid() == 0)
                QSKIP("root writes into read-only folders");
            QDir().mkpath(folder);
            QFile::setPermissions(folder, QFile::ReadOwner | QFile::ExeOwner);
        } else {
            // Mounting needs root.
            if (geteuid() != 0 || !QDir().mkpath(folder) ||
                QProcess::execute("mount", {"-t", "tmpfs", "-o", "size=64k", "tmpfs", folder}) != 0)
                QSKIP("cannot mount a small disk here");
        }
        const BackupResult result = writeBackup(project, Noon);
        const QStringList left = QFileInfo(folder).isDir() ? filesIn(folder) : QStringList();
        if (obstacle == "full disk")
            QProcess::execute("umount", {folder});
        QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        QCOMPARE(result.status,
                 damaged ? BackupResult::Status::ProjectDamaged : BackupResult::Status::Failed);
        QVERIFY2(result.reason.contains(reason), qPrintable(result.reason));
        QCOMPARE(left, QStringList());
        const FileCheck check = checkFile(project);
        QCOMPARE(check.result, damaged ? FileCheck::Result::Damaged : FileCheck::Result::Passed);
        QVERIFY(!damaged || !check.problems.isEmpty());
    }

    // A restore keeps the project as it was as a copy first, and can be undone; a damaged
    // project is replaced by its newest good copy and kept aside.
    void restoreAndReplace()
    {
        QTemporaryDir dir;
        const QString project = makeProject(dir, 3);
        // The chosen copy is the oldest of ten: keeping the current project as an eleventh
        // copy must not rotate it away before it is in place.
        QVERIFY(writeBackup(project, Noon.addDays(-20)).written());
        addPapers(project, 2);
        for (int day = 1; day < KeptBackupCopies; ++day)
            QVERIFY(writeBackup(project, Noon.addDays(-day)).written());
        const RestoreResult result = restoreBackup(project, listBackups(project).last().file, Noon);
        QVERIFY2(result.ok, qPrintable(result.reason));
        QCOMPARE(papersIn(project), 3);
        QCOMPARE(result.keptAs, listBackups(project).first().file);
        QCOMPARE(papersIn(result.keptAs), 5);
        QCOMPARE(filesIn(dir.path()), QStringList({"QuirelleXP.mdb"}));
        // The restore undone from the copy it kept.
        QVERIFY(restoreBackup(project, result.keptAs, Noon.addSecs(60)).ok);
        QCOMPARE(papersIn(project), 5);
        // Refused: a damaged copy, or a project with a journal beside it.
        const QByteArray before = test::readFile(project);
        const QString damagedCopy = listBackups(project).last().file;
        damage(damagedCopy);
        QVERIFY(!restoreBackup(project, damagedCopy, Noon).ok);
        QFile(project + "-journal").open(QIODevice::WriteOnly);
        QVERIFY(!restoreBackup(project, result.keptAs, Noon).ok);
        QCOMPARE(test::readFile(project), before);
        // The project damaged, and its newest copy too: the next copy takes its place.
        damage(listBackups(project).first().file);
        QFile::copy(damagedCopy, project + ".damaged"); // a name already taken
        damage(project);
        const QByteArray damaged = test::readFile(project);
        test::writeFile(project + "-journal", "journal of the damaged file");
        const RestoreResult replaced = replaceDamagedProject(project);
        QVERIFY2(replaced.ok, qPrintable(replaced.reason));
        QCOMPARE(replaced.restoredFrom, listBackups(project)[1].file);
        QCOMPARE(replaced.keptAs, project + ".damaged.2");
        QCOMPARE(test::readFile(replaced.keptAs), damaged);
        QCOMPARE(test::readFile(replaced.keptAs + "-journal"),
                 QByteArray("journal of the damaged file"));
        QVERIFY(!QFile::exists(project + "-journal"));
        QCOMPARE(papersIn(project), 5);
        // With no good copy left, nothing is replaced.
        for (const BackupCopy& copy : listBackups(project))
            damage(copy.file);
        const QByteArray restored = test::readFile(project);
        QVERIFY(!replaceDamagedProject(project).ok);
        QCOMPARE(test::readFile(project), restored);
    }

    // A restore into a database whose tables stay (a shared project's): its rows are replaced by
    // the copy's, every table the same after; a row refused leaves every row as it was.
    void rowsReplaced()
    {
        QTemporaryDir dir;
        const QString copy = makeProject(dir, 2, "Copy");
        const QString target = makeProject(dir, 5, "Target");
        test::addRow(*Database::OpenDatabase(target), "Master", {{"ToDos", "target's notes"}});
        QCOMPARE(copyProject(copy, target, CopyMode::IntoEmpty).reason,
                 target + " already holds a project; a project is only copied into an empty one.");
        QCOMPARE(test::sqliteShell(target, "create trigger refuse before insert on Papers "
                                           "when new.Title = 'Paper 1' begin "
                                           "select raise(abort, 'refused'); end;"),
                 QString());
        const CopyResult refused = copyProject(copy, target, CopyMode::ReplaceRows);
        QVERIFY(!refused.ok);
        QVERIFY2(refused.reason.contains("refused"), qPrintable(refused.reason));
        QCOMPARE(papersIn(target), 5);
        test::sqliteShell(target, "drop trigger refuse;");
        const CopyResult replaced = copyProject(copy, target, CopyMode::ReplaceRows);
        QVERIFY2(replaced.ok, qPrintable(replaced.reason));
        auto source = Database::OpenDatabase(copy, true);
        auto result = Database::OpenDatabase(target, true);
        QCOMPARE(replaced.tables.size(), projectTables().size() + addedTables().size());
        for (const TableSummary& t : replaced.tables) {
            if (!t.table.startsWith("Full Text"))
                QCOMPARE(summarizeTable(*result, t.table), summarizeTable(*source, t.table));
        }
        QCOMPARE(summarizeTable(*result, "Papers").rows, 2);
        QCOMPARE(test::countRows(*result, "Master"), 0);
    }

    // A shared project's copies are named after its database and server, beside the settings
    // file; a server that cannot be reached leaves no copy (nor a part of one) and no password
    // in what is said, and nothing is restored into it.
    void sharedCopiesNotWritten()
    {
        QTemporaryDir dir;
        const QString address = "postgresql://member:s3cret@/lit%20review?host=" +
                                QUrl::toPercentEncoding(dir.filePath("no server"));
        const QString standIn = sharedProjectStandIn(address, dir.path());
        QCOMPARE(QFileInfo(standIn).fileName(),
                 "lit_review@" + dir.filePath("no server").replace('/', '_').replace(' ', '_') +
                     ".mdb");
        QCOMPARE(QFileInfo(standIn).absolutePath(), dir.path());
        QCOMPARE(sharedProjectStandIn("postgresql://a@lab.example:5433/review", dir.path()),
                 dir.filePath("review@lab.example.mdb"));
        const BackupResult backup = writeSharedBackup(address, standIn, Noon);
        QCOMPARE(backup.status, BackupResult::Status::Failed);
        QVERIFY(!backup.reason.isEmpty() && !backup.reason.contains("s3cret"));
        QCOMPARE(filesIn(backupFolder(standIn)), QStringList());
        BackgroundCheck runner;
        QSignalSpy failed(&runner, &BackgroundCheck::backupFailed);
        runner.backUpSharedNow(address, standIn);
        waitForRun(runner, standIn);
        QCOMPARE(failed.size(), 1);
        QCOMPARE(failed.first().value(0).toString(), standIn);
        const QString copy = makeProject(dir, 2, "Copy");
        const RestoreResult restored = restoreSharedBackup(address, standIn, copy, Noon);
        QVERIFY(!restored.ok);
        QVERIFY(!restored.reason.contains("s3cret"));
        damage(copy);
        QVERIFY(restoreSharedBackup(address, standIn, copy, Noon)
                    .reason.startsWith("The backup copy '" + copy + "' cannot be restored"));
        QCOMPARE(filesIn(backupFolder(standIn)), QStringList());
    }

    void runnerReports()
    {
        QTemporaryDir dir;
        const QString project = makeProject(dir, 3);
        BackgroundCheck runner;
        QSignalSpy passed(&runner, &BackgroundCheck::checkPassed);
        QSignalSpy written(&runner, &BackgroundCheck::backupWritten);
        QSignalSpy failed(&runner, &BackgroundCheck::checkFailed);
        // Started again at once for another project: the first run's reports are not wanted.
        runner.checkOnOpening(makeProject(dir, 300, "Other"));
        runner.checkOnOpening(project); // no copy yet: checked, then copied
        QVERIFY(runner.isBusy());
        waitForRun(runner, project);
        QCOMPARE(passed.size(), 1);
        QCOMPARE(written.size(), 1);
        QCOMPARE(written.first().value(1).toString(), listBackups(project).first().file);
        runner.checkOnOpening(project); // a copy of today: checked only
        waitForRun(runner, project);
        QCOMPARE(passed.size(), 2);
        QCOMPARE(written.size(), 1);
        runner.backUpNow(project);
        waitForRun(runner, project);
        QCOMPARE(written.size(), 2);
        QVERIFY(!runner.isBusy());
        damage(project);
        runner.checkOnOpening(project);
        waitForRun(runner, project);
        QCOMPARE(failed.size(), 1);
        QVERIFY(!failed.first().value(1).toString().isEmpty());
        QCOMPARE(written.size(), 2);
        {
            BackgroundCheck destroyedWhileRunning;
            destroyedWhileRunning.backUpNow(dir.filePath("Other.mdb"));
        }
        QCOMPARE(filesIn(backupFolder(project)).filter(".partial"), QStringList());
    }

    // A copy of a largish project is made in steps: a save made meanwhile is stored at once (not
    // refused as "in use", nor kept waiting for the whole copy), and the copy starts over to hold
    // it. Cancelling waits until the runner has let go of the file and removed its partial copy.
    void savedDuringACopyAndCancelled()
    {
        QTemporaryDir dir;
        const QString project = makeProject(dir, 0);
        constexpr int papers = 20000; // 40 MB
        {
            auto db = Database::OpenDatabase(project);
            Transaction t(*db);
            RowWriter writer(*db, "Papers", {"Title", "Summary"});
            for (int i = 0; i < papers; ++i)
                writer.add({QStringLiteral("Paper %1").arg(i), QString(2000, QLatin1Char('s'))});
            t.commit();
        }
        BackupResult copy;
        std::unique_ptr<QThread> backup(
            QThread::create([&] { copy = writeBackup(project, Noon); }));
        backup->start();
        QVERIFY(copyUnderWay(project));
        {
            auto db = Database::OpenDatabase(project);
            Transaction t(*db);
            test::addRow(*db, "Papers", {{"Title", "Saved during the copy"}});
            t.commit(); // throws when refused
        }
        QVERIFY(backup->wait(60000));
        QVERIFY2(copy.written(), qPrintable(copy.reason));
        QCOMPARE(papersIn(copy.file), papers + 1);

        BackgroundCheck runner;
        runner.backUpNow(project);
        QVERIFY(copyUnderWay(project));
        runner.cancel();
        QCOMPARE(filesIn(backupFolder(project)), QStringList({QFileInfo(copy.file).fileName()}));
    }
};

QTEST_GUILESS_MAIN(TstBackups)
#include "tst_backups.moc"
