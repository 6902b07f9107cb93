// Backup copies of a project file, kept in the folder "Backups" beside it: checking a file,
// writing a checked copy, listing the copies and deciding when the next is due, and putting a
// copy back in the project's place. A project shared on a server is copied into project files
// the same way, named as the copies of a stand-in file (sharedProjectStandIn). Plain functions;
// nothing here throws.
#pragma once

#include <QDateTime>
#include <QList>
#include <QString>

#include <atomic>

namespace quirelle::db {

inline constexpr int KeptBackupCopies = 10;

// Set from another thread to stop a check or a copy early.
using CancelFlag = std::atomic<bool>;

struct FileCheck
{
    enum class Result {
        Passed,
        Damaged,   // the file is not a database, or SQLite's quick check found faults
        NotChecked // the file could not be read now (missing, in use, unfinished changes, ...)
    };
    Result result = Result::NotChecked;
    QString problems; // what is wrong or why there was no check, one item a line

    bool passed() const { return result == Result::Passed; }
};

// One copy in the Backups folder.
struct BackupCopy
{
    QString file; // absolute path
    QDateTime taken;
    qint64 size = 0;
    int papers = -1; // rows of [Papers]; -1 when the copy cannot be read
};

struct BackupResult
{
    enum class Status {
        Written,
        ProjectDamaged, // the project failed its check, so no copy was kept
        Failed,         // the copy could not be written; `reason` says why
        Cancelled
    };
    Status status = Status::Failed;
    QString file;   // the copy, when written
    QString reason; // for the user, when not written

    bool written() const { return status == Status::Written; }
};

struct RestoreResult
{
    bool ok = false;
    QString reason;       // for the user, when not restored
    QString restoredFrom; // the backup copy now in the project's place
    QString keptAs;       // where the replaced project went: a backup copy or a ".damaged" file
};

// The folder of backup copies of `projectFile`: "Backups" beside it.
QString backupFolder(const QString& projectFile);

// Runs SQLite's quick check on `file` through its own read-only connection.
FileCheck checkFile(const QString& file, const CancelFlag* cancel = nullptr);

// The project's copies, newest first, with their sizes and paper counts.
QList<BackupCopy> listBackups(const QString& projectFile);

// A copy is due when the newest is more than a day old (or more than a day ahead, after a
// change of the clock), or there is none.
bool backupDue(const QString& projectFile, const QDateTime& now = QDateTime::currentDateTime());

// Writes a copy of the project as "<project> yyyy-MM-dd HHmm.mdb" in its Backups folder (seconds
// are added when that name is taken, then "-2", "-3", ...), through a read-only connection and
// SQLite's backup API, under a temporary name that is renamed once the copy passes its quick
// check. The copy is page for page the project, so a copy that fails its check means a damaged
// project (told apart from a faulty write by checking the project too); nothing is then kept.
// Keeps the KeptBackupCopies newest copies and removes the older ones.
BackupResult writeBackup(const QString& projectFile,
                         const QDateTime& now = QDateTime::currentDateTime(),
                         const CancelFlag* cancel = nullptr);

// Puts a backup copy in place of a damaged (or missing) project: the damaged file is renamed
// aside as "<project>.mdb.damaged" (".damaged.2", ... when taken; a journal beside it goes with
// it) and never removed, and `copy`, or when empty the newest copy that passes its check, is
// copied to the project's name.
//
// Close every connection to the project before calling this, and open the project again after.
RestoreResult replaceDamagedProject(const QString& projectFile, const QString& copy = {});

// Puts the chosen copy in place of the project, so that the restore can itself be undone: the
// current project is first kept as a backup copy of its own (when it fails its check, it is
// renamed aside as a damaged file instead), then `copy` is written beside the project under a
// temporary name and renamed over it. Refused when `copy` fails its check or the project has a
// journal beside it (it is open, or was left with unfinished changes).
//
// Close every connection to the project before calling this, and open the project again after.
RestoreResult restoreBackup(const QString& projectFile, const QString& copy,
                            const QDateTime& now = QDateTime::currentDateTime());

// The project file whose copies a shared project's copies are taken for: "<database>@<host>.mdb"
// in `folder` (the file itself never exists), so that the copies go into "Backups" in `folder`
// and are listed, named, kept and removed as a file's are.
QString sharedProjectStandIn(const QString& address, const QString& folder);

// Writes a project file copy of the shared project at `address` as a copy of `standIn`, through
// the checked copy routine of a whole project (db/projectcopy.h) and then SQLite's quick check,
// under a temporary name renamed once it passes. Keeps the KeptBackupCopies newest copies.
BackupResult writeSharedBackup(const QString& address, const QString& standIn,
                               const QDateTime& now = QDateTime::currentDateTime(),
                               const CancelFlag* cancel = nullptr);

// Puts the rows of the chosen copy in place of the shared project's, in one transaction on the
// server: the project as it is is first kept as a copy of its own, so that the restore can be
// undone. Refused when `copy` fails its check; when anything fails, the server's tables are left
// as they were.
RestoreResult restoreSharedBackup(const QString& address, const QString& standIn,
                                  const QString& copy,
                                  const QDateTime& now = QDateTime::currentDateTime());

} // namespace quirelle::db
