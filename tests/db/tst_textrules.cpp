// Text rules: `like` wildcards and letter case for every alphabet, texts without letter case,
// and the list lines that stand for rows told from text the user typed. Ordering is tested
// through the engine's sorts.
#include "db/listline.h"
#include "db/textrules.h"

#include <QTest>

using namespace quirelle::db::text;
using quirelle::ListLine;

class TstTextRules : public QObject
{
    Q_OBJECT

private slots:
    void like_data()
    {
        QTest::addColumn<QString>("pattern");
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("matches");
        const auto row = [](const char* name, const char* pattern, const char* text, bool matches) {
            QTest::newRow(name) << QString::fromUtf8(pattern) << QString::fromUtf8(text) << matches;
        };
        row("contains", "*learn*", "Deep Learning today", true);
        row("exact is whole", "b", "BB", false);
        row("one character", "c?t", "cat", true);
        row("one character, not none", "c?t", "ct", false);
        row("digit", "19##", "1998", true);
        row("digit refuses letter", "19##", "19x8", false);
        row("list", "[bc]at", "Cat", true);
        row("list refuses", "[bc]at", "hat", false);
        row("range", "[a-f]*", "Delta", true);
        row("range refuses", "[a-f]*", "Zeta", false);
        row("negated list", "[!abc]*", "zebra", true);
        row("negated list refuses", "[!abc]*", "Apple", false);
        row("star in list is literal", "*[*]*", "a*b", true);
        row("unicode case", "*über*", "ÜBER alles", true);
        row("greek same accents", "*ΣΟΦΊΑ*", "η σοφία", true);
        row("decomposed accent", "*café*", "Cafe\u0301 society", true);
        row("empty pattern matches empty", "", "", true);
        row("star matches empty", "**", "", true);
        row("backtracking", "*ab*abc", "xxabyabzabc", true);
        row("unclosed list is literal", "a[b", "A[B", true);
    }
    void like()
    {
        QFETCH(QString, pattern);
        QFETCH(QString, text);
        QFETCH(bool, matches);
        const LikePattern p(pattern);
        QCOMPARE(p.matches(QStringView(text)), matches);
        QCOMPARE(p.matches(std::string_view(text.toStdString())), matches);
    }

    // A search scans every row with a contains-pattern; texts of plain ASCII take a short way.
    // Whichever way a text takes, the answer is that of the folded comparison.
    void containsPatternsAnswerAsTheFoldedComparison()
    {
        const QStringList patterns =
            QStringLiteral("*zephyrine*|*ZEPH*|*it's a*|*a*|**|*|*\u212A*|*é*|*e*|*ss*|*l?arn*|"
                           "*of*tru*|*19#*|*[*]*|zeph*|*rine")
                .split(QLatin1Char('|'));
        const QStringList subjects =
            QStringLiteral("Zephyrine Effects|the so-called zephyrine pattern|ZEPHYRINE|zephyrin|"
                           "It's a model||k|Kelvin|Café Müller|Cafe\u0301|Straße|Learning to Learn|"
                           "Models of Trust|1984 and 1999|a*b|Zéphyrine")
                .split(QLatin1Char('|'));
        for (const QString& p : patterns) {
            const LikePattern pattern(p);
            for (const QString& s : subjects) {
                const QByteArray utf8 = s.toUtf8();
                QVERIFY2(pattern.matches(std::string_view(utf8.constData(), utf8.size())) ==
                             pattern.matches(QStringView(s)),
                         qPrintable(p + " / " + s));
            }
        }
    }

