// The options panel: the column of buttons that open the other windows, the project's to-do
// notes, and the connection to the project database.
#pragma once

#include "app/form.h"

#include <array>

class QPushButton;
class QLabel;
class QPlainTextEdit;

namespace quirelle {

class frmMenu final : public Form, public SingleInstance<frmMenu>
{
    Q_OBJECT

public:
    frmMenu();

    // Connects to the project named by projectFilePath.
    bool connect();
    // Connects to the project `path` (without ".mdb"). When it cannot be opened as a project,
    // says "Error getting " and the path, stays on the project that was open and returns false.
    bool connectTo(const QString& path);

    // What a closing window does to give the panel back: enable it, restore its colour.
    void enableAgain();

    std::array<QPushButton*, 9> cmdButton{};
    QPushButton* cmdQuit;
    QLabel* lblToDo;
    QPlainTextEdit* txtToDos;

protected:
    void Form_Load() override;
    void closeRequested() override {}

private:
    void cmdButton_Click(int index);
    void txtToDos_LostFocus();
};

} // namespace quirelle
