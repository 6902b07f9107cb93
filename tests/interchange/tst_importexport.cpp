// Import and export on a project: rows as the windows write them, duplicates, all or nothing for
// cancelled and hostile input, extra fields, citation keys; checked with the sqlite3 shell. And
// the bulk row writer and stream beneath them: numbers as AddNew gives them, the tables' rules.
#include "db/dberror.h"
#include "interchange/data/exporter.h"
#include "interchange/data/extrafields.h"
#include "interchange/data/importer.h"
#include "testsupport.h"

#include <QUrl>

using namespace quirelle;
using namespace quirelle::interchange;

namespace {

QString sql(test::TempProject& p, const QString& query)
{
    return test::sqliteShell(p.file(), query);
}

ImportSummary importBib(test::TempProject& p, const QString& text, const Progress& progress = {})
{
    return importText(p.db(), text, Format::BibTeX, QStringLiteral("test.bib"), progress);
}

QString exported(test::TempProject& p, Format format, std::optional<QList<qint32>> ids = {},
                 bool storeKeys = false)
{
    QByteArray text;
    const ExportResult r = exportText(p.db(), {format, std::move(ids), storeKeys}, text);
    if (r.outcome != ExportResult::Outcome::Written)
        qWarning() << r.message;
    return QString::fromUtf8(text);
}

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

class TstImportExport : public QObject
{
    Q_OBJECT

private slots:
    void rowsAsTheWindowsWriteThem()
    {
        test::TempProject p;
        // An author and a keyword the project has already, in other letter case.
        test::addRow(p.db(), QStringLiteral("Authors"),
                     {{"Surname", "wendrake"}, {"Forenames", "JONAS"}, {"Occupation", "Don"}});
        test::addRow(p.db(), QStringLiteral("Keywords"), {{"Keyword", "Tides"}});
        const ImportSummary s =
            importBib(p, QStringLiteral(
                             "@article{w03, author = {Wendrake, Jonas and O'Neill, Ann}, title = "
                             "{Tidal Moons}, journal = {J. Tides}, year = 2003, keywords = {tides; "
                             "moons}, ranking = {A}, readstatus = {read}, quotations = {First "
                             "quote.\nSecond quote.}, cites = {o05, nowhere}}\n"
                             "@book{o05, author = {O'Neill, Ann}, title = {Orbits}, publisher = "
                             "{Press}, year = 2005, note = {}, keywords = {tides}}\n"));
        QCOMPARE(QList<int>({s.papersAdded, s.authorsAdded, s.keywordsAdded}),
                 QList<int>({2, 1, 1}));
        // A new author has every box written, "" when empty; a new keyword leaves its
        // definition and origin Null.
        QCOMPARE(sql(p, "select [Author ID], Surname, Forenames, Occupation = '', Location = '' "
                        "from Authors order by 1"),
                 "1|wendrake|JONAS|0|\n2|O'Neill|Ann|1|1");
        QCOMPARE(sql(p, "select Keyword, Definition is null, Origin is null from Keywords "
                        "order by [Keyword ID]"),
                 "Tides|1|1\nmoons|1|1");
        // Links hold ids as decimal text; the keyword's and the cited paper's id go into the
        // numbered field, as a number, repeats included.
        QCOMPARE(sql(p, "select [Paper ID], [Author ID], typeof([Author ID]) from [Paper Authors "
                        "List] order by rowid"),
                 "1|1|text\n1|2|text\n2|2|text");
        QCOMPARE(sql(p, "select [Paper ID], [Keywords ID], typeof([Keywords ID]), Keyword is null "
                        "from [Paper Keywords List] order by rowid"),
                 "1|1|integer|1\n1|2|integer|1\n2|1|integer|1");
        QCOMPARE(sql(p, "select [Paper ID], [Reference ID] from [Paper References List]"), "1|2");
        QCOMPARE(sql(p, "select [Paper ID], Statement from [Paper Statements List] order by 1"),
                 "1|First quote.\n1|Second quote.");
        // The key that names no paper is kept for the export.
        QCOMPARE(sql(p, "select [Field Name], Value from [Paper Extra Fields] where [Paper ID] = "
                        "'1' order by rowid"),
                 "citationkey|w03\nentrytype|article\ncites|nowhere");
        // Exported, the paper lists what it references, the kept key included.
        const QString bib = exported(p, Format::BibTeX);
        QVERIFY(bib.contains(QStringLiteral("cites = {o05, nowhere}")));
        QVERIFY(bib.contains(QStringLiteral("quotations = {First quote.\nSecond quote.}")));
        QVERIFY(bib.contains(QStringLiteral("ranking = {A}")));
        // "" is a value; the extra fields go only with the deleting transaction.
        QCOMPARE(sql(p, "select count(*) from [Paper Extra Fields] where Value = ''"), "1");
        {
            db::Transaction t(p.db());
            deleteExtraFields(p.db(), 1);
        }
        QCOMPARE(sql(p, "select count(*) from [Paper Extra Fields] where [Paper ID] = '1'"), "3");
    }

