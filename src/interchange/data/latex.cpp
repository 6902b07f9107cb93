// LaTeX to Unicode and back, for the text of bibliography fields.
#include "interchange/data/latex.h"

#include <QHash>
#include <QSet>

#include <algorithm>
#include <optional>

namespace quirelle::interchange::latex {

namespace {

struct Accent
{
    char16_t mark;    // the combining mark it puts on its letter
    char16_t spacing; // the character it names alone (`\~{}` is a tilde)
};

// The accent a one-character command name stands for, if any.
std::optional<Accent> accentOf(QStringView command)
{
    if (command.size() != 1)
        return std::nullopt;
    switch (command[0].unicode()) {
    case '\'':
        return Accent{0x0301, 0x00B4};
    case '`':
        return Accent{0x0300, '`'};
    case '^':
        return Accent{0x0302, '^'};
    case '"':
        return Accent{0x0308, 0x00A8};
    case '~':
        return Accent{0x0303, '~'};
    case '=':
        return Accent{0x0304, 0x00AF};
    case '.':
        return Accent{0x0307, 0x02D9};
    case 'u':
        return Accent{0x0306, 0x02D8};
    case 'v':
        return Accent{0x030C, 0x02C7};
    case 'H':
        return Accent{0x030B, 0x02DD};
    case 'c':
        return Accent{0x0327, 0x00B8};
    case 'k':
        return Accent{0x0328, 0x02DB};
    case 'r':
        return Accent{0x030A, 0x02DA};
    case 'd':
        return Accent{0x0323, '.'};
    case 'b':
        return Accent{0x0331, 0x02CD};
    case 't':
        return Accent{0x0361, 0x2040};
    default:
        return std::nullopt;
    }
}

// Commands that only format their text or switch a font: TeX swallows the blanks after them and
// so do we. Other unknown commands stood for something between two words and leave one blank.
bool onlyFormats(QStringView command)
{
    static const QSet<QString> names = [] {
        QSet<QString> set;
        for (const char* n : {"emph",
                              "textbf",
                              "textit",
                              "textsc",
                              "textsl",
                              "textsf",
                              "texttt",
                              "textrm",
                              "textup",
                              "textmd",
                              "textnormal",
                              "mbox",
                              "hbox",
                              "text",
                              "textsuperscript",
                              "textsubscript",
                              "underline",
                              "uline",
                              "uppercase",
                              "lowercase",
                              "MakeUppercase",
                              "MakeLowercase",
                              "bf",
                              "it",
                              "em",
                              "sc",
                              "sl",
                              "sf",
                              "tt",
                              "rm",
                              "up",
                              "md",
                              "normalfont",
                              "bfseries",
                              "itshape",
                              "scshape",
                              "slshape",
                              "sffamily",
                              "ttfamily",
                              "rmfamily",
                              "upshape",
                              "mdseries",
                              "protect",
                              "relax",
                              "nocase",
                              "NoCaseChange",
                              "ensuremath",
                              "mathrm",
                              "mathit",
                              "mathbf",
                              "mathsf",
                              "mathtt",
                              "mathcal",
                              "small",
                              "large",
                              "Large",
                              "LARGE",
                              "tiny",
                              "footnotesize",
                              "scriptsize",
                              "normalsize",
                              "huge",
                              "Huge"})
            set.insert(QString::fromLatin1(n));
        return set;
    }();
    return names.contains(command.toString());
}

// The character `\ding{n}` prints: the Zapf Dingbats, which Unicode's Dingbats block follows
// except for the characters it had elsewhere already.
QString dingbat(QStringView number)
{
    bool ok = false;
    const int n = number.trimmed().toInt(&ok);
    if (!ok || n < 33 || n > 126)
        return {};
    switch (n) {
    case 0x25:
        return QString(QChar(0x260E));
    case 0x2A:
        return QString(QChar(0x261B));
    case 0x2B:
        return QString(QChar(0x261E));
    case 0x48:
        return QString(QChar(0x2605));
    case 0x6C:
        return QString(QChar(0x25CF));
    case 0x6E:
        return QString(QChar(0x25A0));
    case 0x73:
        return QString(QChar(0x25B2));
    case 0x74:
        return QString(QChar(0x25BC));
    case 0x75:
        return QString(QChar(0x25C6));
    case 0x77:
        return QString(QChar(0x25D7));
    default:
        return QString(QChar(0x2700 + n - 0x20));
    }
}

// Commands that stand for a character or a word by themselves.
const QHash<QString, QString>& namedSymbols()
{
    static const QHash<QString, QString> symbols = [] {
        const char* const table[][2] = {{"ss", "ß"},
                                        {"SS", "SS"},
                                        {"ae", "æ"},
                                        {"AE", "Æ"},
                                        {"oe", "œ"},
                                        {"OE", "Œ"},
                                        {"aa", "å"},
                                        {"AA", "Å"},
                                        {"o", "ø"},
                                        {"O", "Ø"},
                                        {"l", "ł"},
                                        {"L", "Ł"},
                                        {"i", "ı"},
                                        {"j", "ȷ"},
                                        {"dh", "ð"},
                                        {"DH", "Ð"},
                                        {"th", "þ"},
                                        {"TH", "Þ"},
                                        {"ng", "ŋ"},
                                        {"NG", "Ŋ"},
                                        {"dj", "đ"},
                                        {"DJ", "Đ"},
                                        {"textendash", "–"},
                                        {"textemdash", "—"},
                                        {"textbackslash", "\\"},
                                        {"textasciitilde", "~"},
                                        {"textasciicircum", "^"},
                                        {"textunderscore", "_"},
                                        {"textbar", "|"},
                                        {"textless", "<"},
                                        {"textgreater", ">"},
                                        {"textquoteleft", "‘"},
                                        {"textquoteright", "’"},
                                        {"textquotedblleft", "“"},
                                        {"textquotedblright", "”"},
                                        {"textregistered", "®"},
                                        {"texttrademark", "™"},
                                        {"textcopyright", "©"},
                                        {"copyright", "©"},
                                        {"pounds", "£"},
                                        {"textsterling", "£"},
                                        {"S", "§"},
                                        {"P", "¶"},
                                        {"dag", "†"},
                                        {"ddag", "‡"},
                                        {"ldots", "…"},
                                        {"dots", "…"},
                                        {"textellipsis", "…"},
                                        {"guillemotleft", "«"},
                                        {"guillemotright", "»"},
                                        {"guillemetleft", "«"},
                                        {"guillemetright", "»"},
                                        {"euro", "€"},
                                        {"texteuro", "€"},
                                        {"textdegree", "°"},
                                        {"textperiodcentered", "·"},
                                        {"textbullet", "•"},
                                        {"LaTeX", "LaTeX"},
                                        {"TeX", "TeX"},
                                        {"BibTeX", "BibTeX"},
                                        {"LaTeXe", "LaTeX2e"},
                                        {"textexclamdown", "¡"},
                                        {"textquestiondown", "¿"},
                                        {"hyphen", "-"},
                                        {"quad", " "},
                                        {"qquad", " "},
                                        {"space", " "},
                                        {"slash", "/"},
                                        {"alpha", "α"},
                                        {"beta", "β"},
                                        {"gamma", "γ"},
                                        {"delta", "δ"},
                                        {"epsilon", "ε"},
                                        {"varepsilon", "ε"},
                                        {"zeta", "ζ"},
                                        {"eta", "η"},
                                        {"theta", "θ"},
                                        {"iota", "ι"},
                                        {"kappa", "κ"},
                                        {"lambda", "λ"},
                                        {"mu", "μ"},
                                        {"nu", "ν"},
                                        {"xi", "ξ"},
                                        {"pi", "π"},
                                        {"rho", "ρ"},
                                        {"sigma", "σ"},
                                        {"tau", "τ"},
                                        {"upsilon", "υ"},
                                        {"phi", "φ"},
                                        {"varphi", "φ"},
                                        {"chi", "χ"},
                                        {"psi", "ψ"},
                                        {"omega", "ω"},
                                        {"Gamma", "Γ"},
                                        {"Delta", "Δ"},
                                        {"Theta", "Θ"},
                                        {"Lambda", "Λ"},
                                        {"Xi", "Ξ"},
                                        {"Pi", "Π"},
                                        {"Sigma", "Σ"},
                                        {"Phi", "Φ"},
                                        {"Psi", "Ψ"},
                                        {"Omega", "Ω"},
                                        {"times", "×"},
                                        {"pm", "±"},
                                        {"leq", "≤"},
                                        {"geq", "≥"},
                                        {"neq", "≠"},
                                        {"infty", "∞"},
                                        {"cdot", "·"},
                                        {"to", "→"},
                                        {"rightarrow", "→"},
                                        {"leftarrow", "←"},
                                        {"approx", "≈"},
                                        {"sim", "∼"}};
        QHash<QString, QString> h;
        for (const auto& row : table)
            h.insert(QString::fromUtf8(row[0]), QString::fromUtf8(row[1]));
        return h;
    }();
    return symbols;
}

// Commands whose first argument is dropped: the address of \href{url}{text}, and the sorting
// hint of \noopsort{key} that BibTeX files define to print nothing.
bool dropsFirstArgument(QStringView command)
{
    return command == u"href" || command == u"noopsort";
}

// Groups nested deeper than this are read as plain text (their braces dropped) rather than by
// one more level of recursion: a crafted value cannot exhaust the stack.
constexpr int MaxGroupDepth = 200;

class Decoder final
{
public:
    explicit Decoder(QStringView text) : m_text(text) {}

