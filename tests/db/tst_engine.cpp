// The database engine: counts and moves, Null and "", field rules, auto numbers, the query
// dialect, bound values, transactions, read-only and bad files.
#include "db/dberror.h"
#include "dbtestsupport.h"

using namespace quirelle;
using namespace quirelle::db;
using quirelle::test::addRow;
using quirelle::test::countRows;

namespace {

int errorNumber(const std::function<void()>& f)
{
    try {
        f();
    } catch (const DbError& e) {
        return e.number();
    }
    return 0;
}

QStringList column(Recordset rs, const QString& field)
{
    QStringList out;
    for (int i = 0; i < rs.RecordCount(); ++i) {
        rs.setAbsolutePosition(i);
        out << rs.Fields(field).text();
    }
    return out;
}

} // namespace

class TstEngine : public QObject
{
    Q_OBJECT

private slots:
    void countsMovesAndNull()
    {
        test::TempProject p;
        Recordset empty = p.db().OpenRecordset(QStringLiteral("select * from [Papers];"));
        QCOMPARE(empty.RecordCount(), 0);
        QCOMPARE(empty.AbsolutePosition(), -1);
        QCOMPARE(errorNumber([&] { empty.MoveFirst(); }), err::NoCurrentRecord);
        QCOMPARE(errorNumber([&] { empty.Fields(QStringLiteral("Title")).Value(); }),
                 err::NoCurrentRecord);
        addRow(p.db(), QStringLiteral("Papers"), {{"Title", "One"}, {"Year", ""}});
        for (const char* t : {"Two", "Three"})
            addRow(p.db(), QStringLiteral("Papers"), {{"Title", QString::fromUtf8(t)}});
        Recordset rs = p.db().OpenRecordset(QStringLiteral("select * from [Papers];"));
        QCOMPARE(rs.RecordCount(), 3);
        QCOMPARE(rs.AbsolutePosition(), 0);
        // Null and "" are told apart; a Null reads as empty text.
        QVERIFY(rs.Fields(QStringLiteral("Summary")).isNull());
        QVERIFY(!rs.Fields(QStringLiteral("Year")).isNull());
        QCOMPARE(rs.Fields(QStringLiteral("Year")).Value().toString(), QString(""));
        QCOMPARE(rs.Fields(QStringLiteral("Summary")).text(), QString());
        rs.MoveLast();
        QCOMPARE(rs.AbsolutePosition(), 2);
        QCOMPARE(rs.Fields(QStringLiteral("title")).text(), "Three");
        rs.MoveFirst();
        rs.MoveNext();
        QCOMPARE(rs.Fields(QStringLiteral("TITLE")).text(), "Two");
        rs.setAbsolutePosition(0);
        QCOMPARE(rs.Fields(QStringLiteral("Title")).text(), "One");
        rs.MoveLast();
        rs.MoveNext(); // past the end: no current row
        QCOMPARE(rs.AbsolutePosition(), -1);
        QCOMPARE(errorNumber([&] { rs.Fields(QStringLiteral("Title")).Value(); }),
                 err::NoCurrentRecord);
        QCOMPARE(errorNumber([&] { rs.Fields(QStringLiteral("Nope")); }), err::NotInCollection);
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
        row("title too long", "Papers", "Title", QString(101, 'x'), err::FieldTooSmall);
        row("title at its size", "Papers", "Title", QString(100, 'x'), 0);
        row("empty title", "Papers", "Title", QString(""), err::ZeroLength);
        row("rating of three", "Papers", "Rating", "ABC", err::FieldTooSmall);
        row("empty keyword", "Keywords", "Keyword", QString(""), err::ZeroLength);
        row("empty model", "Models", "Model", QString(""), err::ZeroLength);
        row("year of five", "Models", "Year", "12345", err::FieldTooSmall);
        row("date of nine", "Meeting", "Date", "12/05/2026", err::FieldTooSmall);
        row("empty surname allowed", "Authors", "Surname", QString(""), 0);
        row("accented text counts characters", "Papers", "Rating", "éé", 0);
        row("number text in a Long", "Paper References List", "Reference ID", "12", 0);
        row("words in a Long", "Paper References List", "Reference ID", "twelve",
            err::TypeMismatch);
    }
    void fieldRules()
    {
        QFETCH(QString, table);
        QFETCH(QString, field);
        QFETCH(QVariant, value);
        QFETCH(int, error);
        test::TempProject p;
        Recordset rs = p.db().OpenRecordset(QStringLiteral("select * from [%1];").arg(table));
        rs.AddNew();
        rs.Fields(field) = value;
        if (table == QLatin1String("Papers") && field != QLatin1String("Title"))
            rs.Fields(QStringLiteral("Title")) = QStringLiteral("t");
        if (table == QLatin1String("Models") && field != QLatin1String("Model"))
            rs.Fields(QStringLiteral("Model")) = QStringLiteral("m");
        if (table == QLatin1String("Paper References List"))
            rs.Fields(QStringLiteral("Paper ID")) = QStringLiteral("1");
        QCOMPARE(errorNumber([&] { rs.Update(); }), error);
        // A refused row leaves nothing behind, in the table or in the record set.
        QCOMPARE(countRows(p.db(), table), error ? 0 : 1);
        QCOMPARE(rs.RecordCount(), error ? 0 : 1);
        if (error)
            QCOMPARE(errorNumber([&] { rs.Update(); }), err::UpdateWithoutEdit);
    }

