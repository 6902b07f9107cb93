// The citation subsystem's entry points for the other windows.
#include "app/windows.h"
#include "citation/frmciteas.h"

namespace quirelle::windows {

void openCiteAs(const QList<qint32>& papers, bool bibliography)
{
    frmCiteAs::instance().populate(papers, bibliography);
}

void warmUpCitations()
{
    frmCiteAs::warmUp();
}

} // namespace quirelle::windows