    QString run()
    {
        QString out;
        while (m_pos < m_text.size())
            step(out, false);
        return out;
    }

private:
    bool atEnd() const { return m_pos >= m_text.size(); }
    QChar peek(qsizetype ahead = 0) const
    {
        return m_pos + ahead < m_text.size() ? m_text[m_pos + ahead] : QChar();
    }

    void skipSpaces()
    {
        while (!atEnd() && peek().isSpace())
            ++m_pos;
    }

    // One unit of text into `out`. Returns false at a `}` that closes the group being read.
    bool step(QString& out, bool inGroup)
    {
        const QChar c = peek();
        switch (c.unicode()) {
        case '\\':
            command(out);
            return true;
        case '{':
            ++m_pos;
            out += group();
            return true;
        case '}':
            ++m_pos;
            if (m_flatGroups > 0) {
                --m_flatGroups;
                return true;
            }
            return !inGroup; // a stray closing brace outside any group is dropped
        case '$': {
            // Mathematics stays as written, without its dollars.
            const qsizetype close = m_text.indexOf(QLatin1Char('$'), m_pos + 1);
            if (close < 0) {
                ++m_pos;
                return true;
            }
            out += m_text.mid(m_pos + 1, close - m_pos - 1);
            m_pos = close + 1;
            return true;
        }
        case '~':
            ++m_pos;
            out += QChar(0x00A0);
            return true;
        case '-': {
            qsizetype run = 0;
            while (peek(run) == QLatin1Char('-'))
                ++run;
            m_pos += run;
            for (; run >= 3; run -= 3)
                out += QChar(0x2014);
            if (run == 2)
                out += QChar(0x2013);
            else if (run == 1)
                out += QLatin1Char('-');
            return true;
        }
        case '`':
        case '\'':
            // Doubled, they are the opening and closing quotation marks.
            if (peek(1) == c) {
                m_pos += 2;
                out += QChar(c == QLatin1Char('`') ? 0x201C : 0x201D);
                return true;
            }
            ++m_pos;
            out += c;
            return true;
        default:
            ++m_pos;
            out += c;
            return true;
        }
    }

