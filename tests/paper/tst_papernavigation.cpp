// Moving between papers in the paper window ("<< doc" and the jump lists) and deleting a paper
// with its rows, all or nothing.
#include "paperwindow.h"
#include "search/frmsearchpapers.h"

using namespace quirelle;
using namespace quirelle::test;

namespace {

// Every row that names `paper`, table by table, and the catalogue rows it links to.
QList<int> rowsNaming(qint64 paper)
{
    const QString p = QString::number(paper);
    QStringList from{"[Papers] where [Paper ID] = " + p,
                     "[Paper References List] where [Reference ID] = " + p, "[Authors]",
                     "[Keywords]", "[Models]"};
    for (const char* links : {"Authors", "Keywords", "Models", "References", "Statements"})
        from << QStringLiteral("[Paper %1 List] where [Paper ID] = '%2'").arg(links, p);
    QList<int> out;
    for (const QString& rows : from)
        out << project().db().OpenRecordset("select * from " + rows + ";").RecordCount();
    return out;
}
const QList<int> allRows{1, 1, 1, 1, 1, 2, 2, 2, 2, 2};
const QList<int> deleted{0, 1, 1, 1, 1, 0, 0, 0, 0, 0};

// A paper with two rows in each link table, one that it cites, and one that cites it; the
// papers numbered as added.
constexpr qint64 Doomed = 1, Kept = 2, Citing = 3;

void fill()
{
    for (const char* title : {"Doomed", "Kept", "Citing"})
        addPaper(title);
    const qint64 a = addAuthor("Alder", "A");
    const qint64 k = addRow("Keywords", {{"Keyword", "clay"}});
    const QString m = QString::number(addRow("Models", {{"Model", "cnn"}}));
    for (qint64 paper : {Doomed, Doomed, Kept}) {
        const QString p = QString::number(paper);
        linkAuthor(paper, a);
        addRow("Paper Keywords List", {{"Paper ID", p}, {"Keywords ID", k}});
        addRow("Paper Models List", {{"Paper ID", p}, {"Model ID", m}});
        addRow("Paper Statements List", {{"Paper ID", p}, {"Statement", "said"}});
    }
    for (auto [citing, cited] :
         {std::pair{Doomed, Kept}, {Doomed, Citing}, {Citing, Doomed}, {Citing, Kept}})
        cite(citing, cited);
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
        fill();
        Form::frame().showProjectCaption();
        QList<int> keptAfter = rowsNaming(Kept);
        keptAfter[1] -= 1; // the deleted paper's reference to it goes with the deleted paper
        openPaper(Doomed);
        st::setNextAnswer(services::Answer::No);
        press("cmdDeletePaper");
        QCOMPARE(prompts(), QStringList{"Are you sure you wish to delete this Paper?"});
        QCOMPARE(st::messages()[0].buttons, services::Buttons::YesNo);
        QCOMPARE(st::messages()[0].title, "Warning");
        QCOMPARE(rowsNaming(Doomed), allRows);
        QVERIFY(win().isShown());
        // The last of the deletes fails.
        sqliteShell(shell.file(), "CREATE TRIGGER refuse BEFORE DELETE ON \"Paper Statements "
                                  "List\" BEGIN SELECT RAISE(ABORT, 'refused'); END;");
        st::setNextAnswer(services::Answer::Yes);
        press("cmdDeletePaper");
        QCOMPARE(st::messages().size(), size_t(3));
        QCOMPARE(st::messages()[2].icon, services::Icon::Critical);
        QCOMPARE(rowsNaming(Doomed), allRows);
        QVERIFY(caption().endsWith(" - Papers added: 3"));
        sqliteShell(shell.file(), QStringLiteral("DROP TRIGGER refuse;"));
        st::setNextAnswer(services::Answer::Yes);
        press("cmdDeletePaper");
        QCOMPARE(rowsNaming(Doomed), deleted);
        QCOMPARE(rowsNaming(Kept), keptAfter);
        QVERIFY(!win().isShown());
        QVERIFY(caption().endsWith(" - Papers added: 2"));
        QVERIFY(frmSearchPapers::instance().isShown());
        QCOMPARE(st::messages().size(), size_t(4));
        // The citing paper no longer lists it among its references.
        openPaper(Citing);
        QCOMPARE(lines(list("lstReferencedWork")), QStringList{line(Kept, "Kept")});
    }

    void docTwiceReturnsToTheStart()
    {
        Shell shell;
        fill();
        openPaper(Doomed);
        QVERIFY(!ctl("cmdBackToPrevious")->isEnabled());
        clickListLine("lstCitations", 0);
        QCOMPARE(shownPaper(), Citing);
        QCOMPARE(win().previousPaperID(), Doomed);
        QCOMPARE(detail(0), "Citing");
        QVERIFY(ctl("cmdBackToPrevious")->isEnabled());
        press("cmdBackToPrevious");
        QCOMPARE(shownPaper(), Doomed);
        QCOMPARE(win().previousPaperID(), Citing);
        QCOMPARE(detail(0), "Doomed");
        press("cmdBackToPrevious");
        QCOMPARE(shownPaper(), Citing);
        QCOMPARE(detail(0), "Citing");
        // Along the other two lists as well.
        clickListLine("lstReferencedWork", 1);
        QCOMPARE(shownPaper(), Kept);
        QCOMPARE(win().previousPaperID(), Citing);
        clickListLine("lstOtherArticles", 0);
        QCOMPARE(shownPaper(), Doomed);
        QCOMPARE(win().previousPaperID(), Kept);
        QVERIFY(st::messages().empty());
        // To a paper deleted meanwhile: the message, and back to the search.
        project()
            .db()
            .OpenRecordset(QStringLiteral("select * from [Papers] where [Paper ID] = ?;"), {Kept})
            .Delete();
        press("cmdBackToPrevious");
        QCOMPARE(lastPrompt(), "Could not locate Paper error");
        QVERIFY(!win().isShown());
        QVERIFY(frmSearchPapers::instance().isShown());
    }
};

QTEST_MAIN(TstPaperNavigation)
#include "tst_papernavigation.moc"
