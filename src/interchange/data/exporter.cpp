// Exporting papers as references.
#include "interchange/data/exporter.h"

#include "db/dberror.h"
#include "db/recordset.h"
#include "interchange/data/bibtex.h"
#include "interchange/data/csljson.h"
#include "interchange/data/extrafields.h"
#include "interchange/data/mapping.h"
#include "interchange/data/ris.h"

#include <QHash>
#include <QSaveFile>
#include <QSet>

#include <algorithm>

namespace quirelle::interchange {

namespace {

// Above this many papers, reading whole tables once beats one query per paper.
constexpr qsizetype PerPaperQueries = 500;

template<typename Row>
void eachRow(db::Database& database, const QString& query, Row row)
{
    db::Recordset rs = database.OpenRecordset(query);
    const int count = rs.RecordCount();
    for (int i = 0; i < count; ++i) {
        if (i > 0)
            rs.MoveNext();
        row(rs);
    }
}

qint32 idOf(db::Recordset& rs, const QString& field)
{
    bool ok = false;
    const qint32 id = rs.Fields(field).text().toInt(&ok);
    return ok ? id : 0;
}

struct Stored
{
    PaperData data;
    std::vector<qint32> authors;
    std::vector<qint32> keywords;
    std::vector<qint32> cited;
};

PaperData describedFields(db::Recordset& rs)
{
    PaperData p;
    const auto text = [&rs](const char* field) { return rs.Fields(QLatin1String(field)).text(); };
    p.title = text("Title");
    p.year = text("Year");
    p.summary = text("Summary");
    p.status = text("Status");
    p.rating = text("Rating");
    p.publicationType = text("Publication Type");
    p.publicationName = text("Publication name");
    return p;
}

// Everything the export writes, read from the project.
class Collector
{
public:
    Collector(db::Database& database, const ExportRequest& request, bool extras)
        : m_db(database), m_extras(extras)
    {
        if (request.papers) {
            for (const qint32 id : *request.papers) {
                if (!m_papers.contains(id)) {
                    eachRow(m_db,
                            QStringLiteral("select * from [Papers] where [Paper ID] = %1;").arg(id),
                            [&](db::Recordset& rs) {
                                m_papers.insert(id, {describedFields(rs), {}, {}, {}});
                                m_order << id;
                            });
                }
            }
            m_all = m_order.size() > PerPaperQueries;
        } else {
            m_all = true;
            eachRow(m_db, QStringLiteral("select * from [Papers];"), [&](db::Recordset& rs) {
                const qint32 id = rs.Fields(QStringLiteral("Paper ID")).toLong();
                m_papers.insert(id, {describedFields(rs), {}, {}, {}});
                m_order << id;
            });
        }

        links(QStringLiteral("Paper Authors List"), [&](Stored& s, db::Recordset& rs) {
            s.authors.push_back(idOf(rs, QStringLiteral("Author ID")));
        });
        links(QStringLiteral("Paper Keywords List"), [&](Stored& s, db::Recordset& rs) {
            s.keywords.push_back(idOf(rs, QStringLiteral("Keywords ID")));
        });
        links(QStringLiteral("Paper References List"), [&](Stored& s, db::Recordset& rs) {
            s.cited.push_back(idOf(rs, QStringLiteral("Reference ID")));
        });
        links(QStringLiteral("Paper Statements List"), [&](Stored& s, db::Recordset& rs) {
            const QString q = rs.Fields(QStringLiteral("Statement")).text().trimmed();
            if (!q.isEmpty())
                s.data.quotations << q;
        });
        if (m_extras) {
            links(ExtraFieldsTable, [&](Stored& s, db::Recordset& rs) {
                s.data.extras.append({rs.Fields(QStringLiteral("Field Name")).text(),
                                      rs.Fields(QStringLiteral("Value")).text()});
            });
            readKeys();
        }
        readNames();
    }

    QList<qint32> order() const { return m_order; }
    Stored& paper(qint32 id) { return m_papers[id]; }

