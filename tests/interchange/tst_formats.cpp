// The reference formats: BibTeX syntax and broken entries, LaTeX and Unicode, names, encodings,
// RIS, CSL-JSON, and a reference mapped onto a paper and back.
#include "dbtestsupport.h"
#include "interchange/data/bibtex.h"
#include "interchange/data/csljson.h"
#include "interchange/data/filefield.h"
#include "interchange/data/latex.h"
#include "interchange/data/mapping.h"
#include "interchange/data/ris.h"
#include "interchange/data/sourcetext.h"

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStringDecoder>
#include <QTest>

using namespace quirelle::interchange;

namespace {

QString namesText(const std::vector<PersonName>& names)
{
    QStringList out;
    for (const PersonName& n : names)
        out << n.family + QLatin1Char('|') + n.given + QLatin1Char('|') + n.suffix;
    return out.join(QStringLiteral("; "));
}

// The values of the named fields, joined by "|".
QString fieldsText(const Reference& r, std::initializer_list<const char*> names)
{
    QStringList out;
    for (const char* name : names)
        out << r.field(QLatin1StringView(name));
    return out.join(QLatin1Char('|'));
}

// What a round trip must keep of an entry.
QString essentials(const Reference& r)
{
    return QStringList({bibtex::safeKey(r.key), r.field(u"title"), r.field(u"year"),
                        r.authors.empty() ? QString() : namesText({r.authors.front()}),
                        r.field(u"doi")})
        .join(u'|');
}

// Why the entry's plain text is not what its LaTeX meant, or "".
QString decodingFault(const Reference& r)
{
    for (const auto& people : {r.authors, r.editors}) {
        for (const PersonName& n : people) {
            for (const QString& part : {n.family, n.given, n.suffix}) {
                if (part.contains(u'\n') || part.contains(QStringLiteral("  ")))
                    return "the name " + part;
            }
        }
    }
    for (const auto& [name, value] : r.fields) {
        for (qsizetype i = 0; i < value.size(); ++i) {
            const bool mark = value[i].category() == QChar::Mark_NonSpacing;
            if (mark && (i == 0 || value[i - 1].isSpace()))
                return "an accent apart in " + name;
        }
    }
    return {};
}

} // namespace

class TstFormats : public QObject
{
    Q_OBJECT

private slots:
    // Accents, named letters ({\ss}, \L{}), \&, \%, ``quotes'', O'Brien and case braces: tricky.bib
    // in tst_importexport; dashes, ties and escaped specials: latexRoundTrip.
    void latexToUnicode_data()
    {
        QTest::addColumn<QString>("latex");
        QTest::addColumn<QString>("text");
        const auto row = [](const char* name, const char* latex, const char* text) {
            QTest::newRow(name) << QString::fromUtf8(latex) << QString::fromUtf8(text);
        };
        row("letter accent with blank", "\\v c and \\c{c}", "č and ç");
        row("dotless i takes the accent", "\\'{\\i}nt", "ínt");
        row("formatting keeps its text", "\\emph{Very} \\textbf{bold}", "Very bold");
        row("math kept as written", "$O(n \\log n)$", "O(n \\log n)");
        row("sorting hint prints nothing", "{\\noopsort{1973b}}1973", "1973");
        row("stray closing brace", "a}b", "ab");
        row("unclosed group", "a{b", "ab");
        row("accent joined however spaced", "Trag{\\\" o}die \\' {e}t\\'{ e} \\c\nc",
            "Tragödie été ç");
        row("accents in a row", "\\'\\^e \\u{\\i}", "ế ĭ");
        row("lone accent is its character", "\\~{}user \\^{} x\\~", "~user ^ x~");
        row("unknown command keeps the word boundary", "program\\Dash {August} \\emph {x}",
            "program August x");
        // Accents in a row are read without recursion, however many.
        QTest::newRow("five thousand accents")
            << QString(QStringLiteral("\\'")).repeated(5000) + 'e'
            << "é" + QString(4999, QChar(0x0301));
        QTest::newRow("braces nested 90,000 deep")
            << QString(90000, u'{') + "\\'e" + QString(90000, u'}') << "é";
        row("dingbats", "\\ding{73} \\ding{72} \\ding{999}", "✩ ★ 999");
    }
    void latexToUnicode()
    {
        QFETCH(QString, latex);
        QFETCH(QString, text);
        QCOMPARE(latex::toUnicode(latex), text);
    }

