// Exporting papers of the open project as a reference file: the whole project or chosen papers,
// with their authors, keywords, references, quotations and extra fields. A paper without a
// citation key gets one (surname and year) that no paper has and no paper cites; the program
// stores it, so that it stays the same on every export.
#pragma once

#include "db/database.h"
#include "interchange/data/formats.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <optional>

namespace quirelle::interchange {

struct ExportRequest
{
    Format format = Format::BibTeX;
    // The papers to write, in this order; every paper of the project, by number, when unset.
    std::optional<QList<qint32>> papers;
    // Whether the keys given to papers without one are stored. Without, the export writes
    // nothing into the project (the command line's export).
    bool storeKeys = false;
    // The folder the file goes in: BibTeX and RIS name the papers' files relative to it when
    // they are inside it (absolute when it is not given).
    QString folder{};
};

struct ExportResult
{
    enum class Outcome { Written, Cancelled, Failed };
    Outcome outcome = Outcome::Written;
    int papers = 0;
    QString message; // why nothing was written
};

// The file's text (UTF-8). No transaction may be open: the export reads in one of its own, in
// which it stores the new citation keys when asked to (and the project is not read-only).
ExportResult exportText(db::Database& database, const ExportRequest& request, QByteArray& text,
                        const Progress& progress = {});

// Writes the file at once or not at all (the files of papers named from the file's folder): an
// earlier file of that name stays as it was when the writing fails.
ExportResult exportToFile(db::Database& database, const ExportRequest& request, const QString& path,
                          const Progress& progress = {});

// A readable citation key from a surname and a year ("Wendrake2003"), letters without accents.
QString keyBase(const QString& surname, const QString& year, const QString& title);

} // namespace quirelle::interchange
