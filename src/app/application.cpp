// Program start-up.
#include "app/application.h"

#include <QApplication>
#include <QMainWindow>

namespace quirelle {

int runApplication(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Quirelle"));
    QMainWindow frame;
    frame.setObjectName(QStringLiteral("frmMain"));
    frame.show();
    return QApplication::exec();
}

} // namespace quirelle
