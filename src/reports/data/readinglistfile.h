// The reading list file: every paper of the project with its authors, title, publication and
// year, one record per paper, written whole or not at all.
#pragma once

#include <QString>

#include <functional>

namespace quirelle::reports {

inline const QString readingListFileName = QStringLiteral("Reading List.txt");

// Told how many papers are written out of how many; returns false to stop (nothing is written
// then and the earlier file stays).
using Progress = std::function<bool(int done, int total)>;

// The number of papers the list will hold.
int readingListSize();

// Writes the reading list of the open project to `path`. Returns "" when it was written, else
// what failed; on failure an earlier file at `path` is left as it was.
QString writeReadingListFile(const QString& path, const Progress& progress = {});

} // namespace quirelle::reports
