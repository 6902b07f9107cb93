// References onto papers and back.
#include "interchange/data/mapping.h"

#include "interchange/data/bibtex.h"

#include <QRegularExpression>
#include <QSet>

namespace quirelle::interchange {

namespace {

// Where a publication name comes from, in the order of preference.
const QStringList& containerFields()
{
    static const QStringList fields{QStringLiteral("journal"),   QStringLiteral("booktitle"),
                                    QStringLiteral("publisher"), QStringLiteral("institution"),
                                    QStringLiteral("school"),    QStringLiteral("organization")};
    return fields;
}

// The field a publication name typed in the program is written to, by entry type.
QString defaultContainer(const QString& type)
{
    static const QSet<QString> parts{
        QStringLiteral("inbook"),        QStringLiteral("incollection"),
        QStringLiteral("inproceedings"), QStringLiteral("conference"),
        QStringLiteral("bookinbook"),    QStringLiteral("suppbook")};
    if (type == u"article" || type == u"periodical")
        return QStringLiteral("journal");
    if (parts.contains(type))
        return QStringLiteral("booktitle");
    if (type == u"report" || type == u"techreport")
        return QStringLiteral("institution");
    if (type == u"thesis" || type == u"phdthesis" || type == u"mastersthesis")
        return QStringLiteral("school");
    if (type == u"online" || type == u"manual")
        return QStringLiteral("organization");
    return QStringLiteral("publisher");
}

// The entry type (and subtype) a described publication type is written as.
std::pair<QString, QString> typeForPublication(const QString& publicationType)
{
    const QString t = publicationType.trimmed();
    if (t == u"Professional Journal")
        return {QStringLiteral("article"), {}};
    if (t == u"News Article")
        return {QStringLiteral("article"), QStringLiteral("newspaper")};
    if (t == u"Book")
        return {QStringLiteral("book"), {}};
    if (t == u"University White Paper")
        return {QStringLiteral("techreport"), {}};
    if (t == u"Website")
        return {QStringLiteral("online"), {}};
    if (t == u"Business White Paper")
        return {QStringLiteral("manual"), {}};
    return {QStringLiteral("misc"), {}};
}

// Fields that map onto described fields or links, handled slot by slot.
bool isSlotField(const QString& name)
{
    static const QSet<QString> names{
        QStringLiteral("title"),       QStringLiteral("subtitle"),   QStringLiteral("year"),
        QStringLiteral("date"),        QStringLiteral("abstract"),   QStringLiteral("keywords"),
        QStringLiteral("ranking"),     QStringLiteral("readstatus"), QStringLiteral("cites"),
        QStringLiteral("quotations"),  QStringLiteral("author"),     QStringLiteral("editor"),
        QStringLiteral("citationkey"), QStringLiteral("entrytype")};
    return names.contains(name) || containerFields().contains(name);
}

QString forenamesOf(const PersonName& p)
{
    if (p.suffix.isEmpty())
        return p.given;
    return p.given.isEmpty() ? p.suffix : p.given + QStringLiteral(", ") + p.suffix;
}

QString joinTitle(const QString& title, const QString& subtitle)
{
    if (subtitle.isEmpty())
        return title;
    if (title.isEmpty())
        return subtitle;
    return title + QStringLiteral(": ") + subtitle;
}

std::vector<AuthorName> authorsOf(const std::vector<PersonName>& people)
{
    std::vector<AuthorName> out;
    out.reserve(people.size());
    for (const PersonName& p : people)
        out.push_back(authorOf(p));
    return out;
}

// The year as the described field holds it: "" when it does not fit.
QString describedYear(const QString& year)
{
    return year.size() <= limits::Year ? year : QString();
}

QStringList shortenedKeywords(const QString& list, int* cut = nullptr, bool* merged = nullptr)
{
    QStringList out;
    QSet<QString> seen;
    const QStringList all = splitKeywords(list);
    for (const QString& k : all) {
        const QString s = shorten(k, limits::Keyword);
        if (s != k && cut)
            ++*cut;
        if (seen.contains(s.toCaseFolded())) {
            if (merged)
                *merged = true;
            continue;
        }
        seen.insert(s.toCaseFolded());
        out << s;
    }
    return out;
}

} // namespace

qsizetype codePoints(const QString& text)
{
    qsizetype n = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i].isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate())
            ++i;
        ++n;
    }
    return n;
}

