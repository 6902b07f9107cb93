// Reading and writing BibTeX.
#include "interchange/data/bibtex.h"

#include "interchange/data/latex.h"

#include <QHash>
#include <QRegularExpression>
#include <QSet>

#include <algorithm>
#include <optional>

namespace quirelle::interchange::bibtex {

namespace {

// Limits that keep a crafted file from exhausting memory or the stack: the length of a @string
// macro (one defined as the previous one twice doubles at every step), the text all macros may
// add to the values of a file, and how deep braces may nest.
constexpr qsizetype MaxMacroLength = 1 << 20;
constexpr qsizetype MaxMacroText = 1 << 24;
constexpr int MaxNesting = 100;

// Fields whose text is taken as it stands: addresses, identifiers and dates, not LaTeX (a date's
// "~" marks it as approximate, not a space that may not break).
bool isDate(QStringView name)
{
    return name == u"date" || name == u"urldate" || name == u"origdate" || name == u"eventdate";
}

bool isVerbatim(QStringView name)
{
    return name == u"url" || name == u"doi" || name == u"eprint" || name == u"file" ||
           name == u"pdf" || name == u"urlraw" || name == u"verba" || name == u"verbb" ||
           name == u"verbc" || isDate(name);
}

// Fields a cross-reference never passes on.
bool neverInherited(const QString& name)
{
    static const QSet<QString> names{QStringLiteral("ids"),
                                     QStringLiteral("crossref"),
                                     QStringLiteral("xref"),
                                     QStringLiteral("entryset"),
                                     QStringLiteral("entrysubtype"),
                                     QStringLiteral("execute"),
                                     QStringLiteral("label"),
                                     QStringLiteral("options"),
                                     QStringLiteral("presort"),
                                     QStringLiteral("related"),
                                     QStringLiteral("relatedoptions"),
                                     QStringLiteral("relatedstring"),
                                     QStringLiteral("relatedtype"),
                                     QStringLiteral("shorthand"),
                                     QStringLiteral("shorthandintro"),
                                     QStringLiteral("sortkey"),
                                     QStringLiteral("xdata")};
    return names.contains(name);
}

// The field a child's title-like field has when it comes from its parent, by the two entry types:
// a volume's title is its parts' book title, a multi-volume work's the main title of its
// volumes, a periodical's the journal title of its articles. Empty: the same name.
QString parentTitlePrefix(const QString& parentType, const QString& childType)
{
    static const QSet<QString> multiVolume{QStringLiteral("mvbook"), QStringLiteral("mvcollection"),
                                           QStringLiteral("mvreference"),
                                           QStringLiteral("mvproceedings")};
    static const QSet<QString> wholes{QStringLiteral("book"), QStringLiteral("collection"),
                                      QStringLiteral("reference"), QStringLiteral("proceedings")};
    static const QSet<QString> parts{
        QStringLiteral("inbook"),        QStringLiteral("bookinbook"),
        QStringLiteral("suppbook"),      QStringLiteral("incollection"),
        QStringLiteral("inreference"),   QStringLiteral("suppcollection"),
        QStringLiteral("inproceedings"), QStringLiteral("conference")};
    if (multiVolume.contains(parentType) &&
        (wholes.contains(childType) || parts.contains(childType)))
        return QStringLiteral("main");
    if (wholes.contains(parentType) && parts.contains(childType))
        return QStringLiteral("book");
    if (parentType == u"periodical" && (childType == u"article" || childType == u"suppperiodical"))
        return QStringLiteral("journal");
    return {};
}

// Characters that end a BibTeX name (of a type, field or macro).
bool isNameChar(QChar c)
{
    switch (c.unicode()) {
    case '"':
    case '#':
    case '%':
    case '\'':
    case '(':
    case ')':
    case ',':
    case '=':
    case '{':
    case '}':
    case '@':
    case '\\':
        return false;
    default:
        return !c.isSpace();
    }
}

// Each run of characters that `isBlank` accepts becomes one space; leading and trailing runs go.
template<typename IsBlank>
QString collapseRuns(QStringView text, IsBlank isBlank)
{
    QString out;
    out.reserve(text.size());
    bool blank = false;
    for (const QChar c : text) {
        if (isBlank(c)) {
            blank = true;
            continue;
        }
        if (blank && !out.isEmpty())
            out += QLatin1Char(' ');
        blank = false;
        out += c;
    }
    return out;
}

QString collapseSpaces(QStringView text)
{
    return collapseRuns(text, [](QChar c) { return c.isSpace(); });
}

// One quotation per line: each line's blanks collapsed, empty lines dropped.
QString collapseLines(QStringView text)
{
    QStringList lines;
    for (const QStringView line : text.split(QLatin1Char('\n'))) {
        const QString l = collapseSpaces(line);
        if (!l.isEmpty())
            lines << l;
    }
    return lines.join(QLatin1Char('\n'));
}

struct RawEntry
{
    QString type;
    QString key;
    int line = 0;
    std::vector<std::pair<QString, QString>> fields; // lower-case name, value before decoding

