// The grid editor's steps: Fill, Row click, Add, Clear, Delete and Back.
#include "editors/grideditor.h"

#include "app/services.h"
#include "app/textboxes.h"
#include "db/dberror.h"
#include "db/project.h"
#include "db/textrules.h"

#include <QAbstractTableModel>
#include <QCloseEvent>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTableView>

#include <algorithm>

namespace quirelle {

// The grid's contents: the headings, and the cells of every data row read in one pass over the
// record set. Row 0 of the grid is the header; data row r is the model's row r - 1.
class GridModel final : public QAbstractTableModel
{
public:
    GridModel(QStringList headings, QObject* parent)
        : QAbstractTableModel(parent), m_headings(std::move(headings))
    {}

    int rowCount(const QModelIndex& parent = {}) const override
    {
        return parent.isValid() ? 0 : m_rows;
    }
    int columnCount(const QModelIndex& parent = {}) const override
    {
        return parent.isValid() ? 0 : static_cast<int>(m_headings.size());
    }
    QVariant data(const QModelIndex& index, int role) const override
    {
        if (!index.isValid())
            return {};
        if (role == Qt::DisplayRole)
            return m_cells[static_cast<size_t>(index.row() * columnCount() + index.column())];
        if (role == Qt::TextAlignmentRole)
            return QVariant::fromValue(Qt::Alignment(Qt::AlignLeft | Qt::AlignVCenter));
        return {};
    }
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override
    {
        if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section >= 0 &&
            section < m_headings.size())
            return m_headings[section];
        return {};
    }

    void setCells(std::vector<QString> cells, int rows)
    {
        beginResetModel();
        m_cells = std::move(cells);
        m_rows = rows;
        endResetModel();
    }

private:
    QStringList m_headings;
    std::vector<QString> m_cells; // row by row
    int m_rows = 0;
};

namespace {

constexpr int ButtonWidth = 1215;
constexpr int ButtonHeight = 375;
constexpr int Margin = 120;

} // namespace

GridEditor::GridEditor(EditorDesign design)
    : Form(design.name, design.width, design.height, design.placement, Panel::DisablesUntilClosed)
    , m_design(std::move(design))
{
    setCaption(m_design.caption);
    setBackColour(this, panelColour());

    m_grid = new QTableView(this);
    m_grid->setObjectName(m_design.gridName);
    place(m_grid, m_design.gridAt);
    QStringList headings;
    for (const GridColumn& c : m_design.columns)
        headings << c.heading;
    m_model = new GridModel(headings, this);
    m_grid->setModel(m_model);
    m_grid->verticalHeader()->hide();
    m_grid->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    m_grid->verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 4);
    m_grid->horizontalHeader()->setSectionsClickable(false);
    m_grid->horizontalHeader()->setHighlightSections(false);
    m_grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_grid->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_grid->setSelectionMode(QAbstractItemView::SingleSelection);
    m_grid->setWordWrap(false);
    m_grid->setFocusPolicy(Qt::ClickFocus);
    // Only a click chooses a row: moving the current cell with the keyboard chooses nothing.
    QObject::connect(m_grid, &QTableView::clicked, this, [this](const QModelIndex& index) {
        services::guarded([&] { rowClick(index.row() + 1); });
    });

    const int boxCount = static_cast<int>(m_design.boxes.size());
    m_boxes.assign(static_cast<size_t>(boxCount), nullptr);
    m_labels.assign(static_cast<size_t>(boxCount), nullptr);
    for (const DetailBox& b : m_design.boxes) {
        auto* l = new QLabel(b.caption, this);
        l->setObjectName(controlName(QStringLiteral("lblDetails"), b.label));
        setBackColour(l, panelColour());
        l->setWordWrap(b.twoLineLabel);
        place(l, b.labelAt);
        m_labels[static_cast<size_t>(b.label)] = l;

        QWidget* box;
        if (b.kind == BoxKind::Line) {
            box = new QLineEdit(this);
        } else {
            auto* lines = new QPlainTextEdit(this);
            lines->setTabChangesFocus(true);
            lines->setVerticalScrollBarPolicy(b.kind == BoxKind::Lines ? Qt::ScrollBarAlwaysOn
                                                                       : Qt::ScrollBarAlwaysOff);
            box = lines;
        }
        box->setObjectName(controlName(QStringLiteral("txtDetails"), b.index));
        place(box, b.boxAt);
        m_boxes[static_cast<size_t>(b.index)] = box;
    }

    // The buttons stand along the bottom, left to right: the closing button, Delete, Clear, Add.
    std::vector<QPushButton*> row;
    const auto button = [&](const QString& caption, const QString& name,
                            void (GridEditor::*step)()) {
        auto* b = new QPushButton(caption, this);
        b->setObjectName(name);
        QObject::connect(b, &QPushButton::clicked, this,
                         [this, step] { services::guarded([&] { (this->*step)(); }); });
        row.push_back(b);
        return b;
    };
    cmdExit = button(m_design.exitCaption, QStringLiteral("cmdExit"), &GridEditor::back);
    if (m_design.deleteKind != DeleteKind::None)
        m_delete = button(QStringLiteral("Delete"), m_design.deleteName, &GridEditor::deleteRow);
    cmdClear = button(QStringLiteral("Clear"), QStringLiteral("cmdClear"), &GridEditor::clear);
    cmdAdd = button(QStringLiteral("Add"), QStringLiteral("cmdAdd"), &GridEditor::add);
    const int count = static_cast<int>(row.size());
    const int gap = (m_design.width - 2 * Margin - count * ButtonWidth) / std::max(1, count - 1);
    for (int i = 0; i < count; ++i) {
        place(row[static_cast<size_t>(i)],
              {Margin + i * (ButtonWidth + gap), m_design.buttonsTop, ButtonWidth, ButtonHeight});
    }

    QWidget* previous = nullptr;
    for (const FocusStop& stop : m_design.focusOrder) {
        QWidget* w = nullptr;
        if (stop.boxIndex >= 0) {
            w = box(stop.boxIndex);
        } else {
            switch (stop.which) {
            case EditorButton::Exit:
                w = cmdExit;
                break;
            case EditorButton::Delete:
                w = m_delete;
                break;
            case EditorButton::Clear:
                w = cmdClear;
                break;
            case EditorButton::Add:
                w = cmdAdd;
                break;
            }
        }
        if (!w)
            continue;
        if (previous)
            setTabOrder(previous, w);
        previous = w;
    }
}

