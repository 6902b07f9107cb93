// The PostgreSQL driver of the engine (internal): connections to a project's database on a
// server, and the server objects a project needs beside its tables.
#pragma once

#include <QString>

#include <memory>

namespace quirelle::db {

class Connection;
class Database;

// Connects to the database at the server address (a "postgresql://" address, which libpq
// reads with everything it allows: PGPASSWORD, a .pgpass file, TLS settings and so on). The
// password of an address given with one is kept by this process, so that an address without it
// (Database::path()) connects again. Read-only when asked, when the role may not change the
// tables, or when the server only reads.
std::shared_ptr<Connection> openServer(const QString& address, bool readOnly);

// Creates what the tables of a project on a server rely on: the functions that compare and
// order text by the dialect's rules, the log of changes behind tableVersion, and the trigger
// functions that keep it and tell other members. Fails when the database is not in UTF-8.
void createServerHelpers(Database& database);
// Indexes by the trigrams of the folded text of the fields the searches look inside, so that a
// search for a word anywhere in them need not read every row. Where the server lacks the
// trigram extension (or the user may not add it), the searches read every row instead.
void createServerSearchIndexes(Database& database);

} // namespace quirelle::db
