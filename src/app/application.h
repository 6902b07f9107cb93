// Program start-up: the toolkit application and the main window.
#pragma once

namespace quirelle {

int runApplication(int argc, char** argv);

} // namespace quirelle
