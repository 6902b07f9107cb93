// Keeping a project safe while it is used: the backup copy on opening and on demand, restoring
// a copy, a damaged project replaced by its newest good copy, a project open in another copy of
// the program, and writes the engine refuses because another program holds the file.
#include "app/frmmain.h"
#include "db/backups.h"
#include "db/project.h"
#include "db/schema.h"
#include "testsupport.h"

#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QTest>
#include <QTreeWidget>

using namespace quirelle;
using namespace quirelle::test;
namespace st = quirelle::services::testing;

namespace {

QString status()
{
    return frmMain::instance().statusPanel(2)->text();
}

QStringList copiesOf(const QString& projectFile)
{
    QStringList names;
    for (const db::BackupCopy& c : db::listBackups(projectFile))
        names << QFileInfo(c.file).fileName();
    return names;
}

void addPapers(int count, const QString& title)
{
    for (int i = 0; i < count; ++i)
        addRow(QStringLiteral("Papers"), {{"Title", title}});
}

// Another copy of the program, as far as the project is concerned.
struct OtherCopy
{
    OtherCopy(const QString& mode, const QString& projectFile)
    {
        process.start(QStringLiteral(QUIRELLE_CRASH_HARNESS), {mode, projectFile});
        process.waitForReadyRead(30000);
        said = QString::fromUtf8(process.readAll());
    }
    ~OtherCopy()
    {
        process.closeWriteChannel();
        if (!process.waitForFinished(30000))
            process.kill();
    }
    QProcess process;
    QString said;
};

} // namespace

class TstDataSafety : public QObject
{
    Q_OBJECT

private slots:
    void copiesOnOpeningAndOnDemand()
    {
        Shell shell;
        // Opening wrote the day's copy, and said so.
        QCOMPARE(copiesOf(shell.file()).size(), 1);
        QVERIFY2(status().startsWith(QStringLiteral("Backup copy written")), qPrintable(status()));
        // Opened again the same day, no copy is due.
        shell.restart();
        QCOMPARE(copiesOf(shell.file()).size(), 1);
        // On demand, whenever asked; a second copy in the same minute takes the seconds.
        addPapers(2, QStringLiteral("Later"));
        fromMenu("mnuBackUpNow");
        QCOMPARE(copiesOf(shell.file()).size(), 2);
        QVERIFY(db::listBackups(shell.file()).front().papers == 2);
        QVERIFY(prompts().isEmpty());
    }

    void restoreIsConfirmedAndCanBeUndone()
    {
        Shell shell;
        addPapers(3, QStringLiteral("Kept in the copy"));
        fromMenu("mnuBackUpNow");
        addPapers(4, QStringLiteral("Added after the copy"));
        QVERIFY(caption().endsWith(QStringLiteral("Papers added: 0"))); // not counted again yet

        fromMenu("mnuRestore");
        auto* list = control<QTreeWidget>(frmMain::instance(), "lstBackups");
        QCOMPARE(list->topLevelItemCount(), 2);
        QCOMPARE(list->topLevelItem(0)->text(3), QStringLiteral("3")); // newest first
        QCOMPARE(list->topLevelItem(1)->text(3), QStringLiteral("0"));
        auto* restore = control<QPushButton>(frmMain::instance(), "cmdRestore");
        QVERIFY(!restore->isEnabled());
        list->setCurrentItem(list->topLevelItem(0));

        // No: nothing changes.
        st::setNextAnswer(services::Answer::No);
        click(restore);
        QCOMPARE(countRows(shell.db(), QStringLiteral("Papers")), 7);

        // Yes: the copy is the project, and the project as it was is a copy of its own.
        fromMenu("mnuRestore");
        list = control<QTreeWidget>(frmMain::instance(), "lstBackups");
        list->setCurrentItem(list->topLevelItem(0));
        st::setNextAnswer(services::Answer::Yes);
        click(control<QPushButton>(frmMain::instance(), "cmdRestore"));
        QVERIFY2(lastPrompt().contains(QStringLiteral("can be undone")), qPrintable(lastPrompt()));
        QCOMPARE(countRows(project().db(), QStringLiteral("Papers")), 3);
        QVERIFY(caption().endsWith(QStringLiteral("Papers added: 3")));
        const QList<db::BackupCopy> copies = db::listBackups(shell.file());
        QCOMPARE(copies.size(), 3);
        QCOMPARE(copies.front().papers, 7);
    }

