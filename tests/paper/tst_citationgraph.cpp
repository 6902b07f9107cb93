// A paper's citation neighbourhood as read from a project, and its layout: no overlaps,
// references left and citations right, hundreds of papers in a compact block.
#include "paper/data/citationgraph.h"
#include "paper/data/citationlayout.h"
#include "testsupport.h"

#include <QRandomGenerator>

#include <map>

using namespace quirelle;
using citations::Side;

namespace {

// Rows added through one record set per table, in one transaction: quick for hundreds.
class Rows
{
public:
    explicit Rows(db::Database& d) : m_db(d), m_transaction(d) {}
    ~Rows() { m_transaction.commit(); }

    // Adds a row; returns its number in `idField`, if one is named.
    qint32 add(const QString& table, const QVariantMap& values, const QString& idField = {})
    {
        db::Recordset& rs = m_sets[table];
        if (!rs.isOpen())
            rs = m_db.OpenRecordset(QStringLiteral("select * from [%1];").arg(table));
        rs.AddNew();
        for (auto it = values.begin(); it != values.end(); ++it)
            rs.Fields(it.key()) = it.value();
        rs.Update();
        rs.setBookmark(rs.LastModified());
        return idField.isEmpty() ? 0 : rs.Fields(idField).toLong();
    }
    qint32 paper(const QString& title, const QString& year = {})
    {
        return add(QStringLiteral("Papers"), {{"Title", title}, {"Year", year}},
                   QStringLiteral("Paper ID"));
    }
    qint32 author(const QString& surname)
    {
        return add(QStringLiteral("Authors"), {{"Surname", surname}}, QStringLiteral("Author ID"));
    }
    void wrote(qint32 author, qint32 paper)
    {
        add(QStringLiteral("Paper Authors List"),
            {{"Paper ID", QString::number(paper)}, {"Author ID", QString::number(author)}});
    }
    // `citing` as the link table keeps it: normally the id's decimal text.
    void cites(const QVariant& citing, qint32 cited)
    {
        add(QStringLiteral("Paper References List"),
            {{"Paper ID", citing.toString()}, {"Reference ID", cited}});
    }

private:
    db::Database& m_db;
    db::Transaction m_transaction;
    std::map<QString, db::Recordset> m_sets;
};

QString sideName(Side s)
{
    return s == Side::Centre ? QStringLiteral("C")
                             : (s == Side::References ? QStringLiteral("R") : QStringLiteral("X"));
}

// Each node as "level side title label [same author]", sorted.
QStringList nodeLines(const citations::Neighbourhood& g)
{
    QStringList out;
    for (const citations::Node& n : g.nodes) {
        out << QStringLiteral("%1%2 %3 %4%5")
                   .arg(n.level)
                   .arg(sideName(n.side), n.title, citations::nodeLabel(n),
                        n.sharesAuthor ? QStringLiteral(" *") : QString());
    }
    out.sort();
    return out;
}

QStringList edgeLines(const citations::Neighbourhood& g)
{
    QStringList out;
    for (const citations::Edge& e : g.edges)
        out << g.node(e.citing)->title + QLatin1Char('>') + g.node(e.cited)->title;
    out.sort();
    return out;
}

// A neighbourhood of made-up papers: `counts` papers on each of the four blocks.
citations::Neighbourhood madeUp(int references, int citations, int furtherReferences,
                                int furtherCitations)
{
    citations::Neighbourhood g;
    g.found = true;
    g.nodes.push_back({1, QStringLiteral("Centre"), QStringLiteral("Centre"),
                       QStringLiteral("2000"), 0, Side::Centre, false});
    qint32 id = 2;
    const auto add = [&](int n, int level, Side side) {
        for (int i = 0; i < n; ++i, ++id) {
            g.nodes.push_back({id, QStringLiteral("Paper %1").arg(id), QStringLiteral("Author"),
                               QString::number(1950 + id % 70), level, side, false});
        }
    };
    add(references, 1, Side::References);
    add(citations, 1, Side::Citations);
    add(furtherReferences, 2, Side::References);
    add(furtherCitations, 2, Side::Citations);
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
        QTest::addColumn<QStringList>("nodes");
        QTest::addColumn<QStringList>("edges");
        QTest::newRow("one level")
            << 1 << QStringList{"0C C Smith 2001",  "1R M Anon. 1990",  "1R R1 Smith 1999 *",
                                "1R R2 Anon. n.d.", "1X X1 Brown 2005", "1X X2 Lee 2010 *"}
            << QStringList{"C>M", "C>R1", "C>R2", "M>C", "X1>C", "X2>C"};
        QTest::newRow("two levels")
            << 2 << QStringList{"0C C Smith 2001",  "1R M Anon. 1990",  "1R R1 Smith 1999 *",
                                "1R R2 Anon. n.d.", "1X X1 Brown 2005", "1X X2 Lee 2010 *",
                                "2R Z1 Anon. 1980", "2R Z3 Anon. 2007", "2X Z2 Anon. 2012"}
            << QStringList{"C>M",   "C>R1", "C>R2",  "M>C",   "R1>Z1", "X1>C",
                           "X1>R1", "X2>C", "X2>Z3", "Z2>X1", "Z3>R2"};
    }
    void neighbourhood()
    {
        QFETCH(int, levels);
        QFETCH(QStringList, nodes);
        QFETCH(QStringList, edges);
        test::TempProject project;
        std::map<QString, qint32> id;
        const auto pairs = [](const char* text) { return QString::fromLatin1(text).split(' '); };
        {
            Rows r(project.db());
            for (const QString& p : pairs("C:2001 R1:1999 R2: M:1990 X1:2005 X2:2010 Z1:1980 "
                                          "Z2:2012 Z3:2007 Z4: Gone:"))
                id[p.section(':', 0, 0)] = r.paper(p.section(':', 0, 0), p.section(':', 1));
            for (const char* surname : {"Smith", "Jones", "Brown", "Lee"})
                id[surname] = r.author(surname);
            // The first linked is the first author; an author who is gone names nobody.
            id["Nobody"] = id["Smith"] + 1000;
            for (const QString& w : pairs("Smith>C Jones>C Smith>R1 Brown>X1 Nobody>X2 Lee>X2 "
                                          "Jones>X2"))
                r.wrote(id[w.section('>', 0, 0)], id[w.section('>', 1)]);
            // Both ways (C and M): among the references; twice (X2): one line; itself: no line;
            // Z4 only behind a paper that is gone; Z3 reached from both sides: the references'.
            for (const QString& l : pairs("C>R1 C>R2 C>M M>C X1>C X2>C X2>C C>C C>Gone Gone>Z4 "
                                          "X1>R1 R1>Z1 Z2>X1 Z3>R2 X2>Z3"))
                r.cites(id[l.section('>', 0, 0)], id[l.section('>', 1)]);
            r.cites(QStringLiteral("not a number"), id["C"]);
        }
        const qint32 c = id["C"];
        // The paper "Gone" is deleted after its links were made.
        db::Recordset gone = project.db().OpenRecordset(
            QStringLiteral("select * from [Papers] where [Title] = 'Gone';"));
        gone.Delete();
        const citations::Neighbourhood g = citations::readNeighbourhood(project.db(), c, levels);
        QVERIFY(g.found);
        QCOMPARE(g.nodes.front().id, c);
        QCOMPARE(nodeLines(g), nodes);
        QCOMPARE(edgeLines(g), edges);
        // The database is left as it was: no transaction open, writes still work.
        test::addRow(project.db(), QStringLiteral("Papers"), {{"Title", "After"}});
    }

