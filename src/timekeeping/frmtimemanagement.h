// The time entry window: the last step of leaving the program, which logs the hours spent
// against a subject and then ends the program.
#pragma once

#include "app/form.h"

#include <array>

class QComboBox;
class QLabel;
class QPushButton;

namespace quirelle {

class frmTimeManagement final : public Form, public SingleInstance<frmTimeManagement>
{
    Q_OBJECT

public:
    frmTimeManagement();

protected:
    void Form_Load() override;
    void closeRequested() override;
    bool showsProjectRows() const override { return true; }

private:
    void cmdAdd_Click();
    void cmdDone_Click();

    std::array<QLabel*, 2> Label1{};
    QComboBox* cmbWork;
    QComboBox* cmbTime;
    QPushButton* cmdAdd;
    QPushButton* cmdDone;
};

} // namespace quirelle
