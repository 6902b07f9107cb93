// The word report window.
#include "reports/frmreport.h"

#include "app/frmmenu.h"
#include "app/services.h"
#include "app/windows.h"
#include "db/globals.h"
#include "db/sharedqueries.h"
#include "db/sqlquote.h"

#include <QComboBox>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>

namespace quirelle {

namespace {

void place(QWidget* w, int left, int top, int width, int height)
{
    w->setGeometry(toPixels(left), toPixels(top), toPixels(width), toPixels(height));
}

// "<Paper ID> : <Title>" for the current row of a record set over [Papers].
QString paperLine(db::Recordset& rs)
{
    return rs.Fields(QStringLiteral("Paper ID")).text() + QStringLiteral(" : ") +
           rs.Fields(QStringLiteral("Title")).text();
}

// A link table holds the paper's number as text. Only a number goes into the query: anything
// else cannot name a paper, and pasting it in would break (or change) the query.
std::optional<qint32> linkedPaperId(db::Recordset& link)
{
    bool ok = false;
    const qint32 id = link.Fields(QStringLiteral("Paper ID")).text().trimmed().toInt(&ok);
    return ok ? std::optional<qint32>(id) : std::nullopt;
}

// Opens the paper `id` into `rs` and adds its line (and `after`, when given) for each row.
void addPaperLines(db::Recordset& rs, qint32 id, QListWidget* list, const QString& after = {})
{
    if (!openQuery(rs, QStringLiteral("Select * from [Papers] where [Paper ID] = ") +
                           QString::number(id) + QStringLiteral(";")))
        return;
    const int count = rs.RecordCount();
    for (int i = 1; i <= count; ++i) {
        list->addItem(paperLine(rs));
        if (!after.isNull())
            list->addItem(after);
        rs.MoveNext();
    }
}

} // namespace

std::optional<qint32> paperIdOfLine(const QString& line)
{
    const qsizetype blank = line.indexOf(QLatin1Char(' '));
    const QString head = (blank < 0 ? line : line.left(blank + 1)).trimmed();
    bool ok = false;
    const qint32 id = head.toInt(&ok);
    return ok ? std::optional<qint32>(id) : std::nullopt;
}

frmReport::frmReport() : Form(QStringLiteral("frmReport"), 9240, 8280)
{
    setCaption(QStringLiteral("Report"));

    fraKeyword = new QGroupBox(QStringLiteral("Tool"), this);
    fraKeyword->setObjectName(QStringLiteral("fraKeyword"));
    place(fraKeyword, 120, 120, 9000, 7440);

    const auto label = [this](int index, const QString& caption, int top, int width = 8520) {
        auto* l = new QLabel(caption, fraKeyword);
        l->setObjectName(controlName(QStringLiteral("lblDetails"), index));
        place(l, 240, top, width, 255);
        lblDetails[static_cast<size_t>(index)] = l;
    };
    const auto list = [this](const QString& name, int top) {
        auto* l = new QListWidget(fraKeyword);
        l->setObjectName(name);
        place(l, 240, top, 8520, 1755);
        QObject::connect(l, &QListWidget::itemDoubleClicked, this, [this, l](QListWidgetItem* i) {
            services::guarded([&] { list_DblClick(l, i); });
        });
        return l;
    };

    label(3, QStringLiteral("Word:"), 420, 720);
    cmbKeyword = new QComboBox(fraKeyword);
    cmbKeyword->setObjectName(QStringLiteral("cmbKeyword"));
    cmbKeyword->setEditable(true);
    cmbKeyword->setInsertPolicy(QComboBox::NoInsert);
    // Completing as the user types would change the word behind their back.
    cmbKeyword->setCompleter(nullptr);
    place(cmbKeyword, 1080, 360, 5400, 315);
    cmbKeyword->lineEdit()->installEventFilter(this);
    cmdGo = new QPushButton(QStringLiteral("Go"), fraKeyword);
    cmdGo->setObjectName(QStringLiteral("cmdGo"));
    place(cmdGo, 6600, 330, 975, 375);

    label(1, QStringLiteral("Paper Titles"), 840);
    lstByPaperTitle = list(QStringLiteral("lstByPaperTitle"), 1095);
    label(0, QStringLiteral("Quotations"), 3000);
    lstByQuotation = list(QStringLiteral("lstByQuotation"), 3255);
    label(2, QStringLiteral("Keywords"), 5160);
    lstByKeyword = list(QStringLiteral("lstByKeyword"), 5415);

    cmdCancel = new QPushButton(QStringLiteral("Back"), this);
    cmdCancel->setObjectName(QStringLiteral("cmdCancel"));
    place(cmdCancel, 120, 7740, 975, 375);

    QObject::connect(cmdGo, &QPushButton::clicked, this,
                     [this] { services::guarded([this] { cmdGo_Click(); }); });
    QObject::connect(cmdCancel, &QPushButton::clicked, this,
                     [this] { services::guarded([this] { cmdCancel_Click(); }); });

    setTabOrder(cmbKeyword, cmdGo);
    setTabOrder(cmdGo, lstByPaperTitle);
    setTabOrder(lstByPaperTitle, lstByQuotation);
    setTabOrder(lstByQuotation, lstByKeyword);
    setTabOrder(lstByKeyword, cmdCancel);
}

void frmReport::Form_Load()
{
    placeByPositionForm();
}

void frmReport::closeRequested()
{
    // Closing the frame leaves the report as "Back" does, or the options panel stays disabled.
    cmdCancel_Click();
}

bool frmReport::eventFilter(QObject* watched, QEvent* event)
{
    // The window watches its frame from before its controls exist.
    if (cmbKeyword && watched == cmbKeyword->lineEdit() && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            services::guarded([this] { cmdGo_Click(); });
            return true;
        }
    }
    return Form::eventFilter(watched, event);
}

