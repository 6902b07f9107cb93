// Import and export in the program: File > Import... and Export..., the search window's "Export
// these papers...", and what the windows show afterwards.
#include "app/frmmain.h"
#include "paper/frmviewpaper.h"
#include "search/frmsearchpapers.h"
#include "testsupport.h"

#include <QAction>
#include <QProgressDialog>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>

using namespace quirelle;
using namespace quirelle::test;

namespace {

const QByteArray twoEntries = R"(
@article{wendrake2003,
  author = {Wendrake, Ilse and Venmoor, Kade},
  title = {Signals in Clay},
  journal = {Journal of Small Things},
  year = {2003},
  doi = {10.1000/clay},
  keywords = {clay, memory}
}
@book{oss1998, author = {Van Oss, Tim}, title = {Remembering Stone}, year = 1998,
  cites = {wendrake2003}}
)";

// Enough papers for an import or an export to run long enough to be cancelled.
constexpr int manyPapers = 10000;

QByteArray manyEntries()
{
    QString text;
    for (int i = 0; i < manyPapers; ++i)
        text += QStringLiteral("@article{k%1, author = {Surname%1, Ann}, title = {Paper %1},\n"
                               "  year = 2001, keywords = {word%1}}\n")
                    .arg(i);
    return text.toUtf8();
}

} // namespace

class TstInterchangeWindows : public QObject
{
    Q_OBJECT

    static QListWidget* paperList(const char* name)
    {
        return control<QListWidget>(frmViewPaper::instance(), name);
    }
    static QStringList extraFieldsOf(int paper)
    {
        return rowsOf(QStringLiteral("select * from [Paper Extra Fields] where [Paper ID] = '%1';")
                          .arg(paper),
                      {"Field Name"});
    }

private slots:
    void importExportAndSee()
    {
        Shell shell;
        const QString file = shell.folder() + QStringLiteral("/refs.bib");
        writeFile(file, twoEntries);
        // Cancel in the dialog does nothing.
        st::setNextFileName(std::nullopt);
        fromMenu("mnuImport");
        QVERIFY(prompts().isEmpty());
        const services::FileDialogSettings dialog = st::dialogs().back();
        QVERIFY(dialog.mustExist);
        for (const char* pattern : {"*.bib", "*.ris", "*.json"})
            QVERIFY(dialog.filter.contains(QLatin1String(pattern)));
        st::setNextFileName(file);
        fromMenu("mnuImport");
        QVERIFY2(lastPrompt().contains(QStringLiteral("2 papers")), qPrintable(lastPrompt()));
        QVERIFY(caption().endsWith(QStringLiteral("Papers added: 2")));
        QCOMPARE(countRows(shell.db(), QStringLiteral("Authors")), 3);
        // The windows show the new rows when they next fill: the paper window lists the
        // authors and the reference, and its referenced-work list offers both papers.
        windows::openPaper(2, windows::PaperOrigin::Search);
        QCOMPARE(lines(paperList("lstAuthors")), QStringList{"3 : Van Oss, Tim"});
        QCOMPARE(lines(paperList("lstReferencedWork")), QStringList{"1 : Signals in Clay"});
        auto* works = control<QComboBox>(frmViewPaper::instance(), "cmbReferencedWork");
        works->showPopup();
        settle();
        QCOMPARE(works->count(), 2);
        works->hidePopup();
        // The same file again: both are known, nothing is added twice.
        st::setNextFileName(file);
        fromMenu("mnuImport");
        QVERIFY2(lastPrompt().contains(QStringLiteral("2 duplicates")), qPrintable(lastPrompt()));
        QCOMPARE(countRows(shell.db(), QStringLiteral("Papers")), 2);
        // A file with nothing to read stores nothing and says so.
        writeFile(file, test::bytes("\x00\x01\x02 not references"));
        st::setNextFileName(file);
        fromMenu("mnuImport");
        QCOMPARE(st::messages().back().icon, services::Icon::Critical);
        QCOMPARE(countRows(shell.db(), QStringLiteral("Papers")), 2);

        // The whole project.
        const QString all = shell.folder() + QStringLiteral("/all.json");
        st::setNextFileName(all);
        fromMenu("mnuExport");
        QCOMPARE(lastPrompt(), QStringLiteral("2 papers were exported to %1.").arg(all));
        QVERIFY(readFile(all).contains("Signals in Clay") &&
                readFile(all).contains("Remembering Stone"));
        QVERIFY(st::dialogs().back().confirmOverwrite);
        // A name without a known format exports nothing.
        st::setNextFileName(shell.folder() + QStringLiteral("/all.txt"));
        fromMenu("mnuExport");
        QVERIFY(lastPrompt().contains(QStringLiteral("nothing was exported")));
        QVERIFY(!QFile::exists(shell.folder() + QStringLiteral("/all.txt")));
        // The papers a search found, from the result list's menu.
        fromMenu("mnuSearch");
        frmSearchPapers& search = frmSearchPapers::instance();
        click(control<QRadioButton>(search, "optSearch(0)"));
        typeKeys(control<QComboBox>(search, "cmbSearchCriteria"), QStringLiteral("clay\n"));
        QCOMPARE(lines(control<QListWidget>(search, "lstOptions")),
                 QStringList{QStringLiteral("1 : Signals in Clay")});
        const QString found = shell.folder() + QStringLiteral("/found.bib");
        st::setNextFileName(found);
        control<QAction>(search, "mnuExportResults")->trigger();
        settle();
        QCOMPARE(lastPrompt(), QStringLiteral("1 papers were exported to %1.").arg(found));
        QVERIFY(readFile(found).contains("Signals in Clay"));
        QVERIFY(!readFile(found).contains("Remembering Stone"));

        // Deleting a paper deletes its extra fields, and only its own.
        QVERIFY(!extraFieldsOf(1).isEmpty());
        windows::openPaper(1, windows::PaperOrigin::Search);
        st::setNextAnswer(services::Answer::Yes);
        click(control(frmViewPaper::instance(), "cmdDeletePaper"));
        QVERIFY(extraFieldsOf(1).isEmpty());
        QVERIFY(!extraFieldsOf(2).isEmpty());
    }

