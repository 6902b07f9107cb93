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

// The pages as a copy of a project reads them on a server, and the fields it writes.
QString readPagesSql();
QStringList pageFields();
// The table of the pages' words on a server, and its fields: written with the pages, from the
// values prepareServerPage adds after pageFields (the page's row is the first of both).
QString wordsTable();
QStringList wordsFields();
// Empties the pages for a copy, and makes the index of their words once they are all there: where
// this member may (the tables' owner), the index is taken away meanwhile, and made at once it
// takes half as long as kept page by page.
void clearPages(db::Database& database);
void indexPages(db::Database& database);
// Makes a page read from a project (its row and text) what a server keeps, and adds the values
// of its words' fields past the row: its length in words and its words.
void prepareServerPage(QVariantList& page);

} // namespace server

} // namespace quirelle::fulltext
