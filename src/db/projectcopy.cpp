// Copying a project between databases, checked table by table.
#include "db/projectcopy.h"

#include "db/database.h"
#include "db/dberror.h"
#include "db/jetsql.h"
#include "db/nativesql.h"
#include "db/projectlock.h"
#include "db/schema.h"
#include "fulltext/data/fulltextindex.h"
#include "fulltext/data/serverindex.h"

#include <QCryptographicHash>
#include <QFile>
#include <QFileInfo>
#include <QtEndian>

#include <array>
#include <memory>

namespace quirelle::db {

namespace {

const QString MasterTable = QStringLiteral("Master");
const QString Extension = QStringLiteral(".mdb");

// How a table of the full-text index is read, written and emptied in one engine's own language
// (the index is made of each engine's own kinds of table). A server's table is written as the
// described ones are, many rows at once: its fields are the ones read, and those `toServer` adds.
struct NativeForm
{
    QString readSql;
    QString insertSql;
    QString clearSql;
    QStringList written;
    QString finishSql; // run once every row is there
    // In place of clearSql and finishSql where the engine's state decides.
    void (*clear)(Database&) = nullptr;
    void (*finish)(Database&) = nullptr;
    // A second table written with this one (a server's words of the pages): the row's first
    // value, then the values past `written`.
    QString alongside;
    QStringList alongsideWritten;
};

// One table as the copy reads and writes it: its fields in order and how each value is read.
struct CopiedTable
{
    QString name;
    QStringList fields;
    std::vector<FieldType> types;
    bool native = false;
    NativeForm file;
    NativeForm server;
    // What a server keeps of a row read (and the values of the fields it adds), when that
    // differs.
    void (*toServer)(QVariantList& row) = nullptr;

    const NativeForm& form(const Database& database) const
    {
        return database.isServer() ? server : file;
    }
};

CopiedTable describedTable(const TableDef& def)
{
    CopiedTable t{def.name, {}, {}, false, {}, {}, nullptr};
    for (const FieldDef& f : def.fields) {
        t.fields << f.name;
        t.types.push_back(f.type);
    }
    return t;
}

// The project's tables: the described ones and those later versions added.
std::vector<CopiedTable> projectTablesToCopy()
{
    std::vector<CopiedTable> tables;
    for (const auto* defs : {&projectTables(), &addedTables()}) {
        for (const TableDef& def : *defs)
            tables.push_back(describedTable(def));
    }
    return tables;
}

QString bracketed(const QString& name)
{
    return QLatin1Char('[') + name + QLatin1Char(']');
}

// The full-text index: a page's row number says its file and page, so it is copied as it is;
// a server reads the words of each page as it is written there.
std::vector<CopiedTable> indexTables()
{
    constexpr auto Long = FieldType::Long;
    constexpr auto Text = FieldType::Memo;
    const QStringList states{QStringLiteral("File ID"),      QStringLiteral("Paper ID"),
                             QStringLiteral("Size"),         QStringLiteral("Modified"),
                             QStringLiteral("Content Hash"), QStringLiteral("State"),
                             QStringLiteral("Reason"),       QStringLiteral("Pages")};
    QStringList quoted;
    QStringList params;
    for (qsizetype i = 0; i < states.size(); ++i) {
        quoted << QLatin1Char('"') + states[i] + QLatin1Char('"');
        params << QStringLiteral("?%1").arg(i + 1);
    }
    // Either engine reads these.
    NativeForm statesForm;
    statesForm.readSql =
        QStringLiteral("SELECT %1 FROM \"Full Text Files\"").arg(quoted.join(QStringLiteral(", ")));
    statesForm.insertSql =
        QStringLiteral("INSERT INTO \"Full Text Files\" (%1) VALUES (%2)")
            .arg(quoted.join(QStringLiteral(", ")), params.join(QStringLiteral(", ")));
    statesForm.clearSql = QStringLiteral("DELETE FROM \"Full Text Files\"");
    statesForm.written = states;
    NativeForm filePages;
    filePages.readSql = QStringLiteral("SELECT page, body FROM [Full Text Body]");
    filePages.insertSql = QStringLiteral("INSERT INTO [Full Text Pages] (page, packed) VALUES (?1, "
                                         "fulltext_pack(?2))");
    filePages.clearSql = QStringLiteral("DELETE FROM [Full Text Pages]");
    filePages.finishSql = QStringLiteral("INSERT INTO [Full Text]([Full Text]) VALUES ('rebuild')");
    NativeForm serverPages;
    serverPages.readSql = fulltext::server::readPagesSql();
    serverPages.written = fulltext::server::pageFields();
    serverPages.clear = fulltext::server::clearPages;
    serverPages.finish = fulltext::server::indexPages;
    serverPages.alongside = fulltext::server::wordsTable();
    serverPages.alongsideWritten = fulltext::server::wordsFields();
    return {
        // The pages' text, read expanded and stored compressed in a file; the index of its words
        // is made once every page is there (also on a server, where that takes half as long as
        // keeping it page by page, and the words are kept in a table of their own).
        {QStringLiteral("Full Text Pages"),
         {QStringLiteral("page"), QStringLiteral("body")},
         {Long, Text},
         true,
         filePages,
         serverPages,
         fulltext::server::prepareServerPage},
        {QStringLiteral("Full Text Files"),
         states,
         {Long, Long, Long, Text, Text, Text, Text, Long},
         true,
         statesForm,
         statesForm,
         nullptr},
    };
}

// A multiset hash of the rows: each row's SHA-256 added lane by lane, so that neither the order
// of the rows nor the engine's way of returning them matters, while a changed, missing or
// repeated row does.
class Checksum
{
public:
    explicit Checksum(const CopiedTable& table) : m_table(table) {}

