// Identifiers, quotation sentences and references of the paper window.
#include "paper/data/papertext.h"

#include "db/listline.h"
#include "db/textrules.h"

#include <algorithm>

namespace quirelle::paper {

namespace {

using db::text::leftCharacters;

// The last `count` characters of `s`, never cutting a character in two.
QString rightCharacters(const QString& s, qsizetype count)
{
    qsizetype i = s.size();
    for (qsizetype n = 0; n < count && i > 0; ++n)
        i -= (i >= 2 && s[i - 1].isLowSurrogate() && s[i - 2].isHighSurrogate()) ? 2 : 1;
    return s.mid(i);
}

struct SurnamePlace
{
    qsizetype start = 0;  // where the surname begins
    qsizetype length = 0; // how long it is
    bool hasColon = false;
};

// An author line holds the surname between the blank after its colon and the blank after the
// surname's comma; the length leaves out the character before that blank (the comma). A
// surname with a blank of its own is cut there, one character short, as the program always
// cut it.
SurnamePlace surnamePlace(const QString& line)
{
    SurnamePlace p;
    const qsizetype colon = line.indexOf(QLatin1Char(':'));
    if (colon < 0) {
        // Typed into the combo, not a listed line: the text before its comma.
        const qsizetype comma = line.indexOf(QLatin1Char(','));
        p.length = comma < 0 ? line.size() : comma;
        return p;
    }
    p.hasColon = true;
    p.start = colon + 2;
    const qsizetype blank = line.indexOf(QLatin1Char(' '), p.start);
    p.length = blank < 0 ? line.size() - p.start : std::max<qsizetype>(0, blank - colon - 3);
    return p;
}

} // namespace

QString surnameOfAuthorLine(const QString& line)
{
    const SurnamePlace p = surnamePlace(line);
    return line.mid(p.start, p.length);
}

QString quotationSentence(const QStringList& authorLines, const QString& year,
                          const QString& statement)
{
    QString text;
    if (authorLines.size() >= 3) {
        const QString surname = surnameOfAuthorLine(authorLines[0]);
        text = surname + QStringLiteral(" et al. [") + leftCharacters(surname, 4).toUpper();
    } else if (authorLines.size() == 2) {
        // The key letters are the four characters where the first surname begins, whatever
        // they are: a short surname runs on into ", " and the forenames.
        const SurnamePlace p = surnamePlace(authorLines[0]);
        const QString key = leftCharacters(authorLines[0].mid(p.start), 4).toUpper();
        text = surnameOfAuthorLine(authorLines[0]) + QStringLiteral(" and ") +
               surnameOfAuthorLine(authorLines[1]) + QStringLiteral(" [") + key;
    } else if (authorLines.size() == 1) {
        const QString surname = surnameOfAuthorLine(authorLines[0]);
        text = surname + QStringLiteral(" [") + leftCharacters(surname, 4).toUpper();
    } else {
        text = QStringLiteral("[");
    }
    if (!year.isEmpty())
        text += rightCharacters(year.trimmed(), 2);
    return text + QStringLiteral("] stated that '") + statement + QLatin1Char('\'');
}

QString statementOfLine(const QString& line)
{
    const auto listed = ListLine::parse(line);
    return listed ? listed->text : line;
}

QString referenceAuthor(const QString& surname, const QString& forenames)
{
    return surname + QLatin1Char(' ') + leftCharacters(forenames, 1) + QLatin1Char('.');
}

QString referenceText(const QStringList& authors, const QString& title,
                      const QString& publicationName, const QString& year)
{
    const QString separator = QStringLiteral(", ");
    QString text = authors.join(separator);
    if (!text.isEmpty())
        text += separator;
    return text + title + separator + publicationName + separator + year;
}

} // namespace quirelle::paper
