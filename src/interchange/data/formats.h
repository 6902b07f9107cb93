// The reference formats the program reads and writes, chosen by name or by file extension, and
// the progress callback that imports and exports report to.
#pragma once

#include "interchange/data/parseresult.h"

#include <QString>
#include <QStringView>

#include <functional>
#include <optional>

namespace quirelle::interchange {

enum class Format { BibTeX, Ris, CslJson };

// "bibtex", "ris" or "csljson" (letter case aside); nothing for other names.
std::optional<Format> formatFromName(QStringView name);
// By the file's extension: .bib, .ris, .json.
std::optional<Format> formatFromFileName(const QString& path);
QString formatName(Format format);
// The usual extension, without the dot.
QString fileExtension(Format format);

// Called as the work goes on with what is done of how much; returning false cancels the work.
using Progress = std::function<bool(qsizetype done, qsizetype total)>;

// The entries of a file's text in the given format.
ParseResult parse(Format format, const QString& text);

} // namespace quirelle::interchange
