// A writer killed amid adds, deletions or an import leaves a sound file with every row it reported
// and no half paper; a second writer waits, then fails cleanly; the project stays one file.
#include "db/dberror.h"
#include "db/durability.h"
#include "dbtestsupport.h"
#include "harness.h"

#include <sqlite3.h>

#include <set>

using namespace quirelle;
using quirelle::test::Harness;

namespace {

constexpr int SeededPapers = 40;
// Each seeded paper's link rows: the table, the field they need besides the paper, how many.
struct Link
{
    const char* table;
    const char* field;
    int rows;
};
constexpr Link SeededLinks[] = {{"Paper Authors List", "Author ID", 2},
                                {"Paper Keywords List", "Keyword", 2},
                                {"Paper Models List", "Model ID", 1},
                                {"Paper References List", nullptr, 2},
                                {"Paper Statements List", "Statement", 2}};
constexpr int LinksPerPaper = 9;

QStringList rows(sqlite3* db, const QString& sql)
{
    sqlite3_stmt* stmt = nullptr;
    QStringList out;
    sqlite3_prepare_v2(db, sql.toUtf8().constData(), -1, &stmt, nullptr);
    while (sqlite3_step(stmt) == SQLITE_ROW)
        out << QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(stmt, 0)));
    sqlite3_finalize(stmt);
    return out;
}

QString pragma(sqlite3* db, const char* sql)
{
    return rows(db, QString::fromUtf8(sql)).join(QLatin1Char('\n'));
}

// Integrity check and the numbers in one column, read as a program opening the file after the
// crash reads it (a journal left behind is played back first).
struct AfterCrash
{
    QString integrity;
    std::multiset<int> ids;
};

AfterCrash readBack(const QString& file, const QString& sql)
{
    AfterCrash out;
    sqlite3* db = nullptr;
    sqlite3_open_v2(QFile::encodeName(file).constData(), &db, SQLITE_OPEN_READWRITE, nullptr);
    out.integrity = pragma(db, "PRAGMA integrity_check");
    for (const QString& id : rows(db, sql))
        out.ids.insert(id.toInt());
    sqlite3_close(db);
    return out;
}

std::set<int> numbersAfter(const QStringList& lines, const QString& word)
{
    std::set<int> out;
    for (const QString& line : lines) {
        if (line.startsWith(word + QLatin1Char(' ')))
            out.insert(line.section(QLatin1Char(' '), 1).toInt());
    }
    return out;
}

} // namespace

class TstCrashSafety : public QObject
{
    Q_OBJECT

    QTemporaryDir m_seeded; // a project with papers and their link rows, copied by each test

    QString freshProject(QTemporaryDir& dir, bool seeded)
    {
        const QString file = dir.filePath(QStringLiteral("project.mdb"));
        if (seeded)
            QFile::copy(m_seeded.filePath(QStringLiteral("project.mdb")), file);
        else
            db::createProjectFile(dir.filePath(QStringLiteral("project")));
        return file;
    }

private slots:
    void initTestCase()
    {
        // The engine leaves its connections at SQLite's defaults until the program applies the
        // durability settings; the kills below prove those settings only if they are the same.
        sqlite3* db = nullptr;
        sqlite3_open(QFile::encodeName(m_seeded.filePath(QStringLiteral("x.mdb"))), &db);
        QCOMPARE(pragma(db, "PRAGMA journal_mode"), "delete");
        QCOMPARE(pragma(db, "PRAGMA synchronous"), "2");
        sqlite3_close(db);
        db::createProjectFile(m_seeded.filePath(QStringLiteral("project")));
        auto project = db::Database::OpenDatabase(m_seeded.filePath(QStringLiteral("project.mdb")));
        db::Transaction t(*project);
        for (int paper = 1; paper <= SeededPapers; ++paper) {
            test::addRow(*project, QStringLiteral("Papers"), {{"Title", "Seeded"}});
            for (const Link& link : SeededLinks) {
                QVariantMap row{{"Paper ID", QString::number(paper)}};
                if (link.field)
                    row.insert(QString::fromUtf8(link.field), QStringLiteral("1"));
                for (int i = 0; i < link.rows; ++i)
                    test::addRow(*project, QString::fromUtf8(link.table), row);
            }
        }
        t.commit();
    }

