// How a reference maps onto a paper of the project and back: the described fields cut to their
// sizes, the authors and keywords, and the extra fields that keep whatever has no described
// field or does not fit one, so that a paper exports as it was imported.
#pragma once

#include "interchange/data/reference.h"

#include <QList>
#include <QString>
#include <QStringList>

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

} // namespace quirelle::interchange
