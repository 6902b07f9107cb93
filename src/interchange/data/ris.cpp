// Reading and writing RIS.
#include "interchange/data/ris.h"

#include "interchange/data/bibtex.h"
#include "interchange/data/mapping.h"

#include <QHash>
#include <QSet>

#include <QRegularExpression>

namespace quirelle::interchange::ris {

using namespace Qt::StringLiterals;

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

// "2003", "2003///", "2003/05/01", "2003/05/01/Spring", "-379": the year alone (a signed number
// without padding), or a date as BibLaTeX writes it.
void readDate(const QString& value, Reference& r)
{
    static const QRegularExpression date(QStringLiteral(
        "^([+-]?\\d{1,6})(?:[/-](\\d{0,2}|[A-Za-z]{3,})(?:[/-](\\d{0,2})(?:/.*)?)?)?$"));
    const QString v = value.trimmed();
    const auto m = date.match(v);
    if (!m.hasMatch()) {
        if (!r.hasField(QStringLiteral("year")) && !v.isEmpty())
            r.setField(QStringLiteral("year"), v);
        return;
    }
    const int year = m.captured(1).toInt();
    // The month by number or name ("2015/october").
    const int month = monthNumber(m.captured(2)), day = m.captured(3).toInt();
    if (month < 1 || month > 12) {
        if (!r.hasField(QStringLiteral("year")))
            r.setField(QStringLiteral("year"), QString::number(year));
        return;
    }
    const Date d{{year, month, day >= 1 && day <= 31 ? day : 0}, std::nullopt, false};
    if (!r.hasField(QStringLiteral("date")))
        r.setField(QStringLiteral("date"), dateText(d));
}

// A field written as a note by the export: "name: value", the name as the project keeps it.
const QRegularExpression& fieldNote()
{
    static const QRegularExpression p(QStringLiteral("^([a-z][a-z0-9]*(?:[-_][a-z0-9]+)*): (.*)$"));
    return p;
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

// The fields the export wrote as notes, as they were: the names exactly, the entry type, a
// subtitle that RIS writes after the title.
void restoreFields(const QHash<QString, QString>& notes, const QStringList& order, Reference& r)
{
    QSet<QString> done;
    for (const QString& name : order) {
        if (done.contains(name))
            continue;
        done.insert(name);
        const QString& value = notes[name];
        if (name == u"author")
            r.authors = bibtex::parseNames(value, false, &r.authorsEtAl);
        else if (name == u"editor")
            r.editors = bibtex::parseNames(value, false, &r.editorsEtAl);
        else if (name == extra::EntryType)
            r.type = value.trimmed().toLower();
        else
            r.setField(name, value);
    }
    const QString subtitle = r.field(u"subtitle");
    const QString title = r.field(u"title");
    if (!subtitle.isEmpty() && title.endsWith(QStringLiteral(": ") + subtitle))
        r.setField(QStringLiteral("title"), title.chopped(subtitle.size() + 2));
}

Reference toReference(const Record& record)
{
    Reference r;
    r.line = record.line;
    QStringList keywords, plainNotes, noteOrder;
    QHash<QString, QString> notes;
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
            if (const auto m = fieldNote().match(v); m.hasMatch()) {
                const QString name = m.captured(1);
                if (notes.contains(name))
                    notes[name] += QLatin1Char('\n') + m.captured(2);
                else
                    notes.insert(name, m.captured(2));
                noteOrder << name;
            } else {
                plainNotes << v;
            }
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
    if (!plainNotes.isEmpty())
        r.setField(QStringLiteral("note"), plainNotes.join(QLatin1Char('\n')));
    restoreFields(notes, noteOrder, r);
    // A year that only repeats the date's came with it.
    if (r.hasField(u"date") && r.field(u"year") == yearOf({}, r.field(u"date")))
        r.removeField(u"year");
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

// A date as RIS writes it ("2003/05/01/", "-0379/02//"), or "" for a date RIS cannot say (a
// year alone, a season, a range, an approximate date).
QString risDate(const QString& value)
{
    const auto d = parseDate(value);
    if (!d || d->to || d->approximate || d->from.month < 1 || d->from.month > 12)
        return {};
    const QStringList parts = dateText({d->from, std::nullopt, false}).split(QLatin1Char('-'));
    // A year before 1 starts with its sign: "-0379-02" splits into "", "0379", "02".
    const qsizetype at = parts.front().isEmpty() ? 1 : 0;
    return (at ? QStringLiteral("-") : QString()) + parts[at] + QLatin1Char('/') +
           parts.value(at + 1) + QLatin1Char('/') + parts.value(at + 2) + QLatin1Char('/');
}

// "Last, First, Suffix". An institution's name has no comma, or it would read back as a
// person's: its commas are left out (and the name goes whole in a note).
QString risPerson(const PersonName& n)
{
    if (n.given.isEmpty() && n.suffix.isEmpty())
        return QString(n.family).remove(QLatin1Char(',')).simplified();
    QString s = n.family;
    if (!n.given.isEmpty() || !n.suffix.isEmpty())
        s += QStringLiteral(", ") + n.given;
    if (!n.suffix.isEmpty())
        s += QStringLiteral(", ") + n.suffix;
    return s;
}

// Whether the names read back from their lines as they are.
bool namesReadBack(const std::vector<PersonName>& names, bool etAl)
{
    return !etAl && std::all_of(names.begin(), names.end(),
                                [](const PersonName& n) { return risName(risPerson(n)) == n; });
}

// RIS tags read into a field of the same name: written back under their tag.
bool isOwnTag(const QString& name)
{
    static const QSet<QString> tags = [] {
        QSet<QString> t;
        for (const char* tag :
             {"an", "c1", "c2", "c3", "c4", "c5", "c6", "c7", "c8", "ca", "cn", "db", "dp", "lb",
              "m1", "m2", "m3", "nv", "op", "rn", "se", "st", "u1", "u2", "u3", "u4", "u5"})
            t.insert(QString::fromLatin1(tag));
        return t;
    }();
    return tags.contains(name);
}

// Fields written under a tag of their own.
const std::pair<const char*, const char*> TaggedFields[] = {
    {"journal", "JO"}, {"booktitle", "T2"}, {"shortjournal", "J2"}, {"series", "T3"},
    {"volume", "VL"},  {"number", "IS"},    {"publisher", "PB"},    {"address", "CY"},
    {"isbn", "SN"},    {"issn", "SN"},      {"edition", "ET"},      {"language", "LA"},
    {"doi", "DO"},     {"url", "UR"},       {"file", "L1"},         {"urldate", "Y2"},
    {"abstract", "AB"}};

} // namespace

QString write(const Reference& r)
{
    QString out;
    qsizetype size = 64;
    for (const auto& f : r.fields)
        size += f.second.size() + 10;
    out.reserve(size + 48 * static_cast<qsizetype>(r.authors.size() + r.editors.size()));
    const auto add = [&out](QLatin1StringView tag, const QString& value) {
        const QString v = oneLine(value);
        if (v.isEmpty())
            return;
        out += tag;
        out += QLatin1String("  - ");
        out += v;
        out += QLatin1String("\r\n");
    };
    // A field RIS has no tag for goes in a note, "name: value", a line of the value to a note.
    QStringList notes;
    const auto note = [&notes](const QString& name, const QString& value) {
        for (const QString& line : value.split(QLatin1Char('\n'))) {
            if (const QString l = oneLine(line); !l.isEmpty())
                notes << name + QStringLiteral(": ") + l;
        }
    };
    const QString subtype = r.field(u"entrysubtype");
    const QString ris = risType(r.type, subtype);
    const TypeInFormats back = typeFromRis(ris);
    out += QStringLiteral("TY  - ") + ris + QStringLiteral("\r\n");
    if (back.type != r.type)
        note(extra::EntryType, r.type);
    add("ID"_L1, r.key);
    for (const PersonName& n : r.authors)
        add("AU"_L1, risPerson(n));
    if (!namesReadBack(r.authors, r.authorsEtAl))
        note(QStringLiteral("author"), bibtex::formatNames(r.authors, r.authorsEtAl, false));
    for (const PersonName& n : r.editors)
        add("A2"_L1, risPerson(n));
    if (!namesReadBack(r.editors, r.editorsEtAl))
        note(QStringLiteral("editor"), bibtex::formatNames(r.editors, r.editorsEtAl, false));

    // The fields written under tags of their own above or below; no other field goes in a note.
    static const QSet<QString> written = [] {
        QSet<QString> names{QStringLiteral("title"),    QStringLiteral("year"),
                            QStringLiteral("date"),     QStringLiteral("pages"),
                            QStringLiteral("keywords"), QStringLiteral("note")};
        for (const auto& tagged : TaggedFields)
            names << QString::fromLatin1(tagged.first);
        return names;
    }();
    const bool subtypeWritten = back.subtype == subtype.toLower();
    // RIS has no subtitle: it follows the title after ": ", as the project keeps it, and goes
    // in a note too, so that the title is parted again on import.
    const QString subtitle = r.field(u"subtitle");
    add("TI"_L1, subtitle.isEmpty() ? r.field(u"title")
                                    : r.field(u"title") + QStringLiteral(": ") + subtitle);
    const QString date = r.field(u"date");
    const QString year = r.field(u"year");
    add("PY"_L1, year.isEmpty() ? yearOf({}, date) : year);
    const QString da = risDate(date);
    add("DA"_L1, da);
    if (da.isEmpty() && !date.isEmpty())
        note(QStringLiteral("date"), date);
    for (const auto& [field, tag] : TaggedFields) {
        add(QLatin1StringView(tag), r.field(QLatin1String(field)));
    }
    const QString pages = r.field(u"pages");
    if (!pages.isEmpty()) {
        static const QRegularExpression range(QStringLiteral("^\\s*([^-–—]+?)\\s*[-–—]+\\s*(.+)$"));
        if (const auto m = range.match(pages); m.hasMatch()) {
            add("SP"_L1, m.captured(1));
            add("EP"_L1, m.captured(2));
        } else {
            add("SP"_L1, pages);
        }
    }
    static const QRegularExpression separators(QStringLiteral("[,;]"));
    for (const QString& k : r.field(u"keywords").split(separators, Qt::SkipEmptyParts))
        add("KW"_L1, k.trimmed());
    // RIS tags read into fields go back under their tag; every other field goes in a note.
    // A field as BibTeX wrote it (with its case-protecting braces) means nothing to RIS.
    for (const auto& [name, value] : r.fields) {
        if (written.contains(name) || (subtypeWritten && name == u"entrysubtype") ||
            name.endsWith(QStringLiteral(".latex")))
            continue;
        if (isOwnTag(name))
            add(QLatin1StringView(name.toUpper().toLatin1()), value);
        else
            note(name, value);
    }
    // The note itself first, marked as the note when a line of it reads like a field's.
    const QStringList noteLines = r.field(u"note").split(QLatin1Char('\n'));
    const bool marked = std::any_of(noteLines.begin(), noteLines.end(), [](const QString& l) {
        return fieldNote().match(oneLine(l)).hasMatch();
    });
    for (const QString& line : noteLines) {
        if (const QString l = oneLine(line); !l.isEmpty())
            add("N1"_L1, marked ? QStringLiteral("note: ") + l : l);
    }
    for (const QString& n : std::as_const(notes))
        add("N1"_L1, n);
    out += QStringLiteral("ER  - \r\n\r\n");
    return out;
}

} // namespace quirelle::interchange::ris
