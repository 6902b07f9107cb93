// The application shell: Open and New, the to-do notes, window placement, the about window and
// leaving the program.
#include "app/frmsplash.h"
#include "db/sharedqueries.h"
#include "testsupport.h"

#include <QPlainTextEdit>

using namespace quirelle;
using namespace quirelle::test;

namespace {

QPlainTextEdit* notes()
{
    return control<QPlainTextEdit>(frmMenu::instance(), "txtToDos");
}

QString storedNotes(db::Database& d)
{
    return rowsOf(d, QStringLiteral("select * from [Master];"), {"ToDos"}).join('|');
}

} // namespace

class TstShell : public QObject
{
    Q_OBJECT

private slots:
    void toDoNotes()
    {
        Shell shell;
        QCOMPARE(notes()->toPlainText(), QString());
        // Leaving the box creates the one Master row, even with empty text.
        focusTo(notes());
        pressKey(Qt::Key_Tab);
        QCOMPARE(countRows(shell.db(), QStringLiteral("Master")), 1);
        typeKeys(notes(), QStringLiteral("Read O'Brien's paper"));
        pressKey(Qt::Key_Tab);
        QCOMPARE(storedNotes(shell.db()), "Read O'Brien's paper");
        // The notes come back at the next start; typed and not yet left, they are saved when
        // the program ends.
        shell.restart();
        QCOMPARE(notes()->toPlainText(), "Read O'Brien's paper");
        replaceText(notes(), QStringLiteral("unsaved"));
        frmMain::instance().close();
        QVERIFY(st::endCalled());
        QCOMPARE(storedNotes(*db::Database::OpenDatabase(shell.file())), "unsaved");
        QVERIFY(st::messages().empty());
    }

    void moreThanOneMasterRow()
    {
        Shell shell;
        addRow(QStringLiteral("Master"), {});
        addRow(QStringLiteral("Master"), {{"ToDos", "second"}});
        shell.restart();
        // A Null note shows empty; the panel says the table is wrong on connecting and again
        // when the notes are saved.
        QCOMPARE(notes()->toPlainText(), QString());
        typeKeys(notes(), QStringLiteral("x"));
        pressKey(Qt::Key_Tab);
        QCOMPARE(prompts(), QStringList(2, QString::fromLatin1(masterWarning)));
        QCOMPARE(st::messages().back().icon, services::Icon::Critical);
    }

    void open()
    {
        Shell shell;
        const QByteArray nif = readFile(QStringLiteral("support.nif"));
        const QString caption0 = projectCaption(shell.pathWithoutExtension(), 0);
        // Cancel changes nothing.
        st::setNextFileName(std::nullopt);
        fromMenu("mnuOpen");
        QCOMPARE(caption(), caption0);
        QVERIFY(st::messages().empty());
        // A name that cannot be a project's path is said, and nothing else happens.
        openByMenu(shell.folder());
        QCOMPARE(prompts(), QStringList{QStringLiteral("Error getting file ") + shell.folder()});
        st::reset();
        // A damaged file: the message with what is wrong, the old project still open, nothing
        // recorded, the file untouched.
        const QString bad = shell.folder() + QStringLiteral("/damaged.mdb");
        writeFile(bad, QByteArray(5000, 'x'));
        openByMenu(bad);
        QCOMPARE(prompts().size(), 1);
        const QString said = QStringLiteral("Error getting ") + shell.folder() + "/damaged\n\n";
        QVERIFY2(lastPrompt().startsWith(said) && lastPrompt().size() > said.size(),
                 qPrintable(lastPrompt()));
        QVERIFY(!st::endCalled());
        QCOMPARE(caption(), caption0);
        QCOMPARE(project().projectFilePath, shell.pathWithoutExtension());
        QCOMPARE(readFile(QStringLiteral("support.nif")), nif);
        QCOMPARE(readFile(bad), QByteArray(5000, 'x'));
        addPaper("still usable");
        // A project in a folder whose name holds a full stop opens by its own name.
        QVERIFY(QDir(shell.folder()).mkpath(QStringLiteral("j.smith/papers")));
        const QString other = shell.folder() + QStringLiteral("/j.smith/papers/thesis");
        db::createProjectFile(other);
        {
            auto d = db::Database::OpenDatabase(other + QStringLiteral(".mdb"));
            addRow(*d, QStringLiteral("Papers"), {{"Title", "one"}});
            addRow(*d, QStringLiteral("Papers"), {{"Title", "two"}});
        }
        openByMenu(other + QStringLiteral(".mdb"));
        QCOMPARE(caption(), projectCaption(other, 2));
        QCOMPARE(frmMain::getLastOpenedFile(), other);
        shell.restart();
        QCOMPARE(caption(), projectCaption(other, 2));
    }

    void newProject()
    {
        Shell shell;
        QVERIFY(QDir(shell.folder()).mkpath(QStringLiteral("my.folder")));
        const QString chosen = shell.folder() + QStringLiteral("/my.folder/fresh");
        // No and Cancel: no file, the open project unchanged.
        for (services::Answer answer : {services::Answer::No, services::Answer::Cancel}) {
            st::setNextFileName(chosen);
            st::setNextAnswer(answer);
            fromMenu("mnuNew");
            QVERIFY(!QFile::exists(chosen + QStringLiteral(".mdb")));
            QCOMPARE(project().projectFilePath, shell.pathWithoutExtension());
        }
        QCOMPARE(lastPrompt(),
                 QStringLiteral("Do you wish to create a new project called ") + chosen);
        QCOMPARE(st::messages().back().buttons, services::Buttons::YesNoCancel);
        // Yes: the file with its tables, connected and recorded. A name given without the
        // extension is the project's name.
        st::setNextFileName(chosen);
        st::setNextAnswer(services::Answer::Yes);
        fromMenu("mnuNew");
        QVERIFY(QFile::exists(chosen + QStringLiteral(".mdb")));
        QCOMPARE(project().projectFilePath, chosen);
        QCOMPARE(caption(), projectCaption(chosen, 0));
        QCOMPARE(frmMain::getLastOpenedFile(), chosen);
        for (const db::TableDef& t : db::projectTables())
            QCOMPARE(countRows(shell.db(), t.name), 0);
        // The same name again: the file is there already.
        st::reset();
        st::setNextFileName(chosen + QStringLiteral(".mdb"));
        fromMenu("mnuNew");
        QCOMPARE(prompts(), QStringList{QStringLiteral("A file already exists with this name")});
        QVERIFY(!st::endCalled());
    }

    // Centred right of the options panel, 500 twips above the middle; halves to even; a
    // window taller than the frame goes above it.
    void positionFormFigures()
    {
        QCOMPARE(positionForm({10500, 9000}, 2600, 4000, 3000), QPoint(4550, 2500));
        QCOMPARE(positionForm({10501, 9001}, 0, 4000, 3000), QPoint(3250, 2500));
        QCOMPARE(positionForm({10500, 9000}, 2600, 4000, 8500), QPoint(4550, -250));
    }

    void aboutClosesItself()
    {
        Shell shell;
        fromMenu("mnuAbout");
        QVERIFY(frmSplash::isLoaded() && frmSplash::instance().isShown());
        QTRY_VERIFY_WITH_TIMEOUT(!frmSplash::isLoaded(), 6000);
        // It loads again on the next use.
        fromMenu("mnuAbout");
        QVERIFY(frmSplash::isLoaded());
    }
};

QTEST_MAIN(TstShell)
#include "tst_shell.moc"
