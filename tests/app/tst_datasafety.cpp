// A project kept safe while used: backup copies, restoring, a damaged project replaced, a project
// open in another copy, and writes refused while another program holds the file.
#include "app/projectsafety.h"
#include "db/backups.h"
#include "editors/frmaddauthor.h"
#include "harness.h"
#include "paper/frmviewpaper.h"
#include "reports/frmreport.h"
#include "search/frmsearchpapers.h"
#include "testsupport.h"

#include <QDialog>
#include <QLineEdit>
#include <QRadioButton>
#include <QTableView>
#include <QTimer>
#include <QTreeWidget>

#include <functional>

using namespace quirelle;
using namespace quirelle::test;

namespace {

// The author editor's Add, with `surname` typed.
QLineEdit* addAuthorTyped(const QString& surname)
{
    panelButton(0);
    auto* box = control<QLineEdit>(frmMain::instance(), "txtDetails(0)");
    typeKeys(box, surname);
    click(control(frmMain::instance(), "cmdAdd"));
    return box;
}

// Reads a window starts from a click, tried while another program holds the file.
enum class HeldRead { SearchResult, SearchMode, ReportGo, ReportLine, EditorRow };

// Clicks the search's mode button `mode` on its round button (the caption is shorter than it).
void chooseSearchMode(int mode)
{
    auto* option =
        control<QRadioButton>(frmSearchPapers::instance(), controlName("optSearch", mode));
    QTest::mouseClick(option, Qt::LeftButton, {}, QPoint(6, option->height() / 2));
    settle();
}

} // namespace

Q_DECLARE_METATYPE(HeldRead)

class TstDataSafety : public QObject
{
    Q_OBJECT

private slots:
    // Opening writes the day's copy (whether one is due is tested with the copies themselves);
    // Back Up Now writes one whenever asked. Restoring one is confirmed and can be undone.
    void copiesRestoredAndTheRestoreUndone()
    {
        Shell shell;
        QCOMPARE(backupNames(shell.file()).size(), 1);
        const QString status = frmMain::instance().statusPanel(2)->text();
        QVERIFY2(status.startsWith(QStringLiteral("Backup copy written")), qPrintable(status));
        for (int i = 0; i < 3; ++i)
            addPaper(QStringLiteral("Kept in the copy"));
        fromMenu("mnuBackUpNow");
        for (int i = 0; i < 4; ++i)
            addPaper(QStringLiteral("Added after the copy"));
        QVERIFY(caption().endsWith(QStringLiteral("Papers added: 0"))); // not counted again yet
        fromMenu("mnuRestore");
        auto* list = control<QTreeWidget>(frmMain::instance(), "lstBackups");
        QCOMPARE(list->topLevelItemCount(), 2);
        QCOMPARE(list->topLevelItem(0)->text(3), "3"); // newest first
        QCOMPARE(list->topLevelItem(1)->text(3), "0");
        QVERIFY(!control(frmMain::instance(), "cmdRestore")->isEnabled());
        QVERIFY(prompts().isEmpty());
        // No: nothing changes. Yes: the copy is the project, and the project as it was is a
        // copy of its own.
        for (const auto answer : {services::Answer::No, services::Answer::Yes}) {
            fromMenu("mnuRestore");
            list = control<QTreeWidget>(frmMain::instance(), "lstBackups");
            list->setCurrentItem(list->topLevelItem(0));
            st::setNextAnswer(answer);
            click(control(frmMain::instance(), "cmdRestore"));
            QCOMPARE(countRows(project().db(), "Papers"), answer == services::Answer::No ? 7 : 3);
        }
        QVERIFY2(lastPrompt().contains(QStringLiteral("can be undone")), qPrintable(lastPrompt()));
        QVERIFY(caption().endsWith(QStringLiteral("Papers added: 3")));
        const QList<db::BackupCopy> copies = db::listBackups(shell.file());
        QCOMPARE(copies.size(), 3);
        QCOMPARE(copies.front().papers, 7);
    }

