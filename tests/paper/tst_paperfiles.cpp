// The files of a paper through the paper window's "Files" tab: attached copies with readable
// names, linked files, files dropped on the window, opening and removing them, and what happens
// when the disk, the project or the file is not as the list left it.
#include "app/desktop.h"
#include "paper/data/contenthash.h"
#include "paper/data/paperfiles.h"
#include "paper/data/paperqueries.h"
#include "paperwindow.h"

#include <QCryptographicHash>
#include <QDropEvent>
#include <QMimeData>
#include <QPainter>
#include <QPdfWriter>
#include <QRandomGenerator>
#include <QTableWidget>
#include <QTemporaryDir>

#include <unistd.h>

using namespace quirelle;
using namespace quirelle::test;

namespace {

// A one-page PDF saying `text`.
QString makePdf(const QString& path, const QString& text)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QPdfWriter writer(path);
    QPainter painter(&writer);
    painter.drawText(200, 200, text);
    painter.end();
    return path;
}

QString attachedFolder()
{
    return paper::FileFolders(project().file()).attached;
}

// The rows of [Paper Files] as the sqlite3 shell reads them: "paper|kind|path".
QStringList fileRows(const QString& projectFile)
{
    return sqliteShell(projectFile, "select [Paper ID], [Kind], [Path] from [Paper Files] "
                                    "order by [File ID];")
        .split('\n', Qt::SkipEmptyParts);
}

// Files dropped from a file manager onto `target`; true when the drop was taken.
bool dropFiles(QWidget* target, const QStringList& files)
{
    QMimeData mime;
    QList<QUrl> urls;
    for (const QString& f : files)
        urls << QUrl::fromLocalFile(f);
    mime.setUrls(urls);
    const QPointF at = QRectF(target->rect()).center();
    QDragEnterEvent enter(at.toPoint(), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &enter);
    if (!enter.isAccepted())
        return false;
    QDropEvent drop(at, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &drop);
    settle();
    return drop.isAccepted();
}

QStringList trashed(const QString& trashHome)
{
    return QDir(trashHome + "/Trash/files").entryList(QDir::Files);
}

} // namespace

class TstPaperFiles : public PaperWindowTest
{
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_home; // the desktop's trash of each test

    static QListWidget* files() { return list("lstFiles"); }
    // A paper by Wendrake with its window open on the "Files" tab.
    static qint64 openWendrake()
    {
        const qint64 paper = addPaper("Signals in Clay", {{"Year", "2003"}});
        linkAuthor(paper, addAuthor("Wendrake", "Ilse"));
        openPaper(paper);
        tabs()->setCurrentIndex(5);
        settle();
        return paper;
    }
    static QTableWidget* grid() { return ctl<QTableWidget>("grdFields"); }
    // Edits the grid's cell as the user does, then leaves it with Tab.
    static void editCell(int row, int column, const QString& text)
    {
        bringToFront(grid());
        grid()->setCurrentCell(row, column);
        grid()->editItem(grid()->item(row, column));
        settle();
        replaceText(QApplication::focusWidget(), text);
        pressKey(Qt::Key_Tab);
        settle();
    }
    static QStringList gridRows()
    {
        QStringList rows;
        for (int r = 0; r < grid()->rowCount(); ++r)
            rows << grid()->item(r, 0)->text() + "=" + grid()->item(r, 1)->text();
        return rows;
    }
    static QStringList storedFields(const QString& file)
    {
        return sqliteShell(file, "select [Field Name], [Value] from [Paper Extra Fields] order "
                                 "by rowid;")
            .split('\n', Qt::SkipEmptyParts);
    }
    static void chooseLine(int row)
    {
        bringToFront(files());
        files()->setCurrentRow(row);
    }

private slots:
    void init()
    {
        m_home = std::make_unique<QTemporaryDir>();
        qputenv("XDG_DATA_HOME", m_home->path().toUtf8());
    }

