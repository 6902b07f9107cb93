// Case-insensitive comparison, ordering and pattern matching of text.
#include "db/textrules.h"

#include <QList>

#include <algorithm>
#include <cstring>

namespace quirelle::db::text {

namespace {

// Eight bytes at a time: a search asks this of every row it scans.
bool isAscii(std::string_view s)
{
    constexpr quint64 HighBits = 0x8080808080808080ULL;
    size_t i = 0;
    for (; i + 8 <= s.size(); i += 8) {
        quint64 word;
        std::memcpy(&word, s.data() + i, 8);
        if (word & HighBits)
            return false;
    }
    for (; i < s.size(); ++i) {
        if (static_cast<unsigned char>(s[i]) >= 0x80)
            return false;
    }
    return true;
}

char asciiLower(char c)
{
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

QString folded(QStringView s)
{
    return s.toString().normalized(QString::NormalizationForm_C).toCaseFolded();
}

// The folded text with its accents taken off: the first key of the ordering.
QString baseLetters(const QString& foldedText)
{
    const QString decomposed = foldedText.normalized(QString::NormalizationForm_D);
    QString out;
    out.reserve(decomposed.size());
    for (QChar c : decomposed) {
        if (!c.isMark())
            out.append(c);
    }
    return out;
}

// The Latin letters most names and titles are written in, up to the end of Latin Extended-B.
constexpr char32_t LatinEnd = 0x250;

// For each character below LatinEnd: its case folding and its base letters (the folding with
// its accents taken off), when a text made only of such characters folds character by character
// to what folding the whole text gives. That holds when the character is already composed and
// its folding decomposes to a letter first, so that nothing composes or reorders across two
// characters.
struct LatinKeys
{
    bool usable = false;
    QString folded;
    QString base;
};

const std::vector<LatinKeys>& latinKeys()
{
    static const std::vector<LatinKeys> table = [] {
        std::vector<LatinKeys> t(LatinEnd);
        for (char32_t c = 0; c < LatinEnd; ++c) {
            const QString s = QString::fromUcs4(&c, 1);
            if (s.normalized(QString::NormalizationForm_C) != s)
                continue;
            LatinKeys& k = t[c];
            k.folded = folded(s);
            const QString decomposed = k.folded.normalized(QString::NormalizationForm_D);
            if (decomposed.isEmpty() || decomposed.front().combiningClass() != 0 ||
                decomposed.front().isMark())
                continue;
            k.base = baseLetters(k.folded);
            k.usable = true;
        }
        return t;
    }();
    return table;
}

// Decodes UTF-8 made only of characters below LatinEnd; false for anything else (other
// characters, or bytes that are not UTF-8), which the general rules then handle.
template<class F>
bool forEachLatin(std::string_view utf8, F&& f)
{
    for (size_t i = 0; i < utf8.size(); ++i) {
        const auto b = static_cast<unsigned char>(utf8[i]);
        char32_t c = b;
        if (b >= 0x80) {
            if (b < 0xC2 || b > 0xC9 || i + 1 >= utf8.size())
                return false;
            const auto next = static_cast<unsigned char>(utf8[i + 1]);
            if ((next & 0xC0) != 0x80)
                return false;
            c = (static_cast<char32_t>(b & 0x1F) << 6) | (next & 0x3F);
            if (c >= LatinEnd)
                return false;
            ++i;
        }
        if (!f(c))
            return false;
    }
    return true;
}

// The folded text and its base letters, made character by character; nothing when the text is
// not made only of characters for which that gives the general rules' answer.
struct LatinFolded
{
    QString folded;
    QString base;
};

std::optional<LatinFolded> foldLatin(std::string_view utf8)
{
    const auto& table = latinKeys();
    LatinFolded out;
    out.folded.reserve(static_cast<qsizetype>(utf8.size()));
    out.base.reserve(static_cast<qsizetype>(utf8.size()));
    const bool ok = forEachLatin(utf8, [&](char32_t c) {
        const LatinKeys& k = table[c];
        if (!k.usable)
            return false;
        out.folded += k.folded;
        out.base += k.base;
        return true;
    });
    if (!ok)
        return std::nullopt;
    return out;
}

std::u32string foldToUcs4(std::string_view utf8)
{
    std::u32string out;
    if (isAscii(utf8)) {
        out.reserve(utf8.size());
        for (char c : utf8)
            out.push_back(static_cast<char32_t>(asciiLower(c)));
        return out;
    }
    out.reserve(utf8.size());
    const auto& table = latinKeys();
    const bool latin = forEachLatin(utf8, [&](char32_t c) {
        const LatinKeys& k = table[c];
        if (!k.usable)
            return false;
        for (QChar u : k.folded)
            out.push_back(u.unicode());
        return true;
    });
    if (latin)
        return out;
    out.clear();
    const QString f = folded(QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size())));
    for (uint u : f.toUcs4())
        out.push_back(static_cast<char32_t>(u));
    return out;
}

std::u32string foldToUcs4(QStringView s)
{
    std::u32string out;
    for (uint u : folded(s).toUcs4())
        out.push_back(static_cast<char32_t>(u));
    return out;
}

char32_t foldChar(char32_t c)
{
    if (c < 0x80)
        return static_cast<char32_t>(asciiLower(static_cast<char>(c)));
    const QString f = folded(QString::fromUcs4(&c, 1));
    const auto ucs = f.toUcs4();
    return ucs.size() == 1 ? static_cast<char32_t>(ucs.front()) : c;
}

} // namespace

