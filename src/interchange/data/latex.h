// The LaTeX found in bibliography fields, turned into plain Unicode text and back: accents,
// named letters, escaped specials, dashes, ties and case-protecting braces.
#pragma once

#include <QString>
#include <QStringView>

namespace quirelle::interchange::latex {

// Plain text from a field value: accents and named letters become Unicode characters (an accent
// joins the letter after it however spaced or braced; alone, it is the character it names),
// formatting commands leave their argument, braces go, `--`/`---` become dashes, `~` a no-break
// space and ``...'' curly quotes. Unknown commands are dropped, their arguments and the blank
// after them kept. Any depth of nesting is read without exhausting the stack.
QString toUnicode(QStringView text);

// The text written so that BibTeX and LaTeX read it back unchanged: specials escaped, dashes
// and no-break spaces as `--`, `---` and `~`. Other characters stay as they are (UTF-8).
QString fromUnicode(const QString& text);

// True when every `{` has its `}` (escaped braces aside) and none closes early.
bool bracesBalanced(QStringView text);

} // namespace quirelle::interchange::latex
