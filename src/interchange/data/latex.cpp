// LaTeX to Unicode and back, for the text of bibliography fields.
#include "interchange/data/latex.h"

#include <QHash>

#include <algorithm>

namespace quirelle::interchange::latex {

namespace {

// The combining mark each accent command puts on its letter.
char16_t accentMark(QStringView command)
{
    static const QHash<QString, char16_t> marks{
        {QStringLiteral("'"), 0x0301}, {QStringLiteral("`"), 0x0300},
        {QStringLiteral("^"), 0x0302}, {QStringLiteral("\""), 0x0308},
        {QStringLiteral("~"), 0x0303}, {QStringLiteral("="), 0x0304},
        {QStringLiteral("."), 0x0307}, {QStringLiteral("u"), 0x0306},
        {QStringLiteral("v"), 0x030C}, {QStringLiteral("H"), 0x030B},
        {QStringLiteral("c"), 0x0327}, {QStringLiteral("k"), 0x0328},
        {QStringLiteral("r"), 0x030A}, {QStringLiteral("d"), 0x0323},
        {QStringLiteral("b"), 0x0331}, {QStringLiteral("t"), 0x0361}};
    return marks.value(command.toString(), 0);
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
        while (!atEnd()) {
            if (!step(out, true))
                break;
        }
        return out;
    }

    // The argument of an accent or a command: a group, a command, or one character.
    QString argument()
    {
        if (atEnd())
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

    void command(QString& out)
    {
        ++m_pos; // the backslash
        if (atEnd()) {
            out += QLatin1Char('\\');
            return;
        }
        QString name;
        const bool word = peek().isLetter();
        if (word) {
            while (!atEnd() && peek().isLetter() && peek().unicode() < 128)
                name += m_text[m_pos++];
            if (name.isEmpty()) { // a non-ASCII letter after the backslash: keep it
                out += m_text[m_pos++];
                return;
            }
        } else {
            name = m_text[m_pos++];
        }

        if (const char16_t mark = accentMark(name); mark && (name.size() == 1)) {
            // A letter accent (\v c, \c{c}) needs its argument; a symbol accent takes the next
            // character, braces or not.
            if (word)
                skipSpaces();
            QString arg = argument();
            if (arg.isEmpty()) {
                out += QChar(mark);
                return;
            }
            // Dotless i and j carry accents in LaTeX; in Unicode the plain letters do.
            if (arg[0] == QChar(0x0131))
                arg[0] = QLatin1Char('i');
            else if (arg[0] == QChar(0x0237))
                arg[0] = QLatin1Char('j');
            out += (QString(arg[0]) + QChar(mark)).normalized(QString::NormalizationForm_C);
            out += QStringView(arg).mid(1);
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
        if (dropsFirstArgument(name) && peek() == QLatin1Char('{')) {
            argument();
            skipSpaces();
        }
        if ((name == u"enquote" || name == u"mkbibquote") && peek() == QLatin1Char('{')) {
            out += QChar(0x201C) + argument() + QChar(0x201D);
            return;
        }
        // Formatting (\emph{...}, \textbf{...}, \mbox{...}) and unknown commands: the command
        // goes, the text of its argument stays.
    }

    QStringView m_text;
    qsizetype m_pos = 0;
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
