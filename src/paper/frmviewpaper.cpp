// The paper window's steps: the hand-over, populate, saving the details, adding papers, links
// and quotations, the copies to the clipboard, moving between papers and deleting a paper.
#include "paper/frmviewpaper.h"

#include "app/services.h"
#include "app/textboxes.h"
#include "db/dberror.h"
#include "db/listline.h"
#include "db/project.h"
#include "paper/data/paperqueries.h"
#include "paper/data/papertext.h"
#include "paper/fieldstab.h"
#include "paper/filestab.h"
#include "paper/linkgroup.h"

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTabWidget>

#include <map>

namespace quirelle {

namespace {

// The fields the detail boxes save, by box; the others save nothing (the title is stored by
// "Add", a quotation by its own "Add", and the paper's number is not for typing).
// What the user is told when someone else saved a detail while it was shown here.
QString changedMeanwhile(const QString& theirs)
{
    return QStringLiteral("Someone else changed this detail while it was shown here, so what you "
                          "typed was not stored. It now reads:\n\n%1\n\nYour text is still in "
                          "the box: leave the box again to store it instead.")
        .arg(theirs.isEmpty() ? QStringLiteral("(nothing)") : theirs);
}

QString fieldOfBox(int index)
{
    switch (index) {
    case 1:
        return QStringLiteral("Year");
    case 2:
        return QStringLiteral("Summary");
    case 3:
        return QStringLiteral("Rating");
    case 4:
        return QStringLiteral("Status");
    case 7:
        return QStringLiteral("Publication Name");
    default:
        return {};
    }
}

constexpr qint32 OpenedFromReport = -100;

} // namespace

// What the window shows of a stored paper, all read before a control changes.
struct frmViewPaper::StoredPaper
{
    bool found = false;
    std::map<QString, QString> details; // by field; a Null field is left out
    paper::LinkLines links;
    QStringList otherWorks;
    QStringList citations;
    std::vector<paper::PaperFile> files;
    std::vector<paper::ExtraField> fields;
};

frmViewPaper::frmViewPaper()
    : Form(QStringLiteral("frmViewPaper"), 11760, 8460, Placement::Child, Panel::Disables)
    , m_comboLines{
          paper::ComboCache(QStringLiteral("Authors"),
                            QStringLiteral("select [Author ID], [Surname], [Forenames] from "
                                           "[Authors] order by [Surname], [Author ID];")),
          paper::ComboCache(QStringLiteral("Keywords"),
                            QStringLiteral("select [Keyword ID], [Keyword] from [Keywords] "
                                           "order by [Keyword], [Keyword ID];")),
          paper::ComboCache(QStringLiteral("Models"),
                            QStringLiteral("select [Model ID], [Model] from [Models] order by "
                                           "[Model], [Model ID];")),
          paper::ComboCache(QStringLiteral("Papers"),
                            QStringLiteral("select [Paper ID], [Title] from [papers] order by "
                                           "[Paper ID];"))}
{
    setCaption(QStringLiteral("Article Contents"));
    buildControls();
    connectHandlers();
}

frmViewPaper::~frmViewPaper() = default;

void frmViewPaper::Form_Load()
{
    placeByPositionForm();
}

// ---- Opening the window ----

void frmViewPaper::open(qint32 paperId, windows::PaperOrigin origin)
{
    using windows::PaperOrigin;
    switch (origin) {
    case PaperOrigin::NewPaper:
        lockAll(true);
        cmdAddPaper->setEnabled(true);
        populate(0);
        return;
    case PaperOrigin::Report: {
        const StoredPaper stored = readPaper(paperId);
        m_previousPaperID = OpenedFromReport; // "Back" returns to the report
        placeByPositionForm();
        showPaper(paperId, stored);
        return;
    }
    case PaperOrigin::Search:
    case PaperOrigin::TitlePick: {
        const StoredPaper stored = readPaper(paperId);
        placeByPositionForm();
        cmdAddPaper->setEnabled(false);
        showPaper(paperId, stored);
        if (origin == PaperOrigin::Search)
            SSTab1->setCurrentIndex(4); // "Summary"
        return;
    }
    }
}

void windows::openPaper(qint32 paperId, PaperOrigin origin)
{
    frmViewPaper::instance().open(paperId, origin);
}

void windows::paperFilesChanged()
{
    if (frmViewPaper::isLoaded())
        frmViewPaper::instance().m_files->refresh();
}

// ---- Showing a paper ----

void frmViewPaper::populate(qint32 paperIDIn)
{
    showPaper(paperIDIn, readPaper(paperIDIn));
}

frmViewPaper::StoredPaper frmViewPaper::readPaper(qint32 paperId, bool storeTypedFirst)
{
    // What was typed into a box of the paper on show belongs to that paper: store it before
    // any paper is read, so that showing the same paper again shows it.
    if (QWidget* focused = QApplication::focusWidget();
        storeTypedFirst && focused && isAncestorOf(focused))
        commitFocusedBox();
    StoredPaper stored;
    if (paperId < 1)
        return stored;
    // Everything of the paper under one read: on a server, one transaction instead of one for
    // each list.
    db::ReadTransaction reading(project().db());
    db::Recordset rs;
    stored.found = paper::openPaper(paperId, rs);
    if (!stored.found)
        return stored;
    for (const char* name : {"Title", "Year", "Summary", "Rating", "Status", "Publication Name",
                             "Paper ID", "Publication Type"}) {
        const db::Field f = rs.Fields(QString::fromLatin1(name));
        if (!f.isNull())
            stored.details[QString::fromLatin1(name)] = f.text();
    }
    stored.links = paper::linkLines(paperId);
    // The lists of a paper go by the number it shows.
    const qint32 shown = stored.details[QStringLiteral("Paper ID")].trimmed().toInt();
    stored.otherWorks = paper::otherWorks(paperId, shown);
    stored.citations = paper::citations(shown);
    stored.files = FilesTab::read(paperId);
    stored.fields = FieldsTab::read(paperId);
    return stored;
}

void frmViewPaper::showPaper(qint32 paperIDIn, const StoredPaper& stored)
{
    m_currentPaperID = paperIDIn;
    // "Add" stores a new paper; offered for an existing one it would store it a second time.
    cmdAddPaper->setEnabled(paperIDIn < 1);
    clearAll();
    // The combo boxes read their lines when the user first opens or types into them.
    for (const auto& group : m_links)
        group->combo->reset();

    if (m_currentPaperID < 1) {
        lockAll(true);
    } else {
        lockAll(false);
        if (!stored.found) {
            services::MsgBox(QStringLiteral("Could not locate Paper error"),
                             services::Icon::Critical);
            hideForm();
            windows::returnToSearch();
            return;
        }
        fillDetails(stored);
        fillLinkLists(stored);
    }
    m_files->showFiles(m_currentPaperID, stored.files);
    m_fields->showFields(m_currentPaperID, stored.fields);

    if (isShown())
        txtDetails[0]->setFocus();
    else
        showForm();

    // A new paper has no citations or other works; both lists keep what they showed.
    if (paperIDIn < 1)
        return;
    lstOtherArticles->clear();
    lstOtherArticles->addItems(stored.otherWorks);
    lstCitations->clear();
    lstCitations->addItems(stored.citations);
    cmdBackToPrevious->setEnabled(m_previousPaperID > 0);
    showForm();
}

void frmViewPaper::changedElsewhere()
{
    if (m_currentPaperID < 1)
        return;
    const StoredPaper stored = readPaper(m_currentPaperID, false);
    // A paper deleted elsewhere stays on show: whatever is asked for it is refused and said.
    if (!stored.found)
        return;
    QWidget* focused = QApplication::focusWidget();
    const auto inUse = [focused](const QWidget* w) {
        return focused && (focused == w || w->isAncestorOf(focused));
    };
    const auto storedText = [&stored](const QString& field) {
        const auto it = stored.details.find(field);
        return it == stored.details.end() ? QString() : it->second;
    };
    // A box shows the stored value unless the user is in it or has typed into it: what is
    // typed stays, and saving it then says that the value changed meanwhile.
    for (int index : {1, 2, 3, 4, 7}) {
        QString& shown = m_shownDetails[static_cast<size_t>(index)];
        QWidget* box = txtDetails[static_cast<size_t>(index)];
        if (inUse(box) || detailText(index) != shown)
            continue;
        shown = storedText(fieldOfBox(index));
        setDetailText(index, shown);
    }
    if (!inUse(txtDetails[0]))
        setDetailText(0, storedText(QStringLiteral("Title")));
    if (!inUse(cmbPublication) && cmbPublication->currentText() == m_shownPublicationType) {
        m_shownPublicationType = storedText(QStringLiteral("Publication Type"));
        cmbPublication->setCurrentIndex(cmbPublication->findText(
            m_shownPublicationType, Qt::MatchExactly | Qt::MatchCaseSensitive));
        cmbPublication->setEditText(m_shownPublicationType);
    }
    const auto refill = [](QListWidget* list, const QStringList& lines) {
        QStringList shownLines;
        for (int i = 0; i < list->count(); ++i)
            shownLines << list->item(i)->text();
        if (lines == shownLines)
            return;
        const int row = list->currentRow();
        list->clear();
        list->addItems(lines);
        list->setCurrentRow(std::min(row, static_cast<int>(list->count()) - 1));
    };
    refill(m_links[Authors]->list, stored.links.authors);
    refill(m_links[Keywords]->list, stored.links.keywords);
    refill(m_links[Models]->list, stored.links.models);
    refill(m_links[References]->list, stored.links.references);
    refill(lstStatements, stored.links.statements);
    refill(lstOtherArticles, stored.otherWorks);
    refill(lstCitations, stored.citations);
}

void frmViewPaper::lockAll(bool flag)
{
    for (const auto& group : m_links)
        group->combo->setLocked(flag);
    for (int i = 1; i <= 5; ++i)
        setBoxReadOnly(txtDetails[static_cast<size_t>(i)], flag);
    cmdDeletePaper->setEnabled(!flag);
    cmdCopyReference->setEnabled(!flag);
    cmdCiteAs->setEnabled(!flag);
    cmdBackToPrevious->setEnabled(m_previousPaperID > 0);
}

void frmViewPaper::clearAll()
{
    for (int group : {Authors, Models, Keywords, References})
        m_links[static_cast<size_t>(group)]->list->clear();
    lstStatements->clear();
    for (int i = 0; i <= 7; ++i)
        setDetailText(i, QString());
    m_shownDetails.fill(QString());
    m_links[References]->combo->reset();
    cmbPublication->setCurrentIndex(-1);
    cmbPublication->setEditText(QString());
    m_shownPublicationType.clear();
}

void frmViewPaper::fillDetails(const StoredPaper& stored)
{
    const auto show = [&stored](const QString& field, auto&& to) {
        if (const auto it = stored.details.find(field); it != stored.details.end())
            to(it->second);
    };
    show(QStringLiteral("Title"), [this](const QString& t) { setDetailText(0, t); });
    for (int index : {1, 2, 3, 4, 7}) {
        show(fieldOfBox(index), [&](const QString& t) {
            setDetailText(index, t);
            m_shownDetails[static_cast<size_t>(index)] = t;
        });
    }
    show(QStringLiteral("Paper ID"), [this](const QString& t) { setDetailText(6, t); });
    show(QStringLiteral("Publication Type"), [this](const QString& t) {
        const int at = cmbPublication->findText(t, Qt::MatchExactly | Qt::MatchCaseSensitive);
        cmbPublication->setCurrentIndex(at);
        cmbPublication->setEditText(t);
        m_shownPublicationType = t;
    });
}

void frmViewPaper::fillLinkLists(const StoredPaper& stored)
{
    const paper::LinkLines& lines = stored.links;
    m_links[Authors]->list->addItems(lines.authors);
    m_links[Keywords]->list->addItems(lines.keywords);
    m_links[Models]->list->addItems(lines.models);
    m_links[References]->list->addItems(lines.references);
    lstStatements->addItems(lines.statements);
}

QString frmViewPaper::detailText(int index) const
{
    return boxText(txtDetails[static_cast<size_t>(index)]);
}

void frmViewPaper::setDetailText(int index, const QString& text)
{
    setBoxText(txtDetails[static_cast<size_t>(index)], text);
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
    const QString field = fieldOfBox(index);
    // An emptied box never clears what is stored, and a box the user only passed through
    // writes nothing.
    if (text.isEmpty() || field.isEmpty() || text == m_shownDetails[static_cast<size_t>(index)])
        return;
    QString& shown = m_shownDetails[static_cast<size_t>(index)];
    try {
        const paper::SavedDetail saved = paper::saveDetail(m_currentPaperID, field, text, shown);
        if (saved.outcome == paper::SavedDetail::NoPaper)
            throw db::DbError(db::err::NoCurrentRecord, QStringLiteral("No current record."));
        if (saved.outcome == paper::SavedDetail::ChangedMeanwhile) {
            // Their value is what the box stands for now: leaving it again stores the typed text
            // over it, knowingly.
            shown = saved.stored;
            services::MsgBox(changedMeanwhile(saved.stored));
            return;
        }
        shown = saved.stored;
    } catch (const db::DbError& e) {
        // The row keeps its value and the box what was typed, so that it can be mended.
        services::MsgBox(QStringLiteral("Error found : ") + e.description());
    }
}

void frmViewPaper::cmbPublication_LostFocus()
{
    const QString text = cmbPublication->currentText();
    // Only an entry chosen from the list is stored, never typed text.
    const int chosen = cmbPublication->currentIndex();
    if (text.isEmpty() || chosen < 0 || cmbPublication->itemText(chosen) != text)
        return;
    // A new paper has no row to hold it until it is added.
    if (m_currentPaperID < 1 || text == m_shownPublicationType)
        return;
    try {
        const paper::SavedDetail saved = paper::saveDetail(
            m_currentPaperID, QStringLiteral("Publication Type"), text, m_shownPublicationType);
        m_shownPublicationType = saved.stored;
        if (saved.outcome == paper::SavedDetail::ChangedMeanwhile)
            services::MsgBox(changedMeanwhile(saved.stored));
    } catch (const db::DbError& e) {
        services::MsgBox(QStringLiteral("Error found : ") + e.description());
    }
}

// ---- Adding papers and links ----

void frmViewPaper::cmdAddPaper_Click()
{
    if (m_currentPaperID >= 1)
        return; // the paper on show is stored already
    const QString title = detailText(0);
    if (title.trimmed().isEmpty()) {
        services::MsgBox(QStringLiteral("Please type the paper's title, then press Add."));
        return;
    }
    m_comboLines[References].writeThrough(
        project().db(), [&] { m_currentPaperID = paper::addPaper(title); },
        [&](QStringList& lines) {
            lines.insert(paper::paperLinePosition(lines, m_currentPaperID),
                         ListLine::format(m_currentPaperID, title));
        });

    lockAll(false);
    cmdAddPaper->setEnabled(false);
    setDetailText(6, QString::number(m_currentPaperID));
    m_files->showFiles(m_currentPaperID, {});
    m_fields->showFields(m_currentPaperID, {});
    frame().showProjectCaption();
}

void frmViewPaper::addLink(int group, bool emptyTextFirst)
{
    static constexpr paper::Link links[] = {paper::Link::Author, paper::Link::Keyword,
                                            paper::Link::Model, paper::Link::Reference};
    const LinkGroup& g = *m_links[static_cast<size_t>(group)];
    const QString text = g.combo->currentText();
    if (emptyTextFirst && text.isEmpty())
        return;
    if (m_currentPaperID < 1) {
        services::MsgBox(QStringLiteral("PaperID = 0 error"), services::Icon::Critical);
        return;
    }
    // Only a line that begins with a number stands for a row that can be linked.
    if (text.isEmpty() || !ListLine::idOf(text))
        return;
    try {
        paper::addLink(links[group], m_currentPaperID, ListLine::idText(text));
    } catch (const db::DbError& e) {
        if (e.number() == db::err::Duplicate)
            services::MsgBox(QStringLiteral("This is a duplicate entry and will be ignored"));
        else
            services::MsgBox(e.description(), services::Icon::Critical);
        return;
    }
    g.list->addItem(text);
}

// ---- Quotations and the reference ----

void frmViewPaper::cmdAddStatements_Click()
{
    const QString typed = detailText(5);
    const QString statement = typed.trimmed();
    if (statement.isEmpty())
        return; // blanks alone are no quotation
    if (m_currentPaperID < 1) {
        services::MsgBox(QStringLiteral("PaperID = 0 error"), services::Icon::Critical);
        return;
    }
    qint32 id = 0;
    try {
        id = paper::addQuotation(m_currentPaperID, statement);
    } catch (const db::DbError& e) {
        // Nothing was stored; the quotation stays in its box.
        services::MsgBox(e.description(), services::Icon::Critical);
        return;
    }
    lstStatements->addItem(ListLine::format(id, statement));
    setDetailText(5, QString());
}

void frmViewPaper::lstStatements_Click(QListWidgetItem* item)
{
    if (!item)
        return;
    QListWidget* authors = m_links[Authors]->list;
    QStringList authorLines;
    for (int i = 0; i < authors->count(); ++i)
        authorLines << authors->item(i)->text();
    if (!authorLines.isEmpty())
        authors->setCurrentRow(authorLines.size() == 2 ? 1 : 0);
    const QString line = item->text();
    const QString text =
        paper::quotationSentence(authorLines, detailText(1), paper::statementOfLine(line));
    setDetailText(5, line);
    services::clipboardClear();
    services::clipboardSetText(text);
}

void frmViewPaper::cmdCopyReference_Click()
{
    const QStringList authors = paper::referenceAuthors(shownPaperNumber());
    const QString text = paper::referenceText(authors, detailText(0), detailText(7), detailText(1));
    services::clipboardClear();
    services::clipboardSetText(text);
}

// ---- Moving between papers, leaving, deleting ----

void frmViewPaper::jumpToListedPaper(QListWidgetItem* item)
{
    if (!item)
        return;
    const auto paperId = ListLine::idOf(item->text());
    if (!paperId)
        return;
    const StoredPaper stored = readPaper(*paperId);
    m_previousPaperID = shownPaperNumber();
    hideForm();
    placeByPositionForm();
    showPaper(*paperId, stored);
}

void frmViewPaper::cmdBackToPrevious_Click()
{
    const StoredPaper stored = readPaper(m_previousPaperID);
    std::swap(m_currentPaperID, m_previousPaperID);
    hideForm();
    placeByPositionForm();
    showPaper(m_currentPaperID, stored);
}

void frmViewPaper::cmdBack_Click()
{
    handOver([this] {
        if (m_previousPaperID == OpenedFromReport) {
            windows::returnToReport();
            m_previousPaperID = 0;
        } else {
            windows::returnToSearch();
        }
    });
}

void frmViewPaper::cmdDeletePaper_Click()
{
    if (m_currentPaperID < 1)
        return;
    if (services::MsgBox(QStringLiteral("Are you sure you wish to delete this Paper?"),
                         services::Buttons::YesNo, services::Icon::None,
                         QStringLiteral("Warning")) != services::Answer::Yes)
        return;
    QStringList kept;
    try {
        m_comboLines[References].writeThrough(
            project().db(), [&] { kept = paper::deletePaper(m_currentPaperID); },
            [&](QStringList& lines) {
                const qsizetype at = paper::paperLinePosition(lines, m_currentPaperID);
                if (at < lines.size() && ListLine::idOf(lines[at]) == m_currentPaperID)
                    lines.removeAt(at);
            });
    } catch (const db::DbError& e) {
        // Deleted elsewhere meanwhile: nothing to delete here, and the window closes all the same.
        if (e.number() != paper::PaperGone)
            throw;
        services::MsgBox(e.description());
    }
    FilesTab::reportKept(kept);
    windows::filesChanged(); // the index forgets the files the paper had
    windows::unloadSearch();
    hideForm();
    frame().showProjectCaption();
    windows::openSearch();
}

} // namespace quirelle