QString shorten(const QString& text, int limit)
{
    qsizetype n = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (n == limit)
            return text.left(i);
        if (text[i].isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate())
            ++i;
        ++n;
    }
    return text;
}

QString firstYear(const QString& text)
{
    static const QRegularExpression digits(QStringLiteral("\\d{4}"));
    const auto m = digits.match(text);
    return m.hasMatch() ? m.captured(0) : QString();
}

namespace {

std::optional<DateEnd> parseDateEnd(QStringView text, bool* approximate)
{
    static const QRegularExpression end(
        QStringLiteral("^([+-]?\\d{1,6})(?:-(\\d{2})(?:-(\\d{2}))?)?([~?%]?)$"));
    const auto m = end.match(text.trimmed());
    if (!m.hasMatch())
        return std::nullopt;
    DateEnd d{m.capturedView(1).toInt(), m.capturedView(2).toInt(), m.capturedView(3).toInt()};
    const bool season = d.month >= 21 && d.month <= 24;
    if (m.capturedLength(2) > 0 && !season && (d.month < 1 || d.month > 12))
        return std::nullopt;
    if (m.capturedLength(3) > 0 && (season || d.day < 1 || d.day > 31))
        return std::nullopt;
    if (m.capturedLength(4) > 0)
        *approximate = true;
    return d;
}

QString endText(const DateEnd& d)
{
    QString out = d.year < 0 ? QStringLiteral("-") : QString();
    out += QString::number(std::abs(d.year)).rightJustified(4, QLatin1Char('0'));
    if (d.month > 0)
        out += QLatin1Char('-') + QString::number(d.month).rightJustified(2, QLatin1Char('0'));
    if (d.month > 0 && d.day > 0)
        out += QLatin1Char('-') + QString::number(d.day).rightJustified(2, QLatin1Char('0'));
    return out;
}

} // namespace

std::optional<Date> parseDate(QStringView text)
{
    Date date;
    const qsizetype slash = text.indexOf(QLatin1Char('/'));
    const auto from = parseDateEnd(slash < 0 ? text : text.left(slash), &date.approximate);
    if (!from)
        return std::nullopt;
    date.from = *from;
    if (slash >= 0) {
        date.to = parseDateEnd(text.mid(slash + 1), &date.approximate);
        if (!date.to)
            return std::nullopt;
    }
    return date;
}

QString dateText(const Date& date)
{
    const QString mark = date.approximate ? QStringLiteral("~") : QString();
    QString out = endText(date.from) + mark;
    if (date.to)
        out += QLatin1Char('/') + endText(*date.to) + mark;
    return out;
}

int monthNumber(const QString& month)
{
    static const char* const names[] = {"jan", "feb", "mar", "apr", "may", "jun",
                                        "jul", "aug", "sep", "oct", "nov", "dec"};
    const QString m = month.trimmed().toLower();
    bool isNumber = false;
    const int n = m.toInt(&isNumber);
    if (isNumber)
        return n >= 1 && n <= 12 ? n : 0;
    for (int i = 0; i < 12; ++i) {
        if (m.size() >= 3 && m.startsWith(QLatin1String(names[i])))
            return i + 1;
    }
    return 0;
}

QString yearOf(const QString& year, const QString& date)
{
    static const QRegularExpression number(QStringLiteral("^[+-]?\\d{1,6}$"));
    const QString y = year.trimmed();
    if (number.match(y).hasMatch())
        return QString::number(y.toInt());
    if (!y.isEmpty())
        return firstYear(y);
    if (const auto d = parseDate(date))
        return QString::number(d->from.year);
    return firstYear(date);
}

QStringList splitKeywords(const QString& list)
{
    static const QRegularExpression separators(QStringLiteral("[,;]"));
    QStringList out;
    QSet<QString> seen;
    for (const QString& k : list.split(separators)) {
        const QString t = k.simplified();
        if (t.isEmpty() || seen.contains(t))
            continue;
        seen.insert(t);
        out << t;
    }
    return out;
}