    // Attach copies under the paper's readable name, made unique; Link keeps the file where it
    // is; the same file twice is refused; drops attach; a new paper takes no files.
    void attachLinkDropAndRemove()
    {
        Shell shell;
        const qint64 paper = openWendrake();
        QCOMPARE(tabs()->tabText(5), "Files");
        // The Tab key goes from the list down the buttons.
        bringToFront(files());
        files()->setFocus();
        QStringList focused{QApplication::focusWidget()->objectName()};
        for (int i = 0; i < 5; ++i) {
            pressKey(Qt::Key_Tab);
            focused << QApplication::focusWidget()->objectName();
        }
        QCOMPARE(focused, QStringList({"lstFiles", "cmdAttachFile", "cmdLinkFile", "cmdOpenFile",
                                       "cmdShowFile", "cmdRemoveFile"}));
        const QString first = makePdf(shell.folder() + "/in/first.pdf", "first");
        const QString second = makePdf(shell.folder() + "/in/second.pdf", "second");
        QTemporaryDir outside;
        const QString elsewhere = makePdf(outside.filePath("elsewhere.pdf"), "elsewhere");
        for (const QString& f : {first, second, first})
            st::setNextFileName(f);
        press("cmdAttachFile");
        press("cmdAttachFile");
        press("cmdAttachFile");
        QCOMPARE(prompts(), QStringList{"The file '" + first + "' is already on this paper."});
        st::setNextFileName(first);
        press("cmdLinkFile");
        st::setNextFileName(elsewhere);
        press("cmdLinkFile");
        QVERIFY(dropFiles(&win(), {makePdf(shell.folder() + "/in/third.pdf", "third")}));
        const QString id = QString::number(paper);
        QCOMPARE(
            fileRows(shell.file()),
            QStringList({id + "|attached|project Files/Wendrake 2003 - Signals in Clay.pdf",
                         id + "|attached|project Files/Wendrake 2003 - Signals in Clay (2).pdf",
                         id + "|linked|in/first.pdf", id + "|linked|" + elsewhere,
                         id + "|attached|project Files/Wendrake 2003 - Signals in Clay (3).pdf"}));
        QCOMPARE(QDir(attachedFolder()).entryList(QDir::Files | QDir::Hidden).size(), 3);
        QVERIFY(readFile(attachedFolder() + "/Wendrake 2003 - Signals in Clay (2).pdf") ==
                readFile(second));
        QCOMPARE(sqliteShell(shell.file(), "select [Size], [Content Hash] from [Paper Files] "
                                           "where [File ID] = 2;")
                     .trimmed(),
                 QString::number(QFileInfo(second).size()) + "|" + paper::contentHash(second));
        QCOMPARE(files()->count(), 5);
        QVERIFY(files()->item(2)->text().startsWith("first.pdf ("));
        QVERIFY(!files()->item(2)->text().endsWith("(missing)"));

        // Double-click opens with the desktop's program; "Show in Folder" opens the folder.
        doubleClickLine(files(), 3);
        chooseLine(0);
        press("cmdShowFile");
        QCOMPARE(st::openedUrls(), (std::vector<QUrl>{QUrl::fromLocalFile(elsewhere),
                                                      QUrl::fromLocalFile(attachedFolder())}));

        // Removing an attached copy asks whether it goes to the trash; a linked file stays.
        st::forgetShown();
        st::setNextAnswer(services::Answer::Yes);
        chooseLine(0);
        press("cmdRemoveFile");
        chooseLine(1); // the linked first.pdf, now second
        press("cmdRemoveFile");
        QCOMPARE(prompts().size(), 1);
        QCOMPARE(fileRows(shell.file()).size(), 3);
        QVERIFY(QFileInfo::exists(first));
        QCOMPARE(trashed(m_home->path()), QStringList{"Wendrake 2003 - Signals in Clay.pdf"});

        // A new paper, not yet added, takes no files.
        fromMenu("mnuPaper");
        QVERIFY(!ctl("cmdAttachFile")->isEnabled());
        QCOMPARE(files()->count(), 0);
        QVERIFY(!dropFiles(&win(), {first}));
        typeKeys(detailBox(0), "A new one");
        press("cmdAddPaper");
        QVERIFY(ctl("cmdLinkFile")->isEnabled());
    }