    // Hand-made entries: what lands in the described fields, the links and the extra fields.
    void trickyFile()
    {
        test::TempProject p;
        const ImportSummary s = importFile(p.db(), QFINDTESTDATA("data/tricky.bib"));
        // One value in the extra fields only: the long title.
        QCOMPARE(QList<int>({s.papersAdded, s.referencesAdded, s.quotationsAdded,
                             s.valuesInExtraFieldsOnly}),
                 QList<int>({6, 2, 2, 1}));
        // Fields without a value stay Null, as the paper window leaves them.
        QCOMPARE(sql(p, "select Title, Year, Rating, Status, [Publication Type], [Publication "
                        "name], Summary is null from Papers order by [Paper ID]"),
                 QStringLiteral("Tidal Moons: the O'Brien [revised] “model” of 100% & more: A "
                                "second look|2003|B|skimmed|Professional Journal|Journal of Tidal "
                                "Research (Series B)|0\n"
                                "A chapter whose title is far too long to fit into the one "
                                "hundred characters that the project keeps |2010|||Book|The Whole "
                                "Book|1\n"
                                "The Whole Book|2010|||Book|Press of the University of Somewhere "
                                "in a Very Long Named Place and the Association of Others|1\n"
                                "Résumé of DNA in Ödegaard's basin|1999|||University White "
                                "Paper|Kyoto University|1\n"
                                "A web page||||Website|Example Org|1\n"
                                "Anonymous note||||||1"));
        QCOMPARE(sql(p, "select Surname || ',' || Forenames from Authors order by [Author ID]"),
                 QStringLiteral("Wendrake,Jonas\nvan der Berg,Piet, Jr\nWorld Health "
                                "Organization,\nOkafor,Chidi\nO'Neill,Ann\nHaddad,Samira\n"
                                "Nakamura,Yuki"));
        QCOMPARE(sql(p, "select Keyword from Keywords order by [Keyword ID]"),
                 "tides\nmoons\nOrbital mechanics");
        QCOMPARE(
            sql(p, "select [Paper ID], [Reference ID] from [Paper References List] order by 1"),
            "1|2\n2|1");
        QCOMPARE(sql(p, "select Summary from Papers where [Paper ID] = 1"),
                 "Spread over several lines, with ümlauts, é, ß and Łukasiewicz.");
        // Values without a described field, or too long for one, kept whole.
        QCOMPARE(sql(p, "select [Field Name] || '=' || Value from [Paper Extra Fields] where "
                        "[Paper ID] = '1' order by rowid"),
                 QStringLiteral("citationkey=Wendrake2003\nentrytype=article\n"
                                "author=Wendrake, Jonas and van der Berg, Jr, Piet and {World "
                                "Health Organization} and others\n"
                                "title=Tidal Moons: the O'Brien [revised] “model” of 100% & more\n"
                                "title.latex=Tidal {Moons}: the {O'Brien} [revised] ``model'' of "
                                "100\\% \\& more\n"
                                "subtitle=A second look\n"
                                "journal.latex=Journal of Tidal {Research} (Series B)\n"
                                "month=May\npages=10–19\n"
                                "doi=10.1000/j.tides.2003.05_01\n"
                                "url=https://example.org/a_b%20c?x=1&y=2\ncites=NotInThisFile"));
        QCOMPARE(sql(p, "select Value from [Paper Extra Fields] where [Paper ID] = '5' and "
                        "[Field Name] = 'year'"),
                 "in press");
        // RIS has no subtitle: it gets the whole title (CSL-JSON: Pandoc in tst_roundtrip).
        QVERIFY(exported(p, Format::Ris)
                    .contains(QStringLiteral("TI  - Tidal Moons: the O'Brien [revised] “model” of "
                                             "100% & more: A second look\r\n")));
    }

