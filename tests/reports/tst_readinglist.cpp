// The reading list file: its records byte for byte over two runs, written to the working
// directory; a list that cannot be written (read-only folder, engine failure, full disk) keeps
// the earlier one; the progress shown for a large catalogue.
#include "app/frmmenu.h"
#include "app/services.h"
#include "reports/readinglist.h"
#include "testsupport.h"

#include <QDir>
#include <QFile>
#include <QProgressDialog>
#include <QTest>
#include <QTimer>

#include <optional>

#include <unistd.h>

using namespace quirelle;
using services::testing::messages;

namespace {

qint32 add(const QString& table, const QVariantMap& values)
{
    return static_cast<qint32>(test::addRow(table, values));
}

qint32 addPaper(const QString& title, const QVariant& publication, const QString& year)
{
    return add("Papers", {{"Title", title}, {"Publication Name", publication}, {"Year", year}});
}

// An author linked to `papers`.
qint32 addAuthor(const QString& surname, const QString& forenames, const QList<qint32>& papers)
{
    const qint32 id = add("Authors", {{"Surname", surname}, {"Forenames", forenames}});
    for (qint32 paper : papers)
        add("Paper Authors List",
            {{"Paper ID", QString::number(paper)}, {"Author ID", QString::number(id)}});
    return id;
}

// Presses the options panel's Reading List button with `folder` as the working directory.
void pressReadingList(const QString& folder)
{
    const QString previous = QDir::currentPath();
    QDir::setCurrent(folder);
    test::panelButton(7);
    QDir::setCurrent(previous);
}

QByteArray readingList(const QString& folder)
{
    QFile f(QDir(folder).filePath("Reading List.txt"));
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("(missing)");
}

} // namespace

class TstReadingList : public QObject
{
    Q_OBJECT

private slots:
    void recordsByteForByte()
    {
        test::Shell shell;
        // An empty catalogue gives an empty file, and says so all the same.
        pressReadingList(shell.folder());
        QCOMPARE(readingList(shell.folder()), QByteArray());

        addPaper("No authors", "Journal A", "1999");
        const qint32 one = addPaper("One author", "Journal B", "2001");
        const qint32 two = addPaper("Two authors", "Proc. C", "2010");
        const qint32 noPublication = addPaper("No publication", QVariant(), "2005");
        const qint32 accents = addPaper("Über Ångström — 量子", "Révue", "1987");
        add("Papers", {{"Title", "Bare"}});
        // The link rows' order, not the authors' order.
        addAuthor("Smith", "John", {one, two});
        addAuthor("Jones", "Ann B.", {two, noPublication});
        addAuthor("Müller", "Émile", {accents});
        // A link to an author that no longer exists is left out.
        const qint32 gone = addAuthor("Gone", "Soon", {noPublication});
        shell.db().OpenRecordset("select * from [Authors] where [Author ID] = ?;", {gone}).Delete();

        // The second run replaces the first list.
        pressReadingList(shell.folder());
        QCOMPARE(readingList(shell.folder()),
                 QByteArray(": No authors: Journal A: 1999\r\r\n"
                            "Smith, John; : One author: Journal B: 2001\r\r\n"
                            "Smith, John; Jones, Ann B.; : Two authors: Proc. C: 2010\r\r\n"
                            "Jones, Ann B.; : No publication: : 2005\r\r\n"
                            "Müller, Émile; : Über Ångström — 量子: Révue: 1987\r\r\n"
                            ": Bare: : \r\r\n"));
        QCOMPARE(QDir(shell.folder()).entryList({"Reading List*"}, QDir::Files),
                 QStringList({"Reading List.txt"}));
        QCOMPARE(messages().size(), size_t(2));
        QCOMPARE(messages().back().prompt,
                 "A reading list has been created in 'Reading List.txt' located in " +
                     QDir::toNativeSeparators(shell.folder()) + ".");
    }

    void failureKeepsTheEarlierList_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("says"); // what the message names as the failure
        QTest::newRow("read-only folder") << "read-only"
                                          << "";
        QTest::newRow("engine fails once the file is open") << "engine"
                                                            << "";
        QTest::newRow("full disk") << "full disk"
                                   << "No space left on device";
    }
    void failureKeepsTheEarlierList()
    {
        QFETCH(QString, kind);
        QFETCH(QString, says);
        test::Shell shell;
        add("Papers", {{"Title", "Kept out"}});
        QString folder = QDir(shell.folder()).filePath("program");
        std::optional<test::FullDisk> disk;
        if (kind == "full disk") {
            disk.emplace(shell.folder());
            if (!disk->unavailable().isEmpty())
                QSKIP(qPrintable(disk->unavailable()));
            folder = disk->folder();
        } else {
            QVERIFY(QDir().mkdir(folder));
        }
        const QString file = QDir(folder).filePath("Reading List.txt");
        QFile earlier(file);
        QVERIFY(earlier.open(QIODevice::WriteOnly));
        earlier.write("earlier list\r\r\n");
        earlier.close();
        const int files = QDir(folder).entryList(QDir::Files).size() + (disk ? 1 : 0);
        if (disk)
            disk->fill();
        if (kind == "engine" &&
            test::sqliteShell(shell.file(),
                              "DROP TABLE \"Paper Authors List\"; SELECT 'dropped';") != "dropped")
            QSKIP("the sqlite3 shell is not installed");
        const auto writable = QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner;
        if (kind == "read-only") {
            QFile::setPermissions(folder, QFile::ReadOwner | QFile::ExeOwner);
            if (::access(folder.toLocal8Bit().constData(), W_OK) == 0) {
                QFile::setPermissions(folder, writable);
                QSKIP("this user may write into read-only folders");
            }
        }
        pressReadingList(folder);
        if (kind == "read-only")
            QFile::setPermissions(folder, writable);

        QCOMPARE(messages().size(), size_t(1));
        QCOMPARE(messages().front().icon, services::Icon::Critical);
        if (kind != "engine")
            QVERIFY2(messages().front().prompt.startsWith(
                         "The reading list could not be written to " + file + ": ") &&
                         messages().front().prompt.contains(says),
                     qPrintable(messages().front().prompt));
        QCOMPARE(readingList(folder), "earlier list\r\r\n");
        // Nothing is left beside the earlier list.
        QCOMPARE(QDir(folder).entryList(QDir::Files).size(), files);
    }

    void largeCatalogueShowsProgress()
    {
        test::Shell shell;
        db::Transaction t(shell.db());
        for (int i = 1; i <= readingListProgressFrom; ++i)
            add("Papers", {{"Title", QStringLiteral("Paper %1").arg(i)}});
        t.commit();
        // The list is written while the dialog shows: a timer due meanwhile finds it on screen.
        bool shown = false;
        QTimer::singleShot(0, [&] {
            shown = frmMenu::instance().window()->findChild<QProgressDialog*>() != nullptr;
        });
        pressReadingList(shell.folder());
        QVERIFY(shown);
        QVERIFY(!frmMenu::instance().window()->findChild<QProgressDialog*>());
        QCOMPARE(readingList(shell.folder()).count("\r\r\n"), readingListProgressFrom);
        QCOMPARE(messages().size(), size_t(1));
    }
};

QTEST_MAIN(TstReadingList)
#include "tst_readinglist.moc"