    // Deleting the paper removes its rows with it and moves the copies to the trash only once
    // that is committed; a linked file stays, and a copy another paper links to stays.
    void deletingThePaper()
    {
        Shell shell;
        const qint64 other = addPaper("Other");
        const qint64 paper = openWendrake();
        const QString source = makePdf(shell.folder() + "/in/a.pdf", "a");
        paper::addPaperFile(shell.db(), paper::FileFolders(shell.file()), paper, source,
                            paper::FileKind::Linked);
        QVERIFY(dropFiles(&win(), {makePdf(shell.folder() + "/in/b.pdf", "b"),
                                   makePdf(shell.folder() + "/in/c.pdf", "c")}));
        const QString kept = attachedFolder() + "/Wendrake 2003 - Signals in Clay (2).pdf";
        paper::addPaperFile(shell.db(), paper::FileFolders(shell.file()), other, kept,
                            paper::FileKind::Linked);
        {
            // Another program holds the file: nothing is deleted, nothing goes to the trash.
            HeldFile held(shell.file());
            QVERIFY(held.isHeld());
            st::setNextAnswer(services::Answer::Yes);
            press("cmdDeletePaper");
        }
        QCOMPARE(fileRows(shell.file()).size(), 4);
        QCOMPARE(QDir(attachedFolder()).entryList(QDir::Files).size(), 2);
        st::setNextAnswer(services::Answer::Yes);
        press("cmdDeletePaper");
        QCOMPARE(fileRows(shell.file()),
                 QStringList{QString::number(other) + "|linked|" +
                             "project Files/Wendrake 2003 - Signals in Clay (2).pdf"});
        QCOMPARE(QDir(attachedFolder()).entryList(QDir::Files),
                 QStringList{QFileInfo(kept).fileName()});
        QVERIFY(QFileInfo::exists(source));
        QCOMPARE(trashed(m_home->path()), QStringList{"Wendrake 2003 - Signals in Clay.pdf"});
    }

    // Without a trash that can be made, an attached copy stays where it is (never moved into a
    // folder of the current one) and the user is told; the row goes all the same.
    void noTrash_data()
    {
        QTest::addColumn<bool>("deletePaper");
        QTest::newRow("Remove") << false;
        QTest::newRow("Delete the paper") << true;
    }
    void noTrash()
    {
        QFETCH(bool, deletePaper);
        Shell shell;
        const QString notAFolder = m_home->filePath("data");
        writeFile(notAFolder, "a file where the data folder should be");
        qputenv("XDG_DATA_HOME", notAFolder.toUtf8());
        openWendrake();
        QVERIFY(dropFiles(&win(), {makePdf(shell.folder() + "/in/a.pdf", "a")}));
        const QString copy = attachedFolder() + "/Wendrake 2003 - Signals in Clay.pdf";
        QVERIFY(QFileInfo::exists(copy));
        st::forgetShown();
        st::setNextAnswer(services::Answer::Yes);
        if (deletePaper) {
            press("cmdDeletePaper");
        } else {
            chooseLine(0);
            press("cmdRemoveFile");
        }
        QCOMPARE(lastPrompt(), "There is no trash to move the attached copy to: it was kept "
                               "where it is.\n" +
                                   copy);
        QCOMPARE(fileRows(shell.file()), QStringList());
        QVERIFY(QFileInfo::exists(copy));
        QVERIFY(!QFileInfo::exists(QDir::current().filePath("files")));
    }

    // The content's hash is SHA-256 however the bytes are fed (the processor's instructions are
    // used where there are some): around the ends of blocks and of the padding.
    void contentHash_data()
    {
        QTest::addColumn<int>("size");
        QTest::addColumn<int>("piece");
        for (const int size : {0, 1, 55, 56, 63, 64, 65, 119, 120, 128, 1000003})
            for (const int piece : {1, 63, 64, 4096}) {
                if (size < 100000 || piece == 4096)
                    QTest::addRow("%d bytes in pieces of %d", size, piece) << size << piece;
            }
    }
    void contentHash()
    {
        QFETCH(int, size);
        QFETCH(int, piece);
        QByteArray bytes(size, Qt::Uninitialized);
        for (char& c : bytes)
            c = static_cast<char>(QRandomGenerator::global()->bounded(256));
        paper::ContentHash hash;
        for (int at = 0; at < size; at += piece)
            hash.addData(bytes.constData() + at, std::min(piece, size - at));
        const QString expected = QString::fromLatin1(
            QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex());
        QCOMPARE(hash.hex(), expected);
        QTemporaryDir dir;
        writeFile(dir.filePath("f"), bytes);
        QCOMPARE(paper::contentHash(dir.filePath("f")), expected);
    }

