// The reading list command: the file, a progress dialog for a large catalogue, and the message.
#include "reports/readinglist.h"

#include "app/form.h"
#include "app/services.h"
#include "reports/data/readinglistfile.h"

#include <QCoreApplication>
#include <QDir>
#include <QProgressDialog>

#include <memory>

namespace quirelle {

void createReadingList()
{
    // The working directory holds the user's files (the settings file, the default project);
    // the program's own folder may not even be writable.
    const QString folder = QDir::currentPath();
    const QString path = QDir(folder).filePath(reports::readingListFileName);

    std::unique_ptr<QProgressDialog> progress;
    const int count = reports::readingListSize();
    if (count >= readingListProgressFrom) {
        progress =
            std::make_unique<QProgressDialog>(QStringLiteral("Writing the reading list..."),
                                              QString(), 0, count, Form::frame().dialogParent());
        progress->setObjectName(QStringLiteral("progressReadingList"));
        progress->setWindowTitle(services::programTitle);
        // Not modal: a modal dialog runs the event loop on each step, and the steps come from
        // inside the list's read transaction. The dialog is shown before it and only repainted
        // during it; the user's clicks wait until the list is written.
        progress->setWindowModality(Qt::NonModal);
        progress->setMinimumDuration(0);
        progress->setAutoClose(false);
        progress->setAutoReset(false);
        progress->show();
        QCoreApplication::processEvents();
    }
    const QString failure = reports::writeReadingListFile(path, [&](int done, int) {
        if (progress) {
            progress->setValue(done);
            progress->repaint();
        }
        return true;
    });
    progress.reset();
    if (!failure.isEmpty()) {
        services::MsgBox(QStringLiteral("The reading list could not be written to ") +
                             QDir::toNativeSeparators(path) + QStringLiteral(": ") + failure +
                             QStringLiteral(". Any earlier reading list there is unchanged."),
                         services::Icon::Critical);
        return;
    }
    services::MsgBox(QStringLiteral("A reading list has been created in 'Reading List.txt' "
                                    "located in ") +
                     QDir::toNativeSeparators(folder) + QStringLiteral("."));
}

} // namespace quirelle
