// The index's own word reader (SQLite's, as the project file's index is told to read) on a
// connection of no file, and the words it reads written as a server's text search values.
#include "fulltext/data/textsearch.h"

#include "db/dberror.h"
#include "fulltext/data/fulltextindex.h"
#include "fulltext/data/querytext.h"

#include <algorithm>
#include <memory>
#include <optional>

#include <sqlite3.h>

namespace quirelle::fulltext {

namespace {

// A server keeps a word of at most 2,046 bytes; longer ones (which nobody types) are kept, and
// looked for, by their beginning.
constexpr qsizetype MaxLexemeBytes = 1000;
// A server keeps a word's first 256 places on a page, the places counted up to 16,383, and at most
// a megabyte of words and places in one value.
constexpr size_t MaxPlaces = 256;
constexpr int MaxPlace = 16383;
constexpr qsizetype MaxVectorBytes = 900 * 1000;
// The words of one phrase, and of a whole criterion, a query looks for: nobody types more, each
// costs the server a step, and a server's query holds no more than a megabyte of words. Words past
// these are left out (a term left without any finds nothing).
constexpr size_t MaxPhraseWords = 64;
constexpr int MaxQueryWords = 256;
// The words a passage shows, as the file's index shows them.
constexpr size_t PassageWords = 24;

[[noreturn]] void fail(const QString& what)
{
    throw db::DbError(db::err::Generic,
                      QStringLiteral("The full-text index cannot read words: %1").arg(what));
}

// The word reader of the file's index, "unicode61 remove_diacritics 2", on a connection of its
// own for each thread.
class Tokenizer final
{
public:
    Tokenizer()
    {
        if (sqlite3_open_v2(":memory:", &m_connection, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE,
                            nullptr) != SQLITE_OK) {
            sqlite3_close(m_connection);
            fail(QStringLiteral("no connection"));
        }
        fts5_api* api = nullptr;
        sqlite3_stmt* statement = nullptr;
        if (sqlite3_prepare_v2(m_connection, "SELECT fts5(?1)", -1, &statement, nullptr) ==
            SQLITE_OK) {
            sqlite3_bind_pointer(statement, 1, static_cast<void*>(&api), "fts5_api_ptr", nullptr);
            sqlite3_step(statement);
        }
        sqlite3_finalize(statement);
        void* context = nullptr;
        const char* arguments[] = {"remove_diacritics", "2"};
        if (!api || api->xFindTokenizer(api, "unicode61", &context, &m_reader) != SQLITE_OK ||
            m_reader.xCreate(context, arguments, 2, &m_tokenizer) != SQLITE_OK) {
            sqlite3_close(m_connection);
            fail(QStringLiteral("the engine has no full-text index"));
        }
    }
    ~Tokenizer()
    {
        m_reader.xDelete(m_tokenizer);
        sqlite3_close(m_connection);
    }
    Tokenizer(const Tokenizer&) = delete;
    Tokenizer& operator=(const Tokenizer&) = delete;

    std::vector<Word> words(const QByteArray& utf8, bool query)
    {
        std::vector<Word> out;
        const auto add = [](void* to, int, const char* token, int size, int start, int end) {
            if (size <= 0)
                return SQLITE_OK; // no word: the index keeps none, and counts no place
            static_cast<std::vector<Word>*>(to)->push_back(
                {QByteArray(token, size), qsizetype(start), qsizetype(end)});
            return SQLITE_OK;
        };
        const int rc = m_reader.xTokenize(m_tokenizer, &out,
                                          query ? FTS5_TOKENIZE_QUERY : FTS5_TOKENIZE_DOCUMENT,
                                          utf8.constData(), static_cast<int>(utf8.size()), add);
        if (rc != SQLITE_OK)
            fail(QString::fromUtf8(sqlite3_errstr(rc)));
        return out;
    }

private:
    sqlite3* m_connection = nullptr;
    fts5_tokenizer m_reader{};
    Fts5Tokenizer* m_tokenizer = nullptr;
};

// A word as a server keeps it.
QByteArray lexeme(const QByteArray& folded)
{
    if (folded.size() <= MaxLexemeBytes)
        return folded;
    qsizetype n = MaxLexemeBytes;
    while (n > 0 && (static_cast<uchar>(folded[n]) & 0xC0) == 0x80)
        --n; // not inside a character
    return folded.left(n);
}

// A word in the quotes of a `tsvector` or `tsquery` value.
QByteArray quotedLexeme(QByteArrayView word)
{
    QByteArray out = "'";
    for (const char c : word) {
        if (c == '\'' || c == '\\')
            out += c;
        out += c;
    }
    return out + '\'';
}

// A word or a phrase the criterion looks for, the last word perhaps a beginning.
struct Term
{
    std::vector<QByteArray> lexemes;
    bool prefix = false;
};

// The criterion read into a tree: a term, or the operator's operands (NOT: what is kept, then
// what is taken away).
struct Node
{
    enum class Kind { Term, And, Or, Not };
    Kind kind = Kind::Term;
    Term term;
    std::vector<std::unique_ptr<Node>> operands;
};

// Reads the index's query (ftsQuery: quoted terms, AND, OR, NOT and parentheses) into a tree, NOT
// binding before AND and AND before OR, as the file's index reads them.
class Reader
{
public:
    explicit Reader(const QString& query) : m_query(query) {}

