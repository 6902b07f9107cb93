// Test helpers for the windows: the whole program started on a fresh project in a temporary
// folder, controls found by name, and the user's clicks and keys given to them.
#pragma once

#include "app/frmmain.h"
#include "app/frmmenu.h"
#include "app/services.h"
#include "dbtestsupport.h"

#include <QComboBox>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QString>
#include <QStringList>
#include <QWidget>

namespace quirelle::test {

// What the window services were asked and what they answered.
namespace st = services::testing;

// The whole program started on a fresh project in a temporary folder (the working directory
// while it lives): "support.nif" names the project, the main window loads, the options panel
// connects. The window services answer instead of the user.
class Shell : public TempFolder
{
public:
    enum class Start { OnProject, EmptyFolder };
    explicit Shell(Start start = Start::OnProject);
    ~Shell();
    db::Database& db();
    // Ends the program and starts it again in the working directory, as a user would.
    void restart();

private:
    QString m_previousDir;
};

// The control named `name` (objectName) in `window`; fails the test when there is none.
template<class T = QWidget>
T* control(const QObject& window, const QString& name)
{
    T* found = window.findChild<T*>(name);
    if (!found)
        qFatal("no control %s in %s", qPrintable(name), qPrintable(window.objectName()));
    return found;
}

// The prompts of the message boxes shown so far, and the last one's.
QStringList prompts();
QString lastPrompt();
// Runs a menu item of the main window by its name ("mnuSearch").
void fromMenu(const char* name);
// Clicks the options panel's button `cmdButton(index)`.
void panelButton(int index);
// File > Open, the file dialog answering with `file`.
void openByMenu(const QString& file);
// The main window's caption, and what it says with `project` open and `papers` in it.
QString caption();
QString projectCaption(const QString& project, int papers);

// The lines of a list box or of a combo box's list.
QStringList lines(const QListWidget* list);
QStringList lines(const QComboBox* combo);
// A click or double-click on a line of a list box, as a user gives it.
void clickLine(QListWidget* list, int row);
void doubleClickLine(QListWidget* list, int row);
// A click on a button.
void click(QWidget* button);
// Gives `widget` the focus, as a click would, and types `text` as keys sent to the widget that
// has the focus then, one key per character (a character outside the basic plane is one key);
// each "\n" is the Enter key.
void typeKeys(QWidget* widget, const QString& text);
// The same, after selecting all the box holds, so that the typing replaces it.
void replaceText(QWidget* widget, const QString& text);
// A key pressed on the widget that has the focus (Tab leaves it for the next one).
void pressKey(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier);
// Moves the focus to `widget` (the one that had it is left).
void focusTo(QWidget* widget);

// Lets queued events run (windows shown, focus moved, timers due).
void settle();

// A folder on a small file system of its own, made inside `parent` and mounted there (root
// only). After `fill` it has no room left for a byte. The destructor unmounts it.
class FullDisk
{
public:
    explicit FullDisk(const QString& parent);
    ~FullDisk();
    FullDisk(const FullDisk&) = delete;
    FullDisk& operator=(const FullDisk&) = delete;
    // Empty when mounted, else why not (to skip the test with).
    QString unavailable() const { return m_unavailable; }
    QString folder() const { return m_folder; }
    void fill();

private:
    QString m_parent;
    QString m_folder;
    QString m_unavailable;
};

} // namespace quirelle::test
