// The shared record set routines and their query texts.
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

namespace {

QString id(qint32 value)
{
    return QString::number(value);
}

} // namespace

bool getAllAuthors()
{
    return openQuery(project().rsAuthors,
                     QStringLiteral("select * from [Authors] order by [Surname];"));
}

bool getAuthor(qint32 authorId)
{
    return openQuery(project().rsAuthors,
                     QStringLiteral("select * from [Authors] where [Author ID] = ") + id(authorId) +
                         QStringLiteral(" order by [Surname];"));
}

bool getAllKeywords()
{
    return openQuery(project().rsKeywords,
                     QStringLiteral("select * from [Keywords] order by [Keyword];"));
}

bool getKeyword(qint32 keywordId)
{
    return openQuery(project().rsKeywords,
                     QStringLiteral("select * from [Keywords] where [Keyword ID] = ") +
                         id(keywordId) + QStringLiteral(" order by [Keyword];"));
}

bool getAllModels()
{
    return openQuery(project().rsModels,
                     QStringLiteral("select * from [Models] order by [Model];"));
}

bool getModel(qint32 modelId)
{
    return openQuery(project().rsModels,
                     QStringLiteral("select * from [Models] where [Model ID] = ") + id(modelId) +
                         QStringLiteral(" order by [Model];"));
}

void getAllPapers()
{
    openQuery(project().rsPapers, QStringLiteral("select * from [papers];"));
}

bool getPaper(qint32 paperId)
{
    return openQuery(project().rsPapers,
                     QStringLiteral("select * from [Papers] where [Paper ID] = ") + id(paperId) +
                         QStringLiteral(";"));
}

void getAllMeetings()
{
    openQuery(project().rsMeetings, QStringLiteral("select * from [meeting];"));
}

bool getAllPaperAuthors()
{
    return openQuery(project().rsPaperAuthors,
                     QStringLiteral("select * from [Paper Authors List];"));
}

bool getPaperAuthors(qint32 paperId)
{
    return openQuery(project().rsPaperAuthors,
                     QStringLiteral("select * from [Paper Authors List] where [paper ID] = '") +
                         id(paperId) + QStringLiteral("';"));
}

bool getPaperKeywords(qint32 paperId)
{
    return openQuery(project().rsPaperKeywords,
                     QStringLiteral("select * from [Paper Keywords List] where [paper ID] = '") +
                         id(paperId) + QStringLiteral("';"));
}

bool getPaperModels(qint32 paperId)
{
    return openQuery(project().rsPaperModels,
                     QStringLiteral("select * from [Paper Models List] where [paper ID] = '") +
                         id(paperId) + QStringLiteral("';"));
}

bool getPaperReferences(qint32 paperId)
{
    return openQuery(project().rsPaperReferences,
                     QStringLiteral("select * from [Paper References List] where [paper ID] = '") +
                         id(paperId) + QStringLiteral("';"));
}

bool getPaperStatements(qint32 paperId)
{
    return openQuery(project().rsPaperStatements,
                     QStringLiteral("select * from [Paper Statements List] where [paper ID] = '") +
                         id(paperId) + QStringLiteral("';"));
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