    // Against the project's papers: the DOI, the key with the title, else title, year and first
    // author. The summary names each duplicate and skipped entry, and its counts add up.
    void duplicates()
    {
        test::TempProject p;
        importBib(p, QStringLiteral("@article{Orig2003, title = {The Original Title}, year = 2003, "
                                    "author = {Wendrake, Jonas}, doi = {10.1/abc}}"));
        const ImportSummary s = importBib(
            p, QStringLiteral("@misc{sameDoi, title = {Other}, doi = {https://doi.org/10.1/ABC}}\n"
                              "@misc{Orig2003, title = {Other}}\n"
                              "@misc{orig2003, title = {The original title.}}\n"
                              "@misc{sameTitle, title = {the  ORIGINAL title!}, year = 2003, "
                              "author = {WENDRAKE, J.}}\n"
                              "@misc{otherYear, title = {The Original Title}, year = 2004, "
                              "author = {Wendrake, J.}}\n"
                              "@misc{otherAuthor, title = {The Original Title}, year = 2003, "
                              "author = {Smith, J.}}\n"
                              "@misc{untitled, year = 2003}\n"));
        QCOMPARE(s.entriesRead, s.papersAdded + s.duplicatesSkipped + int(s.skipped.size()));
        QCOMPARE(QList<int>({s.entriesRead, s.papersAdded, s.duplicatesSkipped}),
                 QList<int>({7, 3, 3}));
        const QString summary = summaryText(s);
        QVERIFY(summary.contains(QStringLiteral("3 duplicates already in the project, not added "
                                                "again:\n  test.bib, line 1 (sameDoi): paper 1, "
                                                "The Original Title\n  test.bib, line 3 "
                                                "(orig2003): paper 1, The Original Title\n")));
        QVERIFY(summary.contains(QStringLiteral("test.bib, line 7 (untitled): it has no title")));
        // The key of an unrelated paper is no duplicate: the entry gets a key of its own.
        QCOMPARE(sql(p, "select Value from [Paper Extra Fields] where [Field Name] = "
                        "'citationkey' order by rowid"),
                 "Orig2003\nOrig2003a\notherYear\notherAuthor");
        // Entries of one file are distinct papers even under one title and key; the later one's
        // key gets a letter that no paper has yet.
        importBib(p, QStringLiteral("@misc{TwinA, title = {Older}}"));
        const ImportSummary twice = importBib(
            p, QStringLiteral("@misc{twin, title = {Twin}}\n@misc{twin, title = {Twin}}"));
        QCOMPARE(twice.papersAdded, 2);
        QCOMPARE(
            sql(p,
                "select Value from [Paper Extra Fields] where Value like 'twin%' order by rowid"),
            "TwinA\ntwin\ntwinb");
    }

    // A cancelled import and one the project refuses halfway store nothing at all.
    void allOrNothing()
    {
        test::TempProject p;
        QString text;
        for (int i = 0; i < 300; ++i)
            text += QStringLiteral("@misc{k%1, title = {Paper %1}, author = {A%1, B}}\n").arg(i);
        int calls = 0;
        const ImportSummary cancelled = importBib(p, text, [&](qsizetype done, qsizetype) {
            ++calls;
            return done < 200;
        });
        QCOMPARE(cancelled.outcome, ImportSummary::Outcome::Cancelled);
        QCOMPARE(cancelled.papersAdded, 0);
        QVERIFY(calls > 1);
        for (const char* table :
             {"Papers", "Authors", "[Paper Authors List]", "[Paper Extra Fields]"})
            QCOMPARE(sql(p, QStringLiteral("select count(*) from %1").arg(table)), "0");
        // A read-only project refuses the first row: nothing is stored, and the summary says so.
        p.db().Close();
        auto readOnly = db::Database::OpenDatabase(p.file(), true);
        const ImportSummary refused =
            importText(*readOnly, text, Format::BibTeX, QStringLiteral("x.bib"));
        QCOMPARE(refused.outcome, ImportSummary::Outcome::Failed);
        QCOMPARE(refused.papersAdded, 0);
        QCOMPARE(sql(p, "select count(*) from Papers"), "0");
    }

