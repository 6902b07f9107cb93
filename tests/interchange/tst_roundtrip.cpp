// Round trips on real-world and hand-made files: an export imported afresh exports the same
// text, and Pandoc reads the same titles, names, years and DOIs in the export as in the original;
// and every file of the shared corpora keeps its papers through each format.
#include "interchange/data/exporter.h"
#include "interchange/data/extrafields.h"
#include "interchange/data/importer.h"
#include "testsupport.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QSet>
#include <QStandardPaths>

using namespace quirelle;
using namespace quirelle::interchange;

namespace {

QByteArray exportAll(db::Database& database, Format format)
{
    QByteArray text;
    const ExportResult r = exportText(database, {format, std::nullopt}, text);
    if (r.outcome != ExportResult::Outcome::Written)
        qWarning() << r.message;
    return text;
}

// Pandoc's reading of a file, as CSL-JSON items by lower-case id.
QHash<QString, QJsonObject> pandocRead(const QString& file, const QString& from)
{
    QProcess pandoc;
    pandoc.start(
        QStandardPaths::findExecutable(QStringLiteral("pandoc")),
        {QStringLiteral("-f"), from, QStringLiteral("-t"), QStringLiteral("csljson"), file});
    pandoc.waitForFinished(60000);
    QHash<QString, QJsonObject> items;
    for (const QJsonValue& v : QJsonDocument::fromJson(pandoc.readAllStandardOutput()).array()) {
        const QJsonObject o = v.toObject();
        items.insert(o.value(QStringLiteral("id")).toString().toLower(), o);
    }
    return items;
}

// Text as compared: markup and letter case aside (Pandoc changes the case of titles whose
// case-protecting braces are gone), blanks (no-break spaces too) collapsed.
QString plain(const QString& text)
{
    static const QRegularExpression tags(QStringLiteral("<[^>]+>"));
    return QString(text).remove(tags).simplified().toCaseFolded();
}

QString people(const QJsonObject& item, const char* role)
{
    QStringList out;
    for (const QJsonValue& v : item.value(QLatin1String(role)).toArray()) {
        const QJsonObject n = v.toObject();
        QStringList parts;
        for (const char* part :
             {"given", "dropping-particle", "non-dropping-particle", "family", "literal", "suffix"})
            parts << n.value(QLatin1String(part)).toString();
        parts.removeAll(QString());
        out << plain(parts.join(QLatin1Char(' ')));
    }
    return out.join(QStringLiteral("; "));
}

QString yearOf(const QJsonObject& item)
{
    const QJsonObject issued = item.value(QStringLiteral("issued")).toObject();
    const QJsonArray parts = issued.value(QStringLiteral("date-parts")).toArray();
    if (!parts.isEmpty() && !parts[0].toArray().isEmpty())
        return QString::number(parts[0].toArray()[0].toInt());
    return plain(issued.value(QStringLiteral("literal")).toString());
}

// What a round trip must keep of each paper: title, year, first author and DOI, in the order
// the papers were stored.
QStringList papersOf(db::Database& database)
{
    QHash<qint64, QString> firstAuthor, doi, surname;
    db::RowStream authors(database, QStringLiteral("Authors"),
                          {QStringLiteral("Author ID"), QStringLiteral("Surname")});
    while (authors.next())
        surname.insert(authors.number(0), authors.text(1));
    db::RowStream links(database, QStringLiteral("Paper Authors List"),
                        {QStringLiteral("Paper ID"), QStringLiteral("Author ID")});
    while (links.next()) {
        if (!firstAuthor.contains(links.number(0)))
            firstAuthor.insert(links.number(0), surname.value(links.number(1)));
    }
    db::RowStream extras(database, ExtraFieldsTable,
                         {QStringLiteral("Paper ID"), QStringLiteral("Value")},
                         QStringLiteral("Field Name"), QStringLiteral("doi"));
    while (extras.next())
        doi.insert(extras.number(0), extras.text(1));
    QStringList out;
    db::RowStream papers(
        database, QStringLiteral("Papers"),
        {QStringLiteral("Paper ID"), QStringLiteral("Title"), QStringLiteral("Year")});
    while (papers.next()) {
        const qint64 id = papers.number(0);
        out << QStringList{papers.text(1), papers.text(2), firstAuthor.value(id), doi.value(id)}
                   .join(QLatin1Char('|'));
    }
    return out;
}

// Fresh projects for the data layer alone: copies of one empty project, in a folder in memory
// where the system has one, so that the many small imports do not wait for the disk. One is open
// at a time.
class FreshProjects final
{
public:
    FreshProjects()
        : m_dir((QFileInfo(QStringLiteral("/dev/shm")).isWritable() ? QStringLiteral("/dev/shm")
                                                                    : QDir::tempPath()) +
                QStringLiteral("/quirelle-test-XXXXXX"))
    {
        db::createProjectFile(m_dir.filePath(QStringLiteral("empty")));
    }
    std::unique_ptr<db::Database> next()
    {
        const QString work = m_dir.filePath(QStringLiteral("work.mdb"));
        QFile::remove(work);
        QFile::copy(m_dir.filePath(QStringLiteral("empty.mdb")), work);
        return db::Database::OpenDatabase(work);
    }

private:
    QTemporaryDir m_dir;
};

// The shared corpora of real-world files: `../shared/corpora` beside the project's folder.
QString corporaFolder()
{
    const QString tests = QFINDTESTDATA("data");
    return tests.isEmpty()
               ? QString()
               : QDir(tests).absoluteFilePath(QStringLiteral("../../../../shared/corpora"));
}

// Pandoc's reading of a BibTeX text: each entry's id, year and DOI ("id|year|doi"), in the
// order of the text; nothing when it refuses the text.
std::optional<QStringList> pandocEntries(const QByteArray& bib)
{
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("all.bib"));
    test::writeFile(file, bib);
    QProcess pandoc;
    pandoc.start(QStandardPaths::findExecutable(QStringLiteral("pandoc")),
                 {QStringLiteral("-f"), QStringLiteral("biblatex"), QStringLiteral("-t"),
                  QStringLiteral("csljson"), file});
    pandoc.waitForFinished(120000);
    if (pandoc.exitStatus() != QProcess::NormalExit || pandoc.exitCode() != 0)
        return std::nullopt;
    QStringList entries;
    for (const QJsonValue& v : QJsonDocument::fromJson(pandoc.readAllStandardOutput()).array()) {
        const QJsonObject o = v.toObject();
        entries << QStringList{o.value(QStringLiteral("id")).toString(), yearOf(o),
                               o.value(QStringLiteral("DOI")).toString()}
                       .join(QLatin1Char('|'));
    }
    return entries;
}

} // namespace

