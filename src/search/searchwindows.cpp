// How the main window, the options panel and the paper window reach the search window.
#include "app/windows.h"

#include "app/frmmenu.h"
#include "search/frmsearchpapers.h"

#include <QListWidget>

namespace quirelle::windows {

void openSearch()
{
    frmSearchPapers::instance().populate();
}

void unloadSearch()
{
    // Gone while up (another project opened meanwhile), it can no longer give the options panel
    // back as its "Back" does.
    if (frmSearchPapers::isLoaded() && frmSearchPapers::instance().isShown())
        frmMenu::instance().enableAgain();
    frmSearchPapers::unload();
}

void returnToSearch()
{
    frmSearchPapers& w = frmSearchPapers::instance();
    w.placeByPositionForm();
    if (w.lstOptions->count() >= 1)
        w.populate();
    else
        w.showForm();
}

} // namespace quirelle::windows