    std::unique_ptr<Node> group()
    {
        std::vector<std::unique_ptr<Node>> operands;
        std::vector<Node::Kind> joins; // before each operand after the first
        Node::Kind pending = Node::Kind::And;
        while (skipBlanks()) {
            const QChar c = m_query[m_at];
            std::unique_ptr<Node> operand;
            if (c == QLatin1Char(')')) {
                ++m_at;
                break;
            }
            if (c == QLatin1Char('(')) {
                ++m_at;
                operand = group();
            } else if (c == QLatin1Char('"')) {
                operand = term();
            } else {
                const QString word = bareWord();
                pending = word == QLatin1String("OR")    ? Node::Kind::Or
                          : word == QLatin1String("NOT") ? Node::Kind::Not
                                                         : Node::Kind::And;
                continue;
            }
            if (!operand)
                continue;
            if (!operands.empty())
                joins.push_back(pending);
            operands.push_back(std::move(operand));
            pending = Node::Kind::And;
        }
        if (operands.empty())
            return nullptr;
        std::vector<std::unique_ptr<Node>> ors;
        std::vector<std::unique_ptr<Node>> ands;
        std::unique_ptr<Node> current = std::move(operands[0]);
        for (size_t i = 1; i < operands.size(); ++i) {
            if (joins[i - 1] == Node::Kind::Not) {
                current = joined(Node::Kind::Not, std::move(current), std::move(operands[i]));
                continue;
            }
            ands.push_back(std::move(current));
            if (joins[i - 1] == Node::Kind::Or)
                ors.push_back(all(Node::Kind::And, std::move(ands)));
            current = std::move(operands[i]);
        }
        ands.push_back(std::move(current));
        ors.push_back(all(Node::Kind::And, std::move(ands)));
        return all(Node::Kind::Or, std::move(ors));
    }

private:
    bool skipBlanks()
    {
        while (m_at < m_query.size() && m_query[m_at] == QLatin1Char(' '))
            ++m_at;
        return m_at < m_query.size();
    }

    QString bareWord()
    {
        const qsizetype start = m_at;
        while (m_at < m_query.size() && m_query[m_at] != QLatin1Char(' ') &&
               m_query[m_at] != QLatin1Char('(') && m_query[m_at] != QLatin1Char(')') &&
               m_query[m_at] != QLatin1Char('"'))
            ++m_at;
        return m_query.mid(start, m_at - start);
    }

    std::unique_ptr<Node> term()
    {
        qsizetype end = m_query.indexOf(QLatin1Char('"'), m_at + 1);
        if (end < 0)
            end = m_query.size();
        auto node = std::make_unique<Node>();
        for (const Word& w : wordsOf(m_query.mid(m_at + 1, end - m_at - 1).toUtf8(), true)) {
            if (node->term.lexemes.size() == MaxPhraseWords || m_words == MaxQueryWords)
                break;
            node->term.lexemes.push_back(lexeme(w.folded));
            ++m_words;
        }
        m_at = end + 1;
        while (m_at < m_query.size() && m_query[m_at] == QLatin1Char('*')) {
            node->term.prefix = true;
            ++m_at;
        }
        return node;
    }

    static std::unique_ptr<Node> joined(Node::Kind kind, std::unique_ptr<Node> a,
                                        std::unique_ptr<Node> b)
    {
        auto node = std::make_unique<Node>();
        node->kind = kind;
        node->operands.push_back(std::move(a));
        node->operands.push_back(std::move(b));
        return node;
    }

    static std::unique_ptr<Node> all(Node::Kind kind, std::vector<std::unique_ptr<Node>> operands)
    {
        if (operands.size() == 1)
            return std::move(operands[0]);
        auto node = std::make_unique<Node>();
        node->kind = kind;
        node->operands = std::move(operands);
        return node;
    }

