// The author editor driven as the user drives it: the grid, the boxes, Add, Delete with its
// question, Back, two editors at once, refused rows, characters outside the basic plane and a
// table beyond 32,767 rows.
#include "editors/frmaddauthor.h"
#include "editors/frmaddkeyword.h"
#include "editors/gridwindow.h"

#include <QMdiSubWindow>

using namespace quirelle;
using namespace quirelle::test;
namespace st = quirelle::services::testing;

namespace {

qint32 addAuthor(const QString& surname, const QString& forenames, const QVariant& job = {})
{
    return static_cast<qint32>(
        addRow("Authors", {{"Surname", surname}, {"Forenames", forenames}, {"Occupation", job}}));
}

QString surnames(const Editor& e)
{
    QStringList s;
    for (int r = 1; r <= e.rows(); ++r)
        s << e.cell(r, 0);
    return s.join(QLatin1Char(','));
}

const QString emoji = QStringLiteral("\U0001F600");

} // namespace

class TstAuthorEditor : public QObject
{
    Q_OBJECT

private slots:
    void emptyTableAddBackAndReopen()
    {
        Shell shell;
        const Editor e = Editor::open<frmAddAuthor>(0);
        QVERIFY(e.w.isShown() && !e.panelEnabled());
        QVERIFY(e.grid->isVisible());
        QCOMPARE(e.rows(), 0);
        e.clickRow(1); // nothing to click and nothing to delete
        e.click("cmdDelete");
        QCOMPARE(e.messages(), 0);

        const QStringList typed{"Venmoor", "Kade", "Lecturer", "Leeds"};
        for (int i = 0; i < 4; ++i)
            e.type(i, typed[i]);
        e.click("cmdAdd");
        QCOMPARE(e.text(0) + e.text(1) + e.text(2) + e.text(3), QString());
        // Empty boxes store empty text, not Null, and sort first.
        e.click("cmdAdd");
        QCOMPARE(e.stored("Authors", "[Surname] = ''", "Location"), QString());
        // Add after a click adds a second author with the shown details.
        e.clickRow(2);
        QCOMPARE(e.text(3), QStringLiteral("Leeds"));
        e.click("cmdAdd");
        QCOMPARE(surnames(e), QStringLiteral(",Venmoor,Venmoor"));

        // Back; the menu opens it afresh, with the keyword editor open beside it.
        e.type(0, "Half typed");
        e.click("cmdExit");
        QVERIFY(!e.w.isShown() && e.panelEnabled());
        addAuthor("Bram", "Bo");
        fromMenu("mnuAuthors");
        QVERIFY(e.w.isShown() && !e.panelEnabled());
        QCOMPARE(e.text(0), QString());
        QCOMPARE(e.rows(), 4);
        fromMenu("mnuKeywords");
        QVERIFY(frmAddKeyword::instance().isShown() && e.w.isShown());
        e.w.subWindow()->close(); // the frame's close box leaves as Back does
        settle();
        QVERIFY(!e.w.isShown() && e.panelEnabled() && frmAddKeyword::instance().isShown());
    }

    void aClickShowsItsOwnRow()
    {
        Shell shell;
        addAuthor("Smith", "Ann", "Chemist");
        addAuthor("Smith", "Bea");
        const Editor e = Editor::open<frmAddAuthor>(0);
        const int annRow = e.cell(1, 1) == "Ann" ? 1 : 2;
        e.clickRow(annRow);
        e.clickRow(3 - annRow);
        QCOMPARE(e.text(1), QStringLiteral("Bea"));
        QCOMPARE(e.text(2), QStringLiteral("Chemist")); // a Null field leaves the box as it was
    }

    void deleteAsks()
    {
        Shell shell;
        addAuthor("Ashby", "Ann");
        addAuthor("Bram", "Bo");
        addRow(shell.db(), "Paper Authors List", {{"Paper ID", "1"}, {"Author ID", "1"}});
        const Editor e = Editor::open<frmAddAuthor>(0);
        e.click("cmdDelete"); // no row chosen yet: nothing asked
        QCOMPARE(e.messages(), 0);
        e.clickRow(1);
        // A keyboard move chooses nothing.
        pressKey(Qt::Key_Down);
        QCOMPARE(e.grid->currentIndex().row(), 1);
        st::setNextAnswer(services::Answer::No);
        e.click("cmdDelete");
        QCOMPARE(lastPrompt(), QStringLiteral("Do you wish to delete?"));
        QCOMPARE(st::messages().back().buttons, services::Buttons::YesNo);
        QCOMPARE(surnames(e), QStringLiteral("Ashby,Bram"));
        QCOMPARE(e.text(0), QStringLiteral("Ashby"));

        st::setNextAnswer(services::Answer::Yes);
        e.click("cmdDelete");
        QCOMPARE(surnames(e), QStringLiteral("Bram"));
        QCOMPARE(e.text(0), QString());
        QCOMPARE(countRows(shell.db(), "Paper Authors List"), 1); // the links stay
        e.click("cmdDelete");                                     // no row chosen again
        QCOMPARE(e.messages(), 2);
    }

    // Limits count characters as the user sees them: an emoji is one.
    void refused_data()
    {
        Editor::refusalData(
            {{"surname", 0, QString(31, 'x'), "'Surname' holds at most 30 characters"},
             {"surname with emoji", 0, emoji.repeated(20) + QString(11, 'x'),
              "holds at most 30 characters, and the text typed has 31"},
             {"location", 3, QString(51, 'y'), "'Location' holds at most 50"}});
    }
    void refused()
    {
        Shell shell;
        Editor::open<frmAddAuthor>(0).refusedThenMended("Authors");
    }

    void twentyEmojiFitAThirtyCharacterSurname()
    {
        Shell shell;
        const Editor e = Editor::open<frmAddAuthor>(0);
        const QString surname = emoji.repeated(20) + QStringLiteral("Wendrake_x");
        e.type(0, surname);
        e.click("cmdAdd");
        QCOMPARE(e.messages(), 0);
        QCOMPARE(e.cell(1, 0), surname);
        QCOMPARE(e.stored("Authors", "[Author ID] = 1", "Surname"), surname);
    }

    void moreRowsThanASixteenBitCounter()
    {
        Shell shell;
        constexpr int Count = 32769; // the last row's position does not fit in 16 bits
        {
            db::Transaction t(shell.db());
            db::Recordset rs = shell.db().OpenRecordset("select * from [Authors];");
            for (int i = 1; i <= Count; ++i) {
                rs.AddNew();
                rs.Fields("Surname") = QStringLiteral("S%1").arg(i, 5, 10, QLatin1Char('0'));
                rs.Update();
            }
            t.commit();
        }
        const Editor e = Editor::open<frmAddAuthor>(0);
        QCOMPARE(e.rows(), Count);
        e.clickRow(Count);
        QCOMPARE(e.text(0), QStringLiteral("S32769"));
        st::setNextAnswer(services::Answer::Yes);
        e.click("cmdDelete");
        QCOMPARE(e.rows(), Count - 1);
        QCOMPARE(e.cell(Count - 1, 0), QStringLiteral("S32768"));
    }
};

QTEST_MAIN(TstAuthorEditor)
#include "tst_frmaddauthor.moc"
