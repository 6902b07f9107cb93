// How a criterion is read: list lines told from typed text, and the Keyword mode's terms and
// query text.
#include "db/textrules.h"
#include "search/searchqueries.h"

#include <QTest>

using namespace quirelle;
using search::KeywordTerms;

Q_DECLARE_METATYPE(std::optional<qint32>)
Q_DECLARE_METATYPE(std::optional<QString>)

class TstSearchQueries : public QObject
{
    Q_OBJECT

private slots:
    void listLinesAreToldFromTypedText_data()
    {
        QTest::addColumn<QString>("criterion");
        QTest::addColumn<std::optional<qint32>>("id");
        const std::optional<qint32> none;
        QTest::newRow("picked paper") << "27 : Learning to Learn" << std::optional<qint32>(27);
        QTest::newRow("picked, text emptied") << "27 : " << std::optional<qint32>(27);
        QTest::newRow("picked author") << "3 : van Dyke, Dora" << std::optional<qint32>(3);
        QTest::newRow("typed with a blank") << "deep learning" << none;
        QTest::newRow("typed surname with a blank") << "van Dyke" << none;
        QTest::newRow("number and a word") << "27 learning" << none;
        QTest::newRow("colon without blanks") << "27:x" << none;
        QTest::newRow("colon after a word") << "theory: practice" << none;
        QTest::newRow("no separator after the number") << "27 :x" << none;
        QTest::newRow("blank first") << " 27 : x" << none;
        QTest::newRow("empty-list line") << "No entried found..." << none;
        QTest::newRow("too large for an id") << "99999999999 : x" << none;
        QTest::newRow("empty") << "" << none;
    }
    void listLinesAreToldFromTypedText()
    {
        QFETCH(QString, criterion);
        QFETCH(std::optional<qint32>, id);
        QCOMPARE(search::lineId(criterion), id);
    }

    void keywordTermsAreCutAtTheFirstTwoCommas_data()
    {
        QTest::addColumn<QString>("criterion");
        QTest::addColumn<QString>("first");
        QTest::addColumn<std::optional<QString>>("second");
        QTest::addColumn<std::optional<QString>>("third");
        const std::optional<QString> none;
        const auto some = [](const char* s) { return std::optional<QString>(QString(s)); };
        QTest::newRow("no comma") << "neural"
                                  << "neural" << none << none;
        QTest::newRow("blank kept") << "neural, vision"
                                    << "neural" << none << some(" vision");
        QTest::newRow("two terms") << "a,b"
                                   << "a" << none << some("b");
        QTest::newRow("more commas stay in the third") << "a,b,c,d"
                                                       << "a" << some("b") << some("c,d");
        QTest::newRow("leading comma") << ",vision"
                                       << "" << none << some("vision");
        QTest::newRow("trailing comma") << "a,"
                                        << "a" << none << some("");
    }
    void keywordTermsAreCutAtTheFirstTwoCommas()
    {
        QFETCH(QString, criterion);
        QFETCH(QString, first);
        QFETCH(std::optional<QString>, second);
        QFETCH(std::optional<QString>, third);
        const KeywordTerms t = search::splitKeywordTerms(criterion);
        QCOMPARE(t.first, first);
        QCOMPARE(t.second, second);
        QCOMPARE(t.third, third);
    }

    void keywordQueryText_data()
    {
        QTest::addColumn<QString>("criterion");
        QTest::addColumn<QString>("query");
        const QString start = QStringLiteral("select * from [Keywords] where [Keyword] like ");
        QTest::newRow("one term") << "neural" << start + "'*neural*'";
        QTest::newRow("two terms") << "a,b" << start + "'*a*' or [KeyWord] like '*b*';";
        QTest::newRow("three terms")
            << "a,b,c,d" << start + "'*a*' or [KeyWord] like '*b*' or [KeyWord] like '*c,d*';";
        QTest::newRow("blank kept")
            << "neural, vision" << start + "'*neural*' or [KeyWord] like '* vision*';";
        QTest::newRow("empty second term adds nothing")
            << "a,,c" << start + "'*a*' or [KeyWord] like '*c*';";
        QTest::newRow("empty first term is kept")
            << ",b" << start + "'**' or [KeyWord] like '*b*';";
        QTest::newRow("apostrophe is a character") << "what's" << start + "'*what''s*'";
    }
    void keywordQueryText()
    {
        QFETCH(QString, criterion);
        QFETCH(QString, query);
        QCOMPARE(search::keywordQuery(search::splitKeywordTerms(criterion)), query);
    }

    // A search scans every row with a contains-pattern; texts of plain ASCII take a short way.
    // Whichever way a text takes, the answer is that of the folded comparison.
    void containsPatternsAnswerAsTheFoldedComparison()
    {
        const QStringList patterns{"*zephyrine*", "*ZEPH*", "*it's a*",        "*a*",
                                   "**",          "*",      "*\u212A*",        "*é*",
                                   "*e*",         "*ss*",   "*l?arn*",         "*of*tru*",
                                   "*19#*",       "*[*]*",  "*deep learning*", "zeph*",
                                   "*rine"};
        const QStringList subjects{"Zephyrine Effects",
                                   "the so-called zephyrine pattern",
                                   "ZEPHYRINE",
                                   "zephyrin",
                                   "It's a model",
                                   "",
                                   "k",
                                   "Kelvin",
                                   "Café Müller",
                                   "Cafe\u0301",
                                   "Straße",
                                   "Learning to Learn",
                                   "Models of Trust",
                                   "1984 and 1999",
                                   "a*b",
                                   "Deep Learning in Practice",
                                   "Zéphyrine"};
        for (const QString& p : patterns) {
            const db::text::LikePattern pattern(p);
            for (const QString& s : subjects) {
                const QByteArray utf8 = s.toUtf8();
                QVERIFY2(pattern.matches(std::string_view(utf8.constData(), utf8.size())) ==
                             pattern.matches(QStringView(s)),
                         qPrintable(p + " / " + s));
            }
        }
        // The short way gives the answers a reader expects.
        const db::text::LikePattern rare(QStringLiteral("*zephyrine*"));
        QVERIFY(rare.matches(std::string_view("The ZEPHYRINE drift")));
        QVERIFY(!rare.matches(std::string_view("zephyrin")));
        const db::text::LikePattern quote(QStringLiteral("*it's a*"));
        QVERIFY(quote.matches(std::string_view("It's a model")));
    }
};

QTEST_APPLESS_MAIN(TstSearchQueries)
#include "tst_searchqueries.moc"
