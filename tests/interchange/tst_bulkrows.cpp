// The bulk row writer and stream of imports and exports: numbers as AddNew and Update give them,
// the tables' rules, rows in order and filtered, Null told apart from "".
#include "db/dberror.h"
#include "db/recordset.h"
#include "testsupport.h"

using namespace quirelle;

namespace {

// The number of the engine error that `run` throws, or 0.
template<class F>
int errorOf(F run)
{
    try {
        run();
    } catch (const db::DbError& e) {
        return e.number();
    }
    return 0;
}

} // namespace

class TstBulkRows : public QObject
{
    Q_OBJECT

private slots:
    // Numbers from the writer and from record sets follow one another and never repeat, even
    // after the highest row was deleted.
    void numbering()
    {
        test::TempProject p;
        db::Database& d = p.db();
        const auto sql = [&](const char* query) {
            return test::sqliteShell(p.file(), QString::fromLatin1(query));
        };
        const qint64 first = test::addRow(d, QStringLiteral("Authors"), {{"Surname", "A"}});
        qint64 second = 0, third = 0;
        {
            db::RowWriter w(d, QStringLiteral("Authors"), {"Surname", "Forenames"});
            second = w.add({QStringLiteral("B"), QString()});
            third = w.add({QStringLiteral("C"), QVariant()});
        }
        QCOMPARE(second, first + 1);
        QCOMPARE(third, first + 2);
        // The highest goes; its number is not given again, by either.
        sql("delete from Authors where Surname = 'C'");
        const qint64 fourth = test::addRow(d, QStringLiteral("Authors"), {{"Surname", "D"}});
        QCOMPARE(fourth, third + 1);
        sql("delete from Authors where Surname = 'D'");
        db::RowWriter w(d, QStringLiteral("Authors"), {"Surname"});
        QCOMPARE(w.add({QStringLiteral("E")}), fourth + 1);
        QCOMPARE(test::addRow(d, QStringLiteral("Authors"), {{"Surname", "F"}}), fourth + 2);
        QCOMPARE(sql("select [Author ID], Surname, Forenames is null from Authors order by 1"),
                 "1|A|1\n2|B|0\n5|E|1\n6|F|1");
        // (A paper's number and the numbers given to links: tst_importexport.)
    }

    // The tables' rules hold; a title's size is counted in characters.
    void refusals()
    {
        test::TempProject p;
        db::RowWriter titles(p.db(), QStringLiteral("Papers"), {"Title"});
        db::RowWriter keywords(p.db(), QStringLiteral("Keywords"), {"Keyword"});
        const QString empty(QLatin1String(""));
        QCOMPARE(errorOf([&] { titles.add({QString(101, QChar(u'é'))}); }), db::err::FieldTooSmall);
        QCOMPARE(errorOf([&] { titles.add({empty}); }), db::err::ZeroLength);
        QCOMPARE(errorOf([&] { keywords.add({empty}); }), db::err::ZeroLength);
        QCOMPARE(test::countRows(p.db(), QStringLiteral("Keywords")), 0);
        QCOMPARE(test::countRows(p.db(), QStringLiteral("Papers")), 0);
        titles.add({QString(100, QChar(u'é'))});
        QCOMPARE(test::countRows(p.db(), QStringLiteral("Papers")), 1);
    }

    // Rows in order, Null told apart from "". (Streams of one paper's rows: the exports of
    // chosen papers in tst_importexport and tst_interchangewindows.)
    void stream()
    {
        test::TempProject p;
        for (const char* paper : {"10", "1", "1", "2"})
            test::addRow(p.db(), QStringLiteral("Paper Statements List"),
                         {{"Paper ID", paper}, {"Statement", QStringLiteral("of %1").arg(paper)}});
        test::sqliteShell(p.file(), QStringLiteral("update [Paper Statements List] set Statement "
                                                   "= null where [Paper ID] = '2'"));
        QStringList all;
        db::RowStream rows(p.db(), QStringLiteral("paper statements list"),
                           {"Paper ID", "Statement", "Statements ID"});
        while (rows.next()) {
            all << QStringLiteral("%1:%2:%3:%4")
                       .arg(rows.number(0))
                       .arg(rows.text(1))
                       .arg(rows.isNull(1))
                       .arg(rows.number(2));
        }
        QCOMPARE(all, QStringList({"10:of 10:0:1", "1:of 1:0:2", "1:of 1:0:3", "2::1:4"}));
        QCOMPARE(errorOf([&] { db::RowStream(p.db(), QStringLiteral("No Such Table"), {"x"}); }),
                 db::err::UnknownTable);
    }
};

QTEST_MAIN(TstBulkRows)
#include "tst_bulkrows.moc"
