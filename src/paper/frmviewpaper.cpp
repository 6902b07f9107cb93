// The paper window.
#include "paper/frmviewpaper.h"

#include "app/frmmain.h"
#include "app/frmmenu.h"
#include "app/services.h"
#include "app/windows.h"
#include "db/dberror.h"
#include "db/globals.h"
#include "db/sharedqueries.h"
#include "db/sqlquote.h"
#include "paper/papertext.h"

#include <QApplication>
#include <QComboBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStringListModel>
#include <QTabWidget>

#include <algorithm>
#include <functional>
#include <unordered_set>

namespace quirelle {

namespace {

void place(QWidget* w, int left, int top, int width, int height)
{
    w->setGeometry(toPixels(left), toPixels(top), toPixels(width), toPixels(height));
}

QPushButton* makeButton(QWidget* parent, const QString& name, const QString& caption,
                        const QString& tip)
{
    auto* b = new QPushButton(caption, parent);
    b->setObjectName(name);
    b->setToolTip(tip);
    return b;
}

QListWidget* makeList(QWidget* parent, const QString& name, const QString& tip = {})
{
    auto* l = new QListWidget(parent);
    l->setObjectName(name);
    l->setToolTip(tip);
    l->setUniformItemSizes(true);
    return l;
}

// A combo box the user may type into. Its lines are given to its model as one list (tens of
// thousands of lines go in at once rather than one by one), and its drop-down list measures one
// line for all of them.
QComboBox* makeCombo(QWidget* parent, const QString& name)
{
    auto* c = new QComboBox(parent);
    c->setObjectName(name);
    c->setEditable(true);
    c->setInsertPolicy(QComboBox::NoInsert);
    c->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    c->setMaxVisibleItems(20);
    if (auto* view = qobject_cast<QListView*>(c->view()))
        view->setUniformItemSizes(true);
    return c;
}

QString paperLine(db::Recordset& rs)
{
    return rs.Fields(QStringLiteral("Paper ID")).text() + QStringLiteral(" : ") +
           rs.Fields(QStringLiteral("Title")).text();
}

QString authorLine(db::Recordset& rs)
{
    return rs.Fields(QStringLiteral("Author ID")).text() + QStringLiteral(" : ") +
           rs.Fields(QStringLiteral("Surname")).text() + QStringLiteral(", ") +
           rs.Fields(QStringLiteral("Forenames")).text();
}

QString keywordLine(db::Recordset& rs)
{
    return rs.Fields(QStringLiteral("Keyword ID")).text() + QStringLiteral(" : ") +
           rs.Fields(QStringLiteral("Keyword")).text();
}

QString modelLine(db::Recordset& rs)
{
    return rs.Fields(QStringLiteral("Model ID")).text() + QStringLiteral(" : ") +
           rs.Fields(QStringLiteral("Model")).text();
}

// A link table keeps its ids as text; a row whose text is not a number links to nothing.
std::optional<qint32> linkedId(db::Recordset& rs, const QString& field)
{
    bool ok = false;
    const qint32 id = rs.Fields(field).text().trimmed().toInt(&ok);
    if (!ok)
        return std::nullopt;
    return id;
}

// Runs `body` once for every row of `rs`, from the first.
void forEachRow(db::Recordset& rs, const std::function<void()>& body)
{
    const int count = rs.RecordCount();
    if (count == 0)
        return;
    rs.MoveFirst();
    for (int i = 0; i < count; ++i) {
        body();
        rs.MoveNext();
    }
}

QString paperQuery(qint32 paperId)
{
    return QStringLiteral("select * from [papers] where [Paper ID] = ") + QString::number(paperId) +
           QStringLiteral(";");
}

// Where the line of paper `id` is, or would go, in paper lines ordered by their number.
qsizetype paperLinePosition(const QStringList& lines, qint32 id)
{
    const auto at =
        std::lower_bound(lines.begin(), lines.end(), id, [](const QString& line, qint32 wanted) {
            return paper::identifierOf(line).value_or(0) < wanted;
        });
    return at - lines.begin();
}

const QStringList publicationTypes = {
    QStringLiteral("Book"),
    QStringLiteral("Business White Paper"),
    QStringLiteral("News Article"),
    QStringLiteral("Professional Journal"),
    QStringLiteral("University White Paper"),
    QStringLiteral("Website"),
};

} // namespace

frmViewPaper::frmViewPaper() : Form(QStringLiteral("frmViewPaper"), 11760, 8460)
{
    setCaption(QStringLiteral("Article Contents"));
    buildControls();
}

void frmViewPaper::buildControls()
{
    const auto label = [this](int index, const QString& caption, QWidget* parent) {
        auto* l = new QLabel(caption, parent);
        l->setObjectName(controlName(QStringLiteral("lblDetails"), index));
        lblDetails[static_cast<size_t>(index)] = l;
        return l;
    };
    const auto lineBox = [this](int index, QWidget* parent) {
        auto* box = new QLineEdit(parent);
        box->setObjectName(controlName(QStringLiteral("txtDetails"), index));
        txtDetails[static_cast<size_t>(index)] = box;
        return box;
    };
    const auto textBox = [this](int index, QWidget* parent) {
        auto* box = new QPlainTextEdit(parent);
        box->setObjectName(controlName(QStringLiteral("txtDetails"), index));
        box->setTabChangesFocus(true);
        txtDetails[static_cast<size_t>(index)] = box;
        return box;
    };

    // Title, and the links on the left.
    place(label(0, QStringLiteral("Title:"), this), 120, 150, 1500, 255);
    place(lineBox(0, this), 1680, 120, 8760, 315);
    cmdAddPaper = makeButton(this, QStringLiteral("cmdAddPaper"), QStringLiteral("Add"),
                             QStringLiteral("Add this paper title"));
    place(cmdAddPaper, 10560, 113, 1080, 330);

    place(label(1, QStringLiteral("Author:"), this), 120, 630, 1500, 255);
    cmbAuthor = makeCombo(this, QStringLiteral("cmbAuthor"));
    place(cmbAuthor, 1680, 600, 3480, 315);
    cmdAddAuthor = makeButton(this, QStringLiteral("cmdAddAuthor"), QStringLiteral("Add"),
                              QStringLiteral("Add this author"));
    place(cmdAddAuthor, 5280, 593, 780, 330);
    lstAuthors = makeList(this, QStringLiteral("lstAuthors"));
    place(lstAuthors, 1680, 960, 4380, 1020);

    place(label(5, QStringLiteral("Keywords:"), this), 120, 2130, 1500, 255);
    cmbKeywords = makeCombo(this, QStringLiteral("cmbKeywords"));
    place(cmbKeywords, 1680, 2100, 3480, 315);
    cmdAddKeyword = makeButton(this, QStringLiteral("cmdAddKeyword"), QStringLiteral("Add"),
                               QStringLiteral("Add this keyword"));
    place(cmdAddKeyword, 5280, 2093, 780, 330);
    lstKeywords = makeList(this, QStringLiteral("lstKeywords"));
    place(lstKeywords, 1680, 2460, 4380, 1020);

    place(label(6, QStringLiteral("Models:"), this), 120, 3630, 1500, 255);
    cmbModels = makeCombo(this, QStringLiteral("cmbModels"));
    place(cmbModels, 1680, 3600, 3480, 315);
    cmdAddModel = makeButton(this, QStringLiteral("cmdAddModel"), QStringLiteral("Add"),
                             QStringLiteral("Add this model"));
    place(cmdAddModel, 5280, 3593, 780, 330);
    lstModels = makeList(this, QStringLiteral("lstModels"));
    place(lstModels, 1680, 3960, 4380, 1020);

    // The details on the right.
    place(label(2, QStringLiteral("Year:"), this), 6360, 630, 1560, 255);
    place(lineBox(1, this), 7980, 600, 1080, 315);
    place(label(4, QStringLiteral("Rating:"), this), 6360, 1020, 1560, 255);
    place(lineBox(3, this), 7980, 990, 600, 315);
    place(label(8, QStringLiteral("Status:"), this), 6360, 1410, 1560, 255);
    place(lineBox(4, this), 7980, 1380, 2280, 315);
    place(label(10, QStringLiteral("Paper No.:"), this), 6360, 1800, 1560, 255);
    auto* paperNumber = lineBox(6, this);
    place(paperNumber, 7980, 1770, 1080, 315);
    // Other handlers read the shown paper's number back from this box: it is not for typing.
    paperNumber->setReadOnly(true);
    QPalette grey = paperNumber->palette();
    grey.setColor(QPalette::Base, QColor(0xE0, 0xE0, 0xE0));
    paperNumber->setPalette(grey);
    place(label(11, QStringLiteral("Publication Type:"), this), 6360, 2190, 1560, 255);
    cmbPublication = new QComboBox(this);
    cmbPublication->setObjectName(QStringLiteral("cmbPublication"));
    cmbPublication->setEditable(true);
    cmbPublication->setInsertPolicy(QComboBox::NoInsert);
    cmbPublication->addItems(publicationTypes);
    cmbPublication->setCurrentIndex(-1);
    place(cmbPublication, 7980, 2160, 3660, 315);
    place(label(12, QStringLiteral("Publication Name:"), this), 6360, 2580, 1560, 255);
    place(textBox(7, this), 7980, 2550, 3660, 735);

    cmdCopyReference =
        makeButton(this, QStringLiteral("cmdCopyReference"), QStringLiteral("Get Reference"),
                   QStringLiteral("Copy reference to clipboard"));
    place(cmdCopyReference, 7980, 3480, 1740, 375);
    cmdDeletePaper =
        makeButton(this, QStringLiteral("cmdDeletePaper"), QStringLiteral("Delete Paper"),
                   QStringLiteral("Delete this paper"));
    place(cmdDeletePaper, 9900, 3480, 1740, 375);
    cmdBackToPrevious =
        makeButton(this, QStringLiteral("cmdBackToPrevious"), QStringLiteral("<< doc"),
                   QStringLiteral("Return to last viewed article"));
    place(cmdBackToPrevious, 7980, 3960, 1740, 375);
    cmdBack = makeButton(this, QStringLiteral("cmdBack"), QStringLiteral("Back"),
                         QStringLiteral("Return to search"));
    place(cmdBack, 9900, 3960, 1740, 375);

    // The tabs below.
    SSTab1 = new QTabWidget(this);
    SSTab1->setObjectName(QStringLiteral("SSTab1"));
    place(SSTab1, 120, 5160, 11520, 3180);
    const auto tab = [this](const QString& caption) {
        auto* page = new QWidget(SSTab1);
        SSTab1->addTab(page, caption);
        return page;
    };
    QWidget* references = tab(QStringLiteral("References"));
    QWidget* citations = tab(QStringLiteral("Citations"));
    QWidget* otherWorks = tab(QStringLiteral("Other works"));
    QWidget* quotations = tab(QStringLiteral("Quotations"));
    QWidget* summary = tab(QStringLiteral("Summary"));
    const QString jumpTip = QStringLiteral("Click here to jump to article");

    place(label(7, QStringLiteral("Referenced Work:"), references), 120, 150, 1560, 255);
    cmbReferencedWork = makeCombo(references, QStringLiteral("cmbReferencedWork"));
    place(cmbReferencedWork, 1740, 120, 8340, 315);
    cmdAddReferencedWork = makeButton(references, QStringLiteral("cmdAddReferencedWork"),
                                      QStringLiteral("Add"), QStringLiteral("Add this reference"));
    place(cmdAddReferencedWork, 10200, 113, 960, 330);
    lstReferencedWork = makeList(references, QStringLiteral("lstReferencedWork"), jumpTip);
    place(lstReferencedWork, 120, 540, 11040, 1980);

    place(label(3, QStringLiteral("Articles which cite this document:"), citations), 120, 150, 6000,
          255);
    lstCitations = makeList(citations, QStringLiteral("lstCitations"), jumpTip);
    place(lstCitations, 120, 480, 11040, 2040);

    place(label(13, QStringLiteral("Other articles by these Authors:"), otherWorks), 120, 150, 6000,
          255);
    lstOtherArticles = makeList(otherWorks, QStringLiteral("lstOtherArticles"), jumpTip);
    place(lstOtherArticles, 120, 480, 11040, 2040);

    place(label(9, QStringLiteral("Quotations:"), quotations), 120, 150, 1200, 255);
    place(textBox(5, quotations), 1380, 120, 8700, 735);
    cmdAddStatements = makeButton(quotations, QStringLiteral("cmdAddStatements"),
                                  QStringLiteral("Add"), QStringLiteral("Add this quotation"));
    place(cmdAddStatements, 10200, 113, 960, 330);
    lstStatements = makeList(quotations, QStringLiteral("lstStatements"),
                             QStringLiteral("Click here to copy quotations to clipboard"));
    place(lstStatements, 120, 960, 11040, 1560);

    place(textBox(2, summary), 120, 120, 11040, 2400);

    for (QComboBox* c : {cmbAuthor, cmbKeywords, cmbModels, cmbReferencedWork}) {
        auto* model = new QStringListModel(c);
        c->setModel(model);
        c->installEventFilter(this);
    }
    m_comboModels = {qobject_cast<QStringListModel*>(cmbAuthor->model()),
                     qobject_cast<QStringListModel*>(cmbKeywords->model()),
                     qobject_cast<QStringListModel*>(cmbModels->model()),
                     qobject_cast<QStringListModel*>(cmbReferencedWork->model())};

    // Handlers.
    const auto onClick = [this](QPushButton* b, void (frmViewPaper::*handler)()) {
        QObject::connect(b, &QPushButton::clicked, this,
                         [this, handler] { services::guarded([&] { (this->*handler)(); }); });
    };
    onClick(cmdAddPaper, &frmViewPaper::cmdAddPaper_Click);
    onClick(cmdAddAuthor, &frmViewPaper::cmdAddAuthor_Click);
    onClick(cmdAddKeyword, &frmViewPaper::cmdAddKeyword_Click);
    onClick(cmdAddModel, &frmViewPaper::cmdAddModel_Click);
    onClick(cmdAddReferencedWork, &frmViewPaper::cmdAddReferencedWork_Click);
    onClick(cmdAddStatements, &frmViewPaper::cmdAddStatements_Click);
    onClick(cmdCopyReference, &frmViewPaper::cmdCopyReference_Click);
    onClick(cmdBackToPrevious, &frmViewPaper::cmdBackToPrevious_Click);
    onClick(cmdBack, &frmViewPaper::cmdBack_Click);
    onClick(cmdDeletePaper, &frmViewPaper::cmdDeletePaper_Click);

    for (QListWidget* list : {lstReferencedWork, lstCitations, lstOtherArticles}) {
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

    // Tab order: title, links, details, buttons, then the tabs.
    const std::vector<QWidget*> order = {
        txtDetails[0],     cmdAddPaper,      cmbAuthor,         cmdAddAuthor,
        lstAuthors,        cmbKeywords,      cmdAddKeyword,     lstKeywords,
        cmbModels,         cmdAddModel,      lstModels,         txtDetails[1],
        txtDetails[3],     txtDetails[4],    txtDetails[6],     cmbPublication,
        txtDetails[7],     cmdCopyReference, cmdDeletePaper,    cmdBackToPrevious,
        cmdBack,           SSTab1,           cmbReferencedWork, cmdAddReferencedWork,
        lstReferencedWork, lstCitations,     lstOtherArticles,  txtDetails[5],
        cmdAddStatements,  lstStatements,    txtDetails[2]};
    for (size_t i = 1; i < order.size(); ++i)
        setTabOrder(order[i - 1], order[i]);
}

void frmViewPaper::Form_Load()
{
    placeByPositionForm();
}

// ---- Showing a paper ----

void frmViewPaper::populate(qint32 paperIDIn)
{
    // What was typed into a box of the paper on show belongs to that paper: store it before
    // the boxes are refilled.
    if (QWidget* focused = QApplication::focusWidget(); focused && isAncestorOf(focused))
        commitFocusedBox();

    frmMenu::instance().setEnabled(false);
    currentPaperID = paperIDIn;
    // "Add" stores a new paper; offered for an existing one it would store it a second time.
    cmdAddPaper->setEnabled(paperIDIn < 1);
    clearAll();
    fillCombos();

    if (currentPaperID < 1) {
        lockAll(true);
    } else {
        lockAll(false);
        bool found = false;
        accessData(found);
        if (!found) {
            hideForm();
            windows::returnToSearch();
            return;
        }
        fillDetails();
        fillLinkLists();
    }

    if (isShown())
        txtDetails[0]->setFocus();
    else
        showForm();

    // A new paper has no citations or other works; both lists keep what they showed.
    if (paperIDIn < 1)
        return;
    deriveOtherWorks();
    deriveCitations();
    cmdBackToPrevious->setEnabled(globals().previousPaperID > 0);
    showForm();
}

void frmViewPaper::accessData(bool& found)
{
    found = true;
    if (!getPaper(currentPaperID)) {
        services::MsgBox(QStringLiteral("Could not locate Paper error"), services::vbCritical);
        found = false;
        return;
    }
    getPaperAuthors(currentPaperID);
    getPaperKeywords(currentPaperID);
    getPaperModels(currentPaperID);
    getPaperReferences(currentPaperID);
}

void frmViewPaper::lockAll(bool flag)
{
    for (QComboBox* c : {cmbAuthor, cmbKeywords, cmbModels, cmbReferencedWork})
        setLocked(c, flag);
    for (int i = 1; i <= 5; ++i)
        setDetailLocked(i, flag);
    cmdDeletePaper->setEnabled(!flag);
    cmdCopyReference->setEnabled(!flag);
    cmdBackToPrevious->setEnabled(globals().previousPaperID > 0);
}

void frmViewPaper::clearAll()
{
    for (QListWidget* l : {lstAuthors, lstModels, lstKeywords, lstReferencedWork, lstStatements})
        l->clear();
    for (int i = 0; i <= 7; ++i)
        setDetailText(i, QString());
    cmbReferencedWork->setCurrentIndex(-1);
    cmbReferencedWork->setEditText(QString());
    cmbPublication->setCurrentIndex(-1);
    cmbPublication->setEditText(QString());
}

void frmViewPaper::fillCombos()
{
    // Each list is read again only when its table has changed since it was last read: with
    // tens of thousands of papers and authors, reading them is most of the time populate
    // takes. Only the fields a line shows are read, in the order of the full lists (ties in
    // the sort key keep the order in which the rows were stored).
    // The queries select the identifier, then the text: a third field follows after ", ".
    struct Fill
    {
        QComboBox* combo;
        const char* table;
        const char* query;
    };
    const Fill fills[] = {
        {cmbAuthor, "Authors",
         "select [Author ID], [Surname], [Forenames] from [Authors] order by [Surname], "
         "[Author ID];"},
        {cmbKeywords, "Keywords",
         "select [Keyword ID], [Keyword] from [Keywords] order by [Keyword], [Keyword ID];"},
        {cmbModels, "Models",
         "select [Model ID], [Model] from [Models] order by [Model], [Model ID];"},
        {cmbReferencedWork, "Papers",
         "select [Paper ID], [Title] from [papers] order by [Paper ID];"},
    };
    db::Database& database = project();
    for (size_t i = 0; i < std::size(fills); ++i) {
        const Fill& f = fills[i];
        ComboLines& c = m_combos[i];
        const db::TableVersion version = database.tableVersion(QString::fromLatin1(f.table));
        if (c.version != version) {
            db::Recordset rs = database.OpenRecordset(QString::fromLatin1(f.query));
            std::vector<db::Field> fields;
            for (int k = 0; k < rs.fieldCount(); ++k)
                fields.push_back(rs.Fields(rs.fieldName(k)));
            QStringList lines;
            lines.reserve(rs.RecordCount());
            const QString separator = QStringLiteral(" : ");
            const QString comma = QStringLiteral(", ");
            forEachRow(rs, [&] {
                QString line = fields[0].text() + separator + fields[1].text();
                if (fields.size() > 2)
                    line += comma + fields[2].text();
                lines.append(line);
            });
            c = {version, std::move(lines), false};
        }
        if (!c.shown) {
            m_comboModels[i]->setStringList(c.lines);
            c.shown = true;
        }
        f.combo->setCurrentIndex(-1);
        f.combo->setEditText(QString());
    }
}

void frmViewPaper::writePapers(const std::function<void()>& write,
                               const std::function<bool(QStringList&)>& titles)
{
    db::Database& database = project();
    ComboLines& papers = m_combos[3];
    // The lines can follow this write only when they were current before it.
    const bool current = papers.version == database.tableVersion(QStringLiteral("Papers"));
    write();
    if (!current)
        return;
    if (titles(papers.lines))
        papers.shown = false;
    papers.version = database.tableVersion(QStringLiteral("Papers"));
}

void frmViewPaper::fillDetails()
{
    db::Recordset& rs = globals().rsPapers;
    setDetailText(0, rs.Fields(QStringLiteral("Title")).text());
    const auto show = [&rs](const QString& field, const std::function<void(const QString&)>& to) {
        const db::Field f = rs.Fields(field);
        if (!f.isNull())
            to(f.text());
    };
    show(QStringLiteral("Year"), [this](const QString& t) { setDetailText(1, t); });
    show(QStringLiteral("Summary"), [this](const QString& t) { setDetailText(2, t); });
    show(QStringLiteral("Rating"), [this](const QString& t) { setDetailText(3, t); });
    show(QStringLiteral("Status"), [this](const QString& t) { setDetailText(4, t); });
    show(QStringLiteral("Paper ID"), [this](const QString& t) { setDetailText(6, t); });
    show(QStringLiteral("Publication Type"), [this](const QString& t) {
        const int at = cmbPublication->findText(t, Qt::MatchExactly | Qt::MatchCaseSensitive);
        cmbPublication->setCurrentIndex(at);
        cmbPublication->setEditText(t);
    });
    show(QStringLiteral("Publication Name"), [this](const QString& t) { setDetailText(7, t); });
}

void frmViewPaper::fillLinkLists()
{
    Globals& g = globals();
    // Each link row gives a line only when the row it points at is still there.
    forEachRow(g.rsPaperAuthors, [&] {
        if (const auto id = linkedId(g.rsPaperAuthors, QStringLiteral("Author ID")))
            if (getAuthor(*id))
                lstAuthors->addItem(authorLine(g.rsAuthors));
    });
    forEachRow(g.rsPaperKeywords, [&] {
        if (const auto id = linkedId(g.rsPaperKeywords, QStringLiteral("Keywords ID")))
            if (getKeyword(*id))
                lstKeywords->addItem(keywordLine(g.rsKeywords) + QStringLiteral(" : ") +
                                     g.rsKeywords.Fields(QStringLiteral("Definition")).text());
    });
    forEachRow(g.rsPaperModels, [&] {
        if (const auto id = linkedId(g.rsPaperModels, QStringLiteral("Model ID")))
            if (getModel(*id))
                lstModels->addItem(modelLine(g.rsModels));
    });
    forEachRow(g.rsPaperReferences, [&] {
        if (const auto id = linkedId(g.rsPaperReferences, QStringLiteral("Reference ID")))
            if (getPaper(*id))
                lstReferencedWork->addItem(paperLine(g.rsPapers));
    });
    getPaperStatements(currentPaperID);
    forEachRow(g.rsPaperStatements, [&] {
        lstStatements->addItem(g.rsPaperStatements.Fields(QStringLiteral("Statements ID")).text() +
                               QStringLiteral(" : ") +
                               g.rsPaperStatements.Fields(QStringLiteral("Statement")).text());
    });
}

void frmViewPaper::deriveOtherWorks()
{
    Globals& g = globals();
    // Papers already listed, the shown one first; any number fits.
    std::unordered_set<qint32> listedPapers{shownPaperNumber()};
    lstOtherArticles->clear();
    getPaperAuthors(currentPaperID);
    forEachRow(g.rsPaperAuthors, [&] {
        const QString author = g.rsPaperAuthors.Fields(QStringLiteral("Author ID")).text();
        openQuery(g.rsLookup,
                  QStringLiteral("select * from [Paper Authors List] where [Author ID] = ") +
                      db::sqlText(author) + QStringLiteral(";"));
        forEachRow(g.rsLookup, [&] {
            const auto paperId = linkedId(g.rsLookup, QStringLiteral("Paper ID"));
            if (!paperId || !listedPapers.insert(*paperId).second)
                return;
            if (openQuery(g.rsPapers, paperQuery(*paperId)))
                lstOtherArticles->addItem(paperLine(g.rsPapers));
        });
    });
}

void frmViewPaper::deriveCitations()
{
    Globals& g = globals();
    lstCitations->clear();
    openQuery(g.rsPaperReferences,
              QStringLiteral("select * from [Paper References List] where [Reference ID] = ") +
                  QString::number(shownPaperNumber()) + QStringLiteral(";"));
    // A paper that cites this one twice is listed twice.
    forEachRow(g.rsPaperReferences, [&] {
        if (const auto paperId = linkedId(g.rsPaperReferences, QStringLiteral("Paper ID")))
            if (openQuery(g.rsPapers, paperQuery(*paperId)))
                lstCitations->addItem(paperLine(g.rsPapers));
    });
}

// ---- Controls ----

QString frmViewPaper::detailText(int index) const
{
    QWidget* box = txtDetails[static_cast<size_t>(index)];
    if (auto* line = qobject_cast<QLineEdit*>(box))
        return line->text();
    return static_cast<QPlainTextEdit*>(box)->toPlainText();
}

void frmViewPaper::setDetailText(int index, const QString& text)
{
    QWidget* box = txtDetails[static_cast<size_t>(index)];
    if (auto* line = qobject_cast<QLineEdit*>(box))
        line->setText(text);
    else
        static_cast<QPlainTextEdit*>(box)->setPlainText(text);
}

void frmViewPaper::setDetailLocked(int index, bool flag)
{
    QWidget* box = txtDetails[static_cast<size_t>(index)];
    if (auto* line = qobject_cast<QLineEdit*>(box))
        line->setReadOnly(flag);
    else
        static_cast<QPlainTextEdit*>(box)->setReadOnly(flag);
}

bool frmViewPaper::isLocked(const QComboBox* combo)
{
    return combo->property("locked").toBool();
}

void frmViewPaper::setLocked(QComboBox* combo, bool flag)
{
    combo->setProperty("locked", flag);
    if (QLineEdit* edit = combo->lineEdit())
        edit->setReadOnly(flag);
}

bool frmViewPaper::eventFilter(QObject* watched, QEvent* event)
{
    // A locked combo box keeps its line: no list to open, no wheel or keys to change it.
    if (auto* combo = qobject_cast<QComboBox*>(watched); combo && isLocked(combo)) {
        switch (event->type()) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
        case QEvent::Wheel:
            return true;
        case QEvent::KeyPress: {
            const int key = static_cast<QKeyEvent*>(event)->key();
            if (key != Qt::Key_Tab && key != Qt::Key_Backtab)
                return true;
            break;
        }
        default:
            break;
        }
    }
    return Form::eventFilter(watched, event);
}

qint32 frmViewPaper::shownPaperNumber() const
{
    bool ok = false;
    const qint32 id = detailText(6).trimmed().toInt(&ok);
    return ok ? id : 0;
}

// ---- Saving the details ----

void frmViewPaper::txtDetails_LostFocus(int index)
{
    const QString text = detailText(index);
    // An emptied box never clears what is stored.
    if (text.isEmpty())
        return;
    QString field;
    switch (index) {
    case 1:
        field = QStringLiteral("Year");
        break;
    case 2:
        field = QStringLiteral("Summary");
        break;
    case 3:
        field = QStringLiteral("Rating");
        break;
    case 4:
        field = QStringLiteral("Status");
        break;
    case 7:
        field = QStringLiteral("Publication Name");
        break;
    default:
        return; // the title is stored by "Add"; quotations by their own "Add"
    }
    try {
        db::Recordset& rs = globals().rsPapers;
        openQuery(rs, paperQuery(currentPaperID));
        // Passing through a box without changing it writes nothing (and waits for no disk).
        if (rs.RecordCount() > 0 && !rs.Fields(field).isNull() && rs.Fields(field).text() == text)
            return;
        // Titles stay as they are: the paper lines need not be read again.
        writePapers(
            [&] {
                rs.Edit();
                rs.Fields(field) = text;
                rs.Update();
            },
            [](QStringList&) { return false; });
    } catch (const db::DbError& e) {
        // The row keeps its value and the box what was typed, so that it can be mended.
        services::MsgBox(QStringLiteral("Error found : ") + e.description());
    }
}

void frmViewPaper::cmbPublication_LostFocus()
{
    const QString text = cmbPublication->currentText();
    // Only an entry of the list is stored, never typed text.
    if (text.isEmpty() ||
        cmbPublication->findText(text, Qt::MatchExactly | Qt::MatchCaseSensitive) < 0)
        return;
    // A new paper has no row to hold it until it is added.
    if (currentPaperID < 1)
        return;
    db::Recordset& rs = globals().rsPapers;
    if (!openQuery(rs, paperQuery(currentPaperID)) ||
        rs.Fields(QStringLiteral("Publication Type")).text() == text)
        return;
    writePapers(
        [&] {
            rs.Edit();
            rs.Fields(QStringLiteral("Publication Type")) = text;
            rs.Update();
        },
        [](QStringList&) { return false; });
}

// ---- Adding papers and links ----

void frmViewPaper::cmdAddPaper_Click()
{
    if (currentPaperID >= 1)
        return; // the paper on show is stored already
    const QString title = detailText(0);
    if (title.trimmed().isEmpty()) {
        services::MsgBox(QStringLiteral("Please type the paper's title, then press Add."));
        return;
    }
    db::Recordset& rs = globals().rsPapers;
    getPaper(0); // no paper has the number 0: the table, without reading its rows
    writePapers(
        [&] {
            rs.AddNew();
            rs.Fields(QStringLiteral("Title")) = title;
            rs.Update();
            // The number of the row just stored: another paper may carry the same title.
            rs.setBookmark(rs.LastModified());
            currentPaperID = rs.Fields(QStringLiteral("Paper ID")).toLong();
        },
        [&](QStringList& lines) {
            const qsizetype at = paperLinePosition(lines, currentPaperID);
            lines.insert(at, QString::number(currentPaperID) + QStringLiteral(" : ") + title);
            return true;
        });

    lockAll(false);
    cmdAddPaper->setEnabled(false);
    setDetailText(6, QString::number(currentPaperID));
    frmMain::instance().showProjectCaption();
}

void frmViewPaper::addLink(QComboBox* combo, bool emptyTextFirst, db::Recordset& links,
                           bool (*openLinks)(qint32), const QString& linkField, QListWidget* list)
{
    const QString text = combo->currentText();
    if (emptyTextFirst && text.isEmpty())
        return;
    if (currentPaperID < 1) {
        services::MsgBox(QStringLiteral("PaperID = 0 error"), services::vbCritical);
        return;
    }
    if (text.isEmpty())
        return;
    // Only a line that begins with a number stands for a row that can be linked.
    const QString id = paper::identifierText(text);
    if (!paper::identifierOf(text))
        return;
    openLinks(currentPaperID);
    try {
        links.AddNew();
        links.Fields(QStringLiteral("Paper ID")) = QString::number(currentPaperID);
        links.Fields(linkField) = id;
        links.Update();
    } catch (const db::DbError& e) {
        if (e.number() != db::err::Duplicate)
            throw;
        services::MsgBox(QStringLiteral("This is a duplicate entry and will be ignored"));
        return;
    }
    list->addItem(text);
}

void frmViewPaper::cmdAddAuthor_Click()
{
    addLink(cmbAuthor, false, globals().rsPaperAuthors, getPaperAuthors,
            QStringLiteral("Author ID"), lstAuthors);
}

void frmViewPaper::cmdAddKeyword_Click()
{
    addLink(cmbKeywords, true, globals().rsPaperKeywords, getPaperKeywords,
            QStringLiteral("Keywords ID"), lstKeywords);
}

void frmViewPaper::cmdAddModel_Click()
{
    addLink(cmbModels, false, globals().rsPaperModels, getPaperModels, QStringLiteral("Model ID"),
            lstModels);
}

void frmViewPaper::cmdAddReferencedWork_Click()
{
    addLink(cmbReferencedWork, false, globals().rsPaperReferences, getPaperReferences,
            QStringLiteral("Reference ID"), lstReferencedWork);
}

// ---- Quotations and the reference ----

void frmViewPaper::cmdAddStatements_Click()
{
    const QString typed = detailText(5);
    if (typed.isEmpty())
        return;
    const QString statement = typed.trimmed();
    if (statement.isEmpty())
        return; // blanks alone are no quotation
    if (currentPaperID < 1) {
        services::MsgBox(QStringLiteral("PaperID = 0 error"), services::vbCritical);
        return;
    }
    db::Recordset& rs = globals().rsPaperStatements;
    getPaperStatements(currentPaperID);
    rs.AddNew();
    rs.Fields(QStringLiteral("Paper ID")) = QString::number(currentPaperID);
    rs.Fields(QStringLiteral("Statement")) = statement;
    rs.Update();
    // The number of the row just stored: the same quotation may be stored already.
    rs.setBookmark(rs.LastModified());
    lstStatements->addItem(rs.Fields(QStringLiteral("Statements ID")).text() +
                           QStringLiteral(" : ") + statement);
    setDetailText(5, QString());
}

void frmViewPaper::lstStatements_Click(QListWidgetItem* item)
{
    if (!item)
        return;
    QStringList authorLines;
    for (int i = 0; i < lstAuthors->count(); ++i)
        authorLines << lstAuthors->item(i)->text();
    if (!authorLines.isEmpty())
        lstAuthors->setCurrentRow(authorLines.size() == 2 ? 1 : 0);
    const QString line = item->text();
    const QString text =
        paper::quotationSentence(authorLines, detailText(1), paper::statementOfLine(line));
    setDetailText(5, line);
    services::clipboardClear();
    services::clipboardSetText(text);
}

void frmViewPaper::cmdCopyReference_Click()
{
    Globals& g = globals();
    QStringList authors;
    getPaperAuthors(shownPaperNumber());
    forEachRow(g.rsPaperAuthors, [&] {
        // An author whose row is gone adds nothing; the others are still listed.
        if (const auto id = linkedId(g.rsPaperAuthors, QStringLiteral("Author ID"))) {
            if (getAuthor(*id))
                authors << paper::referenceAuthor(
                    g.rsAuthors.Fields(QStringLiteral("Surname")).text(),
                    g.rsAuthors.Fields(QStringLiteral("Forenames")).text());
        }
    });
    const QString text = paper::referenceText(authors, detailText(0), detailText(7), detailText(1));
    services::clipboardClear();
    services::clipboardSetText(text);
}

// ---- Moving between papers, leaving, deleting ----

void frmViewPaper::jumpToListedPaper(QListWidgetItem* item)
{
    if (!item)
        return;
    const auto paperId = paper::identifierOf(item->text());
    if (!paperId)
        return;
    globals().previousPaperID = shownPaperNumber();
    hideForm();
    placeByPositionForm();
    populate(*paperId);
}

void frmViewPaper::cmdBackToPrevious_Click()
{
    std::swap(currentPaperID, globals().previousPaperID);
    hideForm();
    placeByPositionForm();
    populate(currentPaperID);
}

void frmViewPaper::cmdBack_Click()
{
    Globals& g = globals();
    hideForm();
    if (g.previousPaperID == -100) {
        windows::returnToReport();
        g.previousPaperID = 0;
    } else {
        windows::returnToSearch();
    }
}

void frmViewPaper::cmdDeletePaper_Click()
{
    if (currentPaperID < 1)
        return;
    if (services::MsgBox(QStringLiteral("Are you sure you wish to delete this Paper?"),
                         services::vbYesNo, QStringLiteral("Warning")) != services::vbYes)
        return;
    writePapers([this] { deletePaperRows(); },
                [this](QStringList& lines) {
                    const qsizetype at = paperLinePosition(lines, currentPaperID);
                    if (at < lines.size() && paper::identifierOf(lines[at]) == currentPaperID)
                        lines.removeAt(at);
                    return true;
                });
    windows::unloadSearch();
    hideForm();
    frmMain::instance().showProjectCaption();
    windows::openSearch();
}

void frmViewPaper::deletePaperRows()
{
    Globals& g = globals();
    // The paper goes with all its link rows and quotations, or nothing goes.
    db::Transaction transaction(project());
    if (getPaper(currentPaperID))
        g.rsPapers.Delete();
    const auto deleteRows = [this](bool (*open)(qint32), db::Recordset& rs) {
        if (!open(currentPaperID))
            return;
        const int count = rs.RecordCount();
        for (int i = 0; i < count; ++i) {
            rs.Delete();
            rs.MoveNext();
        }
    };
    deleteRows(getPaperAuthors, g.rsPaperAuthors);
    deleteRows(getPaperKeywords, g.rsPaperKeywords);
    deleteRows(getPaperModels, g.rsPaperModels);
    deleteRows(getPaperReferences, g.rsPaperReferences);
    deleteRows(getPaperStatements, g.rsPaperStatements);
    transaction.commit();
}

} // namespace quirelle
