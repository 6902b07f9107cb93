// Copying a whole project from one database to another (a project file or a database on a
// server, either way): every table in one transaction on the destination, each row with the ids
// it has, then the row count and a checksum of every table compared on both sides.
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <functional>
#include <vector>

namespace quirelle::db {

class Database;

// The row count and checksum of one table. The checksum does not depend on the order in which
// the rows are read, so that two engines that return rows in different orders agree.
struct TableSummary
{
    QString table;
    qint64 rows = 0;
    QByteArray checksum; // hexadecimal
    bool operator==(const TableSummary&) const = default;
};

struct CopyResult
{
    bool ok = false;
    QString reason; // for the user, when nothing was copied
    std::vector<TableSummary> tables;
};

enum class CopyMode {
    IntoEmpty,   // a destination that holds a project's rows is refused
    ReplaceRows, // the destination's rows are replaced (restoring a backup copy)
};

// Told the name of each table as its rows are copied.
using CopyProgress = std::function<void(const QString& table)>;

// Whether the database holds anything of a project: a row in any of its tables (a Master row
// without notes aside, which every project that was once open has).
bool holdsProjectRows(Database& database);

// The row count and checksum of a table of the database (the project's own tables only).
TableSummary summarizeTable(Database& database, const QString& table);

// Copies every table of `source` into `destination` in one transaction on the destination. When
// anything fails, or the summaries of the two differ, the transaction is rolled back and
// `reason` says why. The full-text index goes along when both are project files.
CopyResult copyTables(Database& source, Database& destination, CopyMode mode,
                      const CopyProgress& progress = {});

// What the user gives for a project: a server address as it stands, or a project file's path
// with or without ".mdb" (the file's path, with ".mdb").
QString projectLocation(const QString& given);

// Opens `source` (read-only) and `destination` (each a project file's path with ".mdb" or a server
// address) and copies the one into the other. A destination file that does not exist is created,
// and removed again when the copy fails; one that another copy of the program has open is
// refused. Never throws.
CopyResult copyProject(const QString& source, const QString& destination, CopyMode mode,
                       const CopyProgress& progress = {});

} // namespace quirelle::db
