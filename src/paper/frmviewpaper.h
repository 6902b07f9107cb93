// The paper window: one paper's details, its links to authors, keywords, models and the papers
// it references, its quotations, the papers that cite it and the other papers of its authors;
// adding papers and links, copying quotations and references, moving along the links and
// deleting the paper. Every other window opens it through populate.
#pragma once

#include "app/form.h"
#include "db/database.h"

#include <array>
#include <functional>
#include <optional>

class QComboBox;
class QLabel;
class QListWidget;
class QListWidgetItem;
class QPushButton;
class QStringListModel;
class QTabWidget;

namespace quirelle {

class frmViewPaper final : public Form, public SingleInstance<frmViewPaper>
{
    Q_OBJECT

public:
    frmViewPaper();

    // Makes `paperIDIn` the current paper, refills every control and shows the window; an id
    // below 1 opens it on a new, empty paper.
    void populate(qint32 paperIDIn);
    // Opens the current paper's row and its link rows; `found` is false when it is not stored.
    void accessData(bool& found);
    // Locks (true) or unlocks the entry controls.
    void lockAll(bool flag);

    // The paper on show; below 1 for a new paper not yet stored.
    qint32 currentPaperID = 0;

    // The text of a box of txtDetails, whichever kind of box it is.
    QString detailText(int index) const;
    void setDetailText(int index, const QString& text);
    // Whether a combo box is locked against choosing and typing.
    static bool isLocked(const QComboBox* combo);

    std::array<QLabel*, 14> lblDetails{};
    std::array<QWidget*, 8> txtDetails{}; // QLineEdit, or QPlainTextEdit for 2, 5 and 7
    QPushButton* cmdAddPaper;
    QComboBox* cmbAuthor;
    QPushButton* cmdAddAuthor;
    QListWidget* lstAuthors;
    QComboBox* cmbKeywords;
    QPushButton* cmdAddKeyword;
    QListWidget* lstKeywords;
    QComboBox* cmbModels;
    QPushButton* cmdAddModel;
    QListWidget* lstModels;
    QComboBox* cmbPublication;
    QPushButton* cmdCopyReference;
    QPushButton* cmdDeletePaper;
    QPushButton* cmdBack;
    QPushButton* cmdBackToPrevious;
    QTabWidget* SSTab1;
    QComboBox* cmbReferencedWork;
    QPushButton* cmdAddReferencedWork;
    QListWidget* lstReferencedWork;
    QListWidget* lstCitations;
    QListWidget* lstOtherArticles;
    QPushButton* cmdAddStatements;
    QListWidget* lstStatements;

protected:
    void Form_Load() override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildControls();
    void clearAll();
    void fillCombos();
    void fillDetails();
    void fillLinkLists();
    void deriveOtherWorks();
    void deriveCitations();
    void setLocked(QComboBox* combo, bool flag);
    void setDetailLocked(int index, bool flag);
    qint32 shownPaperNumber() const;

    void txtDetails_LostFocus(int index);
    void cmbPublication_LostFocus();

    void cmdAddPaper_Click();
    void addLink(QComboBox* combo, bool emptyTextFirst, db::Recordset& links,
                 bool (*openLinks)(qint32), const QString& linkField, QListWidget* list);
    void cmdAddAuthor_Click();
    void cmdAddKeyword_Click();
    void cmdAddModel_Click();
    void cmdAddReferencedWork_Click();
    void cmdAddStatements_Click();
    void lstStatements_Click(QListWidgetItem* item);
    void cmdCopyReference_Click();

    void jumpToListedPaper(QListWidgetItem* item);
    void cmdBackToPrevious_Click();
    void cmdBack_Click();
    void cmdDeletePaper_Click();
    void deletePaperRows();

    // The lines of the four link combo boxes, kept between fills: read again only when their
    // table has changed, or changed by this window's own writes to [Papers].
    struct ComboLines
    {
        std::optional<db::TableVersion> version; // of the table the lines were read from
        QStringList lines;
        bool shown = false; // the combo box holds these lines
    };
    std::array<ComboLines, 4> m_combos{};
    std::array<QStringListModel*, 4> m_comboModels{};
    // Runs a write of this window to [Papers]; `titles` makes the same change to the paper
    // lines (and says whether they changed), so that they need not be read again.
    void writePapers(const std::function<void()>& write,
                     const std::function<bool(QStringList&)>& titles);
};

} // namespace quirelle