const DetailBox& GridEditor::boxDesign(int index) const
{
    return *std::find_if(m_design.boxes.begin(), m_design.boxes.end(),
                         [index](const DetailBox& b) { return b.index == index; });
}

QString GridEditor::boxText(int index) const
{
    return quirelle::boxText(box(index));
}

void GridEditor::setBoxText(int index, const QString& text)
{
    quirelle::setBoxText(box(index), text);
}

void GridEditor::Form_Load()
{
    placeByPositionForm();
}

void GridEditor::populate()
{
    fill();
}

void GridEditor::changedElsewhere()
{
    fill(Fill::KeepBoxes);
}

void GridEditor::fill(Fill how)
{
    Project& p = project();
    // One read transaction for the whole pass, so that the rows are read under one lock of the
    // file instead of one lock each.
    db::ReadTransaction reading(p.db());
    m_records = p.db().OpenRecordset(m_design.query);
    m_generation = p.generation();
    db::Recordset& rs = m_records;
    const int rows = rs.RecordCount();
    std::vector<db::Field> fields;
    for (const GridColumn& c : m_design.columns)
        fields.push_back(rs.Fields(c.field));
    const db::Field id = rs.Fields(m_design.idField);
    std::vector<QString> cells;
    cells.reserve(static_cast<size_t>(rows) * fields.size());
    std::vector<qint32> previousIds = std::move(m_ids);
    m_ids.clear();
    m_ids.reserve(static_cast<size_t>(rows));
    if (rows > 0)
        rs.MoveFirst();
    // Leaves the record set past its last row: no row is current until a click chooses one.
    for (int i = 1; i <= rows; ++i) {
        for (const db::Field& f : fields)
            cells.push_back(f.text());
        m_ids.push_back(static_cast<qint32>(id.Value().toLongLong()));
        rs.MoveNext();
    }

    // The rows are read: only now does the window change (a file that cannot be read leaves it
    // as it was).
    if (how == Fill::KeepBoxes) {
        // Others' rows arrived: the row the user chose stays chosen where it still is.
        const qint32 chosen =
            m_selectedRow > 0 && static_cast<size_t>(m_selectedRow) <= previousIds.size()
                ? previousIds[static_cast<size_t>(m_selectedRow - 1)]
                : 0;
        const auto at = std::find(m_ids.begin(), m_ids.end(), chosen);
        m_selectedRow =
            chosen > 0 && at != m_ids.end() ? static_cast<int>(at - m_ids.begin()) + 1 : 0;
        m_model->setCells(std::move(cells), rows);
        m_grid->setVisible(rows > 0 || !m_design.hideEmptyGrid);
        return;
    }
    m_selectedRow = 0;
    if (m_design.fillClears)
        clear();
    // Hidden while it fills, shown once at the end (which disables the options panel: only once
    // the list has been read, so that a project that cannot be read does not leave the panel
    // unusable with no editor on screen).
    m_grid->setVisible(false);
    m_model->setCells(std::move(cells), rows);
    for (size_t c = 0; c < m_design.columns.size(); ++c)
        m_grid->setColumnWidth(static_cast<int>(c), toPixels(m_design.columns[c].width));
    m_grid->setVisible(rows > 0 || !m_design.hideEmptyGrid);
    showForm();
}

