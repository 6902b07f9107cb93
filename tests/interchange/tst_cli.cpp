// quirelle-cli run as a user runs it: exit status and messages for bad use, projects and files;
// import, export, and an --output file replaced whole or not at all; whole projects copied between
// files (and through the tests' server, when there is one), or refused with the destination as it
// was.
#include "db/projectlock.h"
#include "fulltext/data/fulltextindex.h"
#include "testsupport.h"

#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QStandardPaths>
#include <QStringEncoder>

#include <memory>

using namespace quirelle;
using test::readFile;
using test::writeFile;

namespace {

struct Run
{
    int status = -1;
    QString out;
    QString err;
};

Run cli(const QStringList& args)
{
    QProcess p;
    p.start(QStringLiteral(QUIRELLE_CLI), args); // the program as the build made it
    p.waitForFinished(60000);
    return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1,
            QString::fromUtf8(p.readAllStandardOutput()),
            QString::fromUtf8(p.readAllStandardError())};
}

// The entries of a bibliography in plain text, as a comparison takes them: blanks as one, no
// citation number before the entry (the order of numbering is the processor's own), and no
// letter after a year (which of two works of a year is "a" is the processor's own choice too).
QString comparable(QString entry)
{
    static const QRegularExpression number(QStringLiteral(R"(^(\[\d+\]|\d+\.)\s*)"));
    static const QRegularExpression yearLetter(QStringLiteral(R"(\b(\d{4}|n\.d\.-?)[a-z]\b)"));
    entry = entry.simplified().remove(number);
    entry.replace(yearLetter, QStringLiteral("\\1"));
    return entry.replace(QStringLiteral("n.d.-"), QStringLiteral("n.d."));
}

// How many of `ours` the other processor wrote the same (each entry matched once), and the
// entries that differ, ours first ("<") and then theirs (">").
std::pair<int, QStringList> compareEntries(const QStringList& ours, const QStringList& theirs,
                                           Qt::CaseSensitivity cs)
{
    QStringList left = theirs;
    QStringList onlyOurs;
    for (const QString& entry : ours) {
        const auto found = std::find_if(left.begin(), left.end(), [&](const QString& other) {
            return entry.compare(other, cs) == 0;
        });
        if (found == left.end())
            onlyOurs << QStringLiteral("< ") + entry;
        else
            left.erase(found);
    }
    QStringList differences = onlyOurs;
    for (const QString& entry : left)
        differences << QStringLiteral("> ") + entry;
    return {int(ours.size() - onlyOurs.size()), differences};
}

// The other processor writing the bibliography of every entry of `bibliography` in `style`, in
// plain text; it runs beside the test until its entries are asked for.
class PandocRun
{
public:
    PandocRun(const QString& style, const QString& bibliography)
    {
        m_process.start(QStringLiteral("pandoc"),
                        {"--citeproc", "--csl", style, "--bibliography", bibliography, "-f",
                         "markdown", "-t", "plain", "--wrap=none"});
        m_process.write("---\nnocite: '@*'\n---\n");
        m_process.closeWriteChannel();
    }
    // One entry each; nothing when it failed.
    QStringList entries()
    {
        if (!m_process.waitForFinished(60000) || m_process.exitCode() != 0)
            return {};
        QStringList entries;
        for (const QString& entry : QString::fromUtf8(m_process.readAllStandardOutput())
                                        .split(QStringLiteral("\n\n"), Qt::SkipEmptyParts)) {
            if (!entry.trimmed().isEmpty())
                entries << comparable(entry);
        }
        return entries;
    }

private:
    QProcess m_process;
};

// The tables a copy carries, as the sqlite3 shell reads them: one text per table, in row order.
QStringList tableDumps(const QString& file)
{
    QStringList dumps;
    for (const auto* defs : {&db::projectTables(), &db::addedTables()}) {
        for (const db::TableDef& t : *defs)
            dumps << t.name + QStringLiteral(":\n") +
                         test::sqliteShell(
                             file, QStringLiteral("select * from [%1] order by rowid").arg(t.name));
    }
    return dumps;
}

QString indexDump(const QString& file)
{
    // The pages' text is kept compressed: its size and the words the index finds tell it.
    return test::sqliteShell(file,
                             QStringLiteral("select page, length(packed) from [Full Text "
                                            "Pages] order by page; select rowid from [Full "
                                            "Text]('moon'); select * from [Full Text Files];"));
}