    void autoNumbers()
    {
        test::TempProject p;
        const QString papers = QStringLiteral("Papers");
        QCOMPARE(addRow(p.db(), papers, {{"Title", "a"}}), 1);
        QCOMPARE(addRow(p.db(), papers, {{"Title", "b"}}), 2);
        QCOMPARE(addRow(p.db(), QStringLiteral("Authors"), {{"Surname", "x"}}), 1);
        QCOMPARE(addRow(p.db(), QStringLiteral("Authors"), {{"Surname", "y"}}), 2);
        // A deleted number is never handed out again, so old links cannot point at a new row.
        for (const QString& table : {papers, QStringLiteral("Authors")}) {
            Recordset rs = p.db().OpenRecordset(QStringLiteral("select * from [%1];").arg(table));
            rs.MoveLast();
            rs.Delete();
        }
        QCOMPARE(addRow(p.db(), papers, {{"Title", "c"}}), 3);
        QCOMPARE(addRow(p.db(), QStringLiteral("Authors"), {{"Surname", "z"}}), 3);
        // The link tables put explicit, repeating values into their auto-increment fields.
        const QString links = QStringLiteral("Paper Keywords List");
        for (int paper : {1, 2, 3})
            addRow(p.db(), links,
                   {{"Keywords ID", paper == 3 ? QVariant("7") : QVariant(7)},
                    {"Paper ID", QString::number(paper)},
                    {"Keyword", "k"}});
        Recordset rs = p.db().OpenRecordset(
            QStringLiteral("select * from [%1] where [Keywords ID] = 7;").arg(links));
        QCOMPARE(rs.RecordCount(), 3);
        QCOMPARE(addRow(p.db(), links, {{"Paper ID", "4"}, {"Keyword", "k"}}), 8);
        // Ids beyond 16 bits.
        addRow(p.db(), QStringLiteral("Paper References List"),
               {{"Reference ID", 70000}, {"Paper ID", "40000"}});
        Recordset big = p.db().OpenRecordset(
            QStringLiteral("select * from [Paper References List] where [Reference ID] = 70000;"));
        QCOMPARE(big.RecordCount(), 1);
        QCOMPARE(big.Fields(QStringLiteral("Reference ID")).toLong(), 70000);
        QCOMPARE(big.Fields(QStringLiteral("Paper ID")).text(), "40000");
    }

