// Writing, checking, listing, rotating and restoring backup copies of a project file.
#include "db/backups.h"

#include "db/database.h"
#include "db/dberror.h"
#include "db/projectcopy.h"
#include "db/serverlogin.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSaveFile>
#include <QThread>

#include <sqlite3.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <optional>

namespace quirelle::db {

namespace {

constexpr int BusyTimeoutMs = 2000;
// Pages copied under one lock of the project, between two looks at the cancel flag: 256 KiB at
// the usual page size, a few milliseconds of a writer's wait.
constexpr int PagesPerStep = 64;
constexpr int MaxProblems = 20;
constexpr qint64 SecondsPerDay = 24 * 60 * 60;
const char* const PartialSuffix = ".partial";

struct Closer
{
    void operator()(sqlite3* handle) const { sqlite3_close_v2(handle); }
};
using Handle = std::unique_ptr<sqlite3, Closer>;

QString sqliteMessage(sqlite3* handle)
{
    return QString::fromUtf8(sqlite3_errmsg(handle));
}

// Opens `path` without creating it unless asked. On failure the handle is empty and `error`
// holds SQLite's words.
Handle openFile(const QString& path, int flags, QString* error)
{
    sqlite3* raw = nullptr;
    const int rc = sqlite3_open_v2(QFile::encodeName(path).constData(), &raw, flags, nullptr);
    Handle handle(raw);
    if (rc != SQLITE_OK) {
        if (error)
            *error = raw ? sqliteMessage(raw) : QString::fromUtf8(sqlite3_errstr(rc));
        return {};
    }
    sqlite3_extended_result_codes(raw, 1);
    sqlite3_busy_timeout(raw, BusyTimeoutMs);
    return handle;
}

int stopWhenCancelled(void* flag)
{
    return static_cast<const CancelFlag*>(flag)->load() ? 1 : 0;
}

bool cancelled(const CancelFlag* cancel)
{
    return cancel && cancel->load();
}

// The parts of a copy's name: "<project> yyyy-MM-dd HHmm[ss][-n].mdb".
struct CopyName
{
    QDateTime taken;
    bool withSeconds = false;
    int clash = 0;

