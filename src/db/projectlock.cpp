// The project lock over QLockFile.
#include "db/projectlock.h"

#include <QDir>
#include <QSysInfo>

namespace quirelle::db {

ProjectLock::ProjectLock(const QString& projectFile)
    : m_projectFile(projectFile), m_lock(lockFileFor(projectFile))
{
    // QLockFile would otherwise take a live holder's lock once the file is 30 s old; a project
    // stays open for hours. A holder that is gone is still detected by its process id.
    m_lock.setStaleLockTime(0);
}

ProjectLock::~ProjectLock()
{
    unlock();
}

QString ProjectLock::lockFileFor(const QString& projectFile)
{
    return projectFile + QStringLiteral(".lock");
}

ProjectLock::Status ProjectLock::tryLock()
{
    if (m_status == Status::Locked)
        return m_status;
    m_holder = {};
    if (m_lock.tryLock(0)) {
        m_status = Status::Locked;
    } else if (m_lock.error() == QLockFile::LockFailedError) {
        m_status = Status::HeldElsewhere;
        m_lock.getLockInfo(&m_holder.pid, &m_holder.host, &m_holder.application);
    } else {
        m_status = Status::Unavailable;
    }
    return m_status;
}

void ProjectLock::unlock()
{
    if (m_status == Status::Locked)
        m_lock.unlock();
    m_status = Status::Unlocked;
}

QString ProjectLock::message() const
{
    const QString project = QDir::toNativeSeparators(m_projectFile);
    switch (m_status) {
    case Status::HeldElsewhere: {
        QString who;
        if (m_holder.pid > 0) {
            who = QStringLiteral("process %1").arg(m_holder.pid);
            if (!m_holder.application.isEmpty())
                who = m_holder.application + QStringLiteral(", ") + who;
            const bool here =
                m_holder.host.isEmpty() || m_holder.host == QSysInfo::machineHostName();
            who += here ? QStringLiteral(" on this computer")
                        : QStringLiteral(" on the computer '%1'").arg(m_holder.host);
            who = QStringLiteral(" (%1)").arg(who);
        }
        return QStringLiteral("The project '%1' is already open in another copy of the "
                              "program%2.")
            .arg(project, who);
    }
    case Status::Unavailable:
        return QStringLiteral("Could not make the lock file '%1', so a second copy of the "
                              "program could open the project unnoticed.")
            .arg(QDir::toNativeSeparators(lockFileFor(m_projectFile)));
    case Status::Locked:
    case Status::Unlocked:
        break;
    }
    return {};
}

} // namespace quirelle::db
