// What keeps the open project safe while the user works: its check and backup copy on opening
// (off the window's thread, reported in the status bar), the offer to put a backup copy in place
// of a damaged file, the copy on demand, and restoring a chosen copy.
#pragma once

#include <QObject>
#include <QString>

#include <memory>
#include <optional>

class QLabel;

namespace quirelle {

namespace db {
class BackgroundCheck;
}

class ProjectSafety final : public QObject
{
    Q_OBJECT

public:
    // `status` is the status bar panel that tells what happened.
    explicit ProjectSafety(QLabel* status, QObject* parent = nullptr);
    ~ProjectSafety() override;

    // A project was opened: check it, then write a copy when one is due (a shared project is
    // only copied).
    void projectOpened(const QString& projectFile);
    // The project file whose backup copies are the open project's: the project file itself, or
    // for a shared project its stand-in beside the settings file (its copies go into "Backups"
    // there).
    static QString backupsOf();
    // File > Back Up Now.
    void backUpNow();
    // Puts `copy` in the place of the open project, which is kept as a copy of its own first,
    // and opens it. False (after saying why) when it was not restored.
    bool restore(const QString& copy);
    // Opening `projectFile` failed. When the file is damaged and a backup copy passes its
    // check, offers that copy in its place and, on Yes, puts it there (the caller holds the
    // project's lock and opens the project again).
    enum class Offer {
        NotMade,  // not damaged, or no copy: the reason the opening failed is still to be told
        Declined, // the user said No, or the copy could not be put in place (and was told so)
        Replaced  // the damaged file is kept aside and the copy is in its place
    };
    Offer offerCopyAfterFailedOpening(const QString& projectFile);
    // The check or a copy is still under way.
    bool isBusy() const;
    // Waits until nothing is under way and hands out what it reported (the end of the program,
    // tests). The event loop does not run meanwhile; inside a transaction the reports are left
    // queued, since one of them may close the project.
    void waitUntilIdle();

private:
    void checkFailed(const QString& projectFile, const QString& problems);
    // A read or a write found `projectFile` damaged: when it is the open project, check it,
    // which makes the offer of a copy.
    void damageFound(const QString& projectFile);
    // Asks whether to put the newest good copy in place of the damaged `projectFile`, when
    // `offer` and there is one; else tells `noCopy` (unless it is empty).
    Offer askToReplace(const QString& projectFile, const QString& problems, const QString& noCopy,
                       bool offer);
    // Moves the damaged (closed) file aside, puts the newest good copy in its place and says
    // what happened.
    Offer replaceDamaged(const QString& projectFile);
    void say(const QString& text);

    QLabel* m_status;
    std::unique_ptr<db::BackgroundCheck> m_check;
    // The opening of the project (its generation) for which the user declined a copy: a read
    // that fails again does not ask again.
    std::optional<quint64> m_declined;
};

} // namespace quirelle
