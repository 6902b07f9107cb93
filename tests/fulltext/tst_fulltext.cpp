// The full-text index of the papers' files: text read page by page through the extractor's
// process, files it cannot read listed with the reason, the index kept current file by file and
// resumed after a stop, the user's criterion always a valid query, and the search window's "Full
// text" mode with its passage, the status bar and the command line, as the user meets them;
// on a shared project too, whose index is the server's own text search.
#include "app/windows.h"
#include "db/dberror.h"
#include "db/nativesql.h"
#include "db/projectcopy.h"
#include "fulltext/data/backgroundindex.h"
#include "fulltext/data/extractformat.h"
#include "fulltext/data/extraction.h"
#include "fulltext/data/fulltextindex.h"
#include "fulltext/data/querytext.h"
#include "fulltext/data/textsearch.h"
#include "fulltext/indexstatus.h"
#include "paper/data/paperfiles.h"
#include "search/frmsearchpapers.h"
#include "testsupport.h"

#include <QPainter>
#include <QPdfWriter>
#include <QRadioButton>
#include <QStatusBar>
#include <QUrl>

#include <thread>

using namespace quirelle;
using namespace quirelle::test;

namespace {

// A PDF with one page for each text, each line of a text drawn on a line of its own.
QString makePdf(const QString& path, const QStringList& pages)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QPdfWriter writer(path);
    QPainter painter(&writer);
    for (qsizetype i = 0; i < pages.size(); ++i) {
        if (i > 0)
            writer.newPage();
        int y = 400;
        for (const QString& line : pages[i].split('\n')) {
            painter.drawText(400, y, line);
            y += 300;
        }
    }
    painter.end();
    return path;
}

QString makeFile(const QString& path, const QByteArray& bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    writeFile(path, bytes);
    return path;
}

// A PDF whose text is locked with a password that is not the empty one.
QByteArray encryptedPdf()
{
    const QByteArray o(32, 'A'), u(32, 'B');
    QByteArray pdf = "%PDF-1.4\n";
    QList<qsizetype> offsets;
    const auto object = [&](const QByteArray& body) {
        offsets << pdf.size();
        pdf += QByteArray::number(offsets.size()) + " 0 obj\n" + body + "\nendobj\n";
    };
    object("<< /Type /Catalog /Pages 2 0 R >>");
    object("<< /Type /Pages /Kids [3 0 R] /Count 1 >>");
    object("<< /Type /Page /Parent 2 0 R /MediaBox [0 0 612 792] >>");
    object("<< /Filter /Standard /V 1 /R 2 /O <" + o.toHex() + "> /U <" + u.toHex() + "> /P -4 >>");
    const qsizetype xref = pdf.size();
    pdf += "xref\n0 5\n0000000000 65535 f \n";
    for (const qsizetype at : offsets)
        pdf += QByteArray::number(at).rightJustified(10, '0') + " 00000 n \n";
    pdf += "trailer\n<< /Size 5 /Root 1 0 R /Encrypt 4 0 R /ID [<0123456789abcdef0123456789abcdef>"
           " <0123456789abcdef0123456789abcdef>] >>\nstartxref\n" +
           QByteArray::number(xref) + "\n%%EOF\n";
    return pdf;
}

paper::PaperFile attach(qint64 paperId, const QString& path)
{
    return paper::addPaperFile(project().db(), paper::FileFolders(project().file()),
                               static_cast<qint32>(paperId), path, paper::FileKind::Linked);
}

fulltext::IndexRun updateIndex(const fulltext::ExtractLimits& limits = {})
{
    const std::atomic<bool> never{false};
    return fulltext::updateIndex(project().db(), paper::FileFolders(project().file()), {}, never,
                                 limits);
}

// The hits as "paper:page", best first.
QStringList found(const QString& typed)
{
    QStringList out;
    for (const fulltext::FullTextHit& h : fulltext::searchFullText(project().db(), typed))
        out << QStringLiteral("%1:%2").arg(h.paperId).arg(h.page);
    return out;
}

// "state/reason" of each file of the index, by file id.
QStringList states()
{
    QStringList out;
    for (const fulltext::FileIndexState& s : fulltext::indexStates(project().db()))
        out << s.state + "/" + s.reason;
    return out;
}

// A role of the test server in a shared project, given `rights` on its tables by their owner;
// taken away again when this goes.
class MemberRole
{
public:
    MemberRole(const QString& address, const char* kind, const QString& rights)
        : m_name(kind + QString::number(QCoreApplication::applicationPid()))
    {
        ServerTestDatabase::execAsAdmin(
            QString("DROP ROLE IF EXISTS %1; CREATE ROLE %1 LOGIN").arg(m_name));
        m_owner = db::Database::OpenDatabase(address);
        db::NativeStatement::exec(*m_owner, rights.arg(m_name));
        QUrl url(address);
        url.setUserName(m_name);
        m_address = url.toString();
    }
    ~MemberRole()
    {
        db::NativeStatement::exec(*m_owner,
                                  QString("REVOKE ALL ON ALL TABLES IN SCHEMA public FROM "
                                          "%1; REVOKE ALL ON ALL SEQUENCES IN SCHEMA "
                                          "public FROM %1")
                                      .arg(m_name));
        m_owner.reset();
        ServerTestDatabase::execAsAdmin("DROP ROLE " + m_name);
    }
    MemberRole(const MemberRole&) = delete;
    MemberRole& operator=(const MemberRole&) = delete;
    const QString& name() const { return m_name; }
    // The shared project's address for this role.
    const QString& address() const { return m_address; }
    // The tables' owner's connection.
    db::Database& owner() { return *m_owner; }

private:
    QString m_name;
    QString m_address;
    std::unique_ptr<db::Database> m_owner;
};

const QStringList clayPages{"An introduction to sediments\nand how rivers carry them",
                            "Prior work by Müller and\nthe ÉCOLE of Grenoble",
                            "We show that clay remembers\nits first pressure",
                            "A Kalman filter was not needed\nfor the measurement"};

} // namespace

