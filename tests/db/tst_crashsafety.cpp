// A writer killed amid adds, deletions or an import leaves a sound file with every row it reported
// and no half paper; a second writer waits, then fails cleanly; the project stays one file.
#include "db/dberror.h"
#include "db/durability.h"
#include "db/schema.h"
#include "dbtestsupport.h"
#include "harness.h"

#include <sqlite3.h>

#include <QRegularExpression>
#include <QTest>

#include <map>
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
constexpr int ImportedPapers = 4000;

// The first value `sql` gives on the connection.
QString pragma(sqlite3* db, const char* sql)
{
    sqlite3_stmt* stmt = nullptr;
    sqlite3_prepare_v2(db, sql, -1, &stmt, nullptr);
    const QString value =
        sqlite3_step(stmt) == SQLITE_ROW
            ? QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(stmt, 0)))
            : QString();
    sqlite3_finalize(stmt);
    return value;
}

constexpr char PaperIds[] = "SELECT \"Paper ID\" FROM Papers";

// The file is read as the next program to open it reads it: by the sqlite3 shell, which plays
// a journal left behind back first.
constexpr char Integrity[] = "PRAGMA integrity_check;";
// The numbers `sql` selects.
std::multiset<int> numbers(const QString& file, const QString& sql)
{
    std::multiset<int> out;
    for (const QString& n : test::sqliteShell(file, sql).split('\n', Qt::SkipEmptyParts))
        out.insert(n.toInt());
    return out;
}

// The numbers the helper program printed after `word`.
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

    test::TempFolder m_seeded; // a project with papers and their link rows

    // A project file in `dir`: a new one, or a copy of the seeded one.
    QString freshProject(const test::TempFolder& dir, bool seeded)
    {
        if (seeded)
            QFile::copy(m_seeded.file(), dir.file());
        else
            db::createProjectFile(dir.pathWithoutExtension());
        return dir.file();
    }