    void killedWhileAdding_data()
    {
        QTest::addColumn<int>("perTransaction");
        QTest::addColumn<int>("killAfter");
        QTest::newRow("on starting") << 1 << 0;
        QTest::newRow("after the first row") << 1 << 1;
        QTest::newRow("after 60 rows") << 1 << 60;
        QTest::newRow("after a transaction of ten rows") << 10 << 10;
        QTest::newRow("after 20 transactions") << 10 << 200;
    }

    void killedWhileAdding()
    {
        QFETCH(int, perTransaction);
        QFETCH(int, killAfter);
        QTemporaryDir dir;
        const QString file = freshProject(dir, false);
        Harness h({QStringLiteral("add"), file, QStringLiteral("1000000"),
                   QString::number(perTransaction)});
        QVERIFY2(h.waitForLines(killAfter), qPrintable(h.errors()));
        h.kill();
        const std::set<int> stored = numbersAfter(h.lines(), QStringLiteral("stored"));
        QVERIFY(int(stored.size()) >= killAfter);
        const AfterCrash after = readBack(file, QStringLiteral("SELECT \"Paper ID\" FROM Papers"));
        QCOMPARE(after.integrity, "ok");
        for (int id : stored)
            QVERIFY2(after.ids.count(id) == 1, qPrintable(QString::number(id)));
        // At most the rows of the transaction under way when killed were stored unreported.
        QVERIFY(after.ids.size() <= stored.size() + size_t(perTransaction));
    }

    void killedWhileDeleting_data()
    {
        QTest::addColumn<int>("killAfter");
        for (int n : {0, 1, 7, 25})
            QTest::addRow("after %d papers", n) << n;
    }

    void killedWhileDeleting()
    {
        QFETCH(int, killAfter);
        QTemporaryDir dir;
        const QString file = freshProject(dir, true);
        Harness h(
            {QStringLiteral("delete"), file, QStringLiteral("1"), QString::number(SeededPapers)});
        QVERIFY2(h.waitForLines(killAfter), qPrintable(h.errors()));
        h.kill();
        const std::set<int> deleted = numbersAfter(h.lines(), QStringLiteral("deleted"));
        const AfterCrash papers = readBack(file, QStringLiteral("SELECT \"Paper ID\" FROM Papers"));
        QCOMPARE(papers.integrity, "ok");
        QStringList selects;
        for (const Link& link : SeededLinks)
            selects << QStringLiteral("SELECT \"Paper ID\" FROM \"%1\"").arg(link.table);
        const std::multiset<int> links =
            readBack(file, selects.join(QStringLiteral(" UNION ALL "))).ids;
        for (int id = 1; id <= SeededPapers; ++id) {
            const bool kept = papers.ids.count(id) == 1;
            QVERIFY2(!(kept && deleted.count(id)), "a deletion reported done was undone");
            QCOMPARE(int(links.count(id)), kept ? LinksPerPaper : 0);
        }
    }

    // An import is one transaction: killed while it stores its rows, the file holds none of them.
    void killedWhileImporting_data()
    {
        QTest::addColumn<int>("killAfter");
        for (int n : {1, 3, 8})
            QTest::addRow("after %d progress reports", n) << n;
    }

