// The background check and backup runner.
#include "db/backgroundcheck.h"

#include "db/queuedreport.h"

#include <QDateTime>
#include <QScopeGuard>

namespace quirelle::db {

BackgroundCheck::BackgroundCheck(QObject* parent) : QObject(parent), m_worker(new QObject)
{
    m_thread.setObjectName(QStringLiteral("project check"));
    m_worker->moveToThread(&m_thread);
    QObject::connect(&m_thread, &QThread::finished, m_worker, &QObject::deleteLater);
    m_thread.start(QThread::LowPriority);
}

BackgroundCheck::~BackgroundCheck()
{
    cancel();
    m_thread.quit();
    m_thread.wait();
}

void BackgroundCheck::checkOnOpening(const QString& projectFile)
{
    start(projectFile, Job::OnOpening);
}

void BackgroundCheck::backUpNow(const QString& projectFile)
{
    start(projectFile, Job::BackUpNow);
}

void BackgroundCheck::sharedOnOpening(const QString& address, const QString& standIn)
{
    start(standIn, Job::OnOpening, address);
}

void BackgroundCheck::backUpSharedNow(const QString& address, const QString& standIn)
{
    start(standIn, Job::BackUpNow, address);
}

void BackgroundCheck::cancel()
{
    if (m_cancel)
        m_cancel->store(true);
    m_cancel.reset();
    ++m_run;
    m_busy = false;
    // Every job given before has its flag set now, so each stops within a step or two. The
    // caller may go on to close, rename or replace the file once they are over.
    waitForWorker();
}

bool BackgroundCheck::waitForWorker(QDeadlineTimer deadline)
{
    std::unique_lock lock(m_mutex);
    const auto idle = [this] { return m_jobs == 0; };
    if (deadline.isForever()) {
        m_jobDone.wait(lock, idle);
        return true;
    }
    return m_jobDone.wait_for(lock, std::chrono::milliseconds(deadline.remainingTime()), idle);
}

void BackgroundCheck::start(const QString& projectFile, Job job, const QString& address)
{
    cancel();
    m_cancel = std::make_shared<CancelFlag>(false);
    m_busy = true;
    {
        const std::lock_guard lock(m_mutex);
        ++m_jobs;
    }
    // Jobs queue up on the worker: a cancelled one ends soon and the new one follows.
    QMetaObject::invokeMethod(
        m_worker,
        [this, run = m_run, projectFile, job, address, flag = m_cancel] {
            work(run, projectFile, job, address, flag);
        },
        Qt::QueuedConnection);
}

void BackgroundCheck::work(quint64 run, const QString& projectFile, Job job, const QString& address,
                           const std::shared_ptr<CancelFlag>& cancel)
{
    // Reports go through postReport: `this` outlives every one, as the destructor waits for the
    // worker first, and a report still queued is dropped with the object.
    // Counted off only after its last report is queued, so that a waiter finds every report.
    const auto jobOver = qScopeGuard([this] {
        const std::lock_guard lock(m_mutex);
        --m_jobs;
        m_jobDone.notify_all();
    });
    const auto finish = [this, run, projectFile] {
        postReport(this, m_run, run, [this, projectFile] {
            m_busy = false;
            emit finished(projectFile);
        });
    };
    if (cancel->load())
        return;

    if (!address.isEmpty() && job == Job::OnOpening && !backupDue(projectFile)) {
        finish();
        return;
    }
    if (address.isEmpty() && job == Job::OnOpening) {
        const FileCheck check = checkFile(projectFile, cancel.get());
        if (cancel->load())
            return;
        postReport(this, m_run, run, [this, projectFile, check] {
            switch (check.result) {
            case FileCheck::Result::Passed:
                emit checkPassed(projectFile);
                break;
            case FileCheck::Result::Damaged:
                emit checkFailed(projectFile, check.problems);
                break;
            case FileCheck::Result::NotChecked:
                emit checkNotRun(projectFile, check.problems);
                break;
            }
        });
        if (!check.passed() || !backupDue(projectFile)) {
            finish();
            return;
        }
    }

    const BackupResult backup =
        address.isEmpty()
            ? writeBackup(projectFile, QDateTime::currentDateTime(), cancel.get())
            : writeSharedBackup(address, projectFile, QDateTime::currentDateTime(), cancel.get());
    if (backup.status == BackupResult::Status::Cancelled || cancel->load())
        return;
    postReport(this, m_run, run, [this, projectFile, backup] {
        switch (backup.status) {
        case BackupResult::Status::Written:
            emit backupWritten(projectFile, backup.file);
            break;
        case BackupResult::Status::ProjectDamaged:
            emit checkFailed(projectFile, backup.reason);
            break;
        case BackupResult::Status::Failed:
        case BackupResult::Status::Cancelled:
            emit backupFailed(projectFile, backup.reason);
            break;
        }
    });
    finish();
}

} // namespace quirelle::db
