// The program's shared state: the open project database, the record sets that several windows
// share, and the few values every window reads. They live in one struct with a visible
// lifetime: `connect` fills it, `exitApplication` releases it, tests reset it.
#pragma once

#include "db/database.h"
#include "db/recordset.h"

#include <QString>

#include <memory>

namespace quirelle {

struct Globals
{
    std::unique_ptr<db::Database> dbProject;

    db::Recordset rsAuthors;
    db::Recordset rsKeywords;
    db::Recordset rsModels;
    db::Recordset rsPapers;
    db::Recordset rsMeetings;
    db::Recordset rsMaster;
    db::Recordset rsPaperAuthors;
    db::Recordset rsPaperKeywords;
    db::Recordset rsPaperModels;
    db::Recordset rsPaperReferences;
    db::Recordset rsPaperStatements;
    db::Recordset rsTimeManagement;
    db::Recordset rsQuery;
    db::Recordset rsSubQuery;
    db::Recordset rsLookup;
    db::Recordset rsTimeSheet;

    QString projectFilePath; // the open project's path without ".mdb"
    QString appPath;         // the program's folder
    int formLeft = 0;        // set by positionForm
    int formTop = 0;
    qint32 previousPaperID = 0; // the paper "<< doc" returns to; -100: opened from the report

    // Closes every record set, then the database.
    void releaseAll();
};

Globals& globals();

// The open project database; fails with an engine error when none is open.
db::Database& project();

} // namespace quirelle
