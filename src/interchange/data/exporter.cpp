// Exporting papers as references.
#include "interchange/data/exporter.h"

#include "db/dberror.h"
#include "interchange/data/bibtex.h"
#include "interchange/data/csljson.h"
#include "interchange/data/extrafields.h"
#include "interchange/data/filefield.h"
#include "interchange/data/mapping.h"
#include "interchange/data/ris.h"
#include "paper/data/paperfiles.h"

#include <QDir>
#include <QFileInfo>

#include <QHash>
#include <QSaveFile>
#include <QSet>

#include <algorithm>
#include <span>
#include <tuple>

namespace quirelle::interchange {

namespace {

// Above this many papers, reading whole tables once beats one query per paper.
constexpr qsizetype PerPaperQueries = 500;

struct Stored
{
    qint32 id = 0;
    PaperData data;
};

// The ids one kind of link gives the papers written, in the order the links were added: read
// into one array, then grouped by paper, rather than kept in a small list per paper.
class Links final
{
public:
    void add(qsizetype paper, qint32 id) { m_rows.emplace_back(paper, id); }

    void group(qsizetype papers)
    {
        m_start.assign(static_cast<size_t>(papers) + 1, 0);
        for (const auto& [paper, id] : m_rows)
            ++m_start[static_cast<size_t>(paper) + 1];
        for (size_t i = 1; i < m_start.size(); ++i)
            m_start[i] += m_start[i - 1];
        std::vector<qsizetype> next(m_start.begin(), m_start.end() - 1);
        m_ids.resize(m_rows.size());
        for (const auto& [paper, id] : m_rows)
            m_ids[static_cast<size_t>(next[static_cast<size_t>(paper)]++)] = id;
        m_rows = {};
    }

    std::span<const qint32> of(qsizetype paper) const
    {
        const auto from = static_cast<size_t>(m_start[static_cast<size_t>(paper)]);
        const auto to = static_cast<size_t>(m_start[static_cast<size_t>(paper) + 1]);
        return std::span<const qint32>(m_ids.data() + from, to - from);
    }

private:
    std::vector<std::pair<qsizetype, qint32>> m_rows;
    std::vector<qint32> m_ids;
    std::vector<qsizetype> m_start;
};

// Values by number: a table when the numbers are dense, as numbers given in order are.
template<typename T>
class ById final
{
public:
    void insert(qint32 id, T value)
    {
        if (m_dense.empty())
            m_hash.insert(id, std::move(value));
        else
            set(id, std::move(value));
    }
    bool contains(qint32 id) const
    {
        if (m_dense.empty())
            return m_hash.contains(id);
        return id >= 0 && static_cast<size_t>(id) < m_dense.size() &&
               m_has[static_cast<size_t>(id)];
    }
    T value(qint32 id) const
    {
        if (m_dense.empty())
            return m_hash.value(id);
        return contains(id) ? m_dense[static_cast<size_t>(id)] : T();
    }
    // Moves the values to a table when the numbers allow it.
    void compact()
    {
        qint32 highest = -1;
        for (auto it = m_hash.cbegin(); it != m_hash.cend(); ++it) {
            if (it.key() < 0)
                return;
            highest = std::max(highest, it.key());
        }
        if (highest < 0 || highest > 4 * m_hash.size() + 1024)
            return;
        m_dense.resize(static_cast<size_t>(highest) + 1);
        m_has.assign(static_cast<size_t>(highest) + 1, false);
        for (auto it = m_hash.begin(); it != m_hash.end(); ++it)
            set(it.key(), std::move(it.value()));
        m_hash.clear();
    }

private:
    void set(qint32 id, T value)
    {
        if (id < 0 || static_cast<size_t>(id) >= m_dense.size()) {
            // Outside the table: back to the hash for all.
            for (size_t i = 0; i < m_dense.size(); ++i) {
                if (m_has[i])
                    m_hash.insert(static_cast<qint32>(i), std::move(m_dense[i]));
            }
            m_dense.clear();
            m_has.clear();
            m_hash.insert(id, std::move(value));
            return;
        }
        m_dense[static_cast<size_t>(id)] = std::move(value);
        m_has[static_cast<size_t>(id)] = true;
    }

