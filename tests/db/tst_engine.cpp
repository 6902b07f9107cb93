// The database engine: counts and moves, Null and "", field rules, auto numbers, the query
// dialect, bound values, transactions, read-only and bad files.
#include "db/dberror.h"
#include "dbtestsupport.h"

#include <QDeadlineTimer>

#include <atomic>
#include <thread>

using namespace quirelle;
using namespace quirelle::db;
using namespace quirelle::test;

namespace {

// The number of the error `f` threw (0: none), and its message into `message`.
int errorNumber(const std::function<void()>& f, QString* message = nullptr)
{
    try {
        f();
    } catch (const DbError& e) {
        if (message)
            *message = e.description();
        return e.number();
    }
    return 0;
}

} // namespace

class TstEngine : public QObject
{
    Q_OBJECT

private slots:
    // One record set walked, added to, edited and deleted from.
    void recordsetJourney()
    {
        test::TempProject p;
        const QString sorted = "select * from [Papers] order by [Title];";
        Recordset empty = p.db().OpenRecordset(sorted);
        QCOMPARE(empty.RecordCount(), 0);
        QCOMPARE(empty.AbsolutePosition(), -1);
        QCOMPARE(errorNumber([&] { empty.MoveFirst(); }), err::NoCurrentRecord);
        QCOMPARE(errorNumber([&] { empty.Fields("Title").Value(); }), err::NoCurrentRecord);
        addRow(p.db(), "Papers", {{"Title", "b"}, {"Year", ""}});
        for (const char* t : {"c", "a"})
            addRow(p.db(), "Papers", {{"Title", t}});
        Recordset rs = p.db().OpenRecordset(sorted);
        QCOMPARE(rs.RecordCount(), 3);
        QCOMPARE(rs.AbsolutePosition(), 0);
        QCOMPARE(rs.Fields("title").text(), "a");
        rs.MoveNext();
        // Null and "" are told apart; a Null reads as empty text.
        QVERIFY(rs.Fields("Summary").isNull());
        QVERIFY(!rs.Fields("Year").isNull());
        QCOMPARE(rs.Fields("Year").Value().toString(), QString(""));
        QCOMPARE(rs.Fields("Summary").text(), QString());
        rs.MoveLast();
        QCOMPARE(rs.AbsolutePosition(), 2);
        QCOMPARE(rs.Fields("TITLE").text(), "c");
        rs.MoveNext(); // past the end: no current row
        QCOMPARE(rs.AbsolutePosition(), -1);
        QCOMPARE(errorNumber([&] { rs.Fields("Title").Value(); }), err::NoCurrentRecord);
        QCOMPARE(errorNumber([&] { rs.Fields("Nope"); }), err::NotInCollection);
        QCOMPARE(errorNumber([&] { p.db().TableDefs("Nope"); }), err::NotInCollection);
        // AddNew keeps the current row and appends the new one to the set.
        rs.setAbsolutePosition(1);
        rs.AddNew();
        rs.Fields("Title") = "aa";
        rs.Update();
        QCOMPARE(rs.RecordCount(), 4);
        QCOMPARE(rs.AbsolutePosition(), 1);
        rs.setBookmark(rs.LastModified());
        QCOMPARE(rs.AbsolutePosition(), 3);
        QCOMPARE(rs.Fields("Paper ID").toLong(), 4);
        // Edit changes the row in the table; a refused edit keeps the stored value.
        rs.setAbsolutePosition(0);
        rs.Edit();
        rs.Fields("Status") = "Read";
        rs.Update();
        QCOMPARE(p.db().OpenRecordset("select * from papers where status = 'read';").RecordCount(),
                 1);
        rs.Edit();
        rs.Fields("Status") = QString(21, 'x');
        QCOMPARE(errorNumber([&] { rs.Update(); }), err::FieldTooSmall);
        QCOMPARE(rs.Fields("Status").text(), "Read");
        // Delete, then walk on: the next row follows.
        rs.setAbsolutePosition(0);
        rs.Delete();
        QCOMPARE(rs.AbsolutePosition(), -1);
        QCOMPARE(errorNumber([&] { rs.Fields("Title").Value(); }), err::RecordDeleted);
        rs.MoveNext();
        QCOMPARE(rs.Fields("Title").text(), "b");
        QCOMPARE(rs.RecordCount(), 3);
        QCOMPARE(countRows(p.db(), "Papers"), 3);
    }

