// Reading and writing CSL-JSON.
#include "interchange/data/csljson.h"

#include "interchange/data/bibtex.h"
#include "interchange/data/mapping.h"

#include <QHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>
#include <QLocale>
#include <QRegularExpression>
#include <QSet>
#include <QStringEncoder>

#include <cmath>
#include <memory>

namespace quirelle::interchange::csljson {

namespace {

// BibLaTeX field and CSL variable of the same meaning. The container title and the number
// depend on the item type and are handled apart.
const std::vector<std::pair<QString, QString>>& variableTable()
{
    static const std::vector<std::pair<QString, QString>> table = [] {
        const char* const rows[][2] = {{"title", "title"},
                                       {"shorttitle", "title-short"},
                                       {"shortjournal", "container-title-short"},
                                       {"series", "collection-title"},
                                       {"volume", "volume"},
                                       {"pages", "page"},
                                       {"publisher", "publisher"},
                                       {"address", "publisher-place"},
                                       {"edition", "edition"},
                                       {"doi", "DOI"},
                                       {"url", "URL"},
                                       {"isbn", "ISBN"},
                                       {"issn", "ISSN"},
                                       {"note", "note"},
                                       {"language", "language"},
                                       {"abstract", "abstract"},
                                       {"keywords", "keyword"},
                                       {"type", "genre"},
                                       {"eventtitle", "event-title"},
                                       {"venue", "event-place"},
                                       {"pubstate", "status"},
                                       {"annotation", "annote"},
                                       {"pagetotal", "number-of-pages"},
                                       {"volumes", "number-of-volumes"},
                                       {"chapter", "chapter-number"},
                                       {"version", "version"},
                                       {"translator", "translator"}};
        std::vector<std::pair<QString, QString>> t;
        for (const auto& r : rows)
            t.emplace_back(QString::fromLatin1(r[0]), QString::fromLatin1(r[1]));
        return t;
    }();
    return table;
}

// Variables that hold names, and those that hold dates.
const char* const NameVariables[] = {"author",
                                     "chair",
                                     "collection-editor",
                                     "compiler",
                                     "composer",
                                     "container-author",
                                     "contributor",
                                     "curator",
                                     "director",
                                     "editor",
                                     "editorial-director",
                                     "editor-translator",
                                     "executive-producer",
                                     "guest",
                                     "host",
                                     "illustrator",
                                     "interviewer",
                                     "narrator",
                                     "organizer",
                                     "original-author",
                                     "performer",
                                     "producer",
                                     "recipient",
                                     "reviewed-author",
                                     "script-writer",
                                     "series-creator",
                                     "translator"};

bool isNameVariable(const QString& v)
{
    static const QSet<QString> names = [] {
        QSet<QString> s;
        for (const char* n : NameVariables)
            s.insert(QString::fromLatin1(n));
        return s;
    }();
    return names.contains(v);
}

bool isDateVariable(const QString& v)
{
    return v == u"accessed" || v == u"available-date" || v == u"event-date" || v == u"issued" ||
           v == u"original-date" || v == u"submitted";
}

// The BibLaTeX field of a CSL date other than the date of issue, or "".
QString dateField(QStringView variable)
{
    if (variable == u"accessed")
        return QStringLiteral("urldate");
    if (variable == u"original-date")
        return QStringLiteral("origdate");
    if (variable == u"event-date")
        return QStringLiteral("eventdate");
    return {};
}

// The CSL date variable of a BibLaTeX date field other than the date, or "".
QString dateVariable(QStringView field)
{
    if (field == u"urldate")
        return QStringLiteral("accessed");
    if (field == u"origdate")
        return QStringLiteral("original-date");
    if (field == u"eventdate")
        return QStringLiteral("event-date");
    return {};
}

// Every other variable CSL defines, by its lower-case name, with its own spelling.
const QHash<QString, QString>& otherVariables()
{
    static const QHash<QString, QString> vars = [] {
        QHash<QString, QString> h;
        for (const char* v : {"archive",
                              "archive_collection",
                              "archive_location",
                              "archive-place",
                              "authority",
                              "call-number",
                              "citation-label",
                              "collection-number",
                              "dimensions",
                              "division",
                              "event",
                              "jurisdiction",
                              "license",
                              "medium",
                              "original-publisher",
                              "original-publisher-place",
                              "original-title",
                              "part-number",
                              "part-title",
                              "PMCID",
                              "printing-number",
                              "references",
                              "reviewed-genre",
                              "reviewed-title",
                              "scale",
                              "section",
                              "source",
                              "supplement-number",
                              "volume-title",
                              "volume-title-short",
                              "year-suffix",
                              "available-date",
                              "event-date",
                              "original-date",
                              "submitted"}) {
            const QString name = QString::fromLatin1(v);
            h.insert(name.toLower(), name);
        }
        // The name variables too, but those read and written on their own.
        for (const char* v : NameVariables) {
            const QString name = QString::fromLatin1(v);
            if (name != u"author" && name != u"editor" && name != u"translator")
                h.insert(name.toLower(), name);
        }
        return h;
    }();
    return vars;
}

bool isArticleType(const QString& type)
{
    return type == u"article" || type == u"periodical";
}

// Books and their parts: their number is the book's number in its series.
bool isBookType(const QString& type)
{
    static const QSet<QString> types{
        QStringLiteral("book"),           QStringLiteral("mvbook"),
        QStringLiteral("inbook"),         QStringLiteral("bookinbook"),
        QStringLiteral("suppbook"),       QStringLiteral("collection"),
        QStringLiteral("mvcollection"),   QStringLiteral("incollection"),
        QStringLiteral("suppcollection"), QStringLiteral("proceedings"),
        QStringLiteral("mvproceedings"),  QStringLiteral("inproceedings"),
        QStringLiteral("reference"),      QStringLiteral("mvreference"),
        QStringLiteral("inreference")};
    return types.contains(type);
}

// The words BibLaTeX prints for the keys its type and series fields may hold (a thesis's, a
// report's or a patent's kind; a journal's new series); another text is its own.
QString keyText(const QString& type)
{
    static const QHash<QString, QString> words = [] {
        QHash<QString, QString> h;
        const char* const rows[][2] = {{"phdthesis", "PhD thesis"},
                                       {"mathesis", "Master's thesis"},
                                       {"candthesis", "Candidate thesis"},
                                       {"techreport", "technical report"},
                                       {"resreport", "research report"},
                                       {"software", "computer software"},
                                       {"datacd", "data CD"},
                                       {"audiocd", "audio CD"},
                                       {"patent", "patent"},
                                       {"patentde", "German patent"},
                                       {"patenteu", "European patent"},
                                       {"patentfr", "French patent"},
                                       {"patentuk", "British patent"},
                                       {"patentus", "U.S. patent"},
                                       {"patreq", "patent request"},
                                       {"patreqde", "German patent request"},
                                       {"patreqeu", "European patent request"},
                                       {"patreqfr", "French patent request"},
                                       {"patrequk", "British patent request"},
                                       {"patrequs", "U.S. patent request"},
                                       {"newseries", "new series"},
                                       {"oldseries", "old series"}};
        for (const auto& r : rows)
            h.insert(QString::fromLatin1(r[0]), QString::fromLatin1(r[1]));
        return h;
    }();
    return words.value(type.trimmed().toLower(), type);
}

QString jsonText(const QJsonValue& v)
{
    if (v.isString())
        return v.toString().trimmed();
    if (v.isDouble()) {
        // Whole numbers as integers while they fit one (2^63 does not); others as written.
        const double d = v.toDouble();
        constexpr double IntegerRange = 9223372036854775808.0; // 2^63
        if (d > -IntegerRange && d < IntegerRange && d == std::trunc(d))
            return QString::number(static_cast<qint64>(d));
        return QString::number(d, 'g', QLocale::FloatingPointShortest);
    }
    if (v.isBool())
        return v.toBool() ? QStringLiteral("true") : QStringLiteral("false");
    if (v.isArray()) {
        QStringList parts;
        for (const QJsonValue& e : v.toArray())
            parts << jsonText(e);
        parts.removeAll(QString());
        return parts.join(QStringLiteral(", "));
    }
    return {};
}

PersonName personOf(const QJsonObject& o)
{
    PersonName n;
    // White space inside a name part is one blank, and none at its ends.
    if (o.contains(QStringLiteral("literal"))) {
        n.family = jsonText(o.value(QStringLiteral("literal"))).simplified();
        return n;
    }
    QStringList family;
    for (const char* part : {"dropping-particle", "non-dropping-particle", "family"}) {
        const QString p = jsonText(o.value(QLatin1String(part))).simplified();
        if (!p.isEmpty())
            family << p;
    }
    n.family = family.join(QLatin1Char(' '));
    n.given = jsonText(o.value(QStringLiteral("given"))).simplified();
    n.suffix = jsonText(o.value(QStringLiteral("suffix"))).simplified();
    return n;
}

std::vector<PersonName> peopleOf(const QJsonValue& v)
{
    std::vector<PersonName> people;
    for (const QJsonValue& e : v.toArray()) {
        PersonName n = personOf(e.toObject());
        if (!n.family.isEmpty() || !n.given.isEmpty())
            people.push_back(std::move(n));
    }
    return people;
}

// One end of a CSL date: CSL counts 1 BCE as -1, ISO 8601 as 0. Months 13 to 16 and 21 to 24
// are seasons, as citation processors write them.
std::optional<DateEnd> dateEndOf(const QJsonArray& parts)
{
    DateEnd d;
    int* const fields[] = {&d.year, &d.month, &d.day};
    for (int i = 0; i < parts.size() && i < 3; ++i) {
        bool ok = false;
        const int n = jsonText(parts[i]).toInt(&ok);
        if (!ok) {
            if (i == 0)
                return std::nullopt;
            break;
        }
        *fields[i] = n;
    }
    if (parts.isEmpty() || (d.year == 0 && d.month == 0))
        return std::nullopt;
    if (d.year < 0)
        ++d.year;
    if (d.month >= 13 && d.month <= 16)
        d.month += 8;
    if (d.month >= 21)
        d.day = 0;
    if (d.month < 0 || (d.month > 12 && d.month < 21) || d.month > 24)
        d.month = d.day = 0;
    return d;
}

bool truthy(const QJsonValue& v)
{
    const QString t = jsonText(v).toLower();
    return !t.isEmpty() && t != u"false" && t != u"0";
}

// A CSL date: the date BibLaTeX writes (or the text, when it is not one).
struct CslDate
{
    std::optional<Date> date;
    QString text;
};

CslDate dateOf(const QJsonValue& v)
{
    const QJsonObject o = v.toObject();
    CslDate out;
    if (o.contains(QStringLiteral("date-parts"))) {
        Date d;
        std::vector<DateEnd> ends;
        for (const QJsonValue& part : o.value(QStringLiteral("date-parts")).toArray()) {
            if (const auto e = dateEndOf(part.toArray()))
                ends.push_back(*e);
        }
        if (!ends.empty() && ends.size() <= 2) {
            d.from = ends.front();
            if (ends.size() == 2 && !(ends.back() == ends.front()))
                d.to = ends.back();
            bool ok = false;
            const int season = jsonText(o.value(QStringLiteral("season"))).toInt(&ok);
            if (ok && season >= 1 && season <= 4 && d.from.month == 0 && !d.to)
                d.from.month = 20 + season;
            d.approximate = truthy(o.value(QStringLiteral("circa")));
            out.date = d;
            out.text = dateText(d);
            return out;
        }
    }
    for (const char* member : {"raw", "literal"}) {
        if (o.contains(QLatin1String(member))) {
            out.text = jsonText(o.value(QLatin1String(member)));
            break;
        }
    }
    if (v.isString() || v.isDouble())
        out.text = jsonText(v);
    out.date = parseDate(out.text);
    if (out.date)
        out.text = dateText(*out.date);
    return out;
}

// The date of issue as BibLaTeX keeps it: a year of the common era alone as the year, other
// dates as the date. A date before the common era keeps beside it the year as CSL counts it.
void readIssued(const QJsonValue& v, Reference& r)
{
    const CslDate d = dateOf(v);
    if (d.text.isEmpty())
        return;
    const bool yearAlone = d.date && !d.date->to && !d.date->approximate && d.date->from.month == 0;
    if (!d.date || (yearAlone && d.date->from.year > 0)) {
        r.setField(QStringLiteral("year"), d.date ? QString::number(d.date->from.year) : d.text);
        return;
    }
    r.setField(QStringLiteral("date"), d.text);
    if (d.date->from.year <= 0)
        r.setField(QStringLiteral("year"), QString::number(d.date->from.year - 1));
}

QString cslDateText(const QJsonValue& v)
{
    return dateOf(v).text;
}

void readCustom(const QJsonObject& custom, Reference& r)
{
    for (auto it = custom.begin(); it != custom.end(); ++it) {
        const QString name = it.key().toLower();
        if (name == u"rating") {
            r.setField(QStringLiteral("ranking"), jsonText(it.value()));
        } else if (name == u"status") {
            r.setField(QStringLiteral("readstatus"), jsonText(it.value()));
        } else if (name == u"quotations") {
            QStringList lines;
            if (it.value().isArray()) {
                for (const QJsonValue& q : it.value().toArray())
                    lines << jsonText(q);
            } else {
                lines = jsonText(it.value()).split(QLatin1Char('\n'));
            }
            for (QString& l : lines)
                l = l.simplified();
            lines.removeAll(QString());
            if (!lines.isEmpty())
                r.setField(QStringLiteral("quotations"), lines.join(QLatin1Char('\n')));
        } else if (name == u"entrytype") {
            r.type = jsonText(it.value()).toLower();
        } else if (it.value().isNull()) {
            // A variable made from another field for CSL alone.
            r.removeField(name == u"publisher-place" ? u"address" : QStringView(name));
        } else if (name == u"author" || name == u"editor") {
            // The names with "and others", which CSL cannot say.
            bool etAl = false;
            auto names = bibtex::parseNames(jsonText(it.value()), false, &etAl);
            (name == u"author" ? r.authors : r.editors) = std::move(names);
            (name == u"author" ? r.authorsEtAl : r.editorsEtAl) = etAl;
        } else {
            r.setField(name, jsonText(it.value()));
        }
    }
}

// A book rather than a part of one: a main title is the title of the whole work.
bool isWholeBook(const QString& type)
{
    return type == u"book" || type == u"mvbook" || type == u"collection" ||
           type == u"mvcollection" || type == u"proceedings" || type == u"mvproceedings";
}

Reference toReference(const QJsonObject& o, int index)
{
    Reference r;
    r.line = index + 1;
    const QString type = jsonText(o.value(QStringLiteral("type")));
    if (const auto t = typeFromCsl(type)) {
        r.type = t->type;
        if (!t->subtype.isEmpty())
            r.setField(QStringLiteral("entrysubtype"), t->subtype);
    } else {
        r.type = type.isEmpty() ? QStringLiteral("misc") : type.toLower();
    }
    r.key = jsonText(o.value(QStringLiteral("citation-key")));
    if (r.key.isEmpty())
        r.key = jsonText(o.value(QStringLiteral("id")));
    r.authors = peopleOf(o.value(QStringLiteral("author")));
    r.editors = peopleOf(o.value(QStringLiteral("editor")));

    QHash<QString, QString> byVariable;
    for (const auto& [field, variable] : variableTable())
        byVariable.insert(variable, field);
    for (auto it = o.begin(); it != o.end(); ++it) {
        const QString& variable = it.key();
        if (variable == u"type" || variable == u"id" || variable == u"citation-key" ||
            variable == u"author" || variable == u"editor" || variable == u"custom")
            continue;
        if (variable == u"issued") {
            readIssued(it.value(), r);
        } else if (const QString field = dateField(variable); !field.isEmpty()) {
            r.setField(field, cslDateText(it.value()));
        } else if (variable == u"container-title") {
            r.setField(isArticleType(r.type) ? QStringLiteral("journal")
                                             : QStringLiteral("booktitle"),
                       jsonText(it.value()));
        } else if (variable == u"issue" || variable == u"number" ||
                   (variable == u"collection-number" && !o.contains(QStringLiteral("number")) &&
                    !o.contains(QStringLiteral("issue")))) {
            // A book's number in its series is its number.
            if (!r.hasField(u"number"))
                r.setField(QStringLiteral("number"), jsonText(it.value()));
        } else if (isNameVariable(variable)) {
            const auto people = peopleOf(it.value());
            if (!people.empty())
                r.setField(byVariable.value(variable, variable.toLower()),
                           bibtex::formatNames(people, false, false));
        } else if (isDateVariable(variable)) {
            r.setField(variable.toLower(), cslDateText(it.value()));
        } else {
            const QString value = jsonText(it.value());
            if (!value.isEmpty())
                r.setField(byVariable.value(variable, variable.toLower()), value);
        }
    }
    readCustom(o.value(QStringLiteral("custom")).toObject(), r);
    // A year and a month written as one date of issue are two fields again.
    if (const auto d = parseDate(r.field(u"date"));
        d && r.hasField(u"month") && !r.hasField(u"year") && !d->to && !d->approximate &&
        d->from.day == 0 && d->from.month == monthNumber(r.field(u"month"))) {
        r.removeField(u"date");
        r.setField(QStringLiteral("year"), QString::number(d->from.year));
    }
    // A volume of a work in several volumes: CSL's title is the work's, the volume-title the
    // volume's own. (Of an article it names the special issue: kept as it is.)
    if (r.hasField(u"volume-title") && (r.hasField(u"maintitle") || isWholeBook(r.type))) {
        if (!r.hasField(u"maintitle"))
            r.setField(QStringLiteral("maintitle"), r.field(u"title"));
        r.setField(QStringLiteral("title"), r.field(u"volume-title"));
        r.removeField(u"volume-title");
    }
    // CSL has no subtitle: a title written with its subtitle after ": " is parted again.
    const QString subtitle = r.field(u"subtitle");
    const QString title = r.field(u"title");
    if (!subtitle.isEmpty() && title.endsWith(QStringLiteral(": ") + subtitle))
        r.setField(QStringLiteral("title"), title.chopped(subtitle.size() + 2));
    return r;
}

// A title with its subtitle after ": ".
QString joined(const QString& title, const QString& subtitle)
{
    return subtitle.isEmpty() ? title : title + QStringLiteral(": ") + subtitle;
}

// A JSON string.
QString jsonString(const QString& text)
{
    const auto plain = [](QChar c) {
        return c.unicode() >= 0x20 && c != QLatin1Char('"') && c != QLatin1Char('\\');
    };
    QString out;
    out.reserve(text.size() + 8);
    out += QLatin1Char('"');
    qsizetype from = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (plain(c))
            continue;
        out += QStringView(text).mid(from, i - from);
        from = i + 1;
        switch (c.unicode()) {
        case '"':
            out += QLatin1String("\\\"");
            break;
        case '\\':
            out += QLatin1String("\\\\");
            break;
        case '\n':
            out += QLatin1String("\\n");
            break;
        case '\r':
            out += QLatin1String("\\r");
            break;
        case '\t':
            out += QLatin1String("\\t");
            break;
        default:
            out += QStringLiteral("\\u%1").arg(c.unicode(), 4, 16, QLatin1Char('0'));
        }
    }
    out += QStringView(text).mid(from);
    out += QLatin1Char('"');
    return out;
}

// Appends the text as a JSON string, in UTF-8.
void appendJsonString(QByteArray& out, const QString& text)
{
    const bool plain = std::none_of(text.begin(), text.end(), [](QChar c) {
        return c.unicode() < 0x20 || c == QLatin1Char('"') || c == QLatin1Char('\\');
    });
    const QString escaped = plain ? QString() : jsonString(text);
    const QString& written = plain ? text : escaped;
    // Encoded straight into the output: a UTF-16 unit gives at most three bytes.
    const qsizetype at = out.size();
    out.resize(at + 3 * written.size() + 2);
    char* end = out.data() + at;
    if (plain)
        *end++ = '"';
    QStringEncoder encode(QStringEncoder::Utf8);
    end = encode.appendToBuffer(end, written);
    if (plain)
        *end++ = '"';
    out.truncate(end - out.constData());
}

// The members of a JSON object, written in the order of their names: text values encoded
// straight into the output, nested objects below their member.
class JsonMembers final
{
public:
    JsonMembers() { m_members.reserve(24); }

