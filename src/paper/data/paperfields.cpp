// Reading and writing a paper's extra fields one by one.
#include "paper/data/paperfields.h"

#include "db/dberror.h"
#include "db/recordset.h"

#include <QRegularExpression>

namespace quirelle::paper {

namespace {

db::Recordset openFields(db::Database& database, qint32 paperId)
{
    return database.OpenRecordset(
        QStringLiteral("select * from [Paper Extra Fields] where [Paper ID] = ?;"),
        {QString::number(paperId)});
}

// Moves to the row of field `name` (letter case aside); false when there is none.
bool findField(db::Recordset& rs, const QString& name)
{
    const int count = rs.RecordCount();
    if (count == 0)
        return false;
    rs.MoveFirst();
    for (int i = 0; i < count; ++i) {
        if (rs.Fields(QStringLiteral("Field Name")).text().compare(name, Qt::CaseInsensitive) == 0)
            return true;
        rs.MoveNext();
    }
    return false;
}

void refuseReadOnly(const db::Database& database)
{
    if (database.readOnly())
        throw db::DbError(db::err::ReadOnly,
                          QStringLiteral("The project is open read-only: the field was not "
                                         "stored."));
}

} // namespace

std::vector<ExtraField> extraFields(db::Database& database, qint32 paperId)
{
    std::vector<ExtraField> fields;
    if (!database.tableExists(QStringLiteral("Paper Extra Fields")))
        return fields;
    db::ReadTransaction read(database);
    db::Recordset rs = openFields(database, paperId);
    db::forEachRow(rs, [&] {
        fields.push_back({rs.Fields(QStringLiteral("Field Name")).text(),
                          rs.Fields(QStringLiteral("Value")).text()});
    });
    return fields;
}

bool isFieldName(const QString& name)
{
    static const QRegularExpression pattern(QStringLiteral("^[A-Za-z0-9_-]+$"));
    return pattern.match(name).hasMatch();
}

void storeExtraField(db::Database& database, qint32 paperId, const QString& name,
                     const QString& value)
{
    refuseReadOnly(database);
    db::Transaction transaction(database);
    db::Recordset rs = openFields(database, paperId);
    if (findField(rs, name)) {
        rs.Edit();
    } else {
        rs.AddNew();
        rs.Fields(QStringLiteral("Paper ID")) = QString::number(paperId);
        rs.Fields(QStringLiteral("Field Name")) = name;
    }
    rs.Fields(QStringLiteral("Value")) = value;
    rs.Update();
    transaction.commit();
}

void renameExtraField(db::Database& database, qint32 paperId, const QString& from,
                      const QString& to)
{
    refuseReadOnly(database);
    db::Transaction transaction(database);
    db::Recordset rs = openFields(database, paperId);
    if (from.compare(to, Qt::CaseInsensitive) != 0 && findField(rs, to))
        throw db::DbError(db::err::Duplicate,
                          QStringLiteral("The paper already has a field named '%1'.").arg(to));
    if (!findField(rs, from)) {
        rs.AddNew();
        rs.Fields(QStringLiteral("Paper ID")) = QString::number(paperId);
        rs.Fields(QStringLiteral("Value")) = QString();
    } else {
        rs.Edit();
    }
    rs.Fields(QStringLiteral("Field Name")) = to;
    rs.Update();
    transaction.commit();
}

void deleteExtraField(db::Database& database, qint32 paperId, const QString& name)
{
    refuseReadOnly(database);
    db::Transaction transaction(database);
    db::Recordset rs = openFields(database, paperId);
    if (findField(rs, name))
        rs.Delete();
    transaction.commit();
}

} // namespace quirelle::paper
