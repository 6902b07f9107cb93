// The hour totals: exact parsing in either number format, the shortest written form, sums that
// never wrap around, and the totals by subject read from a project.
#include "testsupport.h"
#include "timekeeping/data/hourtotals.h"

#include <QTest>

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
        QTest::newRow("stored half") << "0.5"
                                     << "en_GB"
                                     << "0.5";
        QTest::newRow("whole, blanks") << " 3 "
                                       << "en_GB"
                                       << "3";
        QTest::newRow("signs") << "-1.5"
                               << "en_GB"
                               << "-1.5";
        QTest::newRow("plus") << "+2"
                              << "en_GB"
                              << "2";
        QTest::newRow("no leading digit") << ".25"
                                          << "en_GB"
                                          << "0.25";
        QTest::newRow("exponent") << "1e3"
                                  << "en_GB"
                                  << "1000";
        QTest::newRow("negative exponent") << "2.5E-1"
                                           << "en_GB"
                                           << "0.25";
        QTest::newRow("twenty digits") << "99999999999999999999"
                                       << "en_GB"
                                       << "99999999999999999999";
        QTest::newRow("comma decimal") << "2,5"
                                       << "de_DE"
                                       << "2.5";
        QTest::newRow("full stop first, even in German") << "1.5"
                                                         << "de_DE"
                                                         << "1.5";
        QTest::newRow("German groups") << "1.234,5"
                                       << "de_DE"
                                       << "1234.5";
        QTest::newRow("English groups") << "1,234.5"
                                        << "en_US"
                                        << "1234.5";
        QTest::newRow("Indian groups") << "12,34,567"
                                       << "en_IN"
                                       << "1234567";
        QTest::newRow("misplaced group is no number") << "2,5"
                                                      << "en_US"
                                                      << "-";
        QTest::newRow("group too long") << "1,2345"
                                        << "en_US"
                                        << "-";
        QTest::newRow("Swedish minus and comma") << QString::fromUtf8("\u22121,5") << "sv_SE"
                                                 << "-1.5";
        QTest::newRow("Arabic digits") << QString::fromUtf8("\u0661\u066b\u0665") << "ar_EG"
                                       << "1.5";
        QTest::newRow("half unit to even, down") << "0.00005"
                                                 << "en_GB"
                                                 << "0";
        QTest::newRow("half unit to even, up") << "0.00015"
                                               << "en_GB"
                                               << "0.0002";
        QTest::newRow("half unit even stays") << "0.00025"
                                              << "en_GB"
                                              << "0.0002";
        QTest::newRow("over half a unit") << "0.000251"
                                          << "en_GB"
                                          << "0.0003";
        QTest::newRow("negative half") << "-0.00015"
                                       << "en_GB"
                                       << "-0.0002";
        QTest::newRow("far below a unit") << "1e-999999999999"
                                          << "en_GB"
                                          << "0";
        QTest::newRow("too large") << "1e40"
                                   << "en_GB"
                                   << "range";
        QTest::newRow("fraction") << "1/2"
                                  << "en_GB"
                                  << "-";
        QTest::newRow("empty") << ""
                               << "en_GB"
                               << "-";
        QTest::newRow("word") << "two"
                              << "en_GB"
                              << "-";
        QTest::newRow("two points") << "1.2.3"
                                    << "en_GB"
                                    << "-";
        QTest::newRow("point alone") << "."
                                     << "en_GB"
                                     << "-";
        QTest::newRow("sign alone") << "-"
                                    << "en_GB"
                                    << "-";
        QTest::newRow("exponent without digits") << "1e"
                                                 << "en_GB"
                                                 << "-";
        QTest::newRow("hexadecimal") << "0x10"
                                     << "en_GB"
                                     << "-";
        QTest::newRow("trailing group separator") << "1,"
                                                  << "en_US"
                                                  << "-";
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
        QTest::newRow("whole") << units("30000") << "en_GB"
                               << "3";
        QTest::newRow("half") << units("35000") << "en_GB"
                              << "3.5";
        QTest::newRow("half, German") << units("35000") << "de_DE"
                                      << "3,5";
        QTest::newRow("quarter") << units("2500") << "en_GB"
                                 << "0.25";
        QTest::newRow("smallest") << units("1") << "en_GB"
                                  << "0.0001";
        QTest::newRow("zero") << units("0") << "en_GB"
                              << "0";
        QTest::newRow("negative") << units("-15000") << "en_GB"
                                  << "-1.5";
        QTest::newRow("no group separators") << units("12345000") << "en_US"
                                             << "1234.5";
        QTest::newRow("past 64 bits") << units("999999999999999999990000") << "en_GB"
                                      << "99999999999999999999";
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
        const Amount lots = *hours::parse(QStringLiteral("900000000000000"));
        QCOMPARE(hours::format(lots + lots), QStringLiteral("1800000000000000"));
    }

    void subjectTotals_data()
    {
        QTest::addColumn<QStringList>("entries"); // subject|time
        QTest::addColumn<QString>("locale");
        QTest::addColumn<QStringList>("lines");
        QTest::addColumn<QList<int>>("counted"); // entries counted and left out, by subject
        QTest::addColumn<QString>("total");
        QTest::newRow("halves and wholes")
            << QStringList{"Reading|0.5", "Reading|3", "Thesis|2"} << "en_GB"
            << QStringList{"Reading = 3.5", "Thesis = 2"} << QList<int>{2, 0, 1, 0} << "5.5";
        QTest::newRow("letter case")
            << QStringList{"Reading|1", "READING|2", "reading|0.25"} << "en_GB"
            << QStringList{"Reading = 3.25"} << QList<int>{3, 0} << "3.25";
        QTest::newRow("exact tenths") << QStringList{"A|0.1", "A|0.2"} << "en_GB"
                                      << QStringList{"A = 0.3"} << QList<int>{2, 0} << "0.3";
        QTest::newRow("not a number left out")
            << QStringList{"Lab|two", "Lab|1.5", "Lab|"} << "en_GB" << QStringList{"Lab = 1.5"}
            << QList<int>{1, 2} << "1.5";
        QTest::newRow("twenty nines") << QStringList{"Big|99999999999999999999"} << "en_GB"
                                      << QStringList{"Big = 99999999999999999999"}
                                      << QList<int>{1, 0} << "99999999999999999999";
        QTest::newRow("past 64 bits")
            << QStringList{"Big|900000000000000", "Big|900000000000000"} << "en_GB"
            << QStringList{"Big = 1800000000000000"} << QList<int>{2, 0} << "1800000000000000";
        QTest::newRow("beyond the accumulator")
            << QStringList{"Huge|1e33", "Huge|1e33", "Small|1"} << "en_GB"
            << QStringList{"Huge = 2000000000000000000000000000000000", "Small = 1"}
            << QList<int>{2, 0, 1, 0} << "2000000000000000000000000000000001";
        QTest::newRow("sum out of range")
            << QStringList{"Huge|9e33", "Huge|9e33", "Small|1"} << "en_GB"
            << QStringList{"Huge = out of range", "Small = 1"} << QList<int>{2, 0, 1, 0}
            << "out of range";
        QTest::newRow("entry out of range")
            << QStringList{"Huge|1e40", "Huge|1"} << "en_GB" << QStringList{"Huge = out of range"}
            << QList<int>{2, 0} << "out of range";
        QTest::newRow("typed in German") << QStringList{"Lesen|2,5", "Lesen|0.5"} << "de_DE"
                                         << QStringList{"Lesen = 3"} << QList<int>{2, 0} << "3";
        QTest::newRow("German separator written")
            << QStringList{"Lesen|2,25"} << "de_DE" << QStringList{"Lesen = 2,25"}
            << QList<int>{1, 0} << "2,25";
        QTest::newRow("apostrophe") << QStringList{"O'Brien|1", "O'Brien|1"} << "en_GB"
                                    << QStringList{"O'Brien = 2"} << QList<int>{2, 0} << "2";
        QTest::newRow("empty log")
            << QStringList{} << "en_GB" << QStringList{} << QList<int>{} << "0";
    }
    void subjectTotals()
    {
        QFETCH(QStringList, entries);
        QFETCH(QString, locale);
        QFETCH(QStringList, lines);
        QFETCH(QList<int>, counted);
        QFETCH(QString, total);
        test::TempProject project;
        for (const QString& e : entries) {
            const QStringList parts = e.split(QLatin1Char('|'));
            test::addRow(project.db(), QStringLiteral("Time Management"),
                         {{"Subject", parts[0]}, {"Time", parts[1]}});
        }
        QLocale::setDefault(QLocale(locale));
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
