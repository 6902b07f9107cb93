// The search window.
#include "search/frmsearchpapers.h"

#include "app/listviews.h"
#include "app/services.h"
#include "app/windows.h"
#include "db/listline.h"
#include "db/project.h"
#include "fulltext/data/fulltextindex.h"
#include "search/data/searchqueries.h"

#include <QAction>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QStringListModel>

namespace quirelle {

namespace {

const char* const modeCaptions[] = {"Title",     "Author",  "Model",    "Rating",
                                    "Quotation", "Keyword", "Full text"};
// The mode that searches the text of the papers' files: it has no criteria list.
constexpr int FullTextMode = 6;
// A full-text line keeps the row of its best page.
constexpr int PageRowRole = Qt::UserRole + 1;

} // namespace

frmSearchPapers::frmSearchPapers()
    : Form(QStringLiteral("frmSearchPapers"), 6360, 7740, Placement::Child,
           Panel::DisablesUntilClosed)
    , m_criteria(new QStringListModel(this))
{
    setCaption(QStringLiteral("Quirelle"));
    setBackColour(this, panelColour());

    fraSearchBy = new QGroupBox(QStringLiteral("Search by:"), this);
    fraSearchBy->setObjectName(QStringLiteral("fraSearchBy"));
    setBackColour(fraSearchBy, panelColour());
    place(fraSearchBy, 120, 120, 6120, 3000);

    for (int i = 0; i < static_cast<int>(optSearch.size()); ++i) {
        auto* option = new QRadioButton(QString::fromLatin1(modeCaptions[i]), fraSearchBy);
        option->setObjectName(controlName(QStringLiteral("optSearch"), i));
        setBackColour(option, panelColour());
        option->setBackgroundRole(QPalette::Window); // a button fills with its button colour
        place(option, 240, 360 + i * 360, 1455, 300);
        // Every click chooses the mode afresh, even a click on the mode already chosen.
        QObject::connect(option, &QRadioButton::clicked, this,
                         [this, i] { services::guarded([&] { optSearch_Click(i); }); });
        optSearch[static_cast<size_t>(i)] = option;
    }

    cmbSearchCriteria = new WideCombo(fraSearchBy);
    cmbSearchCriteria->setObjectName(QStringLiteral("cmbSearchCriteria"));
    cmbSearchCriteria->setEditable(true);
    // What the user types is the criterion as it stands: no completion from the list, and
    // Enter adds nothing to the list.
    cmbSearchCriteria->setCompleter(nullptr);
    cmbSearchCriteria->setInsertPolicy(QComboBox::NoInsert);
    // The list may hold every paper: its size is not measured item by item.
    cmbSearchCriteria->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    cmbSearchCriteria->setModel(m_criteria);
    if (auto* view = qobject_cast<QListView*>(cmbSearchCriteria->view()))
        view->setUniformItemSizes(true);
    QFont font = cmbSearchCriteria->font();
    font.setPointSize(12);
    cmbSearchCriteria->setFont(font);
    place(cmbSearchCriteria, 1800, 360, 4200, 420);
    QObject::connect(cmbSearchCriteria->lineEdit(), &QLineEdit::returnPressed, this,
                     [this] { services::guarded([this] { cmdFind_Click(); }); });

    cmdFind = new QPushButton(QStringLiteral("Search"), fraSearchBy);
    cmdFind->setObjectName(QStringLiteral("cmdFind"));
    place(cmdFind, 1800, 960, 1215, 375);
    QObject::connect(cmdFind, &QPushButton::clicked, this,
                     [this] { services::guarded([this] { cmdFind_Click(); }); });

    lstOptions = makeList(this, QStringLiteral("lstOptions"), QString());
    place(lstOptions, 120, 3240, 6120, 3000);
    QObject::connect(lstOptions, &QListWidget::itemClicked, this, [this](QListWidgetItem* item) {
        services::guarded([&] { lstOptions_Click(item); });
    });
    // The papers found can be exported as references, from the list's own menu.
    auto* exportFound = new QAction(QStringLiteral("Export these papers..."), lstOptions);
    exportFound->setObjectName(QStringLiteral("mnuExportResults"));
    lstOptions->addAction(exportFound);
    lstOptions->setContextMenuPolicy(Qt::ActionsContextMenu);
    QObject::connect(exportFound, &QAction::triggered, this,
                     [this] { services::guarded([this] { exportResults(); }); });
    // Formatted in a citation style, to copy into a document or save as a file.
    for (const auto& [name, caption] :
         {std::pair{"mnuCopyBibliography", "Copy Bibliography..."},
          std::pair{"mnuSaveBibliography", "Save Bibliography As..."}}) {
        auto* cite = new QAction(QString::fromLatin1(caption), lstOptions);
        cite->setObjectName(QString::fromLatin1(name));
        lstOptions->addAction(cite);
        QObject::connect(cite, &QAction::triggered, this,
                         [this] { services::guarded([this] { citeResults(); }); });
    }

    lblSnippet = new QLabel(this);
    lblSnippet->setObjectName(QStringLiteral("lblSnippet"));
    lblSnippet->setWordWrap(true);
    lblSnippet->setTextFormat(Qt::RichText);
    lblSnippet->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    place(lblSnippet, 120, 6300, 6120, 840);
    QObject::connect(
        lstOptions, &QListWidget::currentItemChanged, this,
        [this](QListWidgetItem* item) { services::guarded([&] { showSnippet(item); }); });

    cmdCancel = new QPushButton(QStringLiteral("Back"), this);
    cmdCancel->setObjectName(QStringLiteral("cmdCancel"));
    place(cmdCancel, 120, 7260, 1215, 375);
    QObject::connect(cmdCancel, &QPushButton::clicked, this,
                     [this] { services::guarded([this] { cmdCancel_Click(); }); });

    for (size_t i = 1; i < optSearch.size(); ++i)
        setTabOrder(optSearch[i - 1], optSearch[i]);
    setTabOrder(optSearch.back(), cmbSearchCriteria);
    setTabOrder(cmbSearchCriteria, cmdFind);
    setTabOrder(cmdFind, lstOptions);
    setTabOrder(lstOptions, cmdCancel);
}

void frmSearchPapers::Form_Load()
{
    placeByPositionForm();
    cmbSearchCriteria->setEditText(QString());
    showChosenMode(-1);
}

void frmSearchPapers::closeRequested()
{
    // Closing the frame leaves as "Back" does, or the options panel stays disabled.
    cmdCancel_Click();
}

void frmSearchPapers::populate()
{
    showForm();
}

int frmSearchPapers::chosenMode() const
{
    for (size_t i = 0; i < optSearch.size(); ++i) {
        if (optSearch[i]->isChecked())
            return static_cast<int>(i);
    }
    return -1;
}

void frmSearchPapers::showChosenMode(int mode)
{
    // An option button of a group can only be cleared while it stands alone.
    for (size_t i = 0; i < optSearch.size(); ++i) {
        optSearch[i]->setAutoExclusive(false);
        optSearch[i]->setChecked(static_cast<int>(i) == mode);
        optSearch[i]->setAutoExclusive(true);
    }
}

void frmSearchPapers::setCriteriaItems(const QStringList& items)
{
    // One model for the whole list: a list of every paper is set at once, not item by item.
    m_criteria->setStringList(items);
    cmbSearchCriteria->setCurrentIndex(-1);
    cmbSearchCriteria->setEditText(QString());
}

void frmSearchPapers::optSearch_Click(int index)
{
    // Read first: when the file cannot be read, the lists and the chosen mode stay as they were.
    QStringList items;
    try {
        if (index != FullTextMode)
            items = search::criteriaItems(static_cast<search::Mode>(index));
    } catch (...) {
        showChosenMode(m_listedMode);
        throw;
    }
    m_listedMode = index;
    lstOptions->clear();
    setCriteriaItems({});
    setCriteriaItems(items);
}

void frmSearchPapers::endStep()
{
    if (lstOptions->count() == 0)
        lstOptions->addItem(QStringLiteral("No entried found..."));
}

void frmSearchPapers::cmdFind_Click()
{
    lblSnippet->clear(); // a word that the list was out of date goes with it
    const int mode = chosenMode();
    if (mode < 0) {
        endStep();
        return;
    }
    if (mode == FullTextMode) {
        findFullText(cmbSearchCriteria->currentText());
        return;
    }
    const search::Outcome found =
        search::run(static_cast<search::Mode>(mode), cmbSearchCriteria->currentText());
    if (found.clearList)
        lstOptions->clear();
    lstOptions->addItems(found.lines);
    switch (found.then) {
    case search::Outcome::Then::NoMatches:
        services::MsgBox(QStringLiteral("No matches found"));
        return;
    case search::Outcome::Then::LeaveAsIs:
        return;
    case search::Outcome::Then::OpenPaper:
        handOver(
            [&found] { windows::openPaper(found.paperToOpen, windows::PaperOrigin::TitlePick); });
        break;
    case search::Outcome::Then::EndStep:
        break;
    }
    endStep();
}

void frmSearchPapers::lstOptions_Click(QListWidgetItem* item)
{
    // Only a paper's line names a paper; "No entried found..." names none.
    const auto line = item ? ListLine::parse(item->text()) : std::nullopt;
    if (!line)
        return;
    handOver([&line] { windows::openPaper(line->id, windows::PaperOrigin::Search); });
}

void frmSearchPapers::findFullText(const QString& typed)
{
    // Read first: a failure leaves the list as it was.
    const std::vector<fulltext::FullTextHit> hits = fulltext::searchFullText(project().db(), typed);
    lstOptions->clear();
    m_fullTextFound = typed;
    for (const fulltext::FullTextHit& hit : hits) {
        auto* item = new QListWidgetItem(ListLine::format(hit.paperId, hit.title), lstOptions);
        item->setData(PageRowRole, hit.row);
    }
    endStep();
}

void frmSearchPapers::showSnippet(QListWidgetItem* item)
{
    lblSnippet->clear();
    if (!item || !item->data(PageRowRole).isValid())
        return;
    const qint64 row = item->data(PageRowRole).toLongLong();
    const QString found = fulltext::passage(project().db(), m_fullTextFound, row);
    if (found.isEmpty())
        return;
    lblSnippet->setText(QStringLiteral("page %1: %2")
                            .arg(fulltext::pageOfRow(row))
                            .arg(fulltext::passageHtml(found)));
}

void frmSearchPapers::changedElsewhere()
{
    // The list is not searched again behind the user's back: the user is told instead.
    if (lstOptions->count() > 0)
        lblSnippet->setText(QStringLiteral("Others have changed the project since this search: "
                                           "the list may be out of date. Search again to see "
                                           "their changes."));
}

void frmSearchPapers::cmdCancel_Click()
{
    lstOptions->clear();
    closeForm();
}

QList<qint32> frmSearchPapers::listedPapers(bool selectedOnly) const
{
    // Each paper found, once, in the order of the list.
    QList<qint32> papers;
    for (int i = 0; i < lstOptions->count(); ++i) {
        const QListWidgetItem* item = lstOptions->item(i);
        if (selectedOnly && !item->isSelected())
            continue;
        if (const auto line = ListLine::parse(item->text()); line && !papers.contains(line->id))
            papers << line->id;
    }
    return papers;
}

void frmSearchPapers::citeResults()
{
    // The lines chosen, or every line.
    QList<qint32> papers = listedPapers(true);
    if (papers.isEmpty())
        papers = listedPapers(false);
    if (papers.isEmpty()) {
        services::MsgBox(QStringLiteral("The list holds no papers to format."));
        return;
    }
    windows::openCiteAs(papers, true);
}

void frmSearchPapers::exportResults()
{
    const QList<qint32> papers = listedPapers(false);
    if (papers.isEmpty()) {
        services::MsgBox(QStringLiteral("The list holds no papers to export."));
        return;
    }
    windows::exportPapers(papers);
}

bool frmSearchPapers::hasResults() const
{
    return lstOptions->count() >= 1;
}

} // namespace quirelle
