// How the main window, the options panel and the paper window reach the search window.
#include "app/windows.h"

#include "search/frmsearchpapers.h"

namespace quirelle::windows {

void openSearch()
{
    frmSearchPapers::instance().populate();
}

void unloadSearch()
{
    frmSearchPapers::unload();
}

void returnToSearch()
{
    frmSearchPapers& w = frmSearchPapers::instance();
    w.placeByPositionForm();
    if (w.hasResults())
        w.populate();
    else
        w.showForm();
}

} // namespace quirelle::windows