    const QString* find(const QString& name) const
    {
        for (const auto& f : fields) {
            if (f.first == name)
                return &f.second;
        }
        return nullptr;
    }
};

struct SyntaxError
{
    QString reason;
    qsizetype at; // where the reading stopped
};

class Parser final
{
public:
    explicit Parser(QStringView text) : m_text(text)
    {
        m_lineStarts.push_back(0);
        for (qsizetype i = 0; i < text.size(); ++i) {
            if (text[i] == QLatin1Char('\n'))
                m_lineStarts.push_back(i + 1);
        }
        const char* const months[] = {"January",   "February", "March",    "April",
                                      "May",       "June",     "July",     "August",
                                      "September", "October",  "November", "December"};
        for (const char* m : months)
            m_macros.insert(QString::fromLatin1(m).left(3).toLower(), QString::fromLatin1(m));
    }

    std::vector<RawEntry> entries;
    std::vector<ParseProblem> problems;
    std::vector<ParseProblem> warnings;

    void run()
    {
        while (true) {
            m_pos = m_text.indexOf(QLatin1Char('@'), m_pos);
            if (m_pos < 0)
                return;
            const qsizetype start = m_pos;
            ++m_pos;
            skipSpaces();
            const QString type = name().toLower();
            if (type.isEmpty())
                continue;
            skipSpaces();
            if (atEnd() || (peek() != QLatin1Char('{') && peek() != QLatin1Char('(')))
                continue; // an @ in the text between entries
            if (type == u"comment" || type == u"preamble") {
                skipGroup();
                continue;
            }
            RawEntry entry;
            entry.type = type;
            entry.line = lineOf(start);
            m_entryLine = entry.line;
            m_entryKey.clear();
            m_undefinedSeen.clear();
            try {
                if (type == u"string")
                    macro();
                else
                    entryBody(entry);
            } catch (const SyntaxError& e) {
                problems.push_back({entry.line, entry.key, e.reason});
                m_pos = recoveryPoint(std::max(start + 1, std::min(e.at, m_text.size())), start);
                continue;
            }
            if (type != u"string")
                entries.push_back(std::move(entry));
        }
    }

private:
    bool atEnd() const { return m_pos >= m_text.size(); }
    QChar peek() const { return m_pos < m_text.size() ? m_text[m_pos] : QChar(); }

    int lineOf(qsizetype at) const
    {
        const auto it = std::upper_bound(m_lineStarts.begin(), m_lineStarts.end(), at);
        return static_cast<int>(it - m_lineStarts.begin());
    }

    void skipSpaces()
    {
        while (!atEnd() && peek().isSpace())
            ++m_pos;
    }

    QString name()
    {
        const qsizetype from = m_pos;
        while (!atEnd() && isNameChar(peek()))
            ++m_pos;
        return m_text.mid(from, m_pos - from).toString();
    }

    // Whether a new entry starts at the line beginning at `at`: the sign that the entry being
    // read lost a closing brace.
    bool entryStartsAt(qsizetype at) const
    {
        qsizetype i = at;
        while (i < m_text.size() &&
               (m_text[i] == QLatin1Char(' ') || m_text[i] == QLatin1Char('\t')))
            ++i;
        if (i >= m_text.size() || m_text[i] != QLatin1Char('@'))
            return false;
        ++i;
        const qsizetype nameStart = i;
        while (i < m_text.size() && m_text[i].isLetter())
            ++i;
        if (i == nameStart)
            return false;
        while (i < m_text.size() &&
               (m_text[i] == QLatin1Char(' ') || m_text[i] == QLatin1Char('\t')))
            ++i;
        return i < m_text.size() &&
               (m_text[i] == QLatin1Char('{') || m_text[i] == QLatin1Char('('));
    }

    // Where to go on after a broken entry: the next line that starts an entry. The line where
    // the reading stopped counts when an entry starts there, unless it is the broken one's.
    qsizetype recoveryPoint(qsizetype from, qsizetype entryStart = -1) const
    {
        const qsizetype lineStart = m_text.lastIndexOf(QLatin1Char('\n'), from - 1) + 1;
        if (lineStart > entryStart && lineStart <= from && entryStartsAt(lineStart))
            return lineStart;
        for (qsizetype i = m_text.indexOf(QLatin1Char('\n'), from); i >= 0;
             i = m_text.indexOf(QLatin1Char('\n'), i + 1)) {
            if (entryStartsAt(i + 1))
                return i + 1;
        }
        return m_text.size();
    }

