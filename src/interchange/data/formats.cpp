// Formats by name and extension.
#include "interchange/data/formats.h"

#include "interchange/data/bibtex.h"
#include "interchange/data/csljson.h"
#include "interchange/data/ris.h"

#include <QFileInfo>

namespace quirelle::interchange {

std::optional<Format> formatFromName(QStringView name)
{
    const QString n = name.trimmed().toString().toLower();
    if (n == u"bibtex" || n == u"biblatex" || n == u"bib")
        return Format::BibTeX;
    if (n == u"ris")
        return Format::Ris;
    if (n == u"csljson" || n == u"csl-json" || n == u"json")
        return Format::CslJson;
    return std::nullopt;
}

std::optional<Format> formatFromFileName(const QString& path)
{
    const QString suffix = QFileInfo(path).suffix().toLower();
    if (suffix == u"bib" || suffix == u"bibtex")
        return Format::BibTeX;
    if (suffix == u"ris")
        return Format::Ris;
    if (suffix == u"json")
        return Format::CslJson;
    return std::nullopt;
}

QString formatName(Format format)
{
    switch (format) {
    case Format::BibTeX:
        return QStringLiteral("bibtex");
    case Format::Ris:
        return QStringLiteral("ris");
    case Format::CslJson:
        return QStringLiteral("csljson");
    }
    return {};
}

QString fileExtension(Format format)
{
    switch (format) {
    case Format::BibTeX:
        return QStringLiteral("bib");
    case Format::Ris:
        return QStringLiteral("ris");
    case Format::CslJson:
        return QStringLiteral("json");
    }
    return {};
}

ParseResult parse(Format format, const QString& text)
{
    switch (format) {
    case Format::BibTeX:
        return bibtex::read(text);
    case Format::Ris:
        return ris::read(text);
    case Format::CslJson:
        return csljson::read(text);
    }
    return {};
}

} // namespace quirelle::interchange