    // Files dropped together: each checked on its own, the rows of those taken written at once.
    void severalAtOnce()
    {
        Shell shell;
        const qint64 paper = addPaper("Signals in Clay", {{"Year", "2003"}});
        const QString a = makePdf(shell.folder() + "/in/a.pdf", "a");
        const QString b = makePdf(shell.folder() + "/in/b.pdf", "b");
        const paper::AddedFiles added = paper::addPaperFiles(
            shell.db(), paper::FileFolders(shell.file()), paper,
            {a, shell.folder() + "/in/none.pdf", a, b}, paper::FileKind::Attached);
        QCOMPARE(added.added.size(), size_t(2));
        QCOMPARE(added.failures.size(), size_t(2));
        QCOMPARE(added.failures[0].number(), paper::FileFailed);
        QCOMPARE(added.failures[1].number(), db::err::Duplicate);
        const QString id = QString::number(paper);
        QCOMPARE(fileRows(shell.file()),
                 QStringList({id + "|attached|project Files/2003 - Signals in Clay.pdf",
                              id + "|attached|project Files/2003 - Signals in Clay (2).pdf"}));
        QCOMPARE(QDir(attachedFolder()).entryList(QDir::Files | QDir::Hidden),
                 QStringList({"2003 - Signals in Clay (2).pdf", "2003 - Signals in Clay.pdf"}));
        QVERIFY(readFile(attachedFolder() + "/2003 - Signals in Clay (2).pdf") == readFile(b));
        QCOMPARE(added.added[1].hash, paper::contentHash(b));
    }

    // What the list showed is no longer so when the user acts on it.
    void changedUnderTheList()
    {
        Shell shell;
        const qint64 paper = openWendrake();
        const QString source = makePdf(shell.folder() + "/in/a.pdf", "a");
        st::setNextFileName(source);
        press("cmdLinkFile");
        // The file removed between listing and opening: said, nothing opened.
        QFile::remove(source);
        doubleClickLine(files(), 0);
        QCOMPARE(lastPrompt(), "The file '" + source + "' is missing.");
        QVERIFY(files()->item(0)->text().endsWith(" (missing)"));
        QVERIFY(st::openedUrls().empty());
        // The paper deleted by another program while the window lists its files.
        makePdf(source, "again");
        st::setNextFileName(makePdf(shell.folder() + "/in/b.pdf", "b"));
        press("cmdAttachFile");
        QCOMPARE(files()->count(), 2);
        sqliteShell(shell.file(),
                    QString("delete from [Papers] where [Paper ID] = %1; delete from [Paper "
                            "Files] where [Paper ID] = '%1';")
                        .arg(paper));
        chooseLine(0);
        press("cmdOpenFile");
        QCOMPARE(lastPrompt(), "The file is no longer on this paper.");
        QCOMPARE(files()->count(), 0);
        const int copies = QDir(attachedFolder()).entryList(QDir::Files | QDir::Hidden).size();
        st::setNextFileName(source);
        press("cmdAttachFile");
        QVERIFY2(lastPrompt().startsWith("The paper is no longer in the project"),
                 qPrintable(lastPrompt()));
        QCOMPARE(QDir(attachedFolder()).entryList(QDir::Files | QDir::Hidden).size(), copies);
        QCOMPARE(fileRows(shell.file()), QStringList());
    }

