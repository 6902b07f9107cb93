// The project's fixed queries. Each routine opens its query on the project database into a
// record set of the caller's and leaves the first row current; those with a result report
// whether any row was found. No record set is shared: no routine depends on what another left.
#pragma once

#include <QString>
#include <QVariantList>
#include <QtGlobal>

namespace quirelle {

namespace db {
class Recordset;
}

// The tables that link a paper to its authors, keywords, models, references and quotations.
enum class PaperList { Authors, Keywords, Models, References, Statements };

bool getAllAuthors(db::Recordset& rs);
bool getAuthor(db::Recordset& rs, qint32 id);
bool getAllKeywords(db::Recordset& rs);
bool getKeyword(db::Recordset& rs, qint32 id);
bool getAllModels(db::Recordset& rs);
bool getModel(db::Recordset& rs, qint32 id);
bool getAllPapers(db::Recordset& rs);
bool getPaper(db::Recordset& rs, qint32 id);
// The rows of `list` that belong to paper `paperId`.
bool getPaperList(db::Recordset& rs, PaperList list, qint32 paperId);
// The name of the table of `list`.
QString paperListTable(PaperList list);
// Opens the Master row without moving and returns how many rows the table has: more than one is
// an error the caller reports (masterWarning).
int getMaster(db::Recordset& rs);
// Reads every list of the project once (a file that cannot be read fails here, as it is
// opened); returns getMaster's count.
int openAllLists();

// The message for a Master table of more than one row.
inline const char* masterWarning = "Error - found more than one Master";

// Opens `query` on the project database into `rs`, completes its row count (move to the last
// row and back to the first) and reports whether it holds a row.
bool openQuery(db::Recordset& rs, const QString& query, const QVariantList& params = {});

} // namespace quirelle
