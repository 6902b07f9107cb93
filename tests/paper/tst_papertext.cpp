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
        QTest::newRow("paper line") << "27 : Signals in Clay"
                                    << "27" << 27;
        QTest::newRow("above 16 bits") << "40000 : Late paper"
                                       << "40000" << 40000;
        QTest::newRow("bare number") << "12"
                                     << "12" << 12;
        QTest::newRow("no number") << "No entried found..."
                                   << "No" << -1;
        QTest::newRow("empty") << ""
                               << "" << -1;
        QTest::newRow("leading blank") << " 5 : x"
                                       << "" << -1;
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
        QTest::addColumn<QString>("expected");
        const QString w = QStringLiteral("3 : Wendrake, Ilse");
        const QString v = QStringLiteral("8 : Venmoor, Kade");
        const QString o = QStringLiteral("12 : Oy, Ann");
        QTest::newRow("one") << QStringList{w} << "1998"
                             << "Wendrake [WEND98] stated that 'clay remembers'";
        QTest::newRow("two") << QStringList{w, v} << "1998"
                             << "Wendrake and Venmoor [WEND98] stated that 'clay remembers'";
        QTest::newRow("three") << QStringList{w, v, o} << "1998"
                               << "Wendrake et al. [WEND98] stated that 'clay remembers'";
        QTest::newRow("no year") << QStringList{w} << ""
                                 << "Wendrake [WEND] stated that 'clay remembers'";
        QTest::newRow("year with blanks") << QStringList{w} << " 2003 "
                                          << "Wendrake [WEND03] stated that 'clay remembers'";
        // The two-author key takes four characters wherever the first surname begins.
        QTest::newRow("two, short surname")
            << QStringList{o, v} << "1998"
            << "Oy and Venmoor [OY, 98] stated that 'clay remembers'";
        QTest::newRow("one, short surname") << QStringList{o} << "1998"
                                            << "Oy [OY98] stated that 'clay remembers'";
        QTest::newRow("blank in surname")
            << QStringList{QStringLiteral("7 : Van Oss, Tim")} << "1998"
            << "Va [VA98] stated that 'clay remembers'";
        QTest::newRow("no authors") << QStringList{} << "1998"
                                    << "[98] stated that 'clay remembers'";
        QTest::newRow("typed line without colon")
            << QStringList{QStringLiteral("Smith, Jo")} << "1998"
            << "Smith [SMIT98] stated that 'clay remembers'";
    }
    void quotations()
    {
        QFETCH(QStringList, authors);
        QFETCH(QString, year);
        QFETCH(QString, expected);
        QCOMPARE(quotationSentence(authors, year, statementOfLine("41 : clay remembers")),
                 expected);
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
        QTest::newRow("worked example")
            << two << "Journal of Small Things"
            << "Wendrake I., Venmoor K., Signals in Clay, Journal of Small Things, 2003";
        QTest::newRow("no publication name") << two << ""
                                             << "Wendrake I., Venmoor K., Signals in Clay, , 2003";
        QTest::newRow("no authors") << QStringList{} << "Journal of Small Things"
                                    << "Signals in Clay, Journal of Small Things, 2003";
        QTest::newRow("no forenames") << QStringList{referenceAuthor("Wendrake", "")} << "J"
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
