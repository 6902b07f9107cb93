// The lines of a combo box that lists a whole table (every author, every paper), kept between
// uses: read again only when the table has changed since, through this program or another.
#pragma once

#include "db/database.h"

#include <QStringList>

#include <optional>

namespace quirelle::paper {

class ComboCache final
{
public:
    // `table` is the table whose changes make the lines stale; `query` selects the id, then the
    // text (a third field, when there is one, follows after ", ").
    ComboCache(QString table, QString query);

    // The lines, read again first when the table has changed. `changed` (when given) tells
    // whether they were read again since the last call.
    const QStringList& lines(db::Database& database, bool* changed = nullptr);

    // Runs a write of the program's own to the table and makes the same change to the lines with
    // `edit`, so that they need not be read again; when the lines were not current, they will be
    // read at their next use instead.
    template<class Write, class Edit>
    void writeThrough(db::Database& database, Write&& write, Edit&& edit)
    {
        const bool current = m_version && *m_version == database.tableVersion(m_table);
        write();
        if (!current)
            return;
        edit(m_lines);
        m_version = database.tableVersion(m_table);
        m_changed = true;
    }

    // Forgets the lines (another project was opened).
    void clear();

private:
    QString m_table;
    QString m_query;
    std::optional<db::TableVersion> m_version;
    QStringList m_lines;
    bool m_changed = false;
};

// Where the line of paper `id` is, or would go, in paper lines ordered by their number.
qsizetype paperLinePosition(const QStringList& lines, qint32 id);

} // namespace quirelle::paper
