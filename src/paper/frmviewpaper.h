// The paper window: one paper's details, its links to authors, keywords, models and the papers
// it references, its quotations, the papers that cite it and the other papers of its authors;
// adding papers and links, copying quotations and references, moving along the links and
// deleting the paper. Every other window opens it through `open`.
#pragma once

#include "app/form.h"
#include "app/windows.h"
#include "paper/data/combocache.h"

#include <array>
#include <memory>

class QComboBox;
class QLabel;
class QListWidget;
class QListWidgetItem;
class QPushButton;
class QTabWidget;

namespace quirelle {

struct LinkGroup;
class FieldsTab;
class FilesTab;

class frmViewPaper final : public Form, public SingleInstance<frmViewPaper>
{
    Q_OBJECT

public:
    frmViewPaper();
    ~frmViewPaper() override;

    // The hand-over: how each caller opens the window on a paper (0: a new, empty paper).
    void open(qint32 paperId, windows::PaperOrigin origin);

    // Makes `paperIDIn` the current paper, refills every control and shows the window; an id
    // below 1 opens it on a new, empty paper. The paper is read before any control changes:
    // when it cannot be read, the window stays as it was.
    void populate(qint32 paperIDIn);
    // Locks (true) or unlocks the entry controls.
    void lockAll(bool flag);

    // The paper on show; below 1 for a new paper not yet stored.
    qint32 currentPaperID() const { return m_currentPaperID; }
    // The paper "<< doc" returns to; -100 when the window was opened from the word report.
    qint32 previousPaperID() const { return m_previousPaperID; }

protected:
    void Form_Load() override;
    bool showsProjectRows() const override { return true; }
    void changedElsewhere() override;

private:
    friend void windows::paperFilesChanged();
    void buildControls();
    void connectHandlers();
    struct StoredPaper;
    // With `storeTypedFirst`, what the user typed into a box is stored before reading.
    StoredPaper readPaper(qint32 paperId, bool storeTypedFirst = true);
    void showPaper(qint32 paperId, const StoredPaper& stored);
    void clearAll();
    void fillDetails(const StoredPaper& stored);
    void fillLinkLists(const StoredPaper& stored);
    qint32 shownPaperNumber() const;
    QString detailText(int index) const;
    void setDetailText(int index, const QString& text);

    void txtDetails_LostFocus(int index);
    void cmbPublication_LostFocus();

    void cmdAddPaper_Click();
    void addLink(int group, bool emptyTextFirst);
    void cmdAddStatements_Click();
    void lstStatements_Click(QListWidgetItem* item);
    void cmdCopyReference_Click();

    void jumpToListedPaper(QListWidgetItem* item);
    void cmdBackToPrevious_Click();
    void cmdBack_Click();
    void cmdDeletePaper_Click();

    qint32 m_currentPaperID = 0;
    qint32 m_previousPaperID = 0;
    // The details as they were shown, by box: leaving a box writes it only when the user
    // changed it, so a value saved meanwhile by another copy of the program is not overwritten
    // by a box the user only passed through.
    std::array<QString, 8> m_shownDetails{};
    QString m_shownPublicationType;

    std::array<QLabel*, 14> lblDetails{};
    std::array<QWidget*, 8> txtDetails{}; // QLineEdit, or QPlainTextEdit for 2, 5 and 7
    QPushButton* cmdAddPaper = nullptr;
    QComboBox* cmbPublication = nullptr;
    QPushButton* cmdCopyReference = nullptr;
    QPushButton* cmdCiteAs = nullptr;
    QPushButton* cmdDeletePaper = nullptr;
    QPushButton* cmdBack = nullptr;
    QPushButton* cmdBackToPrevious = nullptr;
    QTabWidget* SSTab1 = nullptr;
    QListWidget* lstCitations = nullptr;
    QListWidget* lstOtherArticles = nullptr;
    QPushButton* cmdAddStatements = nullptr;
    QListWidget* lstStatements = nullptr;
    FilesTab* m_files = nullptr;   // the "Files" tab
    FieldsTab* m_fields = nullptr; // the "More" tab

    // Authors, keywords, models, referenced works; each "combo + Add + list".
    enum Group { Authors, Keywords, Models, References };
    std::array<std::unique_ptr<LinkGroup>, 4> m_links;
    std::array<paper::ComboCache, 4> m_comboLines;
};

} // namespace quirelle
