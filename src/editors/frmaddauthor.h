// The author editor: the project's authors in surname order, and the boxes to add one.
#pragma once

#include "editors/grideditor.h"

#include <array>

class QLabel;
class QLineEdit;
class QPushButton;
class QTableView;

namespace quirelle {

class frmAddAuthor final : public GridEditor, public SingleInstance<frmAddAuthor>
{
    Q_OBJECT

public:
    frmAddAuthor();

    QTableView* MSFAuthors;
    std::array<QLabel*, 4> lblDetails{};
    std::array<QLineEdit*, 4> txtDetails{}; // Surname, Forenames, Occupation, Location
    QPushButton* cmdDelete;
};

} // namespace quirelle
