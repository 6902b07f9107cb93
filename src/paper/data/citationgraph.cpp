// Reading a paper's citation neighbourhood with a handful of queries.
#include "paper/data/citationgraph.h"

#include "db/database.h"

#include <algorithm>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <span>
#include <unordered_set>

namespace quirelle::citations {

namespace {

// Ids asked for in one statement: few statements, none too long to read quickly.
constexpr size_t IdsPerQuery = 400;

QString comparison(const QString& field, qint32 id, bool quoted)
{
    const QString value = QString::number(id);
    return QLatin1Char('[') + field + QStringLiteral("] = ") +
           (quoted ? QLatin1Char('\'') + value + QLatin1Char('\'') : value);
}

// `field` equal to any of `ids`, as a balanced tree of "or": the statement then nests only as
// deep as the logarithm of its length, well within what the engine parses.
QString anyOf(const QString& field, std::span<const qint32> ids, bool quoted)
{
    if (ids.size() == 1)
        return comparison(field, ids.front(), quoted);
    const size_t half = ids.size() / 2;
    return QLatin1Char('(') + anyOf(field, ids.first(half), quoted) + QStringLiteral(" or ") +
           anyOf(field, ids.subspan(half), quoted) + QLatin1Char(')');
}

// Runs `body` on the ids, a statement's worth at a time.
void inChunks(const std::vector<qint32>& ids,
              const std::function<void(std::span<const qint32>)>& body)
{
    const std::span<const qint32> all(ids);
    for (size_t at = 0; at < all.size(); at += IdsPerQuery)
        body(all.subspan(at, std::min(IdsPerQuery, all.size() - at)));
}

// Runs `body` once for each row of `query`.
void eachRow(db::Database& database, const QString& query,
             const std::function<void(db::Recordset&)>& body)
{
    db::Recordset rs = database.OpenRecordset(query);
    const int count = rs.RecordCount();
    if (count == 0)
        return;
    rs.MoveFirst();
    for (int i = 0; i < count; ++i) {
        body(rs);
        rs.MoveNext();
    }
}

// An id as the link tables keep it, decimal text; nothing for text that is not one.
std::optional<qint32> idOf(const QVariant& value)
{
    if (value.isNull())
        return std::nullopt;
    bool ok = false;
    const qint32 id = value.toString().trimmed().toInt(&ok);
    if (!ok)
        return std::nullopt;
    return id;
}

// The citations that touch any of `ids`: citing → cited, self-citations left out.
std::vector<Edge> linksOf(db::Database& database, const std::vector<qint32>& ids)
{
    std::vector<Edge> links;
    inChunks(ids, [&](std::span<const qint32> chunk) {
        const QString query =
            QStringLiteral("select [Paper ID], [Reference ID] from [Paper References List] "
                           "where (") +
            anyOf(QStringLiteral("Paper ID"), chunk, true) + QStringLiteral(" or ") +
            anyOf(QStringLiteral("Reference ID"), chunk, false) + QStringLiteral(");");
        eachRow(database, query, [&](db::Recordset& rs) {
            const auto citing = idOf(rs.Fields(QStringLiteral("Paper ID")).Value());
            const auto cited = idOf(rs.Fields(QStringLiteral("Reference ID")).Value());
            if (citing && cited && *citing != *cited)
                links.push_back({*citing, *cited});
        });
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
    inChunks(ids, [&](std::span<const qint32> chunk) {
        const QString query = QStringLiteral("select [Paper ID], [Title], [Year] from [Papers] "
                                             "where ") +
                              anyOf(QStringLiteral("Paper ID"), chunk, false) + QStringLiteral(";");
        eachRow(database, query, [&](db::Recordset& rs) {
            const auto id = idOf(rs.Fields(QStringLiteral("Paper ID")).Value());
            if (id)
                papers.try_emplace(*id, PaperRow{rs.Fields(QStringLiteral("Title")).text(),
                                                 rs.Fields(QStringLiteral("Year")).text()});
        });
    });
    return papers;
}

// Each paper's author ids in the order of its link rows, each once.
std::unordered_map<qint32, std::vector<qint32>> authorLinksOf(db::Database& database,
                                                              const std::vector<qint32>& ids)
{
    std::unordered_map<qint32, std::vector<qint32>> authors;
    inChunks(ids, [&](std::span<const qint32> chunk) {
        const QString query =
            QStringLiteral("select [Paper ID], [Author ID] from [Paper Authors List] where ") +
            anyOf(QStringLiteral("Paper ID"), chunk, true) + QStringLiteral(";");
        eachRow(database, query, [&](db::Recordset& rs) {
            const auto paper = idOf(rs.Fields(QStringLiteral("Paper ID")).Value());
            const auto author = idOf(rs.Fields(QStringLiteral("Author ID")).Value());
            if (!paper || !author)
                return;
            std::vector<qint32>& list = authors[*paper];
            if (std::find(list.begin(), list.end(), *author) == list.end())
                list.push_back(*author);
        });
    });
    return authors;
}

std::unordered_map<qint32, QString> surnamesOf(db::Database& database,
                                               const std::vector<qint32>& ids)
{
    std::unordered_map<qint32, QString> surnames;
    inChunks(ids, [&](std::span<const qint32> chunk) {
        const QString query =
            QStringLiteral("select [Author ID], [Surname] from [Authors] where ") +
            anyOf(QStringLiteral("Author ID"), chunk, false) + QStringLiteral(";");
        eachRow(database, query, [&](db::Recordset& rs) {
            if (const auto id = idOf(rs.Fields(QStringLiteral("Author ID")).Value()))
                surnames.try_emplace(*id, rs.Fields(QStringLiteral("Surname")).text());
        });
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
    db::Transaction reading(database);

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
    if (!papers.contains(centre)) {
        reading.commit();
        return graph;
    }
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
    reading.commit();

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
