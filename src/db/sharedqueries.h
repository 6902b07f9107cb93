// The routines that fill the shared record sets with their fixed queries. Each opens its query
// on the project database into its record set, completes the row count and leaves the first
// row current; those with a result report whether any row was found.
#pragma once

#include <QVariantList>
#include <QtGlobal>

namespace quirelle {

bool getAllAuthors();
bool getAuthor(qint32 id);
bool getAllKeywords();
bool getKeyword(qint32 id);
bool getAllModels();
bool getModel(qint32 id);
void getAllPapers();
bool getPaper(qint32 id);
void getAllMeetings();
bool getAllPaperAuthors();
bool getPaperAuthors(qint32 id);
bool getPaperKeywords(qint32 id);
bool getPaperModels(qint32 id);
bool getPaperReferences(qint32 id);
bool getPaperStatements(qint32 id);
// Opens the Master row without moving and returns how many rows the table has: more than one is
// an error the caller reports (masterWarning).
int getMaster();
// Opens every shared list; returns getMaster's count.
int openAllLists();

// The message for a Master table of more than one row.
inline const char* masterWarning = "Error - found more than one Master";

namespace db {
class Recordset;
}
// Opens `query` on the project database into `rs`, completes its row count (move to the last
// row and back to the first) and reports whether it holds a row.
bool openQuery(db::Recordset& rs, const QString& query, const QVariantList& params = {});

} // namespace quirelle
