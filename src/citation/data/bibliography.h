// Formatted references of the project's papers: the papers reach the processor as the CSL-JSON
// items the export writes (one mapping, so a field exported is a field formatted), and the
// entries come back as text, HTML or RTF, alone or as a whole document.
#pragma once

#include "citation/data/processor.h"
#include "db/database.h"

#include <QJsonArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

namespace quirelle::citation {

// The papers (every paper of the project, by number, when `papers` is empty) as CSL-JSON items,
// in that order. No transaction may be open. Nothing, with `error`, when they cannot be read.
std::optional<QJsonArray> itemsOfPapers(db::Database& database, const QList<qint32>& papers,
                                        QString* error);

// The items' "id"s, in order.
QStringList idsOf(const QJsonArray& items);

// The entries as one document: plain text a line each, an HTML page, or an RTF document.
QString document(const QStringList& entries, OutputFormat format);

} // namespace quirelle::citation
