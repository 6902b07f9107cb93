// How every connection to a project file writes, so that a killed program or a power cut leaves
// the project whole and the file stays one plain SQLite file that can be copied once closed.
#pragma once

struct sqlite3;

namespace quirelle::db {

// The settings as SQL, for connections opened elsewhere (the sqlite3 shell, tools).
inline constexpr const char* DurabilityPragmas =
    "PRAGMA journal_mode = DELETE; PRAGMA synchronous = FULL;";

// Applies the settings to a freshly opened connection, before its first write. A writable
// connection also takes a file that another tool left in write-ahead-log mode back to a single
// file, when nobody else has it open. Failures are ignored: the connection then keeps SQLite's
// defaults, which are the same settings unless the file was switched to a log.
void applyDurabilitySettings(sqlite3* handle);

} // namespace quirelle::db
