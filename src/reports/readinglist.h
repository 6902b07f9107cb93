// The reading list: every paper of the project with its authors, title, publication and year,
// written as one record per paper to "Reading List.txt" in the program's folder.
#pragma once

#include <QString>

namespace quirelle {

inline const QString readingListFileName = QStringLiteral("Reading List.txt");

// From this many papers on, a progress dialog shows while the file is written.
inline constexpr int readingListProgressFrom = 1000;

// Rewrites the file from the database and tells the user where it is. When it cannot be
// written, says what failed and where, and leaves an earlier reading list as it was.
void createReadingList();

} // namespace quirelle