    // However the damage shows (in the check on opening, when opening at start-up or by File >
    // Open, at a later read), the newest good copy is offered: No changes nothing, Yes keeps the
    // damaged file aside with ".damaged" and opens the copy.
    void damagedProjectOfferedItsNewestGoodCopy_data()
    {
        QTest::addColumn<QString>("shows");
        for (const char* where : {"in the check", "in the check, under a modal window",
                                  "at start-up", "by File > Open", "at a read"})
            QTest::newRow(where) << QString::fromLatin1(where);
    }
    void damagedProjectOfferedItsNewestGoodCopy()
    {
        QFETCH(QString, shows);
        Shell shell;
        // Quotations enough to fill pages of their own, away from what opening reads.
        for (int i = 0; i < 400; ++i)
            addRow(QStringLiteral("Paper Statements List"),
                   {{"Paper ID", "1"}, {"Statement", QString(200, QLatin1Char('q'))}});
        for (int i = 0; i < 5; ++i)
            addPaper(QStringLiteral("Safe"));
        fromMenu("mnuBackUpNow");
        const qint64 page =
            sqliteShell(shell.file(), "SELECT pageno FROM dbstat WHERE name = 'Paper Statements "
                                      "List' AND pagetype = 'leaf' ORDER BY pageno DESC "
                                      "LIMIT 1 OFFSET 3;")
                .toLongLong();
        if (page <= 0)
            QSKIP("the sqlite3 shell cannot list the pages of a table here");
        // Opening fails when every page after the first is garbage; the other cases damage one
        // page of quotations, which a read finds while the project is open.
        const bool atOpening = shows == "at start-up" || shows == "by File > Open";
        const QString other = shell.folder() + QStringLiteral("/other");
        if (shows == "by File > Open") {
            db::createProjectFile(other);
            openByMenu(other + QStringLiteral(".mdb"));
        } else if (shows != "at a read") {
            project().close();
        }
        QFile file(shell.file());
        QVERIFY(file.open(QIODevice::ReadWrite));
        const qint64 from = atOpening ? 4096 : (page - 1) * 4096 + 8;
        file.seek(from);
        file.write(QByteArray(atOpening ? file.size() - from : 4000, '\x5a'));
        if (shows == "at a read") {
            // As any other writer does, so that the program reads the page afresh.
            file.seek(24);
            file.write(QByteArray("\x7f\x00\x00\x00", 4));
        }
        file.close();
        const QByteArray damaged = readFile(shell.file());
        const auto showDamage = [&] {
            if (shows == "by File > Open") {
                openByMenu(shell.file());
            } else if (shows == "at a read") {
                panelButton(4); // a search by quotation reads them all
                const frmMain& w = frmMain::instance();
                QWidget* quotation = control(w, QStringLiteral("optSearch(4)"));
                QTest::mouseClick(quotation, Qt::LeftButton, {},
                                  QPoint(6, quotation->height() / 2));
                replaceText(control(w, QStringLiteral("cmbSearchCriteria")), "q");
                click(control(w, QStringLiteral("cmdFind")));
                click(control(w, QStringLiteral("cmdCancel")));
            } else if (shows != "in the check, under a modal window") {
                shell.restart();
            } else {
                // The check's result waits while a modal window (an import's progress, whose
                // worker has the project open) is on screen, and comes once it is closed.
                const auto offered = [] { return prompts().filter("is damaged").size(); };
                QDialog modal;
                modal.setWindowModality(Qt::ApplicationModal);
                modal.show();
                shell.restart();
                settle();
                QTest::qWait(300);
                QCOMPARE(offered(), 0);
                modal.close();
                QTRY_COMPARE(offered(), 1);
            }
        };
        // Declined: nothing is changed, and nothing more is said.
        st::setNextAnswer(services::Answer::No);
        showDamage();
        QVERIFY2(lastPrompt().contains(QDir::toNativeSeparators(shell.file())) &&
                     lastPrompt().contains(QStringLiteral("is damaged")),
                 qPrintable(prompts().join("\n--\n")));
        QVERIFY(prompts().filter(QStringLiteral("Error getting")).isEmpty());
        QVERIFY(!QFile::exists(shell.file() + QStringLiteral(".damaged")));
        QCOMPARE(readFile(shell.file()), damaged);
        if (shows == "by File > Open")
            QCOMPARE(project().projectFilePath(), other);
        if (shows == "at a read") {
            // Read again: the error, but the offer declined is not made again.
            const QStringList before = prompts();
            showDamage();
            QCOMPARE(prompts().size(), before.size() + 1);
            QVERIFY2(lastPrompt().startsWith(QStringLiteral("Error 3343")),
                     qPrintable(lastPrompt()));
        }
        // Accepted: the damaged file goes aside, the copy takes its place, and is open. The
        // project read at a read is opened again, and its check on opening asks again.
        st::setNextAnswer(services::Answer::Yes);
        if (shows == "at a read")
            openByMenu(shell.file());
        else
            showDamage();
        QCOMPARE(readFile(shell.file() + QStringLiteral(".damaged")), damaged);
        QCOMPARE(project().projectFilePath(), shell.pathWithoutExtension());
        QVERIFY(caption().endsWith(QStringLiteral("Papers added: 5")));
        QCOMPARE(sqliteShell(shell.file(), "PRAGMA integrity_check;"), QStringLiteral("ok"));
    }