    // A file that cannot be copied or stored leaves no half file and no row, and says why.
    void refusedAttachments_data()
    {
        QTest::addColumn<QString>("fault");
        QTest::newRow("unreadable file") << "unreadable";
        QTest::newRow("read-only project") << "read-only project";
        QTest::newRow("read-only folder") << "read-only folder";
        QTest::newRow("full disk") << "full disk";
    }
    void refusedAttachments()
    {
        QFETCH(QString, fault);
        Shell shell;
        std::optional<FullDisk> disk;
        QString source = makePdf(shell.folder() + "/in/a.pdf", "a");
        QString file = shell.file();
        const qint64 paper = addPaper("Signals in Clay");
        if (fault == "unreadable") {
            source = shell.folder() + "/in/none.pdf";
        } else if (fault == "read-only project") {
            QVERIFY(project().open(shell.pathWithoutExtension(), nullptr, true));
        } else if (fault == "read-only folder") {
            if (::geteuid() == 0)
                QSKIP("root writes into a read-only folder");
            QDir().mkpath(attachedFolder());
            QFile::setPermissions(attachedFolder(), QFile::ReadOwner | QFile::ExeOwner);
        } else {
            disk.emplace(shell.folder());
            if (!disk->unavailable().isEmpty())
                QSKIP(qPrintable(disk->unavailable()));
            project().close();
            file = disk->folder() + "/project.mdb";
            QFile::copy(shell.file(), file);
            QVERIFY(project().open(disk->folder() + "/project"));
            QByteArray big(300 * 1024, 'x');
            writeFile(shell.folder() + "/in/big.bin", big);
            source = shell.folder() + "/in/big.bin";
        }
        openPaper(paper);
        st::forgetShown();
        st::setNextFileName(source);
        press("cmdAttachFile");
        QCOMPARE(prompts().size(), 1);
        QCOMPARE(st::messages()[0].icon, services::Icon::Critical);
        QCOMPARE(files()->count(), 0);
        QCOMPARE(QDir(attachedFolder()).entryList(QDir::Files | QDir::Hidden), QStringList());
        QCOMPARE(fileRows(file), QStringList());
        project().close();
    }

    // Paths inside the project's folder are kept relative: a moved project keeps its files.
    void movedProject()
    {
        Shell shell;
        const qint64 paper = openWendrake();
        const QString notes = makePdf(shell.folder() + "/notes/n.pdf", "notes");
        QVERIFY(dropFiles(&win(), {notes}));
        st::setNextFileName(notes);
        press("cmdLinkFile");
        // The background index writes to the file until it is stopped, as when a project closes.
        windows::stopFullTextIndex();
        project().close();
        QTemporaryDir moved;
        const QString from = shell.folder();
        QVERIFY(QProcess::execute("cp", {"-a", from + "/.", moved.path()}) == 0);
        QDir(from + "/notes").removeRecursively();
        QDir(from + "/project Files").removeRecursively();
        QVERIFY(project().open(moved.filePath("project")));
        openPaper(paper);
        QCOMPARE(files()->count(), 2);
        for (int row : {0, 1})
            QVERIFY2(!files()->item(row)->text().contains("missing"),
                     qPrintable(files()->item(row)->text()));
        doubleClickLine(files(), 1);
        QCOMPARE(st::openedUrls().back(), QUrl::fromLocalFile(moved.filePath("notes/n.pdf")));
        project().close();
    }

    // Tools > "Find Missing Files...": by name and size, the content deciding between files of
    // the same name and size; a cancelled search relinks nothing.
    void findMissingFiles()
    {
        Shell shell;
        const qint64 paper = addPaper("Signals in Clay");
        const QString in = shell.folder() + "/in/";
        QDir().mkpath(in);
        writeFile(in + "a.pdf", "aaaa");
        writeFile(in + "b.pdf", "bbbb");
        writeFile(in + "c.pdf", "cccc");
        for (const char* name : {"a.pdf", "b.pdf", "c.pdf"})
            paper::addPaperFile(shell.db(), paper::FileFolders(shell.file()), paper, in + name,
                                paper::FileKind::Linked);
        QDir().mkpath(shell.folder() + "/moved/deep");
        QDir().mkpath(shell.folder() + "/moved/x");
        QVERIFY(QFile::rename(in + "a.pdf", shell.folder() + "/moved/deep/a.pdf"));
        QVERIFY(QFile::rename(in + "b.pdf", shell.folder() + "/moved/x/b.pdf"));
        writeFile(shell.folder() + "/moved/deep/b.pdf", "xxxx"); // same name and size
        QFile::remove(in + "c.pdf");
        const QStringList before = fileRows(shell.file());
        const auto cancelled = paper::findMissingFiles(shell.db(), paper::FileFolders(shell.file()),
                                                       shell.folder() + "/moved",
                                                       [](qsizetype, qsizetype) { return false; });
        QVERIFY(cancelled.cancelled);
        QCOMPARE(fileRows(shell.file()), before);
        // The paper window open on the files lists them as they are found.
        openPaper(paper);
        tabs()->setCurrentIndex(5);
        settle();
        QVERIFY(files()->item(0)->text().endsWith(" (missing)"));
        st::setNextFileName(shell.folder() + "/moved");
        fromMenu("mnuFindMissingFiles");
        QCOMPARE(lastPrompt(), "Files found and relinked: 2. Files still missing: 1.");
        QVERIFY(!files()->item(0)->text().endsWith(" (missing)"));
        QVERIFY(!files()->item(1)->text().endsWith(" (missing)"));
        QVERIFY(files()->item(2)->text().endsWith(" (missing)"));
        QCOMPARE(files()->item(0)->toolTip(), shell.folder() + "/moved/deep/a.pdf");
        const QString id = QString::number(paper);
        QCOMPARE(fileRows(shell.file()),
                 QStringList({id + "|linked|moved/deep/a.pdf", id + "|linked|moved/x/b.pdf",
                              id + "|linked|in/c.pdf"}));
    }