    void addEditDelete()
    {
        test::TempProject p;
        for (const char* s : {"b", "a", "c"})
            addRow(p.db(), QStringLiteral("Authors"), {{"Surname", QString::fromUtf8(s)}});
        const QString sorted = QStringLiteral("select * from [Authors] order by [Surname];");
        Recordset rs = p.db().OpenRecordset(sorted);
        QCOMPARE(column(p.db().OpenRecordset(sorted), "Surname"), QStringList({"a", "b", "c"}));
        // AddNew keeps the current row and appends the new one to the set.
        rs.setAbsolutePosition(1);
        rs.AddNew();
        rs.Fields(QStringLiteral("Surname")) = QStringLiteral("aa");
        rs.Update();
        QCOMPARE(rs.RecordCount(), 4);
        QCOMPARE(rs.AbsolutePosition(), 1);
        rs.setBookmark(rs.LastModified());
        QCOMPARE(rs.AbsolutePosition(), 3);
        QCOMPARE(rs.Fields(QStringLiteral("Author ID")).toLong(), 4);
        // Edit changes the row in the table; a refused edit keeps the stored value.
        rs.setAbsolutePosition(0);
        rs.Edit();
        rs.Fields(QStringLiteral("Forenames")) = QStringLiteral("Ann");
        rs.Update();
        QCOMPARE(
            p.db()
                .OpenRecordset(QStringLiteral("select * from authors where forenames = 'ann';"))
                .RecordCount(),
            1);
        rs.Edit();
        rs.Fields(QStringLiteral("Forenames")) = QString(31, 'x');
        QCOMPARE(errorNumber([&] { rs.Update(); }), err::FieldTooSmall);
        QCOMPARE(rs.Fields(QStringLiteral("Forenames")).text(), "Ann");
        // Delete, then walk on: the next row follows.
        rs.setAbsolutePosition(0);
        rs.Delete();
        QCOMPARE(rs.AbsolutePosition(), -1);
        QCOMPARE(errorNumber([&] { rs.Fields(QStringLiteral("Surname")).Value(); }),
                 err::RecordDeleted);
        rs.MoveNext();
        QCOMPARE(rs.Fields(QStringLiteral("Surname")).text(), "b");
        QCOMPARE(rs.RecordCount(), 3);
        QCOMPARE(countRows(p.db(), QStringLiteral("Authors")), 3);
    }

    void walkingSeesOtherChanges()
    {
        test::TempProject p;
        {
            Transaction t(p.db());
            for (int i = 1; i <= 200; ++i)
                addRow(p.db(), QStringLiteral("Papers"), {{"Title", QString::number(i)}});
            t.commit();
        }
        Recordset rs = p.db().OpenRecordset(QStringLiteral("select * from [Papers];"));
        QStringList titles;
        for (int i = 0; i < rs.RecordCount(); ++i) {
            titles << rs.Fields(QStringLiteral("Title")).text();
            rs.MoveNext();
        }
        QCOMPARE(titles.size(), 200);
        QCOMPARE(titles.last(), "200");
        // A change made through another record set shows once this one reads the row again.
        Recordset other =
            p.db().OpenRecordset(QStringLiteral("select * from [Papers] where [Paper ID] = 130;"));
        other.Edit();
        other.Fields(QStringLiteral("Title")) = QStringLiteral("changed");
        other.Update();
        other.Delete();
        rs.setAbsolutePosition(128);
        QCOMPARE(rs.Fields(QStringLiteral("Title")).text(), "129");
        rs.setAbsolutePosition(129);
        QCOMPARE(errorNumber([&] { rs.Fields(QStringLiteral("Title")).Value(); }),
                 err::RecordDeleted);
    }

    void dialect_data()
    {
        QTest::addColumn<QString>("query");
        QTest::addColumn<QStringList>("titles");
        const QString neural = QStringLiteral("Neural Nets"), uber = QStringLiteral("Über alles"),
                      emile = QStringLiteral("émile and Emile");
        QTest::newRow("brackets and case in names")
            << "select * from [papers] where [paper id] = 2;" << QStringList{uber};
        QTest::newRow("bare names")
            << "SELECT * FROM Papers WHERE Title = 'neural nets';" << QStringList{neural};
        QTest::newRow("equal ignores case, all letters")
            << "select * from [Papers] where [Title] = 'ÜBER ALLES';" << QStringList{uber};
        QTest::newRow("like contains")
            << "Select * from Papers where Title like '*über*';" << QStringList{uber};
        QTest::newRow("like one letter")
            << "select * from papers where title like '*e*';" << QStringList{neural, uber, emile};
        QTest::newRow("like digit")
            << "select * from papers where [Year] like '19##';" << QStringList{neural};
        QTest::newRow("or") << "select * from papers where [Paper ID] = 1 or [Paper ID] = 3;"
                            << QStringList{neural, emile};
        QTest::newRow("and, not, brackets")
            << "select * from papers where not ([Paper ID] = 1) and (title like 'é*');"
            << QStringList{emile};
        QTest::newRow("is null") << "select * from papers where [Year] is null;"
                                 << QStringList{uber, emile};
        QTest::newRow("order by desc")
            << "select * from papers order by [Title] desc;" << QStringList{uber, neural, emile};
        QTest::newRow("negative number")
            << "select * from papers where [Paper ID] = -100;" << QStringList{};
        QTest::newRow("double-quoted text")
            << "select * from papers where title = \"neural nets\";" << QStringList{neural};
        QTest::newRow("qualified field")
            << "select * from papers where papers.[Paper ID] = 1" << QStringList{neural};
    }
    void dialect()
    {
        QFETCH(QString, query);
        QFETCH(QStringList, titles);
        test::TempProject p;
        addRow(p.db(), QStringLiteral("Papers"), {{"Title", "Neural Nets"}, {"Year", "1998"}});
        addRow(p.db(), QStringLiteral("Papers"), {{"Title", QString::fromUtf8("Über alles")}});
        addRow(p.db(), QStringLiteral("Papers"), {{"Title", QString::fromUtf8("émile and Emile")}});
        QCOMPARE(column(p.db().OpenRecordset(query), QStringLiteral("Title")), titles);
    }

