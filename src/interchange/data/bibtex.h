// BibTeX and BibLaTeX files: reading entries (macros, concatenation, cross-references, LaTeX
// accents, names as BibTeX splits them) and writing them back.
#pragma once

#include "interchange/data/reference.h"

#include <QString>
#include <QStringView>

#include <vector>

namespace quirelle::interchange {

// An entry that could not be read, with the line it starts on and why.
struct ParseProblem
{
    int line = 0;
    QString key;
    QString reason;
};

struct ParseResult
{
    std::vector<Reference> references;
    std::vector<ParseProblem> problems; // entries not read
    std::vector<ParseProblem> warnings; // entries read, though not quite as written
};

namespace bibtex {

ParseResult read(QStringView text);

// The entry as BibTeX text, ending in a blank line.
QString write(const Reference& reference);

// A name list ("Last, First and First von Last and {Institution} and others"). With `decode`
// the parts are LaTeX and become Unicode; without, they are taken as they stand.
std::vector<PersonName> parseNames(QStringView list, bool decode, bool* etAl = nullptr);
// A name list BibTeX reads back as the same names; with `encode` the parts are written as LaTeX.
QString formatNames(const std::vector<PersonName>& names, bool etAl, bool encode);

// A citation key as BibTeX accepts it: characters it would end the key at become "_".
QString safeKey(const QString& key);

} // namespace bibtex

} // namespace quirelle::interchange
