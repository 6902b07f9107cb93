// The project lock: a second copy of the program is told who holds the project, however long
// it has been held; the lock of a killed copy is taken over, one from another computer never;
// no lock where none can be made.
#include "db/projectlock.h"
#include "dbtestsupport.h"
#include "harness.h"

#include <QDateTime>

using quirelle::db::ProjectLock;
using quirelle::test::Harness;

class TstProjectLock : public QObject
{
    Q_OBJECT

private slots:
    void heldReleasedAndTakenOver()
    {
        QTemporaryDir dir;
        const QString project = dir.filePath("QuirelleXP.mdb");
        auto other = std::make_unique<Harness>(QStringList{"hold-lock", project});
        QCOMPARE(other->firstLine(), "locked");
        const QString lockFile = ProjectLock::lockFileFor(project);
        const auto age = [&](qint64 seconds) {
            QFile f(lockFile);
            QVERIFY(f.open(QIODevice::ReadWrite));
            QVERIFY(f.setFileTime(QDateTime::currentDateTime().addSecs(-seconds),
                                  QFileDevice::FileModificationTime));
        };
        // Held for an hour already: still held, as long as its process lives.
        age(3600);
        ProjectLock lock(project);
        QCOMPARE(lock.tryLock(), ProjectLock::Status::HeldElsewhere);
        QCOMPARE(lock.holder().pid, other->pid());
        QVERIFY2(lock.message().contains(
                     QStringLiteral("process %1 on this computer").arg(other->pid())),
                 qPrintable(lock.message()));
        QVERIFY(other->finish()); // the other copy exits and lets go
        QVERIFY(!QFile::exists(lockFile));
        QCOMPARE(lock.tryLock(), ProjectLock::Status::Locked);
        QVERIFY(Harness({"hold-lock", project}).firstLine().startsWith("held "));
        lock.unlock();
        QVERIFY(!QFile::exists(lockFile));
        // Held from another computer a month ago: whether its process lives cannot be told from
        // here, so the lock is never taken over.
        quirelle::test::writeFile(lockFile, "4194000\nquirelle\nelsewhere\n");
        age(30 * 24 * 3600);
        QCOMPARE(lock.tryLock(), ProjectLock::Status::HeldElsewhere);
        QVERIFY2(lock.message().contains("process 4194000 on the computer 'elsewhere'"),
                 qPrintable(lock.message()));
        QFile::remove(lockFile);
        // A copy killed while it holds the lock leaves its file, and the lock is taken over.
        other = std::make_unique<Harness>(QStringList{"hold-lock", project});
        QCOMPARE(other->firstLine(), "locked");
        other->kill();
        QVERIFY(QFile::exists(lockFile));
        QCOMPARE(lock.tryLock(), ProjectLock::Status::Locked);
    }

    void noLockWhereNoneCanBeMade()
    {
        QTemporaryDir dir;
        // A file where the project's folder should be: nothing can be made in it, even as root.
        QFile(dir.filePath("folder")).open(QIODevice::WriteOnly);
        ProjectLock lock(dir.filePath("folder/QuirelleXP.mdb"));
        QCOMPARE(lock.tryLock(), ProjectLock::Status::Unavailable);
        QVERIFY(lock.message().contains("QuirelleXP.mdb.lock"));
    }
};

QTEST_GUILESS_MAIN(TstProjectLock)
#include "tst_projectlock.moc"
