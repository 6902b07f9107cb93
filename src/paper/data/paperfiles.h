// The files of a paper: copies attached into the folder beside the project and files linked
// where they are, one row each in [Paper Files]. Paths inside the project's folder are stored
// relative to it, so that a project folder moved to another place keeps its files.
#pragma once

#include "db/database.h"
#include "db/dberror.h"

#include <QSet>
#include <QString>
#include <QStringList>

#include <functional>
#include <vector>

namespace quirelle::paper {

inline constexpr QLatin1String PaperFilesTable("Paper Files");

// Thrown (as an engine error) when a file cannot be read, copied or found; the description
// says what failed in the system's words.
inline constexpr int FileFailed = 3051;

enum class FileKind { Attached, Linked };

struct PaperFile
{
    qint32 id = 0;      // [File ID]
    qint32 paperId = 0; // [Paper ID]
    FileKind kind = FileKind::Linked;
    QString storedPath; // as stored: relative to the project's folder, or absolute
    QString path;       // where it is now
    qint64 size = 0;
    QString modified; // ISO date and time, as it was when attached or last found
    QString hash;     // SHA-256 of the content, in hex
    bool exists = false;
};

// Where a project's files are: its folder, and the folder of attached copies beside the project
// file ("<project name> Files").
struct FileFolders
{
    // `projectFile` is the project file's path (with ".mdb" or without).
    explicit FileFolders(const QString& projectFile);
    QString project;
    QString attached;

    // The path to store for `path`: relative to the project's folder when inside it.
    QString store(const QString& path) const;
    // The path a stored one stands for.
    QString resolve(const QString& stored) const;
};

// `path` relative to `folder` when it is inside it, else absolute.
QString pathWithin(const QString& folder, const QString& path);

// "Wendrake 2003 - Signals in Clay.pdf": a file name from the first author's surname, the year
// and the title, with characters no file name may hold taken out; parts that are empty are left
// out. `suffix` is the original file's extension ("pdf", or empty).
QString readableName(const QString& surname, const QString& year, const QString& title,
                     const QString& suffix);
// `name` itself when `folder` has no such file (nor one being written) and it is not `taken`,
// else "name (2).ext", "name (3).ext", ...
QString uniqueName(const QString& folder, const QString& name, const QSet<QString>& taken = {});

// The SHA-256 of a file's content in hex; empty when it cannot be read.
QString contentHash(const QString& path);

// Creates the table when the project file does not have it yet (a file made before it existed).
void ensurePaperFilesTable(db::Database& database);

// Adds file rows through one prepared statement inside the caller's transaction (an import, a
// batch of files): the row as addPaperFile writes it, the file's size and time read now.
class FileRows final
{
public:
    FileRows(db::Database& database, const FileFolders& folders);
    ~FileRows();
    FileRows(const FileRows&) = delete;
    FileRows& operator=(const FileRows&) = delete;

    // The new row's [File ID]; `hash` is the content's, as contentHash gives it.
    qint32 add(qint32 paperId, const QString& path, FileKind kind, const QString& hash);

private:
    FileFolders m_folders;
    db::RowWriter m_writer;
};

// The paper's files in the order they were added (all files when `paperId` is 0).
std::vector<PaperFile> paperFiles(db::Database& database, const FileFolders& folders,
                                  qint32 paperId);
// The file as stored, by its id; nothing found gives an id of 0.
PaperFile paperFile(db::Database& database, const FileFolders& folders, qint32 fileId);

// Attaches a copy of `source` (Attached) or links it where it is (Linked) to the paper and
// returns its row. A copy is written under a temporary name and renamed when it is complete and
// on the disk, before its row is stored, so that a failure leaves no half file and no row. Fails
// with FileFailed (what failed), PaperGone, or err::Duplicate when the same file is already on the
// paper.
PaperFile addPaperFile(db::Database& database, const FileFolders& folders, qint32 paperId,
                       const QString& source, FileKind kind);
// Attaches or links several files to the paper at once (files dropped on the window): each is
// checked and copied as addPaperFile does, and the rows of those that were are written in one
// transaction. A file that fails (FileFailed, err::Duplicate) is left out and its error kept;
// other errors (PaperGone, a refused write) stop it all and leave no copy.
struct AddedFiles
{
    std::vector<PaperFile> added;
    std::vector<db::DbError> failures;
};
AddedFiles addPaperFiles(db::Database& database, const FileFolders& folders, qint32 paperId,
                         const QStringList& sources, FileKind kind);
// Takes the file off its paper; the file itself stays where it is. True when no other row names
// the same file (an attached copy may then go to the trash).
bool removePaperFile(db::Database& database, qint32 fileId);
// Points the row at `path` (a file found again), with that file's size, time and hash.
void relinkPaperFile(db::Database& database, const FileFolders& folders, qint32 fileId,
                     const QString& path);

// Removes the paper's file rows inside the caller's transaction and returns the attached copies
// that no other row names: the caller moves them to the trash once the transaction is committed.
QStringList deletePaperFileRows(db::Database& database, const FileFolders& folders, qint32 paperId);
// Told how far a search is (`done` of `total`); answers false to stop it.
using FileProgress = std::function<bool(qsizetype done, qsizetype total)>;

struct MissingSearch
{
    int found = 0;   // relinked
    int missing = 0; // still missing
    bool cancelled = false;
};
// Searches `folder` and its subfolders for every missing file by name and size, the content's
// hash deciding which candidate is the file, and relinks those found (all in one transaction,
// none when cancelled).
MissingSearch findMissingFiles(db::Database& database, const FileFolders& folders,
                               const QString& folder, const FileProgress& progress);

// Moves each file to the desktop's trash and returns those kept where they are: the ones that
// could not be moved, and every one when there is no trash to move them to (a file is never
// moved anywhere else).
QStringList moveToTrash(const QStringList& paths);

} // namespace quirelle::paper
