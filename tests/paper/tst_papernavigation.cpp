// Moving between papers in the paper window ("<< doc", the jump lists, "Back") and deleting a
// paper with its rows, all or nothing.
#include "app/frmmain.h"
#include "app/services.h"
#include "app/windows.h"
#include "db/globals.h"
#include "paper/frmviewpaper.h"
#include "reports/frmreport.h"
#include "search/frmsearchpapers.h"
#include "testsupport.h"

#include <QListWidget>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>

using namespace quirelle;
namespace st = quirelle::services::testing;

namespace {

frmViewPaper& win()
{
    return frmViewPaper::instance();
}

qint64 add(const QString& table, const QVariantMap& values)
{
    return test::addRow(*globals().dbProject, table, values);
}

qint64 addPaper(const QString& title)
{
    return add(QStringLiteral("Papers"), {{QStringLiteral("Title"), title}});
}

QString id(qint64 value)
{
    return QString::number(value);
}

QStringList lines(const QListWidget* list)
{
    QStringList out;
    for (int i = 0; i < list->count(); ++i)
        out << list->item(i)->text();
    return out;
}

void click(QPushButton* b)
{
    QTest::mouseClick(b, Qt::LeftButton);
    test::settle();
}

void clickLine(QListWidget* list, int row)
{
    for (int i = 0; i < win().SSTab1->count(); ++i) {
        if (win().SSTab1->widget(i)->isAncestorOf(list))
            win().SSTab1->setCurrentIndex(i);
    }
    test::settle();
    QListWidgetItem* item = list->item(row);
    QVERIFY(item);
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(item).center());
    test::settle();
}

int count(const QString& query)
{
    return globals().dbProject->OpenRecordset(query).RecordCount();
}

// Every row that names `paper`, table by table, and the catalogue rows it links to.
QList<int> rowsOf(qint64 paper)
{
    const QString p = id(paper);
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

struct Catalogue
{
    qint64 doomed, kept, citing;
};

// A paper with two rows in each link table, one that it cites, and one that cites it.
Catalogue fill()
{
    Catalogue c{addPaper("Doomed"), addPaper("Kept"), addPaper("Citing")};
    const qint64 a = add("Authors", {{"Surname", "Alder"}, {"Forenames", "A"}});
    const qint64 k = add("Keywords", {{"Keyword", "clay"}});
    const qint64 m = add("Models", {{"Model", "cnn"}});
    for (qint64 paper : {c.doomed, c.doomed, c.kept}) {
        add("Paper Authors List", {{"Paper ID", id(paper)}, {"Author ID", id(a)}});
        add("Paper Keywords List", {{"Paper ID", id(paper)}, {"Keywords ID", k}});
        add("Paper Models List", {{"Paper ID", id(paper)}, {"Model ID", id(m)}});
        add("Paper Statements List", {{"Paper ID", id(paper)}, {"Statement", "said"}});
    }
    add("Paper References List", {{"Paper ID", id(c.doomed)}, {"Reference ID", c.kept}});
    add("Paper References List", {{"Paper ID", id(c.doomed)}, {"Reference ID", c.citing}});
    add("Paper References List", {{"Paper ID", id(c.citing)}, {"Reference ID", c.doomed}});
    add("Paper References List", {{"Paper ID", id(c.citing)}, {"Reference ID", c.kept}});
    return c;
}

} // namespace

class TstPaperNavigation : public QObject
{
    Q_OBJECT

private slots:
    void deleteRemovesThePaperAndItsRows()
    {
        test::Shell shell;
        const Catalogue c = fill();
        frmMain::instance().showProjectCaption();
        QVERIFY(frmMain::instance().windowTitle().endsWith(" - Papers added: 3"));
        const QList<int> keptBefore = rowsOf(c.kept);
        windows::openPaperFromSearch(static_cast<qint32>(c.doomed));
        frmViewPaper& w = win();

        st::setNextAnswer(services::vbNo);
        click(w.cmdDeletePaper);
        QCOMPARE(st::messages().size(), size_t(1));
        QCOMPARE(st::messages()[0].prompt,
                 QStringLiteral("Are you sure you wish to delete this Paper?"));
        QCOMPARE(st::messages()[0].buttons, services::vbYesNo);
        QCOMPARE(st::messages()[0].title, QStringLiteral("Warning"));
        QCOMPARE(rowsOf(c.doomed), QList<int>({1, 2, 2, 2, 2, 2, 1, 1, 1, 1}));
        QVERIFY(w.isShown());

        st::setNextAnswer(services::vbYes);
        click(w.cmdDeletePaper);
        // Its own rows go; the rows of the paper that cites it, and the catalogue, stay.
        QCOMPARE(rowsOf(c.doomed), QList<int>({0, 0, 0, 0, 0, 0, 1, 1, 1, 1}));
        QList<int> keptAfter = keptBefore;
        keptAfter[6] -= 1; // the deleted paper's reference to it went with the deleted paper
        QCOMPARE(rowsOf(c.kept), keptAfter);
        QVERIFY(!w.isShown());
        QVERIFY(frmMain::instance().windowTitle().endsWith(" - Papers added: 2"));
        QVERIFY(frmSearchPapers::isLoaded());
        QVERIFY(frmSearchPapers::instance().isShown());
        QCOMPARE(st::messages().size(), size_t(2));

        // The citing paper no longer lists it among its references.
        windows::openPaperFromSearch(static_cast<qint32>(c.citing));
        QCOMPARE(lines(w.lstReferencedWork), QStringList{QStringLiteral("%1 : Kept").arg(c.kept)});
    }