    // Whatever text is written as LaTeX reads back the same.
    void latexRoundTrip()
    {
        for (const char* text :
             {"100% {braces} \\back & $5 #1 a_b ~ ^", "1–2 — a\u00A0b -- x", "it's ``not'' a `x'",
              "Łukasiewicz Ødegaard Ó Súilleabháin 日本"}) {
            const QString written = latex::fromUnicode(QString::fromUtf8(text));
            QCOMPARE(latex::toUnicode(written), QString::fromUtf8(text));
            QVERIFY(latex::bracesBalanced(written));
        }
    }

    void names_data()
    {
        QTest::addColumn<QString>("list");
        QTest::addColumn<QString>("names");
        QTest::addColumn<bool>("etAl");
        const auto row = [](const char* name, const char* list, const char* names,
                            bool etAl = false) {
            QTest::newRow(name) << QString::fromUtf8(list) << QString::fromUtf8(names) << etAl;
        };
        row("von last, jr, first", "van der Berg, Jr, Piet", "van der Berg|Piet|Jr");
        row("first von last", "Ludwig van Beethoven", "van Beethoven|Ludwig|");
        row("corporate with and", "{Barnes and Noble} and Smith, A.",
            "Barnes and Noble||; Smith|A.|");
        row("and others", "Smith, A. and Jones, B. and others", "Smith|A.|; Jones|B.|", true);
        row("AND in capitals", "Smith, A. AND Jones, B.", "Smith|A.|; Jones|B.|");
        row("accented particle counts as lower case", "Jean {\\'e}t Dupont", "ét Dupont|Jean|");
        row("braced first word is no particle", "{van} Gogh, Vincent", "van Gogh|Vincent|");
        row("ties and accents", "M{\\\"u}ller, J.~R.", "Müller|J. R.|");
        row("broken over lines", "{La\n       Bruna}, Anna\n and Bo\n  Smith",
            "La Bruna|Anna|; Smith|Bo|");
        row("corporate with commas",
            "{Council on Cardiopulmonary, Critical Care, and Perioperative}",
            "Council on Cardiopulmonary, Critical Care, and Perioperative||");
        row("extended format",
            "family=Animal, given=Alan, prefix=von, useprefix=false and given=A=B, family={C D}",
            "von Animal|Alan|; C D|A=B|");
        row("options before the names", "useprefix=false and Alan von Animal", "von Animal|Alan|");
    }
    void names()
    {
        QFETCH(QString, list);
        QFETCH(QString, names);
        QFETCH(bool, etAl);
        bool readEtAl = false;
        const auto parsed = bibtex::parseNames(list, true, &readEtAl);
        QCOMPARE(namesText(parsed), names);
        QCOMPARE(readEtAl, etAl);
        // Written back, the names read the same.
        bool again = false;
        QCOMPARE(
            namesText(bibtex::parseNames(bibtex::formatNames(parsed, etAl, true), true, &again)),
            names);
        QCOMPARE(again, etAl);
    }

