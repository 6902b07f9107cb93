// The lock that tells a second copy of the program that a project is already open: a lock file
// "<project>.mdb.lock" beside the project, which names the process holding it. The project file
// itself is not touched. A lock left by a process that is gone is taken over.
#pragma once

#include <QLockFile>
#include <QString>

namespace quirelle::db {

class ProjectLock final
{
public:
    enum class Status {
        Unlocked,
        Locked,        // this object holds the lock
        HeldElsewhere, // another live process holds it; see holder()
        Unavailable    // no lock file can be made there (read-only folder, ...)
    };

    struct Holder
    {
        qint64 pid = 0;
        QString host;
        QString application;
    };

    explicit ProjectLock(const QString& projectFile);
    ~ProjectLock(); // releases the lock
    ProjectLock(const ProjectLock&) = delete;
    ProjectLock& operator=(const ProjectLock&) = delete;

    static QString lockFileFor(const QString& projectFile);

    // Takes the lock at once or reports who has it; never waits.
    Status tryLock();
    void unlock();

    Status status() const { return m_status; }
    bool isLocked() const { return m_status == Status::Locked; }
    const QString& projectFile() const { return m_projectFile; }
    // Who holds the lock, after tryLock() returned HeldElsewhere (as far as the lock file says).
    const Holder& holder() const { return m_holder; }
    // For the user, after HeldElsewhere or Unavailable: what happened, so that the program can
    // offer to open the project read-only or not at all.
    QString message() const;

private:
    QString m_projectFile;
    QLockFile m_lock;
    Status m_status = Status::Unlocked;
    Holder m_holder;
};

} // namespace quirelle::db
