// Test helpers for the windows: the whole program started on a fresh project in a temporary
// folder, controls found by name as accessibility tools find them, and the user's clicks and
// keys given to them.
#pragma once

#include "app/services.h"
#include "dbtestsupport.h"

#include <QString>
#include <QStringList>
#include <QWidget>

class QComboBox;
class QListWidget;

namespace quirelle::test {

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

private:
    QString m_previousDir;
};

// The control named `name` (objectName) in `window`; fails the test when there is none.
template<class T = QWidget>
T* control(const QWidget& window, const QString& name)
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

// The lines of a list box or of a combo box's list.
QStringList lines(const QListWidget* list);
QStringList lines(const QComboBox* combo);
// A click or double-click on a line of a list box, as a user gives it.
void clickLine(QListWidget* list, int row);
void doubleClickLine(QListWidget* list, int row);
// A click on a button.
void click(QWidget* button);
// Gives `widget` the focus, as a click would, and types `text` as keys sent to the widget that
// has the focus then; each "\n" is the Enter key.
void typeKeys(QWidget* widget, const QString& text);
// Moves the focus to `widget` (the one that had it is left).
void focusTo(QWidget* widget);

// Lets queued events run (windows shown, focus moved, timers due).
void settle();

} // namespace quirelle::test
