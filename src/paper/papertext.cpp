// Identifiers, quotation sentences and references of the paper window.
#include "paper/papertext.h"

#include <algorithm>

namespace quirelle::paper {

namespace {

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

QString identifierText(const QString& line)
{
    const qsizetype blank = line.indexOf(QLatin1Char(' '));
    return (blank < 0 ? line : line.left(blank + 1)).trimmed();
}

std::optional<qint32> identifierOf(const QString& line)
{
    bool ok = false;
    const qint32 id = identifierText(line).toInt(&ok);
    if (!ok)
        return std::nullopt;
    return id;
}

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
        text = surname + QStringLiteral(" et al. [") + surname.left(4).toUpper();
    } else if (authorLines.size() == 2) {
        // The key letters are the four characters where the first surname begins, whatever
        // they are: a short surname runs on into ", " and the forenames.
        const SurnamePlace p = surnamePlace(authorLines[0]);
        const QString key = authorLines[0].mid(p.start, 4).toUpper();
        text = surnameOfAuthorLine(authorLines[0]) + QStringLiteral(" and ") +
               surnameOfAuthorLine(authorLines[1]) + QStringLiteral(" [") + key;
    } else if (authorLines.size() == 1) {
        const QString surname = surnameOfAuthorLine(authorLines[0]);
        text = surname + QStringLiteral(" [") + surname.left(4).toUpper();
    } else {
        text = QStringLiteral("[");
    }
    if (!year.isEmpty())
        text += year.trimmed().right(2);
    return text + QStringLiteral("] stated that '") + statement + QLatin1Char('\'');
}

QString statementOfLine(const QString& line)
{
    const qsizetype separator = line.indexOf(QStringLiteral(" : "));
    return separator < 0 ? line : line.mid(separator + 3);
}

QString referenceAuthor(const QString& surname, const QString& forenames)
{
    return surname + QLatin1Char(' ') + forenames.left(1) + QLatin1Char('.');
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
