// Exact hour amounts: parsing, writing and the totals by subject.
#include "timekeeping/data/hourtotals.h"

#include "db/project.h"
#include "db/sharedqueries.h"

namespace quirelle::hours {

namespace {

using Units = Amount::Units;
using Magnitude = unsigned __int128;

// What a number text says, before it is scaled: its digits (integer and fraction run together,
// as ASCII), how many of them follow the decimal separator, and the exponent.
struct Decimal
{
    bool negative = false;
    QByteArray digits;
    qint64 fractionDigits = 0;
    qint64 exponent = 0;
};

// How one number format writes a number.
struct Format
{
    QStringList minus;
    QStringList plus;
    QString decimalPoint;
    QString groupSeparator; // empty: no groups
    bool spaceGroups = false;
    QStringList exponent;
    bool anyDigits = false; // digits of every script, not only 0-9
};

class Scanner
{
public:
    Scanner(const QString& text, const Format& format) : m_text(text), m_format(format) {}

    std::optional<Decimal> read()
    {
        Decimal d;
        if (acceptAny(m_format.minus))
            d.negative = true;
        else
            acceptAny(m_format.plus);

        // The integer part, with group separators only between digits, in their places.
        std::vector<int> groups{0};
        while (!atEnd()) {
            if (const int v = digitHere(); v >= 0) {
                d.digits.append(static_cast<char>('0' + v));
                ++groups.back();
                ++m_pos;
            } else if (groups.back() > 0 && groupSeparatorHere()) {
                groups.push_back(0);
            } else {
                break;
            }
        }
        if (groups.size() > 1 && !groupsInPlace(groups))
            return std::nullopt;
        const bool integerDigits = groups.front() > 0;

        bool fractionDigits = false;
        if (accept(m_format.decimalPoint)) {
            while (!atEnd()) {
                const int v = digitHere();
                if (v < 0)
                    break;
                d.digits.append(static_cast<char>('0' + v));
                ++d.fractionDigits;
                fractionDigits = true;
                ++m_pos;
            }
        }
        if (!integerDigits && !fractionDigits)
            return std::nullopt;

        if (acceptAny(m_format.exponent)) {
            bool negative = false;
            if (acceptAny(m_format.minus))
                negative = true;
            else
                acceptAny(m_format.plus);
            bool any = false;
            qint64 e = 0;
            while (!atEnd()) {
                const int v = digitHere();
                if (v < 0)
                    break;
                // Far past any amount that can be held either way: the value stays decided.
                e = std::min<qint64>(e * 10 + v, 1'000'000'000);
                any = true;
                ++m_pos;
            }
            if (!any)
                return std::nullopt;
            d.exponent = negative ? -e : e;
        }
        if (!atEnd())
            return std::nullopt;
        return d;
    }

private:
    bool atEnd() const { return m_pos >= m_text.size(); }

    int digitHere() const
    {
        const QChar c = m_text.at(m_pos);
        if (c >= QLatin1Char('0') && c <= QLatin1Char('9'))
            return c.unicode() - '0';
        if (m_format.anyDigits && c.category() == QChar::Number_DecimalDigit)
            return c.digitValue();
        return -1;
    }

    bool accept(const QString& s)
    {
        if (s.isEmpty() || !QStringView(m_text).mid(m_pos).startsWith(s))
            return false;
        m_pos += s.size();
        return true;
    }

    bool acceptAny(const QStringList& options)
    {
        for (const QString& s : options) {
            if (accept(s))
                return true;
        }
        return false;
    }

    // A separator counts only with a digit right after it, so that "1," is not a number.
    bool groupSeparatorHere()
    {
        const qsizetype start = m_pos;
        const bool separator = accept(m_format.groupSeparator) ||
                               (m_format.spaceGroups && accept(QStringLiteral(" ")));
        if (separator && !atEnd() && digitHere() >= 0)
            return true;
        m_pos = start;
        return false;
    }

    // Groups of three (or of two before the last, as some countries write them): "1,234",
    // "12,34,567". "1,5" in a locale whose decimal separator is "." is no number at all.
    static bool groupsInPlace(const std::vector<int>& groups)
    {
        if (groups.front() < 1 || groups.front() > 3 || groups.back() != 3)
            return false;
        for (size_t i = 1; i + 1 < groups.size(); ++i) {
            if (groups[i] != 2 && groups[i] != 3)
                return false;
        }
        return true;
    }

    const QString& m_text;
    const Format& m_format;
    qsizetype m_pos = 0;
};

Format cFormat()
{
    return {{QStringLiteral("-")},
            {QStringLiteral("+")},
            QStringLiteral("."),
            {},
            false,
            {QStringLiteral("e"), QStringLiteral("E")},
            false};
}

Format localeFormat(const QLocale& locale)
{
    Format f;
    f.minus = {locale.negativeSign(), QStringLiteral("-")};
    f.plus = {locale.positiveSign(), QStringLiteral("+")};
    f.decimalPoint = locale.decimalPoint();
    f.groupSeparator = locale.groupSeparator();
    f.spaceGroups = f.groupSeparator.size() == 1 && f.groupSeparator.at(0).isSpace();
    if (f.groupSeparator == f.decimalPoint)
        f.groupSeparator.clear();
    f.exponent = {locale.exponential(), QStringLiteral("e"), QStringLiteral("E")};
    f.anyDigits = true;
    return f;
}

bool timesTen(Magnitude& m, int digit)
{
    constexpr Magnitude limit = ~Magnitude(0) / 10;
    if (m > limit)
        return false;
    m *= 10;
    if (m + static_cast<Magnitude>(digit) < m)
        return false;
    m += static_cast<Magnitude>(digit);
    return true;
}

// The magnitude of `digits` as a whole number; nothing when it does not fit.
std::optional<Magnitude> wholeNumber(QByteArrayView digits)
{
    Magnitude m = 0;
    for (char c : digits) {
        if (!timesTen(m, c - '0'))
            return std::nullopt;
    }
    return m;
}

// Whether the digits cut off (`rest`, not empty) round the kept part up: above a half, or
// exactly a half when the kept part is odd.
bool roundsUp(QByteArrayView rest, bool odd)
{
    if (rest.front() != '5')
        return rest.front() > '5';
    for (qsizetype i = 1; i < rest.size(); ++i) {
        if (rest.at(i) != '0')
            return true;
    }
    return odd;
}

// Scales the number to ten-thousandths, rounding what lies below them half to even.
Amount toAmount(const Decimal& d)
{
    QByteArray digits = d.digits;
    qsizetype lead = 0;
    while (lead < digits.size() && digits.at(lead) == '0')
        ++lead;
    digits.remove(0, lead);
    if (digits.isEmpty())
        return Amount::fromUnits(0);

    const qint64 power = d.exponent - d.fractionDigits + 4; // digits × 10^power units
    std::optional<Magnitude> magnitude;
    if (power >= 0) {
        if (power > 40)
            return Amount::outOfRange();
        magnitude = wholeNumber(digits);
        for (qint64 i = 0; magnitude && i < power; ++i) {
            if (!timesTen(*magnitude, 0))
                magnitude.reset();
        }
    } else {
        // Digits that fall wholly below half a unit round to nothing.
        const qint64 dropped = -power;
        if (dropped > digits.size())
            return Amount::fromUnits(0);
        const QByteArrayView all(digits);
        magnitude = wholeNumber(all.first(digits.size() - dropped));
        if (magnitude && roundsUp(all.last(dropped), *magnitude & 1)) {
            if (*magnitude == ~Magnitude(0))
                magnitude.reset();
            else
                ++*magnitude;
        }
    }
    if (!magnitude)
        return Amount::outOfRange();
    constexpr Magnitude largest = ~Magnitude(0) >> 1; // the largest positive Units
    if (*magnitude > largest + (d.negative ? 1 : 0))
        return Amount::outOfRange();
    if (d.negative)
        return Amount::fromUnits(static_cast<Units>(~*magnitude + 1));
    return Amount::fromUnits(static_cast<Units>(*magnitude));
}

QByteArray decimalDigits(Magnitude m)
{
    QByteArray out;
    do {
        out.prepend(static_cast<char>('0' + static_cast<int>(m % 10)));
        m /= 10;
    } while (m != 0);
    return out;
}

} // namespace

double Amount::toDouble() const
{
    return static_cast<double>(static_cast<long double>(m_units) / UnitsPerHour);
}

Amount& Amount::operator+=(const Amount& other)
{
    if (m_outOfRange || other.m_outOfRange ||
        __builtin_add_overflow(m_units, other.m_units, &m_units)) {
        *this = outOfRange();
    }
    return *this;
}

std::optional<Amount> parse(const QString& text, const QLocale& locale)
{
    const QString t = text.trimmed();
    const Format c = cFormat();
    std::optional<Decimal> d = Scanner(t, c).read();
    if (!d) {
        const Format own = localeFormat(locale);
        d = Scanner(t, own).read();
    }
    if (!d)
        return std::nullopt;
    return toAmount(*d);
}

QString format(const Amount& amount, const QLocale& locale)
{
    if (amount.isOutOfRange())
        return QStringLiteral("out of range");
    const Units u = amount.units();
    const bool negative = u < 0;
    const Magnitude magnitude =
        negative ? ~static_cast<Magnitude>(u) + 1 : static_cast<Magnitude>(u);
    QString text = QString::fromLatin1(decimalDigits(magnitude / Amount::UnitsPerHour));
    QByteArray fraction = decimalDigits(magnitude % Amount::UnitsPerHour);
    fraction.prepend(QByteArray(4 - fraction.size(), '0'));
    while (fraction.endsWith('0'))
        fraction.chop(1);
    if (!fraction.isEmpty())
        text += locale.decimalPoint() + QString::fromLatin1(fraction);
    return negative ? QLatin1Char('-') + text : text;
}

std::vector<SubjectTotal> readSubjectTotals()
{
    Project& p = project();
    std::vector<SubjectTotal> totals;
    db::Recordset subjects;
    if (!openQuery(subjects, QStringLiteral("select distinct [subject] from [Time Management];")))
        return totals;
    db::ReadTransaction reading(p.db());
    db::forEachRow(subjects, [&] {
        const QString subject = subjects.Fields(QStringLiteral("Subject")).text();
        // The engine compares the subject without regard to letter case, as it always has.
        db::Recordset rows = p.db().OpenRecordset(
            QStringLiteral("select * from [Time Management] where [subject] = ?"), {subject});
        if (rows.RecordCount() == 0)
            return;
        SubjectTotal total{subject, {}, 0, 0};
        const db::Field time = rows.Fields(QStringLiteral("Time"));
        db::forEachRow(rows, [&] {
            if (const auto hours = parse(time.text())) {
                total.hours += *hours;
                ++total.entries;
            } else {
                ++total.skipped;
            }
        });
        totals.push_back(std::move(total));
    });
    return totals;
}

Amount grandTotal(const std::vector<SubjectTotal>& totals)
{
    Amount sum;
    for (const SubjectTotal& t : totals)
        sum += t.hours;
    return sum;
}

QString sheetLine(const SubjectTotal& total, const QLocale& locale)
{
    return total.subject + QStringLiteral(" = ") + format(total.hours, locale);
}

} // namespace quirelle::hours
