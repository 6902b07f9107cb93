// The words of the pages as the project file's index reads them, for a shared project's index on
// a server: the text search of the server is given the very words, cut at the very places, that the
// file's index finds, so that one criterion finds the same papers in either. Also the passage of a
// page, marked, read from its text in the same way.
#pragma once

#include <QByteArray>
#include <QString>

#include <vector>

namespace quirelle::fulltext {

// A word of a text: its folded form (letter case and the accents of Latin letters left aside) and
// where it stands in the text's UTF-8 bytes.
struct Word
{
    QByteArray folded;
    qsizetype start = 0;
    qsizetype end = 0;
};
// The words of `utf8` as the index reads them; `query` for a word of a criterion.
std::vector<Word> wordsOf(const QByteArray& utf8, bool query = false);

// The text of a page as a server keeps it: a server's text holds no NUL, which the index reads as
// a blank anyway.
QString serverPageText(const QString& text);
// The words of a page as a server's `tsvector` reads them (each with its places in the page),
// within what one value may hold: the words past that are left out. `length`, when given, is
// set to the number of words on the page.
QString tsvectorText(const QString& text, qsizetype* length = nullptr);
// The criterion (see ftsQuery) as a server's `tsquery`: words, phrases (`<->`), prefixes (`:*`),
// AND (`&`), OR (`|`) and NOT (`& !`) as the file's index reads them. Empty when nothing can be
// found: a criterion without a searchable word, or one whose words the index cannot hold.
QString tsqueryText(const QString& typed);
// The best passage of a page's `text` for the criterion, the words found between Mark and EndMark
// (see passage); empty when none of them is on it.
QString markedPassage(const QString& text, const QString& typed);

} // namespace quirelle::fulltext
