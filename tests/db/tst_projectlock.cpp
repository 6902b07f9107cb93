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

// Another copy of the program holding the lock on `project` until its input closes.
class OtherCopy final
{
public:
    explicit OtherCopy(const QString& project)
    {
        m_process.start(QStringLiteral(QUIRELLE_CRASH_HARNESS),
                        {QStringLiteral("hold-lock"), project});
        m_process.waitForReadyRead(30000);
        m_answer = QString::fromUtf8(m_process.readLine()).trimmed();
    }
    ~OtherCopy() { kill(); }
    const QString& answer() const { return m_answer; }
    qint64 pid() const { return m_process.processId(); }
    void quit()
    {
        m_process.closeWriteChannel();
        m_process.waitForFinished();
    }
    void kill()
    {
        m_process.kill();
        m_process.waitForFinished();
    }

private:
    QProcess m_process;
    QString m_answer;
};

} // namespace

class TstProjectLock : public QObject
{
    Q_OBJECT

private slots:
    void secondCopyIsToldWhoHoldsIt()
    {
        QTemporaryDir dir;
        const QString project = dir.filePath(QStringLiteral("QuirelleXP.mdb"));
        OtherCopy other(project);
        QCOMPARE(other.answer(), QStringLiteral("locked"));
        // Held for an hour already: still held, as long as its process lives.
        QFile lockFile(ProjectLock::lockFileFor(project));
        QVERIFY(lockFile.open(QIODevice::ReadWrite));
        QVERIFY(lockFile.setFileTime(QDateTime::currentDateTime().addSecs(-3600),
                                     QFileDevice::FileModificationTime));
        lockFile.close();

        ProjectLock lock(project);
        QCOMPARE(lock.tryLock(), ProjectLock::Status::HeldElsewhere);
        QCOMPARE(lock.holder().pid, other.pid());
        QVERIFY2(
            lock.message().contains(QStringLiteral("process %1 on this computer").arg(other.pid())),
            qPrintable(lock.message()));
        QVERIFY(!lock.isLocked());

        other.quit();
        QVERIFY(!QFile::exists(ProjectLock::lockFileFor(project)));
        QCOMPARE(lock.tryLock(), ProjectLock::Status::Locked);
        OtherCopy third(project);
        QVERIFY2(third.answer().startsWith(QStringLiteral("held ")), qPrintable(third.answer()));
        lock.unlock();
        QVERIFY(!QFile::exists(ProjectLock::lockFileFor(project)));
    }

    void lockOfAKilledCopyIsTakenOver()
    {
        QTemporaryDir dir;
        const QString project = dir.filePath(QStringLiteral("QuirelleXP.mdb"));
        {
            OtherCopy other(project);
            QCOMPARE(other.answer(), QStringLiteral("locked"));
            other.kill();
        }
        QVERIFY(QFile::exists(ProjectLock::lockFileFor(project)));
        ProjectLock lock(project);
        QCOMPARE(lock.tryLock(), ProjectLock::Status::Locked);
    }

    void noLockWhereNoneCanBeMade()
    {
        QTemporaryDir dir;
        // A file where the project's folder should be: nothing can be made in it, even as root.
        QFile blocker(dir.filePath(QStringLiteral("folder")));
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        ProjectLock lock(dir.filePath(QStringLiteral("folder/QuirelleXP.mdb")));
        QCOMPARE(lock.tryLock(), ProjectLock::Status::Unavailable);
        QVERIFY(lock.message().contains(QStringLiteral("QuirelleXP.mdb.lock")));
    }
};

QTEST_GUILESS_MAIN(TstProjectLock)
#include "tst_projectlock.moc"