    // Skips a braced or bracketed block (@comment, @preamble); unbalanced, to the next entry.
    void skipGroup()
    {
        const QChar close = peek() == QLatin1Char('{') ? QLatin1Char('}') : QLatin1Char(')');
        const qsizetype start = m_pos;
        int depth = 0;
        for (; !atEnd(); ++m_pos) {
            const QChar c = peek();
            if (c == QLatin1Char('\n') && depth > 0 && entryStartsAt(m_pos + 1))
                break;
            if (c == QLatin1Char('{') || (close == QLatin1Char(')') && c == QLatin1Char('(')))
                ++depth;
            else if (c == QLatin1Char('}') || (close == QLatin1Char(')') && c == QLatin1Char(')')))
                --depth;
            if (depth == 0) {
                ++m_pos;
                return;
            }
        }
        m_pos = recoveryPoint(start, start);
    }

    [[noreturn]] void fail(const QString& reason) const { throw SyntaxError{reason, m_pos}; }

    void expectOpen(QChar& close)
    {
        close = peek() == QLatin1Char('{') ? QLatin1Char('}') : QLatin1Char(')');
        ++m_pos;
    }

    // "= value" after a name (`what` names it in the message when the "=" is missing).
    QString assignedValue(QChar close, const QString& what)
    {
        skipSpaces();
        if (peek() != QLatin1Char('='))
            fail(QStringLiteral("'=' is missing after %1").arg(what));
        ++m_pos;
        return value(close);
    }

    void macro()
    {
        QChar close;
        expectOpen(close);
        skipSpaces();
        const QString macroName = name().toLower();
        if (macroName.isEmpty())
            fail(QStringLiteral("a @string has no name"));
        const QString v = assignedValue(close, QStringLiteral("the @string name ") + macroName);
        skipSpaces();
        if (peek() != close)
            fail(QStringLiteral("the @string %1 is not closed").arg(macroName));
        ++m_pos;
        if (v.size() > MaxMacroLength)
            fail(QStringLiteral("the @string %1 is longer than %2 characters")
                     .arg(macroName)
                     .arg(MaxMacroLength));
        m_macros.insert(macroName, v);
    }

    void entryBody(RawEntry& entry)
    {
        QChar close;
        expectOpen(close);
        skipSpaces();
        const qsizetype keyStart = m_pos;
        while (!atEnd() && peek() != QLatin1Char(',') && !peek().isSpace() && peek() != close &&
               peek() != QLatin1Char('{') && peek() != QLatin1Char('}'))
            ++m_pos;
        entry.key = m_text.mid(keyStart, m_pos - keyStart).toString();
        m_entryKey = entry.key;
        skipSpaces();
        if (atEnd())
            fail(QStringLiteral("the entry is not closed"));
        if (peek() == close) {
            ++m_pos;
            return;
        }
        if (peek() != QLatin1Char(','))
            fail(QStringLiteral("a comma is missing after the citation key"));
        ++m_pos;
        QSet<QString> seen;
        while (true) {
            skipSpaces();
            if (atEnd())
                fail(QStringLiteral("the entry is not closed"));
            if (peek() == close) {
                ++m_pos;
                return;
            }
            if (peek() == QLatin1Char('@') && entryStartsAt(m_pos))
                fail(QStringLiteral("the entry is not closed"));
            const QString fieldName = name().toLower();
            if (fieldName.isEmpty())
                fail(QStringLiteral("a field name is expected"));
            QString v = assignedValue(close, QStringLiteral("the field ") + fieldName);
            // BibTeX keeps the first of two fields of one name.
            if (!seen.contains(fieldName)) {
                seen.insert(fieldName);
                entry.fields.emplace_back(fieldName, std::move(v));
            }
            skipSpaces();
            if (peek() == QLatin1Char(',')) {
                ++m_pos;
                continue;
            }
            if (peek() == close) {
                ++m_pos;
                return;
            }
            if (atEnd())
                fail(QStringLiteral("the entry is not closed"));
            fail(QStringLiteral("a comma is missing after the field %1").arg(fieldName));
        }
    }

    // A value: pieces in braces or quotes, numbers and macro names, joined by '#'.
    QString value(QChar close)
    {
        QString out;
        while (true) {
            skipSpaces();
            if (atEnd())
                fail(QStringLiteral("the entry is not closed"));
            const QChar c = peek();
            if (c == QLatin1Char('{')) {
                out += delimited(QLatin1Char('}'));
            } else if (c == QLatin1Char('"')) {
                out += delimited(QLatin1Char('"'));
            } else if (c.isDigit()) {
                const qsizetype from = m_pos;
                while (!atEnd() && peek().isDigit())
                    ++m_pos;
                out += m_text.mid(from, m_pos - from);
            } else if (isNameChar(c)) {
                const QString written = name();
                const auto macro = m_macros.constFind(written.toLower());
                if (macro == m_macros.constEnd()) {
                    undefinedMacro(written);
                    out += written;
                } else {
                    m_macroText += macro->size();
                    if (m_macroText > MaxMacroText)
                        fail(QStringLiteral("the @string macros of the file add up to more than "
                                            "%1 characters")
                                 .arg(MaxMacroText));
                    out += *macro;
                }
            } else if (c == close || c == QLatin1Char(',')) {
                fail(QStringLiteral("a value is missing"));
            } else {
                fail(QStringLiteral("unexpected '%1' in a value").arg(c));
            }
            skipSpaces();
            if (peek() != QLatin1Char('#'))
                return out;
            ++m_pos;
        }
    }

