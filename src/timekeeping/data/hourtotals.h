// The hours logged, totalled by subject: exact decimal amounts of hours, how a stored or typed
// Time text becomes one, how a total is written, and the totals of every subject read from the
// project. No widgets: the time sheet and the hours chart both show these totals.
#pragma once

#include <QLocale>
#include <QString>

#include <optional>
#include <vector>

namespace quirelle::hours {

// An amount of hours, exact to a ten-thousandth of an hour (the precision the totals keep),
// or "out of range": a sum too large to hold is reported as such, never wrapped around.
class Amount final
{
public:
    // Ten-thousandths of an hour. 128 bits hold any sum of stored entries with room to spare.
    using Units = __int128;
    static constexpr int UnitsPerHour = 10000;

    constexpr Amount() = default;
    static constexpr Amount fromUnits(Units units) { return Amount(units, false); }
    static constexpr Amount outOfRange() { return Amount(0, true); }

    bool isOutOfRange() const { return m_outOfRange; }
    // The exact value; 0 when out of range.
    Units units() const { return m_units; }
    // The hours as a floating-point number, close enough to draw with; never used to add.
    double toDouble() const;

    // Out of range stays out of range; a sum beyond the range becomes out of range.
    Amount& operator+=(const Amount& other);
    friend Amount operator+(Amount a, const Amount& b) { return a += b; }
    bool operator==(const Amount&) const = default;

private:
    constexpr Amount(Units units, bool outOfRange) : m_units(units), m_outOfRange(outOfRange) {}

    Units m_units = 0;
    bool m_outOfRange = false;
};

// A Time text as an amount. The program stores "0.5" (a full stop, as in C); hours the user
// typed may follow `locale` instead ("2,5", "1.234,5"). A text in the C form is read that way
// first. Parsing is exact, with no floating point: signs, an exponent ("1e3") and the locale's
// group separators in their places are accepted; digits past the fourth decimal place are
// rounded half to even, as the total keeps four. Nothing when the text is not a number; a
// number too large to hold gives Amount::outOfRange().
std::optional<Amount> parse(const QString& text, const QLocale& locale = QLocale());

// The amount in its shortest form: no decimal point for whole hours (3), otherwise only the
// digits needed (3.5, 0.25), no group separators, `locale`'s decimal separator, a leading "-"
// when negative. An amount out of range reads "out of range".
QString format(const Amount& amount, const QLocale& locale = QLocale());

struct SubjectTotal
{
    QString subject; // as the engine gives it for all its spellings in upper and lower case
    Amount hours;
    int entries = 0; // rows counted in the total
    int skipped = 0; // rows left out: their Time is not a number
};

// The totals of every subject of [Time Management], in the order the engine lists the
// distinct subjects. Subjects are told apart as the engine compares text, without regard to
// letter case. Engine errors are thrown.
std::vector<SubjectTotal> readSubjectTotals();

// The sum of all the totals (out of range when any of them is, or the sum is).
Amount grandTotal(const std::vector<SubjectTotal>& totals);

// A time sheet line: "Reading = 3.5".
QString sheetLine(const SubjectTotal& total, const QLocale& locale = QLocale());

} // namespace quirelle::hours
