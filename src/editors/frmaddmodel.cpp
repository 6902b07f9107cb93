// The model editor.
#include "editors/frmaddmodel.h"

#include "app/windows.h"

namespace quirelle {

namespace {

EditorDesign modelEditor()
{
    using B = EditorButton;
    EditorDesign s;
    s.name = QStringLiteral("frmAddModel");
    s.caption = QStringLiteral("Add Model");
    s.width = 9300;
    s.height = 6420;
    s.table = QStringLiteral("Models");
    s.idField = QStringLiteral("Model ID");
    s.noun = QStringLiteral("model");
    s.query = QStringLiteral("select * from [Models] order by [Model];");
    s.gridName = QStringLiteral("MSFModels");
    s.gridAt = {120, 120, 9060, 2895};
    s.columns = {{QStringLiteral("Models"), 2500, QStringLiteral("Model")},
                 {QStringLiteral("Details"), 6300, QStringLiteral("Details")}};
    s.boxes = {
        {0,
         0,
         QStringLiteral("Model:"),
         QStringLiteral("Model"),
         BoxKind::Line,
         {120, 3210, 1095, 255},
         {1260, 3180, 4500, 315}},
        {1,
         1,
         QStringLiteral("Details:"),
         QStringLiteral("Details"),
         BoxKind::Lines,
         {120, 4470, 1095, 255},
         {1260, 4440, 7920, 1095}},
        {2,
         2,
         QStringLiteral("Creator"),
         QStringLiteral("Creator"),
         BoxKind::Line,
         {120, 3630, 1095, 255},
         {1260, 3600, 4500, 315}},
        {3,
         3,
         QStringLiteral("Year:"),
         QStringLiteral("Year"),
         BoxKind::Line,
         {7200, 3630, 600, 255},
         {7920, 3600, 1260, 315}},
        {4,
         4,
         QStringLiteral("Sphere:"),
         QStringLiteral("Sphere"),
         BoxKind::Line,
         {120, 4050, 1095, 255},
         {1260, 4020, 4500, 315}},
    };
    // Creator, Year and Sphere carry over from one model to the next.
    s.clearedBoxes = {0, 1};
    s.fillClears = true;
    s.rowClickOrder = {0, 1, 3, 4, 2};
    s.rowClickClearsFirst = false;
    s.addOrder = {0, 1, 3, 4, 2};
    s.deleteKind = DeleteKind::AtOnce;
    s.deleteName = QStringLiteral("Command1");
    s.buttonsTop = 5820;
    s.focusOrder = {
        FocusStop::box(0),           FocusStop::box(2),         FocusStop::box(3),
        FocusStop::box(4),           FocusStop::box(1),         FocusStop::button(B::Exit),
        FocusStop::button(B::Clear), FocusStop::button(B::Add), FocusStop::button(B::Delete)};
    return s;
}

} // namespace

frmAddModel::frmAddModel() : GridEditor(modelEditor()) {}

void windows::openModelEditor()
{
    frmAddModel::instance().populate();
}

} // namespace quirelle