    // A member whose value is JSON already.
    void insert(const QString& name, const QString& json)
    {
        member(name) = {name, json, {}, false, nullptr};
    }
    // A member whose value is a text.
    void insertText(const QString& name, const QString& text)
    {
        member(name) = {name, {}, text, true, nullptr};
    }
    void insertObject(const QString& name, const JsonMembers& object)
    {
        Member& m = member(name);
        m = {name, {}, {}, false, nullptr};
        m.object = std::make_shared<JsonMembers>(object);
    }
    bool contains(const QString& name) const
    {
        return std::any_of(m_members.begin(), m_members.end(),
                           [&](const Member& m) { return m.name == name; });
    }
    bool isEmpty() const { return m_members.isEmpty(); }

    // Each member on a line of its own, indented by `indent` blanks.
    void write(QByteArray& out, int indent) const
    {
        QList<const Member*> sorted;
        sorted.reserve(m_members.size());
        for (const Member& m : m_members)
            sorted << &m;
        std::sort(sorted.begin(), sorted.end(),
                  [](const Member* a, const Member* b) { return a->name < b->name; });
        const QByteArray pad(indent, ' ');
        out += "{\n";
        for (qsizetype i = 0; i < sorted.size(); ++i) {
            const Member& m = *sorted[i];
            out += pad;
            appendJsonString(out, m.name);
            out += ": ";
            if (m.object)
                m.object->write(out, indent + 2);
            else if (m.isText)
                appendJsonString(out, m.text);
            else
                out += m.json.toUtf8();
            out += i + 1 < sorted.size() ? ",\n" : "\n";
        }
        out += QByteArray(std::max(0, indent - 2), ' ');
        out += '}';
    }

private:
    struct Member
    {
        QString name;
        QString json;
        QString text;
        bool isText = false;
        std::shared_ptr<JsonMembers> object;
    };