class TstFullText : public QObject
{
    Q_OBJECT

    std::unique_ptr<Shell> m_shell;
    std::unique_ptr<ServerTestDatabase> m_server; // dropped after the program ends

    // Puts the test's project on the row's engine: a server row works in a new shared project.
    bool useEngine(Engine engine)
    {
        if (engine == Engine::File)
            return true;
        m_server = std::make_unique<ServerTestDatabase>();
        db::createServerProject(m_server->address());
        return frmMenu::instance().connectTo(m_server->address());
    }

    static frmSearchPapers& search() { return frmSearchPapers::instance(); }
    static QListWidget* results() { return control<QListWidget>(search(), "lstOptions"); }
    static QLabel* snippet() { return control<QLabel>(search(), "lblSnippet"); }
    static QLabel* indexPanel() { return frmMain::instance().statusPanel(3); }
    static fulltext::BackgroundIndex& worker()
    {
        return *frmMain::instance().findChild<fulltext::BackgroundIndex*>();
    }
    // The index holds the words of the stored text, no more, no less (a page taken out with
    // other words than it was indexed with would leave them behind).
    static void checkIndex()
    {
        if (!project().isServer())
            db::NativeStatement::exec(project().db(), "INSERT INTO [Full Text]([Full Text]) "
                                                      "VALUES('integrity-check')");
    }
    // The pages the index holds (in a file: its words, kept apart from the pages' text).
    static qint64 pagesStored()
    {
        db::NativeStatement pages(project().db(), project().isServer()
                                                      ? "SELECT count(*) FROM \"Full Text Pages\""
                                                      : "SELECT count(*) FROM \"Full Text\"");
        return pages.next() ? pages.number(0) : -1;
    }
    static void waitForIndex()
    {
        // The worker hands what it read to this thread's event loop.
        QTRY_VERIFY_WITH_TIMEOUT(!worker().isBusy(), 60000);
    }
    // Two papers: the clay paper's PDF and a note in plain text.
    static std::pair<qint64, qint64> seedPapers(const QString& folder)
    {
        const qint64 clay = addPaper("Signals in Clay");
        const qint64 note = addPaper("Field Notes");
        attach(clay, makePdf(folder + "/in/clay.pdf", clayPages));
        attach(note, makeFile(folder + "/in/notes.txt", "the kalman filter, clay and Muller\n"));
        return {clay, note};
    }

private slots:
    void initTestCase()
    {
        fulltext::setExtractorPath(QStringLiteral(QUIRELLE_EXTRACT));
        qputenv("QUIRELLE_EXTRACT_TEST_MARKERS", "1");
    }
    void init() { m_shell = std::make_unique<Shell>(); }
    void cleanup()
    {
        m_shell.reset();
        m_server.reset();
    }