    void orderAndDistinctIgnoreCase()
    {
        test::TempProject p;
        for (const char* s : {"Zola", "émile", "Adams", "Emile", "emma", "Éa"})
            addRow(p.db(), QStringLiteral("Authors"), {{"Surname", QString::fromUtf8(s)}});
        const QStringList sorted = column(
            p.db().OpenRecordset(QStringLiteral("select * from [Authors] order by [Surname];")),
            QStringLiteral("Surname"));
        QCOMPARE(sorted, QStringList({"Adams", "Éa", "Emile", "émile", "emma", "Zola"}));
        for (const char* s : {"Reading", "reading", "Thesis", "READING"})
            addRow(p.db(), QStringLiteral("Time Management"),
                   {{"Subject", QString::fromUtf8(s)}, {"Time", "1"}});
        Recordset d = p.db().OpenRecordset(
            QStringLiteral("select distinct [subject] from [Time Management];"));
        QCOMPARE(d.RecordCount(), 2);
        QCOMPARE(errorNumber([&] { d.AddNew(); }), err::NotUpdatable);
        Recordset r = p.db().OpenRecordset(
            QStringLiteral("select * from [Time Management] where [subject] = 'reading'"));
        QCOMPARE(r.RecordCount(), 3);
    }

    // Bound values, and literals of the query text, which reach SQLite bound as well: what a
    // value holds never changes the query.
    void valuesKeepQueriesWhole()
    {
        test::TempProject p;
        addRow(p.db(), QStringLiteral("Authors"), {{"Surname", "O'Brien"}});
        addRow(p.db(), QStringLiteral("Authors"), {{"Surname", "Smith"}});
        addRow(p.db(), QStringLiteral("Authors"), {{"Surname", QString::fromUtf8("nul\0here", 8)}});
        const QString nul = QString::fromUtf8("\0", 1);
        const QString where = QStringLiteral("select * from [Authors] where ");
        // Each query, its bound values, and the rows found (below 0: the error).
        const std::tuple<QString, QVariantList, int> cases[] = {
            {where + "[Surname] = ?", {"o'brien"}, 1},
            {where + "[Surname] = 'o''brien'", {}, 1},
            {where + "[Surname] like ?", {"*'B*"}, 1},
            {where + "[Surname] like ?", {"*m?th*"}, 1},
            {where + "[Surname] = ?", {"x' or '1'='1"}, 0},
            {where + "[Surname] like ?", {"*x' or surname like '*"}, 0},
            {where + "[Surname] like ?", {"*" + nul + "h*"}, 1},
            {where + "[Surname] like '*" + nul + "h*'", {}, 1},
            {where + "[Surname] = ?", {}, -err::Syntax},
            {where + "[Surname] = ?", {1, 2}, -err::Syntax},
            {where + "[Surname] = 'O'Brien'", {}, -err::Syntax},
            {where + "[Nickname] = 'x'", {}, -err::UnknownField},
            {"select * from [Nowhere];", {}, -err::UnknownTable},
            {"delete from [Authors];", {}, -err::Syntax},
        };
        for (const auto& [query, values, found] : cases) {
            int count = 0;
            const int error =
                errorNumber([&] { count = p.db().OpenRecordset(query, values).RecordCount(); });
            QVERIFY2((error ? -error : count) == found, qPrintable(query));
        }
        QCOMPARE(countRows(p.db(), QStringLiteral("Authors")), 3);
    }

    void textRoundTrips()
    {
        test::TempProject p;
        const QString memo = QString(10000, QChar(u'ß')).replace(5000, 3, QStringLiteral("\r\n\t"));
        const QStringList texts{QStringLiteral("it's \"quoted\" [x] *?#"),
                                QString::fromUtf8("Ünïcødé 深度学习 😀"),
                                QStringLiteral("ctrl\x01\x1f end"), memo};
        for (const QString& t : texts)
            addRow(p.db(), QStringLiteral("Paper Statements List"),
                   {{"Paper ID", "1"}, {"Statement", t}});
        QCOMPARE(
            column(p.db().OpenRecordset(QStringLiteral("select * from [Paper Statements List];")),
                   QStringLiteral("Statement")),
            texts);
    }