    // Texts in Latin letters with accents are folded from a table, a character at a time; the
    // order and the matches are those of folding the whole text.
    void latinTextsAnswerAsTheWholeTextFolded()
    {
        const auto fold = [](const QString& s) {
            return s.normalized(QString::NormalizationForm_C).toCaseFolded();
        };
        const auto base = [](const QString& folded) {
            QString out;
            for (QChar c : folded.normalized(QString::NormalizationForm_D)) {
                if (!c.isMark())
                    out.append(c);
            }
            return out;
        };
        const auto reference = [&](const QString& a, const QString& b) {
            const QString fa = fold(a);
            const QString fb = fold(b);
            if (fa == fb)
                return 0;
            const int primary = base(fa).compare(base(fb));
            if (primary != 0)
                return primary < 0 ? -1 : 1;
            return fa < fb ? -1 : 1;
        };
        const QStringList texts =
            QStringLiteral("Müller|Muller|MÜLLER|Mueller|Müllers|Łukasiewicz|lukasiewicz|ŁUKASZ|"
                           "Ødegaard|Odegaard|Sørensen|Straße|STRASSE|strasse|Strasse|İstanbul|"
                           "istanbul|Istanbul|ǅemal|Ǆemal|džemal|Zoë|Zoe|ZOË|José|JOSÉ|Jose\u0301|"
                           "ĳssel|Ĳssel|ŉa|ʼna|ſun|sun|Ǻngström|Émile|émile|Emile|emile|Æsir|æsir|"
                           "Aesir|Þór|þór|ǰak|J\u030Cak|Ƀx|ȿx|ɏy|ɐz|Ǳ|ǲ|ǳ|café|cafe|CAFÉ|"
                           "Café Müller|Ǖber|ǖber|über|a\u0308b|äb|Ab|ab|AB|Ω|ω|K|\u212A|k|")
                .split(QLatin1Char('|'));
        for (const QString& a : texts) {
            const QByteArray ua = a.toUtf8();
            for (const QString& b : texts) {
                const QByteArray ub = b.toUtf8();
                QVERIFY2(collate(std::string_view(ua.constData(), ua.size()),
                                 std::string_view(ub.constData(), ub.size())) == reference(a, b),
                         qPrintable(a + " / " + b));
            }
            for (const QString& p : texts) {
                const LikePattern pattern(QLatin1Char('*') + p + QLatin1Char('*'));
                QVERIFY2(pattern.matches(std::string_view(ua.constData(), ua.size())) ==
                             pattern.matches(QStringView(a)),
                         qPrintable(p + " in " + a));
            }
        }
    }

    void listLines_data()
    {
        QTest::addColumn<QString>("line");
        QTest::addColumn<int>("parsed"); // the id of a list line; -1: typed text
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("idOf"); // the id as handlers read it back; -1: none
        QTest::newRow("paper line") << "27 : Signals in Clay" << 27 << "Signals in Clay" << 27;
        QTest::newRow("above 16 bits") << "40000 : Late" << 40000 << "Late" << 40000;
        QTest::newRow("text emptied") << "27 : " << 27 << "" << 27;
        QTest::newRow("separator in the text") << "5 : a : b" << 5 << "a : b" << 5;
        QTest::newRow("bare number") << "12" << -1 << "" << 12;
        QTest::newRow("number and a word") << "27 learning" << -1 << "" << 27;
        QTest::newRow("colon without blanks") << "27:x" << -1 << "" << -1;
        QTest::newRow("no blank after the colon") << "27 :x" << -1 << "" << 27;
        QTest::newRow("blank first") << " 27 : x" << -1 << "" << -1;
        QTest::newRow("empty-list line") << "No entried found..." << -1 << "" << -1;
        QTest::newRow("too large for an id") << "99999999999 : x" << -1 << "" << -1;
    }
    void listLines()
    {
        QFETCH(QString, line);
        QFETCH(int, parsed);
        QFETCH(QString, text);
        QFETCH(int, idOf);
        const auto p = ListLine::parse(line);
        QCOMPARE(p ? p->id : -1, parsed);
        if (p) {
            QCOMPARE(p->text, text);
            QCOMPARE(p->toString(), line);
        }
        QCOMPARE(ListLine::idOf(line).value_or(-1), idOf);
    }

    void caseless()
    {
        QVERIFY(isCaseless(u"12 - 3!"));
        QVERIFY(!isCaseless(u"12a"));
    }
};

QTEST_APPLESS_MAIN(TstTextRules)
#include "tst_textrules.moc"
