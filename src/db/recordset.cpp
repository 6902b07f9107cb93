// Record sets over the engine's connection. An updatable record set keeps the row numbers its
// query returned and reads one row's values when that row is first needed (with its neighbours';
// a search on a server with its row number); a read-only one keeps the values it selected.
#include "db/recordset.h"

#include "db/connection.h"
#include "db/dberror.h"
#include "db/jetsql.h"
#include "db/textrules.h"

#include <QScopeGuard>

#include <algorithm>
#include <optional>

namespace quirelle::db {

namespace {

[[noreturn]] void noCurrentRecord()
{
    throw DbError(err::NoCurrentRecord, QStringLiteral("No current record."));
}

QVariant columnValue(const Statement& s, int col, const ColumnInfo* info)
{
    switch (s.type(col)) {
    case ValueType::Null:
        return {};
    case ValueType::Integer:
        if (info && info->isText())
            return QString::number(s.integer(col));
        return QVariant::fromValue(static_cast<qint32>(s.integer(col)));
    case ValueType::Real:
        return s.real(col);
    case ValueType::Text:
        break;
    }
    return s.text(col);
}

// The value as the field's type will hold it; fails as the dialect does for text that is not
// a number in a Long field, and for text longer than its field.
QVariant convertForField(const QVariant& v, const ColumnInfo& c)
{
    if (v.isNull())
        return {};
    if (c.type == FieldType::Long) {
        bool ok = false;
        qint64 n = 0;
        if (v.typeId() == QMetaType::QString) {
            const QString t = v.toString().trimmed();
            n = t.toLongLong(&ok);
            if (!ok) {
                const double d = t.toDouble(&ok);
                n = static_cast<qint64>(d < 0 ? d - 0.5 : d + 0.5);
            }
        } else {
            n = v.toLongLong(&ok);
        }
        if (!ok || n < INT32_MIN || n > INT32_MAX)
            throw DbError(err::TypeMismatch,
                          QStringLiteral("Data type conversion error in field '%1'.").arg(c.name));
        return QVariant::fromValue(static_cast<qint32>(n));
    }
    const QString text = v.toString();
    if (c.type == FieldType::Text && text::characterCount(text) > c.size) {
        throw DbError(err::FieldTooSmall,
                      QStringLiteral("The field '%1' is too small to accept the amount of data you "
                                     "attempted to add: it holds at most %2 characters.")
                          .arg(c.name)
                          .arg(c.size));
    }
    return text;
}

} // namespace

struct Recordset::Impl
{
    enum class Mode { None, AddNew, Edit };

    std::shared_ptr<Connection> conn;
    bool updatable = false;
    // An updatable set reads its row numbers when a row is first needed, not when it is opened:
    // opening the shared lists of a large project then costs a count of each, not a read of
    // every row. Until then `query` keeps what reading them takes.
    bool loaded = true;
    TranslatedSelect query;
    std::optional<int> unloadedCount;
    std::optional<bool> unloadedEmpty;       // asked before the rows were read
    TableInfo table;                         // updatable: the table read
    QStringList names;                       // read-only: the names of the values
    std::vector<qint64> keys;                // updatable: row numbers in query order
    std::vector<std::vector<QVariant>> rows; // read-only: the values
    int position = -1;           // current row; -1 before the first, count after the last
    bool currentDeleted = false; // the current row was deleted and not yet moved from

    // Values of up to BlockSize rows read together, by row number. They stay valid while this
    // connection writes nothing: any change of any table makes the next read fetch anew. Only
    // the fields asked for so far are read (a search that lists ids and titles does not read
    // every summary); a field asked for the first time reads the block again with it.
    static constexpr int BlockSize = 64;
    struct BlockRow
    {
        qint64 key;
        std::vector<QVariant> values; // of blockFields, in their order
        bool operator<(qint64 k) const { return key < k; }
    };
    std::vector<BlockRow> block; // in the order of their row numbers
    quint64 blockChanges = ~quint64(0);
    std::vector<int> blockFields; // the fields the block holds, by their index
    std::vector<int> slotOf;      // by field index: its place in a block row; -1: not read
    QString blockSql;             // the statement that reads a block of those fields
    // A block read by a list of row numbers: the row after its last, and how many it read.
    static constexpr int MaxListed = 4096;
    bool listed = false;
    int readEnd = -1;
    int readSize = BlockSize;