    void fieldRules_data()
    {
        QTest::addColumn<QString>("table");
        QTest::addColumn<QString>("field");
        QTest::addColumn<QVariant>("value");
        QTest::addColumn<int>("error");
        const auto row = [](const char* name, const char* table, const char* field,
                            const QVariant& value,
                            int error) { QTest::newRow(name) << table << field << value << error; };
        row("empty title", "Papers", "Title", QString(""), err::ZeroLength);
        row("rating of three", "Papers", "Rating", "ABC", err::FieldTooSmall);
        row("characters, not bytes or halves", "Papers", "Rating", "😀😀", 0);
        row("empty surname allowed", "Authors", "Surname", QString(""), 0);
        row("number text beyond 16 bits", "Paper References List", "Reference ID", "70000", 0);
        row("words in a Long", "Paper References List", "Reference ID", "ten", err::TypeMismatch);
    }
    void fieldRules()
    {
        QFETCH(QString, table);
        QFETCH(QString, field);
        QFETCH(QVariant, value);
        QFETCH(int, error);
        test::TempProject p;
        const QString all = "select * from [" + table + "];";
        Recordset rs = p.db().OpenRecordset(all);
        rs.AddNew();
        if (table == "Papers")
            rs.Fields("Title") = "t";
        if (table == "Paper References List")
            rs.Fields("Paper ID") = "1";
        rs.Fields(field) = value;
        QString message;
        QCOMPARE(errorNumber([&] { rs.Update(); }, &message), error);
        // A refused row leaves nothing behind, in the table or in the record set, and its
        // message names the field (the windows look for it there).
        QCOMPARE(countRows(p.db(), table), error ? 0 : 1);
        QCOMPARE(rs.RecordCount(), error ? 0 : 1);
        if (error) {
            QVERIFY2(message.contains("'" + field + "'"), qPrintable(message));
            QCOMPARE(errorNumber([&] { rs.Update(); }), err::UpdateWithoutEdit);
        } else {
            QCOMPARE(rowsOf(p.db(), all, {field}), QStringList{value.toString()});
        }
    }

    // Papers are numbered by their row number, authors by the engine: neither hands a deleted
    // number out again, so old links cannot point at a new row.
    void autoNumbers()
    {
        test::TempProject p;
        for (const QString table : {"Papers", "Authors"}) {
            const QString field = table == "Papers" ? "Title" : "Surname";
            QCOMPARE(addRow(p.db(), table, {{field, "a"}}), 1);
            QCOMPARE(addRow(p.db(), table, {{field, "b"}}), 2);
            Recordset rs = p.db().OpenRecordset("select * from [" + table + "];");
            rs.MoveLast();
            rs.Delete();
            QCOMPARE(addRow(p.db(), table, {{field, "c"}}), 3);
        }
        // The link tables put explicit, repeating values into their auto-increment fields.
        const QString links = "Paper Keywords List";
        for (int paper : {1, 2, 3})
            addRow(p.db(), links,
                   {{"Keywords ID", paper == 3 ? QVariant("7") : QVariant(7)},
                    {"Paper ID", QString::number(paper)},
                    {"Keyword", "k"}});
        QCOMPARE(
            rowsOf(p.db(), "select * from [" + links + "] where [Keywords ID] = 7;", {"Paper ID"}),
            QStringList({"1", "2", "3"}));
        QCOMPARE(addRow(p.db(), links, {{"Paper ID", "4"}, {"Keyword", "k"}}), 8);
    }