int collate(std::string_view a, std::string_view b)
{
    // Sorting compares most pairs within their first few letters: where the texts first differ
    // in two ASCII characters after an ASCII prefix that is equal but for case, that difference
    // decides, whatever accents follow. Saves folding both texts for every comparison.
    {
        const size_t n = std::min(a.size(), b.size());
        size_t i = 0;
        while (i < n && static_cast<unsigned char>(a[i]) < 0x80 &&
               static_cast<unsigned char>(b[i]) < 0x80 && asciiLower(a[i]) == asciiLower(b[i]))
            ++i;
        if (i < n && static_cast<unsigned char>(a[i]) < 0x80 &&
            static_cast<unsigned char>(b[i]) < 0x80)
            return asciiLower(a[i]) < asciiLower(b[i]) ? -1 : 1;
    }
    if (isAscii(a) && isAscii(b)) {
        const size_t n = std::min(a.size(), b.size());
        for (size_t i = 0; i < n; ++i) {
            const char x = asciiLower(a[i]);
            const char y = asciiLower(b[i]);
            if (x != y)
                return x < y ? -1 : 1;
        }
        return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
    }
    if (a == b)
        return 0;
    // Names in Latin letters with accents are folded a character at a time from a table.
    if (const auto la = foldLatin(a)) {
        if (const auto lb = foldLatin(b)) {
            if (la->folded == lb->folded)
                return 0;
            const int primary = la->base.compare(lb->base);
            if (primary != 0)
                return primary < 0 ? -1 : 1;
            return la->folded < lb->folded ? -1 : 1;
        }
    }
    const QString fa = folded(QString::fromUtf8(a.data(), static_cast<qsizetype>(a.size())));
    const QString fb = folded(QString::fromUtf8(b.data(), static_cast<qsizetype>(b.size())));
    if (fa == fb)
        return 0;
    const int primary = baseLetters(fa).compare(baseLetters(fb));
    if (primary != 0)
        return primary < 0 ? -1 : 1;
    return fa < fb ? -1 : 1;
}

bool isCaseless(QStringView s)
{
    for (QChar c : s) {
        if (c.isLetter() || c.isSurrogate())
            return false;
    }
    return true;
}

LikePattern::Token LikePattern::token(Kind kind, char32_t ch)
{
    Token t;
    t.kind = kind;
    t.ch = ch;
    return t;
}

