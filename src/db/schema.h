// The twelve tables of a project database, described once as data, and their creation.
#pragma once

#include "db/database.h"

#include <QString>

#include <vector>

namespace quirelle::db {

// The tables in their order of creation.
const std::vector<TableDef>& projectTables();

// Tables that later versions of the program added beside those; a project file made by an older
// version gets them when it is opened.
const std::vector<TableDef>& addedTables();
void createMissingAddedTables(Database& database);

// True when the database has a table of that name (letter case ignored).
bool tableExists(const Database& database, const QString& name);

// Creates the table from its description.
void createTable(Database& database, const TableDef& table);

// Creates every project table that the database does not have yet; existing ones keep their rows.
void createMissingTables(Database& database);

// Creates the file `pathWithoutExtension` + ".mdb" with all twelve tables (and the added ones)
// and closes it again.
// Fails (err::DatabaseExists) when the file is already there.
void createProjectFile(const QString& pathWithoutExtension);

// Creates every project table (the added ones too), with what the server needs beside them, in
// the empty database at the server address `address`, all or nothing. Fails with an engine error
// when the database already has any of them (err::TableExists) or may not be written.
void createServerProject(const QString& address);

} // namespace quirelle::db