    // What the user types, as the query the index reads.
    void queryText_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("query");
        QTest::newRow("words") << "clay remembers"
                               << "\"clay\" AND \"remembers\"";
        QTest::newRow("phrase") << "\"clay remembers\""
                                << "\"clay remembers\"";
        QTest::newRow("prefix") << "rememb*"
                                << "\"rememb\"*";
        QTest::newRow("phrase prefix") << "\"clay rem\"*"
                                       << "\"clay rem\"*";
        QTest::newRow("or") << "clay OR kalman"
                            << "\"clay\" OR \"kalman\"";
        QTest::newRow("not") << "clay NOT kalman"
                             << "\"clay\" NOT \"kalman\"";
        QTest::newRow("group") << "(clay OR silt) pressure"
                               << "(\"clay\" OR \"silt\") AND \"pressure\"";
        QTest::newRow("lower-case or is a word") << "clay or silt"
                                                 << "\"clay\" AND \"or\" AND \"silt\"";
        QTest::newRow("leading operator") << "OR clay"
                                          << "\"OR\" AND \"clay\"";
        QTest::newRow("trailing operator") << "clay NOT"
                                           << "\"clay\" AND \"NOT\"";
        QTest::newRow("two operators") << "clay OR NOT silt"
                                       << "\"clay\" AND \"OR\" NOT \"silt\"";
        QTest::newRow("unclosed quote") << "\"clay remembers"
                                        << "\"clay\" AND \"remembers\"";
        QTest::newRow("unclosed group") << "(clay OR silt"
                                        << "(\"clay\" OR \"silt\")";
        QTest::newRow("stray close") << "clay) silt"
                                     << "\"clay\" AND \"silt\"";
        QTest::newRow("empty group") << "() clay"
                                     << "\"clay\"";
        QTest::newRow("near") << "NEAR(clay silt)"
                              << "\"NEAR\" AND (\"clay\" AND \"silt\")";
        QTest::newRow("column filter") << "body:clay -silt ^first"
                                       << "\"body:clay\" AND \"-silt\" AND \"^first\"";
        QTest::newRow("star inside") << "cl*ay"
                                     << "\"cl ay\"";
        QTest::newRow("only signs") << "* - ^ : + \"\""
                                    << "";
        QTest::newRow("empty") << ""
                               << "";
        QTest::newRow("blanks") << " \t\n "
                                << "";
        QTest::newRow("nul") << QString("clay") + QChar(0) + "silt"
                             << "\"clay\" AND \"silt\"";
    }
    void queryText()
    {
        QFETCH(QString, typed);
        QFETCH(QString, query);
        QCOMPARE(fulltext::ftsQuery(typed), query);
    }

    // The extractor's answers as they come in: complete, not yet complete, or not an answer.
    void extractorAnswers_data()
    {
        QTest::addColumn<QByteArray>("output");
        QTest::addColumn<int>("kind"); // Response::Kind
        QTest::addColumn<QStringList>("pages");
        using K = fulltext::Response::Kind;
        const QByteArray whole = "QUIRELLE-TEXT 1\nPAGE 5\nclay\n\nPAGE 0\n\nEND\n";
        QTest::newRow("whole") << whole << int(K::Pages) << QStringList{"clay\n", ""};
        for (const int cut : {0, 3, 16, 20, 24, 28, 36, 38})
            QTest::newRow(qPrintable(QString("cut at %1").arg(cut)))
                << whole.left(cut) << int(K::Incomplete) << QStringList{};
        QTest::newRow("failed") << QByteArray("FAILED 3\n") << int(K::Failed) << QStringList{};
        QTest::newRow("failed, cut") << QByteArray("FAIL") << int(K::Incomplete) << QStringList{};
        QTest::newRow("other bytes")
            << QByteArray("Segmentation") << int(K::Garbage) << QStringList{};
        QTest::newRow("size not a number")
            << QByteArray("QUIRELLE-TEXT 1\nPAGE x\n") << int(K::Garbage) << QStringList{};
        QTest::newRow("size too small") << QByteArray("QUIRELLE-TEXT 1\nPAGE 2\nclay\nEND\n")
                                        << int(K::Garbage) << QStringList{};
    }
    void extractorAnswers()
    {
        QFETCH(QByteArray, output);
        QFETCH(int, kind);
        QFETCH(QStringList, pages);
        const fulltext::Response r = fulltext::parseResponse(output);
        QCOMPARE(int(r.kind), kind);
        QCOMPARE(r.pages, pages);
        if (r.kind == fulltext::Response::Kind::Pages)
            QCOMPARE(r.consumed, output.size());
    }

    // No text the user types gives an engine error; what has nothing to search finds nothing.
    void hostileCriteria_data()
    {
        QTest::addColumn<Engine>("engine");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<bool>("finds"); // whether anything is found in the two papers
        std::vector<std::tuple<QByteArray, QString, bool>> rows;
        const std::pair<const char*, bool> texts[] = {{"\"", false},
                                                      {"\"\"\"", false},
                                                      {"(", false},
                                                      {")", false},
                                                      {"((((", false},
                                                      {"))))", false},
                                                      {"*", false},
                                                      {"**clay", true},
                                                      {"NEAR(", false},
                                                      {"NEAR(clay", false},
                                                      {"NEAR(clay, 2)", false},
                                                      {"-", false},
                                                      {"^", false},
                                                      {"AND", true},
                                                      {"OR", false},
                                                      {"NOT", true},
                                                      {"a OR", false},
                                                      {"NOT NOT", true},
                                                      {":", false},
                                                      {"clay:", true},
                                                      {"{clay}", true},
                                                      {"'", false},
                                                      {"\\", false},
                                                      {"%_", false},
                                                      {"clay\"", true},
                                                      {"(\"clay)\"", true},
                                                      {"\xff\xfe", false},
                                                      {"clay AND", true},
                                                      {"+clay -silt", false},
                                                      {"body:clay", false}};
        for (const auto& [text, finds] : texts)
            rows.emplace_back(text, QString::fromUtf8(text), finds);
        rows.emplace_back("nul", QString(QChar(0)), false);
        rows.emplace_back("10,000 characters", QString(10000, 'x'), false);
        rows.emplace_back("10,000 quotes", QString(10000, '"'), false);
        rows.emplace_back("10,000 characters in quotes", '"' + QString(10000, 'x') + "\"*", false);
        rows.emplace_back("long phrases of long words",
                          ('"' + (QString(1000, 'x') + ' ').repeated(64) + "\" ").repeated(64),
                          false);
        rows.emplace_back("a long phrase", '"' + QString("clay ").repeated(2000) + '"', false);
        rows.emplace_back("deep groups", QString(5000, '(') + "clay" + QString(5000, ')'), true);
        rows.emplace_back("many words", QString("clay ").repeated(2000), true);
        rows.emplace_back("many operators", QString("clay OR ").repeated(1000) + "clay", true);
        rows.emplace_back("symbols only", "😀 OR ☃", false);
        rows.emplace_back("a symbol beside a word", "😀 OR clay", true);
        for (const Engine engine : {Engine::File, Engine::Server}) {
            for (const auto& [name, typed, finds] : rows)
                addEngineRow(engine, name.constData()) << typed << finds;
        }
    }
    void hostileCriteria()
    {
        QUIRELLE_FETCH_ENGINE(engine);
        QFETCH(QString, typed);
        QFETCH(bool, finds);
        QVERIFY(useEngine(engine));
        seedPapers(m_shell->folder());
        updateIndex();
        QStringList hits;
        try {
            hits = found(typed);
        } catch (const db::DbError& e) {
            QFAIL(qPrintable(e.description()));
        }
        QCOMPARE(!hits.isEmpty(), finds);
    }

    // Words on known pages are found on those pages, with accents and letter case left aside,
    // as phrases and as prefixes; one line per paper, best first.
    void pagesFound_data()
    {
        QTest::addColumn<Engine>("engine");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QStringList>("hits"); // paper:page, 1 the PDF, 2 the note
        const std::vector<std::tuple<const char*, QString, QStringList>> rows{
            {"one word", "remembers", {"1:3"}},
            {"accent left aside", "Muller", {"2:1", "1:2"}},
            {"accent typed", "müller", {"2:1", "1:2"}},
            {"letter case", "ecole", {"1:2"}},
            {"phrase", "\"clay remembers\"", {"1:3"}},
            {"phrase not met", "\"remembers clay\"", {}},
            {"prefix", "rememb*", {"1:3"}},
            {"phrase with a prefix", "\"clay rem\"*", {"1:3"}},
            {"typeset ligature", "\"first pressure\"", {"1:3"}},
            {"words on two pages", "sediments pressure", {}},
            {"or", "sediments OR notes", {"1:1"}},
            {"not", "kalman NOT clay", {"1:4"}},
            {"not before and", "filter NOT clay measurement", {"1:4"}},
            {"and before or", "sediments OR kalman grenoble", {"1:1"}},
            {"group", "(rivers OR grenoble) carry", {"1:1"}},
            {"punctuation parts words", "kalman-filter", {"2:1", "1:4"}},
        };
        for (const Engine engine : {Engine::File, Engine::Server}) {
            for (const auto& [name, typed, hits] : rows)
                addEngineRow(engine, name) << typed << hits;
        }
    }
    void pagesFound()
    {
        QUIRELLE_FETCH_ENGINE(engine);
        QFETCH(QString, typed);
        QFETCH(QStringList, hits);
        QVERIFY(useEngine(engine));
        seedPapers(m_shell->folder());
        const fulltext::IndexRun run = updateIndex();
        QCOMPARE(run.indexed, 2);
        QCOMPARE(found(typed), hits);
    }

    // A file the extractor cannot read is listed with the reason, and the files before and after
    // it are read all the same (the extractor has both of them asked for while it reads it).
    void unreadableFiles_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("content"); // empty: a PDF without text
        QTest::addColumn<QString>("state");
        QTest::addColumn<QString>("reason");
        QTest::newRow("damaged") << "cut.pdf" << QByteArray("%PDF-1.4\n1 0 obj\n<< /Ty")
                                 << "could not be read"
                                 << "damaged";
        QTest::newRow("encrypted") << "locked.pdf" << encryptedPdf() << "could not be read"
                                   << "encrypted";
        QTest::newRow("zero bytes") << "empty.pdf" << QByteArray("") << "could not be read"
                                    << "damaged";
        QTest::newRow("crashes the extractor")
            << "crash.pdf" << QByteArray("%CRASH\n") << "could not be read"
            << "crashed";
        QTest::newRow("hangs the extractor")
            << "hang.pdf" << QByteArray("%HANG\n") << "could not be read"
            << "timed out";
        QTest::newRow("past the memory limit")
            << "hog.pdf" << QByteArray("%HOG\n") << "could not be read"
            << "crashed";
        QTest::newRow("scanned") << "scan.pdf" << QByteArray() << "could not be read"
                                 << "no text layer";
        QTest::newRow("other kind") << "paper.docx" << QByteArray("PK\3\4") << "not indexed"
                                    << "not a kind of file that is indexed";
    }
    void unreadableFiles()
    {
        QFETCH(QString, name);
        QFETCH(QByteArray, content);
        QFETCH(QString, state);
        QFETCH(QString, reason);
        const QString path = m_shell->folder() + "/in/" + name;
        if (name == "scan.pdf") {
            QDir().mkpath(QFileInfo(path).absolutePath());
            QPdfWriter writer(path);
            QPainter painter(&writer);
            painter.fillRect(QRect(100, 100, 2000, 2000), Qt::black);
        } else {
            makeFile(path, content);
        }
        const qint64 p = addPaper("Unreadable");
        attach(p, makeFile(m_shell->folder() + "/in/before.txt", "words read first"));
        attach(p, path);
        attach(p, makeFile(m_shell->folder() + "/in/after.md", "# Heading\nreadable words"));
        fulltext::ExtractLimits limits;
        limits.milliseconds = 3000;
        limits.memoryBytes = qint64(512) << 20;
        const fulltext::IndexRun run = updateIndex(limits);
        QCOMPARE(states(), (QStringList{"indexed/", state + "/" + reason, "indexed/"}));
        QCOMPARE(run.indexed, 2);
        QCOMPARE(found("readable"), QStringList{QString("%1:1").arg(p)});
        QCOMPARE(found("first"), QStringList{QString("%1:1").arg(p)});
        // Read once: the next update leaves it as it is.
        QCOMPARE(updateIndex(limits).total, 0);
    }

    // HTML is read without its markup; Markdown and plain text as they stand.
    void textKinds()
    {
        const qint64 p = addPaper("Web page");
        attach(p, makeFile(m_shell->folder() + "/page.html",
                           "<html><head><title>hidden title</title><style>p{}</style></head>"
                           "<body><p class=\"x\">Caf&eacute; &amp; Gr&#252;n</p>"
                           "<script>var secret;</script></body></html>"));
        updateIndex();
        QCOMPARE(found("grun"), QStringList{"1:1"});
        QCOMPARE(found("secret OR hidden OR class"), QStringList{});
        QCOMPARE(
            fulltext::passagePlain(fulltext::passage(
                project().db(), "grun", fulltext::searchFullText(project().db(), "grun")[0].row)),
            "Caf&eacute; & [Grün]");
    }

    // A paper is listed once, for the best page of any of its files, and the papers best first.
    void bestPageOfEachPaper()
    {
        const qint64 twoFiles = addPaper("Two Files");
        const qint64 oneFile = addPaper("One File");
        const QString in = m_shell->folder() + "/in/";
        attach(twoFiles, makeFile(in + "long.txt", "basalt among a great many other words that "
                                                   "say little of it, page after page of them"));
        const paper::PaperFile dense =
            attach(twoFiles, makeFile(in + "dense.txt", "basalt basalt basalt"));
        attach(oneFile, makePdf(in + "pages.pdf", {"basalt among many other words on a page",
                                                   "basalt basalt and little else"}));
        updateIndex();
        QCOMPARE(found("basalt"),
                 (QStringList{QString("%1:1").arg(twoFiles), QString("%1:2").arg(oneFile)}));
        QCOMPARE(fulltext::searchFullText(project().db(), "basalt")[0].fileId, dense.id);
        QCOMPARE(found("bas*"), found("basalt")); // through the index of the words' beginnings
    }

    // A file changed after it was indexed is read again; one taken off its paper leaves the
    // index; one only touched is not read again.
    void changedAndRemovedFiles_data() { addEngineRows(); }
    void changedAndRemovedFiles()
    {
        QUIRELLE_FETCH_ENGINE(engine);
        QVERIFY(useEngine(engine));
        const auto [clay, note] = seedPapers(m_shell->folder());
        updateIndex();
        const QString notes = m_shell->folder() + "/in/notes.txt";
        writeFile(notes, "now about basalt\n");
        const fulltext::IndexRun changed = updateIndex();
        QCOMPARE(changed.total, 1);
        QCOMPARE(found("basalt"), QStringList{QString("%1:1").arg(note)});
        QCOMPARE(found("kalman"), QStringList{QString("%1:4").arg(clay)});

        QFile f(notes);
        QVERIFY(f.open(QIODevice::ReadWrite));
        QVERIFY(f.setFileTime(QDateTime::currentDateTime().addSecs(-3600),
                              QFileDevice::FileModificationTime));
        f.close();
        QCOMPARE(updateIndex().indexed, 0); // same content, new time
        QCOMPARE(updateIndex().total, 0);

        const auto clayFile =
            paper::paperFiles(project().db(), paper::FileFolders(project().file()), clay)[0];
        paper::removePaperFile(project().db(), clayFile.id);
        QCOMPARE(found("kalman"), QStringList{}); // at once, before the index is updated
        QCOMPARE(updateIndex().removed, 1);
        QCOMPARE(pagesStored(), 1);
        checkIndex();
    }

    // An update stopped between two files leaves the files it stored whole; the next goes on
    // with the others only.
    void resumeAfterCancel_data() { addEngineRows(); }
    void resumeAfterCancel()
    {
        QUIRELLE_FETCH_ENGINE(engine);
        QVERIFY(useEngine(engine));
        const qint64 p = addPaper("Many files");
        for (int i = 1; i <= 5; ++i)
            attach(p, makeFile(m_shell->folder() + QString("/in/%1.txt").arg(i),
                               QString("word%1 common").arg(i).toUtf8()));
        std::atomic<bool> cancelled{false};
        const fulltext::IndexRun first = fulltext::updateIndex(
            project().db(), paper::FileFolders(project().file()),
            [&cancelled](int done, int) {
                if (done == 2)
                    cancelled = true;
            },
            cancelled);
        QVERIFY(first.cancelled);
        QCOMPARE(first.indexed, 2);
        QCOMPARE(states().size(), 2);
        const fulltext::IndexRun second = updateIndex();
        QCOMPARE(second.total, 3);
        QCOMPARE(second.indexed, 3);
        QCOMPARE(pagesStored(), 5);
    }

    // The command line killed while it indexes: what it stored is whole, and the next run goes
    // on where it stopped.
    void killedWhileIndexing()
    {
        const qint64 p = addPaper("Killed");
        for (const char* name : {"a.txt", "b.txt", "c.pdf", "d.txt"}) {
            const QByteArray content =
                QByteArray(name) == "c.pdf" ? QByteArray("%HANG\n") : QByteArray(name) + " words";
            attach(p, makeFile(m_shell->folder() + "/in/" + name, content));
        }
        const QString file = project().file();
        project().close();
        QProcess cli;
        cli.start(QUIRELLE_CLI, {"index", file});
        QVERIFY(cli.waitForStarted());
        // It hangs on the third file: wait until the first two are stored, then kill it.
        QDeadlineTimer deadline(30000);
        while (sqliteShell(file, "select count(*) from [Full Text Files];").trimmed() != "2") {
            QVERIFY(!deadline.hasExpired());
            QTest::qWait(50);
        }
        cli.kill();
        cli.waitForFinished();
        QVERIFY(project().open(m_shell->pathWithoutExtension()));
        QCOMPARE(found("words").size(), 1);
        QCOMPARE(states(), (QStringList{"indexed/", "indexed/"}));
        fulltext::ExtractLimits limits;
        limits.milliseconds = 1000;
        const fulltext::IndexRun next = updateIndex(limits);
        QCOMPARE(next.total, 2);
        QCOMPARE(states(),
                 (QStringList{"indexed/", "indexed/", "could not be read/timed out", "indexed/"}));
        // Three pages in the index and in the stored text (read without the program's own
        // functions: the words are found without the text).
        QCOMPARE(sqliteShell(file, "select (select count(*) from [Full Text] where [Full Text] "
                                   "match 'words') || '/' || (select count(*) from [Full Text "
                                   "Pages]);")
                     .trimmed(),
                 "3/3");
    }

    // The command line's index and search.
    void commandLine_data() { addEngineRows(); }
    void commandLine()
    {
        QUIRELLE_FETCH_ENGINE(engine);
        QVERIFY(useEngine(engine));
        seedPapers(m_shell->folder());
        const QString file = m_server ? m_server->address() : project().file();
        project().close();
        QProcess cli;
        cli.start(QUIRELLE_CLI, {"index", file});
        QVERIFY(cli.waitForFinished(60000));
        const QByteArray progress = cli.readAllStandardError();
        QVERIFY2(cli.exitCode() == 0, progress.constData());
        QCOMPARE(cli.readAllStandardOutput(),
                 "2 files indexed, 0 could not be read, 0 not indexed, 0 removed from the index\n");
        QVERIFY(progress.contains("Indexing 1 of 2 files"));
        cli.start(QUIRELLE_CLI, {"search", file, "clay", "remembers"});
        QVERIFY(cli.waitForFinished(60000));
        QCOMPARE(cli.exitCode(), 0);
        QCOMPARE(QString::fromUtf8(cli.readAllStandardOutput()),
                 "1\tSignals in Clay\tpage 3\tWe show that [clay] [remembers] its first "
                 "pressure\n");
        cli.start(QUIRELLE_CLI, {"search", file});
        QVERIFY(cli.waitForFinished(60000));
        QCOMPARE(cli.exitCode(), 2);
    }

    // The search window's seventh mode, driven as the user drives it: the mode clicked, words
    // typed with Enter, a line chosen with the keys shows its passage and page, a click opens
    // the paper. The index is built from the Tools menu and says so in the status bar.
    void searchWindow_data() { addEngineRows(); }
    void searchWindow()
    {
        QUIRELLE_FETCH_ENGINE(engine);
        QVERIFY(useEngine(engine));
        seedPapers(m_shell->folder());
        fromMenu("mnuRebuildFullTextIndex");
        QVERIFY(indexPanel()->text().isEmpty() || indexPanel()->text().startsWith("Indexing"));
        waitForIndex();
        QCOMPARE(indexPanel()->text(), QString());
        QCOMPARE(states(), QStringList(2, "indexed/"));

        panelButton(4);
        auto* option = control<QRadioButton>(search(), "optSearch(6)");
        QCOMPARE(option->text(), "Full text");
        QTest::mouseClick(option, Qt::LeftButton, {}, QPoint(6, option->height() / 2));
        settle();
        QVERIFY(option->isChecked());
        auto* criterion = control<QComboBox>(search(), "cmbSearchCriteria");
        QCOMPARE(criterion->count(), 0);
        replaceText(criterion, "muller\n");
        settle();
        QCOMPARE(lines(results()), (QStringList{"2 : Field Notes", "1 : Signals in Clay"}));
        focusTo(results());
        pressKey(Qt::Key_Down);
        settle();
        QCOMPARE(snippet()->text(), "page 1: the kalman filter, clay and <b>Muller</b>");
        pressKey(Qt::Key_Down);
        settle();
        QVERIFY(snippet()->text().startsWith("page 2: "));
        QVERIFY(snippet()->text().contains("<b>Müller</b>"));

        replaceText(criterion, "\"unclosed (NEAR(\n");
        settle();
        QCOMPARE(lines(results()), QStringList{"No entried found..."});
        QCOMPARE(snippet()->text(), QString());
        replaceText(criterion, "\n");
        settle();
        QCOMPARE(lines(results()), QStringList{"No entried found..."});

        replaceText(criterion, "kalman\n");
        settle();
        clickLine(results(), 1);
        QVERIFY(!search().isVisible());
    }

    // Attaching starts the update; a read-only project is searched, not indexed, and says so. On a
    // server that is a role that may only read; one not given the index's tables finds nothing.
    void backgroundAndReadOnly_data() { addEngineRows(); }
    void backgroundAndReadOnly()
    {
        QUIRELLE_FETCH_ENGINE(engine);
        QVERIFY(useEngine(engine));
        const qint64 p = addPaper("Signals in Clay");
        attach(p, makePdf(m_shell->folder() + "/in/clay.pdf", clayPages));
        windows::filesChanged();
        waitForIndex();
        QCOMPARE(found("remembers"), QStringList{"1:3"});
        project().close();
        std::unique_ptr<MemberRole> reader;
        if (m_server)
            reader = std::make_unique<MemberRole>(
                m_server->address(), "reader", "GRANT SELECT ON ALL TABLES IN SCHEMA public TO %1");
        QVERIFY(project().open(reader ? reader->address() : m_shell->pathWithoutExtension(),
                               nullptr, !reader));
        QVERIFY(project().readOnly());
        frmMain::instance().fullText().filesChanged();
        QVERIFY(!worker().isBusy());
        QCOMPARE(indexPanel()->text(),
                 "Read-only project: its full text is searched but not indexed");
        QCOMPARE(found("remembers"), QStringList{"1:3"});
        if (reader) {
            db::NativeStatement::exec(
                reader->owner(), "REVOKE SELECT ON \"Full Text Pages\" FROM " + reader->name());
            QCOMPARE(found("remembers"), QStringList{});
        }
        project().close();
    }

    // The windows write beside the background update, which writes each file on a connection of
    // its own: a change that reads and then writes waits for the file being stored, never
    // refused as "in use", and the index ends whole.
    void windowsWriteWhileIndexing()
    {
        const qint64 p = addPaper("Many Notes");
        for (int i = 1; i <= 30; ++i)
            attach(p, makeFile(m_shell->folder() + QString("/in/%1.txt").arg(i),
                               QString("note%1 common words\n").arg(i).toUtf8()));
        windows::filesChanged();
        int changes = 0;
        while (worker().isBusy()) {
            db::Transaction t(project().db());
            const int papers = countRows(project().db(), "Papers");
            addPaper(QString("Written while indexing %1").arg(papers));
            t.commit();
            ++changes;
            QTest::qWait(1);
        }
        QVERIFY(changes > 0);
        QCOMPARE(indexPanel()->text(), QString());
        QCOMPARE(states(), QStringList(30, "indexed/"));
        QCOMPARE(found("common").size(), 1);
        QCOMPARE(countRows(project().db(), "Papers"), changes + 1);
        checkIndex();
    }

    // The index of an earlier version, which kept the pages' text as it was or did not index the
    // words' beginnings, is made anew when the project is opened, and its files are read again.
    void olderIndex_data()
    {
        QTest::addColumn<QString>("older");
        QTest::newRow("text kept as it was")
            << "drop table [Full Text]; drop view [Full Text Body]; drop table [Full Text Pages]; "
               "create virtual table [Full Text] using fts5(body); "
               "insert into [Full Text](rowid, body) values(65537, 'stale words');";
        QTest::newRow("without the words' beginnings")
            << "drop table [Full Text]; create virtual table [Full Text] using fts5(body, "
               "content = 'Full Text Body', content_rowid = 'page', "
               "tokenize = 'unicode61 remove_diacritics 2');";
    }
    void olderIndex()
    {
        QFETCH(QString, older);
        const qint64 clay = seedPapers(m_shell->folder()).first;
        updateIndex();
        const QString file = project().file();
        project().close();
        sqliteShell(file, older);
        QVERIFY(project().open(m_shell->pathWithoutExtension()));
        QCOMPARE(found("stale"), QStringList{});
        QCOMPARE(states(), QStringList{});
        QCOMPARE(updateIndex().indexed, 2);
        // Found with its page, and its passage read from the text kept compressed.
        const auto hits = fulltext::searchFullText(project().db(), "remembers");
        QCOMPARE(hits.size(), size_t(1));
        QCOMPARE(hits[0].paperId, clay);
        QCOMPARE(hits[0].page, 3);
        QVERIFY(fulltext::passagePlain(fulltext::passage(project().db(), "remembers", hits[0].row))
                    .contains("clay [remembers]"));
    }

    // A page far larger than any PDF's (a long text file): stored, and its words found, with a
    // passage, on either engine, although a server keeps no more than a megabyte of one page's
    // words.
    void largePage_data() { addEngineRows(); }
    void largePage()
    {
        QUIRELLE_FETCH_ENGINE(engine);
        QVERIFY(useEngine(engine));
        QByteArray text;
        for (int i = 0; i < 150000; ++i)
            text += "w" + QByteArray::number(i) + (i % 100 == 0 ? " common " : " ");
        const qint64 p = addPaper("Long Notes");
        attach(p, makeFile(m_shell->folder() + "/in/long.txt", text));
        QCOMPARE(updateIndex().indexed, 1);
        QCOMPARE(states(), QStringList{"indexed/"});
        const QString one = QString("%1:1").arg(p);
        QCOMPARE(found("w17"), QStringList{one});
        QCOMPARE(found("\"w100 common w101\""), QStringList{one});
        const auto hits = fulltext::searchFullText(project().db(), "common");
        QCOMPARE(hits.size(), size_t(1));
        QVERIFY(fulltext::passagePlain(fulltext::passage(project().db(), "common", hits[0].row))
                    .contains("w0 [common] w1"));
    }

    // A shared project's criterion as the server's text search reads it: the words the file's
    // index reads, joined as it joins them (NOT before AND before OR); a part that can find
    // nothing in the file's index finds nothing there either.
    void serverQueries_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("query");
        QTest::newRow("words") << "clay remembers"
                               << "('clay' & 'remembers')";
        QTest::newRow("phrase") << "\"clay remembers\""
                                << "('clay' <-> 'remembers')";
        QTest::newRow("prefix") << "rememb*"
                                << "'rememb':*";
        QTest::newRow("phrase with a prefix") << "\"clay rem\"*"
                                              << "('clay' <-> 'rem':*)";
        QTest::newRow("not before or") << "clay OR silt NOT kalman"
                                       << "('clay' | ('silt' & !'kalman'))";
        QTest::newRow("group") << "(clay OR silt) pressure"
                               << "(('clay' | 'silt') & 'pressure')";
        QTest::newRow("accents and case") << "Müller ÉCOLE"
                                          << "('muller' & 'ecole')";
        QTest::newRow("apostrophe") << "it's"
                                    << "('it' <-> 's')";
        QTest::newRow("no word and a word") << "😀 clay"
                                            << "";
        QTest::newRow("no word or a word") << "😀 OR clay"
                                           << "'clay'";
        QTest::newRow("not no word") << "clay NOT 😀"
                                     << "'clay'";
        QTest::newRow("empty") << ""
                               << "";
    }
    void serverQueries()
    {
        QFETCH(QString, typed);
        QFETCH(QString, query);
        QCOMPARE(fulltext::tsqueryText(typed), query);
    }

    // A page's words as a server's text search keeps them: folded as the file's index folds them,
    // each with its places.
    void serverWords_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("words");
        QTest::newRow("words") << "We show that clay"
                               << "'clay':4 'show':2 'that':3 'we':1";
        QTest::newRow("one word thrice") << "Clay, clay; CLAY"
                                         << "'clay':1,2,3";
        QTest::newRow("accents, apostrophe") << "Müller's ÉCOLE"
                                             << "'ecole':3 'muller':1 's':2";
        QTest::newRow("a mark alone") << QString("a \u0301 b") << "'a':1 'b':2";
        QTest::newRow("no word") << "-- ... --"
                                 << "";
    }
    void serverWords()
    {
        QFETCH(QString, text);
        QFETCH(QString, words);
        QCOMPARE(fulltext::tsvectorText(text), words);
    }

    // A shared project's passage, read from the page's text: the words found marked (a phrase
    // as one), accents as they stand in the text, a long page cut around what was found.
    void serverPassages_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("passage");
        const QString clay = clayPages[2];
        QTest::newRow("words") << clay << "clay remembers"
                               << "We show that [clay] [remembers] its first pressure";
        QTest::newRow("phrase") << clay << "\"clay remembers\""
                                << "We show that [clay remembers] its first pressure";
        QTest::newRow("prefix") << clay << "rememb*"
                                << "We show that clay [remembers] its first pressure";
        QTest::newRow("not what is left out") << clay << "pressure NOT silt OR clay"
                                              << "We show that [clay] remembers its first "
                                                 "[pressure]";
        QTest::newRow("accent") << clayPages[1] << "muller ecole"
                                << "Prior work by [Müller] and the [ÉCOLE] of Grenoble";
        QTest::newRow("not on the page") << clay << "basalt"
                                         << "";
        QStringList words;
        for (int i = 1; i <= 60; ++i)
            words << (i == 40 ? "target." : QString("w%1").arg(i));
        QStringList shown = words.mid(28, 24);
        shown[11] = "[target].";
        QTest::newRow("long page") << words.join(' ') << "target"
                                   << "…" + shown.join(' ') + "…";
    }
    void serverPassages()
    {
        QFETCH(QString, text);
        QFETCH(QString, typed);
        QFETCH(QString, passage);
        QCOMPARE(fulltext::passagePlain(fulltext::markedPassage(text, typed)).simplified(),
                 passage);
    }

    // A project copied onto a server and back keeps its index: the same papers found on the same
    // pages, and no file read again.
    void copyCarriesIndex()
    {
        if (serverAddress().isEmpty())
            QSKIP("no test server: QUIRELLE_TEST_PG names none (scripts/test starts one)");
        seedPapers(m_shell->folder());
        const qint64 binary = addPaper("Binary Notes");
        attach(binary, makeFile(m_shell->folder() + "/in/nul.txt", bytes("before\0after nul")));
        QCOMPARE(updateIndex().indexed, 3);
        const QStringList muller = found("Muller");
        QCOMPARE(muller.size(), 2);
        const QString file = project().file();
        project().close();
        m_server = std::make_unique<ServerTestDatabase>();
        const QString shared = m_server->address();
        db::createServerProject(shared);
        const QString back = m_shell->folder() + "/back.mdb";
        for (const auto& [from, to] : {std::pair{file, shared}, std::pair{shared, back}}) {
            const db::CopyResult copied = db::copyProject(from, to, db::CopyMode::IntoEmpty);
            QVERIFY2(copied.ok, qPrintable(copied.reason));
            QVERIFY(project().open(to == back ? back.chopped(4) : to));
            QCOMPARE(found("Muller"), muller);
            QCOMPARE(found("\"clay remembers\""), QStringList{"1:3"});
            QCOMPARE(found("after"), QStringList{QString("%1:1").arg(binary)});
            QCOMPARE(states(), QStringList(3, "indexed/"));
            QCOMPARE(updateIndex().total, 0);
        }
        checkIndex();
    }

    // A member who writes but does not own the tables replaces a shared project's rows with a
    // project file's (a backup restored): the index comes along, and its words stay indexed.
    void memberReplacesIndex()
    {
        if (serverAddress().isEmpty())
            QSKIP("no test server: QUIRELLE_TEST_PG names none (scripts/test starts one)");
        QVERIFY(useEngine(Engine::Server));
        seedPapers(m_shell->folder());
        QCOMPARE(updateIndex().indexed, 2);
        const QString backup = m_shell->folder() + "/backup.mdb";
        const QString shared = m_server->address();
        QVERIFY(db::copyProject(shared, backup, db::CopyMode::IntoEmpty).ok);
        project().close();
        {
            MemberRole writer(shared, "writer",
                              "GRANT SELECT, INSERT, UPDATE, DELETE ON ALL TABLES IN SCHEMA public "
                              "TO %1; GRANT USAGE ON ALL SEQUENCES IN SCHEMA public TO %1");
            const db::CopyResult restored =
                db::copyProject(backup, writer.address(), db::CopyMode::ReplaceRows);
            QVERIFY2(restored.ok, qPrintable(restored.reason));
        }
        QVERIFY(project().open(shared));
        QCOMPARE(found("Muller"), (QStringList{"2:1", "1:2"}));
        QCOMPARE(states(), QStringList(2, "indexed/"));
        db::NativeStatement index(project().db(),
                                  "SELECT to_regclass('\"Full Text Words words\"') IS NOT NULL");
        QVERIFY(index.next());
        QCOMPARE(index.number(0), 1);
    }

    // A shared project's index of an earlier version, which kept each page's words in the
    // page's row: the words are moved into their own table by the next update, not read again, and
    // found as before, also by a prefix.
    void olderServerIndex()
    {
        if (serverAddress().isEmpty())
            QSKIP("no test server: QUIRELLE_TEST_PG names none (scripts/test starts one)");
        QVERIFY(useEngine(Engine::Server));
        const auto [clay, note] = seedPapers(m_shell->folder());
        QCOMPARE(updateIndex().indexed, 2);
        const QStringList before = found("clay");
        QCOMPARE(before.size(), 2);
        db::NativeStatement::exec(
            project().db(),
            "ALTER TABLE \"Full Text Pages\" ADD COLUMN words tsvector; UPDATE \"Full Text "
            "Pages\" t SET words = w.words FROM \"Full Text Words\" w WHERE w.page = t.page; "
            "ALTER TABLE \"Full Text Pages\" ALTER COLUMN words SET NOT NULL; DROP TABLE "
            "\"Full Text Words\"");
        project().close();
        QVERIFY(project().open(m_server->address()));
        fulltext::createMissingIndexTables(project().db()); // as the background update does
        QCOMPARE(found("clay"), before);
        QCOMPARE(found("rememb*"), QStringList{QString("%1:3").arg(clay)});
        QCOMPARE(found("Muller"),
                 (QStringList{QString("%1:1").arg(note), QString("%1:2").arg(clay)}));
        QCOMPARE(updateIndex().indexed, 0);
        db::NativeStatement left(project().db(),
                                 "SELECT (SELECT count(*) FROM \"Full Text Words\" WHERE length > "
                                 "0), (SELECT count(*) FROM information_schema.columns WHERE "
                                 "table_name = 'Full Text Pages' AND column_name = 'words')");
        QVERIFY(left.next());
        QCOMPARE(left.number(0), pagesStored());
        QCOMPARE(left.number(1), 0);
        // A page indexed now is written to both tables.
        attach(note, makeFile(m_shell->folder() + "/in/more.txt", "ostracods and clay\n"));
        QCOMPARE(updateIndex().indexed, 1);
        QCOMPARE(found("ostracods"), QStringList{QString("%1:1").arg(note)});
    }

    // Two members index an older shared project, which has no index yet, at once: neither
    // fails, and each file ends stored once.
    void membersIndexAtOnce()
    {
        if (serverAddress().isEmpty())
            QSKIP("no test server: QUIRELLE_TEST_PG names none (scripts/test starts one)");
        QVERIFY(useEngine(Engine::Server));
        const qint64 p = addPaper("Many Notes");
        for (int i = 1; i <= 12; ++i)
            attach(p, makeFile(m_shell->folder() + QString("/in/%1.txt").arg(i),
                               QString("note%1 shared words\n").arg(i).toUtf8()));
        db::NativeStatement::exec(project().db(),
                                  "DROP TABLE \"Full Text Pages\"; DROP TABLE \"Full Text Files\"");
        QVERIFY(!fulltext::hasIndexTables(project().db()));
        const paper::FileFolders folders(project().file());
        const QString address = m_server->address();
        QStringList failures(2);
        std::vector<int> indexed(2);
        std::vector<std::thread> members;
        for (size_t m = 0; m < 2; ++m) {
            members.emplace_back([&, m] {
                try {
                    const auto member = db::Database::OpenDatabase(address);
                    fulltext::createMissingIndexTables(*member);
                    const std::atomic<bool> never{false};
                    indexed[m] = fulltext::updateIndex(*member, folders, {}, never).indexed;
                } catch (const db::DbError& e) {
                    failures[qsizetype(m)] = e.description();
                }
            });
        }
        for (std::thread& t : members)
            t.join();
        QCOMPARE(failures, QStringList(2));
        QVERIFY(indexed[0] + indexed[1] >= 12);
        QCOMPARE(states(), QStringList(12, "indexed/"));
        QCOMPARE(found("shared").size(), 1);
        QCOMPARE(found("note7"), QStringList{QString("%1:1").arg(p)});
        QCOMPARE(pagesStored(), 12);
    }
};

QTEST_MAIN(TstFullText)
#include "tst_fulltext.moc"
