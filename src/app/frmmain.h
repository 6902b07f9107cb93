// The main window: the frame with its menus, status bar and client area in which the other
// windows open; opening and creating projects, the last-project memory, and the way out.
#pragma once

#include "app/form.h"

#include <QMainWindow>

#include <functional>

class QLabel;

namespace quirelle {

class ChangeWatcher;
class ProjectSafety;
namespace fulltext {
class IndexStatus;
}

class frmMain final : public QMainWindow, public Frame, public SingleInstance<frmMain>
{
    Q_OBJECT

public:
    frmMain();
    ~frmMain() override;

    QLabel* statusPanel(int index) const; // one-based, as the status bar counts its panels

    // The last opened project's path from "support.nif" in the working directory ("" if none).
    static QString getLastOpenedFile();
    // Records `path` as the last opened project; false (after a message) when that fails.
    static bool setLastOpenedFile(const QString& path);

    // The menu items.
    void mnuOpen_Click();
    void mnuNew_Click();

    // The check, the backup copies and restoring one, for the project that is open.
    ProjectSafety& safety() { return *m_safety; }
    // The full-text index of the open project, kept current beside the windows.
    fulltext::IndexStatus& fullText() { return *m_fullText; }

    // Frame
    QMdiArea* mdiArea() const override { return m_area; }
    QSize sizeInTwips() const override;
    int panelWidth() const override;
    void setPanelEnabled(bool enabled) override;
    void showProjectCaption() override;
    void projectOpened() override;
    // Releases the database and stops the program.
    [[noreturn]] void exitApplication() override;
    QWidget* dialogParent() override { return this; }

    void setForgetHook(std::function<void()> forget) { m_forget = std::move(forget); }
    void loadForm();
    void destroyForm();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void buildMenus();

    QMdiArea* m_area;
    ProjectSafety* m_safety = nullptr;
    fulltext::IndexStatus* m_fullText = nullptr;
    ChangeWatcher* m_watcher = nullptr;
    std::function<void()> m_forget;
};

// The project path a chosen file name stands for: the name without its file extension. Empty
// when the name cannot be a project's path.
QString projectPathFromFileName(const QString& fileName);

} // namespace quirelle