    // An undefined macro is kept by its name, as BibTeX itself warns and goes on; the user is
    // told once per entry and name.
    void undefinedMacro(const QString& written)
    {
        if (m_undefinedSeen.contains(written.toLower()))
            return;
        m_undefinedSeen.insert(written.toLower());
        warnings.push_back(
            {m_entryLine, m_entryKey,
             QStringLiteral("the @string %1 is not defined; its name is kept as the text")
                 .arg(written)});
    }

    // The text between a `{` and its `}`, or between quotes, braces inside balanced.
    QString delimited(QChar end)
    {
        const qsizetype start = ++m_pos;
        int depth = 0;
        for (; !atEnd(); ++m_pos) {
            const QChar c = peek();
            if (c == QLatin1Char('\\')) {
                ++m_pos; // an escaped brace or quote does not count
                continue;
            }
            if (c == QLatin1Char('\n') && entryStartsAt(m_pos + 1))
                fail(QStringLiteral("a brace or quote is not closed"));
            if (c == QLatin1Char('{')) {
                if (++depth > MaxNesting)
                    fail(QStringLiteral("braces are nested more than %1 deep").arg(MaxNesting));
            } else if (c == QLatin1Char('}')) {
                if (depth == 0) {
                    if (end == QLatin1Char('}'))
                        return m_text.mid(start, m_pos++ - start).toString();
                    fail(QStringLiteral("a closing brace has no opening one"));
                }
                --depth;
            } else if (c == QLatin1Char('"') && end == c && depth == 0) {
                return m_text.mid(start, m_pos++ - start).toString();
            }
        }
        fail(QStringLiteral("a brace or quote is not closed"));
    }

