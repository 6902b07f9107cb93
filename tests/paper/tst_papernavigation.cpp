// Moving between papers in the paper window ("<< doc" and the jump lists) and deleting a paper
// with its rows, all or nothing.
#include "paperwindow.h"
#include "search/frmsearchpapers.h"

using namespace quirelle;
using namespace quirelle::test;

namespace {

bool captionCounts(int papers)
{
    return caption().endsWith(" - Papers added: " + QString::number(papers));
}

int count(const QString& query)
{
    return project().db().OpenRecordset(query).RecordCount();
}

// Every row that names `paper`, table by table, and the catalogue rows it links to.
QList<int> rowsNaming(qint64 paper)
{
    const QString p = QString::number(paper);
    return {count("select * from [Papers] where [Paper ID] = " + p + ";"),
            count("select * from [Paper Authors List] where [Paper ID] = '" + p + "';"),
            count("select * from [Paper Keywords List] where [Paper ID] = '" + p + "';"),
            count("select * from [Paper Models List] where [Paper ID] = '" + p + "';"),
            count("select * from [Paper References List] where [Paper ID] = '" + p + "';"),
            count("select * from [Paper Statements List] where [Paper ID] = '" + p + "';"),
            count("select * from [Paper References List] where [Reference ID] = " + p + ";"),
            count("select * from [Authors];"),
            count("select * from [Keywords];"),
            count("select * from [Models];")};
}
const QList<int> allRows{1, 2, 2, 2, 2, 2, 1, 1, 1, 1};
const QList<int> deleted{0, 0, 0, 0, 0, 0, 1, 1, 1, 1};

struct Catalogue
{
    qint64 doomed, kept, citing;
};

// A paper with two rows in each link table, one that it cites, and one that cites it.
Catalogue fill()
{
    const Catalogue c{addPaper("Doomed"), addPaper("Kept"), addPaper("Citing")};
    const qint64 a = addAuthor("Alder", "A");
    const qint64 k = addRow("Keywords", {{"Keyword", "clay"}});
    const QString m = QString::number(addRow("Models", {{"Model", "cnn"}}));
    for (qint64 paper : {c.doomed, c.doomed, c.kept}) {
        const QString p = QString::number(paper);
        linkAuthor(paper, a);
        addRow("Paper Keywords List", {{"Paper ID", p}, {"Keywords ID", k}});
        addRow("Paper Models List", {{"Paper ID", p}, {"Model ID", m}});
        addRow("Paper Statements List", {{"Paper ID", p}, {"Statement", "said"}});
    }
    cite(c.doomed, c.kept);
    cite(c.doomed, c.citing);
    cite(c.citing, c.doomed);
    cite(c.citing, c.kept);
    return c;
}

} // namespace

class TstPaperNavigation : public PaperWindowTest
{
    Q_OBJECT

private slots:
    // Declined, nothing goes; a delete that fails halfway undoes itself; once it can, the paper
    // goes with its own rows, while the paper that cites it and the catalogue stay.
    void deleteIsAllOrNothing()
    {
        Shell shell;
        if (sqliteShell(shell.file(), QStringLiteral("SELECT 1;")).isEmpty())
            QSKIP("the sqlite3 shell is not installed");
        const Catalogue c = fill();
        Form::frame().showProjectCaption();
        QList<int> keptAfter = rowsNaming(c.kept);
        keptAfter[6] -= 1; // the deleted paper's reference to it goes with the deleted paper
        openPaper(c.doomed);
        st::setNextAnswer(services::Answer::No);
        press("cmdDeletePaper");
        QCOMPARE(prompts(), QStringList{"Are you sure you wish to delete this Paper?"});
        QCOMPARE(st::messages()[0].buttons, services::Buttons::YesNo);
        QCOMPARE(st::messages()[0].title, "Warning");
        QCOMPARE(rowsNaming(c.doomed), allRows);
        QVERIFY(win().isShown());
        // The last of the deletes fails.
        sqliteShell(shell.file(), "CREATE TRIGGER refuse BEFORE DELETE ON \"Paper Statements "
                                  "List\" BEGIN SELECT RAISE(ABORT, 'refused'); END;");
        st::setNextAnswer(services::Answer::Yes);
        press("cmdDeletePaper");
        QCOMPARE(st::messages().size(), size_t(3));
        QCOMPARE(st::messages()[2].icon, services::Icon::Critical);
        QCOMPARE(rowsNaming(c.doomed), allRows);
        QVERIFY(captionCounts(3));
        sqliteShell(shell.file(), QStringLiteral("DROP TRIGGER refuse;"));
        st::setNextAnswer(services::Answer::Yes);
        press("cmdDeletePaper");
        QCOMPARE(rowsNaming(c.doomed), deleted);
        QCOMPARE(rowsNaming(c.kept), keptAfter);
        QVERIFY(!win().isShown());
        QVERIFY(captionCounts(2));
        QVERIFY(frmSearchPapers::instance().isShown());
        QCOMPARE(st::messages().size(), size_t(4));
        // The citing paper no longer lists it among its references.
        openPaper(c.citing);
        QCOMPARE(lines(list("lstReferencedWork")), QStringList{line(c.kept, "Kept")});
    }

    void docTwiceReturnsToTheStart()
    {
        Shell shell;
        const Catalogue c = fill();
        openPaper(c.doomed);
        QVERIFY(!ctl("cmdBackToPrevious")->isEnabled());
        clickListLine("lstCitations", 0);
        QCOMPARE(shownPaper(), c.citing);
        QCOMPARE(win().previousPaperID(), c.doomed);
        QCOMPARE(detail(0), "Citing");
        QVERIFY(ctl("cmdBackToPrevious")->isEnabled());
        press("cmdBackToPrevious");
        QCOMPARE(shownPaper(), c.doomed);
        QCOMPARE(win().previousPaperID(), c.citing);
        QCOMPARE(detail(0), "Doomed");
        press("cmdBackToPrevious");
        QCOMPARE(shownPaper(), c.citing);
        QCOMPARE(detail(0), "Citing");
        // Along the other two lists as well.
        clickListLine("lstReferencedWork", 1);
        QCOMPARE(shownPaper(), c.kept);
        QCOMPARE(win().previousPaperID(), c.citing);
        clickListLine("lstOtherArticles", 0);
        QCOMPARE(shownPaper(), c.doomed);
        QCOMPARE(win().previousPaperID(), c.kept);
        QVERIFY(st::messages().empty());
        // To a paper deleted meanwhile: the message, and back to the search.
        project()
            .db()
            .OpenRecordset(QStringLiteral("select * from [Papers] where [Paper ID] = ?;"), {c.kept})
            .Delete();
        press("cmdBackToPrevious");
        QCOMPARE(lastPrompt(), "Could not locate Paper error");
        QVERIFY(!win().isShown());
        QVERIFY(frmSearchPapers::instance().isShown());
    }
};

QTEST_MAIN(TstPaperNavigation)
#include "tst_papernavigation.moc"
