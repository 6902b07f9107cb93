// Translation of the program's select statements into SQLite. The grammar is the part of the
// dialect the program uses:
//   select [distinct] (* | field [as name], ...) from table [where condition]
//          [order by field [asc|desc], ...] [;]
// Conditions combine comparisons, `like`, `is [not] null`, `not`, `and`, `or` and brackets.
// Text comparisons and ordering go through the JET collation and `like` through jetlike(), so
// that letter case is ignored for every alphabet. For a server, the same rules are written with
// the functions created beside a shared project's tables: quirelle_fold (letter case folded) and
// quirelle_base (accents taken off too), compared code point by code point, and a `like` pattern
// becomes a LIKE pattern or a regular expression over the folded text, made here from the bound
// pattern.
#include "db/jetsql.h"

#include "db/connection.h"
#include "db/dberror.h"
#include "db/textrules.h"

#include <algorithm>
#include <memory>
#include <optional>
#include <vector>

namespace quirelle::db {

QString sqliteName(const QString& name)
{
    QString quoted = name;
    quoted.replace(QLatin1Char('"'), QLatin1String("\"\""));
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}

namespace {

enum class Tok { Word, Name, String, Number, Param, Symbol, End };

struct Token
{
    Tok kind;
    QString text;
    bool is(const char* word) const
    {
        return (kind == Tok::Word || kind == Tok::Symbol) &&
               text.compare(QLatin1String(word), Qt::CaseInsensitive) == 0;
    }
};

[[noreturn]] void syntaxError(const QString& query)
{
    throw DbError(err::Syntax, QStringLiteral("Syntax error in query expression '%1'.").arg(query));
}

std::vector<Token> tokenize(const QString& q)
{
    std::vector<Token> out;
    qsizetype i = 0;
    const qsizetype n = q.size();
    while (i < n) {
        const QChar c = q[i];
        if (c.isSpace()) {
            ++i;
        } else if (c == QLatin1Char('[')) {
            const qsizetype close = q.indexOf(QLatin1Char(']'), i + 1);
            if (close < 0)
                syntaxError(q);
            out.push_back({Tok::Name, q.mid(i + 1, close - i - 1)});
            i = close + 1;
        } else if (c == QLatin1Char('\'') || c == QLatin1Char('"')) {
            QString value;
            qsizetype j = i + 1;
            for (;;) {
                if (j >= n)
                    syntaxError(q);
                if (q[j] == c) {
                    if (j + 1 < n && q[j + 1] == c) {
                        value.append(c);
                        j += 2;
                        continue;
                    }
                    break;
                }
                value.append(q[j++]);
            }
            out.push_back({Tok::String, value});
            i = j + 1;
        } else if (c.isDigit() || (c == QLatin1Char('.') && i + 1 < n && q[i + 1].isDigit())) {
            qsizetype j = i;
            while (j < n && (q[j].isDigit() || q[j] == QLatin1Char('.')))
                ++j;
            out.push_back({Tok::Number, q.mid(i, j - i)});
            i = j;
        } else if (c.isLetter() || c == QLatin1Char('_')) {
            qsizetype j = i;
            while (j < n && (q[j].isLetterOrNumber() || q[j] == QLatin1Char('_')))
                ++j;
            out.push_back({Tok::Word, q.mid(i, j - i)});
            i = j;
        } else {
            static const QStringList twoChar{QStringLiteral("<>"), QStringLiteral("<="),
                                             QStringLiteral(">="), QStringLiteral("!=")};
            const QString two = q.mid(i, 2);
            if (twoChar.contains(two)) {
                out.push_back({Tok::Symbol, two});
                i += 2;
            } else if (c == QLatin1Char('?')) {
                out.push_back({Tok::Param, {}});
                ++i;
            } else if (QStringLiteral("=<>(),*;.-+").contains(c)) {
                out.push_back({Tok::Symbol, QString(c)});
                ++i;
            } else {
                syntaxError(q);
            }
        }
    }
    out.push_back({Tok::End, {}});
    return out;
}

struct Expr
{
    enum Kind { Column, Value, Number, Null, Not, Negate, And, Or, Compare, Like, IsNull };
    Kind kind = Null;
    QString text;     // number, operator, or the column's stored name
    int binding = -1; // Value: the index of its value in the bindings
    const ColumnInfo* column = nullptr;
    bool negated = false;
    int depth = 1; // levels of the tree from here down
    std::unique_ptr<Expr> left, right;
};
using ExprPtr = std::unique_ptr<Expr>;

ExprPtr makeExpr(Expr::Kind kind, const QString& text = {})
{
    auto e = std::make_unique<Expr>();
    e->kind = kind;
    e->text = text;
    return e;
}

// Brackets, `not` and `-` nest by recursion, and a chain of `and`/`or` makes the tree as deep
// as it is long; both are bounded so that no query text can exhaust the stack (the program's own
// queries stay far below this).
constexpr int maxNesting = 200;

class Parser
{
public:
    Parser(const QString& query, const TableLookup& lookup, const QVariantList& params,
           Dialect dialect)
        : m_query(query)
        , m_tokens(tokenize(query))
        , m_lookup(lookup)
        , m_params(params)
        , m_server(dialect == Dialect::PostgreSQL)
    {}

