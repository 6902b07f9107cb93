// One writer at a time among the connections of this program. Two connections of one program
// that write the same file can refuse each other: one that has read in its transaction and then
// wants to write is told at once that the file is in use, without waiting, while the other holds
// it for writing. Every transaction that may write takes this lock first and keeps it to its
// end, so the program's connections take turns; one that only reads never takes it, and waits
// at most while another's commit reaches the disk.
#pragma once

#include <atomic>

struct sqlite3;

namespace quirelle::db {

// Takes the lock for the transaction `handle` is about to open. Waits while a connection of
// another thread holds it; a thread that holds it may take it again for another of its
// connections, and a connection that holds it keeps it. On a thread that gave a cancel flag
// (below) the wait ends with an engine error once the flag is set.
void takeWriteLock(sqlite3* handle);
// Lets the lock go once `handle` has no transaction open (committed, rolled back, or undone by
// SQLite after a failure); while its transaction goes on, it keeps the lock.
void settleWriteLock(sqlite3* handle);
// Lets the lock go whatever the connection's state: it is closed.
void dropWriteLock(sqlite3* handle);

// While it lives, this thread is a background worker: its wait for the lock gives up when
// `cancelled` is set (it is being stopped by the thread that holds the lock), and when it does
// not hold the lock, it lets the other threads that wait for it go first.
class WriteLockCancel
{
public:
    explicit WriteLockCancel(const std::atomic<bool>& cancelled);
    ~WriteLockCancel();
    WriteLockCancel(const WriteLockCancel&) = delete;
    WriteLockCancel& operator=(const WriteLockCancel&) = delete;

private:
    const std::atomic<bool>* m_previous;
};

// How `handle` waits for the file when another connection (of this program or another) holds
// it: in steps of a millisecond at first, so that it goes on as soon as the file is free, for
// at most `milliseconds` in all.
void waitWhenBusy(sqlite3* handle, int milliseconds);

} // namespace quirelle::db
