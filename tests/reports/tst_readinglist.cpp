// The reading list file: its records byte for byte, a second run, an unwritable folder and the
// progress shown for a large catalogue, started from the options panel's button.
#include "app/frmmenu.h"
#include "app/services.h"
#include "db/globals.h"
#include "reports/readinglist.h"
#include "testsupport.h"

#include <QDir>
#include <QFile>
#include <QProgressDialog>
#include <QPushButton>
#include <QTest>

#include <unistd.h>

using namespace quirelle;

namespace {

qint32 addPaper(const QString& title, const QString& publication = {}, const QString& year = {})
{
    QVariantMap values{{"Title", title}};
    if (!publication.isNull())
        values.insert(QStringLiteral("Publication Name"), publication);
    if (!year.isNull())
        values.insert(QStringLiteral("Year"), year);
    return static_cast<qint32>(
        test::addRow(*globals().dbProject, QStringLiteral("Papers"), values));
}

qint32 addAuthor(const QString& surname, const QString& forenames)
{
    return static_cast<qint32>(test::addRow(*globals().dbProject, QStringLiteral("Authors"),
                                            {{"Surname", surname}, {"Forenames", forenames}}));
}

void linkAuthor(qint32 paper, qint32 author)
{
    test::addRow(*globals().dbProject, QStringLiteral("Paper Authors List"),
                 {{"Paper ID", QString::number(paper)}, {"Author ID", QString::number(author)}});
}

void pressReadingList()
{
    auto* button =
        frmMenu::instance().findChild<QPushButton*>(controlName(QStringLiteral("cmdButton"), 7));
    QTest::mouseClick(button, Qt::LeftButton);
    test::settle();
}

QByteArray readingList(const QString& folder)
{
    QFile f(QDir(folder).filePath(QStringLiteral("Reading List.txt")));
    if (!f.open(QIODevice::ReadOnly))
        return "(missing)";
    return f.readAll();
}

QString doneMessage(const QString& folder)
{
    return QStringLiteral("A reading list has been created in 'Reading List.txt' located in ") +
           folder + QStringLiteral(".");
}

void writeFile(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

// Notes each progress dialog that shows.
class ShownProgress : public QObject
{
public:
    int count = 0;
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Show && qobject_cast<QProgressDialog*>(watched))
            ++count;
        return false;
    }
};

} // namespace

class TstReadingList : public QObject
{
    Q_OBJECT

private slots:
    void recordsByteForByte()
    {
        test::Shell shell;
        globals().appPath = shell.folder();
        const qint32 smith = addAuthor(QStringLiteral("Smith"), QStringLiteral("John"));
        const qint32 jones = addAuthor(QStringLiteral("Jones"), QStringLiteral("Ann B."));
        const qint32 mueller = addAuthor(QStringLiteral("Müller"), QStringLiteral("Émile"));
        const qint32 gone = addAuthor(QStringLiteral("Gone"), QStringLiteral("Soon"));

        addPaper(QStringLiteral("No authors"), QStringLiteral("Journal A"), QStringLiteral("1999"));
        const qint32 one = addPaper(QStringLiteral("One author"), QStringLiteral("Journal B"),
                                    QStringLiteral("2001"));
        linkAuthor(one, smith);
        const qint32 two = addPaper(QStringLiteral("Two authors"), QStringLiteral("Proc. C"),
                                    QStringLiteral("2010"));
        linkAuthor(two, smith); // the link rows' order, not the authors' order
        linkAuthor(two, jones);
        const qint32 noPublication =
            addPaper(QStringLiteral("No publication"), QString(), QStringLiteral("2005"));
        linkAuthor(noPublication, jones);
        linkAuthor(noPublication, gone);
        const qint32 accents = addPaper(QStringLiteral("Über Ångström — 量子"),
                                        QStringLiteral("Révue"), QStringLiteral("1987"));
        linkAuthor(accents, mueller);
        // A link to an author that no longer exists is left out.
        globals()
            .dbProject
            ->OpenRecordset(QStringLiteral("select * from [Authors] where "
                                           "[Author ID] = ") +
                            QString::number(gone) + QStringLiteral(";"))
            .Delete();
        addPaper(QStringLiteral("Bare"));

        pressReadingList();
        const QByteArray expected =
            QByteArray(": No authors: Journal A: 1999\r\r\n"
                       "Smith, John; : One author: Journal B: 2001\r\r\n"
                       "Smith, John; Jones, Ann B.; : Two authors: Proc. C: 2010\r\r\n"
                       "Jones, Ann B.; : No publication: : 2005\r\r\n") +
            QStringLiteral("Müller, Émile; : Über Ångström — 量子: Révue: 1987\r\r\n").toUtf8() +
            QByteArray(": Bare: : \r\r\n");
        QCOMPARE(readingList(shell.folder()), expected);
        QCOMPARE(services::testing::messages().size(), size_t(1));
        QCOMPARE(services::testing::messages().front().prompt, doneMessage(shell.folder()));
        QCOMPARE(services::testing::messages().front().buttons, services::vbOKOnly);
    }

