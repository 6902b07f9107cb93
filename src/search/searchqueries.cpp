// The search modes and their queries.
#include "search/searchqueries.h"

#include "db/dberror.h"
#include "db/globals.h"
#include "db/sharedqueries.h"
#include "db/sqlquote.h"

#include <QRegularExpression>

namespace quirelle::search {

namespace {

const QString separator = QStringLiteral(" : ");

// Every read of one search under one lock of the database file. Outside a transaction the
// engine takes and checks the file afresh for each statement, and a search reads one row at a
// time: thousands of rows cost seconds that way instead of a few milliseconds. Nothing is
// written, so nothing is committed that was not there before.
class ReadTogether
{
public:
    explicit ReadTogether(db::Database& database)
    {
        try {
            database.BeginTrans();
            m_database = &database;
        } catch (const db::DbError&) {
            // Already inside a transaction: its lock serves as well.
        }
    }
    ~ReadTogether()
    {
        if (m_database) {
            try {
                m_database->CommitTrans();
            } catch (const db::DbError&) {
                // A transaction that only read has nothing to lose.
            }
        }
    }
    ReadTogether(const ReadTogether&) = delete;
    ReadTogether& operator=(const ReadTogether&) = delete;

private:
    db::Database* m_database = nullptr;
};

// Calls `f` for each row of a record set just opened, first to last.
template<class F>
void forEachRow(db::Recordset& rs, F&& f)
{
    const int count = rs.RecordCount();
    for (int i = 1; i <= count; ++i) {
        f();
        rs.MoveNext();
    }
}

// "<Paper ID> : <Title>" for each row of a record set over [Papers].
void addPaperLines(db::Recordset& papers, QStringList& lines)
{
    forEachRow(papers, [&] {
        lines << papers.Fields(QStringLiteral("Paper ID")).text() + separator +
                     papers.Fields(QStringLiteral("Title")).text();
    });
}

// The paper query for one link or quotation row. A link table holds the paper's number as
// text: only a number goes into the query, since anything else cannot name a paper.
void addLinkedPaper(db::Recordset& link, db::Recordset& papers, QStringList& lines)
{
    bool ok = false;
    const qint32 id = link.Fields(QStringLiteral("Paper ID")).text().trimmed().toInt(&ok);
    if (!ok)
        return;
    if (openQuery(papers, QStringLiteral("Select * from [Papers] where [Paper ID] = ") +
                              QString::number(id) + QStringLiteral(";")))
        addPaperLines(papers, lines);
}

void addLinkedPapers(db::Recordset& links, db::Recordset& papers, QStringList& lines)
{
    forEachRow(links, [&] { addLinkedPaper(links, papers, lines); });
}

void searchTitle(const QString& criterion, Outcome& out)
{
    if (const auto id = lineId(criterion)) {
        out.then = Outcome::Then::OpenPaper;
        out.paperToOpen = *id;
        return;
    }
    db::Recordset& rs = globals().rsQuery;
    if (openQuery(rs, QStringLiteral("Select * from Papers where Title like ") +
                          db::sqlContainsPattern(criterion) + QStringLiteral(";")))
        addPaperLines(rs, out.lines);
}

// Authors and models are found by name, then their papers through a link table.
struct LinkedSearch
{
    QString typedQuery; // the name pattern follows
    QString idField;    // the identifier of a row the typed query found
    QString linkQuery;  // the quoted identifier follows
    db::Recordset Globals::*links;
};

void searchLinked(const LinkedSearch& s, const QString& criterion, Outcome& out)
{
    Globals& g = globals();
    db::Recordset& links = g.*s.links;
    const auto openLinks = [&](qint32 id) {
        return openQuery(links,
                         s.linkQuery + db::sqlText(QString::number(id)) + QStringLiteral(";"));
    };
    if (const auto id = lineId(criterion)) {
        if (!openLinks(*id)) {
            out.then = Outcome::Then::NoMatches;
            return;
        }
        addLinkedPapers(links, g.rsQuery, out.lines);
        return;
    }
    db::Recordset& found = g.rsQuery;
    if (!openQuery(found, s.typedQuery + db::sqlContainsPattern(criterion) + QStringLiteral(";")))
        return;
    // A match without papers is passed over: the papers of the matches after it still count.
    forEachRow(found, [&] {
        if (openLinks(found.Fields(s.idField).toLong()))
            addLinkedPapers(links, g.rsSubQuery, out.lines);
    });
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
    db::Recordset& rs = globals().rsQuery;
    if (openQuery(rs, QStringLiteral("Select * from Papers where Rating like ") +
                          db::sqlText(letter) + QStringLiteral(";")))
        addPaperLines(rs, out.lines);
}

void searchQuotation(const QString& criterion, Outcome& out)
{
    Globals& g = globals();
    db::Recordset& quotations = g.rsQuery;
    if (!openQuery(quotations,
                   QStringLiteral("Select * from [Paper Statements List] where Statement like ") +
                       db::sqlContainsPattern(criterion) + QStringLiteral(";")))
        return;
    forEachRow(quotations, [&] { addLinkedPaper(quotations, g.rsSubQuery, out.lines); });
}

void searchKeyword(const QString& criterion, Outcome& out)
{
    Globals& g = globals();
    if (const auto id = lineId(criterion)) {
        if (!openQuery(
                g.rsPaperKeywords,
                QStringLiteral("Select * from [Paper keywords list] where [keywords id] = ") +
                    QString::number(*id) + QStringLiteral(";"))) {
            out.then = Outcome::Then::NoMatches;
            return;
        }
        addLinkedPapers(g.rsPaperKeywords, g.rsQuery, out.lines);
        return;
    }
    if (!openQuery(g.rsKeywords, keywordQuery(splitKeywordTerms(criterion)))) {
        out.then = Outcome::Then::LeaveAsIs;
        return;
    }
    // Only the first keyword found is followed: the query has no order, so which one that is
    // is the engine's choice.
    const qint32 keywordId = g.rsKeywords.Fields(QStringLiteral("Keyword ID")).toLong();
    if (!openQuery(g.rsPaperKeywords,
                   QStringLiteral("select * from [Paper Keywords List] where [Keywords id] = ") +
                       QString::number(keywordId) + QStringLiteral(";")))
        return;
    addLinkedPapers(g.rsPaperKeywords, g.rsPapers, out.lines);
}

} // namespace

QString rowLine(qint32 id, const QString& text)
{
    return QString::number(id) + separator + text;
}

std::optional<qint32> lineId(const QString& line)
{
    static const QRegularExpression form(QStringLiteral("^([0-9]+) : "));
    const QRegularExpressionMatch m = form.match(line);
    if (!m.hasMatch())
        return std::nullopt;
    bool ok = false;
    const qint32 id = m.captured(1).toInt(&ok);
    return ok ? std::optional<qint32>(id) : std::nullopt;
}

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

QString keywordQuery(const KeywordTerms& terms)
{
    QString q = QStringLiteral("select * from [Keywords] where [Keyword] like ") +
                db::sqlContainsPattern(terms.first);
    if (terms.second && !terms.second->isEmpty())
        q += QStringLiteral(" or [KeyWord] like ") + db::sqlContainsPattern(*terms.second);
    if (terms.third && !terms.third->isEmpty())
        q += QStringLiteral(" or [KeyWord] like ") + db::sqlContainsPattern(*terms.third) +
             QStringLiteral(";");
    return q;
}

Outcome run(Mode mode, const QString& criterion)
{
    Outcome out;
    if (criterion.isEmpty()) {
        out.clearList = false;
        return out;
    }
    ReadTogether together(project());
    switch (mode) {
    case Mode::Title:
        searchTitle(criterion, out);
        break;
    case Mode::Author:
        searchLinked({QStringLiteral("Select * from Authors where surName like "),
                      QStringLiteral("Author ID"),
                      QStringLiteral("Select * from [Paper authors list] where [Author ID] = "),
                      &Globals::rsPaperAuthors},
                     criterion, out);
        break;
    case Mode::Model:
        searchLinked({QStringLiteral("Select * from Models where model like "),
                      QStringLiteral("model ID"),
                      QStringLiteral("Select * from [Paper models list] where [model ID] = "),
                      &Globals::rsPaperModels},
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
    Globals& g = globals();
    ReadTogether together(project());
    QStringList items;
    const auto fill = [&items](db::Recordset& rs, const QString& idField, auto text) {
        if (rs.RecordCount() == 0)
            return;
        rs.MoveFirst();
        items.reserve(rs.RecordCount());
        forEachRow(rs, [&] { items << rs.Fields(idField).text() + separator + text(rs); });
    };
    const auto field = [](const char* name) {
        return [name](db::Recordset& rs) { return rs.Fields(QString::fromLatin1(name)).text(); };
    };
    // Every mode reopens the list of all papers first, whatever it fills.
    getAllPapers();
    switch (mode) {
    case Mode::Title:
        fill(g.rsPapers, QStringLiteral("Paper ID"), field("Title"));
        break;
    case Mode::Author:
        getAllAuthors();
        fill(g.rsAuthors, QStringLiteral("Author ID"), [](db::Recordset& rs) {
            return rs.Fields(QStringLiteral("Surname")).text() + QStringLiteral(", ") +
                   rs.Fields(QStringLiteral("Forenames")).text();
        });
        break;
    case Mode::Model:
        getAllModels();
        fill(g.rsModels, QStringLiteral("Model ID"), field("Model"));
        break;
    case Mode::Rating:
        items = {QStringLiteral("A"), QStringLiteral("B"), QStringLiteral("C"),
                 QStringLiteral("D")};
        break;
    case Mode::Quotation:
        break;
    case Mode::Keyword:
        getAllKeywords();
        fill(g.rsKeywords, QStringLiteral("keyword ID"), field("keyword"));
        break;
    }
    return items;
}

} // namespace quirelle::search
