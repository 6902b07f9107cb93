// Reads the query texts the program is written in (square-bracket names, '...' text values,
// `like` with the dialect's wildcards, letter case ignored in names and text comparisons) and
// turns them into SQLite statements.
#pragma once

#include "db/tableinfo.h"

#include <QString>
#include <QStringList>
#include <QVariant>

#include <functional>
#include <vector>

namespace quirelle::db {

struct TranslatedSelect
{
    QString table;          // the stored name of the table read
    bool updatable = false; // `select *` from one table: rows are addressed by their row number
    QString sql;            // updatable: the row numbers in the query's order; else the values
    QString rowsSql;        // updatable: sql after its SELECT list ("FROM ... ORDER BY ...")
    QString countSql;       // updatable: the number of rows the query returns
    bool filtered = false;  // updatable: a condition chooses the rows (counting reads them all)
    QString existsSql;      // updatable: one row when the query returns any
    QStringList columns;    // names of the values selected, when not updatable
    // The values of the statement's parameters, in order. Every text value of the query, a
    // literal between quotes or a `?` of the caller's, reaches SQLite bound, never as SQL text.
    std::vector<QVariant> bindings;
};

using TableLookup = std::function<const TableInfo&(const QString& name)>;

enum class Dialect;

// Throws DbError (err::Syntax, err::UnknownField, or what `lookup` throws). Each `?` of the
// query takes the next value of `params`; a query with more `?` than values fails. The
// statements are written in `dialect`'s SQL (SQLite's unless told).
TranslatedSelect translateSelect(const QString& query, const TableLookup& lookup,
                                 const QVariantList& params = {});
TranslatedSelect translateSelect(const QString& query, const TableLookup& lookup,
                                 const QVariantList& params, Dialect dialect);

// Writes a name as an SQLite identifier.
QString sqliteName(const QString& name);

} // namespace quirelle::db
