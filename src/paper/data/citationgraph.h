// A paper's neighbourhood among the citation links: the papers it references, the papers that
// cite it, and on request the papers one more link out, with what a map shows of each (first
// author, year, title). No widgets: the citation map draws it, the tests read it.
#pragma once

#include <QString>

#include <unordered_map>
#include <vector>

namespace quirelle::db {
class Database;
}

namespace quirelle::citations {

// Where a paper stands from the centre: the centre itself, among the papers the centre
// references (and those reached through them), or among the papers that cite it.
enum class Side { Centre, References, Citations };

struct Node
{
    qint32 id = 0;
    QString title;
    QString firstAuthor; // surname of the paper's first linked author; "" when it has none
    QString year;
    int level = 0; // 0: the centre, 1: linked to it, 2: linked to a paper of level 1
    Side side = Side::Centre;
    bool sharesAuthor = false; // one of the centre's authors wrote it too (never the centre)
};

// What a map writes on a paper: "Surname Year"; "Anon." without authors, "n.d." without a
// year.
QString nodeLabel(const Node& node);

// A citation: `citing` lists `cited` among its references.
struct Edge
{
    qint32 citing = 0;
    qint32 cited = 0;
    bool operator==(const Edge&) const = default;
};

struct Neighbourhood
{
    bool found = false;      // the centre is a stored paper
    std::vector<Node> nodes; // the centre first, then level 1, then level 2, by id within each
    std::vector<Edge> edges; // between the nodes, each pair once, no paper citing itself
    std::unordered_map<qint32, int> indexById;

    const Node* node(qint32 id) const;
    int count(int level, Side side) const;
};

// Reads the neighbourhood of `centre` with `levels` 1 or 2, under one read transaction. With
// one level the edges are the centre's own citations; with two they are every citation of a
// paper of level 1 whose other end is in the map too. A link to a paper that is no longer
// stored gives no node, and is not followed further. A paper that both cites the centre and
// is cited by it stands among the references; a paper of level 2 stands on the side of the
// references when it is linked to one of them, else on the side of the citations.
Neighbourhood readNeighbourhood(db::Database& database, qint32 centre, int levels);

} // namespace quirelle::citations
