// The dialect's rules for text: comparison and ordering that ignore letter case for every
// alphabet, and the `like` patterns with their wildcards (* ? # and [...] character lists).
#pragma once

#include <QString>

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quirelle::db::text {

// Orders two UTF-8 texts: case-insensitive, accents ignored first and then used to break the
// tie, so "émile" sorts next to "Emile". Returns 0 exactly when the texts differ only in case.
int collate(std::string_view a, std::string_view b);

// The text as `like` compares it: composed, letter case folded.
QString foldedText(QStringView s);

// How many characters the text holds, as the file's own checks count them (a character outside
// the basic plane is one character, not two).
qsizetype characterCount(QStringView s);
// The first `count` characters of the text, never cutting a character in two.
QString leftCharacters(const QString& s, qsizetype count);

// True when the text holds no character that has another letter case, so that comparing it
// byte for byte gives the same answer as comparing it without regard to case.
bool isCaseless(QStringView s);

// A compiled `like` pattern of the dialect: `*` any run, `?` one character, `#` one digit,
// `[abc]`, `[a-z]`, `[!abc]` character lists. Matching ignores letter case.
class LikePattern
{
public:
    explicit LikePattern(QStringView pattern);
    bool matches(std::string_view utf8) const;
    bool matches(QStringView s) const;
    // The pattern as a regular expression (POSIX, as PostgreSQL reads them) that matches the
    // whole of a folded text (see foldedText) exactly when the pattern matches the text.
    QString regularExpression() const;
    // The same as a pattern of PostgreSQL's LIKE (backslash escapes) over the folded text, when
    // the pattern has no `#` and no character list: LIKE runs quicker than a regular expression.
    std::optional<QString> serverLike() const;

private:
    enum class Kind { Literal, AnyRun, One, Digit, List };
    struct Token
    {
        Kind kind = Kind::Literal;
        char32_t ch = 0;
        bool negated = false;
        std::vector<std::pair<char32_t, char32_t>> ranges;
    };
    static Token token(Kind kind, char32_t ch = 0);
    bool matchFolded(const std::u32string& s) const;
    // The wildcard walk over `n` folded characters, the i-th of them at(i).
    template<class At>
    bool walk(size_t n, At at) const;
    bool tokenMatches(const Token& t, char32_t c) const;

    std::vector<Token> m_tokens;
    // Set for a pattern that is `*`, plain characters, `*`: those characters, folded, when all
    // of them are ASCII. A search builds such a pattern from what was typed.
    std::optional<std::string> m_asciiContains;
};

} // namespace quirelle::db::text
