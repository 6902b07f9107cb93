// Text rules: `like` wildcards and letter case for every alphabet, ordering, and the list
// lines that stand for rows told from text the user typed.
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
        struct Row
        {
            const char *name, *pattern, *text;
            bool matches;
        };
        // clang-format off
        const Row rows[] = {
            {"contains", "*learn*", "Deep Learning today", true},
            {"contains, no", "*learn*", "Deep Lea rning", false},
            {"exact ignores case", "b", "B", true},
            {"exact is whole", "b", "BB", false},
            {"one character", "c?t", "cat", true},
            {"one character, not none", "c?t", "ct", false},
            {"digit", "19##", "1998", true},
            {"digit refuses letter", "19##", "19x8", false},
            {"list", "[bc]at", "Cat", true},
            {"list refuses", "[bc]at", "hat", false},
            {"range", "[a-f]*", "Delta", true},
            {"range refuses", "[a-f]*", "Zeta", false},
            {"negated list", "[!abc]*", "zebra", true},
            {"negated list refuses", "[!abc]*", "Apple", false},
            {"star in list is literal", "*[*]*", "a*b", true},
            {"unicode case", "*über*", "ÜBER alles", true},
            {"greek same accents", "*ΣΟΦΊΑ*", "η σοφία", true},
            {"apostrophe", "*model's*", "The Model's limits", true},
            {"empty pattern matches empty", "", "", true},
            {"star matches empty", "**", "", true},
            {"backtracking", "*ab*abc", "xxabyabzabc", true},
            {"unclosed list is literal", "a[b", "A[B", true},
        };
        // clang-format on
        for (const Row& r : rows)
            QTest::newRow(r.name) << QString::fromUtf8(r.pattern) << QString::fromUtf8(r.text)
                                  << r.matches;
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
        const QStringList patterns{
            "*zephyrine*", "*ZEPH*", "*it's a*", "*a*",      "**",    "*",     "*\u212A*", "*é*",
            "*e*",         "*ss*",   "*l?arn*",  "*of*tru*", "*19#*", "*[*]*", "zeph*",    "*rine"};
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
        QTest::newRow("colon after a word") << "theory: practice" << -1 << "" << -1;
        QTest::newRow("blank first") << " 27 : x" << -1 << "" << -1;
        QTest::newRow("empty-list line") << "No entried found..." << -1 << "" << -1;
        QTest::newRow("too large for an id") << "99999999999 : x" << -1 << "" << -1;
        QTest::newRow("empty") << "" << -1 << "" << -1;
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

    void collation()
    {
        const auto cmp = [](const char* a, const char* b) { return collate(a, b); };
        QCOMPARE(cmp("smith", "SMITH"), 0);
        QCOMPARE(cmp("ÉMILE", "émile"), 0);
        QVERIFY(cmp("Emile", "émile") != 0);
        // Accents only break ties: émile sorts between Emile and Emma.
        QVERIFY(cmp("Emile", "émile") < 0);
        QVERIFY(cmp("émile", "Emma") < 0);
        QVERIFY(cmp("apple", "Banana") < 0);
        QVERIFY(cmp("Zeta", "ábaco") > 0);
        QVERIFY(cmp("abc", "abcd") < 0);
        QCOMPARE(cmp("", ""), 0);
    }

    void caseless()
    {
        QVERIFY(isCaseless(u"123"));
        QVERIFY(isCaseless(u"12 - 3!"));
        QVERIFY(!isCaseless(u"12a"));
        QVERIFY(!isCaseless(u"é"));
    }
};

QTEST_APPLESS_MAIN(TstTextRules)
#include "tst_textrules.moc"
