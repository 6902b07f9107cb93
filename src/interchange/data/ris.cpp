// Reading and writing RIS.
#include "interchange/data/ris.h"

#include <QRegularExpression>

namespace quirelle::interchange::ris {

namespace {

struct TagLine
{
    QString tag;
    QString value;
};

struct Record
{
    int line = 0;
    std::vector<TagLine> tags;
};

const QRegularExpression& tagPattern()
{
    static const QRegularExpression p(QStringLiteral("^([A-Z][A-Z0-9])\\s{1,2}-(?:\\s(.*))?$"));
    return p;
}

// "Last, First, Suffix"; a name without a comma is an institution's or a single name.
PersonName risName(const QString& value)
{
    const QStringList parts = value.split(QLatin1Char(','));
    PersonName n;
    n.family = parts.value(0).trimmed();
    if (parts.size() >= 2)
        n.given = parts.value(1).trimmed();
    if (parts.size() >= 3)
        n.suffix = parts.mid(2).join(QLatin1Char(',')).trimmed();
    return n;
}

// "2003", "2003///", "2003/05/01", "2003/05/01/Spring": the year alone, or an ISO date.
void readDate(const QString& value, Reference& r)
{
    static const QRegularExpression date(
        QStringLiteral("^(\\d{4})(?:[/-](\\d{0,2})(?:[/-](\\d{0,2})(?:/.*)?)?)?$"));
    const QString v = value.trimmed();
    const auto m = date.match(v);
    if (!m.hasMatch()) {
        if (!r.hasField(QStringLiteral("year")) && !v.isEmpty())
            r.setField(QStringLiteral("year"), v);
        return;
    }
    const QString month = m.captured(2), day = m.captured(3);
    if (month.isEmpty() || month.toInt() < 1 || month.toInt() > 12) {
        if (!r.hasField(QStringLiteral("year")))
            r.setField(QStringLiteral("year"), m.captured(1));
        return;
    }
    QString iso = m.captured(1) + QLatin1Char('-') + month.rightJustified(2, QLatin1Char('0'));
    if (!day.isEmpty() && day.toInt() >= 1 && day.toInt() <= 31)
        iso += QLatin1Char('-') + day.rightJustified(2, QLatin1Char('0'));
    if (!r.hasField(QStringLiteral("date")))
        r.setField(QStringLiteral("date"), iso);
}

bool isJournalType(const Reference& r)
{
    return r.type == u"article" || r.type == u"periodical";
}

bool isBookType(const Reference& r)
{
    return r.type == u"book" || r.type == u"mvbook" || r.type == u"collection" ||
           r.type == u"mvcollection" || r.type == u"inbook" || r.type == u"incollection" ||
           r.type == u"bookinbook";
}

void setOnce(Reference& r, const QString& name, const QString& value)
{
    if (!value.isEmpty() && !r.hasField(name))
        r.setField(name, value);
}

Reference toReference(const Record& record)
{
    Reference r;
    r.line = record.line;
    QStringList keywords;
    QString journal, journalFull, secondary, bookTitle, startPage, endPage;
    for (const TagLine& t : record.tags) {
        const QString& v = t.value;
        const QString& tag = t.tag;
        if (tag == u"TY") {
            const TypeInFormats type = typeFromRis(v);
            r.type = type.type;
            if (!type.subtype.isEmpty())
                r.setField(QStringLiteral("entrysubtype"), type.subtype);
        } else if (tag == u"ER") {
        } else if (v.isEmpty()) {
        } else if (tag == u"ID") {
            if (r.key.isEmpty())
                r.key = v;
        } else if (tag == u"AU" || tag == u"A1") {
            r.authors.push_back(risName(v));
        } else if (tag == u"A2" || tag == u"ED") {
            r.editors.push_back(risName(v));
        } else if (tag == u"TI" || tag == u"T1") {
            setOnce(r, QStringLiteral("title"), v);
        } else if (tag == u"JF") {
            journalFull = journalFull.isEmpty() ? v : journalFull;
        } else if (tag == u"JO") {
            journal = journal.isEmpty() ? v : journal;
        } else if (tag == u"T2") {
            secondary = secondary.isEmpty() ? v : secondary;
        } else if (tag == u"BT") {
            bookTitle = bookTitle.isEmpty() ? v : bookTitle;
        } else if (tag == u"JA" || tag == u"J2") {
            setOnce(r, QStringLiteral("shortjournal"), v);
        } else if (tag == u"T3") {
            setOnce(r, QStringLiteral("series"), v);
        } else if (tag == u"PY" || tag == u"Y1") {
            readDate(v, r);
        } else if (tag == u"DA") {
            readDate(v, r);
        } else if (tag == u"Y2") {
            setOnce(r, QStringLiteral("urldate"), v);
        } else if (tag == u"AB" || tag == u"N2") {
            setOnce(r, QStringLiteral("abstract"), v);
        } else if (tag == u"N1") {
            setOnce(r, QStringLiteral("note"), v);
        } else if (tag == u"KW") {
            keywords << v;
        } else if (tag == u"DO") {
            setOnce(r, QStringLiteral("doi"), v);
        } else if (tag == u"UR") {
            setOnce(r, QStringLiteral("url"), v);
        } else if (tag == u"L1") {
            setOnce(r, QStringLiteral("file"), v);
        } else if (tag == u"VL") {
            setOnce(r, QStringLiteral("volume"), v);
        } else if (tag == u"IS" || tag == u"CP") {
            setOnce(r, QStringLiteral("number"), v);
        } else if (tag == u"SP") {
            startPage = v;
        } else if (tag == u"EP") {
            endPage = v;
        } else if (tag == u"PB") {
            setOnce(r, QStringLiteral("publisher"), v);
        } else if (tag == u"CY" || tag == u"PP") {
            setOnce(r, QStringLiteral("address"), v);
        } else if (tag == u"SN") {
            setOnce(r, isBookType(r) ? QStringLiteral("isbn") : QStringLiteral("issn"), v);
        } else if (tag == u"ET") {
            setOnce(r, QStringLiteral("edition"), v);
        } else if (tag == u"LA") {
            setOnce(r, QStringLiteral("language"), v);
        } else {
            setOnce(r, tag.toLower(), v);
        }
    }
    if (!r.hasField(QStringLiteral("title")) && !bookTitle.isEmpty() && isBookType(r)) {
        r.setField(QStringLiteral("title"), bookTitle);
        bookTitle.clear();
    }
    if (isJournalType(r)) {
        const QString name = !journalFull.isEmpty() ? journalFull
                             : !journal.isEmpty()   ? journal
                                                    : secondary;
        setOnce(r, QStringLiteral("journal"), name);
        if (name != secondary)
            setOnce(r, QStringLiteral("booktitle"), secondary);
    } else {
        setOnce(r, QStringLiteral("booktitle"), !bookTitle.isEmpty() ? bookTitle : secondary);
        setOnce(r, QStringLiteral("journal"), !journalFull.isEmpty() ? journalFull : journal);
    }
    if (!startPage.isEmpty()) {
        r.setField(QStringLiteral("pages"), endPage.isEmpty() || startPage == endPage
                                                ? startPage
                                                : startPage + QChar(0x2013) + endPage);
    }
    if (!keywords.isEmpty())
        r.setField(QStringLiteral("keywords"), keywords.join(QStringLiteral(", ")));
    return r;
}

} // namespace

ParseResult read(QStringView text)
{
    ParseResult result;
    std::optional<Record> record;
    int lineNumber = 0;
    for (QStringView line : text.split(QLatin1Char('\n'))) {
        ++lineNumber;
        if (line.endsWith(QLatin1Char('\r')))
            line.chop(1);
        if (lineNumber == 1 && line.startsWith(QChar(0xFEFF)))
            line = line.mid(1);
        const auto m = tagPattern().match(line);
        if (!m.hasMatch()) {
            // A line without a tag goes on the value of the line before.
            const QStringView more = line.trimmed();
            if (record && !record->tags.empty() && !more.isEmpty()) {
                QString& v = record->tags.back().value;
                v += (v.isEmpty() ? QString() : QStringLiteral(" ")) + more.toString();
            }
            continue;
        }
        const QString tag = m.captured(1);
        const QString value = m.captured(2).trimmed();
        if (tag == u"TY") {
            if (record)
                result.problems.push_back(
                    {record->line, {}, QStringLiteral("the record has no ER line")});
            record = Record{lineNumber, {}};
        }
        if (!record)
            continue; // text before the first record
        record->tags.push_back({tag, value});
        if (tag == u"ER") {
            result.references.push_back(toReference(*record));
            record.reset();
        }
    }
    if (record)
        result.problems.push_back(
            {record->line, {}, QStringLiteral("the file ends inside the record (no ER line)")});
    return result;
}

namespace {

QString oneLine(const QString& value)
{
    if (!value.contains(QLatin1Char('\n')) && !value.contains(QLatin1Char('\r')) &&
        (value.isEmpty() || (!value.front().isSpace() && !value.back().isSpace())))
        return value;
    QString v = value;
    v.replace(QLatin1String("\r\n"), QLatin1String(" "));
    v.replace(QLatin1Char('\n'), QLatin1Char(' '));
    v.replace(QLatin1Char('\r'), QLatin1Char(' '));
    return v.trimmed();
}

QString risDate(const QString& iso)
{
    static const QRegularExpression p(QStringLiteral("^(\\d{4})-(\\d{2})(?:-(\\d{2}))?$"));
    const auto m = p.match(iso.trimmed());
    if (!m.hasMatch())
        return {};
    return m.captured(1) + QLatin1Char('/') + m.captured(2) + QLatin1Char('/') + m.captured(3) +
           QLatin1Char('/');
}

QString risPerson(const PersonName& n)
{
    QString s = n.family;
    if (!n.given.isEmpty() || !n.suffix.isEmpty())
        s += QStringLiteral(", ") + n.given;
    if (!n.suffix.isEmpty())
        s += QStringLiteral(", ") + n.suffix;
    return s;
}

} // namespace

QString write(const Reference& r)
{
    QString out;
    qsizetype size = 64;
    for (const auto& f : r.fields)
        size += f.second.size() + 10;
    out.reserve(size + 48 * static_cast<qsizetype>(r.authors.size() + r.editors.size()));
    const auto add = [&out](const char* tag, const QString& value) {
        const QString v = oneLine(value);
        if (v.isEmpty())
            return;
        out += QLatin1String(tag);
        out += QLatin1String("  - ");
        out += v;
        out += QLatin1String("\r\n");
    };
    out += QStringLiteral("TY  - ") + risType(r.type, r.field(u"entrysubtype")) +
           QStringLiteral("\r\n");
    add("ID", r.key);
    for (const PersonName& n : r.authors)
        add("AU", risPerson(n));
    for (const PersonName& n : r.editors)
        add("A2", risPerson(n));

    const QString date = r.field(u"date");
    QString year = r.field(u"year");
    if (year.isEmpty())
        year = date.left(4);
    // RIS has no subtitle: it follows the title after ": ", as the project keeps it.
    const QString subtitle = r.field(u"subtitle");
    add("TI", subtitle.isEmpty() ? r.field(u"title")
                                 : r.field(u"title") + QStringLiteral(": ") + subtitle);
    add("PY", year);
    add("DA", risDate(date));
    const std::pair<const char*, const char*> simple[] = {
        {"journal", "JO"},  {"booktitle", "T2"}, {"shortjournal", "J2"}, {"series", "T3"},
        {"volume", "VL"},   {"number", "IS"},    {"publisher", "PB"},    {"address", "CY"},
        {"isbn", "SN"},     {"issn", "SN"},      {"edition", "ET"},      {"language", "LA"},
        {"doi", "DO"},      {"url", "UR"},       {"file", "L1"},         {"urldate", "Y2"},
        {"abstract", "AB"}, {"note", "N1"}};
    for (const auto& [field, tag] : simple)
        add(tag, r.field(QLatin1String(field)));
    const QString pages = r.field(u"pages");
    if (!pages.isEmpty()) {
        static const QRegularExpression range(QStringLiteral("^\\s*([^-–—]+?)\\s*[-–—]+\\s*(.+)$"));
        if (const auto m = range.match(pages); m.hasMatch()) {
            add("SP", m.captured(1));
            add("EP", m.captured(2));
        } else {
            add("SP", pages);
        }
    }
    static const QRegularExpression separators(QStringLiteral("[,;]"));
    for (const QString& k : r.field(u"keywords").split(separators, Qt::SkipEmptyParts))
        add("KW", k.trimmed());
    // Fields named by a RIS tag of their own go back under it.
    for (const auto& [name, value] : r.fields) {
        const bool tag =
            name.size() == 2 && name[0] >= QLatin1Char('a') && name[0] <= QLatin1Char('z') &&
            (name[1].isDigit() || (name[1] >= QLatin1Char('a') && name[1] <= QLatin1Char('z')));
        if (tag && name != u"id" && name != u"ty" && name != u"er")
            add(name.toUpper().toLatin1().constData(), value);
    }
    out += QStringLiteral("ER  - \r\n\r\n");
    return out;
}

} // namespace quirelle::interchange::ris
