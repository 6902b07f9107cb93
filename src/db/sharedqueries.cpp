// The project's fixed query texts.
#include "db/sharedqueries.h"

#include "db/project.h"

namespace quirelle {

bool openQuery(db::Recordset& rs, const QString& query, const QVariantList& params)
{
    rs = project().db().OpenRecordset(query, params);
    // Moving to the last row and back to the first completes the count in the engine the
    // program was written for; this engine always knows it, so the first row is enough.
    if (rs.isEmpty())
        return false;
    rs.MoveFirst();
    return true;
}

bool getAllAuthors(db::Recordset& rs)
{
    return openQuery(rs, QStringLiteral("select * from [Authors] order by [Surname];"));
}

bool getAuthor(db::Recordset& rs, qint32 id)
{
    return openQuery(
        rs, QStringLiteral("select * from [Authors] where [Author ID] = ? order by [Surname];"),
        {id});
}

bool getAllKeywords(db::Recordset& rs)
{
    return openQuery(rs, QStringLiteral("select * from [Keywords] order by [Keyword];"));
}

bool getKeyword(db::Recordset& rs, qint32 id)
{
    return openQuery(
        rs, QStringLiteral("select * from [Keywords] where [Keyword ID] = ? order by [Keyword];"),
        {id});
}

bool getAllModels(db::Recordset& rs)
{
    return openQuery(rs, QStringLiteral("select * from [Models] order by [Model];"));
}

bool getModel(db::Recordset& rs, qint32 id)
{
    return openQuery(
        rs, QStringLiteral("select * from [Models] where [Model ID] = ? order by [Model];"), {id});
}

bool getAllPapers(db::Recordset& rs)
{
    return openQuery(rs, QStringLiteral("select * from [papers];"));
}

bool getPaper(db::Recordset& rs, qint32 id)
{
    return openQuery(rs, QStringLiteral("select * from [Papers] where [Paper ID] = ?;"), {id});
}

namespace {

const char* const paperLists[] = {"Paper Authors List", "Paper Keywords List", "Paper Models List",
                                  "Paper References List", "Paper Statements List"};

} // namespace

QString paperListTable(PaperList list)
{
    return QLatin1String(paperLists[static_cast<int>(list)]);
}

bool getPaperList(db::Recordset& rs, PaperList list, qint32 paperId)
{
    // The link tables keep the paper's number as decimal text, and are asked for it as text.
    return openQuery(
        rs, QStringLiteral("select * from [%1] where [paper ID] = ?;").arg(paperListTable(list)),
        {QString::number(paperId)});
}

int getMaster(db::Recordset& rs)
{
    rs = project().db().OpenRecordset(QStringLiteral("select * from [Master];"));
    return rs.RecordCount();
}

int openAllLists()
{
    db::Recordset rs;
    getAllAuthors(rs);
    getAllPapers(rs);
    getAllModels(rs);
    getAllKeywords(rs);
    for (const char* table : paperLists)
        openQuery(rs, QStringLiteral("select * from [%1];").arg(QLatin1String(table)));
    return getMaster(rs);
}

} // namespace quirelle