class TstRoundTrip : public QObject
{
    Q_OBJECT

    FreshProjects m_projects;

private slots:
    void roundTrip_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<Format>("f");
        for (const char* file :
             {"xampl.bib", "biblatex-examples.bib", "tricky.bib", "sample.ris", "sample.json"}) {
            for (const Format f : {Format::BibTeX, Format::Ris, Format::CslJson})
                QTest::addRow("%s to %s", file, qPrintable(formatName(f)))
                    << QString::fromLatin1(file) << f;
        }
    }
    void roundTrip()
    {
        QFETCH(QString, file);
        QFETCH(Format, f);
        const QString source = QFINDTESTDATA("data/" + file);
        ImportSummary s;
        QByteArray first;
        {
            const auto original = m_projects.next();
            s = importFile(*original, source);
            QCOMPARE(s.papersAdded, s.entriesRead - int(s.skipped.size()));
            QVERIFY(s.papersAdded >= 3);
            first = exportAll(*original, f);
        }
        {
            // An entry skipped or taken for a duplicate would be missing from the second export.
            const auto copy = m_projects.next();
            importText(*copy, QString::fromUtf8(first), f, QStringLiteral("export"));
            QCOMPARE(QString::fromUtf8(exportAll(*copy, f)), QString::fromUtf8(first));
        }

        // Pandoc reads the real-world files and their BibTeX and CSL-JSON exports the same.
        if (f == Format::Ris || !(file == u"xampl.bib" || file == u"biblatex-examples.bib"))
            return;
        if (QStandardPaths::findExecutable(QStringLiteral("pandoc")).isEmpty())
            QSKIP("pandoc is not installed (scripts/install-deps installs it)");
        QTemporaryDir dir;
        const QString exported = dir.filePath(QStringLiteral("export.") + fileExtension(f));
        test::writeFile(exported, first);
        QSet<QString> skipped;
        for (const SkippedEntry& e : s.skipped)
            skipped.insert(e.key.toLower());
        const auto before = pandocRead(source, QStringLiteral("biblatex"));
        const auto after = pandocRead(exported, f == Format::BibTeX ? QStringLiteral("biblatex")
                                                                    : QStringLiteral("csljson"));
        QVERIFY(before.size() > 30);
        int compared = 0;
        for (auto it = before.begin(); it != before.end(); ++it) {
            const QString& id = it.key();
            if (skipped.contains(id))
                continue; // no title: listed as skipped
            QVERIFY2(after.contains(id), qPrintable(id));
            const QJsonObject& a = *it;
            const QJsonObject& b = after[id];
            // For the issue of a periodical (jcg) Pandoc's BibLaTeX reader takes the issue's
            // title for the item's; the CSL-JSON export gives the periodical's.
            if (!(id == u"jcg" && f == Format::CslJson))
                QCOMPARE(plain(b.value(QStringLiteral("title")).toString()),
                         plain(a.value(QStringLiteral("title")).toString()));
            QCOMPARE(people(b, "author"), people(a, "author"));
            QCOMPARE(people(b, "editor"), people(a, "editor"));
            // A year Pandoc does not take from a cross-referenced entry is inherited here.
            if (!yearOf(a).isEmpty())
                QCOMPARE(yearOf(b), yearOf(a));
            QCOMPARE(b.value(QStringLiteral("DOI")).toString(),
                     a.value(QStringLiteral("DOI")).toString());
            ++compared;
        }
        QCOMPARE(compared, s.papersAdded);
    }

    // Dates as each format writes them, and the paper's year through every round trip.
    void dates_data()
    {
        QTest::addColumn<QString>("fields");
        QTest::addColumn<QString>("year");
        QTest::addColumn<QString>("issued"); // the CSL-JSON export's
        QTest::addColumn<QString>("ris");    // lines of the RIS export
        QTest::newRow("year") << "year = 1991"
                              << "1991"
                              << R"({"date-parts": [[1991]]})"
                              << "PY  - 1991\r\n";
        QTest::newRow("year and month") << "year = 1991, month = mar"
                                        << "1991"
                                        << R"({"date-parts": [[1991, 3]]})"
                                        << "PY  - 1991\r\n";
        QTest::newRow("day") << "date = {1991-03-11}"
                             << "1991"
                             << R"({"date-parts": [[1991, 3, 11]]})"
                             << "PY  - 1991\r\nDA  - 1991/03/11/\r\n";
        QTest::newRow("range") << "date = {1991-03/1991-05}"
                               << "1991"
                               << R"({"date-parts": [[1991, 3], [1991, 5]]})"
                               << "N1  - date: 1991-03/1991-05\r\n";
        QTest::newRow("years") << "date = {1991/1993}"
                               << "1991"
                               << R"({"date-parts": [[1991], [1993]]})"
                               << "PY  - 1991\r\n";
        QTest::newRow("circa") << "date = {1991?}"
                               << "1991"
                               << R"({"circa": true, "date-parts": [[1991]]})"
                               << "N1  - date: 1991?\r\n";
        QTest::newRow("circa, as BibLaTeX writes it")
            << "date = {1991~}"
            << "1991"
            << R"({"circa": true, "date-parts": [[1991]]})"
            << "N1  - date: 1991~\r\n";
        QTest::newRow("season") << "date = {1991-21}"
                                << "1991"
                                << R"({"date-parts": [[1991]], "season": 1})"
                                << "PY  - 1991\r\n";
        // ISO 8601 counts a year 0, CSL does not: -0379 is 380 BCE.
        QTest::newRow("before the era") << "date = {-0379-02}"
                                        << "-379"
                                        << R"({"date-parts": [[-380, 2]]})"
                                        << "PY  - -379\r\nDA  - -0379/02//\r\n";
        QTest::newRow("year 54") << "year = 54"
                                 << "54"
                                 << R"({"date-parts": [[54]]})"
                                 << "PY  - 54\r\n";
        QTest::newRow("not a date") << "year = {in press}"
                                    << ""
                                    << R"({"literal": "in press"})"
                                    << "PY  - in press\r\n";
    }
    void dates()
    {
        QFETCH(QString, fields);
        QFETCH(QString, year);
        QFETCH(QString, issued);
        QFETCH(QString, ris);
        const QString bib =
            QStringLiteral("@misc{k, title = {T}, %1, urldate = {2020-07-04}}\n").arg(fields);
        QByteArray exports[3];
        {
            const auto p = m_projects.next();
            importText(*p, bib, Format::BibTeX, QStringLiteral("test.bib"));
            QCOMPARE(papersOf(*p), QStringList({"T|" + year + "||"}));
            for (const Format f : {Format::BibTeX, Format::Ris, Format::CslJson})
                exports[int(f)] = exportAll(*p, f);
        }
        const QString csl = QString::fromUtf8(exports[int(Format::CslJson)]);
        QVERIFY2(csl.contains(QStringLiteral("\"issued\": ") + issued), qPrintable(csl));
        QVERIFY(csl.contains(QStringLiteral("\"accessed\": {\"date-parts\": [[2020, 7, 4]]}")));
        QVERIFY2(exports[int(Format::Ris)].contains(ris.toUtf8()), exports[int(Format::Ris)]);
        for (const Format f : {Format::BibTeX, Format::Ris, Format::CslJson}) {
            const auto copy = m_projects.next();
            importText(*copy, QString::fromUtf8(exports[int(f)]), f, QStringLiteral("x"));
            QCOMPARE(papersOf(*copy), QStringList({"T|" + year + "||"}));
            QCOMPARE(QString::fromUtf8(exportAll(*copy, Format::CslJson)), csl);
        }
    }

    // CSL-JSON dates read: a year before the era as CSL counts it, the other date variables.
    void cslDates()
    {
        const auto p = m_projects.next();
        const QString item = QStringLiteral(
            R"([{"id": "x", "type": "book", "title": "T", "issued": {"date-parts": [[-100, 7, 13]]},
                "original-date": {"date-parts": [["68"]]}, "event-date": {"raw": "1991-03-11"},
                "accessed": {"date-parts": [[2020, 15]]}}])");
        importText(*p, item, Format::CslJson, QStringLiteral("x.json"));
        QCOMPARE(papersOf(*p), QStringList({"T|-100||"}));
        const QString bib = QString::fromUtf8(exportAll(*p, Format::BibTeX));
        QVERIFY(bib.contains(QStringLiteral("date = {-0099-07-13}")));
        QVERIFY(bib.contains(QStringLiteral("origdate = {0068}")));
        QVERIFY(bib.contains(QStringLiteral("eventdate = {1991-03-11}")));
        QVERIFY(bib.contains(QStringLiteral("urldate = {2020-23}")));
        const QString csl = QString::fromUtf8(exportAll(*p, Format::CslJson));
        for (const char* date : {R"("issued": {"date-parts": [[-100, 7, 13]]})",
                                 R"("original-date": {"date-parts": [[68]]})",
                                 R"("event-date": {"date-parts": [[1991, 3, 11]]})",
                                 R"("accessed": {"date-parts": [[2020]], "season": 3})"})
            QVERIFY2(csl.contains(QLatin1String(date)), date);
    }

    // What one format cannot say travels so that the next import gives it back: RIS notes for
    // fields without a tag, names RIS would split, BibLaTeX types for CSL's, CSL's particles.
    void whatAFormatCannotSay()
    {
        const QString bib = QStringLiteral(
            "@article{k, title = {Tides}, subtitle = {A Survey}, year = 2003,\n"
            "  author = {van Gennep, Arnold and De Geer, Gerard and {Council on Heart, Critical "
            "Care} and others},\n"
            "  DA = {2020-07-04}, AU = {Smith, Ann}, note = {seen: twice}, ranking = {A},\n"
            "  quotations = {One.\nTwo.}, maintitle = {Oceans}}\n"
            "@phdthesis{t, title = {Thesis}, author = {Okafor, Chidi}, school = {Kyoto}}\n");
        QByteArray exports[3];
        QStringList papers;
        {
            const auto p = m_projects.next();
            importText(*p, bib, Format::BibTeX, QStringLiteral("test.bib"));
            papers = papersOf(*p);
            for (const Format f : {Format::BibTeX, Format::Ris, Format::CslJson})
                exports[int(f)] = exportAll(*p, f);
        }
        const QString ris = QString::fromUtf8(exports[int(Format::Ris)]);
        for (const char* line :
             {"TI  - Tides: A Survey\r\n", "AU  - Council on Heart Critical Care\r\n",
              "N1  - note: seen: twice\r\n", "N1  - da: 2020-07-04\r\n", "N1  - au: Smith, Ann\r\n",
              "N1  - quotations: One.\r\nN1  - quotations: Two.\r\n", "N1  - maintitle: Oceans\r\n",
              "N1  - entrytype: phdthesis\r\n"})
            QVERIFY2(ris.contains(QLatin1String(line)), line);
        QVERIFY(!ris.contains(QStringLiteral("DA  - 2020")));
        QVERIFY(!ris.contains(QStringLiteral("AU  - Smith")));
        const QString csl = QString::fromUtf8(exports[int(Format::CslJson)]);
        QVERIFY(csl.contains(QStringLiteral(
            R"({"dropping-particle": "van", "family": "Gennep", "given": "Arnold"}, )"
            R"({"family": "Geer", "given": "Gerard", "non-dropping-particle": "De"}, )"
            R"({"literal": "Council on Heart, Critical Care"}])")));
        // Each export imported afresh gives the same papers, and its BibTeX export the same
        // fields as the original's.
        for (const Format f : {Format::Ris, Format::CslJson}) {
            const auto copy = m_projects.next();
            importText(*copy, QString::fromUtf8(exports[int(f)]), f, QStringLiteral("x"));
            QCOMPARE(papersOf(*copy), papers);
            const QString again = QString::fromUtf8(exportAll(*copy, Format::BibTeX));
            for (const char* field :
                 {"@phdthesis{t,", "subtitle = {A Survey}", "da = {2020-07-04}",
                  "au = {Smith, Ann}", "ranking = {A}", "quotations = {One.\nTwo.}",
                  "maintitle = {Oceans}",
                  "author = {van Gennep, Arnold and De Geer, Gerard and {Council on Heart, "
                  "Critical Care} and others}"})
                QVERIFY2(again.contains(QLatin1String(field)), qPrintable(formatName(f) + again));
        }
    }

    // CSL types BibTeX has not go as the nearest BibLaTeX type, the type kept in a field.
    void cslTypesInBibTeX()
    {
        const QString items = QStringLiteral(
            R"([{"id": "e", "type": "entry-encyclopedia", "title": "E"},
                {"id": "r", "type": "review-book", "title": "R"},
                {"id": "b", "type": "broadcast", "title": "B"},
                {"id": "j", "type": "article-journal", "title": "J"}])");
        QByteArray bib, csl;
        {
            const auto p = m_projects.next();
            importText(*p, items, Format::CslJson, QStringLiteral("x.json"));
            bib = exportAll(*p, Format::BibTeX);
            csl = exportAll(*p, Format::CslJson);
        }
        const QString text = QString::fromUtf8(bib);
        static const QRegularExpression entry(QStringLiteral("^@([^{]*)\\{"),
                                              QRegularExpression::MultilineOption);
        QStringList types;
        for (auto it = entry.globalMatch(text); it.hasNext();)
            types << it.next().captured(1);
        QCOMPARE(types, QStringList({"inreference", "review", "misc", "article"}));
        QVERIFY(text.contains(QStringLiteral("entrytype = {entry-encyclopedia}")));
        const auto copy = m_projects.next();
        importText(*copy, text, Format::BibTeX, QStringLiteral("x.bib"));
        QCOMPARE(exportAll(*copy, Format::CslJson), csl);
    }

    // One rule for a paper's title in every format: the volume's own, the work's beside it.
    void volumeTitles()
    {
        const auto p = m_projects.next();
        importText(*p, QStringLiteral(R"([
            {"id": "v", "type": "book", "title": "Work", "volume-title": "Volume One"},
            {"id": "a", "type": "article-journal", "title": "Paper", "volume-title": "Special"}])"),
                   Format::CslJson, QStringLiteral("x.json"));
        QCOMPARE(papersOf(*p), QStringList({"Volume One|||", "Paper|||"}));
        const QString bib = QString::fromUtf8(exportAll(*p, Format::BibTeX));
        QVERIFY(bib.contains(QStringLiteral("maintitle = {Work}")));
        QVERIFY(exportAll(*p, Format::Ris).contains("N1  - maintitle: Work\r\n"));
        const QByteArray csl = exportAll(*p, Format::CslJson);
        QVERIFY(csl.contains("\"title\": \"Work\",\n    \"type\": \"book\",\n    "
                             "\"volume-title\": \"Volume One\""));
        QVERIFY(csl.contains("\"volume-title\": \"Special\""));
    }

    // Every file of the shared corpora: imported, exported to each format and imported afresh,
    // the papers keep their titles, years, first authors and DOIs, and Pandoc reads every entry
    // of the BibTeX export. The files it fails on are listed.
    void corpora()
    {
        const QString folder = corporaFolder();
        if (!QFileInfo::exists(folder))
            QSKIP("the shared corpora are not beside the project");
        QStringList files;
        for (const char* sub : {"bibtex", "ris", "csljson"}) {
            const QDir dir(folder + QLatin1Char('/') + QLatin1String(sub));
            for (const QString& name : dir.entryList(QDir::Files, QDir::Name))
                files << dir.filePath(name);
        }
        QVERIFY(files.size() > 100);
        QStringList failures;
        QByteArray allBib; // every BibTeX export, its keys marked with the file's number
        QHash<int, QStringList> exported; // the papers of each file with a BibTeX export
        static const QRegularExpression entryStart(QStringLiteral("^@(\\w+)\\{"),
                                                   QRegularExpression::MultilineOption);
        for (qsizetype n = 0; n < files.size(); ++n) {
            const QString name = QFileInfo(files[n]).fileName();
            const auto fail = [&](const QString& what) {
                failures << name + QStringLiteral(": ") + what;
            };
            QStringList papers;
            QByteArray exports[3];
            {
                const auto p = m_projects.next();
                const ImportSummary s = importFile(*p, files[n]);
                if (s.outcome == ImportSummary::Outcome::Unreadable || s.papersAdded == 0)
                    continue;
                if (s.outcome != ImportSummary::Outcome::Imported) {
                    fail(s.message);
                    continue;
                }
                if (s.entriesRead != s.papersAdded + s.duplicatesSkipped + int(s.skipped.size()))
                    fail(QStringLiteral("the summary's counts do not add up"));
                papers = papersOf(*p);
                for (const Format f : {Format::BibTeX, Format::Ris, Format::CslJson})
                    exports[int(f)] = exportAll(*p, f);
            }
            for (const Format f : {Format::BibTeX, Format::Ris, Format::CslJson}) {
                const auto copy = m_projects.next();
                const ImportSummary again = importText(*copy, QString::fromUtf8(exports[int(f)]), f,
                                                       QStringLiteral("export"));
                const QStringList back = papersOf(*copy);
                if (back.size() != papers.size() || !again.skipped.empty()) {
                    fail(QStringLiteral("%1 papers of %2 back from %3")
                             .arg(back.size())
                             .arg(papers.size())
                             .arg(formatName(f)));
                    continue;
                }
                for (qsizetype i = 0; i < papers.size(); ++i) {
                    if (back[i] != papers[i])
                        fail(QStringLiteral("%1 gives \"%2\" for \"%3\"")
                                 .arg(formatName(f), back[i], papers[i]));
                }
            }
            const QString marked = QStringLiteral("@\\1{f%1-").arg(n);
            allBib += QString::fromUtf8(exports[int(Format::BibTeX)])
                          .replace(entryStart, marked)
                          .toUtf8();
            exported.insert(int(n), papers);
        }
        // Pandoc reads every entry, with the year and DOI of its paper (a year before 1000 aside:
        // Pandoc counts the years before the era as CSL does).
        if (!QStandardPaths::findExecutable(QStringLiteral("pandoc")).isEmpty()) {
            const auto entries = pandocEntries(allBib);
            if (!entries)
                failures << QStringLiteral("Pandoc refuses the BibTeX exports");
            QHash<int, QStringList> byFile;
            for (const QString& e : entries.value_or(QStringList())) {
                const QStringList parts = e.split(QLatin1Char('|'));
                byFile[parts[0].section(QLatin1Char('-'), 0, 0).mid(1).toInt()]
                    << parts[1] + QLatin1Char('|') + parts.value(2);
            }
            for (auto it = exported.cbegin(); entries && it != exported.cend(); ++it) {
                const QString name = QFileInfo(files[it.key()]).fileName();
                const QStringList& read = byFile[it.key()];
                if (read.size() != it->size()) {
                    failures << QStringLiteral("%1: Pandoc reads %2 of the %3 BibTeX entries")
                                    .arg(name)
                                    .arg(read.size())
                                    .arg(it->size());
                    continue;
                }
                for (qsizetype i = 0; i < read.size(); ++i) {
                    const QStringList ours = (*it)[i].split(QLatin1Char('|'));
                    const QString year =
                        ours[1].size() == 4 ? ours[1] : read[i].section(u'|', 0, 0);
                    if (read[i] != year + QLatin1Char('|') + ours[3])
                        failures << QStringLiteral("%1: Pandoc reads \"%2\" for \"%3\"")
                                        .arg(name, read[i], (*it)[i]);
                }
            }
        }
        for (const QString& f : std::as_const(failures))
            qWarning().noquote() << f;
        QVERIFY2(failures.isEmpty(), "files above fail");
    }
};

QTEST_MAIN(TstRoundTrip)
#include "tst_roundtrip.moc"