QString publicationTypeOf(const QString& type, const QString& subtype)
{
    static const QSet<QString> books{QStringLiteral("book"),       QStringLiteral("mvbook"),
                                     QStringLiteral("inbook"),     QStringLiteral("bookinbook"),
                                     QStringLiteral("suppbook"),   QStringLiteral("incollection"),
                                     QStringLiteral("collection"), QStringLiteral("mvcollection")};
    static const QSet<QString> university{QStringLiteral("report"), QStringLiteral("techreport"),
                                          QStringLiteral("thesis"), QStringLiteral("phdthesis"),
                                          QStringLiteral("mastersthesis")};
    if (type == u"article") {
        const QString s = subtype.toLower();
        return s == u"newspaper" || s == u"magazine" ? QStringLiteral("News Article")
                                                     : QStringLiteral("Professional Journal");
    }
    if (books.contains(type))
        return QStringLiteral("Book");
    if (university.contains(type))
        return QStringLiteral("University White Paper");
    if (type == u"online" || type == u"electronic" || type == u"www")
        return QStringLiteral("Website");
    if (type == u"manual" || type == u"whitepaper")
        return QStringLiteral("Business White Paper");
    return {};
}

AuthorName authorOf(const PersonName& p)
{
    return {shorten(p.family, limits::Surname), shorten(forenamesOf(p), limits::Forenames)};
}

QString PaperData::extraValue(QStringView name) const
{
    for (const auto& [n, v] : extras) {
        if (n == name)
            return v;
    }
    return {};
}

bool PaperData::hasExtra(QStringView name) const
{
    for (const auto& e : extras) {
        if (e.first == name)
            return true;
    }
    return false;
}

