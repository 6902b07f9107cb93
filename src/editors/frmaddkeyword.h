// The keyword editor: the project's keywords with their definitions, and the boxes to add one.
#pragma once

#include "editors/grideditor.h"

#include <array>

class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QTableView;

namespace quirelle {

class frmAddKeyword final : public GridEditor, public SingleInstance<frmAddKeyword>
{
    Q_OBJECT

public:
    frmAddKeyword();

    QTableView* MSFKeywords;
    std::array<QLabel*, 3> lblDetails{};
    // Keyword and Origin are one line (QLineEdit), Definition several (QPlainTextEdit).
    std::array<QWidget*, 3> txtDetails{};
    QPushButton* cmdDelete;
};

} // namespace quirelle