    // Hostile input is stored exactly as the summary says.
    void hostileInput()
    {
        test::TempProject p;
        const QString odd = QStringLiteral("O'Br[ie]n's \"quoted\" (x) *?# %");
        const QString longTitle = QString(10000, QChar(u'T'));
        QString text = QStringLiteral("@article{odd, title = {%1}, author = {%1, %1},\n"
                                      "  journal = {%1}, keywords = {%1}, note = {%1}}\n"
                                      "@misc{long, title = {%2}}\n")
                           .arg(odd, longTitle);
        // A 50 MB abstract.
        text += QStringLiteral("@misc{big, title = {Big}, abstract = {") +
                QString(50 * 1024 * 1024, QChar(u'a')) + QStringLiteral("}}\n");
        const ImportSummary s = importBib(p, text);
        QCOMPARE(QList<int>({s.papersAdded, s.valuesInExtraFieldsOnly}), QList<int>({3, 1}));
        QCOMPARE(sql(p, "select length(Title) from Papers where Title like 'TTT%'"), "100");
        QCOMPARE(sql(p, "select length(Value) from [Paper Extra Fields] where [Field Name] = "
                        "'title'"),
                 "10000");
        QCOMPARE(sql(p, "select length(Summary) from Papers where Title = 'Big'"),
                 QString::number(50 * 1024 * 1024));
        QCOMPARE(
            sql(p, "select Title || '|' || [Publication name] from Papers where [Paper ID] = 1"),
            odd + QLatin1Char('|') + odd);
        QCOMPARE(sql(p, "select Surname from Authors"), odd.left(30));
    }

    // Papers typed in the program get readable keys on their first export, kept ever after. A
    // cancelled export writes nothing and stores no key; a finished one replaces the file whole.
    // (A file that cannot be written is the command line's test.)
    void citationKeys()
    {
        test::TempProject p;
        const qint64 author = test::addAuthor("Ó Wéndrake", "Jo");
        const qint64 a = test::addPaper("First", {{"Year", "2003"}});
        const qint64 b = test::addPaper("Second", {{"Year", "2003"}});
        const qint64 c = test::addPaper("42 Nameless");
        test::linkAuthor(a, author);
        test::linkAuthor(b, author);
        test::cite(c, b);
        const QString path = p.folder() + QStringLiteral("/out.bib");
        test::writeFile(path, "earlier");
        QCOMPARE(exportToFile(p.db(), {Format::CslJson, {}}, path,
                              [](qsizetype, qsizetype) { return false; })
                     .outcome,
                 ExportResult::Outcome::Cancelled);
        QCOMPARE(test::readFile(path), "earlier");
        QCOMPARE(sql(p, "select count(*) from [Paper Extra Fields]"), "0");
        // Exporting one paper gives keys to it and to the paper it cites. The command line's
        // export writes nothing into the project; the program's stores the keys.
        const QString one = exported(p, Format::BibTeX, QList<qint32>{qint32(c)});
        QVERIFY(one.contains(QStringLiteral("@misc{Nameless,")));
        QVERIFY(one.contains(QStringLiteral("cites = {OWendrake2003}")));
        QCOMPARE(sql(p, "select count(*) from [Paper Extra Fields]"), "0");
        QCOMPARE(exported(p, Format::BibTeX, QList<qint32>{qint32(c)}, true), one);
        const QString all = exported(p, Format::BibTeX, std::nullopt, true);
        QVERIFY(all.contains(QStringLiteral(
            "@misc{OWendrake2003a,\n  author = {Ó Wéndrake, Jo},\n  title = {First}")));
        QCOMPARE(sql(p, "select [Paper ID], Value from [Paper Extra Fields] order by 1"),
                 "1|OWendrake2003a\n2|OWendrake2003\n3|Nameless");
        QCOMPARE(exportToFile(p.db(), {Format::BibTeX, {}, true}, path).outcome,
                 ExportResult::Outcome::Written);
        QCOMPARE(QString::fromUtf8(test::readFile(path)), all);
        QCOMPARE(QDir(p.folder()).entryList(QDir::Files).size(), 2);
        // RIS carries the same keys (CSL-JSON: the ids Pandoc reads in tst_roundtrip).
        QVERIFY(exported(p, Format::Ris).contains(QStringLiteral("ID  - OWendrake2003a")));
        // A key kept for a paper the project does not have is never given to another.
        importBib(p, QStringLiteral("@misc{cites, title = {Citing}, cites = {Rowe2010}}"));
        const qint64 rowe = test::addAuthor("Rowe", "Ann");
        const qint64 typed = test::addPaper("Typed", {{"Year", "2010"}});
        test::linkAuthor(typed, rowe);
        const QString withKept = exported(p, Format::BibTeX);
        QVERIFY(withKept.contains(QStringLiteral("@misc{Rowe2010a,")));
        QVERIFY(withKept.contains(QStringLiteral("cites = {Rowe2010}")));
    }

