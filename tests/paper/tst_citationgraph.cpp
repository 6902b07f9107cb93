// A paper's citation neighbourhood as read from a project, and its layout: no overlaps,
// references left and citations right, hundreds of papers in a compact block. Also the paper
// window's own queries, which read and write without disturbing one another.
#include "db/listline.h"
#include "dbtestsupport.h"
#include "paper/data/citationgraph.h"
#include "paper/data/citationlayout.h"
#include "paper/data/paperqueries.h"

#include <QRandomGenerator>

#include <map>

using namespace quirelle;
using namespace quirelle::test;
using citations::Side;

namespace {

// Made-up papers around a centre: `counts` papers of references, citations, and one level
// further out on each side.
citations::Neighbourhood madeUp(const QList<int>& counts)
{
    citations::Neighbourhood g;
    g.found = true;
    g.nodes.push_back({1, "Centre", "Centre", "2000", 0, Side::Centre, false});
    for (int block = 0; block < 4; ++block) {
        for (int i = 0; i < counts[block]; ++i) {
            const qint32 id = static_cast<qint32>(g.nodes.size()) + 1;
            g.nodes.push_back({id, QStringLiteral("Paper %1").arg(id), "Author",
                               QString::number(1950 + id % 70), 1 + block / 2,
                               block % 2 ? Side::Citations : Side::References, false});
        }
    }
    for (size_t i = 0; i < g.nodes.size(); ++i)
        g.indexById.emplace(g.nodes[i].id, static_cast<int>(i));
    return g;
}

} // namespace

class TstCitationGraph : public QObject
{
    Q_OBJECT

private slots:
    void neighbourhood_data()
    {
        QTest::addColumn<int>("levels");
        QTest::addColumn<QString>("nodes"); // ", " between nodes
        QTest::addColumn<QString>("edges");
        const QString nodes("0C C Smith 2001, 1R M Anon. 1990, 1R R1 Smith 1999 *, "
                            "1R R2 Anon. n.d., 1X X1 Brown 2005, 1X X2 Lee 2010 *");
        const QString edges("C>M C>R1 C>R2 M>C X1>C X2>C");
        QTest::newRow("one level") << 1 << nodes << edges;
        QTest::newRow("two levels")
            << 2 << nodes + ", 2R Z1 Anon. 1980, 2R Z3 Anon. 2007, 2X Z2 Anon. 2012"
            << edges + " R1>Z1 X1>R1 X2>Z3 Z2>X1 Z3>R2";
    }
    void neighbourhood()
    {
        QFETCH(int, levels);
        QFETCH(QString, nodes);
        QFETCH(QString, edges);
        TempProject project;
        std::map<QString, qint64> id;
        const auto pairs = [](const char* text) { return QString::fromLatin1(text).split(' '); };
        for (const QString& p : pairs("C:2001 R1:1999 R2: M:1990 X1:2005 X2:2010 Z1:1980 Z2:2012 "
                                      "Z3:2007 Z4: Gone:"))
            id[p.section(':', 0, 0)] =
                addPaper(p.section(':', 0, 0), {{"Year", p.section(':', 1)}});
        for (const char* surname : {"Smith", "Jones", "Brown", "Lee"})
            id[surname] = addAuthor(surname);
        // The first linked is the first author; an author who is gone names nobody.
        id["Nobody"] = id["Smith"] + 1000;
        for (const QString& w :
             pairs("Smith>C Jones>C Smith>R1 Brown>X1 Nobody>X2 Lee>X2 Jones>X2"))
            linkAuthor(id[w.section('>', 1)], id[w.section('>', 0, 0)]);
        // Both ways (C and M): among the references; twice (X2): one line; itself: no line;
        // Z4 only behind a paper that is gone; Z3 reached from both sides: the references'.
        for (const QString& l : pairs("C>R1 C>R2 C>M M>C X1>C X2>C X2>C C>C C>Gone Gone>Z4 "
                                      "X1>R1 R1>Z1 Z2>X1 Z3>R2 X2>Z3"))
            cite(id[l.section('>', 0, 0)], id[l.section('>', 1)]);
        addRow("Paper References List", {{"Paper ID", "not a number"}, {"Reference ID", id["C"]}});
        // The paper "Gone" is deleted after its links were made.
        project.db().OpenRecordset("select * from [Papers] where [Title] = 'Gone';").Delete();
        const citations::Neighbourhood g =
            citations::readNeighbourhood(project.db(), static_cast<qint32>(id["C"]), levels);
        QVERIFY(g.found);
        QCOMPARE(g.nodes.front().id, id["C"]);
        // Each node as "level side title label [same author]", each edge as "citing>cited".
        QStringList nodeLines, edgeLines, expectedEdges = edges.split(' ');
        for (const citations::Node& n : g.nodes) {
            nodeLines << QStringLiteral("%1%2 %3 %4%5")
                             .arg(n.level)
                             .arg(QChar("CRX"[static_cast<int>(n.side)]), n.title,
                                  citations::nodeLabel(n), n.sharesAuthor ? " *" : "");
        }
        for (const citations::Edge& e : g.edges)
            edgeLines << g.node(e.citing)->title + '>' + g.node(e.cited)->title;
        nodeLines.sort();
        edgeLines.sort();
        expectedEdges.sort();
        QCOMPARE(nodeLines, nodes.split(", "));
        QCOMPARE(edgeLines, expectedEdges);
        // The database is left as it was: no transaction open, writes still work.
        addPaper("After");
    }

