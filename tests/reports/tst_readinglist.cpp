// The reading list file byte for byte, and the progress shown for a large catalogue; a list that
// cannot be written keeps the earlier one.
#include "reports/readinglist.h"
#include "testsupport.h"

#include <QProgressDialog>
#include <QTimer>

#include <optional>

#include <unistd.h>

using namespace quirelle;
using namespace quirelle::test;

namespace {

// The paper with its authors, by their numbers, in the order of the link rows.
qint64 addPaperBy(const QString& title, const QVariant& publication, const QString& year,
                  const QList<qint64>& authors = {})
{
    const qint64 paper = addPaper(title, {{"Publication Name", publication}, {"Year", year}});
    for (qint64 author : authors)
        linkAuthor(paper, author);
    return paper;
}

// Presses the options panel's Reading List button with `folder` as the working directory.
QByteArray pressReadingList(const QString& folder)
{
    const QString previous = QDir::currentPath();
    QDir::setCurrent(folder);
    panelButton(7);
    QDir::setCurrent(previous);
    return readFile(QDir(folder).filePath("Reading List.txt"));
}

} // namespace

class TstReadingList : public QObject
{
    Q_OBJECT

private slots:
    void recordsByteForByte()
    {
        Shell shell;
        // An empty catalogue gives an empty file, and says so all the same.
        QCOMPARE(pressReadingList(shell.folder()), QByteArray());
        QVERIFY(QFile::exists(shell.folder() + "/Reading List.txt"));
        const qint64 smith = addAuthor("Smith", "John"), jones = addAuthor("Jones", "Ann B.");
        const qint64 gone = addAuthor("Gone", "Soon"); // left out: deleted below
        addPaperBy("No authors", "Journal A", "1999");
        addPaperBy("One author", "Journal B", "2001", {smith});
        // The link rows' order, not the authors' order.
        addPaperBy("Two authors", "Proc. C", "2010", {smith, jones});
        addPaperBy("No publication", QVariant(), "2005", {jones, gone});
        addPaperBy("Über Ångström — 量子", "Révue", "1987", {addAuthor("Müller", "Émile")});
        addRow("Papers", {{"Title", "Bare"}});
        shell.db().OpenRecordset("select * from [Authors] where [Author ID] = ?;", {gone}).Delete();
        // The second run replaces the first list.
        QCOMPARE(pressReadingList(shell.folder()),
                 QByteArray(": No authors: Journal A: 1999\r\r\n"
                            "Smith, John; : One author: Journal B: 2001\r\r\n"
                            "Smith, John; Jones, Ann B.; : Two authors: Proc. C: 2010\r\r\n"
                            "Jones, Ann B.; : No publication: : 2005\r\r\n"
                            "Müller, Émile; : Über Ångström — 量子: Révue: 1987\r\r\n"
                            ": Bare: : \r\r\n"));
        QCOMPARE(QDir(shell.folder()).entryList({"Reading List*"}, QDir::Files),
                 QStringList({"Reading List.txt"}));
        QCOMPARE(st::messages().size(), size_t(2));
        QCOMPARE(lastPrompt(), "A reading list has been created in 'Reading List.txt' located in " +
                                   QDir::toNativeSeparators(shell.folder()) + ".");
        // A large catalogue shows its progress while the list is written: a timer due meanwhile
        // finds the dialog on screen.
        db::Transaction t(shell.db());
        for (int i = 7; i <= readingListProgressFrom; ++i)
            addPaper(QStringLiteral("Paper %1").arg(i));
        t.commit();
        bool shown = false;
        QTimer::singleShot(0, [&] {
            shown = frmMenu::instance().window()->findChild<QProgressDialog*>() != nullptr;
        });
        const QByteArray list = pressReadingList(shell.folder());
        QVERIFY(shown);
        QVERIFY(!frmMenu::instance().window()->findChild<QProgressDialog*>());
        QCOMPARE(list.count("\r\r\n"), readingListProgressFrom);
        QCOMPARE(st::messages().size(), size_t(3));
    }

    void failureKeepsTheEarlierList_data()
    {
        QTest::addColumn<QString>("kind"); // "engine": it fails once the file is open
        for (const char* kind : {"read-only", "engine", "full disk"})
            QTest::newRow(kind) << QString::fromLatin1(kind);
    }
    void failureKeepsTheEarlierList()
    {
        QFETCH(QString, kind);
        Shell shell;
        addPaper("Kept out");
        QString folder = QDir(shell.folder()).filePath("program");
        std::optional<FullDisk> disk;
        if (kind == "full disk") {
            disk.emplace(shell.folder());
            if (!disk->unavailable().isEmpty())
                QSKIP(qPrintable(disk->unavailable()));
            folder = disk->folder();
        } else {
            QVERIFY(QDir().mkdir(folder));
        }
        const QString file = QDir(folder).filePath("Reading List.txt");
        writeFile(file, "earlier list\r\r\n");
        const int files = QDir(folder).entryList(QDir::Files).size() + (disk ? 1 : 0);
        if (disk)
            disk->fill();
        if (kind == "engine" &&
            sqliteShell(shell.file(), "DROP TABLE \"Paper Authors List\"; SELECT 'dropped';") !=
                "dropped")
            QSKIP("the sqlite3 shell is not installed");
        const auto writable = QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner;
        if (kind == "read-only") {
            QFile::setPermissions(folder, QFile::ReadOwner | QFile::ExeOwner);
            if (::access(folder.toLocal8Bit().constData(), W_OK) == 0) {
                QFile::setPermissions(folder, writable);
                QSKIP("this user may write into read-only folders");
            }
        }
        const QByteArray after = pressReadingList(folder);
        if (kind == "read-only")
            QFile::setPermissions(folder, writable);
        QCOMPARE(prompts().size(), 1);
        QCOMPARE(st::messages().front().icon, services::Icon::Critical);
        const QString said = "The reading list could not be written to " + file + ": ";
        if (kind != "engine")
            QVERIFY2(lastPrompt().startsWith(said) &&
                         (!disk || lastPrompt().contains("No space left on device")),
                     qPrintable(lastPrompt()));
        QCOMPARE(after, "earlier list\r\r\n");
        // Nothing is left beside the earlier list.
        QCOMPARE(QDir(folder).entryList(QDir::Files).size(), files);
    }
};

QTEST_MAIN(TstReadingList)
#include "tst_readinglist.moc"
