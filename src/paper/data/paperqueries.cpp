// The paper window's queries and writes. Each opens record sets of its own, so that none
// depends on what another left behind.
#include "paper/data/paperqueries.h"

#include "db/dberror.h"
#include "db/listline.h"
#include "db/project.h"
#include "db/sharedqueries.h"
#include "interchange/data/extrafields.h"
#include "paper/data/paperfiles.h"
#include "paper/data/papertext.h"

#include <functional>
#include <unordered_set>

namespace quirelle::paper {

namespace {

QString paperLine(db::Recordset& rs)
{
    return ListLine::format(rs.Fields(QStringLiteral("Paper ID")).toLong(),
                            rs.Fields(QStringLiteral("Title")).text());
}

[[noreturn]] void rowGone(const QString& row, const QString& what)
{
    throw db::DbError(PaperGone, QStringLiteral("The %1 is no longer in the project (another "
                                                "copy of the program may have deleted it): the "
                                                "%2 was not stored.")
                                     .arg(row, what));
}

[[noreturn]] void paperGone(const QString& what)
{
    rowGone(QStringLiteral("paper"), what);
}

struct LinkTable
{
    PaperList list;
    const char* field;
    const char* noun;
};

LinkTable linkTable(Link link)
{
    switch (link) {
    case Link::Author:
        return {PaperList::Authors, "Author ID", "author"};
    case Link::Keyword:
        return {PaperList::Keywords, "Keywords ID", "keyword"};
    case Link::Model:
        return {PaperList::Models, "Model ID", "model"};
    case Link::Reference:
        break;
    }
    return {PaperList::References, "Reference ID", "reference"};
}

// Whether the row `open` found is still there, held until the transaction ends: on a server,
// another member's deletion of it waits until then (or has happened, when this is false).
bool heldRow(bool found, db::Recordset& row)
{
    if (!found)
        return false;
    try {
        row.Edit();
        row.CancelUpdate();
        row.Fields(row.fieldName(0)).Value(); // read again
        return true;
    } catch (const db::DbError& e) {
        if (e.number() != db::err::RecordDeleted)
            throw;
        return false;
    }
}

// Whether the row a link of that kind points at is still stored (and held).
bool linkedRowExists(Link link, qint32 id)
{
    db::Recordset row;
    switch (link) {
    case Link::Author:
        return heldRow(getAuthor(row, id), row);
    case Link::Keyword:
        return heldRow(getKeyword(row, id), row);
    case Link::Model:
        return heldRow(getModel(row, id), row);
    case Link::Reference:
        break;
    }
    return heldRow(getPaper(row, id), row);
}

QString fieldText(db::Recordset& rs, const char* field)
{
    return rs.Fields(QString::fromLatin1(field)).text();
}

// Adds a line for each of the paper's `link` rows whose linked row `open` still finds.
void addLinkedLines(QStringList& lines, Link link, qint32 paperId,
                    bool (*open)(db::Recordset&, qint32),
                    const std::function<QString(db::Recordset&)>& text)
{
    const LinkTable t = linkTable(link);
    db::Recordset links;
    db::Recordset row;
    getPaperList(links, t.list, paperId);
    db::forEachRow(links, [&] {
        if (const auto id = db::linkedId(links, QString::fromLatin1(t.field)))
            if (open(row, *id))
                lines << ListLine::format(*id, text(row));
    });
}

} // namespace

bool openPaper(qint32 paperId, db::Recordset& row)
{
    return getPaper(row, paperId);
}

QStringList referenceAuthors(qint32 paperId)
{
    db::ReadTransaction reading(project().db());
    QStringList authors;
    db::Recordset links;
    db::Recordset author;
    getPaperList(links, PaperList::Authors, paperId);
    db::forEachRow(links, [&] {
        // An author whose row is gone adds nothing; the others are still listed.
        if (const auto id = db::linkedId(links, QStringLiteral("Author ID")))
            if (getAuthor(author, *id))
                authors << referenceAuthor(fieldText(author, "Surname"),
                                           fieldText(author, "Forenames"));
    });
    return authors;
}

LinkLines linkLines(qint32 paperId)
{
    db::ReadTransaction reading(project().db());
    LinkLines out;
    addLinkedLines(out.authors, Link::Author, paperId, getAuthor, [](db::Recordset& rs) {
        return fieldText(rs, "Surname") + QStringLiteral(", ") + fieldText(rs, "Forenames");
    });
    addLinkedLines(out.keywords, Link::Keyword, paperId, getKeyword, [](db::Recordset& rs) {
        return fieldText(rs, "Keyword") + QStringLiteral(" : ") + fieldText(rs, "Definition");
    });
    addLinkedLines(out.models, Link::Model, paperId, getModel,
                   [](db::Recordset& rs) { return fieldText(rs, "Model"); });
    addLinkedLines(out.references, Link::Reference, paperId, getPaper,
                   [](db::Recordset& rs) { return fieldText(rs, "Title"); });
    db::Recordset statements;
    getPaperList(statements, PaperList::Statements, paperId);
    db::forEachRow(statements, [&] {
        out.statements << ListLine::format(
            statements.Fields(QStringLiteral("Statements ID")).toLong(),
            fieldText(statements, "Statement"));
    });
    return out;
}

QStringList otherWorks(qint32 paperId, qint32 shown)
{
    db::Database& database = project().db();
    db::ReadTransaction reading(database);
    // Papers already listed, the shown one first; any number fits.
    std::unordered_set<qint32> listed{shown};
    QStringList lines;
    db::Recordset authors;
    db::Recordset paper;
    getPaperList(authors, PaperList::Authors, paperId);
    db::forEachRow(authors, [&] {
        db::Recordset byAuthor = database.OpenRecordset(
            QStringLiteral("select * from [Paper Authors List] where [Author ID] = ?;"),
            {fieldText(authors, "Author ID")});
        db::forEachRow(byAuthor, [&] {
            const auto other = db::linkedId(byAuthor, QStringLiteral("Paper ID"));
            if (!other || !listed.insert(*other).second)
                return;
            if (getPaper(paper, *other))
                lines << paperLine(paper);
        });
    });
    return lines;
}

QStringList citations(qint32 shown)
{
    db::Database& database = project().db();
    db::ReadTransaction reading(database);
    QStringList lines;
    db::Recordset citing = database.OpenRecordset(
        QStringLiteral("select * from [Paper References List] where [Reference ID] = ?;"), {shown});
    db::Recordset paper;
    // A paper that cites this one twice is listed twice.
    db::forEachRow(citing, [&] {
        if (const auto id = db::linkedId(citing, QStringLiteral("Paper ID")))
            if (getPaper(paper, *id))
                lines << paperLine(paper);
    });
    return lines;
}

void addLink(Link link, qint32 paperId, const QString& idText)
{
    db::Database& database = project().db();
    const LinkTable t = linkTable(link);
    db::Transaction transaction(database);
    // A link is never stored for a paper that no longer exists: it could never be reached.
    db::Recordset paper;
    if (!heldRow(getPaper(paper, paperId), paper))
        paperGone(QString::fromLatin1(t.noun) + QStringLiteral(" link"));
    // Nor for a row another copy deleted while this one still listed it.
    bool numbered = false;
    const qint32 linked = idText.trimmed().toInt(&numbered);
    if (numbered && !linkedRowExists(link, linked))
        rowGone(link == Link::Reference ? QStringLiteral("referenced paper")
                                        : QString::fromLatin1(t.noun),
                QStringLiteral("link"));
    db::Recordset rows;
    getPaperList(rows, t.list, paperId);
    rows.AddNew();
    rows.Fields(QStringLiteral("Paper ID")) = QString::number(paperId);
    rows.Fields(QString::fromLatin1(t.field)) = idText;
    rows.Update();
    transaction.commit();
}

qint32 addPaper(const QString& title)
{
    db::Recordset rs;
    getPaper(rs, 0); // no paper has the number 0: the table, without reading its rows
    rs.AddNew();
    rs.Fields(QStringLiteral("Title")) = title;
    rs.Update();
    // The number of the row just stored: another paper may carry the same title.
    rs.setBookmark(rs.LastModified());
    return rs.Fields(QStringLiteral("Paper ID")).toLong();
}

qint32 addQuotation(qint32 paperId, const QString& statement)
{
    db::Transaction transaction(project().db());
    db::Recordset rs;
    if (!heldRow(getPaper(rs, paperId), rs))
        paperGone(QStringLiteral("quotation"));
    getPaperList(rs, PaperList::Statements, paperId);
    rs.AddNew();
    rs.Fields(QStringLiteral("Paper ID")) = QString::number(paperId);
    rs.Fields(QStringLiteral("Statement")) = statement;
    rs.Update();
    transaction.commit();
    // The number of the row just stored: the same quotation may be stored already.
    rs.setBookmark(rs.LastModified());
    return rs.Fields(QStringLiteral("Statements ID")).toLong();
}

SavedDetail saveDetail(qint32 paperId, const QString& field, const QString& text,
                       const std::optional<QString>& shown)
{
    db::Transaction transaction(project().db());
    db::Recordset rs;
    if (!getPaper(rs, paperId))
        return {SavedDetail::NoPaper, {}};
    // Stored only over the value the user saw: what someone else saved meanwhile is kept. It is
    // read again once Edit holds the row (on a server), so nobody saves it in between.
    const auto changedMeanwhile = [&]() -> std::optional<SavedDetail> {
        const QString stored = rs.Fields(field).text();
        if (shown && stored != *shown)
            return SavedDetail{SavedDetail::ChangedMeanwhile, stored};
        return std::nullopt;
    };
    if (auto changed = changedMeanwhile())
        return *changed;
    rs.Edit();
    if (auto changed = changedMeanwhile())
        return *changed;
    rs.Fields(field) = text;
    rs.Update();
    // As stored, which is what a later save compares with.
    SavedDetail saved{SavedDetail::Stored, rs.Fields(field).text()};
    transaction.commit();
    return saved;
}

QStringList deletePaper(qint32 paperId)
{
    Project& p = project();
    // The paper goes with all its link rows and quotations, or nothing goes.
    db::Transaction transaction(p.db());
    db::Recordset rs;
    if (!getPaper(rs, paperId))
        throw db::DbError(PaperGone, QStringLiteral("The paper is no longer in the project: "
                                                    "another copy of the program has deleted "
                                                    "it."));
    rs.Delete();
    for (PaperList list : {PaperList::Authors, PaperList::Keywords, PaperList::Models,
                           PaperList::References, PaperList::Statements}) {
        if (!getPaperList(rs, list, paperId))
            continue;
        const int count = rs.RecordCount();
        for (int i = 0; i < count; ++i) {
            rs.Delete();
            rs.MoveNext();
        }
    }
    // Values kept beside the described fields (a full title, a DOI) go with the paper.
    interchange::deleteExtraFields(p.db(), paperId);
    const QStringList copies = deletePaperFileRows(p.db(), FileFolders(p.file()), paperId);
    transaction.commit();
    // Attached copies go only once nothing can bring their rows back.
    return moveToTrash(copies);
}

} // namespace quirelle::paper
