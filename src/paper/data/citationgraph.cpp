// Reading a paper's citation neighbourhood with a handful of queries.
#include "paper/data/citationgraph.h"

#include "db/database.h"

#include <QStringList>

#include <algorithm>
#include <functional>
#include <map>
#include <set>
#include <span>
#include <unordered_set>

namespace quirelle::citations {

namespace {

// Ids asked for in one statement: few statements, none too long to read quickly.
constexpr size_t IdsPerQuery = 400;

// `field` equal to any of `ids`, as a balanced tree of "or": the statement then nests only as
// deep as the logarithm of its length, well within what the engine parses. The ids are added
// to `params` in the order of their `?`, as decimal text for the link tables' text fields.
QString anyOf(const QString& field, std::span<const qint32> ids, bool asText, QVariantList& params)
{
    if (ids.size() == 1) {
        const qint32 id = ids.front();
        params << (asText ? QVariant(QString::number(id)) : QVariant(id));
        return QLatin1Char('[') + field + QStringLiteral("] = ?");
    }
    const size_t half = ids.size() / 2;
    const QString first = anyOf(field, ids.first(half), asText, params);
    const QString second = anyOf(field, ids.subspan(half), asText, params);
    return QLatin1Char('(') + first + QStringLiteral(" or ") + second + QLatin1Char(')');
}

// A field that holds a paper's or an author's number; the link tables keep it as text.
struct IdField
{
    const char* name;
    bool asText;
};

// Runs `body` on each row of `select` in which any of `fields` holds one of `ids`, a statement's
// worth of ids at a time.
void forEachRowOf(db::Database& database, const QString& select,
                  std::initializer_list<IdField> fields, const std::vector<qint32>& ids,
                  const std::function<void(db::Recordset&)>& body)
{
    const std::span<const qint32> all(ids);
    for (size_t at = 0; at < all.size(); at += IdsPerQuery) {
        const auto chunk = all.subspan(at, std::min(IdsPerQuery, all.size() - at));
        QVariantList params;
        QStringList any;
        for (const IdField& f : fields)
            any << anyOf(QString::fromLatin1(f.name), chunk, f.asText, params);
        db::Recordset rs =
            database.OpenRecordset(select + QStringLiteral(" where (") +
                                       any.join(QStringLiteral(" or ")) + QStringLiteral(");"),
                                   params);
        db::forEachRow(rs, [&] { body(rs); });
    }
}

// The citations that touch any of `ids`: citing → cited, self-citations left out.
std::vector<Edge> linksOf(db::Database& database, const std::vector<qint32>& ids)
{
    std::vector<Edge> links;
    forEachRowOf(database,
                 QStringLiteral("select [Paper ID], [Reference ID] from [Paper References List]"),
                 {{"Paper ID", true}, {"Reference ID", false}}, ids, [&](db::Recordset& rs) {
                     const auto citing = db::linkedId(rs, QStringLiteral("Paper ID"));
                     const auto cited = db::linkedId(rs, QStringLiteral("Reference ID"));
                     if (citing && cited && *citing != *cited)
                         links.push_back({*citing, *cited});
                 });
    return links;
}

struct PaperRow
{
    QString title;
    QString year;
};

std::unordered_map<qint32, PaperRow> papersOf(db::Database& database,
                                              const std::vector<qint32>& ids)
{
    std::unordered_map<qint32, PaperRow> papers;
    forEachRowOf(database, QStringLiteral("select [Paper ID], [Title], [Year] from [Papers]"),
                 {{"Paper ID", false}}, ids, [&](db::Recordset& rs) {
                     if (const auto id = db::linkedId(rs, QStringLiteral("Paper ID")))
                         papers.try_emplace(*id,
                                            PaperRow{rs.Fields(QStringLiteral("Title")).text(),
                                                     rs.Fields(QStringLiteral("Year")).text()});
                 });
    return papers;
}

// Each paper's author ids in the order of its link rows, each once.
std::unordered_map<qint32, std::vector<qint32>> authorLinksOf(db::Database& database,
                                                              const std::vector<qint32>& ids)
{
    std::unordered_map<qint32, std::vector<qint32>> authors;
    forEachRowOf(database,
                 QStringLiteral("select [Paper ID], [Author ID] from [Paper Authors List]"),
                 {{"Paper ID", true}}, ids, [&](db::Recordset& rs) {
                     const auto paper = db::linkedId(rs, QStringLiteral("Paper ID"));
                     const auto author = db::linkedId(rs, QStringLiteral("Author ID"));
                     if (!paper || !author)
                         return;
                     std::vector<qint32>& list = authors[*paper];
                     if (std::find(list.begin(), list.end(), *author) == list.end())
                         list.push_back(*author);
                 });
    return authors;
}

std::unordered_map<qint32, QString> surnamesOf(db::Database& database,
                                               const std::vector<qint32>& ids)
{
    std::unordered_map<qint32, QString> surnames;
    forEachRowOf(database, QStringLiteral("select [Author ID], [Surname] from [Authors]"),
                 {{"Author ID", false}}, ids, [&](db::Recordset& rs) {
                     if (const auto id = db::linkedId(rs, QStringLiteral("Author ID")))
                         surnames.try_emplace(*id, rs.Fields(QStringLiteral("Surname")).text());
                 });
    return surnames;
}

} // namespace

QString nodeLabel(const Node& node)
{
    const QString author =
        node.firstAuthor.trimmed().isEmpty() ? QStringLiteral("Anon.") : node.firstAuthor.trimmed();
    const QString year =
        node.year.trimmed().isEmpty() ? QStringLiteral("n.d.") : node.year.trimmed();
    return author + QLatin1Char(' ') + year;
}

const Node* Neighbourhood::node(qint32 id) const
{
    const auto it = indexById.find(id);
    return it == indexById.end() ? nullptr : &nodes[static_cast<size_t>(it->second)];
}

int Neighbourhood::count(int level, Side side) const
{
    return static_cast<int>(std::count_if(nodes.begin(), nodes.end(), [&](const Node& n) {
        return n.level == level && n.side == side;
    }));
}

Neighbourhood readNeighbourhood(db::Database& database, qint32 centre, int levels)
{
    Neighbourhood graph;
    // Read under one lock, so that the neighbourhood is one state of the project.
    db::ReadTransaction reading(database);

    // Level 1: the centre's own citations, both ways.
    std::vector<Edge> links = linksOf(database, {centre});
    std::vector<Edge> allLinks = links;
    std::map<qint32, Side> firstLevel;
    for (const Edge& e : links) {
        if (e.citing == centre)
            firstLevel[e.cited] = Side::References;
    }
    for (const Edge& e : links) {
        if (e.cited == centre)
            firstLevel.try_emplace(e.citing, Side::Citations);
    }
    std::vector<qint32> wanted{centre};
    for (const auto& [id, side] : firstLevel)
        wanted.push_back(id);
    std::unordered_map<qint32, PaperRow> papers = papersOf(database, wanted);
    if (!papers.contains(centre))
        return graph;
    graph.found = true;

    std::map<qint32, std::pair<int, Side>> placed{{centre, {0, Side::Centre}}};
    std::vector<qint32> levelOne;
    for (const auto& [id, side] : firstLevel) {
        if (papers.contains(id)) {
            placed.emplace(id, std::pair{1, side});
            levelOne.push_back(id);
        }
    }

    // Level 2: whatever the papers of level 1 cite or are cited by, on the side they were
    // reached from (the references' side when both).
    if (levels >= 2 && !levelOne.empty()) {
        links = linksOf(database, levelOne);
        allLinks.insert(allLinks.end(), links.begin(), links.end());
        std::map<qint32, Side> secondLevel;
        for (const Edge& e : links) {
            for (const auto& [here, there] : {std::pair{e.citing, e.cited}, {e.cited, e.citing}}) {
                const auto from = placed.find(here);
                if (from == placed.end() || from->second.first != 1 || placed.contains(there))
                    continue;
                auto [it, added] = secondLevel.try_emplace(there, from->second.second);
                if (!added && from->second.second == Side::References)
                    it->second = Side::References;
            }
        }
        std::vector<qint32> ids;
        for (const auto& [id, side] : secondLevel)
            ids.push_back(id);
        const std::unordered_map<qint32, PaperRow> more = papersOf(database, ids);
        for (const auto& [id, side] : secondLevel) {
            if (const auto it = more.find(id); it != more.end()) {
                papers.emplace(id, it->second);
                placed.emplace(id, std::pair{2, side});
            }
        }
    }

    std::vector<qint32> ids;
    for (int level = 0; level <= 2; ++level) {
        for (const auto& [id, where] : placed) {
            if (where.first == level)
                ids.push_back(id);
        }
    }
    const auto authorLinks = authorLinksOf(database, ids);
    std::set<qint32> authorIds;
    for (const auto& [paper, authors] : authorLinks)
        authorIds.insert(authors.begin(), authors.end());
    const auto surnames = surnamesOf(database, {authorIds.begin(), authorIds.end()});

    // Only authors still stored count: a link to one that is gone names nobody.
    const auto storedAuthors = [&](qint32 paper) {
        std::vector<qint32> out;
        if (const auto it = authorLinks.find(paper); it != authorLinks.end()) {
            for (qint32 a : it->second) {
                if (surnames.contains(a))
                    out.push_back(a);
            }
        }
        return out;
    };
    const std::vector<qint32> centreAuthorList = storedAuthors(centre);
    const std::unordered_set<qint32> centreAuthors(centreAuthorList.begin(),
                                                   centreAuthorList.end());

    for (qint32 id : ids) {
        const auto& [level, side] = placed.at(id);
        const PaperRow& row = papers.at(id);
        Node n{id, row.title, {}, row.year, level, side, false};
        const std::vector<qint32> authors = storedAuthors(id);
        if (!authors.empty())
            n.firstAuthor = surnames.at(authors.front());
        n.sharesAuthor = level > 0 && std::any_of(authors.begin(), authors.end(), [&](qint32 a) {
                             return centreAuthors.contains(a);
                         });
        graph.indexById.emplace(id, static_cast<int>(graph.nodes.size()));
        graph.nodes.push_back(std::move(n));
    }

    std::set<std::pair<qint32, qint32>> pairs;
    for (const Edge& e : allLinks) {
        if (graph.indexById.contains(e.citing) && graph.indexById.contains(e.cited))
            pairs.emplace(e.citing, e.cited);
    }
    for (const auto& [citing, cited] : pairs)
        graph.edges.push_back({citing, cited});
    return graph;
}

} // namespace quirelle::citations