    // The text of a group whose `{` was read, up to its `}` (or the end of the text).
    QString group()
    {
        QString out;
        if (m_depth >= MaxGroupDepth) {
            ++m_flatGroups; // its text follows at this level; step() drops its `}`
            return out;
        }
        ++m_depth;
        while (!atEnd()) {
            if (!step(out, true))
                break;
        }
        --m_depth;
        return out;
    }

    // The argument of an accent or a command: a group, a command, or one character; nothing at
    // the end of the text or of the enclosing group.
    QString argument()
    {
        if (atEnd() || peek() == QLatin1Char('}'))
            return {};
        if (peek() == QLatin1Char('{')) {
            ++m_pos;
            return group();
        }
        QString out;
        if (peek() == QLatin1Char('\\')) {
            command(out);
            return out;
        }
        out += peek();
        ++m_pos;
        return out;
    }

    // The name of the command whose backslash is at `at`: a run of ASCII letters, or the one
    // character after it.
    QStringView commandName(qsizetype at) const
    {
        qsizetype end = at + 1;
        while (end < m_text.size() && m_text[end].isLetter() && m_text[end].unicode() < 128)
            ++end;
        if (end == at + 1 && end < m_text.size() && !m_text[end].isLetter())
            ++end;
        return m_text.mid(at + 1, end - at - 1);
    }

