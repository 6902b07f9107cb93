// The index's worker thread and the reports it hands back.
#include "fulltext/data/backgroundindex.h"

#include "db/database.h"
#include "db/dberror.h"
#include "paper/data/paperfiles.h"

#include <QThread>

#include <chrono>
#include <condition_variable>
#include <mutex>

namespace quirelle::fulltext {

BackgroundIndex::BackgroundIndex(QObject* parent) : QObject(parent) {}

BackgroundIndex::~BackgroundIndex()
{
    cancel();
}

template<typename Report>
void BackgroundIndex::post(quint64 run, Report report)
{
    QMetaObject::invokeMethod(
        this,
        [this, run, report = std::move(report)] {
            if (run == m_run)
                report();
        },
        Qt::QueuedConnection);
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

namespace {

// A change handed to the owner's thread, and whether it was written.
struct Handoff
{
    std::mutex mutex;
    std::condition_variable written;
    int result = -1; // -1 not yet, 0 not written, 1 written
};

} // namespace

void BackgroundIndex::update(const QString& projectFile)
{
    cancel();
    const quint64 run = ++m_run;
    m_cancel = std::make_shared<std::atomic<bool>>(false);
    m_busy = true;
    ChangeWriter writer;
    if (m_writer) {
        writer = [this, run, cancel = m_cancel](const IndexChange& change) {
            const auto handoff = std::make_shared<Handoff>();
            QMetaObject::invokeMethod(
                this,
                [this, run, handoff, change] {
                    const bool written = run == m_run && m_writer(change);
                    const std::lock_guard lock(handoff->mutex);
                    handoff->result = written ? 1 : 0;
                    handoff->written.notify_all();
                },
                Qt::QueuedConnection);
            std::unique_lock lock(handoff->mutex);
            while (handoff->result < 0) {
                if (*cancel)
                    return false;
                handoff->written.wait_for(lock, std::chrono::milliseconds(20));
            }
            return handoff->result == 1;
        };
    }
    m_thread = std::thread([this, run, projectFile, writer, limits = m_limits, cancel = m_cancel] {
        const auto over = [this, run] { post(run, [this] { m_busy = false; }); };
        try {
            const std::unique_ptr<db::Database> database = db::Database::OpenDatabase(projectFile);
            if (database->readOnly()) {
                post(run, [this] { emit readOnly(); });
            } else {
                if (!writer)
                    createMissingIndexTables(*database);
                const IndexRun result = updateIndex(
                    *database, paper::FileFolders(projectFile),
                    [this, run](int doneFiles, int total) {
                        post(run, [this, doneFiles, total] { emit progress(doneFiles, total); });
                    },
                    *cancel, limits, writer);
                if (!result.cancelled)
                    post(run, [this, result] { emit finished(result); });
            }
        } catch (const db::DbError& e) {
            post(run, [this, why = e.description()] { emit failed(why); });
        } catch (const std::exception& e) {
            post(run, [this, why = QString::fromUtf8(e.what())] { emit failed(why); });
        }
        over();
    });
}

} // namespace quirelle::fulltext
