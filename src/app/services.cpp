// The toolkit side of the window services, with the hooks tests use in place of modal windows.
#include "app/services.h"
#include "app/desktop.h"

#include "db/dberror.h"

#include <QApplication>
#include <QClipboard>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileDialog>
#include <QMessageBox>
#include <QMimeData>
#include <QTimer>
#include <QWidget>

#include <deque>

namespace quirelle::services {

namespace {

struct TestState
{
    bool enabled = false;
    std::deque<Answer> answers;
    std::deque<QString> fileNames; // a null string stands for Cancel
    std::vector<testing::Shown> messages;
    std::vector<FileDialogSettings> dialogs;
    QString clipboard;
    QString clipboardHtml;
    std::vector<QUrl> openedUrls;
    bool endCalled = false;
};

TestState& state()
{
    static TestState s;
    return s;
}

bool ended = false;

Answer defaultAnswer(Buttons buttons)
{
    switch (buttons) {
    case Buttons::YesNoCancel:
        return Answer::Cancel;
    case Buttons::YesNo:
        return Answer::No;
    case Buttons::OK:
        break;
    }
    return Answer::OK;
}

QString nameFilter(const QString& filter)
{
    // "Description (*.x)|*.x|Other (*.y)|*.y" becomes the toolkit's
    // "Description (*.x);;Other (*.y)": the descriptions, which name their patterns.
    const QStringList parts = filter.split(QLatin1Char('|'));
    QStringList descriptions;
    for (qsizetype i = 0; i < parts.size(); i += 2)
        descriptions << parts[i];
    return descriptions.join(QStringLiteral(";;"));
}

std::optional<QString> nextFileName()
{
    TestState& s = state();
    if (s.fileNames.empty())
        return std::nullopt;
    const QString name = s.fileNames.front();
    s.fileNames.pop_front();
    if (name.isNull())
        return std::nullopt;
    return name;
}

} // namespace

Answer MsgBox(const QString& prompt, Buttons buttons, Icon icon, const QString& title)
{
    const QString shownTitle = title.isEmpty() ? programTitle : title;
    TestState& s = state();
    if (s.enabled) {
        s.messages.push_back({prompt, buttons, icon, shownTitle});
        if (s.answers.empty())
            return defaultAnswer(buttons);
        const Answer answer = s.answers.front();
        s.answers.pop_front();
        return answer;
    }
    QMessageBox box(QApplication::activeWindow());
    box.setWindowTitle(shownTitle);
    box.setText(prompt);
    if (icon == Icon::Critical)
        box.setIcon(QMessageBox::Critical);
    switch (buttons) {
    case Buttons::YesNoCancel:
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
        break;
    case Buttons::YesNo:
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        break;
    case Buttons::OK:
        box.setStandardButtons(QMessageBox::Ok);
        break;
    }
    switch (box.exec()) {
    case QMessageBox::Yes:
        return Answer::Yes;
    case QMessageBox::No:
        return Answer::No;
    case QMessageBox::Cancel:
        return Answer::Cancel;
    default:
        return buttons == Buttons::OK ? Answer::OK : Answer::Cancel;
    }
}

std::optional<QString> showOpen(const FileDialogSettings& settings)
{
    if (state().enabled) {
        state().dialogs.push_back(settings);
        return nextFileName();
    }
    QFileDialog dialog(QApplication::activeWindow(), settings.title, settings.initialDir,
                       nameFilter(settings.filter));
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(settings.mustExist ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
    dialog.setOption(QFileDialog::ReadOnly, false);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    return QDir::toNativeSeparators(dialog.selectedFiles().constFirst());
}

std::optional<QString> showSave(const FileDialogSettings& settings)
{
    if (state().enabled) {
        state().dialogs.push_back(settings);
        return nextFileName();
    }
    QFileDialog dialog(QApplication::activeWindow(), settings.title, settings.initialDir,
                       nameFilter(settings.filter));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setOption(QFileDialog::DontConfirmOverwrite, !settings.confirmOverwrite);
    if (!settings.defaultSuffix.isEmpty())
        dialog.setDefaultSuffix(settings.defaultSuffix);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    return QDir::toNativeSeparators(dialog.selectedFiles().constFirst());
}

std::optional<QString> showFolder(const FileDialogSettings& settings)
{
    if (state().enabled) {
        state().dialogs.push_back(settings);
        return nextFileName();
    }
    const QString folder = QFileDialog::getExistingDirectory(QApplication::activeWindow(),
                                                             settings.title, settings.initialDir);
    if (folder.isEmpty())
        return std::nullopt;
    return QDir::toNativeSeparators(folder);
}

bool openUrl(const QUrl& url)
{
    if (state().enabled) {
        state().openedUrls.push_back(url);
        return true;
    }
    return QDesktopServices::openUrl(url);
}

void clipboardClear()
{
    state().clipboard.clear();
    if (auto* c = QGuiApplication::clipboard())
        c->clear();
}

void clipboardSetText(const QString& text)
{
    state().clipboard = text;
    state().clipboardHtml.clear();
    if (auto* c = QGuiApplication::clipboard())
        c->setText(text);
}

void clipboardSetHtml(const QString& html, const QString& text)
{
    state().clipboard = text;
    state().clipboardHtml = html;
    if (auto* c = QGuiApplication::clipboard()) {
        auto* data = new QMimeData;
        data->setHtml(html);
        data->setText(text);
        c->setMimeData(data);
    }
}

void End()
{
    ended = true;
    TestState& s = state();
    if (s.enabled) {
        s.endCalled = true;
    } else {
        for (QWidget* w : QApplication::topLevelWidgets())
            w->hide();
        // Queued, so that it also stops an event loop that has not started yet.
        QTimer::singleShot(0, qApp, [] { QCoreApplication::exit(0); });
    }
    throw ProgramEnded();
}

bool hasEnded()
{
    return ended;
}

void reportError(const std::exception& e)
{
    if (const auto* dbError = dynamic_cast<const db::DbError*>(&e)) {
        MsgBox(QStringLiteral("Error %1: %2").arg(dbError->number()).arg(dbError->description()),
               Icon::Critical);
    } else {
        MsgBox(QString::fromUtf8(e.what()), Icon::Critical);
    }
}

namespace testing {

void enable()
{
    state().enabled = true;
}

void reset()
{
    TestState& s = state();
    s.answers.clear();
    s.fileNames.clear();
    s.messages.clear();
    s.dialogs.clear();
    s.clipboard.clear();
    s.clipboardHtml.clear();
    s.openedUrls.clear();
    s.endCalled = false;
    ended = false;
}

void forgetShown()
{
    TestState& s = state();
    s.messages.clear();
    s.dialogs.clear();
    s.clipboard.clear();
    s.clipboardHtml.clear();
    s.endCalled = false;
    ended = false;
}

void setNextAnswer(Answer answer)
{
    state().answers.push_back(answer);
}

void setNextFileName(const std::optional<QString>& fileName)
{
    state().fileNames.push_back(fileName ? *fileName : QString());
}

const std::vector<Shown>& messages()
{
    return state().messages;
}

const std::vector<FileDialogSettings>& dialogs()
{
    return state().dialogs;
}

QString clipboard()
{
    return state().clipboard;
}

QString clipboardHtml()
{
    return state().clipboardHtml;
}

bool endCalled()
{
    return state().endCalled;
}

const std::vector<QUrl>& openedUrls()
{
    return state().openedUrls;
}

} // namespace testing

} // namespace quirelle::services
