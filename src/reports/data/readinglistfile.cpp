// Writing the reading list.
#include "reports/data/readinglistfile.h"

#include "db/atomicfile.h"
#include "db/project.h"
#include "db/sharedqueries.h"

#include <QHash>

namespace quirelle::reports {

namespace {

// The authors piece of each paper ("Surname, Forenames; " per author, in the order of the
// paper's author link rows), keyed by the paper's number as the link rows hold it. Each table
// is read once, only the fields needed: a query per link row takes many times longer.
QHash<QString, QString> authorsOfPapers(db::Database& database)
{
    QHash<qint32, QString> authorPiece;
    db::Recordset authors = database.OpenRecordset(
        QStringLiteral("select [Author ID], [SurName], [ForeNames] from [Authors];"));
    authorPiece.reserve(authors.RecordCount());
    db::forEachRow(authors, [&] {
        const qint32 id = authors.Fields(QStringLiteral("Author ID")).toLong();
        if (!authorPiece.contains(id)) {
            authorPiece.insert(
                id, authors.Fields(QStringLiteral("SurName")).text() + QStringLiteral(", ") +
                        authors.Fields(QStringLiteral("ForeNames")).text() + QStringLiteral("; "));
        }
    });

    // Each paper's link rows keep their order among themselves, as the paper's own query
    // returns them.
    QHash<QString, QString> byPaper;
    db::Recordset links = database.OpenRecordset(
        QStringLiteral("select [Paper ID], [Author ID] from [Paper Authors List];"));
    db::forEachRow(links, [&] {
        // A link to an author that is gone (or to no number at all) is left out.
        if (const auto authorId = db::linkedId(links, QStringLiteral("Author ID"))) {
            const auto found = authorPiece.constFind(*authorId);
            if (found != authorPiece.constEnd())
                byPaper[links.Fields(QStringLiteral("Paper ID")).text()] += *found;
        }
    });
    return byPaper;
}

} // namespace

int readingListSize()
{
    db::Recordset papers;
    getAllPapers(papers);
    return papers.RecordCount();
}

QString writeReadingListFile(const QString& path, const Progress& progress)
{
    // Written beside the old list and put in its place only when complete, so that a failure
    // never leaves a half-written list, nor loses the one there was.
    AtomicFile file(path);
    if (!file.open())
        return file.errorString();

    db::Database& database = project().db();
    db::ReadTransaction reading(database);
    db::Recordset papers;
    getAllPapers(papers);
    const QHash<QString, QString> authors = authorsOfPapers(database);
    const int count = papers.RecordCount();
    const int step = std::max(1, count / 100);
    const QString separator = QStringLiteral(": ");
    int done = 0;
    bool written = true;
    db::forEachRow(papers, [&] {
        if (!written)
            return;
        const QString paperId = QString::number(papers.Fields(QStringLiteral("Paper ID")).toLong());
        QString record = authors.value(paperId);
        record += separator + papers.Fields(QStringLiteral("Title")).text() + separator +
                  papers.Fields(QStringLiteral("Publication Name")).text() + separator +
                  papers.Fields(QStringLiteral("Year")).text() + QStringLiteral("\r\r\n");
        // UTF-8, the system's own encoding: accents and other scripts are kept as they are.
        written = file.write(record.toUtf8());
        ++done;
        if (progress && done % step == 0 && !progress(done, count))
            written = false;
    });
    if (!written) {
        if (file.errorString().isEmpty())
            return QStringLiteral("the writing was stopped");
        return file.errorString();
    }
    if (!file.commit())
        return file.errorString();
    return {};
}

} // namespace quirelle::reports