    QStringView m_text;
    qsizetype m_pos = 0;
    std::vector<qsizetype> m_lineStarts;
    QHash<QString, QString> m_macros;
    qsizetype m_macroText = 0; // what macros added to the values read so far
    int m_entryLine = 0;
    QString m_entryKey;
    QSet<QString> m_undefinedSeen; // in the entry being read
};

// Visits every entry after the entries it takes fields from, without recursion (a crafted file
// may chain thousands), and calls `take(child, parent)` for each parent done by then: in a
// cycle, the entry met first takes from the others but not they from it.
template<typename Parents, typename Take>
void inParentOrder(size_t count, Parents parents, Take take)
{
    enum : char { New, Open, Done };
    std::vector<char> state(count, New);
    std::vector<std::pair<size_t, bool>> stack; // entry, its parents visited
    for (size_t root = 0; root < count; ++root) {
        stack.emplace_back(root, false);
        while (!stack.empty()) {
            const auto [i, expanded] = stack.back();
            stack.pop_back();
            if (expanded) {
                for (const size_t p : parents(i)) {
                    if (state[p] == Done)
                        take(i, p);
                }
                state[i] = Done;
                continue;
            }
            if (state[i] != New)
                continue;
            state[i] = Open;
            stack.emplace_back(i, true);
            const std::vector<size_t> ps = parents(i);
            for (auto it = ps.rbegin(); it != ps.rend(); ++it) {
                if (state[*it] == New)
                    stack.emplace_back(*it, false);
            }
        }
    }
}

// BibLaTeX's inheritance: the fields of the `xdata` entries an entry names, then those of its
// `crossref` parent (itself complete by then), each where the entry has no field of that name.
void inherit(std::vector<RawEntry>& entries)
{
    QHash<QString, size_t> byKey;
    for (size_t i = 0; i < entries.size(); ++i)
        byKey.insert(entries[i].key.toLower(), i);
    const auto keyed = [&](const QString& key) -> std::optional<size_t> {
        const auto it = byKey.constFind(collapseSpaces(key).toLower());
        return it == byKey.constEnd() ? std::nullopt : std::optional<size_t>(*it);
    };
    const auto add = [](RawEntry& child, const QString& name, const QString& value) {
        if (!child.find(name))
            child.fields.emplace_back(name, value);
    };

    inParentOrder(
        entries.size(),
        [&](size_t i) {
            std::vector<size_t> out;
            if (const QString* list = entries[i].find(QStringLiteral("xdata"))) {
                for (const QString& key : list->split(QLatin1Char(','), Qt::SkipEmptyParts)) {
                    if (const auto p = keyed(key); p && *p != i)
                        out.push_back(*p);
                }
            }
            return out;
        },
        [&](size_t child, size_t parent) {
            for (const auto& [name, value] : entries[parent].fields) {
                if (!neverInherited(name))
                    add(entries[child], name, value);
            }
        });

    inParentOrder(
        entries.size(),
        [&](size_t i) {
            std::vector<size_t> out;
            if (const QString* key = entries[i].find(QStringLiteral("crossref"))) {
                if (const auto p = keyed(*key); p && *p != i)
                    out.push_back(*p);
            }
            return out;
        },
        [&](size_t c, size_t p) {
            const RawEntry& parent = entries[p]; // another entry: the child's fields grow apart
            RawEntry& child = entries[c];
            const QString prefix = parentTitlePrefix(parent.type, child.type);
            static const QSet<QString> titles{QStringLiteral("title"), QStringLiteral("subtitle"),
                                              QStringLiteral("titleaddon")};
            static const QSet<QString> notPassedOn{
                QStringLiteral("shorttitle"), QStringLiteral("sorttitle"),
                QStringLiteral("indextitle"), QStringLiteral("indexsorttitle")};
            for (const auto& [name, value] : parent.fields) {
                if (neverInherited(name) || (!prefix.isEmpty() && notPassedOn.contains(name)))
                    continue;
                if (!prefix.isEmpty() && titles.contains(name)) {
                    add(child, prefix + name, value);
                    continue;
                }
                add(child, name, value);
                // The author of a book is the book author of its parts.
                if (name == u"author" && (parent.type == u"book" || parent.type == u"mvbook") &&
                    (child.type == u"inbook" || child.type == u"bookinbook" ||
                     child.type == u"suppbook"))
                    add(child, QStringLiteral("bookauthor"), value);
            }
        });
}

// A value's plain text; a command that prints nothing leaves no blank at either end.
QString decoded(const QString& latexText)
{
    return latex::toUnicode(latexText).trimmed();
}

// Whether braces in the value keep letters from a style's change of case: a group that is not
// an accent's argument (`\'{e}`) nor a special character (`{\"u}`, which styles change too).
bool protectsCase(QStringView value)
{
    for (qsizetype i = value.indexOf(QLatin1Char('{')); i >= 0;
         i = value.indexOf(QLatin1Char('{'), i + 1)) {
        if (i > 0 && value[i - 1] == QLatin1Char('\\'))
            continue; // an escaped brace
        if (i + 1 < value.size() &&
            (value[i + 1] == QLatin1Char('\\') || value[i + 1] == QLatin1Char('}')))
            continue; // a special character, or an empty group
        qsizetype j = i - 1;
        while (j >= 0 && value[j].isSpace())
            --j;
        const bool accentArgument = j >= 1 && value[j - 1] == QLatin1Char('\\') &&
                                    QStringLiteral("'`^\"~=.uvHckrdbt").contains(value[j]);
        if (!accentArgument)
            return true;
    }
    return false;
}

Reference toReference(const RawEntry& raw)
{
    Reference r;
    r.type = raw.type;
    r.key = raw.key;
    r.line = raw.line;
    for (const auto& [fieldName, v] : raw.fields) {
        if (fieldName == u"author") {
            r.authors = parseNames(v, true, &r.authorsEtAl);
        } else if (fieldName == u"editor") {
            r.editors = parseNames(v, true, &r.editorsEtAl);
        } else if (isDate(fieldName)) {
            r.setField(fieldName,
                       collapseSpaces(v).remove(QLatin1Char('{')).remove(QLatin1Char('}')));
        } else if (isVerbatim(fieldName)) {
            r.setField(fieldName, collapseSpaces(v));
        } else if (fieldName == u"quotations") {
            r.setField(fieldName, latex::toUnicode(collapseLines(v)));
        } else {
            const QString name =
                fieldName == u"journaltitle" ? QStringLiteral("journal") : fieldName;
            if (r.hasField(name))
                continue;
            const QString written = collapseSpaces(v);
            r.setField(name, decoded(written));
            if (protectsCase(written))
                r.setField(asWrittenName(name), written);
        }
    }
    return r;
}

// ---- Names ----

// The parts of a name split at blanks and ties, braces kept together.
QStringList words(QStringView part)
{
    QStringList out;
    QString current;
    int depth = 0;
    for (const QChar c : part) {
        if (c == QLatin1Char('{'))
            ++depth;
        else if (c == QLatin1Char('}'))
            depth = std::max(0, depth - 1);
        if (depth == 0 && (c.isSpace() || c == QLatin1Char('~'))) {
            if (!current.isEmpty())
                out << current;
            current.clear();
            continue;
        }
        current += c;
    }
    if (!current.isEmpty())
        out << current;
    return out;
}

// Whether BibTeX takes the word for part of a "von" particle: it starts in lower case. A word in
// braces counts as capitalised, unless the braces hold an accented letter (`{\"u}ber`).
bool startsLowerCase(const QString& word)
{
    for (qsizetype i = 0; i < word.size(); ++i) {
        const QChar c = word[i];
        if (c == QLatin1Char('{')) {
            if (i + 1 < word.size() && word[i + 1] == QLatin1Char('\\')) {
                for (qsizetype j = i + 2; j < word.size(); ++j) {
                    // The command's name, then its letter.
                    if (!word[j].isLetter())
                        continue;
                    qsizetype k = j;
                    while (k < word.size() && word[k].isLetter())
                        ++k;
                    const QString command = word.mid(j, k - j);
                    if (command.size() > 1 && command != u"ss" && command != u"ae" &&
                        command != u"oe" && command != u"aa")
                        return command[0].isLower();
                    if (command.size() == 1 && word[j - 1] == QLatin1Char('\\') &&
                        (command == u"v" || command == u"u" || command == u"c" || command == u"H" ||
                         command == u"k" || command == u"r" || command == u"d" || command == u"b" ||
                         command == u"t")) {
                        for (qsizetype m = k; m < word.size(); ++m) {
                            if (word[m].isLetter())
                                return word[m].isLower();
                        }
                        return false;
                    }
                    return command[0].isLower();
                }
                return false;
            }
            return false;
        }
        if (c.isLetter())
            return c.isLower();
    }
    return false;
}

QString joined(const QStringList& list, qsizetype from, qsizetype to, bool decode)
{
    QStringList part;
    for (qsizetype i = from; i < to; ++i)
        part << list[i];
    const QString text = part.join(QLatin1Char(' '));
    return decode ? latex::toUnicode(text) : [&] {
        QString plain = text;
        // Without decoding, only the grouping braces go.
        plain.remove(QLatin1Char('{'));
        plain.remove(QLatin1Char('}'));
        return plain;
    }();
}

// The key of a "key=value" part of a name in BibLaTeX's extended format, or "".
QStringView partKey(QStringView part)
{
    const QStringView p = part.trimmed();
    qsizetype i = 0;
    while (i < p.size() && (p[i].isLetter() || p[i] == QLatin1Char('-')) && p[i].unicode() < 128)
        ++i;
    const QStringView key = p.left(i);
    while (i < p.size() && p[i].isSpace())
        ++i;
    return i < p.size() && p[i] == QLatin1Char('=') ? key : QStringView();
}

// A name in BibLaTeX's extended format ("family=Animal, given=Alan, prefix=von, useprefix=false"):
// the particle joins the family name, as the catalogue keeps it. Parts that are options alone
// ("useprefix=false" before the names) give an empty name. Nothing when the name has another form.
std::optional<PersonName> extendedName(const QList<QStringView>& parts, bool decode)
{
    QHash<QString, QString> values;
    for (const QStringView part : parts) {
        const QStringView key = partKey(part);
        if (key.isEmpty())
            return std::nullopt;
        QStringView value =
            part.trimmed().mid(part.trimmed().indexOf(QLatin1Char('=')) + 1).trimmed();
        if (value.size() >= 2 && value.front() == QLatin1Char('"') &&
            value.back() == QLatin1Char('"'))
            value = value.mid(1, value.size() - 2);
        const QStringList w = words(value);
        values.insert(key.toString().toLower(), joined(w, 0, w.size(), decode)); // the last wins
    }
    PersonName n;
    n.family = values.value(QStringLiteral("family"));
    const QString prefix = values.value(QStringLiteral("prefix"));
    if (!prefix.isEmpty())
        n.family = n.family.isEmpty() ? prefix : prefix + QLatin1Char(' ') + n.family;
    n.given = values.value(QStringLiteral("given"));
    n.suffix = values.value(QStringLiteral("suffix"));
    return n;
}

PersonName parseName(QStringView text, bool decode)
{
    // Split at top-level commas.
    QList<QStringView> parts;
    int depth = 0;
    qsizetype from = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c == QLatin1Char('{'))
            ++depth;
        else if (c == QLatin1Char('}'))
            depth = std::max(0, depth - 1);
        else if (c == QLatin1Char(',') && depth == 0) {
            parts << text.mid(from, i - from);
            from = i + 1;
        }
    }
    parts << text.mid(from);

