// What the paper window reads and writes, without widgets: the lines of its lists, the derived
// lists (citations, other works), the links it adds, the details it saves and the deletion of a
// paper with all its rows. The command-line tool and the exchange formats use the same writes.
#pragma once

#include "db/database.h"

#include <QString>
#include <QStringList>

#include <optional>

namespace quirelle::paper {

// The five lists of a stored paper, as populate fills them: a link row gives a line only when
// the row it points at is still there.
struct LinkLines
{
    QStringList authors;    // "id : Surname, Forenames"
    QStringList keywords;   // "id : Keyword : Definition"
    QStringList models;     // "id : Model"
    QStringList references; // "id : Title"
    QStringList statements; // "id : Statement"
};
// Opens the paper's row into `row`, the caller's; false when the paper is not stored.
bool openPaper(qint32 paperId, db::Recordset& row);
LinkLines linkLines(qint32 paperId);
// The paper's authors as its reference names them ("Surname I."), in the order of its links.
QStringList referenceAuthors(qint32 paperId);

// Other papers of the paper's authors, each once, in the order of the paper's author links and
// then of each author's link rows; the paper `shown` itself is never listed.
QStringList otherWorks(qint32 paperId, qint32 shown);
// Papers whose reference list holds paper `shown`; listed once per such reference row.
QStringList citations(qint32 shown);

// The links a paper can have, and the table and field each is written to.
enum class Link { Author, Keyword, Model, Reference };

// Thrown (as an engine error) when a link or a quotation is asked for a paper that is no longer
// in the project, for instance deleted by another copy of the program meanwhile.
inline constexpr int PaperGone = 3167;

// Writes one link row: [Paper ID] = the paper's number, the link field = `idText` as the user's
// line gave it. Fails with PaperGone (also when the linked row is gone), or with the engine's
// error (3022 for a duplicate).
void addLink(Link link, qint32 paperId, const QString& idText);
// Stores a new paper with `title` and returns its number.
qint32 addPaper(const QString& title);
// Stores a quotation of the paper and returns its number.
qint32 addQuotation(qint32 paperId, const QString& statement);
// Whether a detail was written, and the value the paper holds after the attempt.
struct SavedDetail
{
    enum Outcome { Stored, NoPaper, ChangedMeanwhile };
    Outcome outcome = Stored;
    QString stored;
};
// Writes `text` into `field` of the paper, all or nothing. With `shown`, the value the user saw
// before typing: when the field no longer holds it (someone else saved meanwhile), nothing is
// written and the result carries the value that is stored now.
SavedDetail saveDetail(qint32 paperId, const QString& field, const QString& text,
                       const std::optional<QString>& shown = std::nullopt);
// Deletes the paper with its rows in every link table (where it is the citing paper), its
// quotations, its extra fields and its file rows, all or nothing; then its attached copies go to
// the trash. Returns the copies kept because there was no trash to move them to. Fails with
// PaperGone when the paper is no longer stored.
QStringList deletePaper(qint32 paperId);

} // namespace quirelle::paper
