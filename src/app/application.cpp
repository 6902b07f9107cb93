// Program start-up: the main window loads first and opens the options panel, which connects
// to the last project.
#include "app/application.h"

#include "app/frmmain.h"
#include "app/services.h"

#include <QApplication>
#include <QIcon>

// The icon lives in the windows' library: a resource of a static library is only linked in when
// something names it.
static void initResources()
{
    Q_INIT_RESOURCE(resources);
}

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
    // Every window shows the program's own icon in its title bar.
    initResources();
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/icons/quirelle.svg")));
    QApplication::setQuitOnLastWindowClosed(false);
    services::guarded([] { frmMain::instance(); });
    if (services::hasEnded())
        return 0;
    return QApplication::exec();
}

} // namespace quirelle
