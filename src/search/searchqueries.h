// The six ways of searching the papers: how a criterion is read (an item picked from the
// criteria list, or typed text), the queries each mode runs and the result lines they give.
// No widgets here: the search window shows what a search found.
#pragma once

#include <QString>
#include <QStringList>

#include <optional>

namespace quirelle::search {

enum class Mode { Title = 0, Author = 1, Model = 2, Rating = 3, Quotation = 4, Keyword = 5 };

// The line shown for a row: the identifier, " : " and the row's text.
QString rowLine(qint32 id, const QString& text);

// The identifier of a line that has the form of a list line: a number, " : ", then its text.
// Nothing for anything else (typed text, "No entried found...", a number too large for an id).
std::optional<qint32> lineId(const QString& line);

// A typed Keyword criterion cut at its first two commas, untrimmed. `second` is only there
// when there are two commas; `third` is the rest after the second comma, or after the only one.
struct KeywordTerms
{
    QString first;
    std::optional<QString> second;
    std::optional<QString> third;
};
KeywordTerms splitKeywordTerms(const QString& criterion);
// The keyword query of a typed Keyword criterion; an empty second or third term adds nothing.
QString keywordQuery(const KeywordTerms& terms);

// What a search found and what the window does after showing its lines.
struct Outcome
{
    enum class Then {
        EndStep,   // an empty list says "No entried found..."
        NoMatches, // the message "No matches found"; the list stays as it is
        OpenPaper, // a picked Title: the paper opens at once, then the end step
        LeaveAsIs  // a typed keyword that no keyword matches: no line, no message
    };
    bool clearList = true; // false only for an empty criterion: the list keeps its lines
    QStringList lines;     // in the order the queries returned their rows, duplicates kept
    Then then = Then::EndStep;
    qint32 paperToOpen = 0;
};

// Runs the search of `mode` for `criterion` on the project database, through the shared
// record sets the search has always used.
Outcome run(Mode mode, const QString& criterion);

// The criteria list of a mode, in the order of its record set.
QStringList criteriaItems(Mode mode);

} // namespace quirelle::search