LikePattern::LikePattern(QStringView pattern)
{
    // The text matched is compared in its composed form (an accent pasted as a letter and a
    // combining mark matches the one-character accent), so the pattern is composed too.
    const std::u32string p = [&] {
        std::u32string out;
        for (uint u : pattern.toString().normalized(QString::NormalizationForm_C).toUcs4())
            out.push_back(static_cast<char32_t>(u));
        return out;
    }();
    for (size_t i = 0; i < p.size(); ++i) {
        const char32_t c = p[i];
        if (c == U'*') {
            if (m_tokens.empty() || m_tokens.back().kind != Kind::AnyRun)
                m_tokens.push_back(token(Kind::AnyRun));
        } else if (c == U'?') {
            m_tokens.push_back(token(Kind::One));
        } else if (c == U'#') {
            m_tokens.push_back(token(Kind::Digit));
        } else if (c == U'[') {
            const size_t close = p.find(U']', i + 2);
            if (close == std::u32string::npos) {
                m_tokens.push_back(token(Kind::Literal, foldChar(c)));
                continue;
            }
            Token t = token(Kind::List);
            size_t j = i + 1;
            if (p[j] == U'!' && j + 1 < close) {
                t.negated = true;
                ++j;
            }
            for (; j < close; ++j) {
                if (j + 2 < close && p[j + 1] == U'-') {
                    t.ranges.emplace_back(foldChar(p[j]), foldChar(p[j + 2]));
                    j += 2;
                } else {
                    t.ranges.emplace_back(foldChar(p[j]), foldChar(p[j]));
                }
            }
            m_tokens.push_back(std::move(t));
            i = close;
        } else {
            m_tokens.push_back(token(Kind::Literal, foldChar(c)));
        }
    }
    if (m_tokens.size() >= 2 && m_tokens.front().kind == Kind::AnyRun &&
        m_tokens.back().kind == Kind::AnyRun) {
        std::string literal;
        for (size_t i = 1; i + 1 < m_tokens.size(); ++i) {
            const Token& t = m_tokens[i];
            if (t.kind != Kind::Literal || t.ch >= 0x80)
                return;
            literal.push_back(static_cast<char>(t.ch));
        }
        m_asciiContains = std::move(literal);
    }
}

namespace {

// Whether `folded` (lower-case ASCII) is in the ASCII text `s`, letter case ignored.
bool asciiContains(std::string_view s, std::string_view folded)
{
    if (folded.empty())
        return true;
    if (folded.size() > s.size())
        return false;
    // The places where the first character stands, in either case, are found with memchr.
    const char first = folded[0];
    const char other =
        (first >= 'a' && first <= 'z') ? static_cast<char>(first - 'a' + 'A') : first;
    const char* const begin = s.data();
    const char* const end = begin + (s.size() - folded.size() + 1); // past the last start
    const auto find = [end](const char* from, char c) {
        const void* at = std::memchr(from, c, static_cast<size_t>(end - from));
        return at ? static_cast<const char*>(at) : end;
    };
    const char* lower = find(begin, first);
    const char* upper = other == first ? end : find(begin, other);
    while (lower < end || upper < end) {
        const char* at = std::min(lower, upper);
        size_t k = 1;
        while (k < folded.size() && asciiLower(at[k]) == folded[k])
            ++k;
        if (k == folded.size())
            return true;
        if (at == lower)
            lower = find(at + 1, first);
        else
            upper = find(at + 1, other);
    }
    return false;
}

} // namespace

bool LikePattern::tokenMatches(const Token& t, char32_t c) const
{
    switch (t.kind) {
    case Kind::Literal:
        return t.ch == c;
    case Kind::One:
        return true;
    case Kind::Digit:
        return c >= U'0' && c <= U'9';
    case Kind::List: {
        const bool in = std::any_of(t.ranges.begin(), t.ranges.end(),
                                    [c](const auto& r) { return c >= r.first && c <= r.second; });
        return in != t.negated;
    }
    case Kind::AnyRun:
        break;
    }
    return false;
}

