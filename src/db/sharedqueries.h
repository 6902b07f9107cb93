// The project's fixed queries. The open...Row and openPaperList routines open a query into a
// record set of the caller's; the get... routines open theirs into the shared record sets. Each
// leaves the first row current; those with a result report whether any row was found.
#pragma once

#include <QVariantList>
#include <QtGlobal>

namespace quirelle {

namespace db {
class Recordset;
}

// The tables that link a paper to its authors, keywords, models, references and quotations.
enum class PaperList { Authors, Keywords, Models, References, Statements };

// Opens the row of author, keyword, model or paper `id` into `rs`.
bool openAuthorRow(db::Recordset& rs, qint32 id);
bool openKeywordRow(db::Recordset& rs, qint32 id);
bool openModelRow(db::Recordset& rs, qint32 id);
bool openPaperRow(db::Recordset& rs, qint32 id);
// Opens the rows of `list` that belong to paper `paperId` into `rs`.
bool openPaperList(db::Recordset& rs, PaperList list, qint32 paperId);

bool getAllAuthors();
bool getAuthor(qint32 id);
bool getAllKeywords();
bool getAllModels();
void getAllPapers();
bool getPaper(qint32 id);
bool getAllPaperAuthors();
bool getPaperAuthors(qint32 id);
bool getPaperStatements(qint32 id);
// Opens the Master row without moving and returns how many rows the table has: more than one is
// an error the caller reports (masterWarning).
int getMaster();
// Opens every shared list; returns getMaster's count.
int openAllLists();

// The message for a Master table of more than one row.
inline const char* masterWarning = "Error - found more than one Master";

// Opens `query` on the project database into `rs`, completes its row count (move to the last
// row and back to the first) and reports whether it holds a row.
bool openQuery(db::Recordset& rs, const QString& query, const QVariantList& params = {});

} // namespace quirelle