    // An accent whose command was read: it goes on the first letter of what follows, however
    // spaced or braced. Accents in a row (`\'\^e`) are read in a loop, not by recursion, and
    // each goes on what the next one makes.
    void accent(QString& out, Accent first)
    {
        std::vector<Accent> accents{first};
        while (true) {
            skipSpaces();
            if (peek() != QLatin1Char('\\'))
                break;
            const QStringView name = commandName(m_pos);
            const auto next = accentOf(name);
            if (!next)
                break;
            accents.push_back(*next);
            m_pos += 1 + name.size();
        }
        QString arg = argument();
        const qsizetype letter = [&] {
            qsizetype i = 0;
            while (i < arg.size() && arg[i].isSpace())
                ++i;
            return i;
        }();
        if (letter == arg.size() || !arg[letter].isLetter()) {
            // Nothing to carry it: the accent stands as the character it names.
            for (const Accent& a : accents)
                out += QChar(a.spacing);
            out += arg;
            return;
        }
        // Dotless i and j carry accents in LaTeX; in Unicode the plain letters do.
        QChar base = arg[letter];
        if (base == QChar(0x0131))
            base = QLatin1Char('i');
        else if (base == QChar(0x0237))
            base = QLatin1Char('j');
        QString accented(base);
        for (auto it = accents.rbegin(); it != accents.rend(); ++it)
            accented += QChar(it->mark);
        out += accented.normalized(QString::NormalizationForm_C);
        out += QStringView(arg).mid(letter + 1);
    }

    void command(QString& out)
    {
        const QStringView commandText = commandName(m_pos);
        ++m_pos; // the backslash
        if (atEnd()) {
            out += QLatin1Char('\\');
            return;
        }
        if (commandText.isEmpty()) { // a non-ASCII letter after the backslash: keep it
            out += m_text[m_pos++];
            return;
        }
        const QString name = commandText.toString();
        m_pos += name.size();
        const bool word = name[0].isLetter();

        if (const auto a = accentOf(name)) {
            accent(out, *a);
            return;
        }
        if (!word) {
            // Escaped specials and control symbols.
            const QChar s = name[0];
            if (QStringLiteral("&%$#_{}").contains(s))
                out += s;
            else if (s == QLatin1Char(' ') || s == QLatin1Char(',') || s == QLatin1Char(';') ||
                     s == QLatin1Char('\\'))
                out += QLatin1Char(' ');
            else if (s == QLatin1Char('-') || s == QLatin1Char('/') || s == QLatin1Char('@'))
                ; // hyphenation hints and spacing corrections print nothing
            else
                out += s;
            return;
        }
        const bool spaced = peek().isSpace();
        skipSpaces();
        if (const auto it = namedSymbols().constFind(name); it != namedSymbols().constEnd()) {
            out += *it;
            // `\ss{}` and `{\ss}` both end the command; an empty group prints nothing.
            if (peek() == QLatin1Char('{') && peek(1) == QLatin1Char('}'))
                m_pos += 2;
            return;
        }
        if (name == u"url" || name == u"path" || name == u"verb") {
            if (peek() == QLatin1Char('{')) {
                ++m_pos;
                const qsizetype close = m_text.indexOf(QLatin1Char('}'), m_pos);
                const qsizetype end = close < 0 ? m_text.size() : close;
                out += m_text.mid(m_pos, end - m_pos);
                m_pos = close < 0 ? end : end + 1;
            }
            return;
        }
        if (name == u"ding" && peek() == QLatin1Char('{')) {
            const qsizetype start = m_pos;
            ++m_pos;
            const QString arg = group();
            if (const QString symbol = dingbat(arg); !symbol.isEmpty()) {
                out += symbol;
                return;
            }
            m_pos = start; // not a number it knows: read as any other command
        }
        if (dropsFirstArgument(name) && peek() == QLatin1Char('{')) {
            argument();
            skipSpaces();
        }
        if ((name == u"enquote" || name == u"mkbibquote") && peek() == QLatin1Char('{')) {
            out += QChar(0x201C) + argument() + QChar(0x201D);
            return;
        }
        // Formatting (\emph{...}, \textbf{...}, \mbox{...}) and unknown commands: the command
        // goes, the text of its argument stays; an unknown one keeps the blank after it.
        if (spaced && !onlyFormats(name) && !dropsFirstArgument(name) && !out.isEmpty() &&
            !out.back().isSpace())
            out += QLatin1Char(' ');
    }

