// The one instance of the shared state.
#include "db/globals.h"

#include "db/dberror.h"

namespace quirelle {

Globals& globals()
{
    static Globals g;
    return g;
}

db::Database& project()
{
    auto& db = globals().dbProject;
    if (!db || !db->isOpen())
        throw db::DbError(db::err::DatabaseClosed, QStringLiteral("No project database is open."));
    return *db;
}

void Globals::releaseAll()
{
    for (db::Recordset* rs :
         {&rsAuthors, &rsKeywords, &rsModels, &rsPapers, &rsMeetings, &rsMaster, &rsPaperAuthors,
          &rsPaperKeywords, &rsPaperModels, &rsPaperReferences, &rsPaperStatements,
          &rsTimeManagement, &rsQuery, &rsSubQuery, &rsLookup, &rsTimeSheet}) {
        rs->Close();
    }
    if (dbProject)
        dbProject->Close();
    dbProject.reset();
}

} // namespace quirelle