    if (const auto extended = extendedName(parts, decode))
        return *extended;
    PersonName n;
    if (parts.size() == 1) {
        // First von Last
        const QStringList w = words(parts[0]);
        if (w.isEmpty())
            return n;
        const qsizetype last = w.size() - 1;
        // The "von" part starts at the first word in lower case; it and the last name together
        // are the family name.
        qsizetype vonStart = -1;
        for (qsizetype i = 0; i < last && vonStart < 0; ++i) {
            if (startsLowerCase(w[i]))
                vonStart = i;
        }
        if (vonStart < 0) {
            n.given = joined(w, 0, last, decode);
            n.family = joined(w, last, w.size(), decode);
        } else {
            n.given = joined(w, 0, vonStart, decode);
            n.family = joined(w, vonStart, w.size(), decode);
        }
        return n;
    }
    // von Last, First  or  von Last, Jr, First
    n.family = joined(words(parts[0]), 0, words(parts[0]).size(), decode);
    if (parts.size() == 2) {
        n.given = joined(words(parts[1]), 0, words(parts[1]).size(), decode);
    } else {
        n.suffix = joined(words(parts[1]), 0, words(parts[1]).size(), decode);
        QStringList rest;
        for (qsizetype i = 2; i < parts.size(); ++i)
            rest << joined(words(parts[i]), 0, words(parts[i]).size(), decode);
        rest.removeAll(QString());
        n.given = rest.join(QStringLiteral(", "));
    }
    return n;
}

