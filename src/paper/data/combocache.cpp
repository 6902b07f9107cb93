// Reading and keeping combo lines.
#include "paper/data/combocache.h"

#include "db/listline.h"

#include <algorithm>

namespace quirelle::paper {

ComboCache::ComboCache(QString table, QString query)
    : m_table(std::move(table)), m_query(std::move(query))
{}

const QStringList& ComboCache::lines(db::Database& database, bool* changed)
{
    const db::TableVersion version = database.tableVersion(m_table);
    if (m_version != version) {
        db::ReadTransaction reading(database);
        db::Recordset rs = database.OpenRecordset(m_query);
        std::vector<db::Field> fields;
        for (int k = 0; k < rs.fieldCount(); ++k)
            fields.push_back(rs.Fields(rs.fieldName(k)));
        QStringList lines;
        lines.reserve(rs.RecordCount());
        const QString comma = QStringLiteral(", ");
        db::forEachRow(rs, [&] {
            QString text = fields[1].text();
            if (fields.size() > 2)
                text += comma + fields[2].text();
            lines.append(ListLine::format(fields[0].toLong(), text));
        });
        m_lines = std::move(lines);
        m_version = version;
        m_changed = true;
    }
    if (changed)
        *changed = m_changed;
    m_changed = false;
    return m_lines;
}

void ComboCache::clear()
{
    m_version.reset();
    m_lines.clear();
    m_changed = true;
}

qsizetype paperLinePosition(const QStringList& lines, qint32 id)
{
    const auto at =
        std::lower_bound(lines.begin(), lines.end(), id, [](const QString& line, qint32 wanted) {
            return ListLine::idOf(line).value_or(0) < wanted;
        });
    return at - lines.begin();
}

} // namespace quirelle::paper