    // A read refused because another program holds the file is said, and the window stays as it
    // was, on screen with its lists; once the file is free, the same click reads.
    void readsRefusedWhileTheFileIsHeld_data()
    {
        QTest::addColumn<HeldRead>("read");
        QTest::newRow("search result opened") << HeldRead::SearchResult;
        QTest::newRow("search mode chosen") << HeldRead::SearchMode;
        QTest::newRow("report run") << HeldRead::ReportGo;
        QTest::newRow("report line opened") << HeldRead::ReportLine;
        QTest::newRow("editor row clicked") << HeldRead::EditorRow;
    }

    void readsRefusedWhileTheFileIsHeld()
    {
        QFETCH(HeldRead, read);
        Shell shell;
        addPaper("Clay Tablets");
        addPaper("Clay Pots");
        addAuthor("Venmoor", "Kade");
        Form* window = nullptr;
        QWidget* list = nullptr; // what must stay as it was
        std::function<void()> act;
        if (read == HeldRead::SearchResult || read == HeldRead::SearchMode) {
            fromMenu("mnuSearch");
            window = &frmSearchPapers::instance();
            chooseSearchMode(0);
            replaceText(control(*window, "cmbSearchCriteria"), QStringLiteral("Clay"));
            click(control(*window, "cmdFind"));
            list = control(*window, "lstOptions");
            act = read == HeldRead::SearchMode
                      ? std::function<void()>([] { chooseSearchMode(1); })
                      : [list] { clickLine(static_cast<QListWidget*>(list), 0); };
        } else if (read == HeldRead::EditorRow) {
            // More rows than the editor keeps read: the first is read again when clicked.
            for (int i = 0; i < 70; ++i)
                addAuthor(QStringLiteral("Author %1").arg(i));
            panelButton(0);
            window = &frmAddAuthor::instance();
            auto* grid = control<QTableView>(*window, "MSFAuthors");
            list = control(*window, "txtDetails(0)");
            act = [grid] {
                const QRect row = grid->visualRect(grid->model()->index(0, 0));
                QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, row.center());
                settle();
            };
        } else {
            panelButton(8);
            window = &frmReport::instance();
            replaceText(control(*window, "cmbKeyword"), QStringLiteral("Clay"));
            click(control(*window, "cmdGo"));
            list = control(*window, "lstByPaperTitle");
            act = read == HeldRead::ReportGo
                      ? std::function<void()>([window] {
                            replaceText(control(*window, "cmbKeyword"), QStringLiteral("Pots"));
                            click(control(*window, "cmdGo"));
                        })
                      : [list] { doubleClickLine(static_cast<QListWidget*>(list), 0); };
        }
        const auto shown = [list] {
            if (auto* l = qobject_cast<QListWidget*>(list))
                return lines(l);
            return QStringList{static_cast<QLineEdit*>(list)->text()};
        };
        const QStringList before = shown();
        HeldFile holder(shell.file());
        if (!holder.isHeld())
            QSKIP("the sqlite3 shell is not installed");
        act();
        QCOMPARE(prompts().size(), 1);
        QVERIFY2(lastPrompt().contains(QStringLiteral("in use by another program")),
                 qPrintable(lastPrompt()));
        QVERIFY(window->isVisible());
        QCOMPARE(shown(), before);
        if (read == HeldRead::SearchMode)
            QVERIFY(control<QRadioButton>(*window, "optSearch(0)")->isChecked());
        QVERIFY(!frmViewPaper::isLoaded() || !frmViewPaper::instance().isShown());
        holder.release();
        act();
        QCOMPARE(prompts().size(), 1);
        QVERIFY(shown() != before || read == HeldRead::SearchResult ||
                read == HeldRead::ReportLine);
        if (read == HeldRead::SearchResult || read == HeldRead::ReportLine)
            QVERIFY(frmViewPaper::instance().isShown());
    }

    // Waiting for a copy inside a transaction runs no event: the copy's report, which could
    // close the project, is handed out once the transaction is over.
    void waitingInsideATransaction()
    {
        Shell shell;
        ProjectSafety& safety = frmMain::instance().safety();
        bool eventRan = false;
        QTimer::singleShot(0, [&eventRan] { eventRan = true; });
        {
            db::Transaction t(shell.db());
            addPaper(QStringLiteral("Written meanwhile"));
            safety.backUpNow();
            safety.waitUntilIdle();
            QVERIFY(!eventRan);
            QVERIFY(safety.isBusy());
            t.commit();
        }
        settle();
        QVERIFY(eventRan);
        QVERIFY(!safety.isBusy());
        QCOMPARE(backupNames(shell.file()).size(), 2);
        QVERIFY(frmMain::instance().statusPanel(2)->text().startsWith("Backup copy written"));
    }

    // File > Open of the project open here, by another name of the same file: the program's own
    // lock is no other copy's, and stays held. Opened read-only because another copy holds it,
    // a project gets no backup copy put in its place.
    void lockOfThisCopyAndOfAnother()
    {
        Shell shell(Shell::Start::EmptyFolder); // the default project, by a name without folder
        addPaper(QStringLiteral("Kept"));
        const QString file = QDir(shell.folder()).filePath(QStringLiteral("QuirelleXP.mdb"));
        openByMenu(file);
        QVERIFY2(prompts().isEmpty(), qPrintable(prompts().join('\n')));
        QVERIFY(caption().endsWith(QStringLiteral("Papers added: 1")));
        QCOMPARE(Harness({"hold-lock", file}).firstLine().left(5), "held ");

        const QString other = shell.folder() + QStringLiteral("/other");
        db::createProjectFile(other);
        Harness copy({"hold-lock", other + QStringLiteral(".mdb")});
        QCOMPARE(copy.firstLine(), "locked");
        st::setNextAnswer(services::Answer::Yes);
        openByMenu(other + QStringLiteral(".mdb"));
        QVERIFY(caption().endsWith(QStringLiteral("(read-only)")));
        const QByteArray before = readFile(other + QStringLiteral(".mdb"));
        fromMenu("mnuRestore");
        auto* list = control<QTreeWidget>(frmMain::instance(), "lstBackups");
        list->setCurrentItem(list->topLevelItem(0));
        st::setNextAnswer(services::Answer::Yes);
        click(control(frmMain::instance(), "cmdRestore"));
        QVERIFY2(lastPrompt().contains(QStringLiteral("read-only here")), qPrintable(lastPrompt()));
        QCOMPARE(readFile(other + QStringLiteral(".mdb")), before);
        QCOMPARE(db::listBackups(other + QStringLiteral(".mdb")).size(), 1);
    }

    // Writes refused while another program holds the file, or another copy has the project
    // open, are said, and the typed text stays in its box.
    void writesRefusedWhileTheFileIsHeld()
    {
        Shell shell;
        Harness writer({"hold-write", shell.file()});
        QCOMPARE(writer.firstLine(), "holding 1");
        QLineEdit* surname = addAuthorTyped(QStringLiteral("Venmoor"));
        QVERIFY2(lastPrompt().contains(QStringLiteral("in use by another program")),
                 qPrintable(lastPrompt()));
        QVERIFY(lastPrompt().contains(QStringLiteral("not added")));
        QCOMPARE(surname->text(), "Venmoor");
        QVERIFY(writer.finish());
        // Once the other program is done, the same Add stores the author.
        click(control<QPushButton>(frmMain::instance(), "cmdAdd"));
        QCOMPARE(countRows(project().db(), QStringLiteral("Authors")), 1);
        const QString other = shell.folder() + QStringLiteral("/other");
        db::createProjectFile(other);
        Harness copy({"hold-lock", other + QStringLiteral(".mdb")});
        QCOMPARE(copy.firstLine(), "locked");
        // Not at all: the project that was open stays open.
        st::setNextAnswer(services::Answer::No);
        openByMenu(other + QStringLiteral(".mdb"));
        QVERIFY(lastPrompt().contains(QStringLiteral("already open in another copy")));
        QCOMPARE(project().projectFilePath(), shell.pathWithoutExtension());
        // Read-only: it opens, says so, and refuses to change anything.
        st::setNextAnswer(services::Answer::Yes);
        openByMenu(other + QStringLiteral(".mdb"));
        QCOMPARE(project().projectFilePath(), other);
        QVERIFY(caption().endsWith(QStringLiteral("(read-only)")));
        const size_t before = st::messages().size();
        surname = addAuthorTyped(QStringLiteral("Wendrake"));
        QCOMPARE(st::messages().size(), before + 1);
        QVERIFY2(lastPrompt().contains(QStringLiteral("read-only")), qPrintable(lastPrompt()));
        QCOMPARE(surname->text(), "Wendrake");
    }

    // Another copy that may only read the file, or a member of a shared project, is shown within
    // a second what the one who writes stores: the caption's count, the paper on show (but not
    // the box the user is typing in), an editor's grid, and a word that a search's list may be
    // out of date.
    void othersChangesArrive_data() { test::addEngineRows(); }
    void othersChangesArrive()
    {
        QUIRELLE_FETCH_ENGINE(engine);
        std::unique_ptr<test::ServerTestDatabase> server; // dropped after the program ends
        Shell shell(Shell::Start::EmptyFolder);
        QString location = shell.folder() + QStringLiteral("/shared.mdb");
        if (engine == test::Engine::Server) {
            server = std::make_unique<test::ServerTestDatabase>();
            location = server->address();
            db::createServerProject(location);
        } else {
            db::createProjectFile(location.chopped(4));
        }
        auto writer = db::Database::OpenDatabase(location);
        const qint64 paper = addRow(*writer, "Papers", {{"Title", "Clay remembers"}});
        std::unique_ptr<Harness> holder;
        if (engine == test::Engine::File) {
            holder = std::make_unique<Harness>(QStringList{"hold-lock", location});
            QCOMPARE(holder->firstLine(), "locked");
            st::setNextAnswer(services::Answer::Yes);
            openByMenu(location);
            QVERIFY(caption().endsWith(QStringLiteral("(read-only)")));
        } else {
            QVERIFY(frmMenu::instance().connectTo(location));
            QVERIFY2(caption().contains(QStringLiteral("Papers added: 1")), qPrintable(caption()));
        }
        int shown = static_cast<int>(prompts().size());

        fromMenu("mnuSearch");
        auto& search = frmSearchPapers::instance();
        chooseSearchMode(0);
        replaceText(control(search, "cmbSearchCriteria"), QStringLiteral("Clay"));
        click(control(search, "cmdFind"));
        addRow(*writer, "Papers", {{"Title", "Second"}});
        QTRY_VERIFY_WITH_TIMEOUT(caption().contains(QStringLiteral("Papers added: 2")), 2000);
        QVERIFY(control<QLabel>(search, "lblSnippet")->text().contains("out of date"));

        clickLine(control<QListWidget>(search, "lstOptions"), 0); // the paper window
        auto& paperWindow = frmViewPaper::instance();
        QTRY_VERIFY(paperWindow.isShown());
        const auto box = [&](int i) {
            return control<QLineEdit>(paperWindow, QStringLiteral("txtDetails(%1)").arg(i));
        };
        focusTo(box(4));
        replaceText(box(4), QStringLiteral("typing"));
        {
            db::Recordset row = writer->OpenRecordset(
                QStringLiteral("select * from [Papers] where [Paper ID] = ?;"), {paper});
            row.Edit();
            row.Fields("Year") = QStringLiteral("2001");
            row.Fields("Status") = QStringLiteral("Read");
            row.Update();
        }
        const qint64 author = addRow(*writer, "Authors", {{"Surname", "Alder"}});
        addRow(*writer, "Paper Authors List",
               {{"Paper ID", QString::number(paper)}, {"Author ID", QString::number(author)}});
        QTRY_COMPARE_WITH_TIMEOUT(box(1)->text(), QStringLiteral("2001"), 2000);
        QTRY_COMPARE(lines(control<QListWidget>(paperWindow, "lstAuthors")),
                     QStringList{QString::number(author) + QStringLiteral(" : Alder, ")});
        QCOMPARE(box(4)->text(), QStringLiteral("typing"));
        QCOMPARE(QApplication::focusWidget(), box(4));

        // Leaving the box: what was typed is not stored over their value, and the user is told it.
        click(control(paperWindow, "cmdBack"));
        QCOMPARE(prompts().size(), ++shown);
        QVERIFY2(lastPrompt().contains(QStringLiteral("\n\nRead\n\n")), qPrintable(lastPrompt()));
        click(control(search, "cmdCancel"));
        panelButton(0);
        auto* grid = control<QTableView>(frmAddAuthor::instance(), "MSFAuthors");
        QCOMPARE(grid->model()->rowCount(), 1);
        addRow(*writer, "Authors", {{"Surname", "Birch"}});
        QTRY_COMPARE_WITH_TIMEOUT(grid->model()->rowCount(), 2, 2000);
        QVERIFY2(prompts().size() == shown, qPrintable(prompts().join('|')));
    }
};

QTEST_MAIN(TstDataSafety)
#include "tst_datasafety.moc"