    void transactions()
    {
        test::TempProject p;
        {
            Transaction t(p.db());
            addRow(p.db(), QStringLiteral("Papers"), {{"Title", "gone"}});
        }
        QCOMPARE(countRows(p.db(), QStringLiteral("Papers")), 0);
        {
            Transaction t(p.db());
            addRow(p.db(), QStringLiteral("Papers"), {{"Title", "kept"}});
            // A refusal inside the transaction undoes only its own row.
            QCOMPARE(errorNumber([&] {
                         addRow(p.db(), QStringLiteral("Papers"), {{"Title", ""}});
                     }),
                     err::ZeroLength);
            t.commit();
        }
        QCOMPARE(countRows(p.db(), QStringLiteral("Papers")), 1);
    }

    void badFiles_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::newRow("empty file") << QByteArray();
        QTest::newRow("random bytes")
            << test::bytes("\x13\x37 not a database at all, just bytes").repeated(200);
        QTest::newRow("damaged database")
            << test::bytes("SQLite format 3\0") + QByteArray(4000, '\xff');
    }
    void badFiles()
    {
        QFETCH(QByteArray, content);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("bad.mdb"));
        test::writeFile(path, content);
        QCOMPARE(errorNumber([&] { Database::OpenDatabase(path); }), err::NotADatabase);
        QCOMPARE(test::readFile(path), content); // left untouched
    }

    void missingExistingAndBareFiles()
    {
        QTemporaryDir dir;
        QCOMPARE(errorNumber(
                     [&] { Database::OpenDatabase(dir.filePath(QStringLiteral("missing.mdb"))); }),
                 err::FileNotFound);
        const QString base = dir.filePath(QStringLiteral("bare"));
        Database::CreateDatabase(base)->Close();
        QCOMPARE(errorNumber([&] { Database::CreateDatabase(base); }), err::DatabaseExists);
        // A database without the project's tables.
        auto db = Database::OpenDatabase(base + QStringLiteral(".mdb"));
        QCOMPARE(errorNumber([&] { db->OpenRecordset(QStringLiteral("select * from [Papers];")); }),
                 err::UnknownTable);
        QCOMPARE(errorNumber([&] { db->TableDefs(QStringLiteral("Papers")); }),
                 err::NotInCollection);
    }

    void readOnlyFile()
    {
        test::TempProject p;
        addRow(p.db(), QStringLiteral("Papers"), {{"Title", "kept"}});
        p.db().Close();
        QFile::setPermissions(p.file(), QFile::ReadOwner);
        // Root may write any file, so also ask for read-only explicitly.
        auto db = Database::OpenDatabase(p.file(), geteuid() == 0);
        QVERIFY(db->readOnly());
        Recordset rs = db->OpenRecordset(QStringLiteral("select * from [Papers];"));
        QCOMPARE(rs.Fields(QStringLiteral("Title")).text(), "kept");
        QCOMPARE(errorNumber([&] { rs.Edit(); }), err::ReadOnly);
        QCOMPARE(errorNumber([&] { rs.AddNew(); }), err::ReadOnly);
        QFile::setPermissions(p.file(), QFile::ReadOwner | QFile::WriteOwner);
    }

    void plainSqliteFile()
    {
        test::TempProject p;
        addRow(p.db(), QStringLiteral("Papers"), {{"Title", "Ünïcødé title"}});
        const QString check =
            test::sqliteShell(p.file(), QStringLiteral("PRAGMA integrity_check;"));
        if (check.isEmpty())
            QSKIP("no sqlite3 shell on this machine");
        QCOMPARE(check, "ok");
        QCOMPARE(test::sqliteShell(p.file(), QStringLiteral("SELECT Title FROM Papers;")),
                 QString::fromUtf8("Ünïcødé title"));
        // The shell keeps the field rules too.
        QVERIFY(
            test::sqliteShell(p.file(), QStringLiteral("INSERT INTO Papers (Title) VALUES ('');"))
                .contains(QStringLiteral("constraint")));
    }
};

QTEST_GUILESS_MAIN(TstEngine)
#include "tst_engine.moc"
