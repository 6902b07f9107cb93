// Importing a reference file into the open project: all entries in one transaction, authors and
// keywords reused where they exist, papers already in the project counted and left alone, and a
// summary of what was stored and what was skipped.
#pragma once

#include "db/database.h"
#include "interchange/data/formats.h"

#include <QString>

#include <optional>
#include <vector>

namespace quirelle::interchange {

// An entry that was not stored, and why: broken syntax, or no title.
struct SkippedEntry
{
    QString file;
    int line = 0;
    QString key;
    QString reason;
};

// An entry taken for a paper the project has: the same DOI, or title and year and first
// author, or the same citation key with the same title.
struct DuplicateEntry
{
    QString file;
    int line = 0;
    QString key;
    qint32 paper = 0; // the paper of the project
    QString title;    // its title
};

struct ImportSummary
{
    enum class Outcome {
        Imported,   // the file was read; what it held is stored (entries skipped aside)
        Unreadable, // no entry could be read from it; nothing stored
        Cancelled,  // stopped through the progress callback; nothing stored
        Failed,     // the project refused a change; nothing stored
    };

    QString file;
    Format format = Format::BibTeX;
    Outcome outcome = Outcome::Imported;
    QString message; // why nothing was stored, when nothing was

    int entriesRead = 0; // every entry met: added, duplicates and skipped ones
    int papersAdded = 0;
    int authorsAdded = 0;
    int keywordsAdded = 0;
    int referencesAdded = 0;
    int quotationsAdded = 0;
    int duplicatesSkipped = 0;
    // Values that did not fit their described field and are kept whole in the extra fields.
    int valuesInExtraFieldsOnly = 0;
    std::vector<SkippedEntry> skipped;
    std::vector<DuplicateEntry> duplicates;
    // Entries stored, though not quite as written (the reason says what).
    std::vector<SkippedEntry> warnings;
    // The files the added papers' `file` fields name: those linked where they are, and those
    // not found on this computer (the reason is the path as written). Together, every file
    // named.
    int filesLinked = 0;
    std::vector<SkippedEntry> filesNotFound;
};

// The summary as lines of text for a message box or the command line.
QString summaryText(const ImportSummary& summary);

// Imports the file, in the format its extension names unless one is given; the paths of the
// files its entries name are taken from the file's folder. No transaction may
// be open: the import is one of its own (and creates the extra fields table when missing).
ImportSummary importFile(db::Database& database, const QString& path,
                         std::optional<Format> format = std::nullopt,
                         const Progress& progress = {});

// Imports text already read; `source` names it in the summary. The files entries name are
// linked where they are; a relative path is taken from `folder` (not linked without one).
ImportSummary importText(db::Database& database, const QString& text, Format format,
                         const QString& source, const Progress& progress = {},
                         const QString& folder = {});

} // namespace quirelle::interchange
