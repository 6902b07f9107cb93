// How a reference maps onto a paper of the project and back: the described fields cut to their
// sizes, the authors and keywords, and the extra fields that keep whatever has no described
// field or does not fit one, so that a paper exports as it was imported.
#pragma once

#include "interchange/data/reference.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <optional>
#include <utility>
#include <vector>

namespace quirelle::interchange {

// Sizes of the described fields, in characters (Unicode code points).
namespace limits {
inline constexpr int Title = 100;
inline constexpr int Year = 4;
inline constexpr int Surname = 30;
inline constexpr int Forenames = 30;
inline constexpr int Keyword = 50;
inline constexpr int PublicationName = 255;
inline constexpr int PublicationType = 100;
inline constexpr int Rating = 2;
inline constexpr int Status = 20;
} // namespace limits

// Names of extra fields with a meaning of their own.
namespace extra {
inline constexpr QLatin1String CitationKey("citationkey");
inline constexpr QLatin1String EntryType("entrytype");
inline constexpr QLatin1String Cites("cites");
} // namespace extra

// The text cut to at most `limit` code points, never inside a character.
QString shorten(const QString& text, int limit);
qsizetype codePoints(const QString& text);

struct AuthorName
{
    QString surname;
    QString forenames;
    bool operator==(const AuthorName&) const = default;
};

// A paper as the project keeps it: the described fields, the authors and keywords in link
// order, quotations, the keys of the papers it references, and its extra fields.
struct PaperData
{
    QString title;
    QString year;
    QString summary;
    QString status;
    QString rating;
    QString publicationType;
    QString publicationName;
    std::vector<AuthorName> authors;
    QStringList keywords;
    QStringList quotations;
    QStringList cites;
    QString key;
    QList<std::pair<QString, QString>> extras;

    QString extraValue(QStringView name) const;
    bool hasExtra(QStringView name) const;
};

// One of the described publication types for an entry type, or "" for the others.
QString publicationTypeOf(const QString& type, const QString& subtype);

// The paper an imported reference becomes. `valuesCut` counts the values that did not fit
// their described field and went whole to the extra fields only.
PaperData toPaper(const Reference& reference, int* valuesCut = nullptr);

// The reference a paper is written as. Extra values are preferred while the described field
// still holds what they were cut to; a described field changed since wins.
Reference toReference(const PaperData& paper);

// The author as the project stores the name: surname with particles, forenames with a suffix
// after a comma, each cut to size.
AuthorName authorOf(const PersonName& person);

// Keywords of a list separated by commas or semicolons, blanks trimmed, each once.
QStringList splitKeywords(const QString& list);

// The first four digits in a row in the text, or "".
QString firstYear(const QString& text);

// One end of a date as ISO 8601 and BibLaTeX count: year 0 is 1 BCE, -1 is 2 BCE. A month of
// 21 to 24 is a season (spring to winter); 0 means not given.
struct DateEnd
{
    int year = 0;
    int month = 0;
    int day = 0;
    bool operator==(const DateEnd&) const = default;
};

// A date as BibLaTeX writes one ("1991", "1991-03-11", "-0379-02", "1991-21", "1991~",
// "1991-03/1991-05"): one end or a range, perhaps approximate.
struct Date
{
    DateEnd from;
    std::optional<DateEnd> to;
    bool approximate = false; // "~", "?" or "%" after it
};

// The date the text writes, or nothing when it is not one.
std::optional<Date> parseDate(QStringView text);
// The date as BibLaTeX writes it: the year in four digits at least, signed before year 1.
QString dateText(const Date& date);

// The number of a month given by name, abbreviation or number ("mar", "March", "3"), or 0.
int monthNumber(const QString& month);

// The paper's year from a reference's year and date fields: the year as they write it, a signed
// number without padding ("1991", "54", "-379"), or the first four digits in a row of a year
// that is not a number ("in press" gives "").
QString yearOf(const QString& year, const QString& date);

} // namespace quirelle::interchange
