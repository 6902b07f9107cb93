// Window and control services: message boxes, the file dialog, the clipboard and stopping the
// program all go through here, so that tests can answer a dialog and see what was shown
// without a real modal window. Declarations use only QtCore types.
#pragma once

#include <QString>

#include <exception>
#include <optional>
#include <vector>

namespace quirelle::services {

// The buttons a message box offers, its icon, and the user's answer.
enum class Buttons { OK, YesNo, YesNoCancel };
enum class Icon { None, Critical };
enum class Answer { OK, Cancel, Yes, No };

inline const QString programTitle = QStringLiteral("Quirelle");

// Shows `prompt` with `buttons` and `icon` under `title` ("Quirelle" when empty) and returns the
// answer. Closing the box without a button answers Cancel (OK where OK is the only button).
Answer MsgBox(const QString& prompt, Buttons buttons = Buttons::OK, Icon icon = Icon::None,
              const QString& title = {});
// An OK box with an icon.
inline Answer MsgBox(const QString& prompt, Icon icon)
{
    return MsgBox(prompt, Buttons::OK, icon);
}

struct FileDialogSettings
{
    QString title;
    QString initialDir;
    QString filter; // "description|pattern", one pair or more: "A (*.a)|*.a|B (*.b)|*.b"
    int filterIndex = 1;
    bool mustExist = false;
    bool confirmOverwrite = false; // save mode: ask before replacing a file
    QString defaultSuffix;         // save mode: added to a name typed without one
};

// The chosen file name, or nothing when the user cancelled.
std::optional<QString> showOpen(const FileDialogSettings& settings);
// Save mode: the file need not exist, and choosing an existing one asks nothing.
std::optional<QString> showSave(const FileDialogSettings& settings);

void clipboardClear();
void clipboardSetText(const QString& text);
// Formatted text: a word processor pastes the HTML, a text editor the plain text.
void clipboardSetHtml(const QString& html, const QString& text);

// Thrown by End to leave the running handler at once; the handler guard swallows it.
struct ProgramEnded : std::exception
{
    const char* what() const noexcept override { return "program ended"; }
};

// Stops the program at once: the windows close without running their own closing steps.
[[noreturn]] void End();
bool hasEnded();

// Shows an error that reached an event handler as a message box; the program keeps running.
void reportError(const std::exception& e);

// Every event handler runs its body through here, so that nothing escapes into the toolkit.
template<class F>
void guarded(F&& body)
{
    try {
        body();
    } catch (const ProgramEnded&) {
    } catch (const std::exception& e) {
        reportError(e);
    }
}

// Test hooks: with testing on, no modal window opens; answers come from the queues below.
namespace testing {
struct Shown
{
    QString prompt;
    Buttons buttons;
    Icon icon;
    QString title;
};
void enable();
void reset();
// Forgets what was shown, keeping the answers and file names queued for what comes.
void forgetShown();
void setNextAnswer(Answer answer);
void setNextFileName(const std::optional<QString>& fileName); // nothing = Cancel
const std::vector<Shown>& messages();
// The file dialogs that were asked for, in order.
const std::vector<FileDialogSettings>& dialogs();
QString clipboard();
QString clipboardHtml(); // the HTML of the last clipboardSetHtml, else empty
bool endCalled();
} // namespace testing

} // namespace quirelle::services
