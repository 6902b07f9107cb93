// Helpers that place typed text in a query text safely: nothing a user types can change the
// structure of a query.
#pragma once

#include <QString>

namespace quirelle::db {

// The text as a literal of the dialect: between single quotes, each quote inside doubled.
// sqlText("O'Brien") gives 'O''Brien'.
inline QString sqlText(const QString& value)
{
    QString quoted = value;
    quoted.replace(QLatin1Char('\''), QLatin1String("''"));
    return QLatin1Char('\'') + quoted + QLatin1Char('\'');
}

// A `like` pattern that finds `typed` anywhere in a text: '*' + typed + '*' as a literal. The
// wildcards the user typed (* ? # [...]) keep working; a quote is matched as a character.
inline QString sqlContainsPattern(const QString& typed)
{
    return sqlText(QLatin1Char('*') + typed + QLatin1Char('*'));
}

} // namespace quirelle::db