    // Rows are added in transactions, all or nothing, and read in blocks: a walk over several
    // blocks sees every row, and a change made through another record set shows in a block
    // read before it.
    void transactionsAndWalks()
    {
        test::TempProject p;
        {
            Transaction t(p.db());
            addRow(p.db(), "Papers", {{"Title", "gone"}});
        }
        QCOMPARE(countRows(p.db(), "Papers"), 0);
        {
            Transaction t(p.db());
            for (int i = 1; i <= 200; ++i)
                addRow(p.db(), "Papers", {{"Title", QString::number(i)}});
            // A refusal inside the transaction undoes only its own row.
            const auto untitled = [&] { addRow(p.db(), "Papers", {{"Title", ""}}); };
            QCOMPARE(errorNumber(untitled), err::ZeroLength);
            t.commit();
        }
        Recordset rs = p.db().OpenRecordset("select * from [Papers];");
        QCOMPARE(rs.RecordCount(), 200);
        for (int i = 1; i <= 200; ++i, rs.MoveNext())
            QCOMPARE(rs.Fields("Title").text(), QString::number(i));
        rs.setAbsolutePosition(128);
        QCOMPARE(rs.Fields("Title").text(), "129");
        Recordset other = p.db().OpenRecordset("select * from [Papers] where [Paper ID] = 129;");
        other.Edit();
        other.Fields("Title") = "changed";
        other.Update();
        QCOMPARE(rs.Fields("Title").text(), "changed");
        other.Delete();
        QCOMPARE(errorNumber([&] { rs.Fields("Title").Value(); }), err::RecordDeleted);
    }

    // Two connections of the program to one file (the windows' and a background worker's) take
    // turns at writing: a transaction that has read and then writes waits for the other's to
    // end, where SQLite alone would refuse it at once; one that only reads does not wait.
    void connectionsTakeTurns_data()
    {
        QTest::addColumn<bool>("writes");
        QTest::newRow("read") << false;
        QTest::newRow("read, then write") << true;
    }
    void connectionsTakeTurns()
    {
        QFETCH(bool, writes);
        test::TempProject p;
        addRow(p.db(), "Papers", {{"Title", "first"}});
        std::atomic<bool> holding = false, done = false, committed = false;
        std::thread other([&] {
            const auto database = Database::OpenDatabase(p.file());
            Transaction t(*database);
            addRow(*database, "Papers", {{"Title", "other"}});
            holding = true;
            // Kept until the reader here is done; a moment only when the writer here waits.
            const QDeadlineTimer deadline(writes ? 300 : 10000);
            while (!done && !deadline.hasExpired())
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
            committed = true;
            t.commit();
        });
        while (!holding)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        int seen = 0;
        bool otherCommitted = false;
        const int error = errorNumber([&] {
            if (!writes) {
                ReadTransaction reading(p.db());
                seen = countRows(p.db(), "Papers");
                otherCommitted = committed;
                return;
            }
            Transaction t(p.db());
            seen = countRows(p.db(), "Papers");
            addRow(p.db(), "Papers", {{"Title", "mine"}});
            t.commit();
        });
        done = true;
        other.join();
        QCOMPARE(error, 0);
        QCOMPARE(otherCommitted, false);
        QCOMPARE(seen, writes ? 2 : 1);
        QCOMPARE(countRows(p.db(), "Papers"), writes ? 3 : 2);
    }

