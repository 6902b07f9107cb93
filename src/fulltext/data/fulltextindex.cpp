// The index's tables, the update of the index file by file, and the search.
#include "fulltext/data/fulltextindex.h"

#include "db/database.h"
#include "db/dberror.h"
#include "db/nativesql.h"
#include "fulltext/data/querytext.h"
#include "fulltext/data/serverindex.h"
#include "paper/data/paperfiles.h"

#include <QFileInfo>
#include <QHash>
#include <QSet>

#include <chrono>
#include <map>
#include <optional>
#include <thread>

#include <sqlite3.h>

namespace quirelle::fulltext {

namespace {

const QString Pages = QStringLiteral("Full Text");
const QString Files = QStringLiteral("Full Text Files");
const QString Texts = QStringLiteral("Full Text Pages");

// The pages' text is kept compressed; the index reads it through a view that expands it, so
// that the text takes a fraction of the room and the index still shows passages.
void packText(sqlite3_context* context, int, sqlite3_value** args)
{
    const auto* text = static_cast<const char*>(sqlite3_value_blob(args[0]));
    const QByteArray packed =
        qCompress(QByteArray::fromRawData(text, sqlite3_value_bytes(args[0])));
    sqlite3_result_blob(context, packed.constData(), static_cast<int>(packed.size()),
                        SQLITE_TRANSIENT);
}

void unpackText(sqlite3_context* context, int, sqlite3_value** args)
{
    const auto* packed = static_cast<const char*>(sqlite3_value_blob(args[0]));
    const QByteArray text =
        qUncompress(QByteArray::fromRawData(packed, sqlite3_value_bytes(args[0])));
    sqlite3_result_text(context, text.constData(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
}

int addFunctions(sqlite3* handle, const char**, const sqlite3_api_routines*)
{
    constexpr int flags = SQLITE_UTF8 | SQLITE_DETERMINISTIC | SQLITE_INNOCUOUS;
    sqlite3_create_function_v2(handle, "fulltext_pack", 1, flags, nullptr, packText, nullptr,
                               nullptr, nullptr);
    sqlite3_create_function_v2(handle, "fulltext_unpack", 1, flags, nullptr, unpackText, nullptr,
                               nullptr, nullptr);
    return SQLITE_OK;
}

// Every connection the program opens has the two functions.
[[maybe_unused]] const bool functionsAdded = [] {
    return sqlite3_auto_extension(reinterpret_cast<void (*)()>(addFunctions)) == SQLITE_OK;
}();

const QString Indexed = QStringLiteral("indexed");
const QString Unreadable = QStringLiteral("could not be read");
const QString NotIndexed = QStringLiteral("not indexed");

constexpr qint64 MaxPage = (qint64(1) << PageBits) - 1;

qint64 firstRow(qint32 fileId)
{
    return qint64(fileId) << PageBits;
}

qint64 lastRow(qint32 fileId)
{
    return firstRow(fileId) | MaxPage;
}

QString modifiedText(const QFileInfo& info)
{
    return info.lastModified().toUTC().toString(Qt::ISODateWithMs);
}

struct Stored
{
    qint32 paperId = 0;
    qint64 size = -1;
    QString modified;
    QString hash;
};

struct Work
{
    qint32 fileId = 0;
    qint32 paperId = 0;
    QString path;
    qint64 size = 0;
    QString modified;
    QString knownHash; // when a changed time was found to leave the content as it was
};

// Takes a file's pages out of the index, which is told the words of each page to forget, and
// out of the stored text.
void removePages(db::Database& database, qint32 fileId)
{
    db::NativeStatement forget(database,
                               QStringLiteral("INSERT INTO [Full Text]([Full Text], rowid, body) "
                                              "SELECT 'delete', page, body FROM [Full Text Body] "
                                              "WHERE page BETWEEN ?1 AND ?2"));
    forget.bind(1, firstRow(fileId)).bind(2, lastRow(fileId)).run();
    db::NativeStatement drop(database, QStringLiteral("DELETE FROM [Full Text Pages] "
                                                      "WHERE page BETWEEN ?1 AND ?2"));
    drop.bind(1, firstRow(fileId)).bind(2, lastRow(fileId)).run();
}

// Stores what was read of one file.
void storeFile(db::Database& database, const IndexChange& w)
{
    const Extraction& e = w.extraction;
    removePages(database, w.fileId);
    int pages = 0;
    if (e.outcome == Extraction::Outcome::Read) {
        db::NativeStatement keep(database, QStringLiteral("INSERT INTO [Full Text Pages](page, "
                                                          "packed) VALUES(?1, fulltext_pack(?2))"));
        db::NativeStatement add(
            database, QStringLiteral("INSERT INTO [Full Text](rowid, body) VALUES(?1, ?2)"));
        for (qsizetype i = 0; i < e.pages.size() && i < MaxPage; ++i) {
            if (e.pages[i].trimmed().isEmpty())
                continue;
            const qint64 row = firstRow(w.fileId) | (i + 1);
            keep.bind(1, row).bind(2, e.pages[i]).run();
            add.bind(1, row).bind(2, e.pages[i]).run();
            ++pages;
        }
        // The index adds each file's words as a new piece, and merges its pieces as it goes.
        // Left to itself it would merge a large run every few files, a write that the windows
        // would wait for; a bounded share with each file keeps every file's write short.
        if (pages > 0)
            db::NativeStatement::exec(database, QStringLiteral("INSERT INTO [Full Text]([Full "
                                                               "Text], rank) VALUES('merge', 64)"));
    }
    storeFileState(database, w, pages);
}

void removeFiles(db::Database& database, const QList<qint32>& fileIds)
{
    db::NativeStatement file(database,
                             QStringLiteral("DELETE FROM [Full Text Files] WHERE [File ID] = ?1"));
    for (const qint32 id : fileIds) {
        removePages(database, id);
        file.bind(1, id).run();
    }
}

// The same file with a new time: only its size and time are stored again.
void touchFile(db::Database& database, const IndexChange& w)
{
    db::NativeStatement touch(database, QStringLiteral("UPDATE [Full Text Files] SET [Size] = ?2, "
                                                       "[Modified] = ?3 WHERE [File ID] = ?1"));
    touch.bind(1, w.fileId).bind(2, w.size).bind(3, w.modified).run();
}

} // namespace

QString indexState(const Extraction& extraction)
{
    return extraction.outcome == Extraction::Outcome::Read         ? Indexed
           : extraction.outcome == Extraction::Outcome::NotIndexed ? NotIndexed
                                                                   : Unreadable;
}

void storeFileState(db::Database& database, const IndexChange& change, int pages)
{
    // Either engine reads this statement.
    const QString state = indexState(change.extraction);
    db::NativeStatement mark(
        database,
        QStringLiteral("INSERT INTO \"Full Text Files\" (\"File ID\", \"Paper ID\", \"Size\", "
                       "\"Modified\", \"Content Hash\", \"State\", \"Reason\", \"Pages\") "
                       "VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8) ON CONFLICT (\"File ID\") DO "
                       "UPDATE SET \"Paper ID\" = excluded.\"Paper ID\", \"Size\" = "
                       "excluded.\"Size\", \"Modified\" = excluded.\"Modified\", "
                       "\"Content Hash\" = excluded.\"Content Hash\", \"State\" = "
                       "excluded.\"State\", \"Reason\" = excluded.\"Reason\", \"Pages\" = "
                       "excluded.\"Pages\""));
    mark.bind(1, change.fileId)
        .bind(2, change.paperId)
        .bind(3, change.size)
        .bind(4, change.modified)
        .bind(5, change.hash)
        .bind(6, state)
        .bind(7, state == Indexed ? QString() : change.extraction.reason)
        .bind(8, pages)
        .run();
}

void writeChange(db::Database& database, const IndexChange& change)
{
    if (database.isServer())
        return server::writeChange(database, change);
    db::Transaction transaction(database);
    switch (change.kind) {
    case IndexChange::Kind::Store:
        storeFile(database, change);
        break;
    case IndexChange::Kind::Touch:
        touchFile(database, change);
        break;
    case IndexChange::Kind::Remove:
        removeFiles(database, change.gone);
        break;
    }
    transaction.commit();
}

namespace {

// Makes the index's tables anew, empty.
void makeIndexTables(db::Database& database)
{
    // In the caller's transaction when there is one (a copy of the whole project).
    std::optional<db::Transaction> transaction;
    if (!database.inTransaction())
        transaction.emplace(database);
    db::NativeStatement::exec(
        database,
        QStringLiteral(
            "DROP TABLE IF EXISTS [Full Text]; DROP VIEW IF EXISTS [Full Text Body]; "
            "DROP TABLE IF EXISTS [Full Text Pages]; DROP TABLE IF EXISTS [Full Text Files]; "
            // A page's row number says its file and page; its text is kept compressed.
            "CREATE TABLE [Full Text Pages](page INTEGER PRIMARY KEY, packed BLOB); "
            "CREATE VIEW [Full Text Body] AS SELECT page, fulltext_unpack(packed) AS body "
            "FROM [Full Text Pages]; "
            // Letters are compared without their accents, so "Muller" finds "Müller". The
            // index keeps the words of the pages, not their text, which it reads from the view.
            // The words' first three letters are indexed too, for a short `word*` that would
            // otherwise gather every word that begins so, in every page.
            "CREATE VIRTUAL TABLE [Full Text] USING fts5(body, content = 'Full Text Body', "
            "content_rowid = 'page', tokenize = 'unicode61 remove_diacritics 2', "
            "prefix = '3'); "
            // Its pieces are merged by each file's write, a little at a time (storeFile).
            "INSERT INTO [Full Text]([Full Text], rank) VALUES('automerge', 0); "
            "INSERT INTO [Full Text]([Full Text], rank) VALUES('usermerge', 8); "
            "CREATE TABLE [Full Text Files]([File ID] INTEGER PRIMARY KEY, [Paper ID] INTEGER, "
            "[Size] INTEGER, [Modified] TEXT, [Content Hash] TEXT, [State] TEXT, [Reason] TEXT, "
            "[Pages] INTEGER);"));
    if (transaction)
        transaction->commit();
}

bool hasPrefixIndex(db::Database& database)
{
    db::NativeStatement made(database, QStringLiteral("SELECT sql FROM sqlite_master "
                                                      "WHERE name = 'Full Text'"));
    return made.next() && made.text(0).contains(QLatin1String("prefix"));
}

} // namespace

void createMissingIndexTables(db::Database& database)
{
    if (database.isServer())
        return server::createMissingIndexTables(database);
    // A project of an older version has none, or an index that kept the pages' text as it was,
    // or one without the words' beginnings: it is made anew, and every file is read again.
    if (!hasIndexTables(database) || !database.tableExists(Texts) || !hasPrefixIndex(database))
        makeIndexTables(database);
}

bool hasIndexTables(db::Database& database)
{
    if (database.isServer())
        return server::hasIndexTables(database);
    return database.tableExists(Pages) && database.tableExists(Files);
}

void clearIndex(db::Database& database)
{
    if (database.isServer())
        return server::clearIndex(database);
    // Made anew rather than emptied: deleted rows would stay in the index's segments until they
    // are merged away.
    makeIndexTables(database);
}

IndexRun updateIndex(db::Database& database, const paper::FileFolders& folders,
                     const IndexProgress& progress, const std::atomic<bool>& cancelled,
                     const ExtractLimits& limits)
{
    // A change waits its turn; when the file stays in use for long (another program, or a long
    // read that holds it), it is tried again a few times before the run gives up.
    const auto write = [&database, &cancelled](const IndexChange& change) {
        for (int attempt = 1;; ++attempt) {
            if (cancelled)
                return false;
            try {
                writeChange(database, change);
                return true;
            } catch (const db::DbError& e) {
                if (cancelled)
                    return false;
                if (e.number() != db::err::Locked || attempt == 5)
                    throw;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
    };
    IndexRun run;
    std::vector<paper::PaperFile> files;
    std::map<qint32, Stored> stored;
    {
        db::ReadTransaction reading(database);
        files = paper::paperFiles(database, folders, 0);
        db::NativeStatement rows(database,
                                 QStringLiteral("SELECT \"File ID\", \"Paper ID\", \"Size\", "
                                                "\"Modified\", \"Content Hash\" FROM "
                                                "\"Full Text Files\""));
        while (rows.next()) {
            stored[static_cast<qint32>(rows.number(0))] = {
                static_cast<qint32>(rows.number(1)), rows.number(2), rows.text(3), rows.text(4)};
        }
    }

    QList<qint32> gone;
    QSet<qint32> present;
    std::vector<Work> work;
    for (const paper::PaperFile& f : files) {
        present.insert(f.id);
        const QFileInfo info(f.path);
        if (!info.isFile())
            continue; // a missing file keeps what was indexed of it
        Work w{f.id, f.paperId, f.path, info.size(), modifiedText(info), {}};
        const auto it = stored.find(f.id);
        if (it != stored.end() && it->second.paperId == f.paperId) {
            if (it->second.size == w.size && it->second.modified == w.modified)
                continue;
            if (it->second.size == w.size)
                w.knownHash = it->second.hash; // a new time; the content may be the same
        }
        work.push_back(std::move(w));
    }
    for (const auto& [id, s] : stored) {
        if (!present.contains(id))
            gone << id;
    }
    if (!gone.isEmpty()) {
        IndexChange change;
        change.kind = IndexChange::Kind::Remove;
        change.gone = gone;
        if (!write(change)) {
            run.cancelled = true;
            return run;
        }
    }
    run.removed = static_cast<int>(gone.size());

    run.total = static_cast<int>(work.size());
    Extractor extractor(limits);
    for (size_t i = 0; i < work.size(); ++i) {
        if (cancelled) {
            run.cancelled = true;
            break;
        }
        if (progress)
            progress(static_cast<int>(i), run.total);
        const Work& w = work[i];
        IndexChange change;
        change.fileId = w.fileId;
        change.paperId = w.paperId;
        change.size = w.size;
        change.modified = w.modified;
        change.hash = paper::contentHash(w.path);
        if (!w.knownHash.isEmpty() && change.hash == w.knownHash) {
            change.kind = IndexChange::Kind::Touch;
            if (!write(change)) {
                run.cancelled = true;
                break;
            }
            continue;
        }
        change.extraction = extractor.extract(w.path, &cancelled);
        // The next files are read while this one is stored, in their order: up to one whose
        // time alone changed, which may not need reading.
        for (size_t next = i + 1; next < work.size() && work[next].knownHash.isEmpty(); ++next) {
            extractor.prefetch(work[next].path);
            if (next == i + 2)
                break;
        }
        const Extraction& e = change.extraction;
        if (e.outcome == Extraction::Outcome::Cancelled) {
            run.cancelled = true;
            break;
        }
        if (e.outcome == Extraction::Outcome::Missing)
            continue;
        if (!write(change)) {
            run.cancelled = true;
            break;
        }
        if (e.outcome == Extraction::Outcome::Read)
            ++run.indexed;
        else if (e.outcome == Extraction::Outcome::NotIndexed)
            ++run.notIndexed;
        else
            ++run.unreadable;
    }
    if (progress && !run.cancelled)
        progress(run.total, run.total);
    return run;
}

std::vector<FileIndexState> indexStates(db::Database& database)
{
    std::vector<FileIndexState> out;
    if (!hasIndexTables(database))
        return out;
    db::NativeStatement rows(database, QStringLiteral("SELECT \"File ID\", \"State\", "
                                                      "\"Reason\", \"Pages\" FROM \"Full Text "
                                                      "Files\" ORDER BY \"File ID\""));
    while (rows.next()) {
        out.push_back({static_cast<qint32>(rows.number(0)), rows.text(1), rows.text(2),
                       static_cast<int>(rows.number(3))});
    }
    return out;
}

std::vector<FullTextHit> searchFullText(db::Database& database, const QString& typed)
{
    if (database.isServer())
        return server::searchFullText(database, typed);
    std::vector<FullTextHit> hits;
    const QString query = ftsQuery(typed);
    if (query.isEmpty() || !hasIndexTables(database))
        return hits;
    db::ReadTransaction reading(database);
    // Each file's best page, found in one pass over the matching pages (no sort of them all),
    // then the files best first with their papers: only files still on their papers, of papers
    // still in the project. A paper is listed once, for its best file.
    db::NativeStatement found(
        database, QStringLiteral("SELECT p.[Paper ID], p.[Title], b.row FROM "
                                 "(SELECT rowid AS row, min(rank) AS score FROM [Full Text] "
                                 "WHERE [Full Text] MATCH ?1 GROUP BY rowid >> %1) b "
                                 "JOIN [Full Text Files] s ON s.[File ID] = b.row >> %1 "
                                 "JOIN [Paper Files] f ON f.[File ID] = s.[File ID] "
                                 "JOIN [Papers] p ON p.[Paper ID] = s.[Paper ID] "
                                 "ORDER BY b.score, b.row")
                      .arg(PageBits));
    found.bind(1, query);
    QSet<qint32> seenPapers;
    while (found.next()) {
        const auto paperId = static_cast<qint32>(found.number(0));
        if (seenPapers.contains(paperId))
            continue;
        seenPapers.insert(paperId);
        const qint64 row = found.number(2);
        hits.push_back(
            {paperId, found.text(1), static_cast<qint32>(row >> PageBits), pageOfRow(row), row});
    }
    return hits;
}

QString passage(db::Database& database, const QString& typed, qint64 row)
{
    if (database.isServer())
        return server::passage(database, typed, row);
    const QString query = ftsQuery(typed);
    if (query.isEmpty() || !hasIndexTables(database))
        return {};
    db::ReadTransaction reading(database);
    db::NativeStatement s(database,
                          QStringLiteral("SELECT snippet([Full Text], 0, char(2), char(3), "
                                         "'…', 24) FROM [Full Text] "
                                         "WHERE [Full Text] MATCH ?1 AND rowid = ?2"));
    s.bind(1, query).bind(2, row);
    if (!s.next())
        return {};
    return s.text(0).simplified();
}

QString passageHtml(const QString& marked)
{
    QString html = marked.toHtmlEscaped();
    html.replace(Mark, QStringLiteral("<b>"));
    html.replace(EndMark, QStringLiteral("</b>"));
    return html;
}

QString passagePlain(const QString& marked)
{
    QString plain = marked;
    plain.replace(Mark, QLatin1Char('['));
    plain.replace(EndMark, QLatin1Char(']'));
    return plain;
}

} // namespace quirelle::fulltext