    Mode mode = Mode::None;
    std::vector<std::optional<QVariant>> buffer; // values put since AddNew or Edit
    qint64 lastModified = -1;

    int count()
    {
        if (!loaded) {
            // A query with a condition is counted by a pass over the rows, which reading its
            // row numbers makes anyway: read them at once instead of passing twice.
            if (query.filtered)
                load();
            else if (!unloadedCount)
                unloadedCount = static_cast<int>(scalar(query.countSql));
            if (!loaded)
                return *unloadedCount;
        }
        return static_cast<int>(updatable ? keys.size() : rows.size());
    }
    bool empty()
    {
        if (!loaded && !unloadedCount) {
            // Opening a query asks, and then moving to its first row asks again: once is enough.
            if (!unloadedEmpty)
                unloadedEmpty = scalar(query.existsSql) == 0;
            return *unloadedEmpty;
        }
        return count() == 0;
    }

    // The one value of a statement over the query's table, with the query's values bound.
    qint64 scalar(const QString& sql)
    {
        auto s = conn->prepare(sql);
        bindAll(*s);
        return s->step() ? s->integer(0) : 0;
    }
    void bindAll(Statement& s)
    {
        for (size_t i = 0; i < query.bindings.size(); ++i)
            s.bind(static_cast<int>(i + 1), query.bindings[i]);
    }
    // Reads the row numbers, in the query's order; their values are read when they are needed.
    // A search on a server reads the values of the fields asked for so far with them: one
    // exchange with the server instead of several. It keeps those of as many rows as the engine
    // says, and no more than ReadAheadText characters of text (a walk reads the others again).
    static constexpr qsizetype ReadAheadText = 4 << 20;
    void load()
    {
        if (loaded)
            return;
        const int ahead = query.filtered && !blockFields.empty() ? conn->rowsReadWithKeys() : 0;
        auto s = conn->prepare(ahead > 0 ? QStringLiteral("SELECT ") + table.rowKey +
                                               blockColumns(QString()) + query.rowsSql
                                         : query.sql);
        bindAll(*s);
        if (ahead > 0)
            block.clear();
        bool keeping = ahead > 0;
        qsizetype text = 0;
        while (s->step()) {
            keys.push_back(s->integer(0));
            if (!keeping)
                continue;
            block.push_back(blockRow(*s));
            for (const QVariant& v : block.back().values)
                text += v.typeId() == QMetaType::QString ? v.toString().size() : 0;
            keeping = static_cast<int>(keys.size()) < ahead && text < ReadAheadText;
        }
        if (ahead > 0)
            settleBlock();
        loaded = true;
        unloadedCount.reset();
        unloadedEmpty.reset();
        query = {};
        // Rows gone meanwhile leave a position past the end where the last row was.
        if (position > count())
            position = count();
    }
    int fieldCount() const
    {
        return updatable ? static_cast<int>(table.columns.size()) : static_cast<int>(names.size());
    }

    // Fails unless a row is current.
    void requireCurrent()
    {
        load();
        if (currentDeleted)
            throw DbError(err::RecordDeleted, QStringLiteral("Record is deleted."));
        if (position < 0 || position >= count())
            noCurrentRecord();
        if (updatable)
            currentBlockRow(-1); // a row deleted meanwhile is not current
    }

    // The value of the field at `index` in the current row.
    const QVariant& currentValue(int index)
    {
        load();
        if (currentDeleted)
            throw DbError(err::RecordDeleted, QStringLiteral("Record is deleted."));
        if (position < 0 || position >= count())
            noCurrentRecord();
        if (!updatable)
            return rows[static_cast<size_t>(position)][static_cast<size_t>(index)];
        const BlockRow& row = currentBlockRow(index);
        return row.values[static_cast<size_t>(slotOf[static_cast<size_t>(index)])];
    }