void frmReport::populate()
{
    frmMenu::instance().setEnabled(false);
    cmbKeyword->clear();
    Globals& g = globals();
    if (getAllKeywords()) {
        db::Recordset& rs = g.rsKeywords;
        const int count = rs.RecordCount();
        QStringList keywords;
        keywords.reserve(count);
        for (int i = 1; i <= count; ++i) {
            keywords.append(rs.Fields(QStringLiteral("keyword")).text());
            rs.MoveNext();
        }
        cmbKeyword->addItems(keywords);
    }
    // The list only offers words: the box itself starts empty.
    cmbKeyword->setCurrentIndex(-1);
    cmbKeyword->clearEditText();
    showForm();
}

void frmReport::cmdGo_Click()
{
    const QString word = cmbKeyword->currentText();
    if (word.isEmpty())
        return;
    lstByPaperTitle->clear();
    lstByQuotation->clear();
    lstByKeyword->clear();
    lblDetails[1]->setText(QStringLiteral("Paper titles containing the word ") + word);
    lblDetails[0]->setText(QStringLiteral("Quotations containing the word ") + word);
    lblDetails[2]->setText(QStringLiteral("Keyword fields containing the word ") + word);

    Globals& g = globals();
    const QString pattern = db::sqlContainsPattern(word);

    db::Recordset& titles = g.rsQuery;
    if (openQuery(titles, QStringLiteral("Select * from Papers where Title like ") + pattern +
                              QStringLiteral(";"))) {
        const int count = titles.RecordCount();
        for (int i = 1; i <= count; ++i) {
            lstByPaperTitle->addItem(paperLine(titles));
            titles.MoveNext();
        }
    }

    db::Recordset& quotations = g.rsQuery;
    if (openQuery(quotations,
                  QStringLiteral("Select * from [Paper Statements List] where Statement like ") +
                      pattern + QStringLiteral(";"))) {
        const int count = quotations.RecordCount();
        for (int i = 1; i <= count; ++i) {
            if (const auto id = linkedPaperId(quotations)) {
                addPaperLines(g.rsSubQuery, *id, lstByQuotation,
                              QStringLiteral(" ---> ") +
                                  quotations.Fields(QStringLiteral("statement")).text());
            }
            quotations.MoveNext();
        }
    }

    db::Recordset& keywords = g.rsKeywords;
    if (openQuery(keywords, QStringLiteral("select * from [Keywords] where [Keyword] like ") +
                                pattern + QStringLiteral(";"))) {
        // Only the first keyword the engine returns, as the report has always done.
        const QString keywordId = keywords.Fields(QStringLiteral("Keyword ID")).text();
        db::Recordset& links = g.rsPaperKeywords;
        if (openQuery(links,
                      QStringLiteral("select * from [Paper Keywords List] where [Keywords id] = ") +
                          keywordId + QStringLiteral(";"))) {
            const int count = links.RecordCount();
            for (int i = 1; i <= count; ++i) {
                if (const auto id = linkedPaperId(links))
                    addPaperLines(g.rsPapers, *id, lstByKeyword);
                links.MoveNext();
            }
        }
    }
}

void frmReport::cmdCancel_Click()
{
    frmMenu::instance().enableAgain();
    hideForm();
}

void frmReport::list_DblClick(QListWidget* list, QListWidgetItem* item)
{
    if (!item)
        return;
    int row = list->row(item);
    // A quotation line stands under its paper's line: open that paper.
    if (list == lstByQuotation && item->text().contains(QLatin1String("-->"))) {
        if (row == 0)
            return;
        --row;
        list->setCurrentRow(row);
    }
    const auto id = paperIdOfLine(list->item(row)->text());
    if (!id)
        return;
    hideForm();
    windows::openPaperFromReport(*id);
}

} // namespace quirelle
