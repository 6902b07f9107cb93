// What the engine knows of a stored table: its fields in order, their types, sizes and rules.
#pragma once

#include <QString>

#include <vector>

namespace quirelle::db {

enum class FieldType { Long, Text, Memo };

struct ColumnInfo
{
    QString name;
    FieldType type = FieldType::Text;
    int size = 0;            // characters, for Text
    bool autoNumber = false; // numbered by the engine when no value is put
    bool rowidAlias = false; // stored as the table's own row number (unique)
    // On a server, the hidden column that keeps this text folded (see quirelle_fold), kept by
    // the server as the text changes, for the fields the searches look inside; "" for others.
    QString folded;
    bool isText() const { return type != FieldType::Long; }
};

struct TableInfo
{
    QString name;
    std::vector<ColumnInfo> columns;
    // How a statement names the row number that addresses a row: SQLite's own, or on a server
    // the table's numbered key (or the hidden column given to a table without one).
    QString rowKey = QStringLiteral("rowid");

    // Index of the field named `field`, ignoring letter case; -1 when there is none.
    int indexOf(QStringView field) const
    {
        for (size_t i = 0; i < columns.size(); ++i) {
            if (columns[i].name.compare(field, Qt::CaseInsensitive) == 0)
                return static_cast<int>(i);
        }
        return -1;
    }
};

} // namespace quirelle::db
