// The program's write lock and the connections' wait for a busy file.
#include "db/writelock.h"

#include "db/dberror.h"

#include <QScopeGuard>
#include <QString>

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <set>
#include <thread>

#include <sqlite3.h>

namespace quirelle::db {

namespace {

struct WriteLock
{
    std::mutex mutex;
    std::condition_variable freed;
    std::thread::id owner;      // the thread whose connections hold it
    std::set<sqlite3*> holders; // empty: free
    int waitingFirst = 0;       // threads without a cancel flag that wait for it
};

WriteLock& writeLock()
{
    static WriteLock lock;
    return lock;
}

thread_local const std::atomic<bool>* cancelFlag = nullptr;

void release(WriteLock& lock, sqlite3* handle)
{
    if (lock.holders.erase(handle) > 0 && lock.holders.empty()) {
        lock.owner = {};
        lock.freed.notify_all();
    }
}

// The busy handler: `count` is the number of waits so far.
int waitAgain(void* limit, int count)
{
    const auto total = static_cast<int>(reinterpret_cast<std::intptr_t>(limit));
    // A hundred waits of a millisecond, then of ten: a commit of this program's own worker
    // takes a few milliseconds, another program's may take longer.
    const int waited = count < 100 ? count : 100 + (count - 100) * 10;
    if (waited >= total)
        return 0;
    std::this_thread::sleep_for(std::chrono::milliseconds(count < 100 ? 1 : 10));
    return 1;
}

} // namespace

void takeWriteLock(sqlite3* handle)
{
    WriteLock& lock = writeLock();
    std::unique_lock guard(lock.mutex);
    // A background worker (a thread with a cancel flag) lets the others' writes go first when it
    // does not hold the lock already: the window's thread waits at most for the write the worker
    // is in, never for the next one too.
    const bool background = cancelFlag != nullptr;
    const auto mine = [&lock, background] {
        if (lock.owner == std::this_thread::get_id() && !lock.holders.empty())
            return true;
        return lock.holders.empty() && !(background && lock.waitingFirst > 0);
    };
    const bool waitsFirst = !background && !mine();
    if (waitsFirst)
        ++lock.waitingFirst;
    const auto counted = qScopeGuard([&lock, waitsFirst] {
        if (waitsFirst && --lock.waitingFirst == 0)
            lock.freed.notify_all();
    });
    while (!mine()) {
        if (cancelFlag && cancelFlag->load())
            throw DbError(err::Locked, QStringLiteral("The change was not stored: the work was "
                                                      "cancelled."));
        if (cancelFlag)
            lock.freed.wait_for(guard, std::chrono::milliseconds(20));
        else
            lock.freed.wait(guard);
    }
    lock.owner = std::this_thread::get_id();
    lock.holders.insert(handle);
}

void settleWriteLock(sqlite3* handle)
{
    if (sqlite3_get_autocommit(handle) == 0)
        return;
    WriteLock& lock = writeLock();
    const std::lock_guard guard(lock.mutex);
    release(lock, handle);
}

void dropWriteLock(sqlite3* handle)
{
    WriteLock& lock = writeLock();
    const std::lock_guard guard(lock.mutex);
    release(lock, handle);
}

WriteLockCancel::WriteLockCancel(const std::atomic<bool>& cancelled) : m_previous(cancelFlag)
{
    cancelFlag = &cancelled;
}

WriteLockCancel::~WriteLockCancel()
{
    cancelFlag = m_previous;
}

void waitWhenBusy(sqlite3* handle, int milliseconds)
{
    sqlite3_busy_handler(handle, waitAgain,
                         reinterpret_cast<void*>(static_cast<std::intptr_t>(milliseconds)));
}

} // namespace quirelle::db
