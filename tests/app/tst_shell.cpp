// The application shell: start-up and the last-project memory, Open and New, the to-do notes,
// window placement, the about window and leaving the program.
#include "app/frmmain.h"
#include "app/frmmenu.h"
#include "app/frmsplash.h"
#include "app/services.h"
#include "db/globals.h"
#include "db/schema.h"
#include "testsupport.h"

#include <QFile>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>

using namespace quirelle;
namespace st = quirelle::services::testing;

namespace {

QString caption()
{
    return frmMain::instance().windowTitle();
}

QString captionFor(const QString& project, int papers)
{
    return QStringLiteral("Corvantis Tessiva V1.8 - Project: %1 - Papers added: %2")
        .arg(project)
        .arg(papers);
}

void writeFile(const QString& path, const QByteArray& content)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(content);
}

QByteArray readFile(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QStringList prompts()
{
    QStringList out;
    for (const auto& m : st::messages())
        out << m.prompt;
    return out;
}

// Restarts the program in the shell's folder, as a user starting it again would.
void restart()
{
    frmMain::unload();
    globals().releaseAll();
    st::reset();
    services::guarded([] { frmMain::instance(); });
}

} // namespace

class TstShell : public QObject
{
    Q_OBJECT

private slots:
    void firstStartCreatesTheDefaultProject()
    {
        test::Shell shell(test::Shell::Start::EmptyFolder);
        QVERIFY(!st::endCalled());
        QVERIFY(QFile::exists(shell.folder() + QStringLiteral("/QuirelleXP.mdb")));
        QCOMPARE(globals().projectFilePath, QStringLiteral("QuirelleXP"));
        QCOMPARE(caption(), captionFor(QStringLiteral("QuirelleXP"), 0));
        for (const db::TableDef& t : db::projectTables())
            QVERIFY(db::tableExists(shell.db(), t.name));
        QVERIFY(st::messages().empty());
        // The frame, its menus and the panel are there with their names and captions.
        QVERIFY(frmMain::instance().findChild<QAction*>(QStringLiteral("mnuOpen")));
        QCOMPARE(frmMain::instance().findChild<QAction*>(QStringLiteral("mnuReadingList"))->text(),
                 QStringLiteral("Reading &List"));
        QCOMPARE(frmMenu::instance().caption(), QStringLiteral("Options"));
        QCOMPARE(frmMenu::instance().cmdButton[4]->toolTip(), QStringLiteral("Run a Search"));
        QCOMPARE(frmMenu::instance().cmdButton[8]->geometry(), QRect(32, 200, 97, 25));
        QCOMPARE(frmMenu::instance().palette().color(QPalette::Window), QColor(128, 255, 255));
        QCOMPARE(frmMain::instance().statusPanel(1)->text(),
                 QDate::currentDate().toString(QStringLiteral("dd/MM/yy")));
    }