    TranslatedSelect parse();

private:
    const Token& peek() const { return m_tokens[m_pos]; }
    const Token& next() { return m_tokens[m_pos++]; }
    bool accept(const char* word)
    {
        if (peek().is(word)) {
            ++m_pos;
            return true;
        }
        return false;
    }
    void expect(const char* word)
    {
        if (!accept(word))
            syntaxError(m_query);
    }
    QString name()
    {
        const Token& t = next();
        if (t.kind != Tok::Name && t.kind != Tok::Word)
            syntaxError(m_query);
        return t.text;
    }
    const ColumnInfo& column(const QString& field) const
    {
        const int i = m_table->indexOf(field);
        if (i < 0) {
            throw DbError(err::UnknownField,
                          QStringLiteral("The field name '%1' is not a field of the table '%2'.")
                              .arg(field, m_table->name));
        }
        return m_table->columns[static_cast<size_t>(i)];
    }
    // A field reference, optionally qualified by the table's name.
    const ColumnInfo& fieldReference()
    {
        QString field = name();
        if (accept(".")) {
            if (field.compare(m_table->name, Qt::CaseInsensitive) != 0)
                syntaxError(m_query);
            field = name();
        }
        return column(field);
    }

    // Counts one level of the parser's recursion for as long as it lives.
    class Nesting
    {
    public:
        explicit Nesting(Parser& parser) : m_parser(parser)
        {
            if (++m_parser.m_nesting > maxNesting)
                m_parser.tooDeep();
        }
        ~Nesting() { --m_parser.m_nesting; }
        Nesting(const Nesting&) = delete;
        Nesting& operator=(const Nesting&) = delete;

    private:
        Parser& m_parser;
    };
    [[noreturn]] void tooDeep() const
    {
        throw DbError(
            err::Syntax,
            QStringLiteral("Expression nested too deeply in query expression '%1'.").arg(m_query));
    }
    // A node over `left` (and `right`), refused when the tree would grow too deep.
    ExprPtr node(Expr::Kind kind, ExprPtr left, ExprPtr right = {}, const QString& text = {}) const
    {
        auto e = makeExpr(kind, text);
        e->depth = 1 + std::max(left->depth, right ? right->depth : 0);
        if (e->depth > maxNesting)
            tooDeep();
        e->left = std::move(left);
        e->right = std::move(right);
        return e;
    }

    ExprPtr orExpr();
    ExprPtr andExpr();
    ExprPtr notExpr();
    ExprPtr predicate();
    ExprPtr operand();
    ExprPtr value(const QVariant& v);
    bool caselessValue(const Expr& e) const;

    QString toSql(const Expr& e) const;
    QString serverCompare(const Expr& e) const;
    QString serverLike(const Expr& e) const;
    QString orderItems(const ColumnInfo& c, const QString& sql, bool descending) const;
    QString serverDistinct(const std::vector<std::pair<const ColumnInfo*, QString>>& values,
                           const QString& fromWhere, const QStringList& order,
                           const QStringList& orderFields) const;

