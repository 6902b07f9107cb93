// The index of a shared project: the pages' text (which the server compresses itself) with the
// words of each page as a `tsvector` under a GIN index, and the files' states as in a project
// file. The words are read on the member's computer by the file's own word reader
// (textsearch.h), so that a criterion finds the same pages in either. Several members may index
// at once: each file is written under a lock of its own, in one transaction.
#include "fulltext/data/serverindex.h"

#include "db/database.h"
#include "db/nativesql.h"
#include "fulltext/data/textsearch.h"

#include <algorithm>
#include <optional>

namespace quirelle::fulltext::server {

namespace {

constexpr qint64 MaxPage = (qint64(1) << PageBits) - 1;

const QString WordsIndex = QStringLiteral("CREATE INDEX IF NOT EXISTS \"Full Text Words words\" "
                                          "ON \"Full Text Words\" USING gin (words)");

// The words of each page in a narrow table of their own, apart from its text, with its length
// in words: a row there is a few dozen bytes, its words kept out of line, so that a search for a
// common word reads a block for a hundred pages, and the words themselves only of the pages it
// ranks.
const QString WordsTable =
    QStringLiteral("CREATE TABLE IF NOT EXISTS \"Full Text Words\" (page bigint PRIMARY KEY, "
                   "length integer NOT NULL, words tsvector NOT NULL); ALTER TABLE \"Full Text "
                   "Words\" ALTER COLUMN words SET STORAGE EXTERNAL; ");

// The first number of the program's locks on the server, the second the file's (or 0 for the
// tables themselves).
constexpr int LockKey = 0x51465458;

void lock(db::Database& database, qint32 what)
{
    db::NativeStatement take(
        database, QStringLiteral("SELECT pg_advisory_xact_lock(%1, ?1::integer)").arg(LockKey));
    take.bind(1, what).run();
}

void removePages(db::Database& database, qint32 fileId)
{
    for (const char* table : {"Full Text Pages", "Full Text Words"}) {
        db::NativeStatement drop(database,
                                 QStringLiteral("DELETE FROM \"%1\" WHERE page BETWEEN ?1 AND ?2")
                                     .arg(QLatin1String(table)));
        drop.bind(1, qint64(fileId) << PageBits)
            .bind(2, (qint64(fileId) << PageBits) | MaxPage)
            .run();
    }
}

void storeFile(db::Database& database, const IndexChange& w)
{
    const Extraction& e = w.extraction;
    removePages(database, w.fileId);
    int pages = 0;
    if (e.outcome == Extraction::Outcome::Read) {
        db::NativeStatement keep(database, QStringLiteral("INSERT INTO \"Full Text Pages\" (page, "
                                                          "body) VALUES (?1, ?2)"));
        db::NativeStatement words(database, QStringLiteral("INSERT INTO \"Full Text Words\" "
                                                           "(page, length, words) VALUES (?1, "
                                                           "?2, ?3::tsvector)"));
        for (qsizetype i = 0; i < e.pages.size() && i < MaxPage; ++i) {
            if (e.pages[i].trimmed().isEmpty())
                continue;
            QVariantList page{(qint64(w.fileId) << PageBits) | (i + 1), e.pages[i]};
            prepareServerPage(page);
            keep.bind(1, page[0]).bind(2, page[1]).run();
            words.bind(1, page[0]).bind(2, page[2]).bind(3, page[3]).run();
            ++pages;
        }
    }
    storeFileState(database, w, pages);
}

// Whether the three tables of the index are there (and, when asked, may be read by this member: a
// project's roles are given the tables there were when they were given their rights).
bool tablesThere(db::Database& database, bool readable)
{
    db::NativeStatement tables(
        database,
        QStringLiteral("SELECT count(*) FROM pg_class c WHERE c.relnamespace = "
                       "current_schema()::regnamespace AND c.relkind = 'r' AND "
                       "c.relname IN ('Full Text Files', 'Full Text Pages', 'Full Text Words')%1")
            .arg(readable ? QStringLiteral(" AND has_table_privilege(c.oid, 'SELECT')")
                          : QString()));
    return tables.next() && tables.number(0) == 3;
}

bool tableThere(db::Database& database, const char* name)
{
    db::NativeStatement table(
        database,
        QStringLiteral("SELECT to_regclass('\"%1\"') IS NOT NULL").arg(QLatin1String(name)));
    return table.next() && table.number(0) != 0;
}

} // namespace

void createMissingIndexTables(db::Database& database)
{
    if (tablesThere(database, false))
        return;
    // In the caller's transaction when there is one (a copy of the whole project); members who
    // open an older project at once make them one after the other.
    std::optional<db::Transaction> transaction;
    if (!database.inTransaction())
        transaction.emplace(database);
    lock(database, 0);
    if (tablesThere(database, false))
        return; // made by another member meanwhile
    if (tableThere(database, "Full Text Pages") && !tableThere(database, "Full Text Words")) {
        // An index of an earlier version kept each page's words in the page's row: they are
        // moved, not read again (a page's length is then its last word's place).
        db::NativeStatement::exec(
            database,
            WordsTable +
                QStringLiteral(
                    "INSERT INTO \"Full Text Words\" (page, length, words) SELECT page, "
                    "(SELECT coalesce(max(p), 0) FROM unnest(t.words) u, unnest(u.positions) p), "
                    "words FROM \"Full Text Pages\" t; ALTER TABLE \"Full Text Pages\" DROP "
                    "COLUMN IF EXISTS words; ") +
                WordsIndex);
    }
    db::NativeStatement::exec(
        database,
        QStringLiteral(
            "CREATE TABLE IF NOT EXISTS \"Full Text Files\" (\"File ID\" integer PRIMARY KEY, "
            "\"Paper ID\" integer, \"Size\" bigint, \"Modified\" text, \"Content Hash\" text, "
            "\"State\" text, \"Reason\" text, \"Pages\" integer); "
            "CREATE TABLE IF NOT EXISTS \"Full Text Pages\" (page bigint PRIMARY KEY, body text "
            "NOT NULL); ") +
            WordsTable + WordsIndex +
            QStringLiteral("; DELETE FROM \"Full Text Words\" w WHERE NOT EXISTS (SELECT 1 FROM "
                           "\"Full Text Pages\" t WHERE t.page = w.page)"));
    if (transaction)
        transaction->commit();
}

bool hasIndexTables(db::Database& database)
{
    return tablesThere(database, true);
}

void clearIndex(db::Database& database)
{
    db::Transaction transaction(database);
    createMissingIndexTables(database);
    db::NativeStatement::exec(database, QStringLiteral("DELETE FROM \"Full Text Pages\"; "
                                                       "DELETE FROM \"Full Text Words\"; "
                                                       "DELETE FROM \"Full Text Files\""));
    transaction.commit();
}

void writeChange(db::Database& database, const IndexChange& change)
{
    db::Transaction transaction(database);
    switch (change.kind) {
    case IndexChange::Kind::Store:
        lock(database, change.fileId);
        storeFile(database, change);
        break;
    case IndexChange::Kind::Touch: {
        lock(database, change.fileId);
        db::NativeStatement touch(database,
                                  QStringLiteral("UPDATE \"Full Text Files\" SET \"Size\" = ?2, "
                                                 "\"Modified\" = ?3 WHERE \"File ID\" = ?1"));
        touch.bind(1, change.fileId).bind(2, change.size).bind(3, change.modified).run();
        break;
    }
    case IndexChange::Kind::Remove: {
        db::NativeStatement file(
            database, QStringLiteral("DELETE FROM \"Full Text Files\" WHERE \"File ID\" = ?1"));
        QList<qint32> gone = change.gone;
        std::sort(gone.begin(), gone.end()); // locks taken in one order by every member
        for (const qint32 id : gone) {
            lock(database, id);
            removePages(database, id);
            file.bind(1, id).run();
        }
        break;
    }
    }
    transaction.commit();
}

std::vector<FullTextHit> searchFullText(db::Database& database, const QString& typed)
{
    std::vector<FullTextHit> hits;
    const QString query = tsqueryText(typed);
    if (query.isEmpty() || !hasIndexTables(database))
        return hits;
    // The pages found, through the index of their words (also for a prefix, where the server
    // would read every page's words instead, a hundred times longer); then each paper once, with
    // the first page found in its files, the papers ranked by how well that page matches: only
    // those pages' words are read.
    db::ReadTransaction reading(database);
    db::NativeStatement steer(database, QStringLiteral("SELECT current_setting('enable_seqscan'), "
                                                       "set_config('enable_seqscan', 'off', "
                                                       "true)"));
    const QString seqscan = steer.next() ? steer.text(0) : QStringLiteral("on");
    db::NativeStatement found(
        database,
        QStringLiteral(
            "WITH m AS MATERIALIZED (SELECT page FROM \"Full Text Words\" WHERE words @@ "
            "?1::tsquery), h AS (SELECT DISTINCT ON (s.\"Paper ID\") s.\"Paper ID\" AS paper, "
            "m.page FROM m JOIN \"Full Text Files\" s ON s.\"File ID\" = m.page >> %1 WHERE "
            "EXISTS (SELECT 1 FROM \"Paper Files\" f WHERE f.\"File ID\" = s.\"File ID\") "
            "ORDER BY s.\"Paper ID\", m.page) SELECT h.paper, p.\"Title\", h.page FROM h JOIN "
            "\"Full Text Words\" w ON w.page = h.page JOIN \"Papers\" p ON p.\"Paper ID\" = "
            "h.paper ORDER BY ts_rank(w.words, ?1::tsquery, 1) DESC, h.paper")
            .arg(PageBits));
    found.bind(1, query);
    while (found.next()) {
        const qint64 row = found.number(2);
        hits.push_back({static_cast<qint32>(found.number(0)), found.text(1),
                        static_cast<qint32>(row >> PageBits), pageOfRow(row), row});
    }
    db::NativeStatement restore(database,
                                QStringLiteral("SELECT set_config('enable_seqscan', ?1, true)"));
    restore.bind(1, seqscan).run();
    return hits;
}

QString passage(db::Database& database, const QString& typed, qint64 row)
{
    if (tsqueryText(typed).isEmpty() || !hasIndexTables(database))
        return {};
    db::NativeStatement page(
        database, QStringLiteral("SELECT body FROM \"Full Text Pages\" WHERE page = ?1"));
    page.bind(1, row);
    if (!page.next())
        return {};
    return markedPassage(page.text(0), typed).simplified();
}

QString readPagesSql()
{
    return QStringLiteral("SELECT page, body FROM \"Full Text Pages\"");
}

QStringList pageFields()
{
    return {QStringLiteral("page"), QStringLiteral("body")};
}

QString wordsTable()
{
    return QStringLiteral("Full Text Words");
}

QStringList wordsFields()
{
    return {QStringLiteral("page"), QStringLiteral("length"), QStringLiteral("words")};
}

void clearPages(db::Database& database)
{
    db::NativeStatement owner(database,
                              QStringLiteral("SELECT pg_has_role(relowner, 'USAGE') FROM pg_class "
                                             "WHERE oid = to_regclass('\"Full Text Words\"')"));
    if (owner.next() && owner.number(0) != 0)
        db::NativeStatement::exec(database,
                                  QStringLiteral("DROP INDEX IF EXISTS \"Full Text Words words\""));
    db::NativeStatement::exec(database, QStringLiteral("DELETE FROM \"Full Text Pages\"; DELETE "
                                                       "FROM \"Full Text Words\""));
}

void indexPages(db::Database& database)
{
    db::NativeStatement missing(
        database, QStringLiteral("SELECT to_regclass('\"Full Text Words words\"') IS NULL"));
    if (missing.next() && missing.number(0) != 0)
        db::NativeStatement::exec(database, WordsIndex);
}

void prepareServerPage(QVariantList& page)
{
    const QString text = serverPageText(page.value(1).toString());
    page[1] = text;
    qsizetype length = 0;
    const QString words = tsvectorText(text, &length);
    page.append(qint64(length));
    page.append(words);
}

} // namespace quirelle::fulltext::server
