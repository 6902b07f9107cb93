// The table of extra fields per paper: every imported value that has no described field or does
// not fit one, kept so that an export writes it back.
#pragma once

#include "db/database.h"

#include <QString>

namespace quirelle::interchange {

inline constexpr QLatin1String ExtraFieldsTable("Paper Extra Fields");

// The table's description: [Paper ID] (the paper's id as decimal text, indexed), [Field Name]
// and [Value] ("" allowed).
db::TableDef extraFieldsTableDef();

// Creates the table when the project file does not have it yet (a file made before it existed).
void ensureExtraFieldsTable(db::Database& database);

// Removes the paper's extra fields. Runs inside the caller's transaction, when there is one, so
// that a paper and its extra fields go together.
void deleteExtraFields(db::Database& database, qint32 paperId);

} // namespace quirelle::interchange
