// The one form of a list or combo line that stands for a row: the row's id, " : ", the row's
// text ("12 : Signals in Clay"). Lines are made and read back through here.
#pragma once

#include <QString>

#include <optional>

namespace quirelle {

struct ListLine
{
    qint32 id = 0;
    QString text;

    // "<id> : <text>"
    static QString format(qint32 id, const QString& text);
    QString toString() const { return format(id, text); }

    // The line's id and text when it has the form of a list line: digits, " : ", text. Nothing
    // for anything else (typed text, "No entried found...", a number too large for an id).
    static std::optional<ListLine> parse(const QString& line);

    // The id as handlers read it back from a chosen line: the text up to its first blank,
    // trimmed, as a number (nothing when that is not a whole number).
    static std::optional<qint32> idOf(const QString& line);
    // That text itself, as the link buttons store it.
    static QString idText(const QString& line);
};

} // namespace quirelle
