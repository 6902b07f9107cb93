// The check on opening, the backup copies and restoring one.
#include "app/projectsafety.h"

#include "app/frmmenu.h"
#include "app/services.h"
#include "db/backgroundcheck.h"
#include "db/backups.h"
#include "db/project.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QTime>

namespace quirelle {

namespace {

QString shown(const QString& file)
{
    return QDir::toNativeSeparators(file);
}

// The open project's path without ".mdb", for a project file.
QString projectPathOf(const QString& projectFile)
{
    return projectFile.endsWith(QLatin1String(".mdb")) ? projectFile.chopped(4) : projectFile;
}

} // namespace

ProjectSafety::ProjectSafety(QLabel* status, QObject* parent)
    : QObject(parent), m_status(status), m_check(std::make_unique<db::BackgroundCheck>())
{
    db::BackgroundCheck* check = m_check.get();
    QObject::connect(check, &db::BackgroundCheck::checkFailed, this,
                     [this](const QString& file, const QString& problems) {
                         services::guarded([&] { checkFailed(file, problems); });
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
}

ProjectSafety::~ProjectSafety() = default;

void ProjectSafety::say(const QString& text)
{
    if (m_status)
        m_status->setText(text);
}

void ProjectSafety::projectOpened(const QString& projectFile)
{
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
    m_check->backUpNow(p.file());
}

bool ProjectSafety::isBusy() const
{
    return m_check->isBusy();
}

void ProjectSafety::waitUntilIdle()
{
    const QDeadlineTimer deadline(60000);
    while (m_check->isBusy() && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
}

void ProjectSafety::checkFailed(const QString& projectFile, const QString& problems)
{
    Project& p = project();
    // Reports of a project that is no longer open are of no use now.
    if (!p.isOpen() || p.file() != projectFile)
        return;
    say(QStringLiteral("The project failed its check."));
    const QList<db::BackupCopy> copies = db::listBackups(projectFile);
    QString prompt = QStringLiteral("The project file %1 is damaged:\n\n%2\n\n")
                         .arg(shown(projectFile), problems.trimmed());
    if (copies.isEmpty()) {
        prompt += QStringLiteral("There is no backup copy to put in its place. You can go on "
                                 "working in it, or open another project with File > Open.");
        services::MsgBox(prompt, services::Icon::Critical);
        return;
    }
    prompt += QStringLiteral("Put the newest backup copy that passes the check in its place? The "
                             "damaged file is kept beside it with \".damaged\" added.");
    if (services::MsgBox(prompt, services::Buttons::YesNo, services::Icon::Critical) !=
        services::Answer::Yes)
        return;
    const QString path = projectPathOf(projectFile);
    m_check->cancel();
    p.close();
    const db::RestoreResult result = db::replaceDamagedProject(projectFile);
    // Whatever happened, the project (the copy, or the damaged file left as it was) is opened
    // again, so that the user is never left without it.
    frmMenu::instance().connectTo(path);
    if (!result.ok)
        services::MsgBox(
            QStringLiteral("No backup copy was put in the place of the damaged file: ") +
                result.reason,
            services::Icon::Critical);
    else
        say(QStringLiteral("The damaged file was kept as %1; the project is the backup copy %2.")
                .arg(QFileInfo(result.keptAs).fileName(),
                     QFileInfo(result.restoredFrom).fileName()));
}

bool ProjectSafety::restore(const QString& copy)
{
    Project& p = project();
    if (!p.isOpen())
        return false;
    const QString projectFile = p.file();
    const QString path = p.projectFilePath;
    m_check->cancel();
    p.close();
    const db::RestoreResult result = db::restoreBackup(projectFile, copy);
    frmMenu::instance().connectTo(path);
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