// The usual wildcard walk: on a mismatch, go back to the last `*` and let it take one more
// character. Every token but `*` takes exactly one character, so one back-track point is enough.
template<class At>
bool LikePattern::walk(size_t n, At at) const
{
    size_t si = 0;
    size_t ti = 0;
    size_t starToken = std::string::npos;
    size_t starSubject = 0;
    while (si < n) {
        if (ti < m_tokens.size() && m_tokens[ti].kind == Kind::AnyRun) {
            starToken = ti++;
            starSubject = si;
        } else if (ti < m_tokens.size() && tokenMatches(m_tokens[ti], at(si))) {
            ++ti;
            ++si;
        } else if (starToken != std::string::npos) {
            ti = starToken + 1;
            si = ++starSubject;
        } else {
            return false;
        }
    }
    while (ti < m_tokens.size() && m_tokens[ti].kind == Kind::AnyRun)
        ++ti;
    return ti == m_tokens.size();
}

bool LikePattern::matchFolded(const std::u32string& s) const
{
    return walk(s.size(), [&s](size_t i) { return s[i]; });
}

bool LikePattern::matches(std::string_view utf8) const
{
    // Most stored texts are plain ASCII: those are matched where they lie, folded one character
    // at a time, instead of through a folded copy. A search scans every row of a table.
    if (isAscii(utf8)) {
        if (m_asciiContains)
            return asciiContains(utf8, *m_asciiContains);
        return walk(utf8.size(),
                    [utf8](size_t i) { return static_cast<char32_t>(asciiLower(utf8[i])); });
    }
    return matchFolded(foldToUcs4(utf8));
}

bool LikePattern::matches(QStringView s) const
{
    return matchFolded(foldToUcs4(s));
}

QString foldedText(QStringView s)
{
    return folded(s);
}

QString LikePattern::regularExpression() const
{
    // Letters and digits stand for themselves; every other character is escaped, in a list too.
    const auto literal = [](char32_t c) {
        const QString s = QString::fromUcs4(&c, 1);
        return QChar::isLetterOrNumber(c) ? s : QStringLiteral("\\") + s;
    };
    QString out = QStringLiteral("^");
    for (const Token& t : m_tokens) {
        switch (t.kind) {
        case Kind::Literal:
            out += literal(t.ch);
            break;
        case Kind::AnyRun:
            out += QStringLiteral(".*");
            break;
        case Kind::One:
            out += QLatin1Char('.');
            break;
        case Kind::Digit:
            out += QStringLiteral("[0-9]");
            break;
        case Kind::List:
            if (t.ranges.empty()) {
                out += t.negated ? QStringLiteral(".") : QStringLiteral("[^\\s\\S]");
                break;
            }
            out += t.negated ? QStringLiteral("[^") : QStringLiteral("[");
            for (const auto& [from, to] : t.ranges) {
                out += literal(from);
                if (to != from)
                    out += QLatin1Char('-') + literal(to);
            }
            out += QLatin1Char(']');
            break;
        }
    }
    return out + QLatin1Char('$');
}

std::optional<QString> LikePattern::serverLike() const
{
    QString out;
    for (const Token& t : m_tokens) {
        switch (t.kind) {
        case Kind::Literal:
            if (t.ch == U'%' || t.ch == U'_' || t.ch == U'\\')
                out += QLatin1Char('\\');
            out += QString::fromUcs4(&t.ch, 1);
            break;
        case Kind::AnyRun:
            out += QLatin1Char('%');
            break;
        case Kind::One:
            out += QLatin1Char('_');
            break;
        case Kind::Digit:
        case Kind::List:
            return std::nullopt;
        }
    }
    return out;
}

qsizetype characterCount(QStringView s)
{
    qsizetype n = 0;
    for (qsizetype i = 0; i < s.size(); ++i) {
        // The second half of a pair that stands for one character outside the basic plane is
        // not counted again.
        if (!(s[i].isLowSurrogate() && i > 0 && s[i - 1].isHighSurrogate()))
            ++n;
    }
    return n;
}

QString leftCharacters(const QString& s, qsizetype count)
{
    qsizetype i = 0;
    for (qsizetype n = 0; n < count && i < s.size(); ++n)
        i += (s[i].isHighSurrogate() && i + 1 < s.size() && s[i + 1].isLowSurrogate()) ? 2 : 1;
    return s.left(i);
}

} // namespace quirelle::db::text
