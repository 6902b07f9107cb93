// The project lock: a second copy of the program is told who holds the project, however long
// it has been held; the lock of a killed copy is taken over; no lock where none can be made.
#include "db/projectlock.h"

#include <QDateTime>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

using quirelle::db::ProjectLock;

namespace {

// Starts another copy of the program that holds the lock on `project` until its input closes,
// and returns what it said on taking the lock.
QString startOtherCopy(QProcess& other, const QString& project)
{
    other.start(QStringLiteral(QUIRELLE_CRASH_HARNESS), {QStringLiteral("hold-lock"), project});
    other.waitForReadyRead(30000);
    return QString::fromUtf8(other.readLine()).trimmed();
}

} // namespace

class TstProjectLock : public QObject
{
    Q_OBJECT

private slots:
    void secondCopyIsToldWhoHoldsIt()
    {
        QTemporaryDir dir;
        const QString project = dir.filePath(QStringLiteral("QuirelleXP.mdb"));
        QProcess other;
        QCOMPARE(startOtherCopy(other, project), QStringLiteral("locked"));
        // Held for an hour already: still held, as long as its process lives.
        QFile lockFile(ProjectLock::lockFileFor(project));
        QVERIFY(lockFile.open(QIODevice::ReadWrite));
        QVERIFY(lockFile.setFileTime(QDateTime::currentDateTime().addSecs(-3600),
                                     QFileDevice::FileModificationTime));
        lockFile.close();

        ProjectLock lock(project);
        QCOMPARE(lock.tryLock(), ProjectLock::Status::HeldElsewhere);
        QCOMPARE(lock.holder().pid, other.processId());
        QVERIFY2(lock.message().contains(
                     QStringLiteral("process %1 on this computer").arg(other.processId())),
                 qPrintable(lock.message()));

        other.closeWriteChannel(); // the other copy exits and lets go
        QVERIFY(other.waitForFinished());
        QVERIFY(!QFile::exists(ProjectLock::lockFileFor(project)));
        QCOMPARE(lock.tryLock(), ProjectLock::Status::Locked);
        QProcess third;
        QVERIFY(startOtherCopy(third, project).startsWith(QStringLiteral("held ")));
        third.kill();
        third.waitForFinished();
        lock.unlock();
        QVERIFY(!QFile::exists(ProjectLock::lockFileFor(project)));
    }

    void lockOfAKilledCopyIsTakenOver()
    {
        QTemporaryDir dir;
        const QString project = dir.filePath(QStringLiteral("QuirelleXP.mdb"));
        QProcess other;
        QCOMPARE(startOtherCopy(other, project), QStringLiteral("locked"));
        other.kill();
        other.waitForFinished();
        QVERIFY(QFile::exists(ProjectLock::lockFileFor(project)));
        ProjectLock lock(project);
        QCOMPARE(lock.tryLock(), ProjectLock::Status::Locked);
    }

    void noLockWhereNoneCanBeMade()
    {
        QTemporaryDir dir;
        // A file where the project's folder should be: nothing can be made in it, even as root.
        QFile(dir.filePath(QStringLiteral("folder"))).open(QIODevice::WriteOnly);
        ProjectLock lock(dir.filePath(QStringLiteral("folder/QuirelleXP.mdb")));
        QCOMPARE(lock.tryLock(), ProjectLock::Status::Unavailable);
        QVERIFY(lock.message().contains(QStringLiteral("QuirelleXP.mdb.lock")));
    }
};

QTEST_GUILESS_MAIN(TstProjectLock)
#include "tst_projectlock.moc"