    void bibtexSyntax()
    {
        const QString text =
            QStringLiteral("Text between entries is a comment, even with an @ sign.\n"
                           "@string{ acm = \"ACM\" }\n"
                           "@STRING(press = {Press})\n"
                           "@preamble{ \"\\newcommand{\\noopsort}[1]{}\" }\n"
                           "@comment{ @article{hidden, title = {Not an entry}} }\n"
                           "@ARTICLE{concat,\n"
                           "  TITLE = \"A \" # {Title} # \" by \" # acm,\n"
                           "  publisher = acm # \" \" # press,\n"
                           "  year = 2003, month = may,\n"
                           "}\n"
                           "@book(paren, title = {Round (brackets)}, year = {1999})\n"
                           "@misc{quoted, title = \"Braces {\"quoted\"} inside\", note = {a, b}}\n"
                           "@misc{dup, title = {First}, title = {Second}}\n"
                           "@inproceedings{part, crossref = {Whole}, title = {A Part}, author = "
                           "{Doe, J.}, organization = {}}\n"
                           "@proceedings{whole, title = {The Proceedings}, year = 2001, publisher "
                           "= {P},\n  organization = {Org}, editor = {Ed, Itor}}\n");
        const ParseResult r = bibtex::read(text);
        QVERIFY(r.problems.empty());
        QStringList titles;
        for (const Reference& ref : r.references)
            titles << ref.field(u"title");
        QCOMPARE(titles,
                 QStringList({"A Title by ACM", "Round (brackets)", "Braces \"quoted\" inside",
                              "First", "A Part", "The Proceedings"}));
        const Reference& a = r.references[0];
        QCOMPARE(QStringLiteral("%1 %2 %3").arg(a.type, a.key).arg(a.line), "article concat 6");
        QCOMPARE(fieldsText(a, {"publisher", "month"}), "ACM Press|May");
        // The cross-referenced entry (key case aside) fills the gaps; an own empty field wins.
        const Reference& part = r.references[4];
        QCOMPARE(fieldsText(part, {"booktitle", "year", "publisher", "organization"}),
                 "The Proceedings|2001|P|");
        QCOMPARE(namesText(part.editors), "Ed|Itor|");
    }

