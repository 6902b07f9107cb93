// A record set: the rows a query returned, walked with a current row. A `select *` over one
// table is updatable: AddNew, Edit, Update and Delete write straight to the table, and field
// values are read from the table when a row becomes current, so memory grows with what is
// read. Other queries (distinct, chosen fields) give a read-only copy of their values.
#pragma once

#include "db/tableinfo.h"

#include <QString>
#include <QStringList>
#include <QVariant>

#include <memory>
#include <optional>
#include <vector>

namespace quirelle::db {

class Connection;
struct TranslatedSelect;
class Recordset;

// One field of the current row, by name. A Null value is an invalid QVariant, told apart from "".
class Field
{
public:
    QVariant Value() const;
    void setValue(const QVariant& v);
    Field& operator=(const QVariant& v)
    {
        setValue(v);
        return *this;
    }
    bool isNull() const { return Value().isNull(); }
    // The value as text; Null reads as "".
    QString text() const;
    // The value as a 32-bit integer; Null, "" or text that is not a number fail (type mismatch).
    qint32 toLong() const;
    const QString& name() const;

private:
    friend class Recordset;
    Field(Recordset* rs, int index) : m_rs(rs), m_index(index) {}
    Recordset* m_rs;
    int m_index;
};

class Recordset
{
public:
    Recordset();
    ~Recordset();
    Recordset(Recordset&&) noexcept;
    Recordset& operator=(Recordset&&) noexcept;
    Recordset(const Recordset&) = delete;
    Recordset& operator=(const Recordset&) = delete;

    bool isOpen() const;
    void Close();

    int RecordCount() const;
    // Whether the query returned no row (answered without counting them).
    bool isEmpty() const;
    void MoveFirst();
    void MoveNext();
    void MoveLast();
    bool hasCurrentRow() const { return AbsolutePosition() >= 0; }
    // Zero-based; -1 when no row is current.
    int AbsolutePosition() const;
    void setAbsolutePosition(int position);

    Field Fields(const QString& name);
    Field operator[](const QString& name) { return Fields(name); }
    int fieldCount() const;
    QString fieldName(int index) const;

    void AddNew();
    void Edit();
    void Update();
    void CancelUpdate();
    void Delete();

    // The row last added or changed through this record set, and moving back to it.
    qint64 LastModified() const;
    void setBookmark(qint64 bookmark);

private:
    friend class Database;
    friend class Field;
    struct Impl;
    Recordset(std::shared_ptr<Connection> c, const TranslatedSelect& q);

    int fieldIndex(const QString& name) const;
    QVariant valueAt(int index) const;
    void setValueAt(int index, const QVariant& v);
    const QString& nameAt(int index) const;
    Impl& impl() const;

    std::unique_ptr<Impl> d;
};

// Runs `body` once for every row of `rs`, from the first to the last (the count is read once,
// as the program has always walked its record sets).
template<class F>
void forEachRow(Recordset& rs, F&& body)
{
    const int count = rs.RecordCount();
    if (count == 0)
        return;
    rs.MoveFirst();
    for (int i = 0; i < count; ++i) {
        body();
        rs.MoveNext();
    }
}

// The id a link table keeps as decimal text in `field` of the current row; nothing when the
// text is not a number (such a row links to nothing).
std::optional<qint32> linkedId(Recordset& rs, const QString& field);

} // namespace quirelle::db
