// The six ways of searching the papers: how a criterion is read (an item picked from the
// criteria list, or typed text), the queries each mode runs and the result lines they give.
// No widgets here: the search window shows what a search found, and the word report runs the
// title, quotation and keyword queries of the same words.
#pragma once

#include <QString>
#include <QStringList>

#include <optional>
#include <vector>

namespace quirelle::search {

enum class Mode { Title = 0, Author = 1, Model = 2, Rating = 3, Quotation = 4, Keyword = 5 };

// A typed Keyword criterion cut at its first two commas, untrimmed. `second` is only there
// when there are two commas; `third` is the rest after the second comma, or after the only one.
struct KeywordTerms
{
    QString first;
    std::optional<QString> second;
    std::optional<QString> third;
};
KeywordTerms splitKeywordTerms(const QString& criterion);

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

// Runs the search of `mode` for `criterion` on the project database.
Outcome run(Mode mode, const QString& criterion);

// The criteria list of a mode, in the order of its record set.
QStringList criteriaItems(Mode mode);

// The queries the word report shares with the search, each for text typed by the user.
// The lines of the papers whose title holds `typed`.
QStringList titleLines(const QString& typed);
// Each quotation that holds `typed`, with the lines of its paper.
struct QuotationHit
{
    QString statement;
    QStringList paperLines;
};
std::vector<QuotationHit> quotationHits(const QString& typed);
// The lines of the papers linked to the first keyword the keyword query of `terms` returns;
// nothing when no keyword matches (an empty list when it matches but no paper carries it).
std::optional<QStringList> firstKeywordPapers(const KeywordTerms& terms);

} // namespace quirelle::search
