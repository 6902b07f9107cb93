// How the menus, the options panel and the paper window reach the word report and the
// reading list.
#include "app/windows.h"

#include "reports/frmreport.h"
#include "reports/readinglist.h"

namespace quirelle::windows {

void openReport()
{
    frmReport::instance().populate();
}

void writeReadingList()
{
    createReadingList();
}

void returnToReport()
{
    frmReport& report = frmReport::instance();
    report.placeByPositionForm();
    report.showForm();
}

} // namespace quirelle::windows
