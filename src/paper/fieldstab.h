// The paper window's "More" tab: every extra field of the paper (a DOI, a URL, the full title,
// the citation key and whatever an import kept) in a grid of names and values, edited in place.
#pragma once

#include "paper/data/paperfields.h"

#include <QWidget>

#include <vector>

class QPushButton;
class QTableWidget;
class QTableWidgetItem;

namespace quirelle {

class FieldsTab final : public QWidget
{
    Q_OBJECT

public:
    explicit FieldsTab(QWidget* parent);

    static std::vector<paper::ExtraField> read(qint32 paperId);
    // Shows the fields of the paper on show; below 1 a new paper, which has none.
    void showFields(qint32 paperId, const std::vector<paper::ExtraField>& fields);

private:
    void grdFields_ItemChanged(QTableWidgetItem* item);
    void grdFields_DoubleClick(int row, int column);
    void cmdAddField_Click();
    void cmdDeleteField_Click();
    // The name a row is stored under ("" for a row not stored yet).
    QString storedName(int row) const;
    void addRow(const QString& name, const QString& value);

    qint32 m_paperId = 0;
    QTableWidget* grdFields = nullptr;
    QPushButton* cmdAddField = nullptr;
    QPushButton* cmdDeleteField = nullptr;
};

} // namespace quirelle
