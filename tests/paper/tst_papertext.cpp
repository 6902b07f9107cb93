// The texts the paper window builds from its lines: identifiers read back, the quotation
// sentence with its author-year key, and the reference.
#include "paper/papertext.h"

#include <QTest>

using namespace quirelle::paper;

class TstPaperText : public QObject
{
    Q_OBJECT

private slots:
    void identifiers_data()
    {
        QTest::addColumn<QString>("line");
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("id"); // -1: not a number
        QTest::newRow("paper line") << "27 : Signals in Clay" << QStringLiteral("27") << 27;
        QTest::newRow("above 16 bits") << "40000 : Late paper" << QStringLiteral("40000") << 40000;
        QTest::newRow("bare number") << "12" << QStringLiteral("12") << 12;
        QTest::newRow("no number") << "No entried found..." << QStringLiteral("No") << -1;
        QTest::newRow("empty") << "" << QString() << -1;
        QTest::newRow("leading blank") << " 5 : x" << QString() << -1;
    }
    void identifiers()
    {
        QFETCH(QString, line);
        QFETCH(QString, text);
        QFETCH(int, id);
        QCOMPARE(identifierText(line), text);
        const auto read = identifierOf(line);
        QCOMPARE(read.has_value(), id >= 0);
        if (read)
            QCOMPARE(*read, id);
    }

    void quotations_data()
    {
        QTest::addColumn<QStringList>("authors");
        QTest::addColumn<QString>("year");
        QTest::addColumn<QString>("opening"); // before " stated that '...'"
        const QString w = QStringLiteral("3 : Wendrake, Ilse");
        const QString v = QStringLiteral("8 : Venmoor, Kade");
        const QString o = QStringLiteral("12 : Oy, Ann");
        const QString y = QStringLiteral("1998");
        QTest::newRow("one") << QStringList{w} << y << "Wendrake [WEND98]";
        QTest::newRow("two") << QStringList{w, v} << y << "Wendrake and Venmoor [WEND98]";
        QTest::newRow("three") << QStringList{w, v, o} << y << "Wendrake et al. [WEND98]";
        QTest::newRow("no year") << QStringList{w} << QString() << "Wendrake [WEND]";
        QTest::newRow("year with blanks")
            << QStringList{w} << QStringLiteral(" 2003 ") << "Wendrake [WEND03]";
        // The two-author key takes four characters wherever the first surname begins.
        QTest::newRow("two, short surname") << QStringList{o, v} << y << "Oy and Venmoor [OY, 98]";
        QTest::newRow("one, short surname") << QStringList{o} << y << "Oy [OY98]";
        QTest::newRow("blank in surname") << QStringList{"7 : Van Oss, Tim"} << y << "Va [VA98]";
        QTest::newRow("no authors") << QStringList{} << y << "[98]";
        QTest::newRow("typed, no colon") << QStringList{"Smith, Jo"} << y << "Smith [SMIT98]";
    }
    void quotations()
    {
        QFETCH(QStringList, authors);
        QFETCH(QString, year);
        QFETCH(QString, opening);
        QCOMPARE(quotationSentence(authors, year, statementOfLine("41 : clay remembers")),
                 opening + " stated that 'clay remembers'");
    }

    void statementKeepsItsOwnSeparators()
    {
        QCOMPARE(statementOfLine("5 : a : b"), QStringLiteral("a : b"));
        QCOMPARE(statementOfLine("O'Brien's"), QStringLiteral("O'Brien's"));
    }

    void references_data()
    {
        QTest::addColumn<QStringList>("authors");
        QTest::addColumn<QString>("publication");
        QTest::addColumn<QString>("expected");
        const QStringList two{referenceAuthor("Wendrake", "Ilse"),
                              referenceAuthor("Venmoor", "Kade")};
        const QString j = QStringLiteral("J");
        QTest::newRow("worked example")
            << two << j << "Wendrake I., Venmoor K., Signals in Clay, J, 2003";
        QTest::newRow("no publication name")
            << two << QString() << "Wendrake I., Venmoor K., Signals in Clay, , 2003";
        QTest::newRow("no authors") << QStringList{} << j << "Signals in Clay, J, 2003";
        QTest::newRow("no forenames") << QStringList{referenceAuthor("Wendrake", "")} << j
                                      << "Wendrake ., Signals in Clay, J, 2003";
    }
    void references()
    {
        QFETCH(QStringList, authors);
        QFETCH(QString, publication);
        QFETCH(QString, expected);
        QCOMPARE(referenceText(authors, "Signals in Clay", publication, "2003"), expected);
    }
};

QTEST_APPLESS_MAIN(TstPaperText)
#include "tst_papertext.moc"
