// One bibliographic reference as every format reads and writes it: the entry type, the citation
// key, the people, and every other field by its BibLaTeX name, in plain Unicode text.
#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include <optional>
#include <utility>
#include <vector>

namespace quirelle::interchange {

// A person as the formats give one: the family name with its particles ("van Dijk"), the given
// names, and a suffix ("Jr"). An institution has only a family name.
struct PersonName
{
    QString family;
    QString given;
    QString suffix;
    bool operator==(const PersonName&) const = default;
};

struct Reference
{
    // The BibLaTeX entry type in lower case ("article", "inproceedings"); a type BibLaTeX does
    // not know keeps the format's own name in lower case.
    QString type;
    QString key;
    int line = 0; // where the entry starts in its file, from 1

    std::vector<PersonName> authors;
    std::vector<PersonName> editors;
    bool authorsEtAl = false; // the list ends in "and others"
    bool editorsEtAl = false;

    // Every other field by its lower-case BibLaTeX name, in the order read. Besides the usual
    // ones: "keywords" (separated by commas or semicolons), "cites" (citation keys separated
    // by commas), "quotations" (one per line), "ranking" and "readstatus".
    QList<std::pair<QString, QString>> fields;

    QString field(QStringView name) const;
    QString field(QLatin1StringView name) const;
    bool hasField(QStringView name) const;
    // Replaces the field's value, or adds the field at the end.
    void setField(const QString& name, const QString& value);
    void removeField(QStringView name);
};

// Entry types across the formats. RIS and CSL-JSON types are read into the BibLaTeX type (and,
// for newspapers and magazines, an entry subtype) and written back from it.
struct TypeInFormats
{
    QString type;
    QString subtype;
    QString ris;
    QString csl;
};

// The BibLaTeX type (and subtype) of a RIS type such as "JOUR"; unknown ones in lower case.
TypeInFormats typeFromRis(const QString& risType);
// The BibLaTeX type (and subtype) of a CSL type such as "article-journal".
std::optional<TypeInFormats> typeFromCsl(const QString& cslType);
// The RIS and CSL types of a BibLaTeX type and subtype.
QString risType(const QString& type, const QString& subtype);
// Empty when CSL has no type for it.
QString cslType(const QString& type, const QString& subtype);
// Whether CSL defines this item type.
bool isCslType(const QString& cslType);
// The entry type BibTeX is given for a type: the type itself when BibLaTeX knows it or it is a
// plain word; the nearest BibLaTeX type for CSL's types and other names.
QString bibtexType(const QString& type);

} // namespace quirelle::interchange