    // Import and export run beside the windows: while they run, File > Open and every other
    // menu item do nothing and the frame cannot be closed, so the project stays open under them.
    // Cancel stores and writes nothing; an import run through updates the caption's count.
    void transfersBesideWindows()
    {
        Shell shell;
        const QString file = shell.folder() + QStringLiteral("/many.bib");
        writeFile(file, manyEntries());
        const QString captionBefore = caption();
        auto* open = control<QAction>(frmMain::instance(), QStringLiteral("mnuOpen"));
        // Once the work has started: the menu and the frame are tried, then Cancel is clicked
        // (also before the dialog's half second is up, so that a fast machine cannot finish
        // the work first).
        bool held = false;
        QTimer watch;
        watch.setInterval(5);
        QObject::connect(&watch, &QTimer::timeout, [&] {
            auto* progress = frmMain::instance().findChild<QProgressDialog*>(
                QStringLiteral("progressInterchange"));
            if (!progress || progress->value() <= 0)
                return;
            watch.stop();
            const size_t dialogs = st::dialogs().size();
            open->trigger();
            held = !open->isEnabled() && st::dialogs().size() == dialogs &&
                   !frmMain::instance().close() && frmMain::instance().isVisible();
            click(progress->findChild<QPushButton*>());
        });
        const auto cancelled = [&](const char* menu, const QString& chosen) {
            held = false;
            st::forgetShown();
            st::setNextFileName(chosen);
            watch.start();
            fromMenu(menu);
            return held && prompts().isEmpty() && !st::endCalled() && open->isEnabled();
        };
        QVERIFY(cancelled("mnuImport", file));
        QCOMPARE(caption(), captionBefore);
        for (const char* table : {"Papers", "Authors", "Keywords", "Paper Authors List"})
            QCOMPARE(countRows(shell.db(), QLatin1String(table)), 0);

        st::setNextFileName(file);
        fromMenu("mnuImport");
        QVERIFY2(lastPrompt().contains(QStringLiteral("%1 papers").arg(manyPapers)),
                 qPrintable(lastPrompt()));
        QVERIFY(caption().endsWith(QStringLiteral("Papers added: %1").arg(manyPapers)));
        QCOMPARE(countRows(shell.db(), QStringLiteral("Papers")), manyPapers);

        const QString exported = shell.folder() + QStringLiteral("/all.json");
        QVERIFY(cancelled("mnuExport", exported));
        QVERIFY(!QFileInfo::exists(exported));
    }
};

QTEST_MAIN(TstInterchangeWindows)
#include "tst_interchangewindows.moc"
