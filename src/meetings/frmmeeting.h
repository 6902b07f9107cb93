// The meeting log: every meeting in a grid, and the boxes to record a new one. A window of its
// own, outside the main window.
#pragma once

#include "editors/grideditor.h"

#include <array>

class QLabel;
class QTableView;

namespace quirelle {

class frmMeeting final : public GridEditor, public SingleInstance<frmMeeting>
{
    Q_OBJECT

public:
    frmMeeting();

    // Puts "" into the six boxes.
    void clearDetails();

    QTableView* msfMeetings;
    std::array<QLabel*, 6> lblDetails{};
    // Date, Time, Location, Those Present, Outcome (several lines: QPlainTextEdit), Subject.
    std::array<QWidget*, 6> txtDetails{};
};

} // namespace quirelle
