// The "More" tab: the grid of a paper's extra fields, each change stored when its cell is left.
#include "paper/fieldstab.h"

#include "app/desktop.h"
#include "app/form.h"
#include "db/dberror.h"
#include "db/project.h"

#include <QHeaderView>
#include <QPushButton>
#include <QSignalBlocker>
#include <QTableWidget>

namespace quirelle {

namespace {

constexpr int NameColumn = 0;
constexpr int ValueColumn = 1;

// What a field's value opens on double-click: a DOI its page, a URL itself.
QUrl linkOf(const QString& name, const QString& value)
{
    const QString v = value.trimmed();
    if (v.isEmpty())
        return {};
    if (name.compare(QStringLiteral("doi"), Qt::CaseInsensitive) == 0)
        return QUrl(QStringLiteral("https://doi.org/") + v);
    if (name.compare(QStringLiteral("url"), Qt::CaseInsensitive) == 0) {
        const QUrl url(v);
        const QString scheme = url.scheme().toLower();
        if (scheme == QStringLiteral("http") || scheme == QStringLiteral("https"))
            return url;
    }
    return {};
}

} // namespace

FieldsTab::FieldsTab(QWidget* parent) : QWidget(parent)
{
    grdFields = new QTableWidget(0, 2, this);
    grdFields->setObjectName(QStringLiteral("grdFields"));
    grdFields->setHorizontalHeaderLabels({QStringLiteral("Field"), QStringLiteral("Value")});
    grdFields->horizontalHeader()->setStretchLastSection(true);
    grdFields->verticalHeader()->hide();
    grdFields->setSelectionMode(QAbstractItemView::SingleSelection);
    // A double-click opens a DOI or a URL; typing or F2 edits.
    grdFields->setEditTriggers(QAbstractItemView::EditKeyPressed |
                               QAbstractItemView::AnyKeyPressed |
                               QAbstractItemView::SelectedClicked);
    place(grdFields, 120, 120, 9240, 2520);
    grdFields->setColumnWidth(NameColumn, toPixels(2400));

    cmdAddField = new QPushButton(QStringLiteral("Add Field"), this);
    cmdAddField->setObjectName(QStringLiteral("cmdAddField"));
    place(cmdAddField, 9480, 120, 1680, 375);
    cmdDeleteField = new QPushButton(QStringLiteral("Delete Field"), this);
    cmdDeleteField->setObjectName(QStringLiteral("cmdDeleteField"));
    place(cmdDeleteField, 9480, 600, 1680, 375);

    QObject::connect(grdFields, &QTableWidget::itemChanged, this, [this](QTableWidgetItem* item) {
        services::guarded([&] { grdFields_ItemChanged(item); });
    });
    QObject::connect(grdFields, &QTableWidget::cellDoubleClicked, this, [this](int row, int col) {
        services::guarded([&] { grdFields_DoubleClick(row, col); });
    });
    QObject::connect(cmdAddField, &QPushButton::clicked, this,
                     [this] { services::guarded([this] { cmdAddField_Click(); }); });
    QObject::connect(cmdDeleteField, &QPushButton::clicked, this,
                     [this] { services::guarded([this] { cmdDeleteField_Click(); }); });
    showFields(0, {});
}

std::vector<paper::ExtraField> FieldsTab::read(qint32 paperId)
{
    if (paperId < 1)
        return {};
    return paper::extraFields(project().db(), paperId);
}

void FieldsTab::showFields(qint32 paperId, const std::vector<paper::ExtraField>& fields)
{
    m_paperId = paperId;
    const QSignalBlocker quiet(grdFields);
    grdFields->setRowCount(0);
    for (const paper::ExtraField& f : fields)
        addRow(f.name, f.value);
    for (QWidget* w : std::initializer_list<QWidget*>{grdFields, cmdAddField, cmdDeleteField})
        w->setEnabled(paperId >= 1);
}

void FieldsTab::addRow(const QString& name, const QString& value)
{
    const int row = grdFields->rowCount();
    grdFields->insertRow(row);
    auto* nameItem = new QTableWidgetItem(name);
    nameItem->setData(Qt::UserRole, name);
    grdFields->setItem(row, NameColumn, nameItem);
    grdFields->setItem(row, ValueColumn, new QTableWidgetItem(value));
}

QString FieldsTab::storedName(int row) const
{
    const QTableWidgetItem* item = grdFields->item(row, NameColumn);
    return item ? item->data(Qt::UserRole).toString() : QString();
}

void FieldsTab::grdFields_ItemChanged(QTableWidgetItem* item)
{
    if (m_paperId < 1)
        return;
    const int row = item->row();
    const QString name = storedName(row);
    db::Database& database = project().db();
    // A refused change keeps what was typed, so that it can be mended.
    try {
        if (item->column() == ValueColumn) {
            if (!name.isEmpty())
                paper::storeExtraField(database, m_paperId, name, item->text());
            return;
        }
        const QString typed = item->text().trimmed();
        if (typed == name)
            return;
        if (!paper::isFieldName(typed)) {
            services::MsgBox(
                QStringLiteral("A field name is made of letters, digits, '-' and '_' only."));
            return;
        }
        paper::renameExtraField(database, m_paperId, name, typed);
        if (name.isEmpty()) {
            if (const QTableWidgetItem* value = grdFields->item(row, ValueColumn);
                value && !value->text().isEmpty())
                paper::storeExtraField(database, m_paperId, typed, value->text());
        }
        const QSignalBlocker quiet(grdFields);
        item->setData(Qt::UserRole, typed);
    } catch (const db::DbError& e) {
        services::MsgBox(e.description(), services::Icon::Critical);
    }
}

void FieldsTab::grdFields_DoubleClick(int row, int column)
{
    const QTableWidgetItem* value = grdFields->item(row, ValueColumn);
    const QUrl url = linkOf(storedName(row), value ? value->text() : QString());
    if (url.isValid() && !url.isEmpty()) {
        services::openUrl(url);
        return;
    }
    if (QTableWidgetItem* item = grdFields->item(row, column))
        grdFields->editItem(item);
}

void FieldsTab::cmdAddField_Click()
{
    if (m_paperId < 1)
        return;
    {
        const QSignalBlocker quiet(grdFields);
        addRow(QString(), QString());
    }
    // The row is stored once it has a name.
    const int row = grdFields->rowCount() - 1;
    grdFields->setCurrentCell(row, NameColumn);
    grdFields->setFocus();
    grdFields->editItem(grdFields->item(row, NameColumn));
}

void FieldsTab::cmdDeleteField_Click()
{
    const int row = grdFields->currentRow();
    if (m_paperId < 1 || row < 0)
        return;
    const QString name = storedName(row);
    if (!name.isEmpty()) {
        try {
            paper::deleteExtraField(project().db(), m_paperId, name);
        } catch (const db::DbError& e) {
            services::MsgBox(e.description(), services::Icon::Critical);
            return;
        }
    }
    grdFields->removeRow(row);
}

} // namespace quirelle
