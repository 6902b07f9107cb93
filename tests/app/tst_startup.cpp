// Start-up: the first start, the last project remembered in "support.nif" (read, written back,
// not writable), and projects that cannot be opened.
#include "testsupport.h"

#include <QDate>

using namespace quirelle;
using namespace quirelle::test;

namespace {

const QString noProject = QStringLiteral(
    "No project is open. Open a project with File > Open, or create one with File > New.");

} // namespace

class TstStartup : public QObject
{
    Q_OBJECT

private slots:
    // What line 2 of the settings file names is opened; anything else falls back to the default
    // project ("*" stands for the test's folder).
    void lastProject_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("opened");
        QTest::addColumn<QString>("prompt"); // the start of the one message, if any
        const auto row = [](const char* name, const char* content, const char* opened,
                            const char* prompt = "") {
            QTest::newRow(name) << QByteArray(content) << opened << prompt;
        };
        row("recorded project", "line one\n\"*/project\"\n", "*/project");
        row("unquoted path", "line one\n*/project\n", "*/project");
        row("unquoted path ends at a comma", "line one\n*/project, old\n", "*/project");
        row("one line only", "line one\n", "QuirelleXP");
        row("empty file", "", "QuirelleXP");
        row("damaged project", "x\n*/damaged\n", "QuirelleXP", "Error getting */damaged\n\n");
        QTest::newRow("binary junk") << test::bytes("\x01\x02\xff\xfe").repeated(50) << "QuirelleXP"
                                     << "";
    }
    void lastProject()
    {
        QFETCH(QByteArray, content);
        QFETCH(QString, opened);
        QFETCH(QString, prompt);
        Shell shell;
        writeFile(QStringLiteral("damaged.mdb"), "this is not a database");
        writeFile(QStringLiteral("support.nif"), content.replace('*', shell.folder().toUtf8()));
        shell.restart();
        QVERIFY(!st::endCalled());
        opened.replace(QLatin1Char('*'), shell.folder());
        QCOMPARE(project().projectFilePath, opened);
        QCOMPARE(caption(), projectCaption(opened, 0));
        QCOMPARE(prompts().size(), prompt.isEmpty() ? 0 : 1);
        if (!prompt.isEmpty()) {
            prompt.replace(QLatin1Char('*'), shell.folder());
            QVERIFY2(lastPrompt().startsWith(prompt) && lastPrompt().size() > prompt.size(),
                     qPrintable(lastPrompt()));
        }
        QCOMPARE(readFile(QStringLiteral("damaged.mdb")), QByteArray("this is not a database"));
    }

    // A project opened by File > Open is recorded so that it comes back whole at the next start.
    void recordedPathComesBackWhole_data()
    {
        QTest::addColumn<QString>("name");
        QTest::newRow("comma") << "thesis, draft";
        QTest::newRow("double quote") << "my \"best\" thesis";
        QTest::newRow("both, and a blank at the end") << "\"a\", b ";
    }
    void recordedPathComesBackWhole()
    {
        QFETCH(QString, name);
        Shell shell;
        const QString path = QDir(shell.folder()).filePath(name);
        db::createProjectFile(path);
        openByMenu(path + QStringLiteral(".mdb"));
        QCOMPARE(frmMain::getLastOpenedFile(), path);
        shell.restart();
        QCOMPARE(project().projectFilePath, path);
        QVERIFY(st::messages().empty());
    }

    // Line 1 belongs to whoever wrote it: recording a project writes it back byte for byte.
    void lineOneIsKeptByteForByte_data()
    {
        QTest::addColumn<QByteArray>("before");
        QTest::addColumn<QByteArray>("after");
        QTest::newRow("quotes and commas") << QByteArray("first, line \"as is\"\nold\n")
                                           << QByteArray("first, line \"as is\"\n\"/a/b\"\n");
        QTest::newRow("Latin-1 bytes and CR LF") << QByteArray("caf\xe9 \xff\xb5\r\nold\r\n")
                                                 << QByteArray("caf\xe9 \xff\xb5\r\n\"/a/b\"\r\n");
        QTest::newRow("no line end") << QByteArray("alone") << QByteArray("alone\n\"/a/b\"\n");
    }
    void lineOneIsKeptByteForByte()
    {
        QFETCH(QByteArray, before);
        QFETCH(QByteArray, after);
        Shell shell;
        writeFile(QStringLiteral("support.nif"), before);
        QVERIFY(frmMain::setLastOpenedFile(QStringLiteral("/a/b")));
        QCOMPARE(readFile(QStringLiteral("support.nif")), after);
        QCOMPARE(frmMain::getLastOpenedFile(), "/a/b");
    }

    // A settings file that cannot be written (the disk is full) is left as it was, and the
    // user is told what failed; the project opened all the same.
    void fullDiskKeepsTheSettingsFile()
    {
        Shell shell;
        const QString other = QDir(shell.folder()).filePath(QStringLiteral("other"));
        db::createProjectFile(other);
        FullDisk disk(shell.folder());
        if (!disk.unavailable().isEmpty())
            QSKIP(qPrintable(disk.unavailable()));
        const QString nif = QDir(disk.folder()).filePath(QStringLiteral("support.nif"));
        writeFile(nif, "earlier\n\"elsewhere\"\n");
        disk.fill();
        QDir::setCurrent(disk.folder());
        openByMenu(other + QStringLiteral(".mdb"));
        QCOMPARE(prompts().size(), 1);
        QVERIFY2(lastPrompt().startsWith(QStringLiteral("support.nif is corrupt\n\n")) &&
                     lastPrompt().contains(QStringLiteral("No space left on device")),
                 qPrintable(lastPrompt()));
        QCOMPARE(st::messages().back().icon, services::Icon::Critical);
        QCOMPARE(readFile(nif), QByteArray("earlier\n\"elsewhere\"\n"));
        QCOMPARE(QDir(disk.folder()).entryList(QDir::Files),
                 QStringList({"filler", "support.nif"}));
        QCOMPARE(caption(), projectCaption(other, 0));
    }

    // The first start makes the default project. Once damaged, it is never made anew: the
    // program runs without a project until the user opens one.
    void defaultProjectMadeThenDamaged()
    {
        Shell shell(Shell::Start::EmptyFolder);
        QVERIFY(!st::endCalled());
        QCOMPARE(project().projectFilePath, "QuirelleXP");
        QCOMPARE(caption(), projectCaption(QStringLiteral("QuirelleXP"), 0));
        for (const db::TableDef& t : db::projectTables())
            QVERIFY(db::tableExists(shell.db(), t.name));
        QVERIFY(st::messages().empty());
        QVERIFY(frmMain::instance().isVisible() && frmMenu::instance().isShown());
        QCOMPARE(frmMain::instance().statusPanel(1)->text(),
                 QDate::currentDate().toString(QStringLiteral("dd/MM/yy")));
        frmMain::unload();
        project().close();
        QByteArray bytes = readFile(QStringLiteral("QuirelleXP.mdb"));
        const int pageSize = (uchar(bytes[16]) << 8) | uchar(bytes[17]);
        QVERIFY(bytes.size() > pageSize);
        // The header and the first page whole, every page after it garbage.
        bytes.replace(pageSize, bytes.size() - pageSize,
                      test::bytes("\xde\xad").repeated((bytes.size() - pageSize) / 2));
        writeFile(QStringLiteral("QuirelleXP.mdb"), bytes);
        shell.restart();
        QVERIFY(!st::endCalled());
        QCOMPARE(prompts().size(), 1);
        const QString said = QStringLiteral("Error getting QuirelleXP\n\n");
        QVERIFY2(lastPrompt().startsWith(said) && lastPrompt().size() > said.size(),
                 qPrintable(lastPrompt()));
        QCOMPARE(readFile(QStringLiteral("QuirelleXP.mdb")), bytes);
        QVERIFY(frmMain::instance().isVisible() && frmMenu::instance().isShown());
        QCOMPARE(caption(), "Corvantis Tessiva V1.8 - No project is open");
        // Commands that need a project say there is none, from the panel and from the menus.
        panelButton(4);
        fromMenu("mnuAuthors");
        fromMenu("mnuReadingList");
        QCOMPARE(prompts().mid(1), QStringList({noProject, noProject, noProject}));
        QVERIFY(!QFile::exists(QStringLiteral("Reading List.txt")));
        // File > Open of a good project, and everything works again.
        const QString good = QDir(shell.folder()).filePath(QStringLiteral("good"));
        db::createProjectFile(good);
        openByMenu(good + QStringLiteral(".mdb"));
        QCOMPARE(caption(), projectCaption(good, 0));
        QCOMPARE(prompts().size(), 4);
        panelButton(0);
        QVERIFY(control(frmMain::instance(), "frmAddAuthor")->isVisible());
        QCOMPARE(readFile(QStringLiteral("QuirelleXP.mdb")), bytes);
    }
};

QTEST_MAIN(TstStartup)
#include "tst_startup.moc"