bool GridEditor::makeCurrent(int row)
{
    // Rows of a project that is no longer open name nothing in the one that is.
    if (m_generation != project().generation() || !m_records.isOpen())
        return false;
    db::Recordset& rs = m_records;
    const qint32 wanted = m_ids[static_cast<size_t>(row - 1)];
    try {
        if (row - 1 >= rs.RecordCount())
            return false;
        rs.setAbsolutePosition(row - 1);
        const QVariant v = rs.Fields(m_design.idField).Value();
        return !v.isNull() && v.toLongLong() == wanted;
    } catch (const db::DbError& e) {
        // A file another program holds is said; any other failure means the row is gone.
        if (e.number() == db::err::Locked)
            throw;
        return false;
    }
}

void GridEditor::rowClick(int row)
{
    if (row < 1 || row > static_cast<int>(m_ids.size()))
        return;
    if (!makeCurrent(row)) {
        m_selectedRow = 0;
        return;
    }
    m_selectedRow = row;
    if (m_design.rowClickClearsFirst)
        clear();
    db::Recordset& rs = m_records;
    // A Null field leaves its box as it was, unless the boxes were emptied first.
    for (int index : m_design.rowClickOrder) {
        const QVariant v = rs.Fields(boxDesign(index).field).Value();
        if (!v.isNull())
            setBoxText(index, v.toString());
    }
}

void GridEditor::add()
{
    // Rows are added to the project that is open, whatever the grid showed.
    if (!m_records.isOpen() || m_generation != project().generation())
        m_records = project().db().OpenRecordset(m_design.query);
    db::Recordset& rs = m_records;
    std::vector<int> written;
    rs.AddNew();
    try {
        for (int index : m_design.addOrder) {
            const QString text = boxText(index);
            const bool keepNull =
                std::find(m_design.nullWhenEmpty.begin(), m_design.nullWhenEmpty.end(), index) !=
                m_design.nullWhenEmpty.end();
            if (keepNull && text.isEmpty())
                continue;
            rs.Fields(boxDesign(index).field) = text;
            written.push_back(index);
        }
        rs.Update();
    } catch (const db::DbError& e) {
        // The engine stored nothing; the typed text stays in the boxes to be mended.
        rs.CancelUpdate();
        refuse(e, written);
        return;
    }
    clear();
    fill();
}

void GridEditor::refuse(const db::DbError& error, const std::vector<int>& writtenBoxes)
{
    QString reason = error.description();
    while (reason.endsWith(QLatin1Char('.')))
        reason.chop(1);
    int culprit = -1;
    // Name the field and its limit: the first text longer than its field, or the field that
    // may not be left empty.
    const db::TableInfo& table = project().db().TableDefs(m_design.table);
    for (const db::ColumnInfo& column : table.columns) {
        for (int index : writtenBoxes) {
            const QString& field = boxDesign(index).field;
            const QString text = boxText(index);
            const qsizetype length = db::text::characterCount(text);
            if (culprit < 0 && column.name.compare(field, Qt::CaseInsensitive) == 0 &&
                column.type == db::FieldType::Text && length > column.size) {
                culprit = index;
                reason = QStringLiteral("the field '%1' holds at most %2 characters, and the text "
                                        "typed has %3")
                             .arg(column.name)
                             .arg(column.size)
                             .arg(length);
            }
        }
    }
    if (culprit < 0 && error.number() == db::err::ZeroLength) {
        for (int index : writtenBoxes) {
            const QString& field = boxDesign(index).field;
            if (boxText(index).isEmpty() &&
                reason.contains(QLatin1Char('\'') + field + QLatin1Char('\''),
                                Qt::CaseInsensitive)) {
                culprit = index;
                reason = QStringLiteral("the field '%1' cannot be left empty").arg(field);
                break;
            }
        }
    }
    services::MsgBox(QStringLiteral("The %1 was not added: %2. Nothing was stored; the text is "
                                    "still in the boxes.")
                         .arg(m_design.noun, reason),
                     services::Icon::Critical);
    if (culprit >= 0)
        box(culprit)->setFocus();
}

void GridEditor::clear()
{
    for (int index : m_design.clearedBoxes)
        setBoxText(index, QString());
}

void GridEditor::deleteRow()
{
    // Nothing is deleted unless a click has chosen a row since the last fill.
    if (m_selectedRow < 1)
        return;
    if (m_design.deleteKind == DeleteKind::Ask &&
        services::MsgBox(QStringLiteral("Do you wish to delete?"), services::Buttons::YesNo) !=
            services::Answer::Yes)
        return;
    if (makeCurrent(m_selectedRow))
        m_records.Delete();
    if (m_design.deleteKind == DeleteKind::AtOnce)
        clear();
    fill();
}

void GridEditor::back()
{
    closeForm();
}

void GridEditor::closeRequested()
{
    back();
}

void GridEditor::closeEvent(QCloseEvent* event)
{
    // A window of its own is closed by its frame's close box: leave it as the closing button
    // does, so the options panel is not left disabled.
    if (!subWindow() && !services::hasEnded()) {
        event->ignore();
        services::guarded([this] { closeRequested(); });
        return;
    }
    Form::closeEvent(event);
}

} // namespace quirelle