    QHash<qint32, T> m_hash;
    std::vector<T> m_dense;
    std::vector<bool> m_has;
};

const QStringList& paperFields()
{
    static const QStringList fields{QStringLiteral("Paper ID"),
                                    QStringLiteral("Title"),
                                    QStringLiteral("Year"),
                                    QStringLiteral("Summary"),
                                    QStringLiteral("Status"),
                                    QStringLiteral("Rating"),
                                    QStringLiteral("Publication Type"),
                                    QStringLiteral("Publication name")};
    return fields;
}

PaperData describedFields(const db::RowStream& row)
{
    PaperData p;
    p.title = row.text(1);
    p.year = row.text(2);
    p.summary = row.text(3);
    p.status = row.text(4);
    p.rating = row.text(5);
    p.publicationType = row.text(6);
    p.publicationName = row.text(7);
    return p;
}

// Everything the export writes, read from the project.
class Collector final
{
public:
    Collector(db::Database& database, const ExportRequest& request, bool extras)
        : m_db(database), m_extras(extras)
    {
        if (request.papers) {
            for (const qint32 id : *request.papers) {
                if (find(id))
                    continue;
                db::RowStream row(m_db, QStringLiteral("Papers"), paperFields(),
                                  QStringLiteral("Paper ID"), id);
                if (row.next())
                    add(id, row);
            }
            m_all = m_order.size() > PerPaperQueries;
        } else {
            m_all = true;
            db::RowStream row(m_db, QStringLiteral("Papers"), paperFields());
            while (row.next())
                add(static_cast<qint32>(row.number(0)), row);
        }

        indexByNumber();
        const qsizetype papers = static_cast<qsizetype>(m_stored.size());
        for (auto [table, field, ids] : {std::tuple{QStringLiteral("Paper Authors List"),
                                                    QStringLiteral("Author ID"), &m_authorLinks},
                                         std::tuple{QStringLiteral("Paper Keywords List"),
                                                    QStringLiteral("Keywords ID"), &m_keywordLinks},
                                         std::tuple{QStringLiteral("Paper References List"),
                                                    QStringLiteral("Reference ID"), &m_cited}}) {
            links(table, field, [&](qsizetype paper, const db::RowStream& row) {
                ids->add(paper, static_cast<qint32>(row.number(1)));
            });
            ids->group(papers);
        }
        links(QStringLiteral("Paper Statements List"), QStringLiteral("Statement"),
              [&](qsizetype paper, const db::RowStream& row) {
                  Stored& s = m_stored[static_cast<size_t>(paper)];
                  const QString q = row.text(1).trimmed();
                  if (!q.isEmpty())
                      s.data.quotations << q;
              });
        if (m_extras) {
            links(
                ExtraFieldsTable, QStringLiteral("Field Name"),
                [&](qsizetype paper, const db::RowStream& row) {
                    m_stored[static_cast<size_t>(paper)].data.extras.append(
                        {row.text(1), row.text(2)});
                },
                QStringLiteral("Value"));
            readKeys();
        }
        // CSL-JSON has no field for files.
        if (request.format != Format::CslJson && m_db.tableExists(paper::PaperFilesTable)) {
            m_files.resize(static_cast<size_t>(papers));
            links(paper::PaperFilesTable, QStringLiteral("Path"),
                  [&](qsizetype paper, const db::RowStream& row) {
                      m_files[static_cast<size_t>(paper)] << row.text(1);
                  });
        }
        readNames();
        m_authors.compact();
        m_keywords.compact();
        m_keys.compact();
    }

    QList<qint32> order() const { return m_order; }

    // The paths of the paper's files as stored (relative to the project's folder or absolute).
    QStringList files(qint32 id) const
    {
        const qsizetype at = indexOf(id);
        return at < 0 || static_cast<size_t>(at) >= m_files.size()
                   ? QStringList()
                   : m_files[static_cast<size_t>(at)];
    }

