// The paper window's queries and writes. They work through the shared record sets where the
// window always has (so that what they hold afterwards is what it always was), and through
// record sets of their own for everything else.
#include "paper/data/paperqueries.h"

#include "db/dberror.h"
#include "db/listline.h"
#include "db/project.h"
#include "db/sharedqueries.h"
#include "interchange/data/extrafields.h"
#include "paper/data/paperfiles.h"

#include <unordered_set>

namespace quirelle::paper {

namespace {

QString paperLine(db::Recordset& rs)
{
    return ListLine::format(rs.Fields(QStringLiteral("Paper ID")).toLong(),
                            rs.Fields(QStringLiteral("Title")).text());
}

// Opens paper `id` into rsPapers; true when it is stored.
bool openPaperRow(qint32 id)
{
    return openQuery(project().rsPapers,
                     QStringLiteral("select * from [papers] where [Paper ID] = ?;"), {id});
}

[[noreturn]] void paperGone(const QString& what)
{
    throw db::DbError(PaperGone, QStringLiteral("The paper is no longer in the project (another "
                                                "copy of the program may have deleted it): the "
                                                "%1 was not stored.")
                                     .arg(what));
}

struct LinkTable
{
    bool (*open)(qint32); // the shared routine that opens the paper's rows of the table
    db::Recordset Project::*rows;
    const char* field;
    const char* noun;
};

LinkTable linkTable(Link link)
{
    switch (link) {
    case Link::Author:
        return {getPaperAuthors, &Project::rsPaperAuthors, "Author ID", "author"};
    case Link::Keyword:
        return {getPaperKeywords, &Project::rsPaperKeywords, "Keywords ID", "keyword"};
    case Link::Model:
        return {getPaperModels, &Project::rsPaperModels, "Model ID", "model"};
    case Link::Reference:
        break;
    }
    return {getPaperReferences, &Project::rsPaperReferences, "Reference ID", "reference"};
}

} // namespace

bool openPaper(qint32 paperId)
{
    if (!getPaper(paperId))
        return false;
    getPaperAuthors(paperId);
    getPaperKeywords(paperId);
    getPaperModels(paperId);
    getPaperReferences(paperId);
    return true;
}

LinkLines linkLines(qint32 paperId)
{
    Project& p = project();
    db::ReadTransaction reading(p.db());
    LinkLines out;
    getPaperAuthors(paperId);
    db::forEachRow(p.rsPaperAuthors, [&] {
        if (const auto id = db::linkedId(p.rsPaperAuthors, QStringLiteral("Author ID")))
            if (getAuthor(*id))
                out.authors << ListLine::format(
                    *id, p.rsAuthors.Fields(QStringLiteral("Surname")).text() +
                             QStringLiteral(", ") +
                             p.rsAuthors.Fields(QStringLiteral("Forenames")).text());
    });
    getPaperKeywords(paperId);
    db::forEachRow(p.rsPaperKeywords, [&] {
        if (const auto id = db::linkedId(p.rsPaperKeywords, QStringLiteral("Keywords ID")))
            if (getKeyword(*id))
                out.keywords << ListLine::format(
                    *id, p.rsKeywords.Fields(QStringLiteral("Keyword")).text() +
                             QStringLiteral(" : ") +
                             p.rsKeywords.Fields(QStringLiteral("Definition")).text());
    });
    getPaperModels(paperId);
    db::forEachRow(p.rsPaperModels, [&] {
        if (const auto id = db::linkedId(p.rsPaperModels, QStringLiteral("Model ID")))
            if (getModel(*id))
                out.models << ListLine::format(*id,
                                               p.rsModels.Fields(QStringLiteral("Model")).text());
    });
    getPaperReferences(paperId);
    db::forEachRow(p.rsPaperReferences, [&] {
        if (const auto id = db::linkedId(p.rsPaperReferences, QStringLiteral("Reference ID")))
            if (getPaper(*id))
                out.references << paperLine(p.rsPapers);
    });
    getPaperStatements(paperId);
    db::forEachRow(p.rsPaperStatements, [&] {
        out.statements << p.rsPaperStatements.Fields(QStringLiteral("Statements ID")).text() +
                              QStringLiteral(" : ") +
                              p.rsPaperStatements.Fields(QStringLiteral("Statement")).text();
    });
    return out;
}

QStringList otherWorks(qint32 paperId, qint32 shown)
{
    Project& p = project();
    db::ReadTransaction reading(p.db());
    // Papers already listed, the shown one first; any number fits.
    std::unordered_set<qint32> listed{shown};
    QStringList lines;
    getPaperAuthors(paperId);
    db::forEachRow(p.rsPaperAuthors, [&] {
        db::Recordset byAuthor = p.db().OpenRecordset(
            QStringLiteral("select * from [Paper Authors List] where [Author ID] = ?;"),
            {p.rsPaperAuthors.Fields(QStringLiteral("Author ID")).text()});
        db::forEachRow(byAuthor, [&] {
            const auto other = db::linkedId(byAuthor, QStringLiteral("Paper ID"));
            if (!other || !listed.insert(*other).second)
                return;
            if (openPaperRow(*other))
                lines << paperLine(p.rsPapers);
        });
    });
    return lines;
}

QStringList citations(qint32 shown)
{
    Project& p = project();
    db::ReadTransaction reading(p.db());
    QStringList lines;
    openQuery(p.rsPaperReferences,
              QStringLiteral("select * from [Paper References List] where [Reference ID] = ?;"),
              {shown});
    // A paper that cites this one twice is listed twice.
    db::forEachRow(p.rsPaperReferences, [&] {
        if (const auto citing = db::linkedId(p.rsPaperReferences, QStringLiteral("Paper ID")))
            if (openPaperRow(*citing))
                lines << paperLine(p.rsPapers);
    });
    return lines;
}

void addLink(Link link, qint32 paperId, const QString& idText)
{
    Project& p = project();
    const LinkTable t = linkTable(link);
    db::Transaction transaction(p.db());
    // A link is never stored for a paper that no longer exists: it could never be reached.
    if (!openPaperRow(paperId))
        paperGone(QString::fromLatin1(t.noun) + QStringLiteral(" link"));
    t.open(paperId);
    db::Recordset& rows = p.*(t.rows);
    rows.AddNew();
    rows.Fields(QStringLiteral("Paper ID")) = QString::number(paperId);
    rows.Fields(QString::fromLatin1(t.field)) = idText;
    rows.Update();
    transaction.commit();
}

qint32 addPaper(const QString& title)
{
    db::Recordset& rs = project().rsPapers;
    getPaper(0); // no paper has the number 0: the table, without reading its rows
    rs.AddNew();
    rs.Fields(QStringLiteral("Title")) = title;
    rs.Update();
    // The number of the row just stored: another paper may carry the same title.
    rs.setBookmark(rs.LastModified());
    return rs.Fields(QStringLiteral("Paper ID")).toLong();
}

qint32 addQuotation(qint32 paperId, const QString& statement)
{
    Project& p = project();
    db::Transaction transaction(p.db());
    if (!openPaperRow(paperId))
        paperGone(QStringLiteral("quotation"));
    db::Recordset& rs = p.rsPaperStatements;
    getPaperStatements(paperId);
    rs.AddNew();
    rs.Fields(QStringLiteral("Paper ID")) = QString::number(paperId);
    rs.Fields(QStringLiteral("Statement")) = statement;
    rs.Update();
    transaction.commit();
    // The number of the row just stored: the same quotation may be stored already.
    rs.setBookmark(rs.LastModified());
    return rs.Fields(QStringLiteral("Statements ID")).toLong();
}

bool saveDetail(qint32 paperId, const QString& field, const QString& text)
{
    db::Recordset& rs = project().rsPapers;
    if (!openPaperRow(paperId))
        return false;
    rs.Edit();
    rs.Fields(field) = text;
    rs.Update();
    return true;
}

void deletePaper(qint32 paperId)
{
    Project& p = project();
    // The paper goes with all its link rows and quotations, or nothing goes.
    db::Transaction transaction(p.db());
    if (getPaper(paperId))
        p.rsPapers.Delete();
    const auto deleteRows = [paperId](bool (*open)(qint32), db::Recordset& rs) {
        if (!open(paperId))
            return;
        const int count = rs.RecordCount();
        for (int i = 0; i < count; ++i) {
            rs.Delete();
            rs.MoveNext();
        }
    };
    deleteRows(getPaperAuthors, p.rsPaperAuthors);
    deleteRows(getPaperKeywords, p.rsPaperKeywords);
    deleteRows(getPaperModels, p.rsPaperModels);
    deleteRows(getPaperReferences, p.rsPaperReferences);
    deleteRows(getPaperStatements, p.rsPaperStatements);
    // Values kept beside the described fields (a full title, a DOI) go with the paper.
    interchange::deleteExtraFields(p.db(), paperId);
    const QStringList copies = deletePaperFileRows(p.db(), FileFolders(p.file()), paperId);
    transaction.commit();
    // Attached copies go only once nothing can bring their rows back.
    moveToTrash(copies);
}

} // namespace quirelle::paper
