// The reading list, written to "Reading List.txt" in the working directory, beside the settings
// file, with the user told where it is.
#pragma once

namespace quirelle {

// From this many papers on, a progress dialog shows while the file is written.
inline constexpr int readingListProgressFrom = 1000;

// Rewrites the file from the database and tells the user where it is. When it cannot be
// written, says what failed and where, and leaves an earlier reading list as it was.
void createReadingList();

} // namespace quirelle