    // More papers than one statement asks for at a time, at both levels.
    void largeNeighbourhood()
    {
        test::TempProject project;
        qint32 c = 0;
        constexpr int Citing = 450;
        {
            Rows r(project.db());
            c = r.paper(QStringLiteral("Centre"));
            const qint32 author = r.author(QStringLiteral("Many"));
            for (int i = 0; i < Citing; ++i) {
                const qint32 p =
                    r.paper(QStringLiteral("Citing %1").arg(i), QStringLiteral("2020"));
                const qint32 q = r.paper(QStringLiteral("Further %1").arg(i));
                r.cites(p, c);
                r.cites(p, q);
                r.wrote(author, p);
            }
        }
        const citations::Neighbourhood one = citations::readNeighbourhood(project.db(), c, 1);
        QCOMPARE(one.count(1, Side::Citations), Citing);
        QCOMPARE(one.edges.size(), size_t(Citing));
        QCOMPARE(citations::nodeLabel(one.nodes.back()), "Many 2020");
        const citations::Neighbourhood two = citations::readNeighbourhood(project.db(), c, 2);
        QCOMPARE(two.count(2, Side::Citations), Citing);
        QCOMPARE(two.edges.size(), size_t(2 * Citing));
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
        const citations::Neighbourhood g = madeUp(counts[0], counts[1], counts[2], counts[3]);
        QRandomGenerator random(42);
        std::vector<QSizeF> sizes;
        for (size_t i = 0; i < g.nodes.size(); ++i)
            sizes.emplace_back(40 + random.bounded(160), i == 0 ? 30 : 18 + random.bounded(8));
        const citations::Spacing spacing;
        const citations::Layout l = citations::layOut(g, sizes, spacing);
        QCOMPARE(l.nodes.size(), g.nodes.size());
        for (size_t i = 0; i < l.nodes.size(); ++i) {
            QCOMPARE(l.nodes[i].size(), sizes[i]);
            QVERIFY(l.bounds.contains(l.nodes[i]));
        }
        // No two papers overlap, nor come closer than a gap.
        for (size_t i = 0; i < l.nodes.size(); ++i) {
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
            for (size_t k = 1; k < g.nodes.size(); ++k) {
                if (g.nodes[k].side == n.side && g.nodes[k].level == 1 && n.level == 2) {
                    QVERIFY(n.side == Side::References ? r.right() < l.nodes[k].left()
                                                       : r.left() > l.nodes[k].right());
                }
            }
        }
        int blocks = 0;
        for (const citations::Block& b : l.blocks) {
            ++blocks;
            QVERIFY(b.count > 0);
            for (const QRectF& r : l.nodes)
                QVERIFY(!b.heading.intersects(r));
            // Hundreds of papers make a compact block, not a column thousands of pixels tall.
            if (b.count > 100)
                QVERIFY2(b.area.height() < 2.5 * b.area.width(),
                         qPrintable(QString("%1 x %2").arg(b.area.width()).arg(b.area.height())));
        }
        QCOMPARE(blocks, static_cast<int>(std::count_if(counts.begin(), counts.end(),
                                                        [](int n) { return n > 0; })));
    }
};

QTEST_MAIN(TstCitationGraph)
#include "tst_citationgraph.moc"