    // Cited keys no paper had become links when a later import brings the paper; the others stay
    // kept and are exported.
    void citationsAcrossImports()
    {
        test::TempProject p;
        importBib(p, QStringLiteral("@article{a1, title = {A}, cites = {b1, elsewhere, c1}}\n"
                                    "@article{c1, title = {C}, cites = {b1}}\n"));
        QCOMPARE(sql(p, "select [Paper ID], Value from [Paper Extra Fields] where [Field Name] = "
                        "'cites' order by 1"),
                 "1|b1, elsewhere\n2|b1");
        const ImportSummary s = importBib(p, QStringLiteral("@article{B1, title = {B}}"));
        QCOMPARE(s.referencesAdded, 2);
        QCOMPARE(sql(p, "select [Paper ID], [Reference ID] from [Paper References List] order by "
                        "1, 2"),
                 "1|2\n1|3\n2|3");
        QCOMPARE(sql(p, "select [Paper ID], Value from [Paper Extra Fields] where [Field Name] = "
                        "'cites'"),
                 "1|elsewhere");
        const QString bib = exported(p, Format::BibTeX);
        QVERIFY(bib.contains(QStringLiteral("cites = {c1, B1, elsewhere}")));
    }

    // The bulk row writer and stream that imports and exports use.
    // Numbers from the writer and from record sets follow one another and never repeat, even
    // after the highest row was deleted.
    // Files named by entries are linked where they are, relative paths taken from the imported
    // file's folder; those not found are listed and kept in the field; an export names them
    // from its own folder.
    void files()
    {
        test::TempProject p;
        const QDir refs(p.folder() + QStringLiteral("/refs"));
        QVERIFY(refs.mkpath(QStringLiteral("pdfs")));
        const QTemporaryDir elsewhere;
        const auto write = [](const QString& path, const QByteArray& bytes) {
            QFile f(path);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(bytes);
        };
        write(refs.filePath(QStringLiteral("pdfs/a.pdf")), "%PDF-1.4 a");
        const QString b = elsewhere.filePath(QStringLiteral("b;c.pdf"));
        write(b, "%PDF-1.4 bb");
        const QString bib = refs.filePath(QStringLiteral("in.bib"));
        write(bib,
              QStringLiteral("@article{one, title = {One}, file = {:pdfs/a.pdf:PDF;"
                             "Slides:pdfs/gone.pdf:PDF;Online:https\\://x.org/a.pdf:PDF}}\n"
                             "@article{two, title = {Two}, file = {%1}}\n"
                             "@article{three, title = {Three}, file = {%2}}\n"
                             "@article{four, title = {Four}, file = {nowhere.pdf}}\n")
                  .arg(QString(b).replace(';', QStringLiteral("\\;")),
                       QUrl::fromLocalFile(refs.filePath(QStringLiteral("pdfs/a.pdf"))).toString())
                  .toUtf8());
        const ImportSummary s = importFile(p.db(), bib);
        QCOMPARE(s.papersAdded, 4);
        QCOMPARE(s.filesLinked, 3);
        QCOMPARE(s.filesNotFound.size(), size_t(2));
        QVERIFY2(
            summaryText(s).contains(QStringLiteral("Linked 3 files where they are; 2 not found:\n"
                                                   "  in.bib, line 1 (one): pdfs/gone.pdf\n"
                                                   "  in.bib, line 4 (four): nowhere.pdf\n")),
            qPrintable(summaryText(s)));
        // Inside the project's folder the path is relative to it; one file may be on two papers.
        QCOMPARE(sql(p, "select [Paper ID], Path, Kind, Size, length([Content Hash]) from "
                        "[Paper Files] order by [File ID]"),
                 QStringLiteral("1|refs/pdfs/a.pdf|linked|10|64\n2|%1|linked|11|64\n"
                                "3|refs/pdfs/a.pdf|linked|10|64")
                     .arg(b));
        // The files not linked stay in the field; a field none of whose files was found stays
        // as it was written.
        QCOMPARE(sql(p, "select [Paper ID], Value from [Paper Extra Fields] where [Field Name] = "
                        "'file' order by 1"),
                 "1|Slides:pdfs/gone.pdf:PDF;Online:https\\://x.org/a.pdf:PDF\n4|nowhere.pdf");

        // Exported beside them, the files are named from the exported file's folder.
        const QString out = refs.filePath(QStringLiteral("out.bib"));
        QCOMPARE(exportToFile(p.db(), {Format::BibTeX, {}}, out).outcome,
                 ExportResult::Outcome::Written);
        QFile written(out);
        QVERIFY(written.open(QIODevice::ReadOnly));
        const QString text = QString::fromUtf8(written.readAll());
        QVERIFY2(text.contains(QStringLiteral("file = {:pdfs/a.pdf:PDF;Slides:pdfs/gone.pdf:PDF;"
                                              "Online:https\\://x.org/a.pdf:PDF}")),
                 qPrintable(text));
        QVERIFY(text.contains(QStringLiteral("file = {:%1:PDF}")
                                  .arg(QString(b).replace(';', QStringLiteral("\\;")))));
        QVERIFY(text.contains(QStringLiteral("file = {nowhere.pdf}")));
        const QString ris = exported(p, Format::Ris);
        QVERIFY(ris.contains(QStringLiteral("L1  - %1\r\nL1  - pdfs/gone.pdf\r\n")
                                 .arg(refs.filePath(QStringLiteral("pdfs/a.pdf")))));
        // CSL-JSON has no field for files (what was kept of the field goes as before).
        const QString json = exported(p, Format::CslJson);
        QVERIFY(!json.contains(QStringLiteral("pdfs/a.pdf")) && !json.contains("b;c.pdf"));

        // Read again into another project, the same files are linked.
        test::TempProject again;
        const ImportSummary back = importFile(again.db(), out);
        QCOMPARE(back.filesLinked, 3);
        QCOMPARE(back.filesNotFound.size(), size_t(2));
        // Without a folder to start from, a relative path links nothing.
        const ImportSummary text2 =
            importText(again.db(), QStringLiteral("@misc{x, title = {X}, file = {pdfs/a.pdf}}"),
                       Format::BibTeX, QStringLiteral("x.bib"));
        QCOMPARE(text2.filesLinked, 0);
        QCOMPARE(text2.filesNotFound.size(), size_t(1));
    }

