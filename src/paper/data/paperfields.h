// A paper's extra fields as the "More" tab edits them: each a name and a value in
// [Paper Extra Fields], one transaction per change.
#pragma once

#include "db/database.h"

#include <QString>

#include <vector>

namespace quirelle::paper {

struct ExtraField
{
    QString name;
    QString value;
};

// The paper's extra fields in the order they were stored.
std::vector<ExtraField> extraFields(db::Database& database, qint32 paperId);

// Field names are letters, digits, '-' and '_'.
bool isFieldName(const QString& name);

// Stores `value` in the paper's field `name`, adding the field when the paper has none of that
// name. Fails with err::ReadOnly on a project open read-only, or with the engine's error.
void storeExtraField(db::Database& database, qint32 paperId, const QString& name,
                     const QString& value);
// Renames the paper's field; err::Duplicate when another field has the new name (letter case
// aside).
void renameExtraField(db::Database& database, qint32 paperId, const QString& from,
                      const QString& to);
void deleteExtraField(db::Database& database, qint32 paperId, const QString& name);

} // namespace quirelle::paper
