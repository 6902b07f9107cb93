// Creating and clearing the extra fields of papers.
#include "interchange/data/extrafields.h"

#include "db/recordset.h"

namespace quirelle::interchange {

db::TableDef extraFieldsTableDef()
{
    db::TableDef t;
    t.name = ExtraFieldsTable;
    db::FieldDef paper;
    paper.name = QStringLiteral("Paper ID");
    paper.type = db::FieldType::Text;
    paper.size = 50;
    db::FieldDef name;
    name.name = QStringLiteral("Field Name");
    name.type = db::FieldType::Text;
    name.size = 100;
    db::FieldDef value;
    value.name = QStringLiteral("Value");
    value.type = db::FieldType::Memo;
    value.allowZeroLength = true;
    t.fields = {paper, name, value};
    t.indexes = {{QStringLiteral("Paper ID Index"), QStringLiteral("Paper ID"), false}};
    return t;
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
        QStringLiteral("select * from [Paper Extra Fields] where [Paper ID] = '%1';").arg(paperId));
    const int count = rs.RecordCount();
    for (int i = 0; i < count; ++i) {
        rs.Delete();
        rs.MoveNext();
    }
}

} // namespace quirelle::interchange
