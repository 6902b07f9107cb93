// Window and control services: message boxes, the file dialog, the clipboard and stopping the
// program all go through here, so that tests can answer a dialog and see what was shown
// without a real modal window. Declarations use only QtCore types.
#pragma once

#include <QString>

#include <exception>
#include <optional>
#include <vector>

namespace quirelle::services {

// Message box button codes and answers.
inline constexpr int vbOKOnly = 0;
inline constexpr int vbYesNoCancel = 3;
inline constexpr int vbYesNo = 4;
inline constexpr int vbCritical = 16;
inline constexpr int vbOK = 1;
inline constexpr int vbCancel = 2;
inline constexpr int vbYes = 6;
inline constexpr int vbNo = 7;

inline const QString programTitle = QStringLiteral("Quirelle");

// Shows `prompt` with the buttons and icon of `buttons` (0, 16, 3 or 4) under `title`
// ("Quirelle" when empty) and returns the answer (vbOK, vbYes, vbNo or vbCancel).
int MsgBox(const QString& prompt, int buttons = vbOKOnly, const QString& title = {});

struct FileDialogSettings
{
    QString title;
    QString initialDir;
    QString filter; // "description|pattern"
    int filterIndex = 1;
    bool mustExist = false;
};

// The chosen file name, or nothing when the user cancelled.
std::optional<QString> showOpen(const FileDialogSettings& settings);
// Save mode: the file need not exist, and choosing an existing one asks nothing.
std::optional<QString> showSave(const FileDialogSettings& settings);

void clipboardClear();
void clipboardSetText(const QString& text);

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
    int buttons;
    QString title;
};
void enable();
void reset();
void setNextAnswer(int answer);
void setNextFileName(const std::optional<QString>& fileName); // nothing = Cancel
const std::vector<Shown>& messages();
QString clipboard();
bool endCalled();
} // namespace testing

} // namespace quirelle::services
