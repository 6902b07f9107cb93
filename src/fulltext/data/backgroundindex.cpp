// The index's worker thread and the reports it hands back.
#include "fulltext/data/backgroundindex.h"

#include "db/database.h"
#include "db/dberror.h"
#include "db/queuedreport.h"
#include "db/writelock.h"
#include "paper/data/paperfiles.h"

namespace quirelle::fulltext {

BackgroundIndex::BackgroundIndex(QObject* parent) : QObject(parent) {}

BackgroundIndex::~BackgroundIndex()
{
    cancel();
}

void BackgroundIndex::join()
{
    if (m_thread.joinable())
        m_thread.join();
}

void BackgroundIndex::cancel()
{
    if (m_cancel)
        *m_cancel = true;
    join();
    ++m_run; // whatever it had queued is dropped
    m_busy = false;
}

void BackgroundIndex::update(const QString& projectFile)
{
    cancel();
    const quint64 run = ++m_run;
    m_cancel = std::make_shared<std::atomic<bool>>(false);
    m_busy = true;
    m_thread = std::thread([this, run, projectFile, limits = m_limits, cancel = m_cancel] {
        // `this` outlives the thread (cancel() joins it); a report still queued is dropped with
        // the object.
        const auto post = [this, run](auto report) {
            db::postReport(this, m_run, run, std::move(report));
        };
        // The thread that cancels may hold the write lock while it waits for this one.
        const db::WriteLockCancel giveUp(*cancel);
        try {
            const std::unique_ptr<db::Database> database = db::Database::OpenDatabase(projectFile);
            if (database->readOnly()) {
                post([this] { emit readOnly(); });
            } else {
                createMissingIndexTables(*database);
                const IndexRun result = updateIndex(
                    *database, paper::FileFolders(projectFile),
                    [this, post](int doneFiles, int total) {
                        post([this, doneFiles, total] { emit progress(doneFiles, total); });
                    },
                    *cancel, limits);
                if (!result.cancelled)
                    post([this, result] { emit finished(result); });
            }
        } catch (const db::DbError& e) {
            post([this, why = e.description()] { emit failed(why); });
        } catch (const std::exception& e) {
            post([this, why = QString::fromUtf8(e.what())] { emit failed(why); });
        }
        post([this] { m_busy = false; });
    });
}

} // namespace quirelle::fulltext
