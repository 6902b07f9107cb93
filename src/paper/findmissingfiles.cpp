// Tools > "Find Missing Files...": a folder searched for the files of papers that are no longer
// where they were, on a thread of its own with a progress dialog that can be cancelled.
#include "paper/findmissingfiles.h"
#include "app/desktop.h"
#include "app/form.h"
#include "app/frmmain.h"
#include "app/offthread.h"
#include "app/projectsafety.h"
#include "app/services.h"
#include "app/windows.h"
#include "db/project.h"
#include "paper/data/paperfiles.h"

#include <QEventLoop>
#include <QFileInfo>
#include <QProgressDialog>
#include <QThread>

#include <atomic>
#include <exception>
#include <memory>

namespace quirelle {

void windows::findMissingFiles()
{
    Project& p = project();
    if (p.readOnly()) {
        services::MsgBox(QStringLiteral("The project is open read-only: no file can be relinked."),
                         services::Icon::Critical);
        return;
    }
    services::FileDialogSettings settings;
    settings.title = QStringLiteral("Find Missing Files");
    settings.initialDir = QFileInfo(p.file()).absolutePath();
    const auto folder = services::showFolder(settings);
    if (!folder)
        return;
    // A check or a copy of the project under way ends first, so that nothing replaces the
    // project under the search.
    if (frmMain::isLoaded())
        frmMain::instance().safety().waitUntilIdle();
    // The search writes through a connection of its own, on its own thread: the event loop
    // here never runs inside its transaction.
    const std::unique_ptr<db::Database> database = db::Database::OpenDatabase(p.db().path());
    const paper::FileFolders folders(p.file());

    QProgressDialog dialog(QStringLiteral("Looking for the missing files..."),
                           QStringLiteral("Cancel"), 0, 100, Form::frame().dialogParent());
    dialog.setObjectName(QStringLiteral("progressFindMissing"));
    dialog.setWindowTitle(services::programTitle);
    dialog.setWindowModality(Qt::ApplicationModal);
    dialog.setMinimumDuration(500);
    dialog.setAutoClose(false);
    dialog.setAutoReset(false);
    std::atomic<bool> cancelled = false;
    QObject::connect(&dialog, &QProgressDialog::canceled, &dialog,
                     [&cancelled] { cancelled = true; });
    const paper::FileProgress progress = [&](qsizetype done, qsizetype total) {
        const int percent = total > 0 ? static_cast<int>(done * 100 / total) : 0;
        QMetaObject::invokeMethod(
            &dialog, [&dialog, percent] { dialog.setValue(percent); }, Qt::QueuedConnection);
        return !cancelled.load();
    };

    paper::MissingSearch result;
    runOffThread(QStringLiteral("missing files"), cancelled,
                 [&] { result = paper::findMissingFiles(*database, folders, *folder, progress); });
    dialog.close();
    if (result.found > 0)
        windows::filesChanged();
    if (result.cancelled) {
        services::MsgBox(QStringLiteral("The search was cancelled: no file was relinked."));
        return;
    }
    if (result.found)
        windows::paperFilesChanged();
    services::MsgBox(QStringLiteral("Files found and relinked: %1. Files still missing: %2.")
                         .arg(result.found)
                         .arg(result.missing));
}

} // namespace quirelle
