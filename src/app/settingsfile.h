// The settings file "support.nif" in the working directory: line 1 belongs to whoever wrote it
// and is kept byte for byte; line 2 names the last opened project.
#pragma once

#include <QByteArray>
#include <QString>

namespace quirelle::settings {

inline const QString fileName = QStringLiteral("support.nif");

// The project path on line 2 of `file`; "" when the file or the line is missing. A path in
// double quotes is taken whole (commas and doubled quotes included); an unquoted one ends at a
// comma, as older files have it.
QString readLastProject(const QString& file = fileName);
// The same from the file's bytes.
QString lastProjectIn(const QByteArray& content);

// Writes `path` as line 2 of `file`, line 1 kept as it was (a missing file is made anew).
// Returns "" when done, else what failed; on failure the file is left as it was.
QString writeLastProject(const QString& path, const QString& file = fileName);

} // namespace quirelle::settings