    // The current row's values, holding at least the field at `index` (-1: whichever fields the
    // block holds).
    const BlockRow& currentBlockRow(int index)
    {
        const qint64 key = keys[static_cast<size_t>(position)];
        if (blockChanges != conn->totalChanges())
            block.clear();
        if (index >= 0 && slotOf[static_cast<size_t>(index)] < 0) {
            // Where every read is an exchange with a server, a set of a block's rows or fewer
            // reads all its fields at once rather than again for each field asked for.
            if (conn->rowsReadWithKeys() > 0 && count() <= BlockSize) {
                for (int f = 0; f < fieldCount(); ++f) {
                    if (slotOf[static_cast<size_t>(f)] < 0)
                        addBlockField(f);
                }
            } else {
                addBlockField(index);
            }
            block.clear();
        }
        auto it = std::lower_bound(block.begin(), block.end(), key);
        if (it == block.end() || it->key != key) {
            readBlock(position);
            it = std::lower_bound(block.begin(), block.end(), key);
            if (it == block.end() || it->key != key)
                throw DbError(err::RecordDeleted, QStringLiteral("Record is deleted."));
        }
        return *it;
    }

    // ", field, field" for the fields a block holds, each name after `prefix`.
    QString blockColumns(const QString& prefix) const
    {
        QString columns;
        for (int f : blockFields)
            columns += QStringLiteral(", ") + prefix +
                       sqliteName(table.columns[static_cast<size_t>(f)].name);
        return columns;
    }
    // The row number and the block's fields of the statement's current row.
    BlockRow blockRow(const Statement& s) const
    {
        BlockRow row{s.integer(0), {}};
        row.values.reserve(blockFields.size());
        for (size_t i = 0; i < blockFields.size(); ++i) {
            const auto f = static_cast<size_t>(blockFields[i]);
            row.values.push_back(columnValue(s, static_cast<int>(i) + 1, &table.columns[f]));
        }
        return row;
    }
    // The block read is put in the order of its row numbers (SQLite returns them so, but
    // nothing promises it) and holds until this connection writes.
    void settleBlock()
    {
        if (!std::is_sorted(block.begin(), block.end(),
                            [](const BlockRow& x, const BlockRow& y) { return x.key < y.key; }))
            std::sort(block.begin(), block.end(),
                      [](const BlockRow& x, const BlockRow& y) { return x.key < y.key; });
        blockChanges = conn->totalChanges();
    }

    // Reads the rows from `first` on in one statement, so that walking a record set costs one
    // statement per block rather than one per row. Where the engine reads a list of row
    // numbers in one statement, a walk from block to block reads twice as many each time.
    void readBlock(int first)
    {
        if (blockSql.isEmpty()) {
            blockSql = conn->listLookup(table.name,
                                        QStringLiteral("t.") + table.rowKey +
                                            blockColumns(QStringLiteral("t.")),
                                        table.rowKey, true, table.rowKey);
            listed = !blockSql.isEmpty();
        }
        if (blockSql.isEmpty()) {
            QStringList params;
            for (int i = 1; i <= BlockSize; ++i)
                params << QStringLiteral("?%1").arg(i);
            blockSql = QStringLiteral("SELECT %1%2 FROM %3 WHERE %4 IN (%5)")
                           .arg(table.rowKey, blockColumns(QString()), sqliteName(table.name),
                                table.rowKey, params.join(QLatin1Char(',')));
        }
        Statement& s = conn->cached(blockSql);
        if (listed) {
            readSize = first == readEnd ? std::min(2 * readSize, MaxListed) : BlockSize;
            readEnd = std::min(count(), first + readSize);
            std::vector<QVariant> listedKeys;
            listedKeys.reserve(static_cast<size_t>(readEnd - first));
            for (int p = first; p < readEnd; ++p)
                listedKeys.emplace_back(keys[static_cast<size_t>(p)]);
            conn->bindList(s, 1, listedKeys);
        } else {
            const int last = std::min(count(), first + BlockSize);
            for (int p = first; p < last; ++p)
                s.bindInteger(p - first + 1, keys[static_cast<size_t>(p)]);
        }
        block.clear();
        while (s.step())
            block.push_back(blockRow(s));
        s.reset();
        settleBlock();
    }

