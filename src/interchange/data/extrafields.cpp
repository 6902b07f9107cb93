// Creating and clearing the extra fields of papers.
#include "interchange/data/extrafields.h"

#include "db/recordset.h"
#include "db/schema.h"

namespace quirelle::interchange {

db::TableDef extraFieldsTableDef()
{
    for (const db::TableDef& t : db::addedTables()) {
        if (t.name == ExtraFieldsTable)
            return t;
    }
    return {};
}

void ensureExtraFieldsTable(db::Database& database)
{
    if (!database.tableExists(ExtraFieldsTable))
        database.appendTableDef(extraFieldsTableDef());
}

void deleteExtraFields(db::Database& database, qint32 paperId)
{
    if (!database.tableExists(ExtraFieldsTable))
        return;
    db::Recordset rs = database.OpenRecordset(
        QStringLiteral("select * from [Paper Extra Fields] where [Paper ID] = ?;"),
        {QString::number(paperId)});
    const int count = rs.RecordCount();
    for (int i = 0; i < count; ++i) {
        rs.Delete();
        rs.MoveNext();
    }
}

} // namespace quirelle::interchange