    // Every paper written or cited gets its key; new ones are stored unless the file is
    // read-only.
    void assignKeys(bool store)
    {
        QList<qint32> needing;
        QSet<qint32> seen;
        for (auto it = m_papers.begin(); it != m_papers.end(); ++it) {
            for (const qint32 c : it->cited) {
                if (!m_keys.contains(c) && !seen.contains(c)) {
                    seen.insert(c);
                    needing << c;
                }
            }
            if (!m_keys.contains(it.key()) && !seen.contains(it.key())) {
                seen.insert(it.key());
                needing << it.key();
            }
        }
        std::sort(needing.begin(), needing.end());
        store = store && m_extras;
        db::Recordset extras;
        if (store)
            extras = m_db.OpenRecordset(
                QStringLiteral("select * from [Paper Extra Fields] where [Paper ID] = '0';"));
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
            if (store) {
                extras.AddNew();
                extras.Fields(QStringLiteral("Paper ID")) = QString::number(id);
                extras.Fields(QStringLiteral("Field Name")) = extra::CitationKey;
                extras.Fields(QStringLiteral("Value")) = key;
                extras.Update();
            }
        }
    }

    // The paper as the mapping takes it: links by value, key and cited keys filled in.
    PaperData data(qint32 id)
    {
        Stored& s = m_papers[id];
        PaperData p = s.data;
        for (const qint32 a : s.authors)
            p.authors.push_back(m_authors.value(a));
        for (const qint32 k : s.keywords) {
            const QString text = m_keywords.value(k);
            if (!text.isEmpty() && !p.keywords.contains(text))
                p.keywords << text;
        }
        p.key = m_keys.value(id);
        for (const qint32 c : s.cited) {
            const QString key = m_keys.value(c);
            if (!key.isEmpty() && !p.cites.contains(key))
                p.cites << key;
        }
        // Cited keys of papers the project does not have, kept since the import.
        for (const QString& k : p.extraValue(extra::Cites).split(QLatin1Char(','))) {
            const QString key = k.trimmed();
            if (!key.isEmpty() && !m_takenKeys.contains(key.toCaseFolded()) &&
                !p.cites.contains(key))
                p.cites << key;
        }
        return p;
    }

private:
    template<typename Row>
    void links(const QString& table, Row row)
    {
        if (m_all) {
            eachRow(m_db, QStringLiteral("select * from [%1];").arg(table), [&](db::Recordset& rs) {
                const qint32 paper = idOf(rs, QStringLiteral("Paper ID"));
                if (const auto it = m_papers.find(paper); it != m_papers.end())
                    row(*it, rs);
            });
            return;
        }
        for (const qint32 id : std::as_const(m_order)) {
            Stored& s = m_papers[id];
            eachRow(
                m_db,
                QStringLiteral("select * from [%1] where [Paper ID] = '%2';").arg(table).arg(id),
                [&](db::Recordset& rs) { row(s, rs); });
        }
    }

    void readNames()
    {
        QSet<qint32> authors, keywords;
        for (const Stored& s : std::as_const(m_papers)) {
            authors.unite(QSet<qint32>(s.authors.begin(), s.authors.end()));
            keywords.unite(QSet<qint32>(s.keywords.begin(), s.keywords.end()));
        }
        const auto author = [&](db::Recordset& rs) {
            m_authors.insert(rs.Fields(QStringLiteral("Author ID")).toLong(),
                             {rs.Fields(QStringLiteral("Surname")).text(),
                              rs.Fields(QStringLiteral("Forenames")).text()});
        };
        const auto keyword = [&](db::Recordset& rs) {
            m_keywords.insert(rs.Fields(QStringLiteral("Keyword ID")).toLong(),
                              rs.Fields(QStringLiteral("Keyword")).text());
        };
        if (m_all) {
            eachRow(m_db, QStringLiteral("select * from [Authors];"), author);
            eachRow(m_db, QStringLiteral("select * from [Keywords];"), keyword);
            return;
        }
        for (const qint32 a : std::as_const(authors))
            eachRow(m_db, QStringLiteral("select * from [Authors] where [Author ID] = %1;").arg(a),
                    author);
        for (const qint32 k : std::as_const(keywords))
            eachRow(m_db,
                    QStringLiteral("select * from [Keywords] where [Keyword ID] = %1;").arg(k),
                    keyword);
    }

