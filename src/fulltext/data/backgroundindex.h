// The update of a project's full-text index on a thread of its own with a connection of its own,
// cancellable, each step reported by a signal on the owner's thread. Each file's rows are written
// there too, in a transaction of their own: the program's write lock (db/writelock.h) lets the
// windows' connection write between two files, and its reads go on meanwhile.
#pragma once

#include "fulltext/data/fulltextindex.h"

#include <QObject>
#include <QString>

#include <atomic>
#include <memory>
#include <thread>

namespace quirelle::fulltext {

class BackgroundIndex final : public QObject
{
    Q_OBJECT

public:
    explicit BackgroundIndex(QObject* parent = nullptr);
    // Cancels the run under way and waits for its thread.
    ~BackgroundIndex() override;
    BackgroundIndex(const BackgroundIndex&) = delete;
    BackgroundIndex& operator=(const BackgroundIndex&) = delete;

    // Brings the index of `projectFile` up to date. A run under way is cancelled first and
    // nothing more is reported of it; it stops within a fraction of a second, its extractor
    // killed and the file it was reading left for later.
    void update(const QString& projectFile);
    // Cancels the run under way and waits until its thread has let go of the project file.
    void cancel();
    bool isBusy() const { return m_busy; }

    // How long one file may take and how much memory its reader may use.
    void setLimits(const ExtractLimits& limits) { m_limits = limits; }

signals:
    void progress(int done, int total);
    // The project may not be written: it is searched as it is.
    void readOnly();
    void failed(const QString& reason);
    // The run is over (not sent for a cancelled one).
    void finished(const quirelle::fulltext::IndexRun& run);

private:
    void join();

    std::thread m_thread;
    std::shared_ptr<std::atomic<bool>> m_cancel;
    quint64 m_run = 0;
    bool m_busy = false;
    ExtractLimits m_limits;
};

} // namespace quirelle::fulltext