    void add(const QVariantList& row)
    {
        QCryptographicHash hash(QCryptographicHash::Sha256);
        for (size_t i = 0; i < m_table.types.size(); ++i) {
            const QVariant& v = row[static_cast<qsizetype>(i)];
            if (v.isNull()) {
                hash.addData("N");
            } else if (m_table.types[i] == FieldType::Long) {
                hash.addData("I");
                hash.addData(QByteArray::number(v.toLongLong()));
                hash.addData(";");
            } else {
                const QByteArray utf8 = v.toString().toUtf8();
                hash.addData("T");
                hash.addData(QByteArray::number(utf8.size()));
                hash.addData(":");
                hash.addData(utf8);
            }
        }
        const QByteArray digest = hash.result();
        for (size_t lane = 0; lane < m_lanes.size(); ++lane)
            m_lanes[lane] += qFromBigEndian<quint64>(digest.constData() + lane * 8);
        ++m_rows;
    }

    TableSummary summary() const
    {
        QByteArray bytes;
        for (quint64 lane : m_lanes) {
            char b[8];
            qToBigEndian(lane, b);
            bytes.append(b, 8);
        }
        return {m_table.name, m_rows, bytes.toHex()};
    }

private:
    const CopiedTable& m_table;
    std::array<quint64, 4> m_lanes{};
    qint64 m_rows = 0;
};

// A row of either kind of reader, each value as the field's type reads it.
template<class Reader>
QVariantList rowOf(const Reader& r, const CopiedTable& t)
{
    QVariantList row;
    for (size_t i = 0; i < t.types.size(); ++i) {
        const int column = static_cast<int>(i);
        if (r.isNull(column))
            row << QVariant();
        else if (t.types[i] == FieldType::Long)
            row << QVariant(r.number(column));
        else
            row << QVariant(r.text(column));
    }
    return row;
}

// Walks every row of the table in `database`, handing each to `each`.
template<class F>
void forEachStoredRow(Database& database, const CopiedTable& t, F&& each)
{
    if (t.native) {
        // The index's tables are each engine's own, unknown to the dialect; they are all there
        // (or none is) when the copy reads them.
        NativeStatement rows(database, t.form(database).readSql);
        while (rows.next())
            each(rowOf(rows, t));
    } else {
        if (!database.tableExists(t.name))
            return; // an older project without the table: no rows
        RowStream rows(database, t.name, t.fields);
        while (rows.next())
            each(rowOf(rows, t));
    }
}

TableSummary summarize(Database& database, const CopiedTable& t)
{
    Checksum sum(t);
    forEachStoredRow(database, t, [&sum](const QVariantList& row) { sum.add(row); });
    return sum.summary();
}

void clearRows(Database& database, const CopiedTable& t)
{
    if (t.native) {
        const NativeForm& form = t.form(database);
        if (form.clear)
            form.clear(database);
        else
            NativeStatement::exec(database, form.clearSql);
        return;
    }
    Recordset rs =
        database.OpenRecordset(QStringLiteral("select * from %1").arg(bracketed(t.name)));
    const int count = rs.RecordCount();
    if (count == 0)
        return;
    rs.MoveFirst();
    for (int i = 0; i < count; ++i) {
        rs.Delete();
        rs.MoveNext();
    }
}

void finishRows(Database& database, const CopiedTable& t)
{
    const NativeForm& form = t.form(database);
    if (form.finish)
        form.finish(database);
    else if (!form.finishSql.isEmpty())
        NativeStatement::exec(database, form.finishSql);
}

// Copies the rows and returns the summary of what was read.
TableSummary copyRows(Database& source, Database& destination, const CopiedTable& t)
{
    Checksum sum(t);
    if (t.native && !destination.isServer()) {
        NativeStatement insert(destination, t.file.insertSql);
        forEachStoredRow(source, t, [&](const QVariantList& row) {
            for (qsizetype i = 0; i < row.size(); ++i)
                insert.bind(static_cast<int>(i + 1), row[i]);
            insert.run();
            sum.add(row);
        });
    } else if (t.native) {
        RowWriter writer(destination, t.name, t.server.written);
        std::unique_ptr<RowWriter> beside;
        if (!t.server.alongside.isEmpty())
            beside = std::make_unique<RowWriter>(destination, t.server.alongside,
                                                 t.server.alongsideWritten);
        // One connection sends one table's rows at a time: the second table's are kept and
        // sent a batch at a time after the first's.
        std::vector<QVariantList> kept;
        const auto sendKept = [&] {
            writer.flush();
            for (const QVariantList& row : kept)
                beside->put(row);
            beside->flush();
            kept.clear();
        };
        forEachStoredRow(source, t, [&](QVariantList row) {
            if (t.toServer)
                t.toServer(row); // the checksum is of what the server keeps
            writer.put(row);
            sum.add(row);
            if (beside) {
                kept.push_back(QVariantList{row.first()} + row.mid(t.server.written.size()));
                if (kept.size() >= 256)
                    sendKept();
            }
        });
        if (beside)
            sendKept();
        writer.flush();
    } else {
        RowWriter writer(destination, t.name, t.fields);
        forEachStoredRow(source, t, [&](const QVariantList& row) {
            writer.put(row);
            sum.add(row);
        });
        writer.flush();
    }
    return sum.summary();
}

bool hasSequences(Database& database)
{
    NativeStatement table(database, QStringLiteral("SELECT 1 FROM sqlite_master WHERE name = "
                                                   "'sqlite_sequence'"));
    return table.next();
}

// The numbers SQLite has handed out, so that a copy never hands out again the number of a row
// deleted before it was made (a server's sequences are its engine's to keep).
void copySequences(Database& source, Database& destination)
{
    if (!hasSequences(source) || !hasSequences(destination))
        return;
    NativeStatement read(source, QStringLiteral("SELECT name, seq FROM sqlite_sequence"));
    NativeStatement update(destination, QStringLiteral("UPDATE sqlite_sequence SET seq = "
                                                       "max(seq, ?2) WHERE name = ?1"));
    NativeStatement insert(destination,
                           QStringLiteral("INSERT INTO sqlite_sequence (name, seq) SELECT ?1, ?2 "
                                          "WHERE NOT EXISTS (SELECT 1 FROM sqlite_sequence "
                                          "WHERE name = ?1)"));
    while (read.next()) {
        for (NativeStatement* s : {&update, &insert}) {
            s->bind(1, read.text(0)).bind(2, read.number(1));
            s->run();
        }
    }
}

[[noreturn]] void refuse(const QString& reason)
{
    throw DbError(err::Generic, reason);
}

void requireProjectTables(Database& database, const QString& shownAs)
{
    for (const TableDef& t : projectTables()) {
        if (!tableExists(database, t.name))
            refuse(QStringLiteral("%1 is not a project: the table '%2' is missing.")
                       .arg(shownAs, t.name));
    }
}

QString describe(const std::exception& e)
{
    if (const auto* dbError = dynamic_cast<const DbError*>(&e))
        return dbError->description();
    return QString::fromUtf8(e.what());
}

// Removes a project file this copy created (and what SQLite kept beside it), unless disarmed.
class CreatedFile
{
public:
    explicit CreatedFile(const QString& file) : m_file(file) {}
    ~CreatedFile()
    {
        if (m_file.isEmpty())
            return;
        for (const char* suffix : {"", "-journal", "-wal", "-shm"})
            QFile::remove(m_file + QLatin1String(suffix));
    }
    CreatedFile(const CreatedFile&) = delete;
    CreatedFile& operator=(const CreatedFile&) = delete;
    void keep() { m_file.clear(); }

private:
    QString m_file;
};

bool sameProject(const QString& a, const QString& b)
{
    if (isServerAddress(a) || isServerAddress(b))
        return displayAddress(a) == displayAddress(b);
    const QString canonical = QFileInfo(a).canonicalFilePath();
    return !canonical.isEmpty() && canonical == QFileInfo(b).canonicalFilePath();
}

} // namespace

bool holdsProjectRows(Database& database)
{
    for (const CopiedTable& t : projectTablesToCopy()) {
        if (!database.tableExists(t.name))
            continue;
        if (t.name == MasterTable) {
            RowStream notes(database, t.name, {QStringLiteral("ToDos")});
            while (notes.next()) {
                if (!notes.text(0).isEmpty())
                    return true;
            }
            continue;
        }
        RowStream rows(database, t.name, {t.fields.first()});
        if (rows.next())
            return true;
    }
    return false;
}

TableSummary summarizeTable(Database& database, const QString& table)
{
    for (const CopiedTable& t : projectTablesToCopy()) {
        if (t.name.compare(table, Qt::CaseInsensitive) == 0)
            return summarize(database, t);
    }
    throw DbError(err::NotInCollection, QStringLiteral("Item not found in this collection."));
}

// A server plans its searches by what it knows of each table's rows and finds text through
// indexes that take in new rows a batch at a time: both are brought up to date after a copy,
// rather than whenever the server comes to it, so that the first searches are quick. (A role
// that does not own the tables is passed over with a warning; that costs nothing but time.)
void tidyServerTables(Database& destination, const std::vector<CopiedTable>& tables)
{
    QStringList names;
    for (const CopiedTable& t : tables) {
        names << sqliteName(t.name);
        if (!t.server.alongside.isEmpty())
            names << sqliteName(t.server.alongside);
    }
    try {
        NativeStatement::exec(
            destination,
            QStringLiteral("VACUUM (ANALYZE) %1").arg(names.join(QStringLiteral(", "))));
    } catch (const DbError&) {
        // The copy is made; the server tidies the tables itself in time.
    }
}

CopyResult copyTables(Database& source, Database& destination, CopyMode mode,
                      const CopyProgress& progress)
{
    CopyResult result;
    try {
        if (destination.readOnly())
            refuse(QStringLiteral("%1 may only be read here.").arg(destination.path()));
        std::vector<CopiedTable> tables = projectTablesToCopy();
        for (const CopiedTable& t : tables) {
            if (!destination.tableExists(t.name))
                refuse(QStringLiteral("%1 has no table '%2'.").arg(destination.path(), t.name));
        }
        ReadTransaction reading(source);
        Transaction writing(destination);
        // The index goes with the project, from either engine to either; an index of an older
        // version, which did not keep the pages' text, is left for the destination to make anew.
        const bool withIndex = fulltext::hasIndexTables(source) &&
                               source.tableExists(QStringLiteral("Full Text Pages"));
        if (withIndex) {
            fulltext::createMissingIndexTables(destination);
            for (CopiedTable& t : indexTables())
                tables.push_back(std::move(t));
        }
        if (mode == CopyMode::IntoEmpty && holdsProjectRows(destination))
            refuse(QStringLiteral("%1 already holds a project; a project is only copied into an "
                                  "empty one.")
                       .arg(destination.path()));
        for (const CopiedTable& t : tables) {
            if (progress)
                progress(t.name);
            // Also in an empty project: a Master row without notes gives way to the source's.
            clearRows(destination, t);
            const TableSummary read = copyRows(source, destination, t);
            if (t.native)
                finishRows(destination, t);
            const TableSummary written = summarize(destination, t);
            if (read != written)
                refuse(QStringLiteral("The copy of the table '%1' does not match: %2 rows read "
                                      "(checksum %3), %4 rows written (checksum %5). Nothing was "
                                      "copied.")
                           .arg(t.name)
                           .arg(read.rows)
                           .arg(QString::fromLatin1(read.checksum))
                           .arg(written.rows)
                           .arg(QString::fromLatin1(written.checksum)));
            // A server keeps each page's words beside it, one row for each.
            if (t.native && destination.isServer() && !t.server.alongside.isEmpty()) {
                NativeStatement beside(
                    destination,
                    QStringLiteral("SELECT count(*) FROM %1").arg(sqliteName(t.server.alongside)));
                const qint64 words = beside.next() ? beside.number(0) : -1;
                if (words != written.rows)
                    refuse(QStringLiteral("The copy of the table '%1' does not match: %2 rows of "
                                          "'%3' for its %4 rows. Nothing was copied.")
                               .arg(t.name, QString::number(words), t.server.alongside,
                                    QString::number(written.rows)));
            }
            result.tables.push_back(read);
        }
        if (!source.isServer() && !destination.isServer())
            copySequences(source, destination);
        writing.commit();
        result.ok = true;
        if (destination.isServer() && !destination.inTransaction())
            tidyServerTables(destination, tables);
    } catch (const std::exception& e) {
        result.tables.clear();
        result.reason = describe(e);
    }
    return result;
}

QString projectLocation(const QString& given)
{
    if (isServerAddress(given) || given.endsWith(Extension))
        return given;
    return given + Extension;
}

CopyResult copyProject(const QString& source, const QString& destination, CopyMode mode,
                       const CopyProgress& progress)
{
    CopyResult result;
    const QString sourceShown = isServerAddress(source) ? displayAddress(source) : source;
    const QString destinationShown =
        isServerAddress(destination) ? displayAddress(destination) : destination;
    std::unique_ptr<CreatedFile> created;
    try {
        if (!isServerAddress(source) && !QFileInfo(source).isFile())
            refuse(QStringLiteral("The project file %1 does not exist.").arg(source));
        if (sameProject(source, destination))
            refuse(QStringLiteral("%1 is both the source and the destination.").arg(sourceShown));
        const std::unique_ptr<Database> from = Database::OpenDatabase(source, true);
        requireProjectTables(*from, sourceShown);

        std::unique_ptr<ProjectLock> lock;
        const bool toFile = !isServerAddress(destination);
        if (toFile) {
            if (!destination.endsWith(Extension))
                refuse(QStringLiteral("%1 is not a project: its name does not end in .mdb")
                           .arg(destination));
            // As when the program opens it: another copy that has it open would be written under.
            lock = std::make_unique<ProjectLock>(destination);
            if (lock->tryLock() == ProjectLock::Status::HeldElsewhere)
                refuse(lock->message());
            if (!QFileInfo::exists(destination)) {
                createProjectFile(destination.chopped(Extension.size()));
                created = std::make_unique<CreatedFile>(destination);
            }
        }
        std::unique_ptr<Database> to = Database::OpenDatabase(destination);
        requireProjectTables(*to, destinationShown);
        // What the program adds on opening a project of an older version: the copy then has a
        // place for every row.
        if (toFile && !to->readOnly())
            createMissingAddedTables(*to);
        result = copyTables(*from, *to, mode, progress);
        to->Close();
        if (result.ok && created)
            created->keep();
    } catch (const std::exception& e) {
        result = {};
        result.reason = describe(e);
    }
    return result;
}

} // namespace quirelle::db
