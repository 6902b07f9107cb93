// The full-text index of a shared project, in the server's own text search: the routines of
// fulltextindex.h for a project on a server (they hand over to these), and what a copy of a
// project needs to write its pages there.
#pragma once

#include "fulltext/data/fulltextindex.h"

#include <QVariantList>

namespace quirelle::fulltext {

// What storing a file's reading says of it: "indexed", "could not be read" or "not indexed".
QString indexState(const Extraction& extraction);

namespace server {

void createMissingIndexTables(db::Database& database);
bool hasIndexTables(db::Database& database);
void clearIndex(db::Database& database);
void writeChange(db::Database& database, const IndexChange& change);
std::vector<FullTextHit> searchFullText(db::Database& database, const QString& typed);
QString passage(db::Database& database, const QString& typed, qint64 row);

// The pages as a copy of a project reads, writes and empties them on a server.
QString readPagesSql();
QString insertPageSql();
QString clearPagesSql();
// Makes a page read from a project (its row and text) what a server keeps, and adds the value of
// its words that insertPageSql takes third.
void prepareServerPage(QVariantList& page);

} // namespace server

} // namespace quirelle::fulltext
