// The paper window's queries and writes. Each opens record sets of its own, so that none
// depends on what another left behind.
#include "paper/data/paperqueries.h"

#include "db/dberror.h"
#include "db/listline.h"
#include "db/project.h"
#include "db/sharedqueries.h"
#include "db/textrules.h"
#include "interchange/data/extrafields.h"
#include "paper/data/paperfiles.h"
#include "paper/data/papertext.h"

#include <unordered_map>
#include <unordered_set>

namespace quirelle::paper {

namespace {

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

// The rows of `table` whose `field` holds one of `values`, read together (in one statement where
// the engine reads a list): by the value as text, the text of `fields` of each such row, in the
// order of their row numbers. Only values without letter case are asked for this way, which
// compare the same with and without regard to it.
using RowsByValue = std::unordered_map<QString, std::vector<QStringList>>;
RowsByValue rowsByValue(const QString& table, const QString& field, const QStringList& fields,
                        const std::vector<QVariant>& values)
{
    RowsByValue rows;
    std::vector<QVariant> asked;
    std::unordered_set<QString> seen;
    for (const QVariant& v : values) {
        if (seen.insert(v.toString()).second)
            asked.push_back(v);
    }
    if (asked.empty())
        return rows;
    db::RowStream stream(project().db(), table, QStringList{field} + fields, field, QVariant());
    stream.restart(asked);
    while (stream.next()) {
        QStringList row;
        for (int i = 1; i <= fields.size(); ++i)
            row << stream.text(i);
        rows[stream.text(0)].push_back(std::move(row));
    }
    return rows;
}

// The numbers the link rows of `list` whose `whereField` holds `value` keep as text in `field`,
// in the order of the rows; a row whose field holds no number links to nothing and gives none.
std::vector<qint32> linkedIds(PaperList list, const QString& field, const QString& whereField,
                              const QVariant& value)
{
    std::vector<qint32> ids;
    db::RowStream rows(project().db(), paperListTable(list), {field}, whereField, value);
    while (rows.next()) {
        bool ok = false;
        const qint32 id = rows.text(0).trimmed().toInt(&ok);
        if (ok)
            ids.push_back(id);
    }
    return ids;
}

// The numbers the paper's link rows of `list` keep in `field` (see linkedIds).
std::vector<qint32> linkedIds(PaperList list, const char* field, qint32 paperId)
{
    return linkedIds(list, QString::fromLatin1(field), QStringLiteral("Paper ID"),
                     QString::number(paperId));
}

// The table a link points into, the fields its lines show and how its single row is opened.
struct LinkedTable
{
    const char* table;
    const char* idField;
    QStringList fields;
    bool (*open)(db::Recordset&, qint32);
};

LinkedTable linkedTable(Link link)
{
    switch (link) {
    case Link::Author:
        return {"Authors",
                "Author ID",
                {QStringLiteral("Surname"), QStringLiteral("Forenames")},
                getAuthor};
    case Link::Keyword:
        return {"Keywords",
                "Keyword ID",
                {QStringLiteral("Keyword"), QStringLiteral("Definition")},
                getKeyword};
    case Link::Model:
        return {"Models", "Model ID", {QStringLiteral("Model")}, getModel};
    case Link::Reference:
        break;
    }
    return {"Papers", "Paper ID", {QStringLiteral("Title")}, getPaper};
}

// For each of `ids`, the fields of the row it names in the table `link` points into, or nothing
// when the row is gone. The rows are read together; a number that several rows hold (which only
// damage makes) gives the row that opening it alone gives.
std::vector<std::optional<QStringList>> linkedRows(Link link, const std::vector<qint32>& ids)
{
    const LinkedTable t = linkedTable(link);
    const RowsByValue rows =
        rowsByValue(QString::fromLatin1(t.table), QString::fromLatin1(t.idField), t.fields,
                    std::vector<QVariant>(ids.begin(), ids.end()));
    std::vector<std::optional<QStringList>> out;
    out.reserve(ids.size());
    db::Recordset row;
    for (qint32 id : ids) {
        const auto it = rows.find(QString::number(id));
        if (it == rows.end()) {
            out.emplace_back();
        } else if (it->second.size() == 1) {
            out.emplace_back(it->second.front());
        } else if (t.open(row, id)) {
            QStringList values;
            for (const QString& f : t.fields)
                values << row.Fields(f).text();
            out.emplace_back(std::move(values));
        } else {
            out.emplace_back();
        }
    }
    return out;
}

// The lines of the rows `ids` name that are still there, each "id : " and its fields joined by
// `separator`.
QStringList linkedLines(Link link, const std::vector<qint32>& ids, const QString& separator = {})
{
    QStringList lines;
    const std::vector<std::optional<QStringList>> rows = linkedRows(link, ids);
    for (size_t i = 0; i < ids.size(); ++i) {
        if (rows[i])
            lines << ListLine::format(ids[i], rows[i]->join(separator));
    }
    return lines;
}

// The lines of the paper's `link` rows whose linked row is still there.
QStringList paperLinkLines(Link link, qint32 paperId, const QString& separator = {})
{
    const LinkTable t = linkTable(link);
    return linkedLines(link, linkedIds(t.list, t.field, paperId), separator);
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
    // An author whose row is gone adds nothing; the others are still listed.
    for (const auto& author :
         linkedRows(Link::Author, linkedIds(PaperList::Authors, "Author ID", paperId))) {
        if (author)
            authors << referenceAuthor(author->at(0), author->at(1));
    }
    return authors;
}

LinkLines linkLines(qint32 paperId)
{
    db::ReadTransaction reading(project().db());
    LinkLines out;
    out.authors = paperLinkLines(Link::Author, paperId, QStringLiteral(", "));
    out.keywords = paperLinkLines(Link::Keyword, paperId, QStringLiteral(" : "));
    out.models = paperLinkLines(Link::Model, paperId);
    out.references = paperLinkLines(Link::Reference, paperId);
    db::RowStream statements(project().db(), paperListTable(PaperList::Statements),
                             {QStringLiteral("Statements ID"), QStringLiteral("Statement")},
                             QStringLiteral("Paper ID"), QString::number(paperId));
    while (statements.next()) {
        out.statements << ListLine::format(static_cast<qint32>(statements.number(0)),
                                           statements.text(1));
    }
    return out;
}

QStringList otherWorks(qint32 paperId, qint32 shown)
{
    db::Database& database = project().db();
    db::ReadTransaction reading(database);
    const QString authorsList = paperListTable(PaperList::Authors);
    const QString authorId = QStringLiteral("Author ID");
    const QString paperIdField = QStringLiteral("Paper ID");
    // The paper's author links, each as the number it keeps as text.
    QStringList authors;
    db::RowStream links(database, authorsList, {authorId}, paperIdField, QString::number(paperId));
    while (links.next())
        authors << links.text(0);
    // The link rows of all those authors, read together; a value with letter case in it (which
    // no author's number has) is asked for alone, as the dialect compares it.
    std::vector<QVariant> asked;
    for (const QString& author : authors) {
        if (db::text::isCaseless(author))
            asked.emplace_back(author);
    }
    const RowsByValue byAuthor = rowsByValue(authorsList, authorId, {paperIdField}, asked);
    // Papers already listed, the shown one first; any number fits.
    std::unordered_set<qint32> listed{shown};
    std::vector<qint32> others;
    const auto add = [&](const QString& linked) {
        bool ok = false;
        const qint32 other = linked.trimmed().toInt(&ok);
        if (ok && listed.insert(other).second)
            others.push_back(other);
    };
    for (const QString& author : authors) {
        if (!db::text::isCaseless(author)) {
            db::Recordset rows = database.OpenRecordset(
                QStringLiteral("select * from [Paper Authors List] where [Author ID] = ?;"),
                {author});
            db::forEachRow(rows, [&] { add(fieldText(rows, "Paper ID")); });
        } else if (const auto it = byAuthor.find(author); it != byAuthor.end()) {
            for (const QStringList& row : it->second)
                add(row.front());
        }
    }
    return linkedLines(Link::Reference, others);
}

QStringList citations(qint32 shown)
{
    db::ReadTransaction reading(project().db());
    // A paper that cites this one twice is listed twice.
    return linkedLines(Link::Reference, linkedIds(PaperList::References, QStringLiteral("Paper ID"),
                                                  QStringLiteral("Reference ID"), shown));
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