    // Every paper written or cited gets its key; new ones are stored unless the file is
    // read-only.
    void assignKeys(bool store)
    {
        QList<qint32> needing;
        QSet<qint32> seen;
        for (size_t i = 0; i < m_stored.size(); ++i) {
            const Stored& s = m_stored[i];
            for (const qint32 c : m_cited.of(static_cast<qsizetype>(i))) {
                if (!m_keys.contains(c) && !seen.contains(c)) {
                    seen.insert(c);
                    needing << c;
                }
            }
            if (!m_keys.contains(s.id) && !seen.contains(s.id)) {
                seen.insert(s.id);
                needing << s.id;
            }
        }
        std::sort(needing.begin(), needing.end());
        store = store && m_extras;
        std::optional<db::RowWriter> extras;
        if (store && !needing.isEmpty())
            extras.emplace(m_db, ExtraFieldsTable,
                           QStringList{QStringLiteral("Paper ID"), QStringLiteral("Field Name"),
                                       QStringLiteral("Value")});
        for (const qint32 id : needing) {
            const auto [surname, year, title] = keyParts(id);
            if (title.isNull())
                continue; // a cited paper that is gone
            const QString base = keyBase(surname, year, title);
            QString key = base;
            for (int n = 0; m_takenKeys.contains(key.toCaseFolded()); ++n) {
                QString suffix;
                for (int k = n; k >= 0; k = k / 26 - 1)
                    suffix.prepend(QChar(u'a' + k % 26));
                key = base + suffix;
            }
            m_takenKeys.insert(key.toCaseFolded());
            m_keys.insert(id, key);
            if (extras)
                extras->add({QString::number(id), extra::CitationKey, key});
        }
    }

    // The paper as the mapping takes it: links by value, key and cited keys filled in. Each
    // paper is taken once, after the keys are given out: its stored copy is handed over.
    PaperData take(qint32 id)
    {
        const qsizetype at = indexOf(id);
        PaperData p = std::move(m_stored[static_cast<size_t>(at)].data);
        for (const qint32 a : m_authorLinks.of(at))
            p.authors.push_back(m_authors.value(a));
        for (const qint32 k : m_keywordLinks.of(at)) {
            const QString text = m_keywords.value(k);
            if (!text.isEmpty() && !p.keywords.contains(text))
                p.keywords << text;
        }
        p.key = m_keys.value(id);
        for (const qint32 c : m_cited.of(at)) {
            const QString key = m_keys.value(c);
            if (!key.isEmpty() && !p.cites.contains(key))
                p.cites << key;
        }
        // Cited keys of papers the project does not have, kept since the import.
        for (const QString& k : p.extraValue(QString(extra::Cites)).split(QLatin1Char(','))) {
            const QString key = k.trimmed();
            if (!key.isEmpty() && !p.cites.contains(key, Qt::CaseInsensitive))
                p.cites << key;
        }
        return p;
    }

private:
    // The paper's place among those written, or -1.
    qsizetype indexOf(qint32 id) const
    {
        if (!m_dense.empty()) {
            return id >= 0 && static_cast<size_t>(id) < m_dense.size()
                       ? m_dense[static_cast<size_t>(id)]
                       : -1;
        }
        return m_index.value(id, -1);
    }

    Stored* find(qint32 id)
    {
        const qsizetype at = indexOf(id);
        return at < 0 ? nullptr : &m_stored[static_cast<size_t>(at)];
    }

    void add(qint32 id, const db::RowStream& row)
    {
        m_index.insert(id, static_cast<qsizetype>(m_stored.size()));
        m_stored.push_back({id, describedFields(row)});
        m_order << id;
    }

    // Paper numbers are mostly dense: a table by number finds a paper faster than a hash.
    void indexByNumber()
    {
        qint32 highest = 0;
        for (const Stored& s : m_stored)
            highest = std::max(highest, s.id);
        if (highest > 4 * static_cast<qint64>(m_stored.size()) + 1024)
            return;
        m_dense.assign(static_cast<size_t>(highest) + 1, -1);
        for (size_t i = 0; i < m_stored.size(); ++i) {
            if (m_stored[i].id >= 0)
                m_dense[static_cast<size_t>(m_stored[i].id)] = static_cast<qsizetype>(i);
        }
    }

