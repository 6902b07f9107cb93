// The paper window's controls: where each stands (twips), its caption and tip, the tab it is on,
// and the handlers they call.
#include "app/listviews.h"
#include "app/services.h"
#include "app/windows.h"
#include "db/project.h"
#include "paper/fieldstab.h"
#include "paper/filestab.h"
#include "paper/frmviewpaper.h"
#include "paper/linkgroup.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabWidget>

namespace quirelle {

namespace {

constexpr int OnWindow = -1;
enum Tab { ReferencesTab, CitationsTab, OtherWorksTab, QuotationsTab, SummaryTab };

struct LabelRow
{
    int index;
    const char* caption;
    int tab;
    Twips at;
};

// clang-format off
const LabelRow labelRows[] = {
    {0, "Title:", OnWindow, {120, 150, 1500, 255}},
    {1, "Author:", OnWindow, {120, 630, 1500, 255}},
    {5, "Keywords:", OnWindow, {120, 2130, 1500, 255}},
    {6, "Models:", OnWindow, {120, 3630, 1500, 255}},
    {2, "Year:", OnWindow, {6360, 630, 1560, 255}},
    {4, "Rating:", OnWindow, {6360, 1020, 1560, 255}},
    {8, "Status:", OnWindow, {6360, 1410, 1560, 255}},
    {10, "Paper No.:", OnWindow, {6360, 1800, 1560, 255}},
    {11, "Publication Type:", OnWindow, {6360, 2190, 1560, 255}},
    {12, "Publication Name:", OnWindow, {6360, 2580, 1560, 255}},
    {7, "Referenced Work:", ReferencesTab, {120, 150, 1560, 255}},
    {3, "Articles which cite this document:", CitationsTab, {120, 150, 6000, 255}},
    {13, "Other articles by these Authors:", OtherWorksTab, {120, 150, 6000, 255}},
    {9, "Quotations:", QuotationsTab, {120, 150, 1200, 255}},
};

struct BoxRow
{
    int index;
    bool severalLines;
    int tab;
    Twips at;
};

const BoxRow boxRows[] = {
    {0, false, OnWindow, {1680, 120, 8760, 315}},
    {1, false, OnWindow, {7980, 600, 1080, 315}},
    {3, false, OnWindow, {7980, 990, 600, 315}},
    {4, false, OnWindow, {7980, 1380, 2280, 315}},
    {6, false, OnWindow, {7980, 1770, 1080, 315}},
    {7, true, OnWindow, {7980, 2550, 3660, 735}},
    {5, true, QuotationsTab, {1380, 120, 8700, 735}},
    {2, true, SummaryTab, {120, 120, 11040, 2400}},
};

struct ButtonRow
{
    const char* name;
    const char* caption;
    const char* tip;
    int tab;
    Twips at;
};

const ButtonRow buttonRows[] = {
    {"cmdAddPaper", "Add", "Add this paper title", OnWindow, {10560, 113, 1080, 330}},
    {"cmdCopyReference", "Get Reference", "Copy reference to clipboard", OnWindow,
     {7980, 3480, 1740, 375}},
    {"cmdDeletePaper", "Delete Paper", "Delete this paper", OnWindow, {9900, 3480, 1740, 375}},
    {"cmdBackToPrevious", "<< doc", "Return to last viewed article", OnWindow,
     {7980, 3960, 1740, 375}},
    {"cmdBack", "Back", "Return to search", OnWindow, {9900, 3960, 1740, 375}},
    {"cmdCiteAs", "Cite As...", "Copy the reference in a citation style", OnWindow,
     {7980, 4440, 1740, 375}},
    {"cmdAddStatements", "Add", "Add this quotation", QuotationsTab, {10200, 113, 960, 330}},
};

const char* const jumpTip = "Click here to jump to article";

struct ListRow
{
    const char* name;
    const char* tip;
    int tab;
    Twips at;
};

const ListRow listRows[] = {
    {"lstCitations", jumpTip, CitationsTab, {120, 480, 11040, 2040}},
    {"lstOtherArticles", jumpTip, OtherWorksTab, {120, 480, 11040, 2040}},
    {"lstStatements", "Click here to copy quotations to clipboard", QuotationsTab,
     {120, 960, 11040, 1560}},
};

struct GroupRow
{
    LinkGroupDesign design;
    int tab;
};

const GroupRow groupRows[] = {
    {{"cmbAuthor", "cmdAddAuthor", "lstAuthors", "Add this author", "",
      {1680, 600, 3480, 315}, {5280, 593, 780, 330}, {1680, 960, 4380, 1020}}, OnWindow},
    {{"cmbKeywords", "cmdAddKeyword", "lstKeywords", "Add this keyword", "",
      {1680, 2100, 3480, 315}, {5280, 2093, 780, 330}, {1680, 2460, 4380, 1020}}, OnWindow},
    {{"cmbModels", "cmdAddModel", "lstModels", "Add this model", "",
      {1680, 3600, 3480, 315}, {5280, 3593, 780, 330}, {1680, 3960, 4380, 1020}}, OnWindow},
    {{"cmbReferencedWork", "cmdAddReferencedWork", "lstReferencedWork", "Add this reference",
      jumpTip, {1740, 120, 8340, 315}, {10200, 113, 960, 330}, {120, 540, 11040, 1980}},
     ReferencesTab},
};

const char* const tabCaptions[] = {"References", "Citations", "Other works", "Quotations",
                                   "Summary"};

const char* const publicationTypes[] = {"Book", "Business White Paper", "News Article",
                                        "Professional Journal", "University White Paper",
                                        "Website"};
// clang-format on

} // namespace

void frmViewPaper::buildControls()
{
    SSTab1 = new QTabWidget(this);
    SSTab1->setObjectName(QStringLiteral("SSTab1"));
    place(SSTab1, 120, 5160, 11520, 3180);
    std::array<QWidget*, 5> pages{};
    for (size_t i = 0; i < pages.size(); ++i) {
        pages[i] = new QWidget(SSTab1);
        SSTab1->addTab(pages[i], QString::fromUtf8(tabCaptions[i]));
    }
    // Tabs added beside the first five.
    m_files = new FilesTab(SSTab1, this);
    SSTab1->addTab(m_files, QStringLiteral("Files"));
    m_fields = new FieldsTab(SSTab1);
    SSTab1->addTab(m_fields, QStringLiteral("More"));
    const auto parentOf = [&](int tab) -> QWidget* {
        return tab == OnWindow ? this : pages[static_cast<size_t>(tab)];
    };

    for (const LabelRow& row : labelRows) {
        auto* l = new QLabel(QString::fromUtf8(row.caption), parentOf(row.tab));
        l->setObjectName(controlName(QStringLiteral("lblDetails"), row.index));
        place(l, row.at);
        lblDetails[static_cast<size_t>(row.index)] = l;
    }
    for (const BoxRow& row : boxRows) {
        QWidget* box;
        if (row.severalLines) {
            auto* lines = new QPlainTextEdit(parentOf(row.tab));
            lines->setTabChangesFocus(true);
            box = lines;
        } else {
            box = new QLineEdit(parentOf(row.tab));
        }
        box->setObjectName(controlName(QStringLiteral("txtDetails"), row.index));
        place(box, row.at);
        txtDetails[static_cast<size_t>(row.index)] = box;
    }
    // Other handlers read the shown paper's number back from its box: it is not for typing.
    auto* paperNumber = static_cast<QLineEdit*>(txtDetails[6]);
    paperNumber->setReadOnly(true);
    QPalette grey = paperNumber->palette();
    grey.setColor(QPalette::Base, QColor(0xE0, 0xE0, 0xE0));
    paperNumber->setPalette(grey);

    for (const ButtonRow& row : buttonRows) {
        auto* b = new QPushButton(QString::fromUtf8(row.caption), parentOf(row.tab));
        b->setObjectName(QString::fromUtf8(row.name));
        b->setToolTip(QString::fromUtf8(row.tip));
        place(b, row.at);
    }
    const auto button = [this](const char* name) {
        return findChild<QPushButton*>(QString::fromUtf8(name));
    };
    cmdAddPaper = button("cmdAddPaper");
    cmdCopyReference = button("cmdCopyReference");
    cmdCiteAs = button("cmdCiteAs");
    cmdDeletePaper = button("cmdDeletePaper");
    cmdBackToPrevious = button("cmdBackToPrevious");
    cmdBack = button("cmdBack");
    cmdAddStatements = button("cmdAddStatements");

    for (const ListRow& row : listRows) {
        auto* l =
            makeList(parentOf(row.tab), QString::fromUtf8(row.name), QString::fromUtf8(row.tip));
        place(l, row.at);
    }
    lstCitations = findChild<QListWidget*>(QStringLiteral("lstCitations"));
    lstOtherArticles = findChild<QListWidget*>(QStringLiteral("lstOtherArticles"));
    lstStatements = findChild<QListWidget*>(QStringLiteral("lstStatements"));

    for (size_t i = 0; i < m_links.size(); ++i) {
        const GroupRow& row = groupRows[i];
        paper::ComboCache& lines = m_comboLines[i];
        m_links[i] = std::make_unique<LinkGroup>(parentOf(row.tab), row.design,
                                                 [&lines](bool* changed) -> const QStringList& {
                                                     return lines.lines(project().db(), changed);
                                                 });
    }

    // The publication type is one of six; typed text is not a type, and nothing completes it.
    cmbPublication = new WideCombo(this);
    cmbPublication->setObjectName(QStringLiteral("cmbPublication"));
    cmbPublication->setEditable(true);
    cmbPublication->setInsertPolicy(QComboBox::NoInsert);
    cmbPublication->setCompleter(nullptr);
    // Nor does leaving the box choose the entry that its text happens to match: the type is
    // stored only when the user chooses it.
    QObject::disconnect(cmbPublication->lineEdit(), &QLineEdit::editingFinished, cmbPublication,
                        nullptr);
    for (const char* type : publicationTypes)
        cmbPublication->addItem(QString::fromUtf8(type));
    cmbPublication->setCurrentIndex(-1);
    place(cmbPublication, 7980, 2160, 3660, 315);

    // Tab order: title, links, details, buttons, then the tabs.
    const LinkGroup& a = *m_links[Authors];
    const LinkGroup& k = *m_links[Keywords];
    const LinkGroup& m = *m_links[Models];
    const LinkGroup& r = *m_links[References];
    std::vector<QWidget*> order = {
        txtDetails[0],  cmdAddPaper,   a.combo,          a.add,          a.list,
        k.combo,        k.add,         k.list,           m.combo,        m.add,
        m.list,         txtDetails[1], txtDetails[3],    txtDetails[4],  txtDetails[6],
        cmbPublication, txtDetails[7], cmdCopyReference, cmdDeletePaper, cmdBackToPrevious,
        cmdBack,        cmdCiteAs,     SSTab1,           r.combo,        r.add,
        r.list,         lstCitations,  lstOtherArticles, txtDetails[5],  cmdAddStatements,
        lstStatements,  txtDetails[2]};
    const std::vector<QWidget*> files = m_files->focusOrder();
    order.insert(order.end(), files.begin(), files.end());
    for (size_t i = 1; i < order.size(); ++i)
        setTabOrder(order[i - 1], order[i]);
}

void frmViewPaper::connectHandlers()
{
    const auto onClick = [this](QPushButton* b, auto handler) {
        QObject::connect(b, &QPushButton::clicked, this,
                         [this, handler] { services::guarded([&] { handler(); }); });
    };
    onClick(cmdAddPaper, [this] { cmdAddPaper_Click(); });
    // The keyword button tests for an empty box before the paper's number.
    for (int group : {Authors, Keywords, Models, References}) {
        onClick(m_links[static_cast<size_t>(group)]->add,
                [this, group] { addLink(group, group == Keywords); });
    }
    onClick(cmdAddStatements, [this] { cmdAddStatements_Click(); });
    onClick(cmdCopyReference, [this] { cmdCopyReference_Click(); });
    onClick(cmdCiteAs, [this] { windows::openCiteAs({shownPaperNumber()}); });
    onClick(cmdBackToPrevious, [this] { cmdBackToPrevious_Click(); });
    onClick(cmdBack, [this] { cmdBack_Click(); });
    onClick(cmdDeletePaper, [this] { cmdDeletePaper_Click(); });

    for (QListWidget* list : {m_links[References]->list, lstCitations, lstOtherArticles}) {
        QObject::connect(list, &QListWidget::itemClicked, this, [this](QListWidgetItem* item) {
            services::guarded([&] { jumpToListedPaper(item); });
        });
    }
    QObject::connect(lstStatements, &QListWidget::itemClicked, this, [this](QListWidgetItem* item) {
        services::guarded([&] { lstStatements_Click(item); });
    });

    for (int i = 0; i < static_cast<int>(txtDetails.size()); ++i)
        onLostFocus(txtDetails[static_cast<size_t>(i)], [this, i] { txtDetails_LostFocus(i); });
    onLostFocus(cmbPublication, [this] { cmbPublication_LostFocus(); });
}

} // namespace quirelle
