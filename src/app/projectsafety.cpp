// The check on opening, the backup copies and restoring one.
#include "app/projectsafety.h"

#include "app/frmmenu.h"
#include "app/services.h"
#include "app/settingsfile.h"
#include "app/windows.h"
#include "db/backgroundcheck.h"
#include "db/backups.h"
#include "db/database.h"
#include "db/project.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QTime>
#include <QTimer>

#include <functional>

namespace quirelle {

namespace {

QString shown(const QString& file)
{
    return QDir::toNativeSeparators(file);
}

QString readOnlyHere()
{
    return QStringLiteral("The project is open read-only here, so no backup copy can be put in "
                          "its place.");
}

// A transaction is open on the project: the event loop runs inside it only while a long action
// lets the windows repaint.
bool inTransaction()
{
    return project().isOpen() && project().db().inTransaction();
}

// Runs `step`, which may close the project, once no transaction is open on it and no modal
// window waits (the progress of an import, whose own connection works on the project).
void whenProjectFree(QObject* context, std::function<void()> step)
{
    if (!inTransaction() && !QApplication::activeModalWidget()) {
        step();
        return;
    }
    QTimer::singleShot(100, context,
                       [context, step = std::move(step)] { whenProjectFree(context, step); });
}

} // namespace

ProjectSafety::ProjectSafety(QLabel* status, QObject* parent)
    : QObject(parent), m_status(status), m_check(std::make_unique<db::BackgroundCheck>())
{
    db::BackgroundCheck* check = m_check.get();
    QObject::connect(check, &db::BackgroundCheck::checkFailed, this,
                     [this](const QString& file, const QString& problems) {
                         whenProjectFree(this, [this, file, problems] {
                             services::guarded([&] { checkFailed(file, problems); });
                         });
                     });
    QObject::connect(check, &db::BackgroundCheck::checkNotRun, this,
                     [this](const QString&, const QString& reason) {
                         say(QStringLiteral("The project could not be checked now: ") + reason);
                     });
    QObject::connect(check, &db::BackgroundCheck::backupWritten, this,
                     [this](const QString&, const QString& copy) {
                         say(QStringLiteral("Backup copy written at %1: %2")
                                 .arg(QTime::currentTime().toString(QStringLiteral("HH:mm")),
                                      QFileInfo(copy).fileName()));
                     });
    QObject::connect(check, &db::BackgroundCheck::backupFailed, this,
                     [this](const QString&, const QString& reason) {
                         say(QStringLiteral("No backup copy could be written: ") + reason);
                     });
    // Told on the thread that met the damage, in the middle of the action that failed: the
    // check starts once that action is over.
    db::setDamageObserver([this](const QString& file) {
        QMetaObject::invokeMethod(
            this, [this, file] { damageFound(file); }, Qt::QueuedConnection);
    });
}

ProjectSafety::~ProjectSafety()
{
    db::setDamageObserver({});
}

void ProjectSafety::say(const QString& text)
{
    if (m_status)
        m_status->setText(text);
}

QString ProjectSafety::backupsOf()
{
    const Project& p = project();
    if (!p.isServer())
        return p.file();
    return db::sharedProjectStandIn(p.projectFilePath(),
                                    QFileInfo(settings::fileName).absolutePath());
}

void ProjectSafety::projectOpened(const QString& projectFile)
{
    if (project().isServer()) {
        m_check->sharedOnOpening(project().projectFilePath(), backupsOf());
        return;
    }
    // A project open read-only cannot be damaged by this program, and its copy would be the
    // same file again: it is still checked, so that the user hears of damage.
    m_check->checkOnOpening(projectFile);
}

void ProjectSafety::backUpNow()
{
    Project& p = project();
    if (!p.isOpen())
        return;
    say(QStringLiteral("Writing a backup copy..."));
    if (p.isServer())
        m_check->backUpSharedNow(p.projectFilePath(), backupsOf());
    else
        m_check->backUpNow(p.file());
}

bool ProjectSafety::isBusy() const
{
    return m_check->isBusy();
}

void ProjectSafety::waitUntilIdle()
{
    const QDeadlineTimer deadline(60000);
    while (m_check->isBusy() && !deadline.hasExpired() && m_check->waitForWorker(deadline)) {
        if (inTransaction())
            return;
        QCoreApplication::sendPostedEvents(m_check.get(), QEvent::MetaCall);
    }
}

void ProjectSafety::damageFound(const QString& projectFile)
{
    Project& p = project();
    // A file that failed to open is offered its copy there and then.
    if (!p.isOpen() || p.file() != projectFile || m_declined == p.generation() || m_check->isBusy())
        return;
    say(QStringLiteral("Checking the project..."));
    m_check->checkOnOpening(p.file());
}

ProjectSafety::Offer ProjectSafety::askToReplace(const QString& projectFile,
                                                 const QString& problems, const QString& noCopy,
                                                 bool offer)
{
    QString prompt = QStringLiteral("The project file %1 is damaged:\n\n%2\n\n")
                         .arg(shown(projectFile), problems.trimmed());
    if (!offer || db::listBackups(projectFile).isEmpty()) {
        if (!noCopy.isEmpty())
            services::MsgBox(prompt + noCopy, services::Icon::Critical);
        return Offer::NotMade;
    }
    prompt += QStringLiteral("Put the newest backup copy that passes the check in its place? The "
                             "damaged file is kept beside it with \".damaged\" added.");
    if (services::MsgBox(prompt, services::Buttons::YesNo, services::Icon::Critical) !=
        services::Answer::Yes)
        return Offer::Declined;
    return Offer::Replaced;
}

ProjectSafety::Offer ProjectSafety::replaceDamaged(const QString& projectFile)
{
    const db::RestoreResult result = db::replaceDamagedProject(projectFile);
    if (!result.ok) {
        services::MsgBox(
            QStringLiteral("No backup copy was put in the place of the damaged file: ") +
                result.reason,
            services::Icon::Critical);
        return Offer::Declined;
    }
    say(QStringLiteral("The damaged file was kept as %1; the project is the backup copy %2.")
            .arg(QFileInfo(result.keptAs).fileName(), QFileInfo(result.restoredFrom).fileName()));
    return Offer::Replaced;
}

ProjectSafety::Offer ProjectSafety::offerCopyAfterFailedOpening(const QString& projectFile)
{
    const db::FileCheck check = db::checkFile(projectFile);
    if (check.result != db::FileCheck::Result::Damaged)
        return Offer::NotMade;
    const Offer offer = askToReplace(projectFile, check.problems, {}, true);
    return offer == Offer::Replaced ? replaceDamaged(projectFile) : offer;
}

void ProjectSafety::checkFailed(const QString& projectFile, const QString& problems)
{
    Project& p = project();
    // Reports of a project that is no longer open are of no use now.
    if (!p.isOpen() || p.file() != projectFile)
        return;
    say(QStringLiteral("The project failed its check."));
    // Open read-only, the file may be another copy's, which is the one to replace it.
    const QString noCopy =
        p.readOnly() ? readOnlyHere()
                     : QStringLiteral("There is no backup copy to put in its place. You can go "
                                      "on working in it, or open another project with File > "
                                      "Open.");
    const Offer offer = askToReplace(projectFile, problems, noCopy, !p.readOnly());
    if (offer != Offer::Replaced) {
        if (offer == Offer::Declined)
            m_declined = p.generation();
        return;
    }
    const QString path = p.projectFilePath();
    // The lock is held across the swap, so that no other copy opens the project halfway.
    std::unique_ptr<db::ProjectLock> lock = p.takeLock();
    m_check->cancel();
    windows::stopFullTextIndex();
    p.close();
    replaceDamaged(projectFile);
    // Whatever happened, the project (the copy, or the damaged file left as it was) is opened
    // again, so that the user is never left without it.
    frmMenu::instance().connectTo(path, std::move(lock));
}

bool ProjectSafety::restore(const QString& copy)
{
    Project& p = project();
    if (!p.isOpen())
        return false;
    if (p.readOnly()) {
        services::MsgBox(readOnlyHere(), services::Icon::Critical);
        return false;
    }
    const QString projectFile = p.file();
    const QString path = p.projectFilePath();
    const QString standIn = backupsOf();
    const bool server = p.isServer();
    std::unique_ptr<db::ProjectLock> lock = p.takeLock();
    m_check->cancel();
    windows::stopFullTextIndex();
    p.close();
    // A shared project's rows are replaced on the server; a file is replaced whole.
    const db::RestoreResult result = server ? db::restoreSharedBackup(path, standIn, copy)
                                            : db::restoreBackup(projectFile, copy);
    frmMenu::instance().connectTo(path, std::move(lock));
    if (!result.ok) {
        services::MsgBox(QStringLiteral("The backup copy was not restored: ") + result.reason,
                         services::Icon::Critical);
        return false;
    }
    say(QStringLiteral("Restored %1; the project as it was is kept as the backup copy %2.")
            .arg(QFileInfo(result.restoredFrom).fileName(), QFileInfo(result.keptAs).fileName()));
    return true;
}

} // namespace quirelle