    // The rows of a link table that belong to the papers written: [Paper ID] and `field`
    // (and `more`), in the order they were added.
    template<typename Row>
    void links(const QString& table, const QString& field, Row row, const QString& more = {})
    {
        QStringList fields{QStringLiteral("Paper ID"), field};
        if (!more.isEmpty())
            fields << more;
        if (m_all) {
            db::RowStream rows(m_db, table, fields);
            while (rows.next()) {
                if (const qsizetype at = indexOf(static_cast<qint32>(rows.number(0))); at >= 0)
                    row(at, rows);
            }
            return;
        }
        for (size_t i = 0; i < m_stored.size(); ++i) {
            db::RowStream rows(m_db, table, fields, QStringLiteral("Paper ID"),
                               QString::number(m_stored[i].id));
            while (rows.next())
                row(static_cast<qsizetype>(i), rows);
        }
    }

    void readNames()
    {
        QSet<qint32> authors, keywords;
        for (size_t i = 0; i < m_stored.size(); ++i) {
            for (const qint32 a : m_authorLinks.of(static_cast<qsizetype>(i)))
                authors.insert(a);
            for (const qint32 k : m_keywordLinks.of(static_cast<qsizetype>(i)))
                keywords.insert(k);
        }
        const QStringList authorFields{QStringLiteral("Author ID"), QStringLiteral("Surname"),
                                       QStringLiteral("Forenames")};
        const QStringList keywordFields{QStringLiteral("Keyword ID"), QStringLiteral("Keyword")};
        const auto readAuthors = [&](db::RowStream& rows) {
            while (rows.next())
                m_authors.insert(static_cast<qint32>(rows.number(0)), {rows.text(1), rows.text(2)});
        };
        const auto readKeywords = [&](db::RowStream& rows) {
            while (rows.next())
                m_keywords.insert(static_cast<qint32>(rows.number(0)), rows.text(1));
        };
        if (m_all) {
            db::RowStream a(m_db, QStringLiteral("Authors"), authorFields);
            readAuthors(a);
            db::RowStream k(m_db, QStringLiteral("Keywords"), keywordFields);
            readKeywords(k);
            return;
        }
        for (const qint32 id : std::as_const(authors)) {
            db::RowStream a(m_db, QStringLiteral("Authors"), authorFields,
                            QStringLiteral("Author ID"), id);
            readAuthors(a);
        }
        for (const qint32 id : std::as_const(keywords)) {
            db::RowStream k(m_db, QStringLiteral("Keywords"), keywordFields,
                            QStringLiteral("Keyword ID"), id);
            readKeywords(k);
        }
    }

    // Every stored key: those of the papers written or cited, and all of them as taken; so are
    // the kept keys of cited papers the project does not have.
    void readKeys()
    {
        db::RowStream cites(m_db, ExtraFieldsTable, {QStringLiteral("Value")},
                            QStringLiteral("Field Name"), extra::Cites);
        while (cites.next()) {
            for (const QString& k : cites.text(0).split(QLatin1Char(','))) {
                if (const QString key = k.trimmed(); !key.isEmpty())
                    m_takenKeys.insert(key.toCaseFolded());
            }
        }
        db::RowStream rows(m_db, ExtraFieldsTable,
                           {QStringLiteral("Paper ID"), QStringLiteral("Value")},
                           QStringLiteral("Field Name"), extra::CitationKey);
        while (rows.next()) {
            const qint32 paper = static_cast<qint32>(rows.number(0));
            const QString key = rows.text(1);
            if (key.isEmpty() || m_keys.contains(paper))
                continue;
            m_keys.insert(paper, key);
            m_takenKeys.insert(key.toCaseFolded());
        }
    }

    struct KeyParts
    {
        QString surname;
        QString year;
        QString title; // null when the paper does not exist
    };