    // A broken entry costs that entry, never the next one; each is listed with its line.
    void bibtexBrokenEntries_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QStringList>("keys");
        QTest::addColumn<int>("problemLine");
        const QString good = QStringLiteral("@article{good, title = {Fine}}\n");
        const auto row = [&](const char* name, const QString& text, int line, bool next = false) {
            QTest::newRow(name) << text
                                << (next ? QStringList{"good", "next"} : QStringList{"good"})
                                << line;
        };
        row("unbalanced brace", "@article{bad, title = {Open\n  year = 2000}\n" + good, 1);
        row("missing comma after key", "@article{bad title = {T}}\n" + good, 1);
        row("broken in the middle",
            good + "@book{bad, title = {x}, year = }\n@article{next, title = {Fine}}\n", 2, true);
        row("truncated file", good + "@article{cut, title = {The en", 2);
        row("unclosed quote", "@article{bad, title = \"Open}\n" + good, 1);
        // Limits against crafted files: a macro that doubles at every step, braces nested 90,000
        // deep (the macros after the refused one are undefined: warnings, not problems).
        QString doubling = QStringLiteral("@string{a0 = \"ab\"}\n");
        for (int i = 1; i <= 32; ++i)
            doubling += QStringLiteral("@string{a%1 = a%2 # a%2}\n").arg(i).arg(i - 1);
        row("macro growing without end", doubling + good, 21);
        row("braces nested too deep",
            "@misc{deep, title = " + QString(90000, u'{') + QString(90000, u'}') + "}\n" + good, 1);
    }
    void bibtexBrokenEntries()
    {
        QFETCH(QString, text);
        QFETCH(QStringList, keys);
        QFETCH(int, problemLine);
        const ParseResult r = bibtex::read(text);
        QStringList read;
        for (const Reference& ref : r.references)
            read << ref.key;
        QCOMPARE(read, keys);
        QCOMPARE(r.problems.size(), size_t(1));
        QCOMPARE(r.problems[0].line, problemLine);
    }

    // Inherited fields: BibLaTeX's crossref (cascading, titles renamed by the two types) and xdata.
    void bibtexInheritance()
    {
        const ParseResult r = bibtex::read(QStringLiteral(
            "@softwareversion{v2, version = {2.0}, crossref = {cgal}}\n"
            "@software{cgal, title = {{CGAL}}, subtitle = {Geometry}, author = {Team, The}}\n"
            "@inbook{ch, title = {Chapter}, crossref = {vol}}\n"
            "@book{vol, title = {Volume}, shorttitle = {V}, author = {Writer, W.}, crossref = "
            "{mv}}\n"
            "@mvbook{mv, title = {Collected Works}, year = 1901}\n"
            "@article{art, title = {Paper}, xdata = {pub, nobody}, crossref = {per}}\n"
            "@periodical{per, title = {Monthly}}\n"
            "@xdata{pub, author = {Shared, Sam}, publisher = {P}}\n"
            "@book{c1, crossref = {c2}}\n@book{c2, title = {Cycle}, crossref = {c1}}\n"));
        QVERIFY(r.problems.empty());
        QStringList got;
        for (const Reference& ref : r.references) {
            got << ref.key + ':' +
                       fieldsText(ref, {"title", "subtitle", "booktitle", "maintitle", "journal",
                                        "year", "shorttitle", "bookauthor", "publisher"}) +
                       ':' + namesText(ref.authors);
        }
        QCOMPARE(
            got,
            QStringList({"v2:CGAL|Geometry|||||||:Team|The|", "cgal:CGAL|Geometry|||||||:Team|The|",
                         "ch:Chapter||Volume|Collected Works||1901||Writer, W.|:Writer|W.|",
                         "vol:Volume|||Collected Works||1901|V||:Writer|W.|",
                         "mv:Collected Works|||||1901|||:", "art:Paper||||Monthly||||P:Shared|Sam|",
                         "per:Monthly||||||||:", "c1:Cycle||||||||:", "c2:Cycle||||||||:"}));
    }

    // An undefined macro keeps its name as the text, with a warning for the entry.
    void bibtexUndefinedMacro()
    {
        const ParseResult r = bibtex::read(QStringLiteral(
            "@string{known = {K}}\n@misc{m,\n title = {A } # Nowhere # { } # known,\n"
            " publisher = nowhere, note = Other}\n"));
        QCOMPARE(r.references.size(), size_t(1));
        QCOMPARE(fieldsText(r.references[0], {"title", "publisher", "note"}),
                 "A Nowhere K|nowhere|Other");
        QCOMPARE(r.warnings.size(), size_t(2)); // once per name, letter case aside
        QCOMPARE(QStringLiteral("%1 %2 %3")
                     .arg(r.warnings[0].line)
                     .arg(r.warnings[0].key, r.warnings[0].reason),
                 "2 m the @string Nowhere is not defined; its name is kept as the text");
    }

    // Braces that protect letters from a style's change of case are written back as the file had
    // them, through the paper and its extra fields, until the value is changed.
    void bibtexProtectedCapitals()
    {
        const QString title = QStringLiteral(
            "The {DNA} of {B}razil: {\\\"U}ber \\emph{BeaST} and \\'{e}t\\'e -- {{Whole}}");
        const ParseResult r = bibtex::read("@article{p, title = {" + title +
                                           "},\n journal = {Plain}, note = {M{\\\"u}ller}}");
        const Reference& read = r.references.at(0);
        QCOMPARE(read.field(u"title"), "The DNA of Brazil: Über BeaST and été – Whole");
        QVERIFY(!read.hasField(bibtex::asWrittenName("journal")));
        QVERIFY(!read.hasField(bibtex::asWrittenName("note"))); // an accent protects nothing
        const QString written = bibtex::write(toReference(toPaper(read)));
        QVERIFY2(written.contains("title = {" + title + "}"), qPrintable(written));
        QVERIFY(!written.contains(".latex"));
        Reference edited = read;
        edited.setField("title", "The DNA of Chile");
        QVERIFY(bibtex::write(edited).contains("title = {The DNA of Chile}"));
    }

    // Every BibTeX file of the shared corpora, read, written and read again: each entry keeps its
    // key, title, year, first author and DOI, and the braces that protected its letters.
    void bibtexCorpus()
    {
        const QString dir = QFINDTESTDATA("../../../shared/corpora/bibtex");
        if (dir.isEmpty())
            QSKIP("The shared corpora are not beside the project.");
        QStringList failures;
        int files = 0;
        for (const QFileInfo& file : QDir(dir).entryInfoList({"*.bib"}, QDir::Files)) {
            ++files;
            const auto fail = [&](const QString& why) { failures << file.fileName() + ": " + why; };
            const ParseResult first =
                bibtex::read(decodeSource(quirelle::test::readFile(file.filePath())).text);
            QString written;
            for (const Reference& r : first.references) {
                if (const QString fault = decodingFault(r); !fault.isEmpty())
                    fail(r.key + ": " + fault);
                const QString one = bibtex::write(r);
                for (const auto& [name, value] : r.fields) {
                    const QString raw = r.field(bibtex::asWrittenName(name));
                    if (!raw.isEmpty() && !one.contains(name + " = {" + raw + "}"))
                        fail(r.key + ": " + name + " lost its braces");
                }
                written += one;
            }
            const ParseResult again = bibtex::read(written);
            if (!again.problems.empty() || again.references.size() != first.references.size()) {
                fail("not read back whole");
                continue;
            }
            for (size_t i = 0; i < first.references.size(); ++i) {
                if (essentials(again.references[i]) != essentials(first.references[i]))
                    fail(essentials(first.references[i]) + " came back as " +
                         essentials(again.references[i]));
            }
        }
        QVERIFY(files > 0);
        QVERIFY2(failures.isEmpty(), qPrintable(failures.join(u'\n')));
    }

    // (UTF-8 without a mark: the other tests' files; UTF-16 with one: tst_cli.)
    void encodings_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("encoding"); // "": binary
        const QString text = QStringLiteral("@misc{k, title = {Müller}}");
        QTest::newRow("utf-8 with mark") << QByteArray("\xEF\xBB\xBF") + text.toUtf8() << "UTF-8";
        QTest::newRow("latin-1 without a line") << text.toLatin1() << "ISO-8859-1";
        QTest::newRow("encoding line")
            << QByteArray("% Encoding: windows-1252\n") + text.toLatin1() << "windows-1252";
        QStringEncoder be(QStringEncoder::Utf16BE);
        QTest::newRow("utf-16 without mark") << QByteArray(be(text)) << "UTF-16BE";
        QTest::newRow("binary") << quirelle::test::bytes("\177ELF\x02\x01\x01\0\0\0\0\0\x03\0>\0")
                                << "";
    }
    void encodings()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, encoding);
        const SourceText s = decodeSource(bytes);
        QCOMPARE(s.binary, encoding.isEmpty());
        if (s.binary)
            return;
        QCOMPARE(s.encoding, encoding);
        const ParseResult r = bibtex::read(s.text);
        QCOMPARE(r.references.size(), size_t(1));
        QCOMPARE(r.references[0].field(u"title"), "Müller");
    }

    void ris()
    {
        const QString text = QStringLiteral(
            "\uFEFFProvider: a test\r\n\r\n"
            "TY  - JOUR\r\nAU  - Wendrake, Jonas\r\nA1  - O'Neill, Ann, Jr\r\n"
            "T1  - Tidal [brackets] and 'quotes'\r\nJO  - Journal of Tides\r\n"
            "PY  - 2003///\r\nKW  - tides\r\nKW  - moons; orbits\r\nAB  - First line\r\n"
            "  continued here\r\nSP  - 10\r\nEP  - 19\r\nDO  - 10.1000/xyz\r\n"
            "UR  - https://example.org/a\r\nER  - \r\n"
            "TY  - CHAP\nTI  - A chapter\nT2  - The Book\nY1  - 2010/05/01/Spring\n"
            "DA  - 2010/05/01\nER  - \n"
            "TY  - RPRT\nTI  - Never ended\n"
            "TY  - NEWS\nTI  - Headline\nPY  - 1999\nER  - \n");
        const ParseResult r = ris::read(text);
        QCOMPARE(r.references.size(), size_t(3));
        QCOMPARE(r.problems.size(), size_t(1));
        QCOMPARE(r.problems[0].line, 24);
        const Reference& a = r.references[0];
        QCOMPARE(a.type + '|' + namesText(a.authors), "article|Wendrake|Jonas|; O'Neill|Ann|Jr");
        QCOMPARE(
            fieldsText(a, {"title", "journal", "year", "keywords", "abstract", "pages", "doi"}),
            "Tidal [brackets] and 'quotes'|Journal of Tides|2003|tides, moons; orbits|First "
            "line continued here|10–19|10.1000/xyz");
        const Reference& b = r.references[1];
        QCOMPARE(b.type + '|' + fieldsText(b, {"booktitle", "date"}), "inbook|The Book|2010-05-01");
        // A news article (mapping() reads it as one).
        QCOMPARE(r.references[2].type + '|' + r.references[2].field(u"entrysubtype"),
                 "article|newspaper");
    }

    // The `file` field as other reference managers write it, and RIS's lines of files.
    void fileFields_data()
    {
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("files"); // path|description|type, "; " between files

        QTest::newRow("plain path") << "papers/Wendrake 2003.pdf"
                                    << "papers/Wendrake 2003.pdf||";
        QTest::newRow("one of a list") << ":papers/a.pdf:PDF"
                                       << "papers/a.pdf||PDF";
        QTest::newRow("several, described")
            << "Full Text:/home/u/a.pdf:application/pdf;Slides:b.odp:ODP"
            << "/home/u/a.pdf|Full Text|application/pdf; b.odp|Slides|ODP";
        QTest::newRow("escaped") << R"(:C\:\\Papers\\a\;b.pdf:PDF)"
                                 << R"(C:\Papers\a;b.pdf||PDF)";
        QTest::newRow("drive unescaped") << R"(desc:C:\Papers\a.pdf:PDF)"
                                         << R"(C:\Papers\a.pdf|desc|PDF)";
        QTest::newRow("plain Windows path") << R"(C:\Papers\a.pdf)"
                                            << R"(C:\Papers\a.pdf||)";
        QTest::newRow("file address") << "file:///home/u/My%20Paper.pdf"
                                      << "/home/u/My Paper.pdf||";
        QTest::newRow("file address in a list")
            << R"(:file\:///home/u/a.pdf:PDF;;  ; :file:///home/u/b.pdf:PDF)"
            << "/home/u/a.pdf||PDF; /home/u/b.pdf||PDF";
        QTest::newRow("web address") << R"(Online:https\://example.org/a.pdf:PDF)"
                                     << "https://example.org/a.pdf|Online|PDF (remote)";
        QTest::newRow("empty") << " ; "
                               << "";
    }

    void fileFields()
    {
        QFETCH(QString, value);
        QFETCH(QString, files);
        const std::vector<FileLink> links = parseFileField(value);
        QStringList out;
        for (const FileLink& f : links)
            out << f.path + '|' + f.description + '|' + f.type +
                       (f.remote ? QStringLiteral(" (remote)") : QString());
        QCOMPARE(out.join(QStringLiteral("; ")), files);
        // Written as a list and read again, every file is as it was.
        QCOMPARE(parseFileField(fileFieldText(links)), links);
    }

    void risFiles()
    {
        const ParseResult r = ris::read(
            QStringLiteral("TY  - JOUR\nTI  - One\nL1  - file:///home/u/a.pdf\nER  - \n"
                           "TY  - JOUR\nTI  - Two\nL1  - a;b.pdf\nL4  - c:d.png\n"
                           "UR  - file:///home/u/e.pdf\nUR  - https://example.org\nER  - \n"));
        QCOMPARE(r.references.size(), size_t(2));
        QCOMPARE(r.references[0].field(u"file"), "file:///home/u/a.pdf");
        const Reference& two = r.references[1];
        QCOMPARE(two.field(u"url"), "https://example.org");
        QStringList paths;
        for (const FileLink& f : parseFileField(two.field(u"file")))
            paths << f.path;
        QCOMPARE(paths, QStringList({"a;b.pdf", "c:d.png", "/home/u/e.pdf"}));
        // Written back, each file on a line of its own.
        const QString written = ris::write(two);
        QVERIFY2(written.contains("L1  - a;b.pdf\r\nL1  - c:d.png\r\nL1  - /home/u/e.pdf\r\n"),
                 qPrintable(written));
        QVERIFY(!written.contains("file:"));
    }

    // The sample file has each form of date and of name; odd items are read here.
    void cslJson()
    {
        const ParseResult r = csljson::read(
            QString::fromUtf8(quirelle::test::readFile(QFINDTESTDATA("data/sample.json"))));
        QCOMPARE(r.references.size(), size_t(3));
        const Reference& a = r.references[0];
        QCOMPARE(a.key + '|' + a.type, "w03|article");
        QCOMPARE(namesText(a.authors),
                 "Wendrake|Jonas|; van Beethoven|Ludwig|; World Health Organization||");
        QCOMPARE(fieldsText(a, {"date", "journal", "volume", "ranking", "quotations"}),
                 "2003-05-01|Journal of Tides|12|A|One.\nTwo.");
        QCOMPARE(r.references[1].field(u"year"), "Spring 2010");
        QCOMPARE(r.references[2].type + '|' + r.references[2].field(u"year"), "speech|circa 1900");
        const ParseResult odd = csljson::read(QStringLiteral(
            "[{\"id\": 7, \"title\": \"T\", \"custom\": {\"quotations\": [\"One.\", \"Two.\"]}}, "
            "\"not an item\"]"));
        QCOMPARE(odd.problems.size(), size_t(1));
        QCOMPARE(odd.references.at(0).key + '|' + odd.references.at(0).field(u"quotations"),
                 "7|One.\nTwo.");
        QVERIFY(!csljson::read(QStringLiteral("[{\"id\": 1,")).problems.empty());
        // Numbers beyond an integer's range stay numbers; a syntax error after non-ASCII text is
        // on its own line.
        const ParseResult big = csljson::read(
            QStringLiteral("[{\"id\": 1e19, \"volume\": -1e300, \"issue\": 12.5, \"page\": 7}]"));
        QCOMPARE(big.references.at(0).key + '|' +
                     fieldsText(big.references[0], {"volume", "number", "pages"}),
                 "1e+19|-1e+300|12.5|7");
        const ParseResult broken =
            csljson::read("[\"" + QString(40, QChar(u'é')) + "\", x" + QString(20, u'\n') + "1]");
        QCOMPARE(broken.problems.at(0).line, 1);
    }

    // What a formatted reference needs from fields CSL names otherwise: the institution, school
    // or organisation as the publisher, the location as the place, a thesis's kind, a book's
    // number in its series, an eprint's link, BibLaTeX's keys as words. Each reads back as the
    // fields it came from.
    void cslJsonForFormatting_data()
    {
        QTest::addColumn<QString>("bibtex");
        QTest::addColumn<QStringList>("variables"); // "name=value"; an empty value: none
        QTest::newRow("report") << "@report{r, title = {T}, institution = {IBM}, location = "
                                   "{Armonk}, type = {resreport}, number = {RC-6947}}"
                                << QStringList{"publisher=IBM", "publisher-place=Armonk",
                                               "genre=research report", "number=RC-6947"};
        QTest::newRow("thesis") << "@phdthesis{t, title = {T}, school = {Fanstord}}"
                                << QStringList{"publisher=Fanstord", "genre=PhD thesis"};
        QTest::newRow("thesis of its own kind")
            << "@mastersthesis{t, title = {T}, school = {S}, type = {Master's project}}"
            << QStringList{"genre=Master's project"};
        QTest::newRow("publisher and organisation")
            << "@manual{m, title = {T}, organization = {O}, publisher = {P}, address = {A}, "
               "location = {L}}"
            << QStringList{"publisher=P", "publisher-place=A"};
        QTest::newRow("a link is no publisher")
            << "@misc{m, title = {T}, howpublished = {https://example.org/t}}"
            << QStringList{"publisher="};
        QTest::newRow("book in a series")
            << "@book{b, title = {T}, series = {S}, number = {7}}"
            << QStringList{"collection-number=7", "number=", "collection-title=S"};
        QTest::newRow("report in a series")
            << "@techreport{b, title = {T}, series = {S}, number = {7}}"
            << QStringList{"number=7", "collection-number="};
        QTest::newRow("new series") << "@article{a, title = {T}, journal = {J}, series = "
                                       "{newseries}, number = {2}}"
                                    << QStringList{"collection-title=new series", "issue=2"};
        QTest::newRow("arXiv") << "@online{o, title = {T}, eprint = {math/0307200v3}, "
                                  "eprinttype = {arxiv}}"
                               << QStringList{"URL=https://arxiv.org/abs/math/0307200v3"};
        QTest::newRow("link wins over eprint")
            << "@online{o, title = {T}, url = {https://example.org/o}, eprint = {1}, "
               "eprinttype = {jstor}}"
            << QStringList{"URL=https://example.org/o"};
    }
    void cslJsonForFormatting()
    {
        QFETCH(QString, bibtex);
        QFETCH(QStringList, variables);
        const ParseResult read = bibtex::read(bibtex);
        QCOMPARE(read.references.size(), size_t(1));
        const Reference& r = read.references.front();
        QByteArray text = "[";
        csljson::appendItem(text, r);
        text += "]";
        const QJsonObject item = QJsonDocument::fromJson(text).array().at(0).toObject();
        for (const QString& v : variables) {
            const QString name = v.section(QLatin1Char('='), 0, 0);
            QCOMPARE(name + '=' + item.value(name).toString(), v);
        }
        const ParseResult back = csljson::read(QString::fromUtf8(text));
        QCOMPARE(back.references.size(), size_t(1));
        QCOMPARE(back.references.front().type, r.type);
        auto sorted = [](QList<std::pair<QString, QString>> fields) {
            std::sort(fields.begin(), fields.end());
            return fields;
        };
        QCOMPARE(sorted(back.references.front().fields), sorted(r.fields));
    }

    // What the described fields hold, and what goes whole to the extra fields.
    void mapping()
    {
        Reference r;
        r.type = QStringLiteral("inproceedings");
        r.authors = {{QString(35, QChar(u'Ł')), QStringLiteral("Ann"), {}},
                     {QStringLiteral("Smith"), QStringLiteral("Bo"), QStringLiteral("Jr")}};
        const QString longTitle = QString(99, QChar(u'x')) + QStringLiteral("😀😀");
        r.fields = {{"title", longTitle},
                    {"year", "2003a"},
                    {"booktitle", "Proc"},
                    {"publisher", "Pub"},
                    {"keywords", "alpha; beta, " + QString(60, QChar(u'k'))},
                    {"ranking", "B"},
                    {"readstatus", "skimmed"},
                    {"volume", "7"},
                    {"cites", "a, b"},
                    {"quotations", "One\nTwo"}};
        int cut = 0;
        const PaperData p = toPaper(r, &cut);
        // Title, surname, keyword and year did not fit.
        QCOMPARE(cut, 4);
        QCOMPARE(p.title, longTitle.left(101)); // cut after the first emoji, not inside it
        QCOMPARE(QStringList({p.year, p.publicationName, p.publicationType, p.rating, p.status})
                     .join(u'|'),
                 "2003|Proc||B|skimmed");
        QCOMPARE(p.authors.front().surname, QString(30, QChar(u'Ł')));
        QCOMPARE(p.authors.back().forenames, "Bo, Jr");
        QCOMPARE(p.keywords.size(), 3);
        QCOMPARE(p.quotations, QStringList({"One", "Two"}));
        QCOMPARE(p.cites, QStringList({"a", "b"}));
        // Back unchanged, the reference is the one read: what did not fit went to the extra
        // fields whole (the citation key: tst_importexport).
        const Reference back = toReference(p);
        QCOMPARE(back.type, r.type);
        QCOMPARE(namesText(back.authors), namesText(r.authors));
        for (const auto& [name, value] : r.fields)
            QCOMPARE(back.field(name), value);
        // A described field changed in the program wins over its extra value.
        PaperData edited = p;
        edited.title = QStringLiteral("Edited");
        edited.year = QStringLiteral("1999");
        edited.publicationName = QStringLiteral("Other proc");
        edited.publicationType = QStringLiteral("Book");
        edited.authors.pop_back();
        const Reference e = toReference(edited);
        QCOMPARE(e.type + '|' + fieldsText(e, {"title", "year", "booktitle", "publisher"}),
                 "book|Edited|1999|Other proc|Pub");
        QCOMPARE(e.authors.size(), size_t(1));
        // Each program type is written as an entry type that maps back to it (the entry types
        // of tricky.bib and the RIS types are read into theirs in tst_importexport and ris()).
        QCOMPARE(publicationTypeOf("article", "magazine"), "News Article");
        for (const char* type : {"Professional Journal", "News Article", "Book", "Website",
                                 "University White Paper", "Business White Paper", ""}) {
            PaperData typed;
            typed.publicationType = QString::fromLatin1(type);
            const Reference t = toReference(typed);
            QCOMPARE(publicationTypeOf(t.type, t.field(u"entrysubtype")), typed.publicationType);
        }
    }
};

QTEST_GUILESS_MAIN(TstFormats)
#include "tst_formats.moc"
