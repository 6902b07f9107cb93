// Field access of a reference, and the table of entry types across the formats.
#include "interchange/data/reference.h"

#include <QHash>
#include <QRegularExpression>
#include <QSet>

namespace quirelle::interchange {

QString Reference::field(QStringView name) const
{
    for (const auto& [n, v] : fields) {
        if (n == name)
            return v;
    }
    return {};
}

QString Reference::field(QLatin1StringView name) const
{
    for (const auto& [n, v] : fields) {
        if (n == name)
            return v;
    }
    return {};
}

bool Reference::hasField(QStringView name) const
{
    for (const auto& f : fields) {
        if (f.first == name)
            return true;
    }
    return false;
}

void Reference::setField(const QString& name, const QString& value)
{
    for (auto& [n, v] : fields) {
        if (n == name) {
            v = value;
            return;
        }
    }
    fields.append({name, value});
}

void Reference::removeField(QStringView name)
{
    fields.removeIf([name](const auto& f) { return f.first == name; });
}

namespace {

// Types written by the writers: the first row of a BibLaTeX type gives its RIS and CSL types.
const std::vector<TypeInFormats>& typeTable()
{
    static const std::vector<TypeInFormats> table = [] {
        const char* const rows[][4] = {
            {"article", "", "JOUR", "article-journal"},
            {"article", "newspaper", "NEWS", "article-newspaper"},
            {"article", "magazine", "MGZN", "article-magazine"},
            {"book", "", "BOOK", "book"},
            {"mvbook", "", "BOOK", "book"},
            {"inbook", "", "CHAP", "chapter"},
            {"bookinbook", "", "CHAP", "chapter"},
            {"suppbook", "", "CHAP", "chapter"},
            {"incollection", "", "CHAP", "chapter"},
            {"collection", "", "EDBOOK", "book"},
            {"mvcollection", "", "EDBOOK", "book"},
            {"booklet", "", "PAMP", "pamphlet"},
            {"inproceedings", "", "CPAPER", "paper-conference"},
            {"conference", "", "CPAPER", "paper-conference"},
            {"proceedings", "", "CONF", "book"},
            {"report", "", "RPRT", "report"},
            {"techreport", "", "RPRT", "report"},
            {"thesis", "", "THES", "thesis"},
            {"phdthesis", "", "THES", "thesis"},
            {"mastersthesis", "", "THES", "thesis"},
            {"online", "", "ELEC", "webpage"},
            {"electronic", "", "ELEC", "webpage"},
            {"www", "", "ELEC", "webpage"},
            {"manual", "", "", ""},
            {"misc", "", "GEN", "document"},
            {"unpublished", "", "UNPB", "manuscript"},
            {"patent", "", "PAT", "patent"},
            {"dataset", "", "DATA", "dataset"},
            {"software", "", "COMP", "software"},
            {"periodical", "", "JFULL", "periodical"},
            {"standard", "", "STAND", "standard"},
            {"artwork", "", "ART", "graphic"},
            {"audio", "", "SOUND", "song"},
            {"video", "", "VIDEO", "motion_picture"},
            {"music", "", "MUSIC", "musical_score"},
            {"letter", "", "PCOMM", "personal_communication"},
            {"legislation", "", "STAT", "legislation"},
            {"jurisdiction", "", "CASE", "legal_case"},
        };
        std::vector<TypeInFormats> t;
        for (const auto& r : rows) {
            t.push_back({QString::fromLatin1(r[0]), QString::fromLatin1(r[1]),
                         QString::fromLatin1(r[2]), QString::fromLatin1(r[3])});
        }
        return t;
    }();
    return table;
}

// Types read only: other names of the same kinds.
const std::vector<std::pair<QString, TypeInFormats>>& risAliases()
{
    static const std::vector<std::pair<QString, TypeInFormats>> aliases = [] {
        const char* const rows[][3] = {
            {"EJOUR", "article", ""},       {"INPR", "article", ""}, {"ABST", "article", ""},
            {"EBOOK", "book", ""},          {"SER", "book", ""},     {"ECHAP", "inbook", ""},
            {"BLOG", "online", ""},         {"WEB", "online", ""},   {"ICOMM", "online", ""},
            {"MANSCPT", "unpublished", ""}, {"MPCT", "video", ""},
        };
        std::vector<std::pair<QString, TypeInFormats>> a;
        for (const auto& r : rows) {
            a.push_back({QString::fromLatin1(r[0]),
                         {QString::fromLatin1(r[1]), QString::fromLatin1(r[2]), {}, {}}});
        }
        return a;
    }();
    return aliases;
}

} // namespace

TypeInFormats typeFromRis(const QString& risType)
{
    const QString ris = risType.trimmed().toUpper();
    for (const TypeInFormats& t : typeTable()) {
        if (t.ris == ris)
            return t;
    }
    for (const auto& [name, t] : risAliases()) {
        if (name == ris)
            return t;
    }
    return {ris.toLower(), {}, ris, {}};
}

std::optional<TypeInFormats> typeFromCsl(const QString& cslType)
{
    const QString csl = cslType.trimmed().toLower();
    for (const TypeInFormats& t : typeTable()) {
        if (t.csl == csl)
            return t;
    }
    if (csl == u"webpage" || csl == u"post" || csl == u"post-weblog")
        return TypeInFormats{QStringLiteral("online"), {}, {}, csl};
    if (csl == u"article")
        return TypeInFormats{QStringLiteral("misc"), {}, {}, csl};
    return std::nullopt;
}

namespace {

const TypeInFormats* rowOf(const QString& type, const QString& subtype)
{
    const TypeInFormats* loose = nullptr;
    for (const TypeInFormats& t : typeTable()) {
        if (t.type != type)
            continue;
        if (t.subtype == subtype)
            return &t;
        if (!loose && t.subtype.isEmpty())
            loose = &t;
    }
    return loose;
}

} // namespace

QString risType(const QString& type, const QString& subtype)
{
    if (const TypeInFormats* t = rowOf(type, subtype.toLower()); t && !t->ris.isEmpty())
        return t->ris;
    // A type of no table keeps its name, as RIS readers take unknown types for generic ones.
    static const QRegularExpression code(QStringLiteral("^[a-z][a-z0-9]{1,7}$"));
    return code.match(type).hasMatch() ? type.toUpper() : QStringLiteral("GEN");
}

QString cslType(const QString& type, const QString& subtype)
{
    if (const TypeInFormats* t = rowOf(type, subtype.toLower()))
        return t->csl;
    return isCslType(type) ? type : QString();
}

QString bibtexType(const QString& type)
{
    static const QHash<QString, QString> nearest = [] {
        QHash<QString, QString> h;
        const char* const rows[][2] = {
            {"article-journal", "article"},
            {"article-magazine", "article"},
            {"article-newspaper", "article"},
            {"bill", "legislation"},
            {"chapter", "inbook"},
            {"classic", "book"},
            {"document", "misc"},
            {"entry", "inreference"},
            {"entry-dictionary", "inreference"},
            {"entry-encyclopedia", "inreference"},
            {"figure", "image"},
            {"graphic", "artwork"},
            {"legal_case", "jurisdiction"},
            {"manuscript", "unpublished"},
            {"motion_picture", "video"},
            {"musical_score", "music"},
            {"pamphlet", "booklet"},
            {"paper-conference", "inproceedings"},
            {"personal_communication", "letter"},
            {"post", "online"},
            {"post-weblog", "online"},
            {"regulation", "legislation"},
            {"review-book", "review"},
            {"song", "audio"},
            {"webpage", "online"},
        };
        for (const auto& r : rows)
            h.insert(QString::fromLatin1(r[0]), QString::fromLatin1(r[1]));
        return h;
    }();
    // The types of other formats are words of letters and digits or of CSL's; BibTeX reads a
    // word, and citation processors take a word they do not know for "misc".
    static const QRegularExpression word(QStringLiteral("^[a-z][a-z0-9]*$"));
    static const QSet<QString> cslOnly{QStringLiteral("broadcast"), QStringLiteral("event"),
                                       QStringLiteral("hearing"),   QStringLiteral("interview"),
                                       QStringLiteral("map"),       QStringLiteral("speech"),
                                       QStringLiteral("treaty")};
    if (const auto it = nearest.constFind(type); it != nearest.constEnd())
        return *it;
    return word.match(type).hasMatch() && !cslOnly.contains(type) ? type : QStringLiteral("misc");
}

bool isCslType(const QString& cslType)
{
    static const QSet<QString> types = [] {
        QSet<QString> s;
        for (const char* t : {"article",
                              "article-journal",
                              "article-magazine",
                              "article-newspaper",
                              "bill",
                              "book",
                              "broadcast",
                              "chapter",
                              "classic",
                              "collection",
                              "dataset",
                              "document",
                              "entry",
                              "entry-dictionary",
                              "entry-encyclopedia",
                              "event",
                              "figure",
                              "graphic",
                              "hearing",
                              "interview",
                              "legal_case",
                              "legislation",
                              "manuscript",
                              "map",
                              "motion_picture",
                              "musical_score",
                              "pamphlet",
                              "paper-conference",
                              "patent",
                              "performance",
                              "periodical",
                              "personal_communication",
                              "post",
                              "post-weblog",
                              "regulation",
                              "report",
                              "review",
                              "review-book",
                              "software",
                              "song",
                              "speech",
                              "standard",
                              "thesis",
                              "treaty",
                              "webpage"})
            s.insert(QString::fromLatin1(t));
        return s;
    }();
    return types.contains(cslType);
}

} // namespace quirelle::interchange