    bool newerThan(const CopyName& o) const
    {
        if (taken != o.taken)
            return taken > o.taken;
        if (withSeconds != o.withSeconds)
            return withSeconds;
        return clash > o.clash;
    }
};

QString projectName(const QString& projectFile)
{
    return QFileInfo(projectFile).completeBaseName();
}

QRegularExpression copyNamePattern(const QString& projectFile)
{
    return QRegularExpression(
        QStringLiteral("^%1 (\\d{4}-\\d{2}-\\d{2}) (\\d{2})(\\d{2})(\\d{2})?(?:-(\\d+))?\\.mdb$")
            .arg(QRegularExpression::escape(projectName(projectFile))));
}

std::optional<CopyName> parseCopyName(const QRegularExpression& pattern, const QString& fileName)
{
    const auto m = pattern.match(fileName);
    if (!m.hasMatch())
        return std::nullopt;
    const QDate date = QDate::fromString(m.captured(1), QStringLiteral("yyyy-MM-dd"));
    const QTime time(m.captured(2).toInt(), m.captured(3).toInt(), m.captured(4).toInt());
    if (!date.isValid() || !time.isValid())
        return std::nullopt;
    CopyName name;
    name.taken = QDateTime(date, time);
    name.withSeconds = m.hasCaptured(4);
    name.clash = m.hasCaptured(5) ? m.captured(5).toInt() : 0;
    return name;
}

// The n-th name tried for a copy taken at `when`: the minute, then the second, then numbered.
QString copyFileName(const QString& projectFile, const QDateTime& when, int attempt)
{
    QString name = projectName(projectFile) + QLatin1Char(' ') +
                   when.toString(attempt == 0 ? QStringLiteral("yyyy-MM-dd HHmm")
                                              : QStringLiteral("yyyy-MM-dd HHmmss"));
    if (attempt >= 2)
        name += QStringLiteral("-%1").arg(attempt);
    return name + QStringLiteral(".mdb");
}

struct FoundCopy
{
    QString file;
    CopyName name;
};

// The project's copies, newest first, by their names alone.
std::vector<FoundCopy> findCopies(const QString& projectFile)
{
    std::vector<FoundCopy> found;
    const QDir folder(backupFolder(projectFile));
    const QRegularExpression pattern = copyNamePattern(projectFile);
    const QFileInfoList files =
        folder.entryInfoList({QStringLiteral("*.mdb")}, QDir::Files | QDir::Hidden);
    for (const QFileInfo& f : files) {
        if (auto name = parseCopyName(pattern, f.fileName()))
            found.push_back({f.absoluteFilePath(), *name});
    }
    std::sort(found.begin(), found.end(),
              [](const FoundCopy& a, const FoundCopy& b) { return a.name.newerThan(b.name); });
    return found;
}

// Keeps the `keep` newest copies (and `spare`), and removes partial copies that a stopped
// program left behind long ago; one still being written is never that old.
void rotate(const QString& projectFile, int keep, const QString& spare)
{
    const std::vector<FoundCopy> copies = findCopies(projectFile);
    const QString kept = spare.isEmpty() ? QString() : QFileInfo(spare).canonicalFilePath();
    for (size_t i = static_cast<size_t>(keep); i < copies.size(); ++i) {
        if (kept.isEmpty() || QFileInfo(copies[i].file).canonicalFilePath() != kept)
            QFile::remove(copies[i].file);
    }
    const QDir folder(backupFolder(projectFile));
    const QString pattern =
        projectName(projectFile) + QStringLiteral(" *.mdb") + QLatin1String(PartialSuffix);
    const QDateTime longAgo = QDateTime::currentDateTime().addSecs(-3600);
    for (const QFileInfo& f : folder.entryInfoList({pattern}, QDir::Files | QDir::Hidden)) {
        if (f.lastModified() < longAgo)
            QFile::remove(f.absoluteFilePath());
    }
}

int countPapers(const QString& file)
{
    Handle db = openFile(file, SQLITE_OPEN_READONLY, nullptr);
    if (!db)
        return -1;
    sqlite3_stmt* stmt = nullptr;
    if (sqlite3_prepare_v2(db.get(), "SELECT count(*) FROM \"Papers\"", -1, &stmt, nullptr) !=
        SQLITE_OK) {
        return -1;
    }
    const int count = sqlite3_step(stmt) == SQLITE_ROW ? sqlite3_column_int(stmt, 0) : -1;
    sqlite3_finalize(stmt);
    return count;
}

QString writeFailure(const QString& copy, sqlite3* db, int rc)
{
    const int primary = rc & 0xff;
    QString why;
    if (primary == SQLITE_FULL)
        why = QStringLiteral("the disk is full");
    else if (primary == SQLITE_CANTOPEN || primary == SQLITE_READONLY || primary == SQLITE_PERM)
        why = QStringLiteral("the folder cannot be written to");
    else
        why = db ? sqliteMessage(db) : QString::fromUtf8(sqlite3_errstr(rc));
    return QStringLiteral("Could not write the backup copy '%1': %2.")
        .arg(QDir::toNativeSeparators(copy), why);
}

QString readFailure(const QString& projectFile, sqlite3* db, int rc)
{
    if (rc == SQLITE_READONLY_ROLLBACK) {
        return QStringLiteral("The project '%1' has unfinished changes from a stopped program; "
                              "open it in the program first.")
            .arg(QDir::toNativeSeparators(projectFile));
    }
    if ((rc & 0xff) == SQLITE_BUSY) {
        return QStringLiteral("The project '%1' is in use by another program.")
            .arg(QDir::toNativeSeparators(projectFile));
    }
    return QStringLiteral("Could not read the project '%1': %2.")
        .arg(QDir::toNativeSeparators(projectFile),
             db ? sqliteMessage(db) : QString::fromUtf8(sqlite3_errstr(rc)));
}

// Copies `projectFile` page by page into `target`. Returns an empty text, or why it failed.
//
// Each step holds the project's shared lock only while it copies its pages, so that a save made
// meanwhile waits a step at most, never the whole copy. A save between two steps makes the
// engine start the copy over, so the copy is still one state of the project.
QString copyPages(const QString& projectFile, const QString& target, const CancelFlag* cancel)
{
    QString error;
    Handle source = openFile(projectFile, SQLITE_OPEN_READONLY, &error);
    if (!source) {
        return QStringLiteral("Could not read the project '%1': %2.")
            .arg(QDir::toNativeSeparators(projectFile), error);
    }
    // Reading the schema first tells a project in use or left with unfinished changes from a
    // copy that cannot be written.
    int rc = sqlite3_exec(source.get(), "SELECT count(*) FROM sqlite_master;", nullptr, nullptr,
                          nullptr);
    if (rc != SQLITE_OK)
        return readFailure(projectFile, source.get(), sqlite3_extended_errcode(source.get()));

    Handle copy = openFile(target, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, &error);
    if (!copy)
        return writeFailure(target, nullptr, SQLITE_CANTOPEN);
    // A fresh file needs no journal: a failed copy is thrown away. Full sync makes the pages
    // reach the disk before the copy is renamed to its final name.
    sqlite3_exec(copy.get(), "PRAGMA journal_mode = OFF; PRAGMA synchronous = FULL;", nullptr,
                 nullptr, nullptr);

    sqlite3_backup* backup = sqlite3_backup_init(copy.get(), "main", source.get(), "main");
    if (!backup)
        return writeFailure(target, copy.get(), sqlite3_extended_errcode(copy.get()));
    do {
        if (cancelled(cancel))
            break;
        rc = sqlite3_backup_step(backup, PagesPerStep);
        // The pause lets a writer that waits for the lock take it before the next step.
        if (rc == SQLITE_OK)
            QThread::msleep(1);
        else if (rc == SQLITE_BUSY || rc == SQLITE_LOCKED)
            QThread::msleep(20);
    } while (rc == SQLITE_OK || rc == SQLITE_BUSY || rc == SQLITE_LOCKED);
    sqlite3_backup_finish(backup);
    if (cancelled(cancel))
        return QStringLiteral("The backup was cancelled.");
    if (rc != SQLITE_DONE) {
        // A failed read of the project comes back as the step's code too.
        const int copyRc = sqlite3_extended_errcode(copy.get());
        return writeFailure(target, copy.get(), copyRc != SQLITE_OK ? copyRc : rc);
    }
    if (sqlite3_close(copy.release()) != SQLITE_OK)
        return writeFailure(target, nullptr, SQLITE_IOERR);
    return {};
}

// Why a file cannot be written into `folder`, or an empty text.
QString prepareFolder(const QString& folder)
{
    const QFileInfo info(folder);
    if (info.exists() && !info.isDir()) {
        return QStringLiteral("Could not make the folder for backup copies '%1': a file of that "
                              "name is in the way.")
            .arg(QDir::toNativeSeparators(folder));
    }
    if (!info.exists() && !QDir().mkpath(folder)) {
        return QStringLiteral("Could not make the folder for backup copies '%1': the folder "
                              "beside the project cannot be written to.")
            .arg(QDir::toNativeSeparators(folder));
    }
    return {};
}

// A copy that could not be made or did not pass its check: the project's own check tells a
// damaged project (for which the copy is refused) from a faulty write.
BackupResult failedCopy(const QString& projectFile, const QString& reason, const CancelFlag* cancel)
{
    BackupResult result;
    result.reason = reason;
    if (cancelled(cancel)) {
        result.status = BackupResult::Status::Cancelled;
        result.reason = QStringLiteral("The backup was cancelled.");
        return result;
    }
    const FileCheck check = checkFile(projectFile, cancel);
    if (check.result == FileCheck::Result::Damaged) {
        result.status = BackupResult::Status::ProjectDamaged;
        result.reason = QStringLiteral("The project '%1' failed its check, so no backup copy was "
                                       "kept:\n%2")
                            .arg(QDir::toNativeSeparators(projectFile), check.problems);
    }
    return result;
}

// Writes a copy into `target`; why not, or an empty text.
using CopyWriter = std::function<QString(const QString& target)>;

// Names the copy of `projectFile` taken `now`, has `write` write it under a temporary name, checks
// it, gives it its name and keeps the newest copies.
BackupResult writeCopyAs(const QString& projectFile, const QDateTime& now, const CancelFlag* cancel,
                         const QString& spare, const CopyWriter& write)
{
    const QString folder = backupFolder(projectFile);
    if (const QString why = prepareFolder(folder); !why.isEmpty()) {
        BackupResult noFolder;
        noFolder.reason = why;
        return noFolder;
    }

    const QDir dir(folder);
    int attempt = 0;
    while (QFileInfo::exists(dir.filePath(copyFileName(projectFile, now, attempt))))
        ++attempt;
    const QString partial =
        dir.filePath(copyFileName(projectFile, now, attempt)) + QLatin1String(PartialSuffix);
    QFile::remove(partial);

    if (const QString why = write(partial); !why.isEmpty()) {
        QFile::remove(partial);
        return failedCopy(projectFile, why, cancel);
    }
    if (const FileCheck check = checkFile(partial, cancel); !check.passed()) {
        QFile::remove(partial);
        return failedCopy(projectFile,
                          QStringLiteral("The backup copy did not pass its check; the disk may "
                                         "be failing:\n%1")
                              .arg(check.problems),
                          cancel);
    }

    // Another copy may have taken the name meanwhile: rename never replaces a file.
    BackupResult result;
    for (;; ++attempt) {
        result.file = dir.filePath(copyFileName(projectFile, now, attempt));
        if (QFile::rename(partial, result.file))
            break;
        if (!QFileInfo::exists(result.file) || attempt > 1000) {
            QFile::remove(partial);
            result.reason = QStringLiteral("Could not give the backup copy its name '%1'.")
                                .arg(QDir::toNativeSeparators(result.file));
            result.file.clear();
            return result;
        }
    }
    rotate(projectFile, KeptBackupCopies, spare);
    result.status = BackupResult::Status::Written;
    return result;
}

BackupResult writeBackupKeeping(const QString& projectFile, const QDateTime& now,
                                const CancelFlag* cancel, const QString& spare)
{
    if (!QFileInfo(projectFile).isFile()) {
        BackupResult missing;
        missing.reason = QStringLiteral("Could not find the project '%1'.")
                             .arg(QDir::toNativeSeparators(projectFile));
        return missing;
    }
    // SQLite would copy an empty file as an empty database.
    if (!hasDatabaseHeader(projectFile))
        return failedCopy(projectFile, QStringLiteral("The project is not a database."), cancel);
    return writeCopyAs(projectFile, now, cancel, spare, [&](const QString& partial) {
        return copyPages(projectFile, partial, cancel);
    });
}

// A copy of the shared project at `address`, as the copy of `standIn` taken `now`.
BackupResult writeSharedCopy(const QString& address, const QString& standIn, const QDateTime& now,
                             const CancelFlag* cancel, const QString& spare)
{
    return writeCopyAs(standIn, now, cancel, spare, [&](const QString& partial) -> QString {
        // The copy is made as a project file of its own, then takes the temporary name.
        const QString made = partial + QStringLiteral(".mdb");
        QFile::remove(made);
        const CopyResult copied =
            copyProject(address, made, CopyMode::IntoEmpty, [cancel](const QString&) {
                if (cancelled(cancel))
                    throw DbError(err::Generic, QStringLiteral("The backup was cancelled."));
            });
        if (!copied.ok)
            return copied.reason;
        if (!QFile::rename(made, partial)) {
            QFile::remove(made);
            return QStringLiteral("Could not write the backup copy '%1'.")
                .arg(QDir::toNativeSeparators(partial));
        }
        return {};
    });
}

// Removes the temporary file of a restore that is given up (a commit after a cancel does that).
void discard(QSaveFile& staged)
{
    staged.cancelWriting();
    staged.commit();
}

// Writes `source` beside `target` under a temporary name; commit() renames it over `target`.
// Returns an empty text, or why it failed (the temporary file is then gone).
QString stageCopy(const QString& source, QSaveFile& target)
{
    QFile in(source);
    if (!in.open(QIODevice::ReadOnly)) {
        return QStringLiteral("Could not read the backup copy '%1': %2.")
            .arg(QDir::toNativeSeparators(source), in.errorString());
    }
    if (!target.open(QIODevice::WriteOnly)) {
        return QStringLiteral("Could not write beside the project '%1': %2.")
            .arg(QDir::toNativeSeparators(target.fileName()), target.errorString());
    }
    QByteArray block;
    while (!(block = in.read(1 << 20)).isEmpty()) {
        if (target.write(block) != block.size())
            break;
    }
    if (in.error() != QFile::NoError || target.error() != QFile::NoError) {
        const QString why =
            target.error() != QFile::NoError ? target.errorString() : in.errorString();
        discard(target);
        return QStringLiteral("Could not copy the backup copy '%1' beside the project: %2.")
            .arg(QDir::toNativeSeparators(source), why);
    }
    return {};
}

// A name beside the project for its damaged file: "<file>.damaged", then ".damaged.2", ...
QString damagedName(const QString& projectFile)
{
    const QString base = projectFile + QStringLiteral(".damaged");
    QString name = base;
    for (int n = 2; QFileInfo::exists(name) || QFileInfo::exists(name + QStringLiteral("-journal"));
         ++n)
        name = base + QStringLiteral(".%1").arg(n);
    return name;
}

const QStringList& sideFileSuffixes()
{
    static const QStringList suffixes{QStringLiteral("-journal"), QStringLiteral("-wal"),
                                      QStringLiteral("-shm")};
    return suffixes;
}

// Renames the project with its journal aside. The journal belongs to that file: left beside the
// restored copy, SQLite would play it back into the copy.
bool moveAside(const QString& projectFile, const QString& aside)
{
    if (!QFile::rename(projectFile, aside))
        return false;
    for (const QString& suffix : sideFileSuffixes()) {
        if (QFileInfo::exists(projectFile + suffix))
            QFile::rename(projectFile + suffix, aside + suffix);
    }
    return true;
}

void moveBack(const QString& aside, const QString& projectFile)
{
    if (!QFile::rename(aside, projectFile))
        return;
    for (const QString& suffix : sideFileSuffixes()) {
        if (QFileInfo::exists(aside + suffix))
            QFile::rename(aside + suffix, projectFile + suffix);
    }
}

// Puts the staged copy in the project's place after moving the current file aside.
RestoreResult putInPlace(const QString& projectFile, QSaveFile& staged, RestoreResult result,
                         const QString& aside)
{
    const bool moving = !aside.isEmpty() && QFileInfo::exists(projectFile);
    if (moving && !moveAside(projectFile, aside)) {
        discard(staged);
        result.reason = QStringLiteral("Could not rename the damaged project to '%1'.")
                            .arg(QDir::toNativeSeparators(aside));
        return result;
    }
    if (!staged.commit()) {
        if (moving)
            moveBack(aside, projectFile);
        result.reason = QStringLiteral("Could not put the backup copy in the project's place: "
                                       "%1.")
                            .arg(staged.errorString());
        return result;
    }
    if (moving)
        result.keptAs = aside;
    result.ok = true;
    return result;
}

} // namespace

QString backupFolder(const QString& projectFile)
{
    return QFileInfo(projectFile).absoluteDir().filePath(QStringLiteral("Backups"));
}

FileCheck checkFile(const QString& file, const CancelFlag* cancel)
{
    FileCheck check;
    const QString shown = QDir::toNativeSeparators(file);
    if (!QFileInfo(file).isFile()) {
        check.problems = QStringLiteral("Could not find the file '%1'.").arg(shown);
        return check;
    }
    // SQLite takes an empty file for an empty database and would pass it.
    if (!hasDatabaseHeader(file)) {
        QFile f(file);
        if (!f.open(QIODevice::ReadOnly)) {
            check.problems = QStringLiteral("Could not read the file '%1'.").arg(shown);
            return check;
        }
        check.result = FileCheck::Result::Damaged;
        check.problems = QStringLiteral("The file '%1' is not a database.").arg(shown);
        return check;
    }
    QString error;
    Handle db = openFile(file, SQLITE_OPEN_READONLY, &error);
    if (!db) {
        check.problems = QStringLiteral("Could not read the file '%1': %2.").arg(shown, error);
        return check;
    }
    if (cancel)
        sqlite3_progress_handler(db.get(), 1000, stopWhenCancelled,
                                 const_cast<CancelFlag*>(cancel));

    sqlite3_stmt* stmt = nullptr;
    int rc = sqlite3_prepare_v2(db.get(), "PRAGMA quick_check(20)", -1, &stmt, nullptr);
    QStringList problems;
    if (rc == SQLITE_OK) {
        while ((rc = sqlite3_step(stmt)) == SQLITE_ROW)
            problems << QString::fromUtf8(
                reinterpret_cast<const char*>(sqlite3_column_text(stmt, 0)));
    }
    sqlite3_finalize(stmt);
    const int code = sqlite3_extended_errcode(db.get());
    if (rc == SQLITE_DONE && problems == QStringList{QStringLiteral("ok")}) {
        check.result = FileCheck::Result::Passed;
    } else if (rc == SQLITE_DONE || (code & 0xff) == SQLITE_CORRUPT ||
               (code & 0xff) == SQLITE_NOTADB) {
        check.result = FileCheck::Result::Damaged;
        if (rc != SQLITE_DONE)
            problems << sqliteMessage(db.get());
        problems = problems.mid(0, MaxProblems);
        check.problems = problems.join(QLatin1Char('\n'));
    } else if ((rc & 0xff) == SQLITE_INTERRUPT) {
        check.problems = QStringLiteral("The check was cancelled.");
    } else {
        check.problems = readFailure(file, db.get(), code);
    }
    return check;
}

QList<BackupCopy> listBackups(const QString& projectFile)
{
    QList<BackupCopy> copies;
    for (const FoundCopy& found : findCopies(projectFile)) {
        BackupCopy c;
        c.file = found.file;
        c.taken = found.name.taken;
        c.size = QFileInfo(found.file).size();
        c.papers = countPapers(found.file);
        copies << c;
    }
    return copies;
}

bool backupDue(const QString& projectFile, const QDateTime& now)
{
    const std::vector<FoundCopy> copies = findCopies(projectFile);
    if (copies.empty())
        return true;
    return qAbs(copies.front().name.taken.secsTo(now)) > SecondsPerDay;
}

BackupResult writeBackup(const QString& projectFile, const QDateTime& now, const CancelFlag* cancel)
{
    return writeBackupKeeping(projectFile, now, cancel, {});
}

QString sharedProjectStandIn(const QString& address, const QString& folder)
{
    const ServerLogin login = serverLogin(address);
    QString name = login.database + QLatin1Char('@') + login.host;
    // A name for a file on every system: the database's and the server's, nothing else.
    for (QChar& c : name) {
        if (!c.isLetterOrNumber() && c != QLatin1Char('@') && c != QLatin1Char('-') &&
            c != QLatin1Char('_') && c != QLatin1Char('.'))
            c = QLatin1Char('_');
    }
    return QDir(folder).absoluteFilePath(name + QStringLiteral(".mdb"));
}

BackupResult writeSharedBackup(const QString& address, const QString& standIn, const QDateTime& now,
                               const CancelFlag* cancel)
{
    return writeSharedCopy(address, standIn, now, cancel, {});
}

namespace {

// Whether the backup copy passes the quick check; when it does not, `result` says why.
bool copyPassesCheck(const QString& copy, RestoreResult& result)
{
    const FileCheck check = checkFile(copy);
    if (!check.passed())
        result.reason = QStringLiteral("The backup copy '%1' cannot be restored:\n%2")
                            .arg(QDir::toNativeSeparators(copy), check.problems);
    return check.passed();
}

} // namespace

RestoreResult restoreSharedBackup(const QString& address, const QString& standIn,
                                  const QString& copy, const QDateTime& now)
{
    RestoreResult result;
    if (!copyPassesCheck(copy, result))
        return result;
    // The shared project as it is now is kept first, so that the restore can be undone.
    const BackupResult kept = writeSharedCopy(address, standIn, now, nullptr, copy);
    if (!kept.written()) {
        result.reason = QStringLiteral("The shared project was left as it is, because it could "
                                       "not be kept as a backup copy first:\n") +
                        kept.reason;
        return result;
    }
    result.keptAs = kept.file;
    const CopyResult copied = copyProject(copy, address, CopyMode::ReplaceRows);
    if (!copied.ok) {
        result.reason = copied.reason;
        return result;
    }
    result.restoredFrom = copy;
    result.ok = true;
    return result;
}

RestoreResult replaceDamagedProject(const QString& projectFile, const QString& copy)
{
    RestoreResult result;
    QStringList candidates;
    if (!copy.isEmpty()) {
        candidates << copy;
    } else {
        for (const FoundCopy& found : findCopies(projectFile))
            candidates << found.file;
    }
    QStringList refused;
    for (const QString& candidate : candidates) {
        const FileCheck check = checkFile(candidate);
        if (check.passed()) {
            result.restoredFrom = candidate;
            break;
        }
        refused << QStringLiteral("%1: %2").arg(QFileInfo(candidate).fileName(),
                                                check.problems.section(QLatin1Char('\n'), 0, 0));
    }
    if (result.restoredFrom.isEmpty()) {
        result.reason = candidates.isEmpty()
                            ? QStringLiteral("There is no backup copy of the project.")
                            : QStringLiteral("No backup copy passes its check:\n") +
                                  refused.join(QLatin1Char('\n'));
        return result;
    }

    QSaveFile staged(projectFile);
    result.reason = stageCopy(result.restoredFrom, staged);
    if (!result.reason.isEmpty())
        return result;
    return putInPlace(projectFile, staged, result, damagedName(projectFile));
}

RestoreResult restoreBackup(const QString& projectFile, const QString& copy, const QDateTime& now)
{
    RestoreResult result;
    if (!copyPassesCheck(copy, result))
        return result;
    for (const QString& suffix : sideFileSuffixes()) {
        if (QFileInfo::exists(projectFile + suffix)) {
            result.reason = QStringLiteral("The project '%1' is still open, or was left with "
                                           "unfinished changes; open and close it in the "
                                           "program first.")
                                .arg(QDir::toNativeSeparators(projectFile));
            return result;
        }
    }
    result.restoredFrom = copy;

    // Staged first, so that a copy that cannot be staged leaves no extra backup copy behind.
    QSaveFile staged(projectFile);
    result.reason = stageCopy(copy, staged);
    if (!result.reason.isEmpty())
        return result;

    QString aside;
    if (QFileInfo::exists(projectFile)) {
        const BackupResult kept = writeBackupKeeping(projectFile, now, nullptr, copy);
        if (kept.status == BackupResult::Status::ProjectDamaged) {
            aside = damagedName(projectFile);
        } else if (!kept.written()) {
            discard(staged);
            result.reason = QStringLiteral("The project was left as it is, because it could not "
                                           "be kept as a backup copy first:\n") +
                            kept.reason;
            return result;
        } else {
            result.keptAs = kept.file;
        }
    }
    return putInPlace(projectFile, staged, result, aside);
}

} // namespace quirelle::db
