// The author editor.
#include "editors/frmaddauthor.h"

#include "app/windows.h"

namespace quirelle {

namespace {

EditorDesign authorEditor()
{
    using B = EditorButton;
    EditorDesign s;
    s.name = QStringLiteral("frmAddAuthor");
    s.caption = QStringLiteral("Add Author");
    s.width = 7080;
    s.height = 4920;
    s.table = QStringLiteral("Authors");
    s.idField = QStringLiteral("Author ID");
    s.noun = QStringLiteral("author");
    s.query = QStringLiteral("select * from [Authors] order by [Surname];");
    s.gridName = QStringLiteral("MSFAuthors");
    s.gridAt = {120, 120, 6840, 2895};
    s.columns = {{QStringLiteral("Surname"), 1500, QStringLiteral("Surname")},
                 {QStringLiteral("Forenames"), 1500, QStringLiteral("Forenames")},
                 {QStringLiteral("Occupation"), 1500, QStringLiteral("Occupation")},
                 {QStringLiteral("Location"), 2000, QStringLiteral("Location")}};
    s.boxes = {
        {0,
         0,
         QStringLiteral("Surname:"),
         QStringLiteral("Surname"),
         BoxKind::Line,
         {120, 3210, 1095, 255},
         {1260, 3180, 2160, 315}},
        {1,
         1,
         QStringLiteral("Forenames:"),
         QStringLiteral("Forenames"),
         BoxKind::Line,
         {3600, 3210, 1095, 255},
         {4740, 3180, 2220, 315}},
        {2,
         2,
         QStringLiteral("Occupation:"),
         QStringLiteral("Occupation"),
         BoxKind::Line,
         {120, 3690, 1095, 255},
         {1260, 3660, 2160, 315}},
        {3,
         3,
         QStringLiteral("Location:"),
         QStringLiteral("Location"),
         BoxKind::Line,
         {3600, 3690, 1095, 255},
         {4740, 3660, 2220, 315}},
    };
    s.clearedBoxes = {0, 1, 2, 3};
    s.fillClears = true;
    s.rowClickOrder = {0, 1, 2, 3};
    s.rowClickClearsFirst = false;
    s.addOrder = {0, 1, 2, 3};
    s.deleteKind = DeleteKind::Ask;
    s.buttonsTop = 4320;
    s.focusOrder = {FocusStop::box(0),          FocusStop::box(1),
                    FocusStop::box(2),          FocusStop::box(3),
                    FocusStop::button(B::Exit), FocusStop::button(B::Clear),
                    FocusStop::button(B::Add),  FocusStop::button(B::Delete)};
    return s;
}

} // namespace

frmAddAuthor::frmAddAuthor() : GridEditor(authorEditor()) {}

void windows::openAuthorEditor()
{
    frmAddAuthor::instance().populate();
}

} // namespace quirelle