    // Queries of the dialect, with values bound and literals in the text (which reach SQLite
    // bound as well): what a value holds never changes the query.
    void queries()
    {
        test::TempProject p;
        const QString n = "Neural Nets", u = "Über alles", e = "émile and Emile", o = "O'Brien",
                      s = "Smith", z = QString::fromUtf8("nul\0here", 8);
        for (const QString& title : {n, u, e, o, s, z})
            addRow(p.db(), "Papers",
                   {{"Title", title}, {"Year", title == n ? "1998" : QVariant()}});
        const QString nul = QString::fromUtf8("\0", 1);
        const QString where = "select * from papers where ";
        const auto error = [](int number) { return QStringList{QString::number(number)}; };
        // Each query, its bound values, and the titles it finds (or the number of its error).
        const std::tuple<QString, QVariantList, QStringList> cases[] = {
            {"select * from [papers] where [paper id] = 2;", {}, {u}},
            {"SELECT * FROM Papers WHERE Title = 'neural nets';", {}, {n}},
            {where + "[Title] = 'ÜBER ALLES'", {}, {u}},
            {where + "[Year] like '*';", {}, {n}}, // Null is not like anything
            {where + "[Paper ID] = 1 or [Paper ID] = 3;", {}, {n, e}},
            {where + "not ([Paper ID] = 1) and (title like 'é*');", {}, {e}},
            {where + "[Year] is null;", {}, {u, e, o, s, z}},
            {"select * from papers order by [Title] desc;", {}, {u, s, o, z, n, e}},
            {where + "[Paper ID] = -100;", {}, {}},
            {where + "title = \"neural nets\";", {}, {n}},
            {where + "papers.[Paper ID] = 1", {}, {n}},
            {where + "[Title] = ?", {"o'brien"}, {o}},
            {where + "[Title] = 'o''brien'", {}, {o}},
            {where + "[Title] like ?", {"*'B*"}, {o}},
            {where + "[Title] like ?", {"*m?th*"}, {s}},
            {where + "[Title] like ?", {"*" + nul + "h*"}, {z}},
            {where + "[Title] like '*" + nul + "h*'", {}, {z}},
            {where + "[Title] = ?", {}, error(err::Syntax)},
            {where + "[Title] = ?", {1, 2}, error(err::Syntax)},
            {where + "[Title] = 'O'Brien'", {}, error(err::Syntax)},
            {where + "[Nickname] = 'x'", {}, error(err::UnknownField)},
            {"select * from [Nowhere];", {}, error(err::UnknownTable)},
            {"delete from [Papers];", {}, error(err::Syntax)},
            // Nesting is bounded, however it comes: the program's depths pass, thousands fail.
            {where + QString(40, '(') + "[Paper ID] = --1" + QString(40, ')'), {}, {n}},
            {where + QString("[Paper ID] = 3 or ").repeated(60) + "[Paper ID] = 1", {}, {n, e}},
            {where + QString(5000, '-') + "1 = [Paper ID]", {}, error(err::Syntax)},
            {where + QString(5000, '(') + "[Paper ID] = 1" + QString(5000, ')'),
             {},
             error(err::Syntax)},
            {where + QString("not ").repeated(5000) + "[Paper ID] = 1", {}, error(err::Syntax)},
            {where + QString("[Paper ID] = 1 and ").repeated(5000) + "[Year] is null",
             {},
             error(err::Syntax)},
        };
        for (const auto& [query, values, expected] : cases) {
            QStringList found;
            const int number = errorNumber([&] {
                Recordset rs = p.db().OpenRecordset(query, values);
                forEachRow(rs, [&] { found << rs.Fields("Title").text(); });
            });
            if (number)
                found = error(number);
            QVERIFY2(found == expected, qPrintable(query + " found " + found.join(" | ")));
        }
        QCOMPARE(countRows(p.db(), "Papers"), 6);
        QString message;
        errorNumber([&] { p.db().OpenRecordset(where + QString(300, '-') + "1 = 1"); }, &message);
        QVERIFY2(message.startsWith("Expression nested too deeply"), qPrintable(message));
    }