// A project with rows in every table, ids with gaps, Null beside "", letters outside ASCII and
// quotes, and a page of a file in the full-text index; closed, as a user leaves it.
void fillEveryTable(test::TempProject& p)
{
    test::addPaper(QStringLiteral("Gone"));
    const qint64 paper = test::addPaper(QStringLiteral("Tides of O'Brien's \"Größe\""),
                                        {{"Year", "2003"}, {"Summary", "line 1\nline 2"}});
    const qint64 other = test::addPaper(QStringLiteral("Signals in Clay"));
    const qint64 author = test::addAuthor(QStringLiteral("Ødegaard"), QString());
    test::linkAuthor(paper, author);
    test::cite(paper, other);
    test::logHours({QStringLiteral("Reading|2:00")});
    const QString id = QString::number(paper);
    test::addRow(QStringLiteral("Keywords"), {{"Keyword", "tide"}, {"Definition", "sea*"}});
    test::addRow(QStringLiteral("Paper Keywords List"), {{"Paper ID", id}, {"Keyword", "tide"}});
    const qint64 model = test::addRow(QStringLiteral("Models"), {{"Model", "Lunar pull"}});
    test::addRow(QStringLiteral("Paper Models List"),
                 {{"Paper ID", id}, {"Model ID", QString::number(model)}});
    test::addRow(QStringLiteral("Paper Statements List"),
                 {{"Paper ID", id}, {"Statement", "The tide turns."}});
    test::addRow(QStringLiteral("Meeting"), {{"Date", "07/12/26"}, {"Subject", "Review"}});
    test::addRow(QStringLiteral("Master"), {{"ToDos", "read [everything]"}});
    test::addRow(QStringLiteral("Paper Extra Fields"),
                 {{"Paper ID", id}, {"Field Name", "DOI"}, {"Value", "10.1000/x"}});
    const qint64 file =
        test::addRow(QStringLiteral("Paper Files"),
                     {{"Paper ID", id}, {"Path", "tides.txt"}, {"Kind", "linked"}, {"Size", "24"}});
    test::addPaper(QStringLiteral("Gone"));
    fulltext::IndexChange page;
    page.fileId = static_cast<qint32>(file);
    page.paperId = static_cast<qint32>(paper);
    page.size = 24;
    page.modified = QStringLiteral("2026-12-07");
    page.hash = QStringLiteral("ab");
    page.extraction.pages = QStringList{QStringLiteral("the moon pulls the tide")};
    fulltext::writeChange(p.db(), page);
    p.db().Close();
    test::sqliteShell(p.file(), QStringLiteral("delete from Papers where [Title] = 'Gone';"));
}
} // namespace