bool containsAnd(const QString& text)
{
    static const QRegularExpression word(QStringLiteral("\\band\\b"),
                                         QRegularExpression::CaseInsensitiveOption);
    return word.match(text).hasMatch();
}

} // namespace

std::vector<PersonName> parseNames(QStringView list, bool decode, bool* etAl)
{
    std::vector<PersonName> names;
    if (etAl)
        *etAl = false;
    // Split at " and " outside braces.
    QList<QStringView> pieces;
    int depth = 0;
    qsizetype from = 0;
    for (qsizetype i = 0; i < list.size(); ++i) {
        const QChar c = list[i];
        if (c == QLatin1Char('{')) {
            ++depth;
        } else if (c == QLatin1Char('}')) {
            depth = std::max(0, depth - 1);
        } else if (depth == 0 && c.isSpace() && i + 4 < list.size() &&
                   list.mid(i + 1, 3).compare(QLatin1String("and"), Qt::CaseInsensitive) == 0 &&
                   list[i + 4].isSpace()) {
            pieces << list.mid(from, i - from);
            from = i + 4;
            i += 3;
        }
    }
    pieces << list.mid(from);
    for (const QStringView piece : pieces) {
        // A name broken over lines is one name with one blank between its words.
        const QString p = collapseSpaces(piece);
        if (p.isEmpty())
            continue;
        if (p.compare(QLatin1String("others"), Qt::CaseInsensitive) == 0) {
            if (etAl)
                *etAl = true;
            continue;
        }
        PersonName n = parseName(p, decode);
        if (!n.family.isEmpty() || !n.given.isEmpty())
            names.push_back(std::move(n));
    }
    return names;
}

QString formatNames(const std::vector<PersonName>& names, bool etAl, bool encode)
{
    const auto text = [encode](const QString& part) {
        return encode ? latex::fromUnicode(part) : part;
    };
    const auto grouped = [&](const QString& part) {
        // A comma or an "and" inside a part would split the name; keep such a part together.
        if (part.contains(QLatin1Char(',')) || containsAnd(part))
            return QLatin1Char('{') + text(part) + QLatin1Char('}');
        return text(part);
    };
    QStringList out;
    for (const PersonName& n : names) {
        if (n.given.isEmpty() && n.suffix.isEmpty()) {
            out << QLatin1Char('{') + text(n.family) + QLatin1Char('}');
            continue;
        }
        QString s = n.family.isEmpty() ? QStringLiteral("{}") : grouped(n.family);
        if (!n.suffix.isEmpty())
            s += QStringLiteral(", ") + grouped(n.suffix);
        s += QStringLiteral(", ") + grouped(n.given);
        out << s;
    }
    if (etAl)
        out << QStringLiteral("others");
    return out.join(QStringLiteral(" and "));
}

ParseResult read(QStringView text)
{
    Parser parser(text);
    parser.run();
    inherit(parser.entries);
    ParseResult result;
    result.problems = std::move(parser.problems);
    result.warnings = std::move(parser.warnings);
    result.references.reserve(parser.entries.size());
    for (const RawEntry& e : parser.entries) {
        // Data other entries take fields from, not a work of its own.
        if (e.type != u"xdata")
            result.references.push_back(toReference(e));
    }
    return result;
}

QString asWrittenName(const QString& field)
{
    return field + QStringLiteral(".latex");
}

QString safeKey(const QString& key)
{
    QString out = key;
    for (QChar& c : out) {
        if (c.isSpace() || QStringLiteral(",{}()\"#%'=\\~").contains(c))
            c = QLatin1Char('_');
    }
    return out;
}

