// The project's fixed query texts and the shared record set routines.
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

bool openAuthorRow(db::Recordset& rs, qint32 id)
{
    return openQuery(
        rs, QStringLiteral("select * from [Authors] where [Author ID] = ? order by [Surname];"),
        {id});
}

bool openKeywordRow(db::Recordset& rs, qint32 id)
{
    return openQuery(
        rs, QStringLiteral("select * from [Keywords] where [Keyword ID] = ? order by [Keyword];"),
        {id});
}

bool openModelRow(db::Recordset& rs, qint32 id)
{
    return openQuery(
        rs, QStringLiteral("select * from [Models] where [Model ID] = ? order by [Model];"), {id});
}

bool openPaperRow(db::Recordset& rs, qint32 id)
{
    return openQuery(rs, QStringLiteral("select * from [Papers] where [Paper ID] = ?;"), {id});
}

bool openPaperList(db::Recordset& rs, PaperList list, qint32 paperId)
{
    static const char* const tables[] = {"Paper Authors List", "Paper Keywords List",
                                         "Paper Models List", "Paper References List",
                                         "Paper Statements List"};
    // The link tables keep the paper's number as decimal text, and are asked for it as text.
    return openQuery(rs,
                     QStringLiteral("select * from [%1] where [paper ID] = ?;")
                         .arg(QLatin1String(tables[static_cast<int>(list)])),
                     {QString::number(paperId)});
}

bool getAllAuthors()
{
    return openQuery(project().rsAuthors,
                     QStringLiteral("select * from [Authors] order by [Surname];"));
}

bool getAuthor(qint32 authorId)
{
    return openAuthorRow(project().rsAuthors, authorId);
}

bool getAllKeywords()
{
    return openQuery(project().rsKeywords,
                     QStringLiteral("select * from [Keywords] order by [Keyword];"));
}

bool getAllModels()
{
    return openQuery(project().rsModels,
                     QStringLiteral("select * from [Models] order by [Model];"));
}

void getAllPapers()
{
    openQuery(project().rsPapers, QStringLiteral("select * from [papers];"));
}

bool getPaper(qint32 paperId)
{
    return openPaperRow(project().rsPapers, paperId);
}

bool getAllPaperAuthors()
{
    return openQuery(project().rsPaperAuthors,
                     QStringLiteral("select * from [Paper Authors List];"));
}

bool getPaperAuthors(qint32 paperId)
{
    return openPaperList(project().rsPaperAuthors, PaperList::Authors, paperId);
}

bool getPaperStatements(qint32 paperId)
{
    return openPaperList(project().rsPaperStatements, PaperList::Statements, paperId);
}

int getMaster()
{
    auto& rs = project().rsMaster;
    rs = project().db().OpenRecordset(QStringLiteral("select * from [Master];"));
    return rs.RecordCount();
}

int openAllLists()
{
    Project& g = project();
    getAllAuthors();
    getAllPapers();
    getAllModels();
    getAllKeywords();
    getAllPaperAuthors();
    openQuery(g.rsPaperKeywords, QStringLiteral("select * from [Paper Keywords List];"));
    openQuery(g.rsPaperModels, QStringLiteral("select * from [Paper Models List];"));
    openQuery(g.rsPaperReferences, QStringLiteral("select * from [Paper References List];"));
    openQuery(g.rsPaperStatements, QStringLiteral("select * from [Paper Statements List];"));
    return getMaster();
}

} // namespace quirelle