private slots:
    void initTestCase()
    {
        if (test::sqliteShell(":memory:", "SELECT 1;").isEmpty())
            QSKIP("no sqlite3 shell on this machine to read the files after a kill");
        db::createProjectFile(m_seeded.pathWithoutExtension());
        auto project = db::Database::OpenDatabase(m_seeded.file());
        db::Transaction t(*project);
        for (int paper = 1; paper <= SeededPapers; ++paper) {
            test::addRow(*project, "Papers", {{"Title", "Seeded"}});
            for (const Link& link : SeededLinks) {
                QVariantMap row{{"Paper ID", QString::number(paper)}};
                if (link.field)
                    row.insert(QString::fromUtf8(link.field), "1");
                for (int i = 0; i < link.rows; ++i)
                    test::addRow(*project, QString::fromUtf8(link.table), row);
            }
        }
        t.commit();
    }

    // Adds, one or ten to a transaction, and an import, which is one transaction: the file
    // holds every row reported stored, and whole transactions only.
    void killedWhileWriting_data()
    {
        QTest::addColumn<int>("perTransaction"); // ImportedPapers: an import
        QTest::addColumn<int>("killAfter");
        QTest::newRow("on starting") << 1 << 0;
        QTest::newRow("after 60 rows") << 1 << 60;
        QTest::newRow("after 20 transactions of ten") << 10 << 200;
        for (int n : {1, 3, 8})
            QTest::addRow("import, after %d progress reports", n) << ImportedPapers << n;
    }

    void killedWhileWriting()
    {
        QFETCH(int, perTransaction);
        QFETCH(int, killAfter);
        test::TempFolder dir;
        const QString file = freshProject(dir, false);
        const bool import = perTransaction == ImportedPapers;
        const QString bib = dir.folder() + "/many.bib";
        if (import) {
            QString text;
            for (int i = 0; i < ImportedPapers; ++i)
                text += QStringLiteral("@article{k%1, title = {Imported %1}, author = {Author%2, "
                                       "A.}, year = 2001, abstract = {%3}}\n")
                            .arg(QString::number(i), QString::number(i % 300), QString(300, u'x'));
            test::writeFile(bib, text.toUtf8());
        }
        Harness h(import ? QStringList{"import", file, bib}
                         : QStringList{"add", file, "1000000", QString::number(perTransaction)});
        QVERIFY2(h.waitForLines(killAfter), qPrintable(h.errors()));
        h.kill();
        const std::set<int> stored = numbersAfter(h.lines(), "stored");
        QVERIFY(import || int(stored.size()) >= killAfter);
        QCOMPARE(test::sqliteShell(file, Integrity), "ok");
        const std::multiset<int> ids = numbers(file, PaperIds);
        for (int id : stored)
            QVERIFY2(ids.count(id) == 1, qPrintable(QString::number(id)));
        const size_t reported = !import                                       ? stored.size()
                                : numbersAfter(h.lines(), "imported").empty() ? 0
                                                                              : ImportedPapers;
        // Beyond those reported, at most the transaction under way when killed, and all of it.
        QVERIFY(ids.size() >= reported && ids.size() <= reported + perTransaction);
        QCOMPARE(ids.size() % perTransaction, size_t(0));
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
        test::TempFolder dir;
        const QString file = freshProject(dir, true);
        Harness h({"delete", file, "1", QString::number(SeededPapers)});
        QVERIFY2(h.waitForLines(killAfter), qPrintable(h.errors()));
        h.kill();
        const std::set<int> deleted = numbersAfter(h.lines(), "deleted");
        QCOMPARE(test::sqliteShell(file, Integrity), "ok");
        const std::multiset<int> papers = numbers(file, PaperIds);
        QStringList selects;
        for (const Link& link : SeededLinks)
            selects << QStringLiteral("SELECT \"Paper ID\" FROM \"%1\"").arg(link.table);
        const std::multiset<int> links = numbers(file, selects.join(" UNION ALL "));
        for (int id = 1; id <= SeededPapers; ++id) {
            const bool kept = papers.count(id) == 1;
            QVERIFY2(!(kept && deleted.count(id)), "a deletion reported done was undone");
            QCOMPARE(int(links.count(id)), kept ? LinksPerPaper : 0);
        }
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
        test::TempFolder dir;
        const QString file = freshProject(dir, false);
        Harness h({"hold-write", file});
        QVERIFY2(h.waitForLines(1), qPrintable(h.errors()));
        QCOMPARE(h.lines().value(0), "holding 1");
        auto project = db::Database::OpenDatabase(file);
        QElapsedTimer waited;
        waited.start();
        QVERIFY_THROWS_EXCEPTION(db::DbError,
                                 test::addRow(*project, "Papers", {{"Title", "Second"}}));
        QVERIFY(waited.elapsed() >= 1000); // it waited for the first writer before failing
        if (firstCommits) {
            h.send("commit");
            QVERIFY(h.waitForLines(2));
        } else {
            h.kill();
        }
        test::addRow(*project, "Papers", {{"Title", "Second"}});
        project->Close();
        QCOMPARE(test::sqliteShell(file, Integrity), "ok");
        // 1 for the first writer's row, 0 for the second's.
        QVERIFY(numbers(file, "SELECT Title = 'Burst paper 0' FROM Papers") ==
                (firstCommits ? std::multiset{0, 1} : std::multiset{0}));
        QVERIFY(!QFile::exists(file + "-journal"));
    }

    // Eight members of a group adding papers at once, each with an author and their link, one
    // transaction each: every row is there once, every link whole, and nobody saw an error.
    // A project file has one writer, the copy that holds its lock: this is a shared project's.
    // Eight members add papers at once, and the server restarts meanwhile: every member is told
    // the connection was lost, connects again and goes on; every paper is stored once, with its
    // author's link whole.
    void membersAddingAtOnce()
    {
        if (test::serverAddress().isEmpty())
            QSKIP("no test server: QUIRELLE_TEST_PG names none (scripts/test starts one)");
        test::ServerTestDatabase server;
        db::createServerProject(server.address());
        constexpr int Members = 8;
        constexpr int Each = 500;
        std::vector<std::unique_ptr<Harness>> members;
        for (int m = 0; m < Members; ++m)
            members.push_back(std::make_unique<Harness>(QStringList{
                "member", server.address(), QString::number(Each), QStringLiteral("m%1").arg(m)}));
        for (auto& member : members)
            QVERIFY2(member->waitForLines(Each / 5), qPrintable(member->errors()));
        // A restart as the members see it: their sessions end, and for a moment nobody gets in.
        const QString name = server.name();
        test::ServerTestDatabase::execAsAdmin(
            QStringLiteral("ALTER DATABASE \"%1\" ALLOW_CONNECTIONS false").arg(name));
        test::ServerTestDatabase::execAsAdmin(
            QStringLiteral("SELECT pg_terminate_backend(pid) FROM pg_stat_activity "
                           "WHERE datname = '%1'")
                .arg(name));
        QTest::qWait(1000);
        test::ServerTestDatabase::execAsAdmin(
            QStringLiteral("ALTER DATABASE \"%1\" ALLOW_CONNECTIONS true").arg(name));

        std::set<QString> papers;
        for (auto& member : members) {
            while (member->lines().value(member->lines().size() - 1) != "done")
                QVERIFY2(member->waitForLines(member->lines().size() + 1),
                         qPrintable(member->ending()));
            QVERIFY(member->finish());
            QVERIFY2(member->errors().isEmpty(), qPrintable(member->errors()));
            QVERIFY2(!member->lines().filter(QRegularExpression("^lost ")).isEmpty(),
                     "a member was not told of the restart");
            for (const QString& line : member->lines().filter(QRegularExpression("^added "))) {
                const QStringList ids = line.split(' ');
                QVERIFY(papers.insert(ids.value(1)).second); // no number given twice
            }
        }
        auto project = db::Database::OpenDatabase(server.address());
        QCOMPARE(test::countRows(*project, "Papers"), Members * Each);
        QCOMPARE(test::countRows(*project, "Authors"), Members * Each);
        // Each paper linked once, to the author added with it.
        std::map<QString, QString> titles;
        for (const QString& row :
             test::rowsOf(*project, "select * from [Papers];", {"Paper ID", "Title"}))
            titles[row.section('/', 0, 0)] = row.section('/', 1).replace(" paper ", " ");
        std::map<QString, QString> surnames;
        for (const QString& row :
             test::rowsOf(*project, "select * from [Authors];", {"Author ID", "Surname"}))
            surnames[row.section('/', 0, 0)] = row.section('/', 1).replace(" author ", " ");
        std::set<QString> distinct;
        for (const auto& [id, title] : titles)
            distinct.insert(title);
        QCOMPARE(distinct.size(), size_t(Members * Each)); // no paper stored twice
        std::set<QString> linked;
        for (const QString& row : test::rowsOf(*project, "select * from [Paper Authors List];",
                                               {"Paper ID", "Author ID"})) {
            const QString paper = row.section('/', 0, 0);
            QVERIFY2(linked.insert(paper).second, qPrintable(row));
            QCOMPARE(surnames[row.section('/', 1)], titles[paper]);
        }
        QCOMPARE(linked.size(), size_t(Members * Each));
    }

    // A project a tool left in write-ahead-log mode goes back to one file, which then opens
    // read-only with nothing beside it.
    void durabilitySettingsKeepOneFile()
    {
        test::TempFolder dir;
        const QString file = freshProject(dir, false);
        const QByteArray name = QFile::encodeName(file);
        sqlite3* db = nullptr;
        sqlite3_open(name.constData(), &db);
        // SQLite's defaults, which a connection keeps should the settings fail, are the same.
        QCOMPARE(pragma(db, "PRAGMA journal_mode"), "delete");
        QCOMPARE(pragma(db, "PRAGMA synchronous"), "2");
        QCOMPARE(pragma(db, "PRAGMA journal_mode = WAL"), "wal");
        sqlite3_exec(db, "INSERT INTO Papers (Title) VALUES ('Logged')", nullptr, nullptr, nullptr);
        sqlite3_close(db);
        sqlite3_open(name.constData(), &db);
        db::applyDurabilitySettings(db);
        QCOMPARE(pragma(db, "PRAGMA journal_mode"), "delete");
        QCOMPARE(pragma(db, "PRAGMA synchronous"), "2");
        sqlite3_exec(db, "INSERT INTO Papers (Title) VALUES ('Kept')", nullptr, nullptr, nullptr);
        sqlite3_close(db);
        QCOMPARE(QDir(dir.folder()).entryList(QDir::Files), QStringList{"project.mdb"});
        QFile::setPermissions(file, QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther);
        auto project = db::Database::OpenDatabase(file, true);
        QCOMPARE(test::countRows(*project, "Papers"), 2);
        project->Close();
        QCOMPARE(QDir(dir.folder()).entryList(QDir::Files), QStringList{"project.mdb"});
    }
};

QTEST_GUILESS_MAIN(TstCrashSafety)
#include "tst_crashsafety.moc"
