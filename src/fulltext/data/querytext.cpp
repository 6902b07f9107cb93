// Reading the user's criterion into terms and writing them as the index's query language.
#include "fulltext/data/querytext.h"

#include <QStringList>

#include <vector>

namespace quirelle::fulltext {

namespace {

// Deeper groups than this are read as if their parentheses were not there: the index's parser
// has a stack of its own.
constexpr int MaxDepth = 8;
// Terms past this many are left out; nobody types more, and each one costs a look-up.
constexpr int MaxTerms = 64;

enum class Kind { Term, Or, Not, Open, Close };

struct Token
{
    Kind kind = Kind::Term;
    QString text; // a term, quoted as the index reads it
};

bool isBlank(QChar c)
{
    return c.isSpace() || c.category() == QChar::Other_Control || c.isNull();
}

// A word as one quoted string: the index splits it into its tokens itself. A word that holds no
// letter or digit finds nothing and is left out.
QString quoted(const QString& words, bool prefix)
{
    bool searchable = false;
    for (const QChar c : words) {
        if (c.isLetterOrNumber() || c.isHighSurrogate()) {
            searchable = true;
            break;
        }
    }
    if (!searchable)
        return {};
    QString out = QStringLiteral("\"") + QString(words).replace(QLatin1Char('"'), QString()) +
                  QStringLiteral("\"");
    if (prefix)
        out += QLatin1Char('*');
    return out;
}

std::vector<Token> tokenize(const QString& typed)
{
    std::vector<Token> tokens;
    QString text = typed.normalized(QString::NormalizationForm_KC);
    for (QChar& c : text) {
        if (isBlank(c))
            c = QLatin1Char(' ');
    }
    const qsizetype n = text.size();
    qsizetype i = 0;
    const auto addTerm = [&tokens](const QString& words, bool prefix) {
        const QString q = quoted(words, prefix);
        if (!q.isEmpty())
            tokens.push_back({Kind::Term, q});
    };
    while (i < n) {
        const QChar c = text[i];
        if (c == QLatin1Char(' ')) {
            ++i;
        } else if (c == QLatin1Char('(')) {
            tokens.push_back({Kind::Open, {}});
            ++i;
        } else if (c == QLatin1Char(')')) {
            tokens.push_back({Kind::Close, {}});
            ++i;
        } else if (c == QLatin1Char('"') && text.indexOf(QLatin1Char('"'), i + 1) > i) {
            const qsizetype end = text.indexOf(QLatin1Char('"'), i + 1);
            qsizetype after = end + 1;
            bool prefix = false;
            while (after < n && text[after] == QLatin1Char('*')) {
                prefix = true;
                ++after;
            }
            addTerm(text.mid(i + 1, end - i - 1).simplified(), prefix);
            i = after;
        } else {
            qsizetype end = i;
            while (end < n && text[end] != QLatin1Char(' ') && text[end] != QLatin1Char('(') &&
                   text[end] != QLatin1Char(')') && text[end] != QLatin1Char('"'))
                ++end;
            if (end == i) { // an unclosed quote: read as if it were not there
                ++i;
                continue;
            }
            QString word = text.mid(i, end - i);
            i = end;
            if (word == QLatin1String("OR")) {
                tokens.push_back({Kind::Or, word});
                continue;
            }
            if (word == QLatin1String("NOT")) {
                tokens.push_back({Kind::Not, word});
                continue;
            }
            bool prefix = false;
            while (word.endsWith(QLatin1Char('*'))) {
                word.chop(1);
                prefix = true;
            }
            // A star inside a word is no operator: it parts the word as a blank would.
            addTerm(word.replace(QLatin1Char('*'), QLatin1Char(' ')).simplified(), prefix);
        }
    }
    return tokens;
}

// Writes the tokens from `i` up to the matching close (or the end) as one group; nothing when
// the group holds no term.
class Writer
{
public:
    explicit Writer(std::vector<Token> tokens) : m_tokens(std::move(tokens)) {}

    QString group(int depth)
    {
        QStringList operands; // each written operand
        QStringList joins;    // the operator before each operand after the first
        QString pendingOperator;
        while (m_at < m_tokens.size()) {
            const Token& t = m_tokens[m_at];
            if (t.kind == Kind::Close) {
                ++m_at;
                if (m_flattened > 0) {
                    --m_flattened; // closes a group written flat into this one
                    continue;
                }
                if (depth > 0)
                    break;
                continue; // a close with no open is dropped
            }
            QString operand;
            if (t.kind == Kind::Open && depth >= MaxDepth) {
                // Nested deeper than a query may be: its terms join this group, so that no
                // depth of brackets, however great, goes deeper here either.
                ++m_at;
                ++m_flattened;
                continue;
            }
            if (t.kind == Kind::Open) {
                ++m_at;
                const QString inner = group(depth + 1);
                if (inner.isEmpty())
                    continue;
                operand = depth + 1 <= MaxDepth ? QStringLiteral("(") + inner + QStringLiteral(")")
                                                : inner;
            } else if (t.kind == Kind::Or || t.kind == Kind::Not) {
                ++m_at;
                // An operator between two terms joins them; anywhere else it is a word.
                if (!operands.isEmpty() && pendingOperator.isEmpty() && followedByOperand()) {
                    pendingOperator =
                        t.kind == Kind::Or ? QStringLiteral(" OR ") : QStringLiteral(" NOT ");
                    continue;
                }
                operand = quoted(t.text, false);
            } else {
                ++m_at;
                if (m_terms >= MaxTerms)
                    continue;
                ++m_terms;
                operand = t.text;
            }
            if (operand.isEmpty())
                continue;
            if (operands.isEmpty()) {
                operands << operand;
            } else {
                joins << (pendingOperator.isEmpty() ? QStringLiteral(" AND ") : pendingOperator);
                operands << operand;
            }
            pendingOperator.clear();
        }
        if (operands.isEmpty())
            return {};
        QString out = operands.first();
        for (qsizetype k = 1; k < operands.size(); ++k)
            out += joins[k - 1] + operands[k];
        return out;
    }

private:
    // Whether a term or a group that holds a term comes next.
    bool followedByOperand() const
    {
        int depth = 0;
        for (size_t k = m_at; k < m_tokens.size(); ++k) {
            switch (m_tokens[k].kind) {
            case Kind::Term:
                return true;
            case Kind::Open:
                ++depth;
                break;
            case Kind::Close:
                if (depth == 0)
                    return false;
                --depth;
                break;
            case Kind::Or:
            case Kind::Not:
                if (depth == 0)
                    return false;
                break;
            }
        }
        return false;
    }

    std::vector<Token> m_tokens;
    size_t m_at = 0;
    int m_terms = 0;
    int m_flattened = 0; // groups opened past the deepest one written, not yet closed
};

} // namespace

QString ftsQuery(const QString& typed)
{
    Writer writer(tokenize(typed));
    return writer.group(0);
}

} // namespace quirelle::fulltext
