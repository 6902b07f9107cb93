// The criterion of a full-text search as the user types it (words, "a phrase", word*, OR, NOT,
// parentheses) turned into a query the index always accepts.
#pragma once

#include <QString>

namespace quirelle::fulltext {

// The index's query for `typed`: every word and phrase quoted, `*` kept only at the end of a word
// or phrase, OR and NOT kept as operators only where they join two terms (elsewhere they are
// words), parentheses balanced and nested only so deep, quotes balanced (an unclosed quote reads
// as if it were not there), control characters taken as blanks. Empty when nothing searchable is
// left: such a criterion finds nothing.
QString ftsQuery(const QString& typed);

} // namespace quirelle::fulltext