    const QString& m_query;
    qsizetype m_at = 0;
    int m_words = 0;
};

std::unique_ptr<Node> criterion(const QString& typed)
{
    const QString query = ftsQuery(typed);
    if (query.isEmpty())
        return nullptr;
    Reader reader(query);
    return reader.group();
}

// The tree as a `tsquery`; nothing for a part that can find nothing (a term without a word the
// index keeps finds nothing in the file's index either).
std::optional<QByteArray> tsquery(const Node& node)
{
    switch (node.kind) {
    case Node::Kind::Term: {
        const std::vector<QByteArray>& lexemes = node.term.lexemes;
        if (lexemes.empty())
            return std::nullopt;
        QByteArray out;
        for (size_t i = 0; i < lexemes.size(); ++i) {
            if (i > 0)
                out += " <-> ";
            out += quotedLexeme(lexemes[i]);
        }
        if (node.term.prefix)
            out += ":*";
        return lexemes.size() > 1 ? '(' + out + ')' : out;
    }
    case Node::Kind::Not: {
        const auto kept = tsquery(*node.operands[0]);
        if (!kept)
            return std::nullopt;
        const auto removed = tsquery(*node.operands[1]);
        if (!removed)
            return kept;
        return "(" + *kept + " & !" + *removed + ")";
    }
    case Node::Kind::And:
    case Node::Kind::Or: {
        const bool isAnd = node.kind == Node::Kind::And;
        QList<QByteArray> parts;
        for (const auto& operand : node.operands) {
            const auto part = tsquery(*operand);
            if (part)
                parts << *part;
            else if (isAnd)
                return std::nullopt;
        }
        if (parts.isEmpty())
            return std::nullopt;
        if (parts.size() == 1)
            return parts.first();
        return "(" + parts.join(isAnd ? " & " : " | ") + ")";
    }
    }
    return std::nullopt;
}

// The terms a page that is found holds (not those it must not hold).
void termsFound(const Node& node, std::vector<const Term*>& out)
{
    if (node.kind == Node::Kind::Term) {
        if (!node.term.lexemes.empty())
            out.push_back(&node.term);
        return;
    }
    if (node.kind == Node::Kind::Not) {
        termsFound(*node.operands[0], out);
        return;
    }
    for (const auto& operand : node.operands)
        termsFound(*operand, out);
}

// Where a term stands among the words of a page: its first and last word.
struct Match
{
    size_t term = 0;
    size_t first = 0;
    size_t last = 0;
};

std::vector<Match> matches(const std::vector<Word>& words, const std::vector<const Term*>& terms)
{
    std::vector<QByteArray> kept;
    kept.reserve(words.size());
    for (const Word& w : words)
        kept.push_back(lexeme(w.folded));
    std::vector<Match> out;
    for (size_t t = 0; t < terms.size(); ++t) {
        const Term& term = *terms[t];
        const size_t n = term.lexemes.size();
        for (size_t i = 0; i + n <= kept.size(); ++i) {
            bool same = true;
            for (size_t k = 0; k < n && same; ++k) {
                same = term.prefix && k + 1 == n ? kept[i + k].startsWith(term.lexemes[k])
                                                 : kept[i + k] == term.lexemes[k];
            }
            if (same)
                out.push_back({t, i, i + n - 1});
        }
    }
    std::sort(out.begin(), out.end(),
              [](const Match& a, const Match& b) { return a.first < b.first; });
    return out;
}

// The first word of the passage: the run of words that holds the most different terms (then the
// most matches), the matches in its middle.
size_t passageStart(const std::vector<Match>& found, size_t words)
{
    size_t best = 0;
    qint64 bestScore = -1;
    for (const Match& anchor : found) {
        const size_t end = anchor.first + PassageWords;
        std::vector<bool> seen;
        qint64 score = 0;
        size_t lastWord = anchor.last;
        for (const Match& m : found) {
            if (m.first < anchor.first || m.last >= end)
                continue;
            if (seen.size() <= m.term)
                seen.resize(m.term + 1);
            score += seen[m.term] ? 1 : 1000;
            seen[m.term] = true;
            lastWord = std::max(lastWord, m.last);
        }
        if (score > bestScore) {
            bestScore = score;
            const size_t slack = PassageWords - std::min(PassageWords, lastWord - anchor.first + 1);
            best = anchor.first - std::min(anchor.first, slack / 2);
        }
    }
    return std::min(best, words > PassageWords ? words - PassageWords : size_t(0));
}

} // namespace

std::vector<Word> wordsOf(const QByteArray& utf8, bool query)
{
    thread_local Tokenizer tokenizer;
    return tokenizer.words(utf8, query);
}

QString serverPageText(const QString& text)
{
    QString out = text;
    out.replace(QChar(0), QLatin1Char(' '));
    return out;
}

QString tsvectorText(const QString& text, qsizetype* length)
{
    // Each word with its place, sorted by word (a stable sort keeps each word's places in order).
    const std::vector<Word> words = wordsOf(text.toUtf8());
    if (length)
        *length = static_cast<qsizetype>(words.size());
    struct Found
    {
        QByteArrayView lexeme;
        int place;
    };
    std::vector<Found> found;
    found.reserve(words.size());
    int place = 0;
    for (const Word& w : words) {
        place = std::min(place + 1, MaxPlace);
        found.push_back({QByteArrayView(w.folded).first(lexeme(w.folded).size()), place});
    }
    std::stable_sort(found.begin(), found.end(),
                     [](const Found& a, const Found& b) { return a.lexeme < b.lexeme; });
    // Each word once: where its places begin in `found`, how many are kept, what it costs.
    struct Entry
    {
        size_t first;
        size_t places;
        qsizetype cost;
    };
    std::vector<Entry> entries;
    qsizetype total = 0;
    for (size_t i = 0; i < found.size();) {
        Entry e{i, 0, 0};
        int last = 0;
        for (; i < found.size() && found[i].lexeme == found[e.first].lexeme; ++i) {
            if (e.places < MaxPlaces && found[i].place != last)
                ++e.places;
            last = found[i].place;
        }
        e.cost = found[e.first].lexeme.size() + 4 + 2 * static_cast<qsizetype>(e.places);
        total += e.cost;
        entries.push_back(e);
    }
    if (total > MaxVectorBytes) {
        // Too many for one value: the words that come first on the page are kept.
        std::vector<Entry> byPlace = entries;
        std::sort(byPlace.begin(), byPlace.end(), [&found](const Entry& a, const Entry& b) {
            return found[a.first].place < found[b.first].place;
        });
        qsizetype used = 0;
        size_t kept = 0;
        while (kept < byPlace.size() && used + byPlace[kept].cost <= MaxVectorBytes)
            used += byPlace[kept++].cost;
        byPlace.resize(kept);
        std::sort(byPlace.begin(), byPlace.end(),
                  [](const Entry& a, const Entry& b) { return a.first < b.first; });
        entries = std::move(byPlace);
    }
    QByteArray out;
    out.reserve(std::min(total, MaxVectorBytes) * 2);
    for (const Entry& e : entries) {
        if (!out.isEmpty())
            out += ' ';
        out += quotedLexeme(found[e.first].lexeme);
        int last = 0;
        size_t written = 0;
        for (size_t i = e.first; written < e.places; ++i) {
            if (found[i].place == last)
                continue;
            last = found[i].place;
            out += (written++ == 0 ? ':' : ',');
            out += QByteArray::number(last);
        }
    }
    return QString::fromUtf8(out);
}

QString tsqueryText(const QString& typed)
{
    const std::unique_ptr<Node> tree = criterion(typed);
    if (!tree)
        return {};
    return QString::fromUtf8(tsquery(*tree).value_or(QByteArray()));
}

QString markedPassage(const QString& text, const QString& typed)
{
    const std::unique_ptr<Node> tree = criterion(typed);
    if (!tree)
        return {};
    std::vector<const Term*> terms;
    termsFound(*tree, terms);
    const QByteArray utf8 = text.toUtf8();
    const std::vector<Word> words = wordsOf(utf8);
    const std::vector<Match> found = matches(words, terms);
    if (found.empty())
        return {};
    const size_t first = passageStart(found, words.size());
    const size_t last = std::min(first + PassageWords, words.size()) - 1;
    // The stretches of text to mark, joined where they overlap.
    std::vector<std::pair<qsizetype, qsizetype>> marked;
    for (const Match& m : found) {
        if (m.first < first || m.last > last)
            continue;
        const qsizetype from = words[m.first].start;
        const qsizetype to = words[m.last].end;
        if (!marked.empty() && from <= marked.back().second)
            marked.back().second = std::max(marked.back().second, to);
        else
            marked.emplace_back(from, to);
    }
    const qsizetype begin = first == 0 ? 0 : words[first].start;
    const qsizetype end = last + 1 == words.size() ? utf8.size() : words[last].end;
    QString out = first == 0 ? QString() : QStringLiteral("…");
    qsizetype at = begin;
    for (const auto& [from, to] : marked) {
        out += QString::fromUtf8(utf8.mid(at, from - at)) + Mark +
               QString::fromUtf8(utf8.mid(from, to - from)) + EndMark;
        at = to;
    }
    out += QString::fromUtf8(utf8.mid(at, end - at));
    if (last + 1 < words.size())
        out += QStringLiteral("…");
    return out;
}

} // namespace quirelle::fulltext
