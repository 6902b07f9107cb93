// Entry points of windows that are not built yet: until then their menu items and buttons do
// nothing. Each one moves to its own subsystem when that window is built.
#include "app/windows.h"

namespace quirelle::windows {

void openNewPaper() {}
void openSearch() {}
void unloadSearch() {}
void openPaperFromSearch(qint32) {}
void openPaperFromTitlePick(qint32) {}
void openPaperFromReport(qint32) {}
void returnToSearch() {}

} // namespace quirelle::windows