PaperData toPaper(const Reference& r, int* valuesCut)
{
    PaperData p;
    int cut = 0;
    QSet<QString> keep; // slot fields that go to the extra fields as read

    // Entry type and key are always kept.
    p.key = r.key;
    if (!r.key.isEmpty())
        p.extras.append({extra::CitationKey, r.key});
    // A type written in a field by the BibTeX export, where BibTeX has no such type, is the
    // entry's own.
    const QString ownType = r.field(extra::EntryType).trimmed().toLower();
    const QString& type = ownType.isEmpty() ? r.type : ownType;
    if (!type.isEmpty())
        p.extras.append({extra::EntryType, type});

    // Title, with a subtitle after ": ".
    const QString title = r.field(u"title");
    // Line breaks and runs of blanks are one blank, as every format reads them.
    const QString full = joinTitle(title, r.field(u"subtitle")).simplified();
    p.title = shorten(full, limits::Title);
    if (p.title != full)
        ++cut;
    if (p.title != title || r.hasField(u"subtitle"))
        keep << QStringLiteral("title") << QStringLiteral("subtitle");

    // Year: as the year or the date writes it; a year too long for the field (before -999)
    // only in the extra fields.
    const QString year = r.field(u"year");
    const QString wholeYear = yearOf(year, r.field(u"date"));
    p.year = describedYear(wholeYear);
    if (r.hasField(u"date") || year != p.year) {
        keep << QStringLiteral("year") << QStringLiteral("date");
        if ((year.size() > limits::Year && !p.year.isEmpty()) || p.year != wholeYear)
            ++cut;
    }

    p.summary = r.field(u"abstract");

    // Publication name: the first container there is. Unless it is the one container and the
    // one a typed name would go to, every container field is kept as read (empty ones too, so
    // that a cross-reference does not fill them in again).
    QStringList present, filled;
    for (const QString& f : containerFields()) {
        if (r.hasField(f))
            present << f;
        if (!r.field(f).isEmpty())
            filled << f;
    }
    if (!filled.isEmpty()) {
        const QString name = r.field(filled.first());
        p.publicationName = shorten(name, limits::PublicationName);
        if (p.publicationName != name)
            ++cut;
    }
    if (!present.isEmpty() &&
        (present.size() > 1 || filled != present || present.first() != defaultContainer(type) ||
         p.publicationName != r.field(present.first())))
        keep += QSet<QString>(containerFields().begin(), containerFields().end());

    p.publicationType = publicationTypeOf(type, r.field(u"entrysubtype"));

    const QString ranking = r.field(u"ranking");
    if (codePoints(ranking) <= limits::Rating) {
        p.rating = ranking;
    } else {
        keep << QStringLiteral("ranking");
        ++cut;
    }
    const QString status = r.field(u"readstatus");
    if (codePoints(status) <= limits::Status) {
        p.status = status;
    } else {
        keep << QStringLiteral("readstatus");
        ++cut;
    }

    // Authors, or the editors when there are no authors.
    const bool editorsAsAuthors = r.authors.empty() && !r.editors.empty();
    const auto& people = editorsAsAuthors ? r.editors : r.authors;
    p.authors = authorsOf(people);
    bool namesCut = false;
    for (size_t i = 0; i < people.size(); ++i) {
        if (p.authors[i].surname != people[i].family) {
            ++cut;
            namesCut = true;
        }
        if (p.authors[i].forenames != forenamesOf(people[i])) {
            ++cut;
            namesCut = true;
        }
    }
    if (editorsAsAuthors || !r.editors.empty())
        p.extras.append(
            {QStringLiteral("editor"), bibtex::formatNames(r.editors, r.editorsEtAl, false)});
    // Authors that read the same as the editors are kept, so the export can tell them apart.
    if (!r.authors.empty() &&
        (namesCut || r.authorsEtAl || (!r.editors.empty() && authorsOf(r.editors) == p.authors)))
        p.extras.append(
            {QStringLiteral("author"), bibtex::formatNames(r.authors, r.authorsEtAl, false)});
    else if (r.authors.empty() && r.authorsEtAl)
        p.extras.append({QStringLiteral("author"), QStringLiteral("others")});

    // Keywords.
    bool merged = false;
    p.keywords = shortenedKeywords(r.field(u"keywords"), &cut, &merged);
    if (merged || p.keywords.join(u',') != splitKeywords(r.field(u"keywords")).join(u','))
        keep << QStringLiteral("keywords");

    for (const QString& q : r.field(u"quotations").split(QLatin1Char('\n'))) {
        const QString t = q.trimmed();
        if (!t.isEmpty())
            p.quotations << t;
    }
    for (const QString& k : r.field(u"cites").split(QLatin1Char(','))) {
        const QString t = k.trimmed();
        if (!t.isEmpty() && !p.cites.contains(t))
            p.cites << t;
    }

    // Every other field, and the slot fields that could not be told by the described ones,
    // in the order read.
    for (const auto& [name, value] : r.fields) {
        if (name == extra::CitationKey || name == extra::EntryType || name == u"author" ||
            name == u"editor")
            continue;
        if (!isSlotField(name) || keep.contains(name))
            p.extras.append({name, value});
    }
    if (valuesCut)
        *valuesCut = cut;
    return p;
}

namespace {

PersonName personOf(const AuthorName& a)
{
    PersonName p;
    p.family = a.surname;
    // A suffix was stored after the forenames, behind a comma.
    const qsizetype comma = a.forenames.lastIndexOf(QStringLiteral(", "));
    if (comma >= 0) {
        p.given = a.forenames.left(comma);
        p.suffix = a.forenames.mid(comma + 2);
    } else {
        p.given = a.forenames;
    }
    return p;
}

} // namespace

