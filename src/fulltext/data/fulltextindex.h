// The full-text index inside a project: the text of every file of every paper, one row per page,
// kept current file by file (one file, one transaction), and searched by the user's words. On a
// shared project the same routines keep it in the server's own text search (serverindex.h).
#pragma once

#include "fulltext/data/extraction.h"

#include <QString>

#include <atomic>
#include <functional>
#include <vector>

namespace quirelle::db {
class Database;
}
namespace quirelle::paper {
struct FileFolders;
}

namespace quirelle::fulltext {

// A page's row number holds its file and its page: file id << PageBits | page number.
inline constexpr int PageBits = 16;
inline constexpr int pageOfRow(qint64 row)
{
    return static_cast<int>(row & ((qint64(1) << PageBits) - 1));
}

// Creates the index's tables when the project lacks them (a project of an older version).
void createMissingIndexTables(db::Database& database);
// Whether the project has the index's tables (a read-only project of an older version has not).
bool hasIndexTables(db::Database& database);
// Empties the index: the next update reads every file again.
void clearIndex(db::Database& database);

// Told how far an update is (`done` of `total` files to read).
using IndexProgress = std::function<void(int done, int total)>;

struct IndexRun
{
    int total = 0;      // files that had to be read
    int indexed = 0;    // read and stored
    int unreadable = 0; // "could not be read"
    int notIndexed = 0; // kinds that are not read
    int removed = 0;    // files gone from their papers, taken out of the index
    bool cancelled = false;
};

// One change to the index, as a run writes it.
struct IndexChange
{
    enum class Kind {
        Store, // the file's text (or why it has none) in place of what was stored of it
        Touch, // the same content with a new time: only its size and time
        Remove // the files in `gone` have left their papers
    };
    Kind kind = Kind::Store;
    qint32 fileId = 0;
    qint32 paperId = 0;
    qint64 size = 0;
    QString modified;
    QString hash;
    Extraction extraction;
    QList<qint32> gone;
};
// Stores how a file stands in the index after its `pages` pages were stored (either engine).
void storeFileState(db::Database& database, const IndexChange& change, int pages);
// Writes one change in a transaction of its own.
void writeChange(db::Database& database, const IndexChange& change);

// Brings the index up to date: files added, changed (size, modified time, hash) or gone since they
// were indexed. Files that are missing keep what was indexed of them. Each file is read outside
// any transaction and stored in one of its own, so that a run that is stopped (or killed) leaves
// every file it lists whole, and the next run goes on from there; a program's other connections
// wait at most for one file's write (db/writelock.h).
IndexRun updateIndex(db::Database& database, const paper::FileFolders& folders,
                     const IndexProgress& progress, const std::atomic<bool>& cancelled,
                     const ExtractLimits& limits = {});

// How each file stands in the index.
struct FileIndexState
{
    qint32 fileId = 0;
    QString state; // "indexed", "could not be read", "not indexed"
    QString reason;
    int pages = 0;
};
std::vector<FileIndexState> indexStates(db::Database& database);

// One paper found: its best page.
struct FullTextHit
{
    qint32 paperId = 0;
    QString title;
    qint32 fileId = 0;
    int page = 0;
    qint64 row = 0; // the page's row, for its passage
};

// The papers whose files hold `typed` (see ftsQuery), best match first, one each; nothing for a
// criterion with nothing searchable, or when the project has no index.
std::vector<FullTextHit> searchFullText(db::Database& database, const QString& typed);

// The best passage of the hit's page for `typed`, the words found between Mark and EndMark.
inline constexpr QChar Mark(0x2);
inline constexpr QChar EndMark(0x3);
QString passage(db::Database& database, const QString& typed, qint64 row);
// The passage with its marks as HTML bold (the text escaped), or as [brackets].
QString passageHtml(const QString& marked);
QString passagePlain(const QString& marked);

} // namespace quirelle::fulltext
