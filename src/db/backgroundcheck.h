// The check of a project on opening and its backup copies, run on a thread of their own so that
// the program goes on at once; each step is reported by a signal on the owner's thread.
#pragma once

#include "db/backups.h"

#include <QDeadlineTimer>
#include <QObject>
#include <QString>
#include <QThread>

#include <condition_variable>
#include <memory>
#include <mutex>

namespace quirelle::db {

class BackgroundCheck final : public QObject
{
    Q_OBJECT

public:
    explicit BackgroundCheck(QObject* parent = nullptr);
    // Cancels the run under way and waits for its thread, which stops within a fraction of a
    // second; a partial copy is removed.
    ~BackgroundCheck() override;
    BackgroundCheck(const BackgroundCheck&) = delete;
    BackgroundCheck& operator=(const BackgroundCheck&) = delete;

    // On opening a project: SQLite's quick check through a read-only connection, then, when it
    // passed and a copy is due, a backup copy. A run started before is cancelled, and nothing
    // more is reported of it.
    void checkOnOpening(const QString& projectFile);
    // A backup copy now, due or not. A run started before is cancelled, as above.
    void backUpNow(const QString& projectFile);
    // The same for the shared project at `address`, whose copies are taken as copies of
    // `standIn` (sharedProjectStandIn): on opening a copy when one is due (the server keeps its
    // tables sound itself, so there is no check), or a copy now. Reports name `standIn`.
    void sharedOnOpening(const QString& address, const QString& standIn);
    void backUpSharedNow(const QString& address, const QString& standIn);
    // Cancels the run under way and waits until its thread has let go of the project file;
    // nothing more is reported of it.
    void cancel();
    // A run was started and has not reported finished() yet.
    bool isBusy() const { return m_busy; }
    // Waits, without running the event loop, until the worker has done every job given to it
    // (its reports are then queued for this object's thread). False when the deadline came
    // first.
    bool waitForWorker(QDeadlineTimer deadline = QDeadlineTimer::Forever);

signals:
    void checkPassed(const QString& projectFile);
    // The project is damaged: `problems` says what is wrong, one item a line.
    void checkFailed(const QString& projectFile, const QString& problems);
    // The project could not be checked now (in use, unreadable); it is not known to be damaged.
    void checkNotRun(const QString& projectFile, const QString& reason);
    void backupWritten(const QString& projectFile, const QString& copyFile);
    void backupFailed(const QString& projectFile, const QString& reason);
    // The run is over; sent last, whatever happened.
    void finished(const QString& projectFile);

private:
    enum class Job { OnOpening, BackUpNow };
    // `address` is empty for a project file.
    void start(const QString& projectFile, Job job, const QString& address = {});
    // Runs on the worker thread.
    void work(quint64 run, const QString& projectFile, Job job, const QString& address,
              const std::shared_ptr<CancelFlag>& cancel);
    QThread m_thread;
    QObject* m_worker; // lives on m_thread; runs the jobs one after another
    quint64 m_run = 0; // the run whose reports are wanted
    std::shared_ptr<CancelFlag> m_cancel;
    bool m_busy = false;
    // Jobs handed to the worker and not yet over, guarded by m_mutex.
    std::mutex m_mutex;
    std::condition_variable m_jobDone;
    int m_jobs = 0;
};

} // namespace quirelle::db