Reference toReference(const PaperData& p)
{
    Reference r;
    r.fields.reserve(p.extras.size() + 12);
    r.key = p.key;

    // Type: the entry's own while the described type still says what it said.
    const QString entryType = p.extraValue(QString(extra::EntryType));
    const QString entrySubtype = p.extraValue(u"entrysubtype");
    bool ownType = false;
    if (!entryType.isEmpty() &&
        publicationTypeOf(entryType, entrySubtype) == p.publicationType.trimmed()) {
        r.type = entryType;
        ownType = true;
    } else {
        const auto [type, subtype] = typeForPublication(p.publicationType);
        r.type = type;
        if (!subtype.isEmpty())
            r.setField(QStringLiteral("entrysubtype"), subtype);
    }

    // People.
    bool editorsUsed = false;
    bool authorsDone = false;
    if (p.hasExtra(u"author")) {
        bool etAl = false;
        auto names = bibtex::parseNames(p.extraValue(u"author"), false, &etAl);
        if (authorsOf(names) == p.authors) {
            r.authors = std::move(names);
            r.authorsEtAl = etAl;
            authorsDone = true;
        }
    } else if (p.hasExtra(u"editor") && !p.authors.empty()) {
        bool etAl = false;
        auto names = bibtex::parseNames(p.extraValue(u"editor"), false, &etAl);
        if (authorsOf(names) == p.authors) {
            r.editors = std::move(names);
            r.editorsEtAl = etAl;
            editorsUsed = authorsDone = true;
        }
    }
    if (!authorsDone) {
        for (const AuthorName& a : p.authors)
            r.authors.push_back(personOf(a));
    }
    if (!editorsUsed && p.hasExtra(u"editor"))
        r.editors = bibtex::parseNames(p.extraValue(u"editor"), false, &r.editorsEtAl);

    // Title.
    if (p.hasExtra(u"title") &&
        shorten(joinTitle(p.extraValue(u"title"), p.extraValue(u"subtitle")).simplified(),
                limits::Title) == p.title) {
        r.setField(QStringLiteral("title"), p.extraValue(u"title"));
        if (p.hasExtra(u"subtitle"))
            r.setField(QStringLiteral("subtitle"), p.extraValue(u"subtitle"));
    } else {
        r.setField(QStringLiteral("title"), p.title);
    }

    // Publication name: the container it came from takes a name changed since.
    QStringList present;
    QString source;
    for (const QString& f : containerFields()) {
        if (!p.hasExtra(f))
            continue;
        present << f;
        if (source.isEmpty() && !p.extraValue(f).isEmpty())
            source = f;
    }
    const bool same = source.isEmpty() ? p.publicationName.isEmpty()
                                       : shorten(p.extraValue(source), limits::PublicationName) ==
                                             p.publicationName;
    for (const QString& f : present) {
        if (f == source && !same) {
            if (!p.publicationName.isEmpty())
                r.setField(f, p.publicationName);
        } else {
            r.setField(f, p.extraValue(f));
        }
    }
    if (source.isEmpty() && !same)
        r.setField(defaultContainer(r.type), p.publicationName);

    // Year.
    if ((p.hasExtra(u"year") || p.hasExtra(u"date")) &&
        describedYear(yearOf(p.extraValue(u"year"), p.extraValue(u"date"))) == p.year) {
        if (p.hasExtra(u"year"))
            r.setField(QStringLiteral("year"), p.extraValue(u"year"));
        if (p.hasExtra(u"date"))
            r.setField(QStringLiteral("date"), p.extraValue(u"date"));
    } else if (!p.year.isEmpty()) {
        r.setField(QStringLiteral("year"), p.year);
    }

    for (const auto& [name, value] : p.extras) {
        if (isSlotField(name) || (name == u"entrysubtype" && !ownType))
            continue;
        if (!r.hasField(name))
            r.setField(name, value);
    }

    if (!p.summary.isEmpty())
        r.setField(QStringLiteral("abstract"), p.summary);
    if (p.hasExtra(u"keywords") && shortenedKeywords(p.extraValue(u"keywords")) == p.keywords)
        r.setField(QStringLiteral("keywords"), p.extraValue(u"keywords"));
    else if (!p.keywords.isEmpty())
        r.setField(QStringLiteral("keywords"), p.keywords.join(QStringLiteral(", ")));
    if (p.rating.isEmpty() && p.hasExtra(u"ranking"))
        r.setField(QStringLiteral("ranking"), p.extraValue(u"ranking"));
    else if (!p.rating.isEmpty())
        r.setField(QStringLiteral("ranking"), p.rating);
    if (p.status.isEmpty() && p.hasExtra(u"readstatus"))
        r.setField(QStringLiteral("readstatus"), p.extraValue(u"readstatus"));
    else if (!p.status.isEmpty())
        r.setField(QStringLiteral("readstatus"), p.status);
    if (!p.cites.isEmpty())
        r.setField(extra::Cites, p.cites.join(QStringLiteral(", ")));
    if (!p.quotations.isEmpty())
        r.setField(QStringLiteral("quotations"), p.quotations.join(QLatin1Char('\n')));
    return r;
}

} // namespace quirelle::interchange