    void numbering()
    {
        test::TempProject p;
        db::Database& d = p.db();
        test::addRow(d, QStringLiteral("Authors"), {{"Surname", "A"}});
        {
            db::RowWriter w(d, QStringLiteral("Authors"), {"Surname", "Forenames"});
            QCOMPARE(w.add({QStringLiteral("B"), QString()}), 2);
            w.add({QStringLiteral("C"), QVariant()});
        }
        // The highest goes; its number is not given again, by either.
        sql(p, "delete from Authors where Surname = 'C'");
        test::addRow(d, QStringLiteral("Authors"), {{"Surname", "D"}});
        sql(p, "delete from Authors where Surname = 'D'");
        db::RowWriter w(d, QStringLiteral("Authors"), {"Surname"});
        QCOMPARE(w.add({QStringLiteral("E")}), 5);
        test::addRow(d, QStringLiteral("Authors"), {{"Surname", "F"}});
        QCOMPARE(sql(p, "select [Author ID], Surname, Forenames is null from Authors order by 1"),
                 "1|A|1\n2|B|0\n5|E|1\n6|F|1");
        // (A paper's number and the numbers given to links: rowsAsTheWindowsWriteThem.)
    }

    // The tables' rules hold, nothing refused is stored; a title's size is counted in characters.
    void refusals()
    {
        test::TempProject p;
        db::RowWriter titles(p.db(), QStringLiteral("Papers"), {"Title"});
        QCOMPARE(errorOf([&] { titles.add({QString(101, QChar(u'é'))}); }), db::err::FieldTooSmall);
        QCOMPARE(errorOf([&] { titles.add({QString(QLatin1String(""))}); }), db::err::ZeroLength);
        titles.add({QString(100, QChar(u'é'))});
        QCOMPARE(test::countRows(p.db(), QStringLiteral("Papers")), 1);
    }

    // Rows in order, Null told apart from "". (Streams of one paper's rows: the exports of
    // chosen papers in citationKeys and tst_interchangewindows.)
    void stream()
    {
        test::TempProject p;
        for (const char* paper : {"10", "1", "1", "2"})
            test::addRow(p.db(), QStringLiteral("Paper Statements List"),
                         {{"Paper ID", paper}, {"Statement", QStringLiteral("of %1").arg(paper)}});
        sql(p, "update [Paper Statements List] set Statement = null where [Paper ID] = '2'");
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

QTEST_MAIN(TstImportExport)
#include "tst_importexport.moc"