    void deleteIsAllOrNothing()
    {
        test::Shell shell;
        if (test::sqliteShell(shell.file(), QStringLiteral("SELECT 1;")).isEmpty())
            QSKIP("the sqlite3 shell is not installed");
        const Catalogue c = fill();
        frmMain::instance().showProjectCaption();
        // The last of the deletes fails.
        test::sqliteShell(shell.file(),
                          QStringLiteral("CREATE TRIGGER refuse BEFORE DELETE ON \"Paper "
                                         "Statements List\" BEGIN SELECT RAISE(ABORT, 'refused'); "
                                         "END;"));
        windows::openPaperFromSearch(static_cast<qint32>(c.doomed));
        st::setNextAnswer(services::vbYes);
        click(win().cmdDeletePaper);
        QCOMPARE(st::messages().size(), size_t(2));
        QCOMPARE(st::messages()[1].buttons, services::vbCritical);
        QCOMPARE(rowsOf(c.doomed), QList<int>({1, 2, 2, 2, 2, 2, 1, 1, 1, 1}));
        QVERIFY(frmMain::instance().windowTitle().endsWith(" - Papers added: 3"));

        // Once the obstacle is gone, the same button deletes it all.
        test::sqliteShell(shell.file(), QStringLiteral("DROP TRIGGER refuse;"));
        st::setNextAnswer(services::vbYes);
        click(win().cmdDeletePaper);
        QCOMPARE(rowsOf(c.doomed), QList<int>({0, 0, 0, 0, 0, 0, 1, 1, 1, 1}));
    }

    void newPaperOffersNoDeletion()
    {
        test::Shell shell;
        addPaper("Stored");
        windows::openNewPaper();
        QVERIFY(!win().cmdDeletePaper->isEnabled());
        QVERIFY(!win().cmdCopyReference->isEnabled());
        QVERIFY(!win().cmdBackToPrevious->isEnabled());
    }

    void docTwiceReturnsToTheStart()
    {
        test::Shell shell;
        const Catalogue c = fill();
        windows::openPaperFromSearch(static_cast<qint32>(c.doomed));
        frmViewPaper& w = win();
        QVERIFY(!w.cmdBackToPrevious->isEnabled());
        QCOMPARE(lines(w.lstCitations), QStringList{QStringLiteral("%1 : Citing").arg(c.citing)});

        clickLine(w.lstCitations, 0);
        QCOMPARE(w.currentPaperID, c.citing);
        QCOMPARE(globals().previousPaperID, c.doomed);
        QCOMPARE(w.detailText(0), QStringLiteral("Citing"));
        QVERIFY(w.isShown());
        QVERIFY(w.cmdBackToPrevious->isEnabled());

        click(w.cmdBackToPrevious);
        QCOMPARE(w.currentPaperID, c.doomed);
        QCOMPARE(globals().previousPaperID, c.citing);
        QCOMPARE(w.detailText(0), QStringLiteral("Doomed"));
        click(w.cmdBackToPrevious);
        QCOMPARE(w.currentPaperID, c.citing);
        QCOMPARE(w.detailText(0), QStringLiteral("Citing"));

        // Along the other two lists as well.
        clickLine(w.lstReferencedWork, 1);
        QCOMPARE(w.currentPaperID, c.kept);
        QCOMPARE(globals().previousPaperID, c.citing);
        clickLine(w.lstOtherArticles, 0);
        QCOMPARE(w.currentPaperID, c.doomed);
        QCOMPARE(globals().previousPaperID, c.kept);
        QVERIFY(st::messages().empty());
    }

    void docToADeletedPaper()
    {
        test::Shell shell;
        const Catalogue c = fill();
        windows::openPaperFromSearch(static_cast<qint32>(c.doomed));
        clickLine(win().lstCitations, 0);
        st::setNextAnswer(services::vbYes);
        click(win().cmdDeletePaper); // deletes the citing paper
        windows::openPaperFromSearch(static_cast<qint32>(c.doomed));
        globals().previousPaperID = static_cast<qint32>(c.citing);
        click(win().cmdBackToPrevious);
        QCOMPARE(st::messages().back().prompt, QStringLiteral("Could not locate Paper error"));
        QVERIFY(!win().isShown());
        QVERIFY(frmSearchPapers::instance().isShown());
    }

    void backToTheReportThenToTheSearch()
    {
        test::Shell shell;
        const Catalogue c = fill();
        windows::openPaperFromReport(static_cast<qint32>(c.doomed));
        frmViewPaper& w = win();
        QCOMPARE(globals().previousPaperID, -100);
        QVERIFY(w.isShown());
        QVERIFY(!w.cmdBackToPrevious->isEnabled());
        click(w.cmdBack);
        QVERIFY(!w.isShown());
        QVERIFY(frmReport::instance().isShown());
        QCOMPARE(globals().previousPaperID, 0); // the report's mark is used up
        frmReport::instance().hideForm();

        windows::openPaperFromSearch(static_cast<qint32>(c.doomed));
        clickLine(w.lstCitations, 0);
        click(w.cmdBack);
        QVERIFY(!w.isShown());
        QVERIFY(frmSearchPapers::instance().isShown());
        QVERIFY(!frmReport::instance().isShown());
        QCOMPARE(globals().previousPaperID, c.doomed); // kept for the next visit
    }
};

QTEST_MAIN(TstPaperNavigation)
#include "tst_papernavigation.moc"
