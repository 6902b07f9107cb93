// The model editor: Creator, Year and Sphere kept by Clear and carried from one model to the
// next, Delete at once, and the refused models.
#include "editors/frmaddmodel.h"
#include "editors/gridwindow.h"

using namespace quirelle;
using namespace quirelle::test;

namespace {
enum Box { Model = 0, Details = 1, Creator = 2, Year = 3, Sphere = 4 };
}

class TstModelEditor : public QObject
{
    Q_OBJECT

private slots:
    void clickClearDeleteAndCarryOver()
    {
        Shell shell;
        addRow(shell.db(), "Models",
               {{"Model", "Alpha"}, {"Creator", "Ann"}, {"Year", "1999"}, {"Sphere", "Maths"}});
        addRow(shell.db(), "Models", {{"Model", "Beta"}, {"Creator", "Bo"}});
        const Editor e = Editor::open<frmAddModel>(1);
        e.clickRow(1);
        e.click("cmdClear");
        QCOMPARE(e.text(Model), QString());
        QCOMPARE(e.text(Creator) + e.text(Year) + e.text(Sphere), QStringLiteral("Ann1999Maths"));
        // Beta has no year nor sphere: the earlier ones stay in their boxes.
        e.clickRow(2);
        QCOMPARE(e.text(Model) + e.text(Creator) + e.text(Year), QStringLiteral("BetaBo1999"));

        e.click("Command1");
        QCOMPARE(e.messages(), 0);
        QCOMPARE(e.rows(), 1);
        QCOMPARE(e.cell(1, 0), QStringLiteral("Alpha"));
        QCOMPARE(e.text(Model), QString());

        // Creator, Year and Sphere are carried over to the next model.
        e.type(Model, "Encoder");
        e.click("cmdAdd");
        QCOMPARE(e.text(Model) + e.text(Creator) + e.text(Year) + e.text(Sphere),
                 QStringLiteral("Bo1999Maths"));
        const QString encoder = "[Model] = 'Encoder'";
        QCOMPARE(e.stored("Models", encoder, "Creator") + e.stored("Models", encoder, "Year") +
                     e.stored("Models", encoder, "Sphere"),
                 QStringLiteral("Bo1999Maths"));
        QCOMPARE(e.rows(), 2);
    }

    void refused_data()
    {
        Editor::refusalData({{"empty model", Model, "", "'Model' cannot be left empty"},
                             {"five-character year", Year, "20171", "'Year' holds at most 4"}});
    }
    void refused()
    {
        Shell shell;
        Editor::open<frmAddModel>(1).refusedThenMended("Models");
    }
};

QTEST_MAIN(TstModelEditor)
#include "tst_frmaddmodel.moc"