    Member& member(const QString& name)
    {
        for (Member& m : m_members) {
            if (m.name == name)
                return m;
        }
        m_members.append({name, {}, {}, false, nullptr});
        return m_members.back();
    }

    QList<Member> m_members;
};

// The particles a family name begins with ("van der" of "van der Berg", "De" of "De Geer"), and
// the rest: words in lower case, or capitalised particles of the usual ones, before a last word.
std::pair<QString, QString> particleOf(const PersonName& n)
{
    static const QSet<QString> capitalised{
        QStringLiteral("Da"),    QStringLiteral("De"),  QStringLiteral("Del"),
        QStringLiteral("Della"), QStringLiteral("Der"), QStringLiteral("Di"),
        QStringLiteral("Du"),    QStringLiteral("Dos"), QStringLiteral("Le"),
        QStringLiteral("La"),    QStringLiteral("Ten"), QStringLiteral("Ter"),
        QStringLiteral("Van"),   QStringLiteral("Von"), QStringLiteral("Den"),
        QStringLiteral("Des")};
    if (n.given.isEmpty())
        return {{}, n.family};
    const QStringList words = n.family.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    const bool lower = !words.isEmpty() && words.front()[0].isLower();
    qsizetype count = 0;
    while (count + 1 < words.size() &&
           (lower ? words[count][0].isLower() : capitalised.contains(words[count])))
        ++count;
    if (count == 0)
        return {{}, n.family};
    return {words.first(count).join(QLatin1Char(' ')), words.sliced(count).join(QLatin1Char(' '))};
}

QString peopleArray(const std::vector<PersonName>& people)
{
    // Members in the order of their names, as every object here.
    QString out;
    out.reserve(64 * static_cast<qsizetype>(people.size()) + 2);
    out += QLatin1Char('[');
    for (size_t i = 0; i < people.size(); ++i) {
        const PersonName& n = people[i];
        if (i > 0)
            out += QLatin1String(", ");
        if (n.given.isEmpty() && n.suffix.isEmpty() && n.family.contains(QLatin1Char(' '))) {
            out += QLatin1String("{\"literal\": ");
            out += jsonString(n.family);
            out += QLatin1Char('}');
            continue;
        }
        const auto [particle, family] = particleOf(n);
        // A particle in lower case is BibTeX's "von" part, dropped when the name is sorted.
        if (!particle.isEmpty() && particle[0].isLower()) {
            out += QLatin1String("{\"dropping-particle\": ");
            out += jsonString(particle);
            out += QLatin1String(", \"family\": ");
        } else {
            out += QLatin1String("{\"family\": ");
        }
        out += jsonString(family);
        if (!n.given.isEmpty()) {
            out += QLatin1String(", \"given\": ");
            out += jsonString(n.given);
        }
        if (!particle.isEmpty() && !particle[0].isLower()) {
            out += QLatin1String(", \"non-dropping-particle\": ");
            out += jsonString(particle);
        }
        if (!n.suffix.isEmpty()) {
            out += QLatin1String(", \"suffix\": ");
            out += jsonString(n.suffix);
        }
        out += QLatin1Char('}');
    }
    out += QLatin1Char(']');
    return out;
}

// A date as CSL writes one: date-parts for dates and ranges (CSL counts 1 BCE as -1), a season
// and "circa" apart; the text when it is not a date.
QString dateObject(const QString& value)
{
    const auto d = parseDate(value);
    if (!d)
        return QStringLiteral("{\"literal\": ") + jsonString(value) + QLatin1Char('}');
    int season = 0;
    const auto parts = [&](const DateEnd& e) {
        QString p = QString::number(e.year <= 0 ? e.year - 1 : e.year);
        if (e.month >= 21 && !d->to)
            season = e.month - 20;
        else if (e.month > 0)
            p += QStringLiteral(", %1").arg(e.month);
        if (e.month > 0 && e.day > 0)
            p += QStringLiteral(", %1").arg(e.day);
        return QLatin1Char('[') + p + QLatin1Char(']');
    };
    QString out = QStringLiteral("{");
    if (d->approximate)
        out += QStringLiteral("\"circa\": true, ");
    out += QStringLiteral("\"date-parts\": [") + parts(d->from);
    if (d->to)
        out += QStringLiteral(", ") + parts(*d->to);
    out += QLatin1Char(']');
    if (season)
        out += QStringLiteral(", \"season\": %1").arg(season);
    return out + QLatin1Char('}');
}

// The date of issue: the date, or the year with its month.
QString issuedObject(const Reference& r)
{
    const QString date = r.field(u"date");
    if (!date.isEmpty())
        return dateObject(date);
    const QString year = r.field(u"year");
    static const QRegularExpression number(QStringLiteral("^[+-]?\\d{1,6}$"));
    const int month = monthNumber(r.field(u"month"));
    if (month > 0 && number.match(year.trimmed()).hasMatch())
        return dateObject(dateText({{year.trimmed().toInt(), month, 0}, std::nullopt, false}));
    return year.isEmpty() ? QString() : dateObject(year);
}

const QHash<QString, QString>& variableOfField()
{
    static const QHash<QString, QString> byField = [] {
        QHash<QString, QString> h;
        for (const auto& [field, variable] : variableTable())
            h.insert(field, variable);
        return h;
    }();
    return byField;
}

} // namespace

