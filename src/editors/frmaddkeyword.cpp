// The keyword editor.
#include "editors/frmaddkeyword.h"

#include "app/windows.h"

namespace quirelle {

namespace {

EditorDesign keywordEditor()
{
    using B = EditorButton;
    EditorDesign s;
    s.name = QStringLiteral("frmAddKeyword");
    s.caption = QStringLiteral("Add Keywords");
    s.width = 8700;
    s.height = 6120;
    s.table = QStringLiteral("Keywords");
    s.idField = QStringLiteral("Keyword ID");
    s.noun = QStringLiteral("keyword");
    s.query = QStringLiteral("select * from [Keywords] order by [Keyword];");
    s.gridName = QStringLiteral("MSFKeywords");
    s.gridAt = {120, 120, 8460, 2895};
    s.columns = {{QStringLiteral("Keywords"), 2500, QStringLiteral("Keyword")},
                 {QStringLiteral("Definition"), 5700, QStringLiteral("Definition")}};
    s.boxes = {
        {0,
         0,
         QStringLiteral("Keyword"),
         QStringLiteral("Keyword"),
         BoxKind::Line,
         {120, 3210, 1095, 255},
         {1260, 3180, 3000, 315}},
        {1,
         1,
         QStringLiteral("Definition:"),
         QStringLiteral("Definition"),
         BoxKind::Lines,
         {120, 3630, 1095, 255},
         {1260, 3600, 7320, 1095}},
        {2,
         2,
         QStringLiteral("Origin:"),
         QStringLiteral("Origin"),
         BoxKind::Line,
         {120, 4830, 1095, 255},
         {1260, 4800, 3000, 315}},
    };
    s.clearedBoxes = {0, 1, 2};
    // Reopening after Back shows what was left in the boxes.
    s.fillClears = false;
    s.rowClickOrder = {0, 1, 2};
    s.rowClickClearsFirst = true;
    s.addOrder = {0, 1, 2};
    s.nullWhenEmpty = {1, 2};
    s.deleteKind = DeleteKind::AtOnce;
    s.buttonsTop = 5520;
    s.focusOrder = {FocusStop::box(0),
                    FocusStop::box(1),
                    FocusStop::box(2),
                    FocusStop::button(B::Exit),
                    FocusStop::button(B::Delete),
                    FocusStop::button(B::Clear),
                    FocusStop::button(B::Add)};
    return s;
}

} // namespace

frmAddKeyword::frmAddKeyword() : GridEditor(keywordEditor()) {}

void windows::openKeywordEditor()
{
    frmAddKeyword::instance().populate();
}

} // namespace quirelle