    void orderAndDistinctIgnoreCase()
    {
        test::TempProject p;
        for (const char* s : {"Zola", "émile", "Adams", "Emile", "emma", "Em", "Éa"})
            addRow(p.db(), "Authors", {{"Surname", s}});
        // Accents count only between texts that are otherwise the same.
        QCOMPARE(rowsOf(p.db(), "select * from [Authors] order by [Surname];", {"Surname"}),
                 QStringList({"Adams", "Éa", "Em", "Emile", "émile", "emma", "Zola"}));
        for (const char* s : {"Reading", "reading", "Thesis", "READING"})
            addRow(p.db(), "Time Management", {{"Subject", s}, {"Time", "1"}});
        Recordset d = p.db().OpenRecordset("select distinct [subject] from [Time Management];");
        QCOMPARE(d.RecordCount(), 2);
        QCOMPARE(errorNumber([&] { d.AddNew(); }), err::NotUpdatable);
    }

    // Texts come back as they were stored, also through a read-only opening, which refuses
    // changes; the file is plain SQLite: the sqlite3 shell reads them, and keeps the field rules.
    void textsKeptInAPlainFile()
    {
        test::TempProject p;
        const QString memo = QString(10000, QChar(u'ß')).replace(5000, 3, "\r\n\t");
        const QStringList texts{"it's \"quoted\" [x] *?#", "Ünïcødé 深度学习 😀", "ctrl\x01\x1f end",
                                memo};
        for (const QString& t : texts)
            addRow(p.db(), "Paper Statements List", {{"Paper ID", "1"}, {"Statement", t}});
        const QString all = "select * from [Paper Statements List];";
        QCOMPARE(rowsOf(p.db(), all, {"Statement"}), texts);
        p.db().Close();
        QFile::setPermissions(p.file(), QFile::ReadOwner);
        // Root may write any file, so also ask for read-only explicitly.
        auto db = Database::OpenDatabase(p.file(), geteuid() == 0);
        QVERIFY(db->readOnly());
        QCOMPARE(rowsOf(*db, all, {"Statement"}), texts);
        Recordset rs = db->OpenRecordset(all);
        QCOMPARE(errorNumber([&] { rs.Edit(); }), err::ReadOnly);
        QCOMPARE(errorNumber([&] { rs.AddNew(); }), err::ReadOnly);
        db->Close();
        QFile::setPermissions(p.file(), QFile::ReadOwner | QFile::WriteOwner);
        const QString read = test::sqliteShell(
            p.file(), "SELECT Statement FROM \"Paper Statements List\" WHERE rowid = 2;");
        if (read.isEmpty())
            QSKIP("no sqlite3 shell on this machine");
        QCOMPARE(read, texts[1]);
        QVERIFY(test::sqliteShell(p.file(), "INSERT INTO Papers (Title) VALUES ('');")
                    .contains("constraint"));
    }

    void filesRefused_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<int>("error");
        QTest::newRow("empty file") << QByteArray() << err::NotADatabase;
        QTest::newRow("random bytes")
            << test::bytes("\x13\x37 not a database at all, just bytes").repeated(200)
            << err::NotADatabase;
        QTest::newRow("damaged database")
            << test::bytes("SQLite format 3\0") + QByteArray(4000, '\xff') << err::NotADatabase;
    }
    void filesRefused()
    {
        QFETCH(QByteArray, content);
        QFETCH(int, error);
        QTemporaryDir dir;
        const QString path = dir.filePath("bad.mdb");
        QCOMPARE(errorNumber([&] { Database::OpenDatabase(path); }), err::FileNotFound);
        test::writeFile(path, content);
        QCOMPARE(errorNumber([&] { Database::OpenDatabase(path); }), error);
        // Neither opening it nor creating a database of its name touches the file.
        QCOMPARE(errorNumber([&] { Database::CreateDatabase(dir.filePath("bad")); }),
                 err::DatabaseExists);
        QCOMPARE(test::readFile(path), content);
    }
};

QTEST_GUILESS_MAIN(TstEngine)
#include "tst_engine.moc"