    void damagedProjectReplacedByItsNewestGoodCopy()
    {
        Shell shell;
        // Quotations enough to fill pages of their own, away from what opening reads.
        for (int i = 0; i < 400; ++i)
            addRow(QStringLiteral("Paper Statements List"),
                   {{"Paper ID", "1"}, {"Statement", QString(200, QLatin1Char('q'))}});
        addPapers(5, QStringLiteral("Safe"));
        fromMenu("mnuBackUpNow");
        const QString page =
            sqliteShell(shell.file(), "SELECT pageno FROM dbstat WHERE name = 'Paper Statements "
                                      "List' AND pagetype = 'leaf' ORDER BY pageno DESC "
                                      "LIMIT 1 OFFSET 3;");
        if (page.toInt() <= 0)
            QSKIP("the sqlite3 shell cannot list the pages of a table here");
        project().close();
        {
            QFile f(shell.file());
            QVERIFY(f.open(QIODevice::ReadWrite));
            f.seek((page.toLongLong() - 1) * 4096 + 8);
            f.write(QByteArray(4000, '\x5a'));
        }
        const QByteArray damaged = [&] {
            QFile f(shell.file());
            return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
        }();

        // Declined: nothing is changed.
        st::setNextAnswer(services::Answer::No);
        shell.restart();
        QVERIFY2(lastPrompt().contains(QDir::toNativeSeparators(shell.file())),
                 qPrintable(lastPrompt()));
        QVERIFY(lastPrompt().contains(QStringLiteral("damaged")));
        QVERIFY(!QFile::exists(shell.file() + QStringLiteral(".damaged")));

        // Accepted: the damaged file goes aside, the copy takes its place, and is open.
        st::setNextAnswer(services::Answer::Yes);
        shell.restart();
        QVERIFY(QFile::exists(shell.file() + QStringLiteral(".damaged")));
        {
            QFile aside(shell.file() + QStringLiteral(".damaged"));
            QVERIFY(aside.open(QIODevice::ReadOnly));
            QCOMPARE(aside.readAll(), damaged);
        }
        QVERIFY(project().isOpen());
        QVERIFY(caption().endsWith(QStringLiteral("Papers added: 5")));
        QCOMPARE(sqliteShell(shell.file(), "PRAGMA integrity_check;"), QStringLiteral("ok"));
    }

    void projectOpenInAnotherCopy()
    {
        Shell shell;
        const QString other = shell.folder() + QStringLiteral("/other");
        db::createProjectFile(other);
        OtherCopy copy(QStringLiteral("hold-lock"), other + QStringLiteral(".mdb"));
        QVERIFY2(copy.said.startsWith(QStringLiteral("locked")), qPrintable(copy.said));

        // Not at all: the project that was open stays open.
        st::setNextAnswer(services::Answer::No);
        openByMenu(other + QStringLiteral(".mdb"));
        QVERIFY(lastPrompt().contains(QStringLiteral("already open in another copy")));
        QCOMPARE(project().projectFilePath, shell.pathWithoutExtension());

        // Read-only: it opens, says so, and refuses to change anything.
        st::setNextAnswer(services::Answer::Yes);
        openByMenu(other + QStringLiteral(".mdb"));
        QCOMPARE(project().projectFilePath, other);
        QVERIFY(caption().endsWith(QStringLiteral("(read-only)")));
        const int before = static_cast<int>(st::messages().size());
        panelButton(0);
        auto* surname = control<QLineEdit>(frmMain::instance(), "txtDetails(0)");
        typeKeys(surname, QStringLiteral("Wendrake"));
        click(control<QPushButton>(frmMain::instance(), "cmdAdd"));
        QCOMPARE(static_cast<int>(st::messages().size()), before + 1);
        QVERIFY2(lastPrompt().contains(QStringLiteral("read-only")), qPrintable(lastPrompt()));
        QCOMPARE(surname->text(), QStringLiteral("Wendrake"));
    }

    void busyFileSaysWhatWasNotStored()
    {
        Shell shell;
        OtherCopy writer(QStringLiteral("hold-write"), shell.file());
        QVERIFY2(writer.said.startsWith(QStringLiteral("holding")), qPrintable(writer.said));
        panelButton(0);
        auto* surname = control<QLineEdit>(frmMain::instance(), "txtDetails(0)");
        typeKeys(surname, QStringLiteral("Venmoor"));
        click(control<QPushButton>(frmMain::instance(), "cmdAdd"));
        QVERIFY2(lastPrompt().contains(QStringLiteral("in use by another program")),
                 qPrintable(lastPrompt()));
        QVERIFY(lastPrompt().contains(QStringLiteral("not added")));
        QCOMPARE(surname->text(), QStringLiteral("Venmoor"));
        writer.process.write("\n");
        QVERIFY(writer.process.waitForFinished(30000));
        // Once the other program is done, the same Add stores the author.
        click(control<QPushButton>(frmMain::instance(), "cmdAdd"));
        QCOMPARE(countRows(project().db(), QStringLiteral("Authors")), 1);
    }
};

QTEST_MAIN(TstDataSafety)
#include "tst_datasafety.moc"