    KeyParts keyParts(qint32 id)
    {
        if (const qsizetype at = indexOf(id); at >= 0) {
            const auto authors = m_authorLinks.of(at);
            const QString surname =
                authors.empty() ? QString() : m_authors.value(authors.front()).surname;
            const PaperData& p = m_stored[static_cast<size_t>(at)].data;
            return {surname, p.year, p.title.isNull() ? QString(QLatin1String("")) : p.title};
        }
        // A cited paper that is not written: read what its key needs.
        KeyParts parts;
        db::RowStream paper(m_db, QStringLiteral("Papers"),
                            {QStringLiteral("Year"), QStringLiteral("Title")},
                            QStringLiteral("Paper ID"), id);
        if (!paper.next())
            return parts;
        parts.year = paper.text(0);
        parts.title = paper.isNull(1) ? QString(QLatin1String("")) : paper.text(1);
        db::RowStream link(m_db, QStringLiteral("Paper Authors List"),
                           {QStringLiteral("Author ID")}, QStringLiteral("Paper ID"),
                           QString::number(id));
        if (link.next()) {
            db::RowStream author(m_db, QStringLiteral("Authors"), {QStringLiteral("Surname")},
                                 QStringLiteral("Author ID"), link.number(0));
            if (author.next())
                parts.surname = author.text(0);
        }
        return parts;
    }