namespace {

// `jan`...`dec` for a month given by name or number, as BibTeX styles expect it.
QString monthMacro(const QString& value)
{
    static const char* const names[] = {"jan", "feb", "mar", "apr", "may", "jun",
                                        "jul", "aug", "sep", "oct", "nov", "dec"};
    static const char* const full[] = {"january",   "february", "march",    "april",
                                       "may",       "june",     "july",     "august",
                                       "september", "october",  "november", "december"};
    const QString v = value.trimmed().toLower();
    bool isNumber = false;
    const int n = v.toInt(&isNumber);
    if (isNumber && n >= 1 && n <= 12)
        return QString::fromLatin1(names[n - 1]);
    for (int i = 0; i < 12; ++i) {
        if (v == QLatin1String(full[i]) || v == QLatin1String(names[i]))
            return QString::fromLatin1(names[i]);
    }
    return {};
}

// Line breaks and runs of blanks are one blank to BibTeX: written so, a value reads back as
// written.
QString oneLine(const QString& value)
{
    bool plain = true;
    for (qsizetype i = 0; i < value.size() && plain; ++i) {
        const QChar c = value[i];
        plain = c != QLatin1Char('\n') && c != QLatin1Char('\r') && c != QLatin1Char('\t') &&
                !(c == QLatin1Char(' ') &&
                  (i == 0 || i + 1 == value.size() || value[i + 1] == QLatin1Char(' ')));
    }
    if (plain)
        return value;
    return collapseRuns(value, [](QChar c) {
        return c == QLatin1Char(' ') || c == QLatin1Char('\n') || c == QLatin1Char('\r') ||
               c == QLatin1Char('\t');
    });
}

// A field name BibTeX reads: characters that would end it become "_".
QString safeName(const QString& name)
{
    if (!name.isEmpty() && std::all_of(name.begin(), name.end(), isNameChar))
        return name;
    QString out = name;
    for (QChar& c : out) {
        if (!isNameChar(c))
            c = QLatin1Char('_');
    }
    return out.isEmpty() ? QStringLiteral("_") : out;
}

QString verbatimValue(const QString& value)
{
    if (latex::bracesBalanced(value))
        return value;
    QString v = value;
    v.remove(QLatin1Char('{'));
    v.remove(QLatin1Char('}'));
    return v;
}

} // namespace

QString write(const Reference& r)
{
    QString out;
    qsizetype size = 64 + r.key.size();
    for (const auto& f : r.fields)
        size += f.first.size() + f.second.size() + 16;
    out.reserve(size + 64 * static_cast<qsizetype>(r.authors.size() + r.editors.size()));
    out += QLatin1Char('@') + (r.type.isEmpty() ? QStringLiteral("misc") : r.type) +
           QLatin1Char('{') + safeKey(r.key);
    const auto add = [&out](const QString& name, const QString& value, bool braced = true) {
        out += QLatin1String(",\n  ");
        out += safeName(name);
        out += QLatin1String(" = ");
        if (braced)
            out += QLatin1Char('{');
        out += value;
        if (braced)
            out += QLatin1Char('}');
    };
    if (!r.authors.empty() || r.authorsEtAl)
        add(QStringLiteral("author"), formatNames(r.authors, r.authorsEtAl, true));
    if (!r.editors.empty() || r.editorsEtAl)
        add(QStringLiteral("editor"), formatNames(r.editors, r.editorsEtAl, true));
    for (const auto& [name, value] : r.fields) {
        if (name == u"month") {
            if (const QString m = monthMacro(value); !m.isEmpty()) {
                add(name, m, false);
                continue;
            }
        }
        if (isVerbatim(name)) {
            add(name, verbatimValue(oneLine(value)));
        } else if (name == u"cites") {
            QStringList keys;
            for (const QString& k : value.split(QLatin1Char(','), Qt::SkipEmptyParts))
                keys << safeKey(k.trimmed());
            add(name, keys.join(QStringLiteral(", ")));
        } else if (name == u"quotations") {
            QStringList lines;
            for (const QString& line : value.split(QLatin1Char('\n'))) {
                if (const QString l = oneLine(line); !l.isEmpty())
                    lines << latex::fromUnicode(l);
            }
            add(name, lines.join(QLatin1Char('\n')));
        } else if (name.endsWith(QLatin1String(".latex"))) {
            continue; // written in place of its plain field
        } else if (const QString written = r.field(asWrittenName(name));
                   !written.isEmpty() && latex::bracesBalanced(written) &&
                   decoded(written) == oneLine(value)) {
            add(name, written);
        } else {
            add(name, latex::fromUnicode(oneLine(value)));
        }
    }
    out += QStringLiteral("\n}\n\n");
    return out;
}

} // namespace quirelle::interchange::bibtex