    QStringView m_text;
    qsizetype m_pos = 0;
    int m_depth = 0;            // groups being read
    qsizetype m_flatGroups = 0; // groups beyond the depth read as plain text, not yet closed
};

} // namespace

QString toUnicode(QStringView text)
{
    if (!text.contains(QLatin1Char('\\')) && !text.contains(QLatin1Char('{')) &&
        !text.contains(QLatin1Char('}')) && !text.contains(QLatin1Char('~')) &&
        !text.contains(QLatin1Char('$')) && !text.contains(QLatin1String("--")) &&
        !text.contains(QLatin1Char('`')) && !text.contains(QLatin1String("''")))
        return text.toString();
    return Decoder(text).run();
}

QString fromUnicode(const QString& text)
{
    // Most values need nothing written differently: they are shared, not copied.
    const auto special = [](QChar c) {
        switch (c.unicode()) {
        case '\\':
        case '{':
        case '}':
        case '%':
        case '&':
        case '$':
        case '#':
        case '_':
        case '~':
        case '^':
        case '-':
        case '`':
        case '\'':
        case 0x00A0:
        case 0x2013:
        case 0x2014:
            return true;
        default:
            return false;
        }
    };
    if (std::none_of(text.begin(), text.end(), special))
        return text;
    QString out;
    out.reserve(text.size() + text.size() / 8);
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        const QChar next = i + 1 < text.size() ? text[i + 1] : QChar();
        switch (c.unicode()) {
        case '\\':
            out += QLatin1String("\\textbackslash{}");
            break;
        case '{':
        case '}':
        case '%':
        case '&':
        case '$':
        case '#':
        case '_':
            out += QLatin1Char('\\');
            out += c;
            break;
        case '~':
            out += QLatin1String("\\textasciitilde{}");
            break;
        case '^':
            out += QLatin1String("\\textasciicircum{}");
            break;
        case 0x00A0:
            out += QLatin1Char('~');
            break;
        case 0x2013:
            out += QLatin1String("--");
            break;
        case 0x2014:
            out += QLatin1String("---");
            break;
        case '-':
        case '`':
        case '\'':
            // Two in a row would be read back as a dash or a curly quote.
            out += c;
            if (next == c)
                out += QLatin1String("{}");
            break;
        default:
            out += c;
        }
    }
    return out;
}

bool bracesBalanced(QStringView text)
{
    int depth = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c == QLatin1Char('\\')) {
            ++i;
        } else if (c == QLatin1Char('{')) {
            ++depth;
        } else if (c == QLatin1Char('}')) {
            if (--depth < 0)
                return false;
        }
    }
    return depth == 0;
}

} // namespace quirelle::interchange::latex
