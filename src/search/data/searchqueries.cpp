// The search modes and their queries. Each search reads under one read transaction: outside a
// transaction every statement would take the file's lock afresh. Links and papers are read by
// lists of ids, which a server answers in one exchange each.
#include "search/data/searchqueries.h"

#include "db/database.h"
#include "db/dberror.h"
#include "db/listline.h"
#include "db/project.h"
#include "db/sharedqueries.h"

namespace quirelle::search {

namespace {

db::Recordset open(const QString& query, const QVariantList& params = {})
{
    return project().db().OpenRecordset(query, params);
}

// The keyword links: the keyword's number and the paper's, as text.
const QString KeywordLinks = QStringLiteral("Paper Keywords List");
const QString KeywordsId = QStringLiteral("Keywords ID");

// `*typed*`: the user's text anywhere in a field, their own wildcards kept.
QString contains(const QString& typed)
{
    return QLatin1Char('*') + typed + QLatin1Char('*');
}

// "<Paper ID> : <Title>" for each row of a record set over [Papers].
void addPaperLines(db::Recordset& papers, QStringList& lines)
{
    const db::Field id = papers.Fields(QStringLiteral("Paper ID"));
    const db::Field title = papers.Fields(QStringLiteral("Title"));
    db::forEachRow(papers, [&] { lines << ListLine::format(id.toLong(), title.text()); });
}

// The line of the paper each link row names by its number kept as text, or none: only a number
// can name a paper. The papers are read together, by one statement where the engine can.
std::vector<std::optional<QString>> paperLines(const QStringList& linkedPapers)
{
    std::vector<std::optional<QString>> lines(static_cast<size_t>(linkedPapers.size()));
    std::vector<QVariant> ids;
    std::vector<size_t> owners; // the link row of each id
    for (qsizetype i = 0; i < linkedPapers.size(); ++i) {
        bool ok = false;
        const qint32 id = linkedPapers[i].trimmed().toInt(&ok);
        if (ok) {
            ids.emplace_back(id);
            owners.push_back(static_cast<size_t>(i));
        }
    }
    if (ids.empty())
        return lines;
    db::RowStream papers(project().db(), QStringLiteral("Papers"),
                         {QStringLiteral("Paper ID"), QStringLiteral("Title")},
                         QStringLiteral("Paper ID"), 0);
    papers.restart(ids);
    // The papers come in the order of the ids; an id without a paper has no row.
    size_t k = 0;
    while (papers.next()) {
        const qint64 id = papers.number(0);
        while (k < ids.size() && ids[k].toLongLong() != id)
            ++k;
        if (k == ids.size())
            break;
        lines[owners[k]] = ListLine::format(static_cast<qint32>(id), papers.text(1));
        ++k;
    }
    return lines;
}

// The papers of the link rows whose `field` holds one of `values`, in the order of the values
// and then of the rows; false when there is no such row.
bool addLinkedPapers(const QString& table, const QString& field,
                     const std::vector<QVariant>& values, QStringList& lines)
{
    db::RowStream links(project().db(), table, {QStringLiteral("Paper ID")}, field, QVariant());
    links.restart(values);
    QStringList linked;
    while (links.next())
        linked << links.text(0);
    for (const std::optional<QString>& line : paperLines(linked)) {
        if (line)
            lines << *line;
    }
    return !linked.isEmpty();
}

void searchTitle(const QString& criterion, Outcome& out)
{
    if (const auto picked = ListLine::parse(criterion)) {
        out.then = Outcome::Then::OpenPaper;
        out.paperToOpen = picked->id;
        return;
    }
    out.lines = titleLines(criterion);
}

// Authors and models are found by name, then their papers through a link table.
struct LinkedSearch
{
    QString typedQuery; // the name pattern is its parameter
    QString idField;    // the identifier of a row the typed query found
    QString linkTable;  // its rows name a paper and, as text, such an identifier
};

void searchLinked(const LinkedSearch& s, const QString& criterion, Outcome& out)
{
    // The link rows keep the identifier as text.
    if (const auto picked = ListLine::parse(criterion)) {
        if (!addLinkedPapers(s.linkTable, s.idField, {QString::number(picked->id)}, out.lines))
            out.then = Outcome::Then::NoMatches;
        return;
    }
    db::Recordset found = open(s.typedQuery, {contains(criterion)});
    const db::Field id = found.Fields(s.idField);
    if (found.RecordCount() == 0)
        return;
    // A match without papers is passed over: the papers of the matches after it still count.
    std::vector<QVariant> ids;
    db::forEachRow(found, [&] { ids.emplace_back(QString::number(id.toLong())); });
    addLinkedPapers(s.linkTable, s.idField, ids, out.lines);
    if (out.lines.isEmpty())
        out.then = Outcome::Then::NoMatches;
}

void searchRating(const QString& criterion, Outcome& out)
{
    const QString letter = criterion.toUpper();
    static const QStringList letters{QStringLiteral("A"), QStringLiteral("B"), QStringLiteral("C"),
                                     QStringLiteral("D")};
    if (!letters.contains(letter))
        return;
    db::Recordset rs = open(QStringLiteral("Select * from Papers where Rating like ?;"), {letter});
    addPaperLines(rs, out.lines);
}

void searchQuotation(const QString& criterion, Outcome& out)
{
    for (const QuotationHit& hit : quotationHits(criterion))
        out.lines << hit.paperLines;
}

// The keyword query of a typed Keyword criterion; an empty second or third term adds nothing.
db::Recordset openKeywords(const KeywordTerms& terms)
{
    QString q = QStringLiteral("select * from [Keywords] where [Keyword] like ?");
    QVariantList params{contains(terms.first)};
    if (terms.second && !terms.second->isEmpty()) {
        q += QStringLiteral(" or [KeyWord] like ?");
        params << contains(*terms.second);
    }
    if (terms.third && !terms.third->isEmpty()) {
        q += QStringLiteral(" or [KeyWord] like ?;");
        params << contains(*terms.third);
    }
    return open(q, params);
}

void searchKeyword(const QString& criterion, Outcome& out)
{
    if (const auto picked = ListLine::parse(criterion)) {
        if (!addLinkedPapers(KeywordLinks, KeywordsId, {picked->id}, out.lines))
            out.then = Outcome::Then::NoMatches;
        return;
    }
    const auto papers = firstKeywordPapers(splitKeywordTerms(criterion));
    if (!papers) {
        out.then = Outcome::Then::LeaveAsIs;
        return;
    }
    out.lines = *papers;
}

} // namespace

KeywordTerms splitKeywordTerms(const QString& criterion)
{
    KeywordTerms t;
    const qsizetype comma = criterion.indexOf(QLatin1Char(','));
    if (comma < 0) {
        t.first = criterion;
        return t;
    }
    t.first = criterion.left(comma);
    const QString rest = criterion.mid(comma + 1);
    const qsizetype second = rest.indexOf(QLatin1Char(','));
    if (second < 0) {
        t.third = rest;
    } else {
        t.second = rest.left(second);
        t.third = rest.mid(second + 1);
    }
    return t;
}

QStringList titleLines(const QString& typed)
{
    db::ReadTransaction reading(project().db());
    QStringList lines;
    db::Recordset rs =
        open(QStringLiteral("Select * from Papers where Title like ?;"), {contains(typed)});
    addPaperLines(rs, lines);
    return lines;
}

std::vector<QuotationHit> quotationHits(const QString& typed)
{
    db::ReadTransaction reading(project().db());
    std::vector<QuotationHit> hits;
    db::Recordset quotations =
        open(QStringLiteral("Select * from [Paper Statements List] where Statement like ?;"),
             {contains(typed)});
    const db::Field statement = quotations.Fields(QStringLiteral("statement"));
    const db::Field paper = quotations.Fields(QStringLiteral("Paper ID"));
    QStringList linked;
    db::forEachRow(quotations, [&] {
        hits.push_back({statement.text(), {}});
        linked << paper.text();
    });
    const std::vector<std::optional<QString>> lines = paperLines(linked);
    for (size_t i = 0; i < hits.size(); ++i) {
        if (lines[i])
            hits[i].paperLines << *lines[i];
    }
    return hits;
}

std::optional<QStringList> firstKeywordPapers(const KeywordTerms& terms)
{
    db::ReadTransaction reading(project().db());
    db::Recordset keywords = openKeywords(terms);
    const db::Field keywordId = keywords.Fields(QStringLiteral("Keyword ID"));
    if (keywords.RecordCount() == 0)
        return std::nullopt;
    // Only the first keyword found is followed: the query has no order, so which one that is
    // is the engine's choice.
    QStringList lines;
    addLinkedPapers(KeywordLinks, KeywordsId, {keywordId.toLong()}, lines);
    return lines;
}

Outcome run(Mode mode, const QString& criterion)
{
    Outcome out;
    if (criterion.isEmpty()) {
        out.clearList = false;
        return out;
    }
    db::ReadTransaction reading(project().db());
    switch (mode) {
    case Mode::Title:
        searchTitle(criterion, out);
        break;
    case Mode::Author:
        searchLinked({QStringLiteral("Select * from Authors where surName like ?;"),
                      QStringLiteral("Author ID"), QStringLiteral("Paper Authors List")},
                     criterion, out);
        break;
    case Mode::Model:
        searchLinked({QStringLiteral("Select * from Models where model like ?;"),
                      QStringLiteral("Model ID"), QStringLiteral("Paper Models List")},
                     criterion, out);
        break;
    case Mode::Rating:
        searchRating(criterion, out);
        break;
    case Mode::Quotation:
        searchQuotation(criterion, out);
        break;
    case Mode::Keyword:
        searchKeyword(criterion, out);
        break;
    }
    return out;
}

QStringList criteriaItems(Mode mode)
{
    Project& p = project();
    db::ReadTransaction reading(p.db());
    QStringList items;
    const auto fill = [&items](db::Recordset& rs, const QString& idField, auto text) {
        items.reserve(rs.RecordCount());
        db::forEachRow(rs,
                       [&] { items << ListLine::format(rs.Fields(idField).toLong(), text(rs)); });
    };
    const auto field = [](const char* name) {
        return [name](db::Recordset& rs) { return rs.Fields(QString::fromLatin1(name)).text(); };
    };
    db::Recordset rows;
    switch (mode) {
    case Mode::Title: {
        // Every paper in the order of its number, as "select * from [papers]" lists them, read
        // in one pass over the two fields shown rather than through a record set's row lookups.
        db::RowStream papers(p.db(), QStringLiteral("Papers"),
                             {QStringLiteral("Paper ID"), QStringLiteral("Title")});
        while (papers.next())
            items << ListLine::format(static_cast<qint32>(papers.number(0)), papers.text(1));
        break;
    }
    case Mode::Author:
        getAllAuthors(rows);
        fill(rows, QStringLiteral("Author ID"), [](db::Recordset& rs) {
            return rs.Fields(QStringLiteral("Surname")).text() + QStringLiteral(", ") +
                   rs.Fields(QStringLiteral("Forenames")).text();
        });
        break;
    case Mode::Model:
        getAllModels(rows);
        fill(rows, QStringLiteral("Model ID"), field("Model"));
        break;
    case Mode::Rating:
        items = {QStringLiteral("A"), QStringLiteral("B"), QStringLiteral("C"),
                 QStringLiteral("D")};
        break;
    case Mode::Quotation:
        break;
    case Mode::Keyword:
        getAllKeywords(rows);
        fill(rows, QStringLiteral("keyword ID"), field("keyword"));
        break;
    }
    return items;
}

} // namespace quirelle::search