    db::Database& m_db;
    bool m_extras; // the project has its extra fields table
    bool m_all = false;
    QList<qint32> m_order;
    std::vector<Stored> m_stored;     // in the order written
    QHash<qint32, qsizetype> m_index; // paper id to its place in m_stored
    std::vector<qsizetype> m_dense;   // the same by number, when the numbers are dense
    Links m_authorLinks;
    Links m_keywordLinks;
    Links m_cited;
    std::vector<QStringList> m_files; // by place among those written
    ById<AuthorName> m_authors;
    ById<QString> m_keywords;
    ById<QString> m_keys;
    QSet<QString> m_takenKeys;
};

// The paper's files in its `file` field, each relative to `folder` when inside it, before the
// ones an import could not link (kept in the field as they were written).
void addFiles(Reference& r, const QStringList& stored, const paper::FileFolders& project,
              const QString& folder)
{
    if (stored.isEmpty())
        return;
    std::vector<FileLink> links;
    for (const QString& s : stored) {
        const QString path = project.resolve(s);
        links.push_back(
            {{},
             QDir::toNativeSeparators(folder.isEmpty() ? path : paper::pathWithin(folder, path)),
             fileType(path)});
    }
    for (FileLink& kept : parseFileField(r.field(u"file"))) {
        if (std::none_of(links.begin(), links.end(),
                         [&](const FileLink& f) { return f.path == kept.path; }))
            links.push_back(std::move(kept));
    }
    r.setField(QStringLiteral("file"), fileFieldText(links));
}

// Letters a key can hold for those that carry accents or are ligatures.
QString plainLetters(const QString& text)
{
    static const QHash<QChar, QString> special{
        {QChar(0x00DF), QStringLiteral("ss")}, {QChar(0x00E6), QStringLiteral("ae")},
        {QChar(0x00C6), QStringLiteral("AE")}, {QChar(0x0153), QStringLiteral("oe")},
        {QChar(0x0152), QStringLiteral("OE")}, {QChar(0x00F8), QStringLiteral("o")},
        {QChar(0x00D8), QStringLiteral("O")},  {QChar(0x0142), QStringLiteral("l")},
        {QChar(0x0141), QStringLiteral("L")},  {QChar(0x0111), QStringLiteral("d")},
        {QChar(0x0110), QStringLiteral("D")},  {QChar(0x00F0), QStringLiteral("d")},
        {QChar(0x00D0), QStringLiteral("D")},  {QChar(0x00FE), QStringLiteral("th")},
        {QChar(0x00DE), QStringLiteral("Th")}, {QChar(0x0131), QStringLiteral("i")}};
    QString out;
    for (const QChar c : text.normalized(QString::NormalizationForm_D)) {
        if (c.unicode() < 128) {
            if (c.isLetterOrNumber())
                out += c;
        } else if (const auto it = special.constFind(c); it != special.constEnd()) {
            out += *it;
        }
    }
    return out;
}

} // namespace

QString keyBase(const QString& surname, const QString& year, const QString& title)
{
    QString base = plainLetters(surname);
    if (base.isEmpty()) {
        // No author: the first word of the title that gives letters.
        for (const QString& word : title.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
            base = plainLetters(word);
            if (std::any_of(base.begin(), base.end(), [](QChar c) { return c.isLetter(); }))
                break;
            base.clear();
        }
    }
    if (base.isEmpty())
        base = QStringLiteral("ref");
    if (base[0].isDigit())
        base.prepend(QStringLiteral("ref"));
    base[0] = base[0].toUpper();
    return base + firstYear(year);
}

ExportResult exportText(db::Database& database, const ExportRequest& request, QByteArray& text,
                        const Progress& progress)
{
    ExportResult result;
    try {
        // A project may lack the table (opened read-only, or not written since it came); its
        // papers are written without.
        const bool store = request.storeKeys && !database.readOnly();
        if (store)
            ensureExtraFieldsTable(database);
        db::Transaction transaction(database);
        Collector collector(database, request, database.tableExists(ExtraFieldsTable));
        collector.assignKeys(store);
        const paper::FileFolders projectFolders(database.path());

        const QList<qint32> order = collector.order();
        const qsizetype total = order.size();
        QByteArray out;
        out.reserve(total * (request.format == Format::CslJson ? 1100 : 800));
        if (request.format == Format::BibTeX)
            out = "% Encoding: UTF-8\n\n";
        else if (request.format == Format::CslJson)
            out = "[";
        for (qsizetype n = 0; n < total; ++n) {
            if (progress && n % 256 == 0 && !progress(n, total)) {
                result.outcome = ExportResult::Outcome::Cancelled;
                result.message = QStringLiteral("The export was cancelled.");
                return result;
            }
            Reference r = toReference(collector.take(order[n]));
            addFiles(r, collector.files(order[n]), projectFolders, request.folder);
            switch (request.format) {
            case Format::BibTeX:
                // A type BibTeX has not goes as the nearest one, the entry's own in a field.
                if (const QString type = bibtexType(r.type); type != r.type) {
                    r.setField(extra::EntryType, r.type);
                    r.type = type;
                }
                out += bibtex::write(r).toUtf8();
                break;
            case Format::Ris:
                out += ris::write(r).toUtf8();
                break;
            case Format::CslJson:
                out += n > 0 ? ",\n" : "\n";
                csljson::appendItem(out, r);
                break;
            }
        }
        if (request.format == Format::CslJson)
            out += total > 0 ? "\n]\n" : "]\n";
        text = std::move(out);
        transaction.commit();
        result.papers = static_cast<int>(total);
        if (progress)
            progress(total, total);
    } catch (const db::DbError& e) {
        result.outcome = ExportResult::Outcome::Failed;
        result.message = QStringLiteral("The papers could not be read: %1").arg(e.description());
    }
    return result;
}

ExportResult exportToFile(db::Database& database, const ExportRequest& request, const QString& path,
                          const Progress& progress)
{
    QByteArray text;
    ExportRequest inFolder = request;
    if (inFolder.folder.isEmpty())
        inFolder.folder = QFileInfo(path).absolutePath();
    ExportResult result = exportText(database, inFolder, text, progress);
    if (result.outcome != ExportResult::Outcome::Written)
        return result;
    QSaveFile file(path);
    const auto failed = [&](const QString& why) {
        file.cancelWriting();
        result.outcome = ExportResult::Outcome::Failed;
        result.papers = 0;
        result.message = QStringLiteral("%1 could not be written: %2").arg(path, why);
        return result;
    };
    if (!file.open(QIODevice::WriteOnly))
        return failed(file.errorString());
    // Every write is checked and the buffer flushed before the commit: the commit alone can
    // report success after the last buffered write failed.
    if (file.write(text) != text.size() || !file.flush())
        return failed(file.errorString());
    if (!file.commit())
        return failed(file.errorString());
    return result;
}

} // namespace quirelle::interchange
