// Text rules of the dialect: `like` wildcards and letter case for every alphabet, and ordering.
#include "db/textrules.h"

#include <QTest>

using namespace quirelle::db::text;

class TstTextRules : public QObject
{
    Q_OBJECT

private slots:
    void like_data()
    {
        QTest::addColumn<QString>("pattern");
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("matches");
        QTest::newRow("contains") << "*learn*"
                                  << "Deep Learning today" << true;
        QTest::newRow("contains, no") << "*learn*"
                                      << "Deep Lea rning" << false;
        QTest::newRow("exact ignores case") << "b"
                                            << "B" << true;
        QTest::newRow("exact is whole") << "b"
                                        << "BB" << false;
        QTest::newRow("one character") << "c?t"
                                       << "cat" << true;
        QTest::newRow("one character, not none") << "c?t"
                                                 << "ct" << false;
        QTest::newRow("digit") << "19##"
                               << "1998" << true;
        QTest::newRow("digit refuses letter") << "19##"
                                              << "19x8" << false;
        QTest::newRow("list") << "[bc]at"
                              << "Cat" << true;
        QTest::newRow("list refuses") << "[bc]at"
                                      << "hat" << false;
        QTest::newRow("range") << "[a-f]*"
                               << "Delta" << true;
        QTest::newRow("range refuses") << "[a-f]*"
                                       << "Zeta" << false;
        QTest::newRow("negated list") << "[!abc]*"
                                      << "zebra" << true;
        QTest::newRow("negated list refuses") << "[!abc]*"
                                              << "Apple" << false;
        QTest::newRow("star in list is literal") << "*[*]*"
                                                 << "a*b" << true;
        QTest::newRow("unicode case") << "*über*"
                                      << "ÜBER alles" << true;
        QTest::newRow("greek same accents") << "*ΣΟΦΊΑ*"
                                            << "η σοφία" << true;
        QTest::newRow("apostrophe") << "*model's*"
                                    << "The Model's limits" << true;
        QTest::newRow("empty pattern matches empty") << ""
                                                     << "" << true;
        QTest::newRow("star matches empty") << "**"
                                            << "" << true;
        QTest::newRow("backtracking") << "*ab*abc"
                                      << "xxabyabzabc" << true;
        QTest::newRow("unclosed list is literal") << "a[b"
                                                  << "A[B" << true;
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
