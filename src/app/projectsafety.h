// What keeps the open project safe while the user works: its check and backup copy on opening
// (off the window's thread, reported in the status bar), the offer to put a backup copy in place
// of a damaged file, the copy on demand, and restoring a chosen copy.
#pragma once

#include <QObject>
#include <QString>

#include <memory>

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

    // A project was opened: check it, then write a copy when one is due.
    void projectOpened(const QString& projectFile);
    // File > Back Up Now.
    void backUpNow();
    // Puts `copy` in the place of the open project, which is kept as a copy of its own first,
    // and opens it. False (after saying why) when it was not restored.
    bool restore(const QString& copy);
    // The check or a copy is still under way.
    bool isBusy() const;
    // Waits until nothing is under way, letting events run (the end of the program, tests).
    void waitUntilIdle();

private:
    void checkFailed(const QString& projectFile, const QString& problems);
    void say(const QString& text);

    QLabel* m_status;
    std::unique_ptr<db::BackgroundCheck> m_check;
};

} // namespace quirelle
