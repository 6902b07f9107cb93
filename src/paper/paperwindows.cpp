// How the other windows open the paper window: each caller's hand-over in one place.
#include "app/windows.h"

#include "db/globals.h"
#include "paper/frmviewpaper.h"

#include <QPushButton>
#include <QTabWidget>

namespace quirelle::windows {

void openNewPaper()
{
    frmViewPaper& w = frmViewPaper::instance();
    w.lockAll(true);
    w.cmdAddPaper->setEnabled(true);
    w.populate(0);
}

void openPaperFromSearch(qint32 paperId)
{
    frmViewPaper& w = frmViewPaper::instance();
    w.placeByPositionForm();
    w.cmdAddPaper->setEnabled(false);
    w.populate(paperId);
    w.SSTab1->setCurrentIndex(4); // "Summary"
}

void openPaperFromTitlePick(qint32 paperId)
{
    frmViewPaper& w = frmViewPaper::instance();
    w.placeByPositionForm();
    w.cmdAddPaper->setEnabled(false);
    w.populate(paperId);
}

void openPaperFromReport(qint32 paperId)
{
    globals().previousPaperID = -100; // "Back" returns to the report
    frmViewPaper& w = frmViewPaper::instance();
    w.placeByPositionForm();
    w.populate(paperId);
}

} // namespace quirelle::windows