    // A field asked for before a search's rows are read is read with them (see load).
    void expect(int index)
    {
        if (!updatable || loaded || !query.filtered || conn->rowsReadWithKeys() == 0 ||
            slotOf[static_cast<size_t>(index)] >= 0)
            return;
        addBlockField(index);
    }
    void addBlockField(int index)
    {
        blockFields.insert(std::upper_bound(blockFields.begin(), blockFields.end(), index), index);
        for (size_t k = 0; k < blockFields.size(); ++k)
            slotOf[static_cast<size_t>(blockFields[k])] = static_cast<int>(k);
        blockSql.clear();
    }

    void moveTo(int p)
    {
        mode = Mode::None;
        buffer.clear();
        currentDeleted = false;
        position = p;
    }

    void requireUpdatable() const
    {
        if (!updatable)
            throw DbError(err::NotUpdatable, QStringLiteral("Operation is not supported for this "
                                                            "type of object: the record set is "
                                                            "read-only."));
        if (conn->readOnly())
            throw DbError(err::ReadOnly, QStringLiteral("Cannot update. Database or object is "
                                                        "read-only."));
    }

    void insertRow();
    void updateRow();
};

void Recordset::Impl::insertRow()
{
    // Everything of one new row is written in one transaction, so a refusal leaves nothing.
    // (A server numbers the row in the one statement that adds it.)
    const bool ownTransaction = conn->numbersFields() && !conn->inTransaction();
    if (ownTransaction)
        conn->takeWriteTurn(); // it reads, then writes
    const auto settle = qScopeGuard([this] { conn->settleWriteTurn(); });
    if (ownTransaction)
        conn->exec(QStringLiteral("SAVEPOINT quirelle_row"));
    try {
        QStringList fields, params;
        std::vector<QVariant> values;
        for (size_t i = 0; i < table.columns.size(); ++i) {
            const ColumnInfo& c = table.columns[i];
            QVariant v;
            if (buffer[i].has_value())
                v = convertForField(*buffer[i], c);
            else if (c.autoNumber && !c.rowidAlias && conn->numbersFields())
                v = conn->nextNumber(table, c);
            else
                continue;
            fields << sqliteName(c.name);
            values.push_back(v);
            params << QStringLiteral("?%1").arg(values.size());
        }
        const QString sql =
            fields.isEmpty()
                ? QStringLiteral("INSERT INTO %1 DEFAULT VALUES").arg(sqliteName(table.name))
                : QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                      .arg(sqliteName(table.name), fields.join(QStringLiteral(", ")),
                           params.join(QStringLiteral(", ")));
        Statement& s = conn->cached(sql + conn->returning(table));
        for (size_t i = 0; i < values.size(); ++i)
            s.bind(static_cast<int>(i + 1), values[i]);
        s.step();
        lastModified = conn->insertedKey(s);
        s.reset();
        if (ownTransaction)
            conn->exec(QStringLiteral("RELEASE quirelle_row"));
    } catch (...) {
        if (ownTransaction) {
            try {
                conn->exec(QStringLiteral("ROLLBACK TO quirelle_row; RELEASE quirelle_row"));
            } catch (const DbError&) {
                // the connection already undid it
            }
        }
        throw;
    }
    keys.push_back(lastModified);
}

void Recordset::Impl::updateRow()
{
    QStringList sets;
    std::vector<QVariant> values;
    for (size_t i = 0; i < table.columns.size(); ++i) {
        if (!buffer[i].has_value())
            continue;
        values.push_back(convertForField(*buffer[i], table.columns[i]));
        sets
            << QStringLiteral("%1 = ?%2").arg(sqliteName(table.columns[i].name)).arg(values.size());
    }
    const qint64 key = keys[static_cast<size_t>(position)];
    if (!sets.isEmpty()) {
        auto s = conn->prepare(
            QStringLiteral("UPDATE %1 SET %2 WHERE %3 = ?%4")
                .arg(sqliteName(table.name), sets.join(QStringLiteral(", ")), table.rowKey)
                .arg(values.size() + 1));
        for (size_t i = 0; i < values.size(); ++i)
            s->bind(static_cast<int>(i + 1), values[i]);
        s->bindInteger(static_cast<int>(values.size() + 1), key);
        s->run();
    }
    lastModified = key;
}

Recordset::Recordset() = default;
Recordset::~Recordset() = default;
Recordset::Recordset(Recordset&&) noexcept = default;
Recordset& Recordset::operator=(Recordset&&) noexcept = default;

Recordset::Recordset(std::shared_ptr<Connection> c, const TranslatedSelect& q)
    : d(std::make_unique<Impl>())
{
    d->conn = std::move(c);
    d->updatable = q.updatable;
    const TableInfo& table = d->conn->table(q.table);
    if (q.updatable) {
        d->table = table;
        d->slotOf.assign(table.columns.size(), -1);
        d->query = q;
        d->loaded = false;
        d->position = 0; // the first row, when there is one
        return;
    }
    d->names = q.columns;
    auto s = d->conn->prepare(q.sql);
    for (size_t i = 0; i < q.bindings.size(); ++i)
        s->bind(static_cast<int>(i + 1), q.bindings[i]);
    // The field each value comes from, which says how to read it, is the same on every row.
    std::vector<const ColumnInfo*> origins;
    for (int i = 0; i < q.columns.size(); ++i) {
        const int at = table.indexOf(s->originName(i));
        origins.push_back(at >= 0 ? &table.columns[static_cast<size_t>(at)] : nullptr);
    }
    while (s->step()) {
        std::vector<QVariant> row;
        row.reserve(origins.size());
        for (size_t i = 0; i < origins.size(); ++i)
            row.push_back(columnValue(*s, static_cast<int>(i), origins[i]));
        d->rows.push_back(std::move(row));
    }
    d->position = d->count() > 0 ? 0 : -1;
}

Recordset::Impl& Recordset::impl() const
{
    if (!d)
        throw DbError(err::DatabaseClosed, QStringLiteral("Object invalid or no longer set."));
    return *d;
}

bool Recordset::isOpen() const
{
    return d != nullptr;
}

void Recordset::Close()
{
    d.reset();
}

int Recordset::RecordCount() const
{
    return impl().count();
}

bool Recordset::isEmpty() const
{
    return impl().empty();
}

void Recordset::MoveFirst()
{
    Impl& i = impl();
    if (i.empty())
        noCurrentRecord();
    i.moveTo(0);
}

void Recordset::MoveLast()
{
    Impl& i = impl();
    if (i.count() == 0)
        noCurrentRecord();
    i.moveTo(i.count() - 1);
}

void Recordset::MoveNext()
{
    Impl& i = impl();
    if (i.currentDeleted) {
        // The rows after a deleted one moved up into its place.
        i.moveTo(std::min(i.position, i.count()));
        return;
    }
    if (i.position >= i.count())
        noCurrentRecord();
    i.moveTo(i.position + 1);
}

int Recordset::AbsolutePosition() const
{
    Impl& i = impl();
    if (i.currentDeleted || i.position < 0 || i.position >= i.count())
        return -1;
    return i.position;
}

void Recordset::setAbsolutePosition(int position)
{
    Impl& i = impl();
    if (position < 0 || position >= i.count())
        throw DbError(err::NoCurrentRecord,
                      QStringLiteral("Invalid argument: no row at position %1.").arg(position));
    i.moveTo(position);
}

int Recordset::fieldIndex(const QString& name) const
{
    const Impl& i = impl();
    if (i.updatable) {
        const int at = i.table.indexOf(name);
        if (at >= 0)
            return at;
    } else {
        for (int k = 0; k < i.names.size(); ++k) {
            if (i.names[k].compare(name, Qt::CaseInsensitive) == 0)
                return k;
        }
    }
    throw DbError(err::NotInCollection,
                  QStringLiteral("Item not found in this collection: '%1'.").arg(name));
}

Field Recordset::Fields(const QString& name)
{
    const int index = fieldIndex(name);
    impl().expect(index);
    return Field(this, index);
}

int Recordset::fieldCount() const
{
    return impl().fieldCount();
}

QString Recordset::fieldName(int index) const
{
    return nameAt(index);
}

const QString& Recordset::nameAt(int index) const
{
    const Impl& i = impl();
    return i.updatable ? i.table.columns[static_cast<size_t>(index)].name : i.names[index];
}

QVariant Recordset::valueAt(int index) const
{
    Impl& i = impl();
    if (i.mode != Impl::Mode::None && i.buffer[static_cast<size_t>(index)].has_value())
        return *i.buffer[static_cast<size_t>(index)];
    if (i.mode == Impl::Mode::AddNew)
        return {};
    return i.currentValue(index);
}

void Recordset::setValueAt(int index, const QVariant& v)
{
    Impl& i = impl();
    if (i.mode == Impl::Mode::None)
        throw DbError(err::UpdateWithoutEdit,
                      QStringLiteral("Update or CancelUpdate without AddNew or Edit."));
    i.buffer[static_cast<size_t>(index)] = v;
}

void Recordset::AddNew()
{
    Impl& i = impl();
    i.requireUpdatable();
    i.load(); // the new row joins the rows the set holds
    i.mode = Impl::Mode::AddNew;
    i.buffer.assign(i.table.columns.size(), std::nullopt);
}

void Recordset::Edit()
{
    Impl& i = impl();
    i.requireUpdatable();
    i.requireCurrent();
    // Inside a transaction on a server, the row is held until it ends, and read again: a value
    // compared before the write is the one the write replaces.
    if (i.conn->lockRow(i.table, i.keys[static_cast<size_t>(i.position)]))
        i.block.clear();
    i.mode = Impl::Mode::Edit;
    i.buffer.assign(i.table.columns.size(), std::nullopt);
}

void Recordset::Update()
{
    Impl& i = impl();
    if (i.mode == Impl::Mode::None)
        throw DbError(err::UpdateWithoutEdit,
                      QStringLiteral("Update or CancelUpdate without AddNew or Edit."));
    // A refused row is not kept half-made: the pending change is dropped with the error.
    const Impl::Mode mode = i.mode;
    i.mode = Impl::Mode::None;
    try {
        if (mode == Impl::Mode::AddNew)
            i.insertRow();
        else
            i.updateRow();
    } catch (...) {
        i.buffer.clear();
        throw;
    }
    i.buffer.clear();
}

void Recordset::CancelUpdate()
{
    Impl& i = impl();
    i.mode = Impl::Mode::None;
    i.buffer.clear();
}

void Recordset::Delete()
{
    Impl& i = impl();
    i.requireUpdatable();
    i.requireCurrent(); // (and reads the rows first)
    const qint64 key = i.keys[static_cast<size_t>(i.position)];
    Statement& s = i.conn->cached(QStringLiteral("DELETE FROM %1 WHERE %2 = ?1")
                                      .arg(sqliteName(i.table.name), i.table.rowKey));
    s.bindInteger(1, key);
    s.run();
    s.reset();
    i.keys.erase(i.keys.begin() + i.position);
    i.currentDeleted = true;
    i.mode = Impl::Mode::None;
}

qint64 Recordset::LastModified() const
{
    return impl().lastModified;
}

void Recordset::setBookmark(qint64 bookmark)
{
    Impl& i = impl();
    i.load();
    for (size_t k = 0; k < i.keys.size(); ++k) {
        if (i.keys[k] == bookmark) {
            i.moveTo(static_cast<int>(k));
            return;
        }
    }
    throw DbError(err::NoCurrentRecord, QStringLiteral("Not a valid bookmark."));
}

QVariant Field::Value() const
{
    return m_rs->valueAt(m_index);
}

void Field::setValue(const QVariant& v)
{
    m_rs->setValueAt(m_index, v);
}

QString Field::text() const
{
    const QVariant v = Value();
    return v.isNull() ? QString() : v.toString();
}

qint32 Field::toLong() const
{
    const QVariant v = Value();
    if (v.typeId() == QMetaType::Int)
        return v.toInt();
    bool ok = false;
    const qint64 n = v.isNull() ? 0 : v.toString().trimmed().toLongLong(&ok);
    if (!ok || n < INT32_MIN || n > INT32_MAX)
        throw DbError(err::TypeMismatch,
                      QStringLiteral("Type mismatch: '%1' is not a number.").arg(v.toString()));
    return static_cast<qint32>(n);
}

const QString& Field::name() const
{
    return m_rs->nameAt(m_index);
}

std::optional<qint32> linkedId(Recordset& rs, const QString& field)
{
    bool ok = false;
    const qint32 id = rs.Fields(field).text().trimmed().toInt(&ok);
    return ok ? std::optional<qint32>(id) : std::nullopt;
}

} // namespace quirelle::db