    // The "More" tab: every extra field, edited in place and stored when its cell is left.
    void moreFields()
    {
        Shell shell;
        const qint64 paper = addPaper("Signals in Clay");
        const QString id = QString::number(paper);
        for (const auto& [name, value] : {std::pair{"doi", "10.1000/clay"},
                                          {"url", "https://example.org/clay"},
                                          {"volume", "12"}})
            addRow("Paper Extra Fields",
                   {{"Paper ID", id}, {"Field Name", name}, {"Value", value}});
        openPaper(paper);
        QCOMPARE(tabs()->tabText(6), "More");
        QCOMPARE(gridRows(),
                 QStringList({"doi=10.1000/clay", "url=https://example.org/clay", "volume=12"}));
        editCell(2, 1, "13");
        QCOMPARE(storedFields(shell.file()).last(), "volume|13");
        // A DOI and a URL open on double-click.
        for (int row : {0, 1}) {
            const QPoint at = grid()->visualItemRect(grid()->item(row, 1)).center();
            QTest::mouseClick(grid()->viewport(), Qt::LeftButton, {}, at);
            QTest::mouseDClick(grid()->viewport(), Qt::LeftButton, {}, at);
            settle();
        }
        QCOMPARE(st::openedUrls(), (std::vector<QUrl>{QUrl("https://doi.org/10.1000/clay"),
                                                      QUrl("https://example.org/clay")}));
        // A new field is stored once it has a name of letters, digits, '-' and '_' that no
        // other field has; a refused name stays as typed.
        press("cmdAddField");
        replaceText(QApplication::focusWidget(), "page range");
        pressKey(Qt::Key_Tab);
        QCOMPARE(lastPrompt(), "A field name is made of letters, digits, '-' and '_' only.");
        QCOMPARE(grid()->item(3, 0)->text(), "page range");
        editCell(3, 0, "DOI");
        QCOMPARE(lastPrompt(), "The paper already has a field named 'DOI'.");
        editCell(3, 0, "page_range");
        editCell(3, 1, "1-9");
        QCOMPARE(storedFields(shell.file()),
                 QStringList({"doi|10.1000/clay", "url|https://example.org/clay", "volume|13",
                              "page_range|1-9"}));
        grid()->setCurrentCell(1, 0);
        press("cmdDeleteField");
        QCOMPARE(storedFields(shell.file()).size(), 3);
        QCOMPARE(gridRows().size(), 3);
        // Refused on a project held by another program or open read-only, the text kept.
        {
            HeldFile held(shell.file());
            QVERIFY(held.isHeld());
            editCell(1, 1, "14");
        }
        QCOMPARE(grid()->item(1, 1)->text(), "14");
        QVERIFY(project().open(shell.pathWithoutExtension(), nullptr, true));
        openPaper(paper);
        st::forgetShown();
        editCell(1, 1, "15");
        QCOMPARE(lastPrompt(), "The project is open read-only: the field was not stored.");
        QCOMPARE(grid()->item(1, 1)->text(), "15");
        QCOMPARE(storedFields(shell.file()),
                 QStringList({"doi|10.1000/clay", "volume|13", "page_range|1-9"}));
        project().close();
    }
};

QTEST_MAIN(TstPaperFiles)
#include "tst_paperfiles.moc"
