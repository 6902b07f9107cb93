// The options panel: the column of buttons that open the other windows, the project's to-do
// notes, and the connection to the project database.
#pragma once

#include "app/form.h"
#include "db/projectlock.h"

#include <array>
#include <memory>

class QPushButton;
class QLabel;
class QPlainTextEdit;

namespace quirelle {

class frmMenu final : public Form, public SingleInstance<frmMenu>
{
    Q_OBJECT

public:
    frmMenu();

    // Connects again to the open project (named by projectFilePath()).
    bool connect();
    // Connects to the project `path` (without ".mdb"). When it cannot be opened as a project,
    // says "Error getting " and the path with what is wrong, stays on the project that was open
    // and returns false. A damaged file is first offered its newest good backup copy. `lock`,
    // when given, is the project's lock already held by this program.
    // A server address (db::isServerAddress) opens that shared project.
    bool connectTo(const QString& path, std::unique_ptr<db::ProjectLock> lock = {});

protected:
    void Form_Load() override;
    void closeRequested() override {}

private:
    bool connectToServer(const QString& address);
    // The notes, the caption and the windows follow the project just opened.
    void projectConnected();
    void txtToDos_LostFocus();
    void showNotes();

    std::array<QPushButton*, 9> cmdButton{};
    QPushButton* cmdQuit;
    QLabel* lblToDo;
    QPlainTextEdit* txtToDos;
    // The notes as they were shown: leaving the box writes them only when the user changed them.
    QString m_shownNotes;
};

} // namespace quirelle
