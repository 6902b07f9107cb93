// The keyword editor: Null for empty Definition and Origin, boxes emptied by a click, Delete at
// once, boxes kept over Back, and the refused keywords.
#include "app/frmmain.h"
#include "editors/frmaddkeyword.h"
#include "editors/gridwindow.h"

#include <QAction>
#include <QLabel>

using namespace quirelle;
using namespace quirelle::test;

namespace {

frmAddKeyword& openFromPanel()
{
    QTest::mouseClick(frmMenu::instance().cmdButton[5], Qt::LeftButton);
    settle();
    return frmAddKeyword::instance();
}

} // namespace

class TstKeywordEditor : public QObject
{
    Q_OBJECT

private slots:
    void opensOnAnEmptyTable()
    {
        Shell shell;
        frmAddKeyword& w = openFromPanel();
        QCOMPARE(w.caption(), QStringLiteral("Add Keywords"));
        QVERIFY(!panelEnabled());
        QCOMPARE(dataRows(w.MSFKeywords), 0);
        QCOMPARE(headings(w.MSFKeywords), QStringList({"Keywords", "Definition"}));
        QCOMPARE(columnWidths(w.MSFKeywords), QList<int>({166, 380}));
        QCOMPARE(w.lblDetails[0]->text(), QStringLiteral("Keyword"));
        QVERIFY(qobject_cast<QPlainTextEdit*>(w.txtDetails[1]));
        QCOMPARE(focusChain(w.txtDetails[0], 7),
                 QStringList({"txtDetails(0)", "txtDetails(1)", "txtDetails(2)", "cmdExit",
                              "cmdDelete", "cmdClear", "cmdAdd"}));
        // With no row chosen, Delete has nothing to delete.
        click(w, "cmdDelete");
        QCOMPARE(messageCount(), 0);
    }

    void emptyDefinitionAndOriginStayNull()
    {
        Shell shell;
        frmAddKeyword& w = openFromPanel();
        type(w, 0, "vision");
        click(w, "cmdAdd");
        QCOMPARE(storedField("Keywords", "[Keyword] = 'vision'", "Definition"), "<null>");
        QCOMPARE(storedField("Keywords", "[Keyword] = 'vision'", "Origin"), "<null>");
        QCOMPARE(cell(w.MSFKeywords, 1, 1), QString());

        type(w, 0, "audio");
        type(w, 1, "Sound");
        type(w, 2, "Latin");
        click(w, "cmdAdd");
        QCOMPARE(storedField("Keywords", "[Keyword] = 'audio'", "Origin"), "Latin");
        QCOMPARE(textOf(w.txtDetails[1]), QString());
        QCOMPARE(cell(w.MSFKeywords, 1, 1), QStringLiteral("Sound"));

        // A click empties the boxes first: no definition shows an empty box.
        clickRow(w.MSFKeywords, 1);
        QCOMPARE(textOf(w.txtDetails[2]), QStringLiteral("Latin"));
        clickRow(w.MSFKeywords, 2);
        QCOMPARE(textOf(w.txtDetails[0]), QStringLiteral("vision"));
        QCOMPARE(textOf(w.txtDetails[1]), QString());
        QCOMPARE(textOf(w.txtDetails[2]), QString());
    }

    void deleteRemovesTheClickedKeywordWithoutAsking()
    {
        Shell shell;
        addRow(shell.db(), "Keywords", {{"Keyword", "audio"}, {"Definition", "Sound"}});
        addRow(shell.db(), "Keywords", {{"Keyword", "vision"}});
        frmAddKeyword& w = openFromPanel();
        clickRow(w.MSFKeywords, 1);
        click(w, "cmdDelete");
        QCOMPARE(messageCount(), 0);
        QCOMPARE(dataRows(w.MSFKeywords), 1);
        QCOMPARE(cell(w.MSFKeywords, 1, 0), QStringLiteral("vision"));
        QCOMPARE(textOf(w.txtDetails[0]), QString());
        QCOMPARE(textOf(w.txtDetails[1]), QString());
        // The filled grid has no chosen row: a second Delete removes nothing.
        click(w, "cmdDelete");
        QCOMPARE(countRows(shell.db(), "Keywords"), 1);
    }

    void boxesKeepTheirTextOverBack()
    {
        Shell shell;
        frmAddKeyword& w = openFromPanel();
        type(w, 0, "drift");
        type(w, 2, "Norse");
        click(w, "cmdExit");
        QVERIFY(panelEnabled());
        addRow(shell.db(), "Keywords", {{"Keyword", "tide"}});
        frmMain::instance().findChild<QAction*>("mnuKeywords")->trigger();
        settle();
        QVERIFY(!panelEnabled());
        QCOMPARE(textOf(w.txtDetails[0]), QStringLiteral("drift"));
        QCOMPARE(textOf(w.txtDetails[2]), QStringLiteral("Norse"));
        QCOMPARE(dataRows(w.MSFKeywords), 1);
    }

    void refusedKeywordIsNotStored_data()
    {
        QTest::addColumn<QString>("keyword");
        QTest::addColumn<QString>("origin");
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("limit");
        QTest::newRow("empty keyword") << ""
                                       << "Norse"
                                       << "Keyword"
                                       << "empty";
        QTest::newRow("long keyword") << QString(51, 'k') << ""
                                      << "Keyword"
                                      << "50";
        QTest::newRow("long origin") << "drift" << QString(51, 'o') << "Origin"
                                     << "50";
    }
    void refusedKeywordIsNotStored()
    {
        QFETCH(QString, keyword);
        QFETCH(QString, origin);
        QFETCH(QString, field);
        QFETCH(QString, limit);
        Shell shell;
        frmAddKeyword& w = openFromPanel();
        type(w, 0, keyword);
        type(w, 1, "A long definition");
        type(w, 2, origin);
        click(w, "cmdAdd");
        QCOMPARE(messageCount(), 1);
        QVERIFY2(lastMessage().contains("'" + field + "'"), qPrintable(lastMessage()));
        QVERIFY2(lastMessage().contains(limit), qPrintable(lastMessage()));
        QCOMPARE(countRows(shell.db(), "Keywords"), 0);
        QCOMPARE(textOf(w.txtDetails[0]), keyword);
        QCOMPARE(textOf(w.txtDetails[1]), QStringLiteral("A long definition"));
        QCOMPARE(textOf(w.txtDetails[2]), origin);
        QVERIFY(w.isShown());

        type(w, 0, "drift");
        type(w, 2, "Norse");
        click(w, "cmdAdd");
        QCOMPARE(countRows(shell.db(), "Keywords"), 1);
        QCOMPARE(dataRows(w.MSFKeywords), 1);
    }
};

QTEST_MAIN(TstKeywordEditor)
#include "tst_frmaddkeyword.moc"
