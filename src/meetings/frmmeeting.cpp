// The meeting log.
#include "meetings/frmmeeting.h"

#include "app/windows.h"

namespace quirelle {

namespace {

EditorDesign meetingLog()
{
    using B = EditorButton;
    EditorDesign s;
    s.name = QStringLiteral("frmMeeting");
    s.caption = QStringLiteral("Meeting Details");
    s.width = 9180;
    s.height = 6300;
    s.placement = Form::Placement::TopLevel;
    s.table = QStringLiteral("Meeting");
    s.idField = QStringLiteral("Counter");
    s.noun = QStringLiteral("meeting");
    s.query = QStringLiteral("select * from [meeting];");
    s.gridName = QStringLiteral("msfMeetings");
    s.gridAt = {120, 120, 8940, 2895};
    s.columns = {{QStringLiteral("Date"), 1000, QStringLiteral("Date")},
                 {QStringLiteral("Time"), 700, QStringLiteral("Time")},
                 {QStringLiteral("Location"), 2500, QStringLiteral("Location")},
                 {QStringLiteral("Present"), 2500, QStringLiteral("Those Present")},
                 {QStringLiteral("Subject"), 2000, QStringLiteral("Subject")}};
    // With no meetings there is no grid to show, not even its headings.
    s.hideEmptyGrid = true;
    s.boxes = {
        {0,
         2,
         QStringLiteral("Date:"),
         QStringLiteral("Date"),
         BoxKind::Line,
         {120, 3210, 615, 255},
         {780, 3180, 1035, 315}},
        {1,
         0,
         QStringLiteral("Time:"),
         QStringLiteral("Time"),
         BoxKind::Line,
         {1980, 3210, 615, 255},
         {2640, 3180, 735, 315}},
        {2,
         1,
         QStringLiteral("Location:"),
         QStringLiteral("Location"),
         BoxKind::Line,
         {3600, 3210, 855, 255},
         {4500, 3180, 4560, 315}},
        {3,
         3,
         QStringLiteral("Those Present:"),
         QStringLiteral("Those Present"),
         BoxKind::Line,
         {120, 3600, 735, 435},
         {900, 3660, 3600, 315},
         true},
        {4,
         4,
         QStringLiteral("Outcome:"),
         QStringLiteral("Outcome"),
         BoxKind::LinesNoScrollBar,
         {120, 4230, 735, 255},
         {900, 4200, 8160, 1215}},
        {5,
         5,
         QStringLiteral("Subject:"),
         QStringLiteral("Subject"),
         BoxKind::Line,
         {4680, 3690, 735, 255},
         {5460, 3660, 3600, 315}},
    };
    s.clearedBoxes = {0, 1, 2, 3, 4, 5};
    s.fillClears = true;
    s.rowClickOrder = {0, 1, 2, 3, 4, 5};
    s.rowClickClearsFirst = false;
    s.addOrder = {0, 1, 2, 3, 4, 5};
    s.deleteKind = DeleteKind::None;
    s.exitCaption = QStringLiteral("Exit");
    s.buttonsTop = 5700;
    s.focusOrder = {
        FocusStop::box(0),          FocusStop::box(1),           FocusStop::box(2),
        FocusStop::box(3),          FocusStop::box(5),           FocusStop::box(4),
        FocusStop::button(B::Exit), FocusStop::button(B::Clear), FocusStop::button(B::Add)};
    return s;
}

} // namespace

frmMeeting::frmMeeting() : GridEditor(meetingLog()) {}

void windows::openMeetings()
{
    frmMeeting::instance().populate();
}

} // namespace quirelle