    void settingsFile_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("expected"); // "*" stands for the shell's own project
        QTest::newRow("recorded project") << QByteArray("line one\n\"*\"\n") << "*";
        QTest::newRow("unquoted path") << QByteArray("line one\n*\n") << "*";
        QTest::newRow("one line only") << QByteArray("line one\n") << "QuirelleXP";
        QTest::newRow("empty file") << QByteArray() << "QuirelleXP";
        QTest::newRow("binary junk")
            << QByteArray("\x01\x02\xff\xfe", 4).repeated(50) << "QuirelleXP";
    }
    void settingsFile()
    {
        QFETCH(QByteArray, content);
        QFETCH(QString, expected);
        test::Shell shell;
        writeFile(QStringLiteral("support.nif"),
                  content.replace('*', shell.pathWithoutExtension().toUtf8()));
        restart();
        QVERIFY(!st::endCalled());
        const QString project =
            expected == QLatin1String("*") ? shell.pathWithoutExtension() : expected;
        QCOMPARE(globals().projectFilePath, project);
        QCOMPARE(caption(), captionFor(project, 0));
    }

    void pathWithAComma()
    {
        test::Shell shell;
        const QString path = shell.folder() + QStringLiteral("/thesis, draft");
        db::createProjectFile(path);
        // Recorded by the program, the path is quoted and comes back whole.
        QVERIFY(frmMain::setLastOpenedFile(path));
        QCOMPARE(frmMain::getLastOpenedFile(), path);
        restart();
        QCOMPARE(globals().projectFilePath, path);
        // Written by hand without quotes, it is cut at the comma: that project cannot be
        // opened, which is said, and the default project is used.
        writeFile(QStringLiteral("support.nif"), ("x\n" + path + "\n").toUtf8());
        QCOMPARE(frmMain::getLastOpenedFile(), shell.folder() + QStringLiteral("/thesis"));
        restart();
        QCOMPARE(prompts(), QStringList{QStringLiteral("Error getting ") + shell.folder() +
                                        QStringLiteral("/thesis")});
        QCOMPARE(globals().projectFilePath, QStringLiteral("QuirelleXP"));
        QVERIFY(!st::endCalled());
    }

    void recordingKeepsLineOne()
    {
        test::Shell shell;
        writeFile(QStringLiteral("support.nif"), "first, line \"as is\"\nold\n");
        QVERIFY(frmMain::setLastOpenedFile(QStringLiteral("/a/b")));
        QCOMPARE(readFile(QStringLiteral("support.nif")),
                 QByteArray("first, line \"as is\"\n\"/a/b\"\n"));
        // Line 2 holds the path, whatever line 1 holds.
        QCOMPARE(frmMain::getLastOpenedFile(), QStringLiteral("/a/b"));
    }

    void damagedLastProjectFallsBackToDefault()
    {
        test::Shell shell;
        writeFile(shell.file(), "this is not a database");
        restart();
        QCOMPARE(prompts(),
                 QStringList{QStringLiteral("Error getting ") + shell.pathWithoutExtension()});
        QVERIFY(!st::endCalled());
        QCOMPARE(caption(), captionFor(QStringLiteral("QuirelleXP"), 0));
    }

    void toDoNotes()
    {
        test::Shell shell;
        QPlainTextEdit* box = frmMenu::instance().txtToDos;
        QCOMPARE(box->toPlainText(), QString());
        QCOMPARE(test::countRows(shell.db(), QStringLiteral("Master")), 0);
        // Leaving the box creates the one Master row, even with empty text.
        box->setFocus();
        test::settle();
        frmMenu::instance().cmdQuit->setFocus();
        test::settle();
        QCOMPARE(test::countRows(shell.db(), QStringLiteral("Master")), 1);
        box->setFocus();
        QTest::keyClicks(box, QStringLiteral("Read O'Brien's paper"));
        frmMenu::instance().cmdButton[0]->setFocus();
        test::settle();
        db::Recordset rs = shell.db().OpenRecordset(QStringLiteral("select * from [Master];"));
        QCOMPARE(rs.RecordCount(), 1);
        QCOMPARE(rs.Fields(QStringLiteral("ToDos")).text(), QStringLiteral("Read O'Brien's paper"));
        // The notes come back at the next start.
        restart();
        QCOMPARE(frmMenu::instance().txtToDos->toPlainText(),
                 QStringLiteral("Read O'Brien's paper"));
    }

    void nullNotesShowEmpty()
    {
        test::Shell shell;
        test::addRow(shell.db(), QStringLiteral("Master"), {});
        restart();
        QCOMPARE(frmMenu::instance().txtToDos->toPlainText(), QString());
        QVERIFY(st::messages().empty());
    }

    void typedNotesSurviveClosingTheFrame()
    {
        test::Shell shell;
        QPlainTextEdit* box = frmMenu::instance().txtToDos;
        box->setFocus();
        test::settle();
        QTest::keyClicks(box, QStringLiteral("unsaved"));
        frmMain::instance().close();
        QVERIFY(st::endCalled());
        auto db = db::Database::OpenDatabase(shell.file());
        db::Recordset rs = db->OpenRecordset(QStringLiteral("select * from [Master];"));
        QCOMPARE(rs.Fields(QStringLiteral("ToDos")).text(), QStringLiteral("unsaved"));
    }

    void open()
    {
        test::Shell shell;
        const QString nif = QString::fromUtf8(readFile(QStringLiteral("support.nif")));
        QAction* mnuOpen = frmMain::instance().findChild<QAction*>(QStringLiteral("mnuOpen"));

        // Cancel changes nothing.
        st::setNextFileName(std::nullopt);
        mnuOpen->trigger();
        QCOMPARE(caption(), captionFor(shell.pathWithoutExtension(), 0));
        QVERIFY(st::messages().empty());

        // A name that cannot be a project's path is said, and nothing else happens.
        st::setNextFileName(shell.folder());
        mnuOpen->trigger();
        QCOMPARE(prompts(), QStringList{QStringLiteral("Error getting file ") + shell.folder()});
        QVERIFY(!st::endCalled());
        st::reset();

        // A damaged file: the message, the old project still open, nothing recorded.
        const QString bad = shell.folder() + QStringLiteral("/damaged.mdb");
        writeFile(bad, QByteArray(5000, 'x'));
        st::setNextFileName(bad);
        mnuOpen->trigger();
        QCOMPARE(prompts(), QStringList{QStringLiteral("Error getting ") + shell.folder() +
                                        QStringLiteral("/damaged")});
        QVERIFY(!st::endCalled());
        QCOMPARE(caption(), captionFor(shell.pathWithoutExtension(), 0));
        QCOMPARE(globals().projectFilePath, shell.pathWithoutExtension());
        QCOMPARE(QString::fromUtf8(readFile(QStringLiteral("support.nif"))), nif);
        QCOMPARE(readFile(bad), QByteArray(5000, 'x'));
        test::addRow(shell.db(), QStringLiteral("Papers"), {{"Title", "still usable"}});

        // A project in a folder whose name holds a full stop opens by its own name.
        QVERIFY(QDir(shell.folder()).mkpath(QStringLiteral("j.smith/papers")));
        const QString other = shell.folder() + QStringLiteral("/j.smith/papers/thesis");
        db::createProjectFile(other);
        {
            auto d = db::Database::OpenDatabase(other + QStringLiteral(".mdb"));
            test::addRow(*d, QStringLiteral("Papers"), {{"Title", "one"}});
            test::addRow(*d, QStringLiteral("Papers"), {{"Title", "two"}});
        }
        st::setNextFileName(other + QStringLiteral(".mdb"));
        mnuOpen->trigger();
        QCOMPARE(caption(), captionFor(other, 2));
        QCOMPARE(frmMain::getLastOpenedFile(), other);
        restart();
        QCOMPARE(caption(), captionFor(other, 2));
    }

    void newProject()
    {
        test::Shell shell;
        QAction* mnuNew = frmMain::instance().findChild<QAction*>(QStringLiteral("mnuNew"));
        QVERIFY(QDir(shell.folder()).mkpath(QStringLiteral("my.folder")));
        const QString chosen = shell.folder() + QStringLiteral("/my.folder/fresh");

        // No and Cancel: no file, the open project unchanged.
        for (int answer : {services::vbNo, services::vbCancel}) {
            st::setNextFileName(chosen);
            st::setNextAnswer(answer);
            mnuNew->trigger();
            QVERIFY(!QFile::exists(chosen + QStringLiteral(".mdb")));
            QCOMPARE(globals().projectFilePath, shell.pathWithoutExtension());
        }
        QCOMPARE(st::messages().back().prompt,
                 QStringLiteral("Do you wish to create a new project called ") + chosen);
        QCOMPARE(st::messages().back().buttons, services::vbYesNoCancel);

        // Yes: the file with its twelve tables, connected and recorded. A name given without
        // the extension is the project's name.
        st::setNextFileName(chosen);
        st::setNextAnswer(services::vbYes);
        mnuNew->trigger();
        QVERIFY(QFile::exists(chosen + QStringLiteral(".mdb")));
        QCOMPARE(globals().projectFilePath, chosen);
        QCOMPARE(caption(), captionFor(chosen, 0));
        QCOMPARE(frmMain::getLastOpenedFile(), chosen);
        for (const db::TableDef& t : db::projectTables())
            QCOMPARE(test::countRows(*globals().dbProject, t.name), 0);

        // The same name again: the file is there already.
        st::reset();
        st::setNextFileName(chosen + QStringLiteral(".mdb"));
        mnuNew->trigger();
        QCOMPARE(prompts(), QStringList{QStringLiteral("A file already exists with this name")});
        QVERIFY(!st::endCalled());
    }

    void positionFormFigures()
    {
        test::Shell shell;
        frmMain::instance().resize(700, 600); // 10500 by 9000 twips
        const int panel = frmMenu::instance().Width();
        positionForm(4000, 3000);
        QCOMPARE(globals().formLeft, roundHalfEven((10500 - 4000 + panel) / 2.0));
        QCOMPARE(globals().formTop, (9000 - 3000) / 2 - 500);
        // A window taller than the frame less 1000 gets a negative top.
        positionForm(4000, 8500);
        QCOMPARE(globals().formTop, -250);
        QCOMPARE(roundHalfEven(2.5), 2);
        QCOMPARE(roundHalfEven(3.5), 4);
        QCOMPARE(roundHalfEven(-0.5), 0);
        QCOMPARE(roundHalfEven(1.4), 1);
    }

    void aboutClosesItself()
    {
        test::Shell shell;
        frmMain::instance().findChild<QAction*>(QStringLiteral("mnuAbout"))->trigger();
        QVERIFY(frmSplash::isLoaded());
        QVERIFY(frmSplash::instance().isShown());
        QCOMPARE(frmSplash::instance().Timer1->interval(), 3000);
        QVERIFY(frmSplash::instance().Timer1->isActive());
        QTRY_VERIFY_WITH_TIMEOUT(!frmSplash::isLoaded(), 6000);
        // It loads again on the next use.
        frmMain::instance().findChild<QAction*>(QStringLiteral("mnuAbout"))->trigger();
        QVERIFY(frmSplash::isLoaded());
    }
};

QTEST_MAIN(TstShell)
#include "tst_shell.moc"
