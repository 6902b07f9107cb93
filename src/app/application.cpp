// Program start-up: the main window loads first and opens the options panel, which connects
// to the last project.
#include "app/application.h"

#include "app/frmmain.h"
#include "app/services.h"
#include "app/windows.h"

#include <QApplication>

namespace quirelle {

namespace {

QString& programFolder()
{
    static QString folder;
    return folder;
}

} // namespace

QString appPath()
{
    return programFolder();
}

void setAppPath(const QString& path)
{
    programFolder() = path;
}

int runApplication(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Quirelle"));
    QApplication::setQuitOnLastWindowClosed(false);
    services::guarded([] { frmMain::instance(); });
    if (services::hasEnded())
        return 0;
    windows::warmUpCitations();
    return QApplication::exec();
}

} // namespace quirelle