    void secondRunReplacesTheFirst()
    {
        test::Shell shell;
        globals().appPath = shell.folder();
        pressReadingList();
        // An empty catalogue gives an empty file, and says so all the same.
        QCOMPARE(readingList(shell.folder()), QByteArray());
        QCOMPARE(services::testing::messages().size(), size_t(1));

        addPaper(QStringLiteral("First"), QStringLiteral("P"), QStringLiteral("2000"));
        pressReadingList();
        addPaper(QStringLiteral("Second"), QStringLiteral("Q"), QStringLiteral("2002"));
        pressReadingList();
        QCOMPARE(readingList(shell.folder()),
                 QByteArray(": First: P: 2000\r\r\n: Second: Q: 2002\r\r\n"));
        QCOMPARE(services::testing::messages().size(), size_t(3));
        QCOMPARE(QDir(shell.folder()).entryList({QStringLiteral("Reading List*")}, QDir::Files),
                 QStringList({QStringLiteral("Reading List.txt")}));
    }

    void unwritableFolder_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::newRow("missing folder") << QStringLiteral("missing");
        QTest::newRow("read-only folder") << QStringLiteral("read-only");
    }
    void unwritableFolder()
    {
        QFETCH(QString, kind);
        test::Shell shell;
        globals().appPath = shell.folder();
        addPaper(QStringLiteral("Kept out"));
        const QString folder = QDir(shell.folder()).filePath(QStringLiteral("program"));
        const QString file = QDir(folder).filePath(QStringLiteral("Reading List.txt"));
        if (kind == QLatin1String("read-only")) {
            QVERIFY(QDir().mkdir(folder));
            writeFile(file, "earlier list\r\r\n");
            QFile::setPermissions(folder, QFile::ReadOwner | QFile::ExeOwner);
            if (::access(folder.toLocal8Bit().constData(), W_OK) == 0) {
                QFile::setPermissions(folder,
                                      QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
                QSKIP("this user may write into read-only folders");
            }
        }
        globals().appPath = folder;
        pressReadingList();
        QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);

        QCOMPARE(services::testing::messages().size(), size_t(1));
        const services::testing::Shown shown = services::testing::messages().front();
        QCOMPARE(shown.buttons, services::vbCritical);
        QVERIFY2(shown.prompt.startsWith(
                     QStringLiteral("The reading list could not be written to ") + file + ": "),
                 qPrintable(shown.prompt));
        if (kind == QLatin1String("read-only"))
            QCOMPARE(readingList(folder), QByteArray("earlier list\r\r\n"));
        else
            QVERIFY(!QDir(folder).exists());
    }

    void failureOnTheWayKeepsTheEarlierList()
    {
        test::Shell shell;
        globals().appPath = shell.folder();
        addPaper(QStringLiteral("Never written"));
        const QString file = QDir(shell.folder()).filePath(QStringLiteral("Reading List.txt"));
        writeFile(file, "earlier list\r\r\n");
        // The engine fails once the file is open: the half-made list must not replace the old.
        globals().dbProject->Close();
        pressReadingList();
        QCOMPARE(readingList(shell.folder()), QByteArray("earlier list\r\r\n"));
        QCOMPARE(services::testing::messages().size(), size_t(1));
        QCOMPARE(services::testing::messages().front().buttons, services::vbCritical);
        QCOMPARE(QDir(shell.folder()).entryList({QStringLiteral("Reading List*")}, QDir::Files),
                 QStringList({QStringLiteral("Reading List.txt")}));
    }

    void largeCatalogueShowsProgress()
    {
        test::Shell shell;
        globals().appPath = shell.folder();
        db::Database& database = shell.db();
        database.BeginTrans();
        db::Recordset papers = database.OpenRecordset(QStringLiteral("select * from [Papers];"));
        for (int i = 1; i <= readingListProgressFrom; ++i) {
            papers.AddNew();
            papers.Fields(QStringLiteral("Title")) = QStringLiteral("Paper %1").arg(i);
            papers.Update();
        }
        database.CommitTrans();

        ShownProgress watcher;
        qApp->installEventFilter(&watcher);
        pressReadingList();
        qApp->removeEventFilter(&watcher);
        QCOMPARE(watcher.count, 1);
        QVERIFY(!frmMenu::instance().window()->findChild<QProgressDialog*>());
        QCOMPARE(readingList(shell.folder()).count("\r\r\n"), readingListProgressFrom);
        QCOMPARE(services::testing::messages().back().prompt, doneMessage(shell.folder()));
    }
};

QTEST_MAIN(TstReadingList)
#include "tst_readinglist.moc"