ParseResult read(const QString& text)
{
    ParseResult result;
    QJsonParseError error{};
    const QByteArray utf8 = text.toUtf8();
    const QJsonDocument doc = QJsonDocument::fromJson(utf8, &error);
    if (error.error != QJsonParseError::NoError) {
        // The parser gives the place in UTF-8 bytes, not in characters.
        const int line = static_cast<int>(utf8.left(error.offset).count('\n')) + 1;
        result.problems.push_back(
            {line, {}, QStringLiteral("not valid JSON: %1").arg(error.errorString())});
        return result;
    }
    QJsonArray items;
    if (doc.isArray())
        items = doc.array();
    else if (doc.isObject() && doc.object().contains(QStringLiteral("type")))
        items.append(doc.object());
    for (int i = 0; i < items.size(); ++i) {
        if (!items[i].isObject()) {
            result.problems.push_back(
                {i + 1, {}, QStringLiteral("item %1 is not an object").arg(i + 1)});
            continue;
        }
        result.references.push_back(toReference(items[i].toObject(), i));
    }
    return result;
}

namespace {

// The link of an electronic print in an archive that has links for its prints; "" for others.
QString eprintLink(const Reference& r)
{
    const QString eprint = r.field(u"eprint").trimmed();
    QString archive = r.field(u"eprinttype").trimmed().toLower();
    if (archive.isEmpty())
        archive = r.field(u"archiveprefix").trimmed().toLower();
    if (eprint.isEmpty() || eprint.contains(QLatin1Char(' ')))
        return {};
    static const QHash<QString, QString> prefixes{
        {QStringLiteral("arxiv"), QStringLiteral("https://arxiv.org/abs/")},
        {QStringLiteral("jstor"), QStringLiteral("https://www.jstor.org/stable/")},
        {QStringLiteral("pubmed"), QStringLiteral("https://www.ncbi.nlm.nih.gov/pubmed/")},
        {QStringLiteral("googlebooks"), QStringLiteral("https://books.google.com?id=")},
        {QStringLiteral("hdl"), QStringLiteral("https://hdl.handle.net/")}};
    const auto prefix = prefixes.constFind(archive);
    return prefix == prefixes.constEnd() ? QString() : *prefix + eprint;
}

} // namespace

