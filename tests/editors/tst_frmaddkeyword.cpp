// The keyword editor: Null for empty Definition and Origin, boxes emptied by a click, Delete at
// once, boxes kept over Back, and the refused keywords.
#include "editors/frmaddkeyword.h"
#include "editors/gridwindow.h"

using namespace quirelle;
using namespace quirelle::test;

class TstKeywordEditor : public QObject
{
    Q_OBJECT

private slots:
    void addClickDeleteAndBack()
    {
        Shell shell;
        const Editor e = Editor::open<frmAddKeyword>(5);
        e.type(0, "vision");
        e.click("cmdAdd");
        QCOMPARE(e.stored("Keywords", "[Keyword] = 'vision'", "Definition"), "<null>");
        QCOMPARE(e.stored("Keywords", "[Keyword] = 'vision'", "Origin"), "<null>");
        e.type(0, "audio");
        e.type(1, "Sound");
        e.type(2, "Latin");
        e.click("cmdAdd");
        QCOMPARE(e.stored("Keywords", "[Keyword] = 'audio'", "Origin"), "Latin");
        QCOMPARE(e.text(1), QString());
        // A click empties the boxes first: a Null field shows an empty box.
        e.clickRow(1);
        QCOMPARE(e.text(2), QStringLiteral("Latin"));
        e.clickRow(2);
        QCOMPARE(e.text(0), QStringLiteral("vision"));
        QCOMPARE(e.text(2), QString());

        // Delete takes the clicked keyword without a question and empties the boxes.
        e.clickRow(1);
        e.click("cmdDelete");
        QCOMPARE(e.messages(), 0);
        QCOMPARE(e.rows(), 1);
        QCOMPARE(e.cell(1, 0), QStringLiteral("vision"));
        QCOMPARE(e.text(1), QString());
        // The filled grid has no chosen row: a second Delete removes nothing.
        e.click("cmdDelete");
        QCOMPARE(countRows(shell.db(), "Keywords"), 1);

        // The boxes keep their text over Back.
        e.type(0, "drift");
        e.type(2, "Norse");
        e.click("cmdExit");
        QVERIFY(e.panelEnabled());
        addRow(shell.db(), "Keywords", {{"Keyword", "tide"}});
        fromMenu("mnuKeywords");
        QVERIFY(!e.panelEnabled());
        QCOMPARE(e.text(0) + e.text(2), QStringLiteral("driftNorse"));
        QCOMPARE(e.rows(), 2);
    }

    void refused_data()
    {
        Editor::refusalData({{"empty keyword", 0, "", "'Keyword' cannot be left empty"},
                             {"long keyword", 0, QString(51, 'k'), "'Keyword' holds at most 50"},
                             {"long origin", 2, QString(51, 'o'), "'Origin' holds at most 50"}});
    }
    void refused()
    {
        Shell shell;
        Editor::open<frmAddKeyword>(5).refusedThenMended("Keywords");
    }
};

QTEST_MAIN(TstKeywordEditor)
#include "tst_frmaddkeyword.moc"
