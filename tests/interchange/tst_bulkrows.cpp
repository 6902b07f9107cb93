// The bulk row writer and stream of imports and exports: numbers as AddNew and Update give them,
// the tables' rules, rows in order and filtered, Null told apart from "".
#include "db/dberror.h"
#include "db/recordset.h"
#include "testsupport.h"

using namespace quirelle;

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
        test::sqliteShell(p.file(), QStringLiteral("delete from Authors where Surname = 'C'"));
        const qint64 fourth = test::addRow(d, QStringLiteral("Authors"), {{"Surname", "D"}});
        QCOMPARE(fourth, third + 1);
        test::sqliteShell(p.file(), QStringLiteral("delete from Authors where Surname = 'D'"));
        db::RowWriter w(d, QStringLiteral("Authors"), {"Surname"});
        QCOMPARE(w.add({QStringLiteral("E")}), fourth + 1);
        QCOMPARE(test::addRow(d, QStringLiteral("Authors"), {{"Surname", "F"}}), fourth + 2);
        QCOMPARE(test::sqliteShell(p.file(), QStringLiteral("select [Author ID], Surname, "
                                                            "Forenames is null from Authors "
                                                            "order by 1")),
                 "1|A|1\n2|B|0\n5|E|1\n6|F|1");
        // A numbered field given a value keeps it, repeats included; a paper's number is its row.
        db::RowWriter papers(d, QStringLiteral("Papers"), {"Title"});
        QCOMPARE(papers.add({QStringLiteral("One")}), 1);
        QCOMPARE(papers.add({QStringLiteral("Two")}), 2);
        db::RowWriter links(d, QStringLiteral("Paper Keywords List"), {"Paper ID", "Keywords ID"});
        links.add({QStringLiteral("1"), 7});
        links.add({QStringLiteral("2"), 7});
        QCOMPARE(test::sqliteShell(p.file(), QStringLiteral("select [Paper ID], [Keywords ID], "
                                                            "typeof([Keywords ID]) from [Paper "
                                                            "Keywords List]")),
                 "1|7|integer\n2|7|integer");
    }

    void refusals_data()
    {
        QTest::addColumn<QString>("table");
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("value");
        QTest::addColumn<int>("error");
        const auto row = [](const char* name, const char* table, const char* field,
                            const QString& value, int error) {
            QTest::newRow(name) << QString(table) << QString(field) << value << error;
        };
        row("title too long", "Papers", "Title", QString(101, QChar(u'é')), db::err::FieldTooSmall);
        row("empty title", "Papers", "Title", "", db::err::ZeroLength);
        row("empty keyword", "Keywords", "Keyword", "", db::err::ZeroLength);
    }
    void refusals()
    {
        QFETCH(QString, table);
        QFETCH(QString, field);
        QFETCH(QString, value);
        QFETCH(int, error);
        test::TempProject p;
        db::RowWriter w(p.db(), table, {field});
        try {
            w.add({value});
            QFAIL("the row was taken");
        } catch (const db::DbError& e) {
            QCOMPARE(e.number(), error);
        }
        QCOMPARE(test::countRows(p.db(), table), 0);
        // At the limit, counted in characters, it is taken.
        if (error == db::err::FieldTooSmall) {
            w.add({value.left(100)});
            QCOMPARE(test::countRows(p.db(), table), 1);
        }
    }

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
        db::RowStream one(p.db(), QStringLiteral("Paper Statements List"), {"Statements ID"},
                          QStringLiteral("Paper ID"), QStringLiteral("1"));
        QList<qint64> ids;
        while (one.next())
            ids << one.number(0);
        QCOMPARE(ids, QList<qint64>({2, 3}));
        try {
            db::RowStream missing(p.db(), QStringLiteral("No Such Table"), {"x"});
            QFAIL("a missing table was read");
        } catch (const db::DbError& e) {
            QCOMPARE(e.number(), db::err::UnknownTable);
        }
    }
};

QTEST_MAIN(TstBulkRows)
#include "tst_bulkrows.moc"
