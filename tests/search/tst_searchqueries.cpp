// How a criterion is read: list lines told from typed text, and the Keyword mode's terms and
// query text.
#include "db/textrules.h"
#include "search/searchqueries.h"

#include <QTest>

using namespace quirelle;

Q_DECLARE_METATYPE(std::optional<qint32>)

class TstSearchQueries : public QObject
{
    Q_OBJECT

private slots:
    void listLinesAreToldFromTypedText_data()
    {
        QTest::addColumn<QString>("criterion");
        QTest::addColumn<std::optional<qint32>>("id");
        const std::optional<qint32> typed;
        QTest::newRow("picked paper") << "27 : Learning to Learn" << std::optional<qint32>(27);
        QTest::newRow("picked, text emptied") << "27 : " << std::optional<qint32>(27);
        QTest::newRow("typed with a blank") << "deep learning" << typed;
        QTest::newRow("number and a word") << "27 learning" << typed;
        QTest::newRow("colon without blanks") << "27:x" << typed;
        QTest::newRow("colon after a word") << "theory: practice" << typed;
        QTest::newRow("no blank after the colon") << "27 :x" << typed;
        QTest::newRow("blank first") << " 27 : x" << typed;
        QTest::newRow("empty-list line") << "No entried found..." << typed;
        QTest::newRow("too large for an id") << "99999999999 : x" << typed;
        QTest::newRow("empty") << "" << typed;
    }
    void listLinesAreToldFromTypedText()
    {
        QFETCH(QString, criterion);
        QFETCH(std::optional<qint32>, id);
        QCOMPARE(search::lineId(criterion), id);
    }

    // The terms are cut at the first two commas and kept untrimmed; an empty second or third
    // term adds nothing, an empty first one is kept.
    void keywordQuery_data()
    {
        QTest::addColumn<QString>("criterion");
        QTest::addColumn<QString>("query");
        const QString start = QStringLiteral("select * from [Keywords] where [Keyword] like '*");
        const QString orLike = QStringLiteral("*' or [KeyWord] like '*");
        QTest::newRow("one term") << "neural" << start + "neural*'";
        QTest::newRow("two terms, blank kept") << "a, b" << start + "a" + orLike + " b*';";
        QTest::newRow("more commas in the third")
            << "a,b,c,d" << start + "a" + orLike + "b" + orLike + "c,d*';";
        QTest::newRow("empty second term") << "a,,c" << start + "a" + orLike + "c*';";
        QTest::newRow("empty first term") << ",b" << start + orLike + "b*';";
        QTest::newRow("trailing comma") << "a," << start + "a*'";
        QTest::newRow("apostrophe") << "what's" << start + "what''s*'";
    }
    void keywordQuery()
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
        const QStringList subjects =
            QStringLiteral("Zephyrine Effects|the so-called zephyrine pattern|ZEPHYRINE|zephyrin|"
                           "It's a model||k|Kelvin|Café Müller|Cafe\u0301|Straße|Learning to Learn|"
                           "Models of Trust|1984 and 1999|a*b|Deep Learning in Practice|Zéphyrine")
                .split(QLatin1Char('|'));
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
        QVERIFY(db::text::LikePattern(QStringLiteral("*it's a*"))
                    .matches(std::string_view("It's a model")));
    }
};

QTEST_APPLESS_MAIN(TstSearchQueries)
#include "tst_searchqueries.moc"
