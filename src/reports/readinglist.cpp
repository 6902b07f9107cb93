// The reading list file.
#include "reports/readinglist.h"

#include "app/frmmain.h"
#include "app/services.h"
#include "db/globals.h"
#include "db/sharedqueries.h"

#include <QDir>
#include <QHash>
#include <QProgressDialog>
#include <QSaveFile>

#include <algorithm>
#include <memory>
#include <optional>

namespace quirelle {

namespace {

// One transaction around a walk that only reads: the engine then takes its file lock once
// instead of once for every row read, which is most of the time on a large catalogue. It ends
// by committing, even on a failure, so that nothing another handler wrote meanwhile (a box saved
// as the focus moves to the progress dialog) is undone.
class ReadingTransaction
{
public:
    explicit ReadingTransaction(db::Database& database) : m_db(database) { m_db.BeginTrans(); }
    ~ReadingTransaction()
    {
        try {
            m_db.CommitTrans();
        } catch (...) {
            // nothing of ours to keep
        }
    }
    ReadingTransaction(const ReadingTransaction&) = delete;
    ReadingTransaction& operator=(const ReadingTransaction&) = delete;

private:
    db::Database& m_db;
};

// The authors piece of each paper ("Surname, Forenames; " per author, in the order of the
// paper's author link rows), keyed by the paper's number as the link rows hold it. Each table
// is read once, only the fields needed: a query per link row takes many times longer.
QHash<QString, QString> authorsOfPapers()
{
    Globals& g = globals();

    QHash<qint32, QString> authorPiece;
    db::Recordset& authors = g.rsAuthors;
    if (openQuery(authors,
                  QStringLiteral("select [Author ID], [SurName], [ForeNames] from [Authors];"))) {
        const int count = authors.RecordCount();
        authorPiece.reserve(count);
        for (int i = 1; i <= count; ++i) {
            const qint32 id = authors.Fields(QStringLiteral("Author ID")).toLong();
            if (!authorPiece.contains(id)) {
                authorPiece.insert(id, authors.Fields(QStringLiteral("SurName")).text() +
                                           QStringLiteral(", ") +
                                           authors.Fields(QStringLiteral("ForeNames")).text() +
                                           QStringLiteral("; "));
            }
            authors.MoveNext();
        }
    }

    // Each paper's link rows keep their order among themselves, as the paper's own query
    // returns them.
    QHash<QString, QString> byPaper;
    db::Recordset& links = g.rsPaperAuthors;
    if (openQuery(links, QStringLiteral("select [Paper ID], [Author ID] from "
                                        "[Paper Authors List];"))) {
        const int count = links.RecordCount();
        for (int i = 1; i <= count; ++i) {
            // A link to an author that is gone (or to no number at all) is left out.
            bool ok = false;
            const qint32 authorId =
                links.Fields(QStringLiteral("Author ID")).text().trimmed().toInt(&ok);
            if (ok) {
                const auto found = authorPiece.constFind(authorId);
                if (found != authorPiece.constEnd())
                    byPaper[links.Fields(QStringLiteral("Paper ID")).text()] += *found;
            }
            links.MoveNext();
        }
    }
    return byPaper;
}

void tellNotWritten(const QString& path, const QString& reason)
{
    services::MsgBox(QStringLiteral("The reading list could not be written to ") +
                         QDir::toNativeSeparators(path) + QStringLiteral(": ") + reason +
                         QStringLiteral(". Any earlier reading list there is unchanged."),
                     services::vbCritical);
}

} // namespace

void createReadingList()
{
    Globals& g = globals();
    const QString path = QDir(g.appPath).filePath(readingListFileName);

    // Written beside the old list and put in its place only when complete, so that a failure
    // never leaves a half-written list, nor loses the one there was.
    QSaveFile file(path);
    file.setDirectWriteFallback(false);
    if (!file.open(QIODevice::WriteOnly)) {
        tellNotWritten(path, file.errorString());
        return;
    }

    std::optional<ReadingTransaction> reading(std::in_place, project());
    getAllPapers();
    const QHash<QString, QString> authors = authorsOfPapers();
    db::Recordset& papers = g.rsPapers;
    const int count = papers.RecordCount();

    std::unique_ptr<QProgressDialog> progress;
    if (count >= readingListProgressFrom) {
        progress = std::make_unique<QProgressDialog>(QStringLiteral("Writing the reading list..."),
                                                     QString(), 0, count, &frmMain::instance());
        progress->setObjectName(QStringLiteral("progressReadingList"));
        progress->setWindowTitle(services::programTitle);
        progress->setWindowModality(Qt::WindowModal);
        progress->setMinimumDuration(0);
        progress->setAutoClose(false);
        progress->setAutoReset(false);
        progress->show();
    }
    const int step = std::max(1, count / 100);

    QByteArray buffer;
    const auto flush = [&] {
        if (file.write(buffer) != buffer.size())
            return false;
        buffer.clear();
        return true;
    };
    const QString separator = QStringLiteral(": ");
    for (int i = 1; i <= count; ++i) {
        const QString paperId = QString::number(papers.Fields(QStringLiteral("Paper ID")).toLong());
        QString record = authors.value(paperId);
        record += separator + papers.Fields(QStringLiteral("Title")).text() + separator +
                  papers.Fields(QStringLiteral("Publication Name")).text() + separator +
                  papers.Fields(QStringLiteral("Year")).text() + QStringLiteral("\r\r\n");
        // UTF-8, the system's own encoding: accents and other scripts are kept as they are.
        buffer += record.toUtf8();
        if (buffer.size() >= 1 << 16 && !flush())
            break;
        if (progress && i % step == 0)
            progress->setValue(i);
        papers.MoveNext();
    }
    reading.reset();
    if (file.error() != QFileDevice::NoError || !flush() || !file.commit()) {
        progress.reset();
        tellNotWritten(path, file.errorString());
        return;
    }
    progress.reset();
    services::MsgBox(QStringLiteral("A reading list has been created in 'Reading List.txt' "
                                    "located in ") +
                     g.appPath + QStringLiteral("."));
}

} // namespace quirelle