void appendItem(QByteArray& out, const Reference& r)
{
    JsonMembers o;
    const QString subtype = r.field(u"entrysubtype").toLower();
    QString type = cslType(r.type, subtype);
    JsonMembers custom;
    // A type CSL has no name for, or reads back as another, travels in "custom"; so does a
    // subtype the CSL type does not carry.
    const auto back = type.isEmpty() ? std::nullopt : typeFromCsl(type);
    const bool typeExact = back ? back->type == r.type : type == r.type;
    const bool subtypeInType = back && !back->subtype.isEmpty() && back->subtype == subtype;
    if (!typeExact)
        custom.insertText(QStringLiteral("entrytype"), r.type);
    if (type.isEmpty())
        type = QStringLiteral("document");
    o.insertText(QStringLiteral("type"), type);
    o.insertText(QStringLiteral("id"), r.key);
    if (!r.authors.empty())
        o.insert(QStringLiteral("author"), peopleArray(r.authors));
    if (!r.editors.empty())
        o.insert(QStringLiteral("editor"), peopleArray(r.editors));
    if (r.authorsEtAl)
        custom.insertText(QStringLiteral("author"), bibtex::formatNames(r.authors, true, false));
    if (r.editorsEtAl)
        custom.insertText(QStringLiteral("editor"), bibtex::formatNames(r.editors, true, false));

    const QHash<QString, QString>& byField = variableOfField();
    const bool article = isArticleType(r.type);
    const QString date = r.field(u"date");
    if (const QString issued = issuedObject(r); !issued.isEmpty())
        o.insert(QStringLiteral("issued"), issued);
    // A date before the common era without a year: the year as the date writes it goes along,
    // so that the paper's year reads back the same.
    if (const auto d = parseDate(date); d && d->from.year <= 0 && !r.hasField(u"year"))
        custom.insertText(QStringLiteral("year"), QString::number(d->from.year));
    for (const auto& [name, value] : r.fields) {
        if (name == u"date")
            continue;
        if (name == u"entrysubtype") {
            if (!subtypeInType)
                custom.insertText(name, value);
            continue;
        }
        if (name == u"year") {
            if (!date.isEmpty())
                custom.insertText(name, value);
            continue;
        }
        if (name == u"title") {
            const QString own = joined(value, r.field(u"subtitle"));
            if (r.hasField(u"maintitle") && isWholeBook(r.type)) {
                o.insertText(QStringLiteral("title"),
                             joined(r.field(u"maintitle"), r.field(u"mainsubtitle")));
                o.insertText(QStringLiteral("volume-title"), own);
            } else {
                o.insertText(QStringLiteral("title"), own);
            }
        } else if ((name == u"journal" && article) || (name == u"booktitle" && !article)) {
            o.insertText(QStringLiteral("container-title"), value);
        } else if (name == u"number") {
            o.insertText(article ? QStringLiteral("issue")
                         : isBookType(r.type) && r.hasField(u"series")
                             ? QStringLiteral("collection-number")
                             : QStringLiteral("number"),
                         value);
        } else if ((name == u"type" || name == u"series") && keyText(value) != value) {
            // The words go to CSL; the key reads back from "custom".
            o.insertText(name == u"type" ? QStringLiteral("genre")
                                         : QStringLiteral("collection-title"),
                         keyText(value));
            custom.insertText(name, value);
        } else if (const QString variable = dateVariable(name); !variable.isEmpty()) {
            o.insert(variable, dateObject(value));
        } else if (name == u"ranking") {
            custom.insertText(QStringLiteral("rating"), value);
        } else if (name == u"readstatus") {
            custom.insertText(QStringLiteral("status"), value);
        } else if (name == u"cites") {
            QStringList keys;
            for (const QString& k : value.split(QLatin1Char(','), Qt::SkipEmptyParts))
                keys << jsonString(k.trimmed());
            custom.insert(name,
                          QLatin1Char('[') + keys.join(QStringLiteral(", ")) + QLatin1Char(']'));
        } else if (const auto v = byField.constFind(name); v != byField.constEnd()) {
            if (isNameVariable(*v))
                o.insert(*v, peopleArray(bibtex::parseNames(value, false)));
            else
                o.insertText(*v, value);
        } else if (const auto other = otherVariables().constFind(name);
                   other != otherVariables().constEnd() && !o.contains(*other)) {
            if (isNameVariable(*other))
                o.insert(*other, peopleArray(bibtex::parseNames(value, false)));
            else if (isDateVariable(*other))
                o.insert(*other, dateObject(value));
            else
                o.insertText(*other, value);
        } else {
            custom.insertText(name, value);
        }
    }
    // CSL has one variable for whoever published a work: a report's institution, a thesis's
    // school, a manual's organisation, where no publisher is given; and one for the place. The
    // field keeps its own name in "custom", where a null says that the variable is not a field
    // of its own, so that the reference reads back as it was.
    const auto fillFrom = [&](const QString& variable, std::initializer_list<QStringView> fields) {
        if (o.contains(variable))
            return;
        for (const QStringView field : fields) {
            // A publication notice that is a link is no publisher.
            if (const QString value = r.field(field);
                !value.isEmpty() && !value.contains(QStringLiteral("://"))) {
                o.insertText(variable, value);
                custom.insert(variable, QStringLiteral("null"));
                return;
            }
        }
    };
    fillFrom(QStringLiteral("publisher"),
             {u"institution", u"school", u"organization", u"howpublished"});
    fillFrom(QStringLiteral("publisher-place"), {u"location"});
    // A thesis's kind is its entry type's, unless it says another.
    const QString thesis = r.type == u"phdthesis"       ? QStringLiteral("PhD thesis")
                           : r.type == u"mastersthesis" ? QStringLiteral("Master's thesis")
                                                        : QString();
    if (!thesis.isEmpty() && !o.contains(QStringLiteral("genre"))) {
        o.insertText(QStringLiteral("genre"), thesis);
        custom.insert(QStringLiteral("type"), QStringLiteral("null"));
    }
    // An electronic print of a known archive is found at its link.
    if (const QString link = eprintLink(r); !link.isEmpty() && !o.contains(QStringLiteral("URL"))) {
        o.insertText(QStringLiteral("URL"), link);
        custom.insert(QStringLiteral("URL"), QStringLiteral("null"));
    }
    if (!custom.isEmpty())
        o.insertObject(QStringLiteral("custom"), custom);
    out += "  ";
    o.write(out, 4);
}

} // namespace quirelle::interchange::csljson