    // More papers than one statement asks for at a time, at both levels.
    void largeNeighbourhood()
    {
        TempProject project;
        constexpr int Citing = 450;
        const qint64 c = addPaper("Centre");
        {
            db::Transaction adding(project.db());
            const qint64 author = addAuthor("Many");
            for (int i = 0; i < Citing; ++i) {
                const qint64 p = addPaper(QStringLiteral("Citing %1").arg(i), {{"Year", "2020"}});
                cite(p, c);
                cite(p, addPaper(QStringLiteral("Further %1").arg(i)));
                linkAuthor(p, author);
            }
            adding.commit();
        }
        for (int levels : {1, 2}) {
            const citations::Neighbourhood g =
                citations::readNeighbourhood(project.db(), static_cast<qint32>(c), levels);
            QCOMPARE(g.count(levels, Side::Citations), Citing);
            QCOMPARE(g.edges.size(), size_t(levels * Citing));
            QCOMPARE(citations::nodeLabel(g.nodes[Citing]), "Many 2020"); // the last citing
        }
    }

    // Every paper query opens record sets of its own: the row a caller holds stays on its paper
    // whatever is read or written in between, and still writes to that paper.
    void paperQueriesLeaveTheCallersRow()
    {
        TempProject project;
        const auto a = static_cast<qint32>(addPaper("Alpha", {{"Year", "2001"}}));
        const auto b = static_cast<qint32>(addPaper("Beta"));
        const qint64 author = addAuthor("Smith", "Jo");
        linkAuthor(a, author);
        linkAuthor(b, author);
        cite(a, b);
        cite(b, a);
        db::Recordset row;
        QVERIFY(paper::openPaper(a, row));
        const QStringList beta{ListLine::format(b, "Beta")};
        QCOMPARE(paper::linkLines(a).references, beta);
        QCOMPARE(paper::citations(a), beta);
        QCOMPARE(paper::otherWorks(a, a), beta);
        QCOMPARE(paper::saveDetail(b, "Year", "1999").stored, "1999");
        paper::addQuotation(b, "clay remembers");
        paper::addLink(paper::Link::Reference, b, QString::number(a));
        paper::addPaper("Gamma");
        paper::deletePaper(b);
        QCOMPARE(row.Fields("Title").text(), "Alpha");
        row.Edit();
        row.Fields("Year") = "2002";
        row.Update();
        QCOMPARE(rowsOf("select * from [Papers] order by [Paper ID];", {"Title", "Year"}),
                 QStringList({"Alpha/2002", "Gamma/"}));
        QCOMPARE(countRows(project.db(), "Paper Statements List"), 0);
    }

    void layout_data()
    {
        QTest::addColumn<QList<int>>("counts"); // references, citations, and one level further
        QTest::newRow("centre alone") << QList<int>{0, 0, 0, 0};
        QTest::newRow("one each side") << QList<int>{1, 1, 0, 0};
        QTest::newRow("a column") << QList<int>{12, 5, 0, 0};
        QTest::newRow("300 citations") << QList<int>{20, 300, 0, 0};
        QTest::newRow("second level") << QList<int>{20, 300, 60, 900};
        QTest::newRow("second level on one side") << QList<int>{0, 40, 0, 120};
    }
    void layout()
    {
        QFETCH(QList<int>, counts);
        const citations::Neighbourhood g = madeUp(counts);
        QRandomGenerator random(42);
        std::vector<QSizeF> sizes;
        for (size_t i = 0; i < g.nodes.size(); ++i)
            sizes.emplace_back(40 + random.bounded(160), i == 0 ? 30 : 18 + random.bounded(8));
        const citations::Spacing spacing;
        const citations::Layout l = citations::layOut(g, sizes, spacing);
        QCOMPARE(l.nodes.size(), g.nodes.size());
        // Each paper as large as asked, inside the bounds; no two overlap, nor come closer than
        // a gap.
        for (size_t i = 0; i < l.nodes.size(); ++i) {
            QCOMPARE(l.nodes[i].size(), sizes[i]);
            QVERIFY(l.bounds.contains(l.nodes[i]));
            const QRectF grown =
                l.nodes[i].adjusted(0, 0, spacing.rowGap - 0.01, spacing.rowGap - 0.01);
            for (size_t j = i + 1; j < l.nodes.size(); ++j)
                QVERIFY2(!grown.intersects(l.nodes[j]), qPrintable(QString("%1 %2").arg(i).arg(j)));
        }
        const QRectF centre = l.nodes.front();
        for (size_t i = 1; i < g.nodes.size(); ++i) {
            const citations::Node& n = g.nodes[i];
            const QRectF r = l.nodes[i];
            // References to the left, citations to the right, the second level further out.
            if (n.side == Side::References)
                QVERIFY(r.right() < centre.left() - spacing.blockGap + 0.01);
            else
                QVERIFY(r.left() > centre.right() + spacing.blockGap - 0.01);
            for (size_t k = 1; k < g.nodes.size(); ++k)
                if (g.nodes[k].side == n.side && g.nodes[k].level == 1 && n.level == 2)
                    QVERIFY(n.side == Side::References ? r.right() < l.nodes[k].left()
                                                       : r.left() > l.nodes[k].right());
        }
        for (const citations::Block& b : l.blocks) {
            QVERIFY(b.count > 0);
            for (const QRectF& r : l.nodes)
                QVERIFY(!b.heading.intersects(r));
            // Hundreds of papers make a compact block, not a column thousands of pixels tall.
            if (b.count > 100)
                QVERIFY2(b.area.height() < 2.5 * b.area.width(),
                         qPrintable(QString("%1 x %2").arg(b.area.width()).arg(b.area.height())));
        }
        QCOMPARE(l.blocks.size(),
                 size_t(std::count_if(counts.begin(), counts.end(), [](int n) { return n > 0; })));
    }
};

QTEST_MAIN(TstCitationGraph)
#include "tst_citationgraph.moc"
