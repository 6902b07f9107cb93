// The model editor: Creator, Year and Sphere carried from one model to the next, the Delete
// button named Command1, and the refused models.
#include "editors/frmaddmodel.h"
#include "editors/gridwindow.h"

#include <QLabel>

using namespace quirelle;
using namespace quirelle::test;

namespace {

enum Box { Model = 0, Details = 1, Creator = 2, Year = 3, Sphere = 4 };

frmAddModel& openFromPanel()
{
    QTest::mouseClick(frmMenu::instance().cmdButton[1], Qt::LeftButton);
    settle();
    return frmAddModel::instance();
}

} // namespace

class TstModelEditor : public QObject
{
    Q_OBJECT

private slots:
    void opensOnAnEmptyTable()
    {
        Shell shell;
        frmAddModel& w = openFromPanel();
        QCOMPARE(w.caption(), QStringLiteral("Add Model"));
        QCOMPARE(dataRows(w.MSFModels), 0);
        QCOMPARE(headings(w.MSFModels), QStringList({"Models", "Details"}));
        QCOMPARE(columnWidths(w.MSFModels), QList<int>({166, 420}));
        QCOMPARE(w.lblDetails[Creator]->text(), QStringLiteral("Creator"));
        QVERIFY(!control(w, "cmdDelete"));
        QCOMPARE(w.Command1->text(), QStringLiteral("Delete"));
        QCOMPARE(focusChain(w.txtDetails[Model], 9),
                 QStringList({"txtDetails(0)", "txtDetails(2)", "txtDetails(3)", "txtDetails(4)",
                              "txtDetails(1)", "cmdExit", "cmdClear", "cmdAdd", "Command1"}));
        click(w, "Command1");
        QCOMPARE(messageCount(), 0);
    }

    void creatorYearAndSphereCarryOver()
    {
        Shell shell;
        frmAddModel& w = openFromPanel();
        type(w, Model, "Transformer");
        type(w, Details, "Attention");
        type(w, Creator, "Vaswani");
        type(w, Year, "2017");
        type(w, Sphere, "Language");
        click(w, "cmdAdd");
        QCOMPARE(textOf(w.txtDetails[Model]), QString());
        QCOMPARE(textOf(w.txtDetails[Details]), QString());
        QCOMPARE(textOf(w.txtDetails[Creator]), QStringLiteral("Vaswani"));
        QCOMPARE(textOf(w.txtDetails[Year]), QStringLiteral("2017"));
        QCOMPARE(textOf(w.txtDetails[Sphere]), QStringLiteral("Language"));

        type(w, Model, "Encoder");
        click(w, "cmdAdd");
        QCOMPARE(storedField("Models", "[Model] = 'Encoder'", "Creator"), "Vaswani");
        QCOMPARE(storedField("Models", "[Model] = 'Encoder'", "Year"), "2017");
        QCOMPARE(storedField("Models", "[Model] = 'Encoder'", "Sphere"), "Language");
        QCOMPARE(storedField("Models", "[Model] = 'Encoder'", "Details"), "");
        QCOMPARE(cell(w.MSFModels, 1, 0), QStringLiteral("Encoder"));
        QCOMPARE(cell(w.MSFModels, 2, 1), QStringLiteral("Attention"));
    }

    void clickAndClear()
    {
        Shell shell;
        addRow(shell.db(), "Models",
               {{"Model", "Alpha"}, {"Creator", "Ann"}, {"Year", "1999"}, {"Sphere", "Maths"}});
        addRow(shell.db(), "Models", {{"Model", "Beta"}, {"Creator", "Bo"}});
        frmAddModel& w = openFromPanel();
        clickRow(w.MSFModels, 1);
        click(w, "cmdClear");
        QCOMPARE(textOf(w.txtDetails[Model]), QString());
        QCOMPARE(textOf(w.txtDetails[Creator]), QStringLiteral("Ann"));
        QCOMPARE(textOf(w.txtDetails[Year]), QStringLiteral("1999"));
        QCOMPARE(textOf(w.txtDetails[Sphere]), QStringLiteral("Maths"));
        // Beta has no year: the earlier one stays in its box.
        clickRow(w.MSFModels, 2);
        QCOMPARE(textOf(w.txtDetails[Model]), QStringLiteral("Beta"));
        QCOMPARE(textOf(w.txtDetails[Creator]), QStringLiteral("Bo"));
        QCOMPARE(textOf(w.txtDetails[Year]), QStringLiteral("1999"));

        click(w, "Command1");
        QCOMPARE(messageCount(), 0);
        QCOMPARE(dataRows(w.MSFModels), 1);
        QCOMPARE(cell(w.MSFModels, 1, 0), QStringLiteral("Alpha"));
        QCOMPARE(textOf(w.txtDetails[Model]), QString());
    }

    void refusedModelIsNotStored_data()
    {
        QTest::addColumn<QString>("model");
        QTest::addColumn<QString>("year");
        QTest::addColumn<QString>("message");
        QTest::newRow("empty model")
            << ""
            << "2017"
            << "The model was not added: the field 'Model' cannot be left empty. Nothing was "
               "stored; the text is still in the boxes.";
        QTest::newRow("five-character year")
            << "Encoder"
            << "20171"
            << "The model was not added: the field 'Year' holds at most 4 characters, and the "
               "text typed has 5. Nothing was stored; the text is still in the boxes.";
    }
    void refusedModelIsNotStored()
    {
        QFETCH(QString, model);
        QFETCH(QString, year);
        QFETCH(QString, message);
        Shell shell;
        frmAddModel& w = openFromPanel();
        type(w, Model, model);
        type(w, Details, "Some details");
        type(w, Year, year);
        click(w, "cmdAdd");
        QCOMPARE(lastMessage(), message);
        QCOMPARE(countRows(shell.db(), "Models"), 0);
        QCOMPARE(textOf(w.txtDetails[Model]), model);
        QCOMPARE(textOf(w.txtDetails[Details]), QStringLiteral("Some details"));
        QCOMPARE(textOf(w.txtDetails[Year]), year);

        type(w, Model, "Encoder");
        type(w, Year, "2017");
        click(w, "cmdAdd");
        QCOMPARE(messageCount(), 1);
        QCOMPARE(countRows(shell.db(), "Models"), 1);
        QCOMPARE(storedField("Models", "[Model] = 'Encoder'", "Details"), "Some details");
    }
};

QTEST_MAIN(TstModelEditor)
#include "tst_frmaddmodel.moc"
