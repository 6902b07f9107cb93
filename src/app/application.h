// Program start-up: the toolkit application and the main window.
#pragma once

#include <QString>

namespace quirelle {

int runApplication(int argc, char** argv);

// The program's folder, recorded at start-up.
QString appPath();
void setAppPath(const QString& path);

} // namespace quirelle
