// The journal and sync settings of project connections.
//
// A rollback journal ("-journal", deleted at each commit) with full syncs: SQLite syncs the
// journal before it touches the file and the file before the journal goes, so a commit is
// either wholly in the file or wholly undone from the journal on the next opening. A
// write-ahead log would be as safe, but keeps "-wal" and "-shm" files beside the project while
// it is open and cannot open a read-only file without them; a journal that is truncated or kept
// instead of deleted would leave a second file behind for good.
#include "db/durability.h"

#include <sqlite3.h>

namespace quirelle::db {

void applyDurabilitySettings(sqlite3* handle)
{
    if (!handle)
        return;
    // A read-only connection may neither change the journal mode nor needs to: it never writes.
    if (sqlite3_db_readonly(handle, "main") == 0)
        sqlite3_exec(handle, "PRAGMA journal_mode = DELETE", nullptr, nullptr, nullptr);
    sqlite3_exec(handle, "PRAGMA synchronous = FULL", nullptr, nullptr, nullptr);
}

} // namespace quirelle::db
