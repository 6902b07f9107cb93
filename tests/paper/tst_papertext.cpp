// The texts the paper window builds from its lines: the quotation sentence with its author-year
// key, and the reference; both cut at whole characters.
#include "paper/data/papertext.h"

#include <QTest>

using namespace quirelle::paper;

class TstPaperText : public QObject
{
    Q_OBJECT

private slots:
    void quotations_data()
    {
        QTest::addColumn<QStringList>("authors");
        QTest::addColumn<QString>("year");
        QTest::addColumn<QString>("opening"); // before " stated that '...'"
        const QString w = QStringLiteral("3 : Wendrake, Ilse");
        const QString v = QStringLiteral("8 : Venmoor, Kade");
        const QString o = QStringLiteral("12 : Oy, Ann");
        const QString y = QStringLiteral("1998");
        // Two authors as the paper window copies them: see tst_viewpaper.
        QTest::newRow("one") << QStringList{w} << y << "Wendrake [WEND98]";
        QTest::newRow("three") << QStringList{w, v, o} << y << "Wendrake et al. [WEND98]";
        QTest::newRow("no year") << QStringList{w} << QString() << "Wendrake [WEND]";
        QTest::newRow("year with blanks") << QStringList{w} << " 2003 "
                                          << "Wendrake [WEND03]";
        // The two-author key takes four characters wherever the first surname begins.
        QTest::newRow("two, short surname") << QStringList{o, v} << y << "Oy and Venmoor [OY, 98]";
        QTest::newRow("one, short surname") << QStringList{o} << y << "Oy [OY98]";
        QTest::newRow("blank in surname") << QStringList{"7 : Van Oss, Tim"} << y << "Va [VA98]";
        QTest::newRow("no authors") << QStringList{} << y << "[98]";
        QTest::newRow("typed, no colon") << QStringList{"Smith, Jo"} << y << "Smith [SMIT98]";
        // A character outside the basic plane is one of the key's four, never half of one.
        const QString e = QStringLiteral("\U0001F600");
        QTest::newRow("emoji surname") << QStringList{"4 : " + e.repeated(5) + ", Jo"} << y
                                       << e.repeated(5) + " [" + e.repeated(4) + "98]";
    }
    void quotations()
    {
        QFETCH(QStringList, authors);
        QFETCH(QString, year);
        QFETCH(QString, opening);
        const QString sentence =
            quotationSentence(authors, year, statementOfLine("41 : clay : remembers"));
        QCOMPARE(sentence, opening + " stated that 'clay : remembers'");
        QVERIFY(sentence.isValidUtf16());
        QCOMPARE(statementOfLine("O'Brien's"), "O'Brien's"); // a line without a number
    }

    void references_data()
    {
        QTest::addColumn<QStringList>("authors");
        QTest::addColumn<QString>("publication");
        QTest::addColumn<QString>("expected");
        // With two authors, and with none and no publication name: see tst_viewpaper.
        const QString j = QStringLiteral("J");
        QTest::newRow("no forenames") << QStringList{referenceAuthor("Wendrake", "")} << j
                                      << "Wendrake ., Signals in Clay, J, 2003";
        QTest::newRow("emoji initial") << QStringList{referenceAuthor("Wendrake", "\U0001F600lse")}
                                       << j << "Wendrake \U0001F600., Signals in Clay, J, 2003";
    }
    void references()
    {
        QFETCH(QStringList, authors);
        QFETCH(QString, publication);
        QFETCH(QString, expected);
        const QString text = referenceText(authors, "Signals in Clay", publication, "2003");
        QCOMPARE(text, expected);
        QVERIFY(text.isValidUtf16());
    }
};

QTEST_APPLESS_MAIN(TstPaperText)
#include "tst_papertext.moc"