    void killedWhileImporting()
    {
        QFETCH(int, killAfter);
        QTemporaryDir dir;
        const QString file = freshProject(dir, false);
        const QString bib = dir.filePath(QStringLiteral("many.bib"));
        QString text;
        for (int i = 0; i < 4000; ++i)
            text += QStringLiteral("@article{k%1, title = {Imported %1}, author = {Author%2, A.}, "
                                   "year = 2001, abstract = {%3}}\n")
                        .arg(i)
                        .arg(i % 300)
                        .arg(QString(300, QLatin1Char('x')));
        test::writeFile(bib, text.toUtf8());
        const int before =
            int(readBack(file, QStringLiteral("SELECT \"Paper ID\" FROM Papers")).ids.size());
        Harness h({QStringLiteral("import"), file, bib});
        QVERIFY2(h.waitForLines(killAfter), qPrintable(h.errors()));
        h.kill();
        const AfterCrash after = readBack(file, QStringLiteral("SELECT \"Paper ID\" FROM Papers"));
        QCOMPARE(after.integrity, "ok");
        const bool finished = !numbersAfter(h.lines(), QStringLiteral("imported")).empty();
        QCOMPARE(int(after.ids.size()), before + (finished ? 4000 : 0));
    }

    // A second program's write while this one holds a write transaction: it waits out the busy
    // time, fails, and leaves the file and the first writer's row as they were; once the first
    // writer has committed (or was killed), it writes.
    void secondWriterWhileAWriteIsOpen_data()
    {
        QTest::addColumn<bool>("firstCommits");
        QTest::newRow("first writer commits") << true;
        QTest::newRow("first writer killed") << false;
    }

    void secondWriterWhileAWriteIsOpen()
    {
        QFETCH(bool, firstCommits);
        QTemporaryDir dir;
        const QString file = freshProject(dir, false);
        Harness h({QStringLiteral("hold-write"), file});
        QVERIFY2(h.waitForLines(1), qPrintable(h.errors()));
        QCOMPARE(h.lines().value(0), "holding 1");
        auto project = db::Database::OpenDatabase(file);
        QElapsedTimer waited;
        waited.start();
        QVERIFY_THROWS_EXCEPTION(
            db::DbError, test::addRow(*project, QStringLiteral("Papers"), {{"Title", "Second"}}));
        QVERIFY(waited.elapsed() >= 1000); // it waited for the first writer before failing
        if (firstCommits) {
            h.send("commit");
            QVERIFY(h.waitForLines(2));
        } else {
            h.kill();
        }
        test::addRow(*project, QStringLiteral("Papers"), {{"Title", "Second"}});
        project->Close();
        // 1 for the first writer's row, 0 for the second's.
        const AfterCrash after =
            readBack(file, QStringLiteral("SELECT Title = 'Burst paper 0' FROM Papers"));
        QCOMPARE(after.integrity, "ok");
        QVERIFY(after.ids == (firstCommits ? std::multiset{0, 1} : std::multiset{0}));
        QVERIFY(!QFile::exists(file + QStringLiteral("-journal")));
    }

    // A project a tool left in write-ahead-log mode goes back to one file, which then opens
    // read-only with nothing beside it.
    void durabilitySettingsKeepOneFile()
    {
        QTemporaryDir dir;
        const QString file = freshProject(dir, false);
        const QByteArray name = QFile::encodeName(file);
        sqlite3* db = nullptr;
        sqlite3_open(name.constData(), &db);
        QCOMPARE(pragma(db, "PRAGMA journal_mode = WAL"), "wal");
        sqlite3_exec(db, "INSERT INTO Papers (Title) VALUES ('Logged')", nullptr, nullptr, nullptr);
        sqlite3_close(db);
        sqlite3_open(name.constData(), &db);
        db::applyDurabilitySettings(db);
        QCOMPARE(pragma(db, "PRAGMA journal_mode"), "delete");
        QCOMPARE(pragma(db, "PRAGMA synchronous"), "2");
        sqlite3_exec(db, "INSERT INTO Papers (Title) VALUES ('Journalled')", nullptr, nullptr,
                     nullptr);
        sqlite3_close(db);
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{"project.mdb"});
        QFile::setPermissions(file, QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther);
        auto project = db::Database::OpenDatabase(file, true);
        QCOMPARE(test::countRows(*project, QStringLiteral("Papers")), 2);
        project->Close();
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{"project.mdb"});
    }
};

QTEST_GUILESS_MAIN(TstCrashSafety)
#include "tst_crashsafety.moc"
