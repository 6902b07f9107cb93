// The model editor: the project's models with their details, and the boxes to add one.
#pragma once

#include "editors/grideditor.h"

#include <array>

class QLabel;
class QPushButton;
class QTableView;

namespace quirelle {

class frmAddModel final : public GridEditor, public SingleInstance<frmAddModel>
{
    Q_OBJECT

public:
    frmAddModel();

    QTableView* MSFModels;
    std::array<QLabel*, 5> lblDetails{};
    // Model, Details (several lines: QPlainTextEdit), Creator, Year, Sphere (QLineEdit).
    std::array<QWidget*, 5> txtDetails{};
    QPushButton* Command1; // Delete
};

} // namespace quirelle