    // Every stored key: those of the papers written or cited, and all of them as taken.
    void readKeys()
    {
        eachRow(m_db,
                QStringLiteral(
                    "select * from [Paper Extra Fields] where [Field Name] = 'citationkey';"),
                [&](db::Recordset& rs) {
                    const qint32 paper = idOf(rs, QStringLiteral("Paper ID"));
                    const QString key = rs.Fields(QStringLiteral("Value")).text();
                    if (key.isEmpty() || m_keys.contains(paper))
                        return;
                    m_keys.insert(paper, key);
                    m_takenKeys.insert(key.toCaseFolded());
                });
    }

    struct KeyParts
    {
        QString surname;
        QString year;
        QString title; // null when the paper does not exist
    };

    KeyParts keyParts(qint32 id)
    {
        if (const auto it = m_papers.constFind(id); it != m_papers.constEnd()) {
            const QString surname =
                it->authors.empty() ? QString() : m_authors.value(it->authors.front()).surname;
            return {surname, it->data.year,
                    it->data.title.isNull() ? QString(QLatin1String("")) : it->data.title};
        }
        // A cited paper that is not written: read what its key needs.
        KeyParts parts;
        eachRow(m_db, QStringLiteral("select * from [Papers] where [Paper ID] = %1;").arg(id),
                [&](db::Recordset& rs) {
                    parts.year = rs.Fields(QStringLiteral("Year")).text();
                    parts.title = rs.Fields(QStringLiteral("Title")).text();
                    if (parts.title.isNull())
                        parts.title = QString(QLatin1String(""));
                });
        if (parts.title.isNull())
            return parts;
        db::Recordset links = m_db.OpenRecordset(
            QStringLiteral("select * from [Paper Authors List] where [Paper ID] = '%1';").arg(id));
        if (links.RecordCount() > 0) {
            const qint32 author = idOf(links, QStringLiteral("Author ID"));
            eachRow(m_db,
                    QStringLiteral("select * from [Authors] where [Author ID] = %1;").arg(author),
                    [&](db::Recordset& rs) {
                        parts.surname = rs.Fields(QStringLiteral("Surname")).text();
                    });
        }
        return parts;
    }

    db::Database& m_db;
    bool m_extras; // the project has its extra fields table
    bool m_all = false;
    QList<qint32> m_order;
    QHash<qint32, Stored> m_papers;
    QHash<qint32, AuthorName> m_authors;
    QHash<qint32, QString> m_keywords;
    QHash<qint32, QString> m_keys;
    QSet<QString> m_takenKeys;
};

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
        // A project opened read-only may lack the table; its papers are written without.
        if (!database.readOnly())
            ensureExtraFieldsTable(database);
        db::Transaction transaction(database);
        Collector collector(database, request, database.tableExists(ExtraFieldsTable));
        collector.assignKeys(!database.readOnly());

        const QList<qint32> order = collector.order();
        const qsizetype total = order.size();
        QString bib;
        std::vector<QJsonObject> items;
        if (request.format == Format::BibTeX)
            bib = QStringLiteral("% Encoding: UTF-8\n\n");
        for (qsizetype n = 0; n < total; ++n) {
            if (progress && n % 256 == 0 && !progress(n, total)) {
                result.outcome = ExportResult::Outcome::Cancelled;
                result.message = QStringLiteral("The export was cancelled.");
                return result;
            }
            const Reference r = toReference(collector.data(order[n]));
            switch (request.format) {
            case Format::BibTeX:
                bib += bibtex::write(r);
                break;
            case Format::Ris:
                bib += ris::write(r);
                break;
            case Format::CslJson:
                items.push_back(csljson::item(r));
                break;
            }
        }
        text = request.format == Format::CslJson ? csljson::write(items) : bib.toUtf8();
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
    ExportResult result = exportText(database, request, text, progress);
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
