// The texts of the paper window that are built from its lines: the quotation sentence with its
// author-year key, and the one-line reference. Pure functions, so that their rules can be
// checked on their own. Texts are cut at whole characters: a letter outside the basic plane is
// never split in two.
#pragma once

#include <QString>
#include <QStringList>

namespace quirelle::paper {

// The surname of an author line "[Author ID] : Surname, Forenames": the text after the colon
// and its blank, up to the blank that follows the surname's comma.
QString surnameOfAuthorLine(const QString& line);

// The quotation as the researcher cites it, from the author lines as listed, the year box and
// the stored statement: "Wendrake and Venmoor [WEND98] stated that 'clay remembers'".
QString quotationSentence(const QStringList& authorLines, const QString& year,
                          const QString& statement);

// The statement of a quotation line "[Statements ID] : statement".
QString statementOfLine(const QString& line);

// One author of a reference: the surname, a blank, the first letter of the forenames and a
// full stop.
QString referenceAuthor(const QString& surname, const QString& forenames);

// "Wendrake I., Venmoor K., Signals in Clay, Journal of Small Things, 2003". An empty
// publication name or year keeps its separator; a paper without authors begins with its title.
QString referenceText(const QStringList& authors, const QString& title,
                      const QString& publicationName, const QString& year);

} // namespace quirelle::paper
