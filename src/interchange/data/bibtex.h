// BibTeX and BibLaTeX files: reading entries (macros, concatenation, `crossref` and `xdata`
// inheritance, LaTeX accents, names as BibTeX splits them or in BibLaTeX's `family=` form) and
// writing them back.
#pragma once

#include "interchange/data/parseresult.h"
#include "interchange/data/reference.h"

#include <QString>
#include <QStringView>

#include <vector>

namespace quirelle::interchange {

namespace bibtex {

// Entries that cannot be read, or would take unbounded memory or stack, are problems; macros
// that are not defined are warnings (their names stand as the text).
ParseResult read(QStringView text);

// The entry as BibTeX text, ending in a blank line.
QString write(const Reference& reference);

// A name list ("Last, First and First von Last and {Institution} and others"). With `decode`
// the parts are LaTeX and become Unicode; without, they are taken as they stand.
std::vector<PersonName> parseNames(QStringView list, bool decode, bool* etAl = nullptr);
// A name list BibTeX reads back as the same names; with `encode` the parts are written as LaTeX.
QString formatNames(const std::vector<PersonName>& names, bool etAl, bool encode);

// The field that keeps a value as the file wrote it in LaTeX, beside the field in plain text, when
// its braces keep letters from a style's change of case (`{DNA} of {B}razil`). Written back in
// place of the plain text while that still reads the same.
QString asWrittenName(const QString& field);

// A citation key as BibTeX accepts it: characters it would end the key at become "_".
QString safeKey(const QString& key);

} // namespace bibtex

} // namespace quirelle::interchange
