// The shared record set routines and their query texts.
#include "db/sharedqueries.h"

#include "app/services.h"
#include "db/globals.h"

namespace quirelle {

bool openQuery(db::Recordset& rs, const QString& query)
{
    rs = project().OpenRecordset(query);
    if (rs.RecordCount() > 0) {
        rs.MoveLast();
        rs.MoveFirst();
    }
    return rs.RecordCount() >= 1;
}

namespace {

QString id(qint32 value)
{
    return QString::number(value);
}

} // namespace

bool getAllAuthors()
{
    return openQuery(globals().rsAuthors,
                     QStringLiteral("select * from [Authors] order by [Surname];"));
}

bool getAuthor(qint32 authorId)
{
    return openQuery(globals().rsAuthors,
                     QStringLiteral("select * from [Authors] where [Author ID] = ") + id(authorId) +
                         QStringLiteral(" order by [Surname];"));
}

bool getAllKeywords()
{
    return openQuery(globals().rsKeywords,
                     QStringLiteral("select * from [Keywords] order by [Keyword];"));
}

bool getKeyword(qint32 keywordId)
{
    return openQuery(globals().rsKeywords,
                     QStringLiteral("select * from [Keywords] where [Keyword ID] = ") +
                         id(keywordId) + QStringLiteral(" order by [Keyword];"));
}

bool getAllModels()
{
    return openQuery(globals().rsModels,
                     QStringLiteral("select * from [Models] order by [Model];"));
}

bool getModel(qint32 modelId)
{
    return openQuery(globals().rsModels,
                     QStringLiteral("select * from [Models] where [Model ID] = ") + id(modelId) +
                         QStringLiteral(" order by [Model];"));
}

void getAllPapers()
{
    openQuery(globals().rsPapers, QStringLiteral("select * from [papers];"));
}

bool getPaper(qint32 paperId)
{
    return openQuery(globals().rsPapers,
                     QStringLiteral("select * from [Papers] where [Paper ID] = ") + id(paperId) +
                         QStringLiteral(";"));
}

void getAllMeetings()
{
    openQuery(globals().rsMeetings, QStringLiteral("select * from [meeting];"));
}

bool getAllPaperAuthors()
{
    return openQuery(globals().rsPaperAuthors,
                     QStringLiteral("select * from [Paper Authors List];"));
}

bool getPaperAuthors(qint32 paperId)
{
    return openQuery(globals().rsPaperAuthors,
                     QStringLiteral("select * from [Paper Authors List] where [paper ID] = '") +
                         id(paperId) + QStringLiteral("';"));
}

bool getPaperKeywords(qint32 paperId)
{
    return openQuery(globals().rsPaperKeywords,
                     QStringLiteral("select * from [Paper Keywords List] where [paper ID] = '") +
                         id(paperId) + QStringLiteral("';"));
}

bool getPaperModels(qint32 paperId)
{
    return openQuery(globals().rsPaperModels,
                     QStringLiteral("select * from [Paper Models List] where [paper ID] = '") +
                         id(paperId) + QStringLiteral("';"));
}

bool getPaperReferences(qint32 paperId)
{
    return openQuery(globals().rsPaperReferences,
                     QStringLiteral("select * from [Paper References List] where [paper ID] = '") +
                         id(paperId) + QStringLiteral("';"));
}

bool getPaperStatements(qint32 paperId)
{
    return openQuery(globals().rsPaperStatements,
                     QStringLiteral("select * from [Paper Statements List] where [paper ID] = '") +
                         id(paperId) + QStringLiteral("';"));
}

bool getMaster()
{
    auto& rs = globals().rsMaster;
    rs = project().OpenRecordset(QStringLiteral("select * from [Master];"));
    if (rs.RecordCount() > 1)
        services::MsgBox(QStringLiteral("Error - found more than one Master"),
                         services::vbCritical);
    return rs.RecordCount() >= 1;
}

void openAllLists()
{
    Globals& g = globals();
    getAllAuthors();
    getAllPapers();
    getAllModels();
    getAllKeywords();
    getAllPaperAuthors();
    openQuery(g.rsPaperKeywords, QStringLiteral("select * from [Paper Keywords List];"));
    openQuery(g.rsPaperModels, QStringLiteral("select * from [Paper Models List];"));
    openQuery(g.rsPaperReferences, QStringLiteral("select * from [Paper References List];"));
    openQuery(g.rsPaperStatements, QStringLiteral("select * from [Paper Statements List];"));
    getMaster();
}

} // namespace quirelle
