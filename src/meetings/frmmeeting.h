// The meeting log: every meeting in a grid, and the boxes to record a new one. A window of its
// own, outside the main window.
#pragma once

#include "editors/grideditor.h"

namespace quirelle {

class frmMeeting final : public GridEditor, public SingleInstance<frmMeeting>
{
    Q_OBJECT

public:
    frmMeeting();
};

} // namespace quirelle