class TstCli : public QObject
{
    Q_OBJECT

private slots:
    void usage_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("message");
        const auto row = [](const char* name, const QStringList& args, int status,
                            const char* message) {
            QTest::newRow(name) << args << status << QString::fromLatin1(message);
        };
        row("help", {"--help"}, 0, "Usage:");
        row("help after a command", {"export", "-h"}, 0, "Usage:");
        row("nothing", {}, 2, "no command given");
        row("unknown command", {"merge", "p.mdb"}, 2, "unknown command");
        row("unknown option", {"export", "p.mdb", "--fast"}, 2, "unknown option --fast");
        row("export without format", {"export", "p.mdb"}, 2, "needs --format");
        row("unknown format", {"export", "p.mdb", "--format", "word"}, 2, "unknown format word");
        row("format without value", {"export", "p.mdb", "--format"}, 2, "after '--format'");
        row("unknown short option", {"import", "-x", "p.mdb", "a.bib"}, 2, "unknown option -x");
        row("options end at --", {"import", "p.mdb", "--", "--a.txt"}, 2, "format of --a.txt");
        row("import without files", {"import", "p.mdb"}, 2, "at least one file");
        row("unknown extension", {"import", "p.mdb", "refs.txt"}, 2, "give --format");
        row("cite without style", {"cite", "p.mdb", "--all"}, 2, "needs --style");
        row("cite with ids and all", {"cite", "p.mdb", "--style", "apa", "--all", "--ids", "1"}, 2,
            "either --ids or --all");
        row("cite ids not numbers", {"cite", "p.mdb", "--style", "apa", "--ids", "1,x"}, 2,
            "paper numbers");
        row("cite format", {"cite", "p.mdb", "--style", "apa", "--all", "--format", "ris"}, 2,
            "text, html or rtf");
        row("copy with one project", {"copy", "p.mdb"}, 2, "needs a source and a destination");
        row("copy with an option", {"copy", "p.mdb", "q.mdb", "--all"}, 2, "copy takes no option");
        row("init-server of a file", {"init-server", "p.mdb"}, 2, "not a server address");
    }
    void usage()
    {
        QFETCH(QStringList, args);
        QFETCH(int, status);
        QFETCH(QString, message);
        const Run r = cli(args);
        QCOMPARE(r.status, status);
        QVERIFY2((status == 0 ? r.out : r.err).contains(message), qPrintable(r.out + r.err));
    }

    // The project is never created here, never changed when refused, and a file that is not a
    // project is refused.
    void badProject_data()
    {
        QTest::addColumn<QByteArray>("content"); // for "without tables": the SQL that makes it
        QTest::addColumn<QString>("message");
        QTest::newRow("missing") << QByteArray() << "does not exist";
        QTest::newRow("empty file") << QByteArray("") << "cannot be opened";
        QTest::newRow("cut short")
            << test::bytes("SQLite format 3\0\x10\0\x01\x01") << "cannot be opened";
        QTest::newRow("without tables")
            << QByteArray("create table t(x);") << "the table 'Authors' is missing";
    }
    void badProject()
    {
        QFETCH(QByteArray, content);
        QFETCH(QString, message);
        QTemporaryDir dir;
        const QString project = dir.filePath(QStringLiteral("p.mdb"));
        const QByteArray tag(QTest::currentDataTag());
        if (tag == "without tables")
            test::sqliteShell(project, QString::fromLatin1(content));
        else if (tag != "missing")
            writeFile(project, content);
        const QByteArray before = readFile(project);
        const QString bib = dir.filePath(QStringLiteral("a.bib"));
        writeFile(bib, "@misc{k, title = {T}}");
        for (const QStringList& args : {QStringList{"import", project, bib},
                                        QStringList{"export", project, "--format", "ris"}}) {
            const Run r = cli(args);
            QCOMPARE(r.status, 1);
            QVERIFY2(r.err.contains(message), qPrintable(r.err));
            QVERIFY(r.out.isEmpty());
        }
        QCOMPARE(readFile(project), before);
        QCOMPARE(QFileInfo::exists(project), tag != "missing");
    }

    void importAndExport()
    {
        test::TempProject p;
        p.db().Close(); // the program opens the file itself
        const QString good = p.folder() + QStringLiteral("/good.bib");
        const QString empty = p.folder() + QStringLiteral("/empty.ris");
        const QString json = p.folder() + QStringLiteral("/refs.txt");
        writeFile(good, "@article{w03, author = {Wendrake, Jonas}, title = {Tides}, year = 2003}\n"
                        "@article{broken, title = {Open\n");
        writeFile(empty, "");
        // In UTF-16: read as any other.
        QStringEncoder utf16(QStringEncoder::Utf16LE, QStringEncoder::Flag::WriteBom);
        writeFile(json, utf16(QStringLiteral("[{\"id\": \"j1\", \"type\": \"book\", \"title\": "
                                             "\"Größe\", \"author\": [{\"family\": \"Ødegaard\", "
                                             "\"given\": \"Åse\"}]}]")));
        Run r = cli({"import", p.file(), good});
        QCOMPARE(r.status, 0); // read, with one entry skipped
        QVERIFY2(r.out.contains(QStringLiteral("Added 1 paper, 1 author")), qPrintable(r.out));
        QVERIFY(r.out.contains(QStringLiteral("good.bib, line 2 (broken)")));
        // One file that cannot be read: the others are still imported, the status says it.
        r = cli({"import", p.file(), empty, "--format=csljson", json});
        QCOMPARE(r.status, 1);
        QVERIFY(r.out.contains(QStringLiteral("empty.ris is empty")));
        QCOMPARE(test::sqliteShell(p.file(), QStringLiteral("select count(*) from Papers")), "2");
        r = cli({"export", p.file(), "--format", "bibtex"});
        QCOMPARE(r.status, 0);
        QVERIFY(r.out.contains(QStringLiteral("@article{w03,\n  author = {Wendrake, Jonas}")));
        QVERIFY2(r.out.contains(
                     QStringLiteral("@book{j1,\n  author = {Ødegaard, Åse},\n  title = {Größe}")),
                 qPrintable(r.out));
        QVERIFY(r.err.isEmpty());
        // --output writes the same text; an earlier file is kept when the writing fails.
        const QString out = p.folder() + QStringLiteral("/out.bib");
        QCOMPARE(cli({"export", p.file(), "--format", "bibtex", "--output", out}).status, 0);
        QCOMPARE(QString::fromUtf8(readFile(out)), r.out);
        const QString missingFolder = p.folder() + QStringLiteral("/no/such/folder/out.bib");
        r = cli({"export", p.file(), "--format", "ris", "-o", missingFolder});
        QCOMPARE(r.status, 1);
        QVERIFY(r.err.contains(QStringLiteral("could not be written")));
        QVERIFY(!QFileInfo::exists(missingFolder));
        const QString taken = p.folder() + QStringLiteral("/taken");
        QVERIFY(QDir().mkpath(taken));
        QCOMPARE(cli({"export", p.file(), "--format", "ris", "--output", taken}).status, 1);
        QVERIFY(QFileInfo(taken).isDir());
        QCOMPARE(QDir(p.folder()).entryList(QDir::Files).size(), 5);
    }

    // References formatted in a style given by its file, as a bibliography sorted as the style
    // sorts, a citation, HTML; papers that are not there, and a style that is not one, refused.
    void citeAndStyles()
    {
        const QString styles = test::sharedFolder(QStringLiteral("csl-styles"));
        if (styles.isEmpty() || !QFileInfo::exists(QFileInfo(QStringLiteral(QUIRELLE_CLI))
                                                       .dir()
                                                       .filePath(QStringLiteral("citeproc.js"))))
            QSKIP("no styles beside the project, or no citeproc.js beside the program");
        const QString apa = styles + QStringLiteral("/apa.csl");
        test::TempProject p;
        p.db().Close();
        const QString bib = p.folder() + QStringLiteral("/refs.bib");
        writeFile(bib, "@article{w03, author = {Wendrake, Jonas}, title = {Tides of clay},\n"
                       "  journal = {Clay Review}, volume = 12, year = 2003}\n"
                       "@book{a99, author = {Abbot, Ned and Brun, Ola}, title = {Anvils},\n"
                       "  publisher = {Ferrous}, year = 1999}\n");
        QCOMPARE(cli({"import", p.file(), bib}).status, 0);
        const QByteArray before = readFile(p.file());

        Run r = cli({"cite", p.file(), "--style", apa, "--all"});
        QCOMPARE(r.status, 0);
        const QStringList lines = r.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), 2);
        QCOMPARE(lines[0], QStringLiteral("Abbot, N., & Brun, O. (1999). Anvils. Ferrous."));
        QCOMPARE(lines[1], QStringLiteral("Wendrake, J. (2003). Tides of clay. Clay Review, 12."));
        r = cli({"cite", p.file(), "--style", apa, "--ids", "1,2", "--citation"});
        QCOMPARE(r.out, QStringLiteral("(Abbot & Brun, 1999; Wendrake, 2003)\n"));
        const QString html = p.folder() + QStringLiteral("/refs.html");
        QCOMPARE(cli({"cite", p.file(), "--style", apa, "--ids", "1", "--format", "html",
                      "--output", html})
                     .status,
                 0);
        QVERIFY(readFile(html).contains("<i>Clay Review</i>, <i>12</i>."));
        QCOMPARE(readFile(p.file()), before); // formatting writes nothing into the project

        r = cli({"cite", p.file(), "--style", apa, "--ids", "1,77"});
        QCOMPARE(r.status, 1);
        QVERIFY(r.err.contains(QStringLiteral("not every paper")));
        r = cli({"cite", p.file(), "--style", bib, "--all"});
        QCOMPARE(r.status, 1);
        QVERIFY2(r.err.contains(QStringLiteral("is not a valid CSL style")), qPrintable(r.err));
        r = cli({"cite", p.file(), "--style", "no-such-style-here", "--all"});
        QCOMPARE(r.status, 1);
        QVERIFY(r.err.contains(QStringLiteral("No citation style \"no-such-style-here\"")));

        // The styles found: the user's own folder (the working folder's "styles") first.
        QProcess list;
        QDir().mkpath(p.folder() + QStringLiteral("/styles"));
        QFile::copy(apa, p.folder() + QStringLiteral("/styles/quirelle-own.csl"));
        list.setWorkingDirectory(p.folder());
        list.start(QStringLiteral(QUIRELLE_CLI), {"styles", "quirelle-own"});
        QVERIFY(list.waitForFinished(60000));
        QCOMPARE(QString::fromUtf8(list.readAllStandardOutput()),
                 QStringLiteral("quirelle-own\tAPA Style 7th edition\n"));
    }

    // The bibliographies of real-world BibTeX files (the example databases of BibTeX and
    // BibLaTeX, and those of other programs' test suites) in common styles, against an
    // independent processor's: formatting the project's own CSL-JSON export, it writes nearly
    // every entry the same; reading the BibTeX files itself, with its own mapping, what differs
    // is listed (letter case aside, as it makes titles sentence case where it reads English).
    void formattedAsAnotherProcessorFormats_data()
    {
        QTest::addColumn<QString>("style");
        QTest::addColumn<double>("least"); // the share of entries written the same, in %
        QTest::newRow("APA") << "apa" << 88.0;
        QTest::newRow("Chicago author-date") << "chicago-author-date" << 78.0;
        QTest::newRow("IEEE") << "ieee" << 82.0;
        QTest::newRow("Harvard") << "harvard-cite-them-right" << 80.0;
        QTest::newRow("Vancouver") << "vancouver" << 93.0;
        QTest::newRow("MLA") << "modern-language-association" << 80.0;
        QTest::newRow("Nature") << "nature" << 93.0;
    }
    void formattedAsAnotherProcessorFormats()
    {
        QFETCH(QString, style);
        QFETCH(double, least);
        const QString styles = test::sharedFolder(QStringLiteral("csl-styles"));
        const QString corpora = test::sharedFolder(QStringLiteral("corpora/bibtex"));
        if (QStandardPaths::findExecutable(QStringLiteral("pandoc")).isEmpty())
            QSKIP("pandoc is not installed");
        // The newer copies beside the project, else the system's.
        QString csl = styles + QLatin1Char('/') + style + QStringLiteral(".csl");
        if (styles.isEmpty() || !QFileInfo::exists(csl))
            csl = QStringLiteral("/usr/share/citation-style-language/styles/") + style +
                  QStringLiteral(".csl");
        if (corpora.isEmpty() || !QFileInfo::exists(csl))
            QSKIP("no such style, or no corpora beside the project");
        if (!QFileInfo::exists(
                QFileInfo(QStringLiteral(QUIRELLE_CLI)).dir().filePath("citeproc.js")))
            QSKIP("no citeproc.js beside the program");
        if (!m_corpus) {
            // One project for every row: the example databases, then the other files.
            m_corpus = std::make_unique<test::TempProject>();
            m_corpus->db().Close();
            const QString folder = m_corpus->folder();
            writeFile(folder + QStringLiteral("/examples.bib"),
                      readFile(QFINDTESTDATA("data/xampl.bib")) + '\n' +
                          readFile(QFINDTESTDATA("data/biblatex-examples.bib")));
            QByteArray others;
            for (const QString& name : QDir(corpora).entryList(
                     {"citationjs__*.bib", "pandoc__*.bib"}, QDir::Files, QDir::Name))
                others += readFile(corpora + QLatin1Char('/') + name) + '\n';
            writeFile(folder + QStringLiteral("/others.bib"), others);
            cli({"import", m_corpus->file(), folder + QStringLiteral("/examples.bib"),
                 folder + QStringLiteral("/others.bib")});
            QCOMPARE(cli({"export", m_corpus->file(), "--format", "csljson", "--output",
                          folder + QStringLiteral("/corpus.json")})
                         .status,
                     0);
        }
        const QString folder = m_corpus->folder();
        const auto entriesOf = [](const Run& run) {
            QStringList entries;
            for (const QString& line : run.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts))
                entries << comparable(line);
            return entries;
        };
        PandocRun fromExportRun(csl, folder + QStringLiteral("/corpus.json"));
        PandocRun fromBibTeXRun(csl, folder + QStringLiteral("/examples.bib"));
        const Run all = cli({"cite", m_corpus->file(), "--style", csl, "--all"});
        QCOMPARE(all.status, 0);
        const QStringList ours = entriesOf(all);
        QVERIFY(ours.size() > 150);
        const QStringList fromExport = fromExportRun.entries();
        QVERIFY(!fromExport.isEmpty());
        const auto [same, differences] = compareEntries(ours, fromExport, Qt::CaseSensitive);
        const double share = 100.0 * same / std::max(ours.size(), fromExport.size());

        // The example databases read by the other processor in its own way (it keeps the
        // entries without a title that an import leaves out): how many of its entries ours has.
        const QStringList fromBibTeX = fromBibTeXRun.entries();
        const auto [read, readDifferences] = compareEntries(fromBibTeX, ours, Qt::CaseInsensitive);
        qInfo("%s: %d of %d entries the same (%.1f%%) from the export; %d of %d (%.1f%%) when "
              "it reads the example databases itself",
              qPrintable(style), same, int(ours.size()), share, read, int(fromBibTeX.size()),
              100.0 * read / std::max<qsizetype>(fromBibTeX.size(), 1));
        // Every difference with QUIRELLE_SHOW_DIFFERENCES set; else a few.
        const bool every = qEnvironmentVariableIsSet("QUIRELLE_SHOW_DIFFERENCES");
        for (const QString& d : every ? differences : differences.mid(0, 10))
            qInfo("  %s", qPrintable(d));
        for (const QString& d : every ? readDifferences : QStringList()) {
            if (d.startsWith(QLatin1Char('<')))
                qInfo("  read: %s", qPrintable(d));
        }
        QVERIFY2(share >= least, qPrintable(QStringLiteral("%1% the same").arg(share)));
    }

    // Files linked and attached to a paper from the command line, and listed with their state.
    void attachAndListFiles()
    {
        test::TempProject p;
        const qint64 paper = test::addPaper(QStringLiteral("Signals in Clay"), {{"Year", "2003"}});
        p.db().Close();
        const QString notes = p.folder() + QStringLiteral("/notes.txt");
        writeFile(notes, "clay remembers\n");
        const QString id = QString::number(paper);
        QCOMPARE(cli({"attach", p.file(), id, notes}).status, 0);
        QCOMPARE(cli({"attach", p.file(), id, notes, "--copy"}).status, 1); // twice: refused
        QCOMPARE(cli({"attach", p.file(), "999", notes}).status, 1);
        Run r = cli({"files", p.file()});
        QCOMPARE(r.status, 0);
        QVERIFY2(r.out.startsWith(id + QStringLiteral("\tlinked\t")), qPrintable(r.out));
        QVERIFY(r.out.contains(QStringLiteral("notes.txt")));
        QVERIFY(QFile::remove(notes));
        r = cli({"files", p.file(), "--missing"});
        QVERIFY2(r.out.startsWith(id + QStringLiteral("\tmissing\t")), qPrintable(r.out));
    }

    // A project that another copy of the program has open is not imported into (not even the
    // tables a newer version keeps are made); once let go, it is, and the lock taken meanwhile is
    // let go at the end. An export writes nothing into the project, open elsewhere or not.
    void projectInUse()
    {
        test::TempProject p;
        p.db().Close();
        const QString ris = p.folder() + QStringLiteral("/a.ris");
        writeFile(ris, "TY  - JOUR\nAU  - Wendrake, Jonas\nTI  - Tides\nPY  - 2003\nER  - \n");
        QCOMPARE(cli({"import", p.file(), ris}).status, 0);
        test::sqliteShell(p.file(), QStringLiteral("drop table [Paper Extra Fields];"));
        const QByteArray before = readFile(p.file());
        const QString lockFile = db::ProjectLock::lockFileFor(p.file());
        const QStringList exportArgs{"export", p.file(), "--format", "bibtex"};
        {
            db::ProjectLock held(p.file());
            QCOMPARE(held.tryLock(), db::ProjectLock::Status::Locked);
            Run r = cli({"import", p.file(), ris});
            QCOMPARE(r.status, 1);
            const QString holder =
                QStringLiteral("process %1").arg(QCoreApplication::applicationPid());
            QVERIFY2(r.err.contains(QStringLiteral("already open in another copy")) &&
                         r.err.contains(holder),
                     qPrintable(r.err));
            QVERIFY(r.out.isEmpty());
            r = cli(exportArgs);
            QCOMPARE(r.status, 0);
            QVERIFY2(r.out.contains(QStringLiteral("@article{Wendrake2003,")), qPrintable(r.out));
            QVERIFY(held.isLocked());
        }
        QVERIFY(!QFileInfo::exists(lockFile));
        QCOMPARE(cli(exportArgs).status, 0);
        QCOMPARE(readFile(p.file()), before);
        const Run r = cli({"import", p.file(), ris});
        QCOMPARE(r.status, 0);
        QVERIFY2(r.out.contains(QStringLiteral("1 duplicate")), qPrintable(r.out + r.err));
        QVERIFY(!QFileInfo::exists(lockFile));
        // Only a project's name is taken for one.
        const QString renamed = p.folder() + QStringLiteral("/p.sqlite");
        QVERIFY(QFile::copy(p.file(), renamed));
        QVERIFY(cli({"export", renamed, "--format", "ris"}).err.contains(".mdb"));
    }

    // A project copied into a new file and back, by either name: every table the same, ids
    // kept, the index searchable in the copy; a second copy into the same file is refused.
    void copyProject()
    {
        test::TempProject p;
        fillEveryTable(p);
        const QString copy = p.folder() + QStringLiteral("/copy");
        Run r = cli({"copy", p.file(), copy});
        QCOMPARE(r.status, 0);
        QVERIFY2(r.out.contains(QStringLiteral("Papers\t2\t")), qPrintable(r.out + r.err));
        QVERIFY(r.out.contains(QStringLiteral("every table's row count and checksum match")));
        const QStringList dumps = tableDumps(p.file());
        QVERIFY(dumps.join(QString()).contains(QStringLiteral("Ødegaard")));
        QCOMPARE(tableDumps(copy + QStringLiteral(".mdb")), dumps);
        QCOMPARE(indexDump(copy + QStringLiteral(".mdb")), indexDump(p.file()));
        // The number of a paper deleted before the copy is not handed out again.
        const QString numbers = QStringLiteral("select * from sqlite_sequence order by name");
        QVERIFY(test::sqliteShell(p.file(), numbers).contains(QStringLiteral("Papers|4")));
        QCOMPARE(test::sqliteShell(copy + QStringLiteral(".mdb"), numbers),
                 test::sqliteShell(p.file(), numbers));
        r = cli({"search", copy + QStringLiteral(".mdb"), "moon"});
        QVERIFY2(r.out.contains(QStringLiteral("\tpage 1\t")), qPrintable(r.out + r.err));
        // Back into an empty project the program made.
        const QString back = p.folder() + QStringLiteral("/back");
        db::createProjectFile(back);
        QCOMPARE(cli({"copy", copy, back + QStringLiteral(".mdb")}).status, 0);
        QCOMPARE(tableDumps(back + QStringLiteral(".mdb")), dumps);
        r = cli({"copy", p.file(), back});
        QCOMPARE(r.status, 1);
        QVERIFY2(r.err.contains(QStringLiteral("already holds a project")), qPrintable(r.err));
        QCOMPARE(tableDumps(back + QStringLiteral(".mdb")), dumps);
    }

    // Whatever goes wrong, the destination is left as it was (a new one is not left behind),
    // and the user is told why.
    void copyRefused_data()
    {
        QTest::addColumn<QString>("message");
        QTest::newRow("source missing") << "does not exist";
        QTest::newRow("source not a project") << "the table 'Authors' is missing";
        QTest::newRow("same project") << "both the source and the destination";
        QTest::newRow("destination holds papers") << "already holds a project";
        QTest::newRow("destination in use") << "already open in another copy";
        QTest::newRow("a row refused") << "no files here";
        QTest::newRow("a row changed in writing") << "does not match";
        QTest::newRow("new destination, a row refused") << "cannot be a zero-length string";
    }
    void copyRefused()
    {
        QFETCH(QString, message);
        const QByteArray tag(QTest::currentDataTag());
        test::TempProject p;
        fillEveryTable(p);
        QString source = p.file();
        const QString destination = p.folder() + QStringLiteral("/dest.mdb");
        if (tag == "source missing")
            source = p.folder() + QStringLiteral("/none.mdb");
        if (tag == "source not a project")
            test::sqliteShell(source = p.folder() + QStringLiteral("/other.mdb"),
                              QStringLiteral("create table t(x);"));
        if (tag == "new destination, a row refused")
            test::sqliteShell(source, QStringLiteral("PRAGMA ignore_check_constraints = ON; "
                                                     "update Keywords set Keyword = '';"));
        const bool existing = !tag.contains("source") && !tag.startsWith("new");
        if (existing) {
            if (tag == "destination holds papers")
                QVERIFY(QFile::copy(p.file(), destination));
            else
                db::createProjectFile(destination.chopped(4));
        }
        if (tag == "a row refused")
            test::sqliteShell(destination, QStringLiteral("create trigger refuse before insert on "
                                                          "[Paper Files] begin select "
                                                          "raise(abort, 'no files here'); end;"));
        if (tag == "a row changed in writing")
            test::sqliteShell(destination, QStringLiteral("create trigger altered after insert on "
                                                          "Papers begin update Papers set Year = "
                                                          "'1999' where rowid = new.rowid; end;"));
        const QString before =
            existing ? test::sqliteShell(destination, QStringLiteral(".dump")) : QString();
        std::unique_ptr<db::ProjectLock> held;
        if (tag == "destination in use") {
            held = std::make_unique<db::ProjectLock>(destination);
            QCOMPARE(held->tryLock(), db::ProjectLock::Status::Locked);
        }
        const Run r = cli({"copy", source, tag == "same project" ? source : destination});
        QCOMPARE(r.status, 1);
        QVERIFY2(r.err.contains(message) && r.err.contains(QStringLiteral("left as it was")),
                 qPrintable(r.err));
        QVERIFY(r.out.isEmpty());
        if (existing) {
            QCOMPARE(test::sqliteShell(destination, QStringLiteral(".dump")), before);
        } else {
            QCOMPARE(QDir(p.folder()).entryList({QStringLiteral("dest*")}), QStringList());
        }
    }

    // A server that cannot be reached: status 1, and a password given in the address appears in
    // no message.
    void serverUnreachable()
    {
        test::TempProject p;
        p.db().Close();
        const QString address =
            QStringLiteral("postgresql://member:s3cret@/none?host=%1").arg(p.folder() + "/none");
        for (const QStringList& args :
             {QStringList{"init-server", address}, QStringList{"copy", p.file(), address},
              QStringList{"copy", address, p.folder() + "/back"}}) {
            const Run r = cli(args);
            QCOMPARE(r.status, 1);
            QVERIFY(!r.err.isEmpty());
            QVERIFY2(!(r.out + r.err).contains(QStringLiteral("s3cret")), qPrintable(r.err));
        }
        QVERIFY(!QFileInfo::exists(p.folder() + "/back.mdb"));
    }

    // Onto the throwaway server of the tests and back (QUIRELLE_TEST_PG names it): the tables
    // the same after the round trip, a second copy onto the server refused.
    void copyThroughServer()
    {
        const QString server = qEnvironmentVariable("QUIRELLE_TEST_PG");
        if (server.isEmpty())
            QSKIP("No test server: QUIRELLE_TEST_PG is not set.");
        const QString name = QStringLiteral("copy_%1").arg(QCoreApplication::applicationPid());
        const auto psql = [&server](const QString& sql) {
            QProcess p;
            p.start(QStringLiteral("psql"), {server, "-v", "ON_ERROR_STOP=1", "-c", sql});
            return p.waitForFinished(30000) && p.exitCode() == 0;
        };
        QVERIFY(psql(QStringLiteral("create database %1").arg(name)));
        const auto dropped =
            qScopeGuard([&] { psql(QStringLiteral("drop database %1").arg(name)); });
        QString address = server;
        address.replace(QStringLiteral("/postgres?"), QStringLiteral("/%1?").arg(name));
        Run r = cli({"init-server", address});
        if (r.err.contains(QStringLiteral("cannot open shared projects")))
            QSKIP("This build cannot open shared projects.");
        QCOMPARE(r.status, 0);
        test::TempProject p;
        fillEveryTable(p);
        // A row the server refuses, sent with many others: the copy fails and leaves nothing.
        const QString refused = p.folder() + QStringLiteral("/refused.mdb");
        QVERIFY(QFile::copy(p.file(), refused));
        test::sqliteShell(refused, QStringLiteral("PRAGMA ignore_check_constraints = ON; update "
                                                  "[Paper Keywords List] set Keyword = '' where "
                                                  "rowid = (select max(rowid) from "
                                                  "[Paper Keywords List]);"));
        r = cli({"copy", refused, address});
        QCOMPARE(r.status, 1);
        QVERIFY2(r.err.contains(QStringLiteral("zero-length")), qPrintable(r.err));
        r = cli({"copy", p.file(), address});
        QVERIFY2(r.status == 0, qPrintable(r.err));
        const QString back = p.folder() + QStringLiteral("/back");
        r = cli({"copy", address, back});
        QVERIFY2(r.status == 0, qPrintable(r.err));
        QCOMPARE(tableDumps(back + QStringLiteral(".mdb")), tableDumps(p.file()));
        r = cli({"copy", back, address});
        QCOMPARE(r.status, 1);
        QVERIFY2(r.err.contains(QStringLiteral("already holds a project")), qPrintable(r.err));
    }

private:
    std::unique_ptr<test::TempProject> m_corpus; // the comparison's project, made once
};

QTEST_GUILESS_MAIN(TstCli)
#include "tst_cli.moc"
