// The paper window's "Files" tab: the files of the paper on show, attached (copied beside the
// project) or linked where they are, opened with the desktop's programs, and files dropped on the
// window from a file manager attached.
#pragma once

#include "paper/data/paperfiles.h"

#include <QWidget>

#include <optional>
#include <vector>

class QListWidget;
class QListWidgetItem;
class QPushButton;

namespace quirelle {

class FilesTab final : public QWidget
{
    Q_OBJECT

public:
    // The tab's page; `window` is the paper window, whose drops it takes.
    FilesTab(QWidget* parent, QWidget* window);

    // The paper's files as the tab lists them (none for a new paper).
    static std::vector<paper::PaperFile> read(qint32 paperId);
    // Lists `files` of the paper on show; below 1 a new paper, whose buttons are disabled.
    void showFiles(qint32 paperId, const std::vector<paper::PaperFile>& files);
    // Lists the files of the paper on show as they are stored now.
    void refresh();
    // The list, then the buttons from top to bottom: the tab's order for the Tab key.
    std::vector<QWidget*> focusOrder() const;
    // Says which attached copies were kept because there was no trash to move them to.
    static void reportKept(const QStringList& kept);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void attach(const QStringList& paths, paper::FileKind kind);
    void cmdAttachFile_Click(paper::FileKind kind);
    void cmdOpenFile_Click();
    void cmdShowFile_Click();
    void cmdRemoveFile_Click();
    // The chosen file as stored now; nothing (and the list refreshed) when none is chosen or
    // its row is gone.
    std::optional<paper::PaperFile> chosenFile();
    std::optional<paper::PaperFile> existingChosenFile();

    qint32 m_paperId = 0;
    QListWidget* lstFiles = nullptr;
    QPushButton* cmdAttachFile = nullptr;
    QPushButton* cmdLinkFile = nullptr;
    QPushButton* cmdOpenFile = nullptr;
    QPushButton* cmdShowFile = nullptr;
    QPushButton* cmdRemoveFile = nullptr;
};

} // namespace quirelle
