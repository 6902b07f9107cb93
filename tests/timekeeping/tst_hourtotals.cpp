// The hour totals: exact parsing in either number format, the shortest written form, sums that
// never wrap around, and the totals by subject read from a project.
#include "dbtestsupport.h"
#include "timekeeping/data/hourtotals.h"

using namespace quirelle;
using hours::Amount;

namespace {

// Ten-thousandths from a decimal text of digits, so that values past 64 bits can be written.
Amount units(const char* digits)
{
    Amount::Units u = 0;
    bool negative = *digits == '-';
    for (const char* c = negative ? digits + 1 : digits; *c; ++c)
        u = u * 10 + (*c - '0');
    return Amount::fromUnits(negative ? -u : u);
}

// "value" for an amount in units, "-" for no number, "range" for out of range.
QString describe(const std::optional<Amount>& a)
{
    if (!a)
        return QStringLiteral("-");
    if (a->isOutOfRange())
        return QStringLiteral("range");
    return hours::format(*a, QLocale::c());
}

} // namespace

Q_DECLARE_METATYPE(quirelle::hours::Amount)

class TstHourTotals : public QObject
{
    Q_OBJECT

private slots:
    void cleanup() { QLocale::setDefault(QLocale::c()); }

    void parse_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("locale");
        QTest::addColumn<QString>("expected"); // as written in the C format; "-": not a number
        const auto row = [](const char* name, const QString& text, const char* locale,
                            const char* expected) {
            QTest::newRow(name) << text << QString::fromLatin1(locale)
                                << QString::fromLatin1(expected);
        };
        row("stored half", "0.5", "en_GB", "0.5");
        row("blanks and signs", " -1.5 ", "en_GB", "-1.5");
        row("exponent", "2.5E-1", "en_GB", "0.25");
        row("twenty digits", "99999999999999999999", "en_GB", "99999999999999999999");
        row("comma decimal", "2,5", "de_DE", "2.5");
        row("full stop first, even in German", "1.5", "de_DE", "1.5");
        row("German groups", "1.234,5", "de_DE", "1234.5");
        row("English groups", "1,234.5", "en_US", "1234.5");
        row("Indian groups", "12,34,567", "en_IN", "1234567");
        row("misplaced group is no number", "2,5", "en_US", "-");
        row("trailing group separator", "1,", "en_US", "-");
        row("Swedish minus and comma", QString::fromUtf8("\u22121,5"), "sv_SE", "-1.5");
        row("Arabic digits", QString::fromUtf8("\u0661\u066b\u0665"), "ar_EG", "1.5");
        row("half a unit, to even: down", "0.00025", "en_GB", "0.0002");
        row("half a unit, to even: up", "-0.00015", "en_GB", "-0.0002");
        row("over half a unit", "0.000251", "en_GB", "0.0003");
        row("far below a unit", "1e-999999999999", "en_GB", "0");
        row("too large", "1e40", "en_GB", "range");
        row("fraction", "1/2", "en_GB", "-");
        row("empty", "", "en_GB", "-");
        row("two points", "1.2.3", "en_GB", "-");
        row("exponent without digits", "1e", "en_GB", "-");
    }
    void parse()
    {
        QFETCH(QString, text);
        QFETCH(QString, locale);
        QFETCH(QString, expected);
        QCOMPARE(describe(hours::parse(text, QLocale(locale))), expected);
    }

    void format_data()
    {
        QTest::addColumn<Amount>("amount");
        QTest::addColumn<QString>("locale");
        QTest::addColumn<QString>("expected");
        const auto row = [](const char* name, const char* u, const char* locale,
                            const char* expected) {
            QTest::newRow(name) << units(u) << QString::fromLatin1(locale)
                                << QString::fromLatin1(expected);
        };
        row("whole", "30000", "en_GB", "3");
        row("half, German", "35000", "de_DE", "3,5");
        row("smallest", "1", "en_GB", "0.0001");
        row("negative", "-15000", "en_GB", "-1.5");
        row("no group separators", "12345000", "en_US", "1234.5");
        row("past 64 bits", "999999999999999999990000", "en_GB", "99999999999999999999");
        QTest::newRow("out of range") << Amount::outOfRange() << "en_GB"
                                      << "out of range";
    }
    void format()
    {
        QFETCH(Amount, amount);
        QFETCH(QString, locale);
        QFETCH(QString, expected);
        QCOMPARE(hours::format(amount, QLocale(locale)), expected);
        // What is written reads back as the same amount, in the same number format.
        if (!amount.isOutOfRange())
            QCOMPARE(hours::parse(expected, QLocale(locale)), std::optional(amount));
    }

    void sumsNeverWrap()
    {
        const Amount largest = Amount::fromUnits(~(static_cast<Amount::Units>(1) << 127));
        QVERIFY((largest + units("1")).isOutOfRange());
        QVERIFY((Amount::outOfRange() + units("-5")).isOutOfRange());
        QCOMPARE(largest + units("-1") + units("1"), largest);
    }

    // Past what the windows' tests reach (their sums, letter case and number formats): empty
    // times, and totals beyond 64 bits and out of range.
    void subjectTotals_data()
    {
        QTest::addColumn<QStringList>("entries"); // subject|time
        QTest::addColumn<QStringList>("lines");
        QTest::addColumn<QList<int>>("counted"); // entries counted and left out, by subject
        QTest::addColumn<QString>("total");
        const auto row = [](const char* name, const QStringList& entries, const QStringList& lines,
                            const QList<int>& counted, const QString& total) {
            QTest::newRow(name) << entries << lines << counted << total;
        };
        row("not a number left out", {"Lab|two", "Lab|1.5", "Lab|"}, {"Lab = 1.5"}, {1, 2}, "1.5");
        row("twenty nines", {"Big|99999999999999999999"}, {"Big = 99999999999999999999"}, {1, 0},
            "99999999999999999999");
        row("past 64 bits", {"Big|900000000000000", "Big|900000000000000"},
            {"Big = 1800000000000000"}, {2, 0}, "1800000000000000");
        row("near the accumulator's end", {"Huge|1e33", "Huge|1e33", "Small|1"},
            {"Huge = 2000000000000000000000000000000000", "Small = 1"}, {2, 0, 1, 0},
            "2000000000000000000000000000000001");
        row("sum out of range", {"Huge|9e33", "Huge|9e33", "Small|1"},
            {"Huge = out of range", "Small = 1"}, {2, 0, 1, 0}, "out of range");
    }
    void subjectTotals()
    {
        QFETCH(QStringList, entries);
        QFETCH(QStringList, lines);
        QFETCH(QList<int>, counted);
        QFETCH(QString, total);
        test::TempProject project;
        test::logHours(entries);
        const std::vector<hours::SubjectTotal> totals = hours::readSubjectTotals();
        QStringList got;
        QList<int> gotCounts;
        for (const hours::SubjectTotal& t : totals) {
            got << hours::sheetLine(t);
            gotCounts << t.entries << t.skipped;
        }
        QCOMPARE(got, lines);
        QCOMPARE(gotCounts, counted);
        QCOMPARE(hours::format(hours::grandTotal(totals)), total);
    }
};

QTEST_MAIN(TstHourTotals)
#include "tst_hourtotals.moc"