    QString m_query;
    std::vector<Token> m_tokens;
    size_t m_pos = 0;
    const TableLookup& m_lookup;
    const QVariantList& m_params;
    bool m_server; // PostgreSQL's SQL, else SQLite's
    int m_nextParam = 0;
    int m_nesting = 0;
    mutable std::vector<QVariant> m_bindings; // a server's `like` writes its pattern anew
    const TableInfo* m_table = nullptr;
};

bool isKeyword(const Token& t)
{
    static const char* words[] = {"from", "where", "order", "and",    "or",
                                  "not",  "like",  "is",    "as",     "asc",
                                  "desc", "by",    "null",  "select", "distinct"};
    for (const char* w : words) {
        if (t.kind == Tok::Word && t.is(w))
            return true;
    }
    return false;
}

TranslatedSelect Parser::parse()
{
    TranslatedSelect out;
    expect("select");
    const bool distinct = accept("distinct");
    if (!distinct)
        accept("all");

    // The select list names fields of a table that comes later, so read it first as names.
    bool star = false;
    struct Selected
    {
        QString field, alias;
    };
    std::vector<Selected> selected;
    if (accept("*")) {
        star = true;
    } else {
        do {
            Selected s;
            s.field = name();
            if (accept(".")) {
                // table.field: the qualifier is checked once the table is known
                s.alias = s.field;
                s.field = name();
                s.alias = QStringLiteral("\x01") + s.alias; // marks the qualifier
            }
            if (accept("as"))
                s.alias = name();
            selected.push_back(s);
        } while (accept(","));
    }

    expect("from");
    m_table = &m_lookup(name());
    out.table = m_table->name;
    const QString from = QStringLiteral(" FROM ") + sqliteName(m_table->name);

    QString where;
    if (accept("where"))
        where = QStringLiteral(" WHERE ") + toSql(*orExpr());

    QStringList order;
    QStringList orderFields;
    if (accept("order")) {
        expect("by");
        do {
            const ColumnInfo& c = fieldReference();
            const bool descending = accept("desc");
            if (!descending)
                accept("asc");
            order << orderItems(c, sqliteName(c.name), descending);
            orderFields << c.name;
        } while (accept(","));
    }
    accept(";");
    if (peek().kind != Tok::End)
        syntaxError(m_query);
    if (m_nextParam != m_params.size())
        throw DbError(err::Syntax,
                      QStringLiteral("Too many parameters for query '%1'.").arg(m_query));
    out.bindings = std::move(m_bindings);

    out.updatable = star && !distinct;
    if (out.updatable) {
        order << m_table->rowKey;
        out.countSql = QStringLiteral("SELECT count(*)") + from + where;
        out.filtered = !where.isEmpty();
        out.existsSql = QStringLiteral("SELECT 1") + from + where + QStringLiteral(" LIMIT 1");
        out.rowsSql =
            from + where + QStringLiteral(" ORDER BY ") + order.join(QStringLiteral(", "));
        out.sql = QStringLiteral("SELECT ") + m_table->rowKey + out.rowsSql;
        return out;
    }

    // The values selected, each as the field it comes from and the name it is shown by.
    std::vector<std::pair<const ColumnInfo*, QString>> values;
    if (star) {
        for (const ColumnInfo& c : m_table->columns)
            values.emplace_back(&c, c.name);
    } else {
        for (Selected& s : selected) {
            if (s.alias.startsWith(QLatin1Char('\x01'))) {
                if (s.alias.mid(1).compare(m_table->name, Qt::CaseInsensitive) != 0)
                    syntaxError(m_query);
                s.alias.clear();
            }
            const ColumnInfo& c = column(s.field);
            values.emplace_back(&c, s.alias.isEmpty() ? c.name : s.alias);
        }
    }
    for (const auto& [c, shown] : values)
        out.columns << shown;
    if (m_server && distinct) {
        out.sql = serverDistinct(values, from + where, order, orderFields);
        return out;
    }
    QStringList list;
    for (const auto& [c, shown] : values) {
        QString item = sqliteName(c->name);
        if (c->isText() && !m_server)
            item += QStringLiteral(" COLLATE JET");
        if (!star)
            item += QStringLiteral(" AS ") + sqliteName(shown);
        list << item;
    }
    out.sql = QStringLiteral("SELECT ") + (distinct ? QStringLiteral("DISTINCT ") : QString()) +
              list.join(QStringLiteral(", ")) + from + where;
    if (!order.isEmpty())
        out.sql += QStringLiteral(" ORDER BY ") + order.join(QStringLiteral(", "));
    return out;
}

QString Parser::orderItems(const ColumnInfo& c, const QString& sql, bool descending) const
{
    const QString direction = descending ? QStringLiteral(" DESC") : QString();
    if (!m_server)
        return sql + (c.isText() ? QStringLiteral(" COLLATE JET") : QString()) + direction;
    // Nulls first, as in a file.
    const QString nulls =
        descending ? QStringLiteral(" NULLS LAST") : QStringLiteral(" NULLS FIRST");
    if (!c.isText())
        return sql + direction + nulls;
    return QStringLiteral("quirelle_base(%1) COLLATE \"C\"%2%3, quirelle_fold(%1) COLLATE "
                          "\"C\"%2%3")
        .arg(sql, direction, nulls);
}

// `select distinct` on a server: rows that differ only in letter case are one, as in a file.
// One of them is shown; the ordering then applies to the values shown.
QString Parser::serverDistinct(const std::vector<std::pair<const ColumnInfo*, QString>>& values,
                               const QString& fromWhere, const QStringList& order,
                               const QStringList& orderFields) const
{
    QStringList list, groups;
    for (const auto& [c, shown] : values) {
        const QString field = sqliteName(c->name);
        if (c->isText()) {
            list << QStringLiteral("min(%1 COLLATE \"C\") AS %2").arg(field, sqliteName(shown));
            groups << QStringLiteral("quirelle_fold(%1)").arg(field);
        } else {
            list << field + QStringLiteral(" AS ") + sqliteName(shown);
            groups << field;
        }
    }
    QString sql = QStringLiteral("SELECT ") + list.join(QStringLiteral(", ")) + fromWhere +
                  QStringLiteral(" GROUP BY ") + groups.join(QStringLiteral(", "));
    if (order.isEmpty())
        return sql;
    QStringList outer;
    for (qsizetype i = 0; i < orderFields.size(); ++i) {
        const auto it = std::find_if(values.begin(), values.end(), [&](const auto& v) {
            return v.first->name.compare(orderFields[i], Qt::CaseInsensitive) == 0;
        });
        if (it == values.end())
            throw DbError(err::Syntax,
                          QStringLiteral("ORDER BY clause conflicts with DISTINCT in query "
                                         "expression '%1'.")
                              .arg(m_query));
        const bool descending = order[i].contains(QLatin1String(" DESC"));
        outer << orderItems(*it->first, QStringLiteral("q.") + sqliteName(it->second), descending);
    }
    return QStringLiteral("SELECT * FROM (") + sql + QStringLiteral(") q ORDER BY ") +
           outer.join(QStringLiteral(", "));
}

ExprPtr Parser::orExpr()
{
    const Nesting level(*this);
    ExprPtr left = andExpr();
    while (accept("or")) {
        ExprPtr right = andExpr();
        left = node(Expr::Or, std::move(left), std::move(right));
    }
    return left;
}

ExprPtr Parser::andExpr()
{
    ExprPtr left = notExpr();
    while (accept("and")) {
        ExprPtr right = notExpr();
        left = node(Expr::And, std::move(left), std::move(right));
    }
    return left;
}

ExprPtr Parser::notExpr()
{
    if (accept("not")) {
        const Nesting level(*this);
        return node(Expr::Not, notExpr());
    }
    return predicate();
}

ExprPtr Parser::predicate()
{
    ExprPtr left = operand();
    const Token& t = peek();
    if (t.kind == Tok::Symbol && (t.text == QLatin1String("=") || t.text == QLatin1String("<>") ||
                                  t.text == QLatin1String("!=") || t.text == QLatin1String("<") ||
                                  t.text == QLatin1String(">") || t.text == QLatin1String("<=") ||
                                  t.text == QLatin1String(">="))) {
        QString op = next().text;
        if (op == QLatin1String("!="))
            op = QStringLiteral("<>");
        ExprPtr right = operand();
        return node(Expr::Compare, std::move(left), std::move(right), op);
    }
    const bool negated = accept("not");
    if (accept("like")) {
        ExprPtr right = operand();
        auto e = node(Expr::Like, std::move(left), std::move(right));
        e->negated = negated;
        return e;
    }
    if (negated)
        syntaxError(m_query);
    if (accept("is")) {
        const bool notNull = accept("not");
        expect("null");
        auto e = node(Expr::IsNull, std::move(left));
        e->negated = notNull;
        return e;
    }
    return left;
}

ExprPtr Parser::operand()
{
    const Token& t = peek();
    if (t.is("(")) {
        next();
        ExprPtr inner = orExpr();
        expect(")");
        return inner;
    }
    if (t.is("-")) {
        next();
        const Nesting level(*this);
        return node(Expr::Negate, operand());
    }
    if (t.kind == Tok::String)
        return value(next().text);
    if (t.kind == Tok::Param) {
        next();
        if (m_nextParam >= m_params.size())
            throw DbError(err::Syntax,
                          QStringLiteral("Too few parameters in query '%1'.").arg(m_query));
        return value(m_params[m_nextParam++]);
    }
    if (t.kind == Tok::Number)
        return makeExpr(Expr::Number, next().text);
    if (t.kind == Tok::Word && t.is("null")) {
        next();
        return makeExpr(Expr::Null);
    }
    if (t.kind == Tok::Name || (t.kind == Tok::Word && !isKeyword(t))) {
        const ColumnInfo& c = fieldReference();
        auto e = makeExpr(Expr::Column, c.name);
        e->column = &c;
        return e;
    }
    syntaxError(m_query);
}

ExprPtr Parser::value(const QVariant& v)
{
    auto e = makeExpr(Expr::Value);
    e->binding = static_cast<int>(m_bindings.size());
    m_bindings.push_back(v);
    return e;
}

// A value with no letters compares the same with or without regard to case.
bool Parser::caselessValue(const Expr& x) const
{
    if (x.kind == Expr::Number)
        return true;
    if (x.kind != Expr::Value)
        return false;
    const QVariant& v = m_bindings[static_cast<size_t>(x.binding)];
    return v.typeId() != QMetaType::QString || text::isCaseless(v.toString());
}

bool isTextColumn(const Expr& e)
{
    return e.kind == Expr::Column && e.column->isText();
}

QString Parser::toSql(const Expr& e) const
{
    switch (e.kind) {
    case Expr::Column:
        return sqliteName(e.text);
    case Expr::Value:
        return QStringLiteral("?%1").arg(e.binding + 1);
    case Expr::Number:
        return e.text;
    case Expr::Null:
        return QStringLiteral("NULL");
    case Expr::Not:
        return QStringLiteral("NOT (") + toSql(*e.left) + QLatin1Char(')');
    case Expr::Negate:
        return QStringLiteral("-(") + toSql(*e.left) + QLatin1Char(')');
    case Expr::And:
    case Expr::Or:
        return QLatin1Char('(') + toSql(*e.left) +
               (e.kind == Expr::And ? QStringLiteral(" AND ") : QStringLiteral(" OR ")) +
               toSql(*e.right) + QLatin1Char(')');
    case Expr::IsNull:
        return QLatin1Char('(') + toSql(*e.left) +
               (e.negated ? QStringLiteral(" IS NOT NULL)") : QStringLiteral(" IS NULL)"));
    case Expr::Like:
        if (m_server)
            return serverLike(e);
        return (e.negated ? QStringLiteral("NOT jetlike(") : QStringLiteral("jetlike(")) +
               toSql(*e.left) + QStringLiteral(", ") + toSql(*e.right) + QLatin1Char(')');
    case Expr::Compare: {
        if (m_server)
            return serverCompare(e);
        QString sql = QLatin1Char('(') + toSql(*e.left) + QLatin1Char(' ') + e.text +
                      QLatin1Char(' ') + toSql(*e.right);
        // Text is compared without regard to case. A value with no letters compares the same
        // either way, and comparing it plainly lets SQLite use the field's index.
        const bool text = isTextColumn(*e.left) || isTextColumn(*e.right);
        const bool equality = e.text == QLatin1String("=") || e.text == QLatin1String("<>");
        if (text && !(equality && (caselessValue(*e.left) || caselessValue(*e.right))))
            sql += QStringLiteral(" COLLATE JET");
        return sql + QLatin1Char(')');
    }
    }
    return {};
}

// A comparison on a server. Text is compared by its folded letters: equal when only letter case
// differs; else ordered by the base letters and then by the folded text. Values are compared as
// a file compares them with a field of that type: a number with a text field as text, and text
// that is no number with a number field as text.
QString Parser::serverCompare(const Expr& e) const
{
    const Expr* sides[] = {e.left.get(), e.right.get()};
    const bool text = isTextColumn(*sides[0]) || isTextColumn(*sides[1]);
    const bool number = (sides[0]->kind == Expr::Column && !sides[0]->column->isText()) ||
                        (sides[1]->kind == Expr::Column && !sides[1]->column->isText());
    const auto side = [&](const Expr& x) {
        if (text && x.kind == Expr::Number)
            return QLatin1Char('\'') + x.text + QLatin1Char('\'');
        if (text && x.kind == Expr::Column && !x.column->isText())
            return QStringLiteral("CAST(%1 AS text)").arg(toSql(x));
        if (x.kind == Expr::Value)
            return QStringLiteral("CAST(%1 AS %2)")
                .arg(toSql(x), text || !number ? QStringLiteral("text") : QStringLiteral("bigint"));
        return toSql(x);
    };
    const auto isNumberText = [this](const Expr& x) {
        if (x.kind != Expr::Value)
            return true;
        const QVariant& v = m_bindings[static_cast<size_t>(x.binding)];
        bool ok = true;
        if (!v.isNull() && v.typeId() == QMetaType::QString)
            v.toString().trimmed().toLongLong(&ok);
        return ok;
    };
    QString left = side(*sides[0]);
    QString right = side(*sides[1]);
    if (!text && number && (!isNumberText(*sides[0]) || !isNumberText(*sides[1]))) {
        // No number equals such text.
        left = toSql(*sides[0]) + QStringLiteral("::text");
        right = toSql(*sides[1]) + QStringLiteral("::text");
    }
    const bool equality = e.text == QLatin1String("=") || e.text == QLatin1String("<>");
    if (!text || (equality && (caselessValue(*sides[0]) || caselessValue(*sides[1]))))
        return QStringLiteral("(%1 %2 %3)").arg(left, e.text, right);
    if (equality)
        return QStringLiteral("(quirelle_fold(%1) %2 quirelle_fold(%3))").arg(left, e.text, right);
    return QStringLiteral("((quirelle_base(%1) COLLATE \"C\", quirelle_fold(%1) COLLATE \"C\") %2 "
                          "(quirelle_base(%3), quirelle_fold(%3)))")
        .arg(left, e.text, right);
}

// `like` on a server: the pattern, a value bound to the query, becomes a regular expression
// matched against the folded text. Only a value can be a pattern there.
QString Parser::serverLike(const Expr& e) const
{
    const Expr& pattern = *e.right;
    if (pattern.kind != Expr::Value)
        throw DbError(err::Syntax,
                      QStringLiteral("A shared project takes only a text as the pattern of "
                                     "'like' in query expression '%1'.")
                          .arg(m_query));
    // A pattern of plain characters and `*`, `?` (what a search builds from typed text) is
    // matched by LIKE, which costs the server less than a regular expression.
    QVariant& v = m_bindings[static_cast<size_t>(pattern.binding)];
    QString op = QStringLiteral("~");
    if (!v.isNull()) {
        const text::LikePattern like(v.toString());
        if (const std::optional<QString> plain = like.serverLike()) {
            v = *plain;
            op = QStringLiteral("LIKE");
        } else {
            v = like.regularExpression();
        }
    }
    QString subject = toSql(*e.left);
    if (e.left->kind != Expr::Column || !e.left->column->isText())
        subject = QStringLiteral("CAST(%1 AS text)").arg(subject);
    // A field whose folded text the server keeps is matched without folding every row again.
    const bool kept = e.left->kind == Expr::Column && !e.left->column->folded.isEmpty();
    subject = kept ? sqliteName(e.left->column->folded)
                   : QStringLiteral("quirelle_fold(%1)").arg(subject);
    return QStringLiteral("%1(%2 %3 CAST(%4 AS text))")
        .arg(e.negated ? QStringLiteral("NOT ") : QString(), subject, op, toSql(pattern));
}

} // namespace

TranslatedSelect translateSelect(const QString& query, const TableLookup& lookup,
                                 const QVariantList& params)
{
    return translateSelect(query, lookup, params, Dialect::SQLite);
}

TranslatedSelect translateSelect(const QString& query, const TableLookup& lookup,
                                 const QVariantList& params, Dialect dialect)
{
    Parser parser(query, lookup, params, dialect);
    return parser.parse();
}

} // namespace quirelle::db
