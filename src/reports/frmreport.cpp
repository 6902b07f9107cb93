// The word report window.
#include "reports/frmreport.h"

#include "app/listviews.h"
#include "app/services.h"
#include "app/windows.h"
#include "db/listline.h"
#include "db/project.h"
#include "db/sharedqueries.h"
#include "search/data/searchqueries.h"

#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>

namespace quirelle {

frmReport::frmReport()
    : Form(QStringLiteral("frmReport"), 9240, 8280, Placement::Child, Panel::DisablesUntilClosed)
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
        auto* l = makeList(fraKeyword, name, QString());
        place(l, 240, top, 8520, 1755);
        QObject::connect(l, &QListWidget::itemDoubleClicked, this, [this, l](QListWidgetItem* i) {
            services::guarded([&] { list_DblClick(l, i); });
        });
        return l;
    };

    label(3, QStringLiteral("Word:"), 420, 720);
    cmbKeyword = new WideCombo(fraKeyword);
    cmbKeyword->setObjectName(QStringLiteral("cmbKeyword"));
    cmbKeyword->setEditable(true);
    cmbKeyword->setInsertPolicy(QComboBox::NoInsert);
    // Completing as the user types would change the word behind their back.
    cmbKeyword->setCompleter(nullptr);
    place(cmbKeyword, 1080, 360, 5400, 315);
    // Enter in the word box runs "Go". The key reaches the box's text field through the combo
    // box, which passes it on without going through event filters: its signal is what tells.
    QObject::connect(cmbKeyword->lineEdit(), &QLineEdit::returnPressed, this,
                     [this] { services::guarded([this] { cmdGo_Click(); }); });
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

void frmReport::populate()
{
    QStringList keywords;
    if (db::Recordset rs; getAllKeywords(rs)) {
        const int count = rs.RecordCount();
        keywords.reserve(count);
        for (int i = 1; i <= count; ++i) {
            keywords.append(rs.Fields(QStringLiteral("keyword")).text());
            rs.MoveNext();
        }
    }
    cmbKeyword->clear();
    cmbKeyword->addItems(keywords);
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
    // Everything is read before the lists change: when the file cannot be read, the report
    // stays as it was.
    const QStringList titles = search::titleLines(word);
    const std::vector<search::QuotationHit> hits = search::quotationHits(word);
    // Only the papers of the first keyword the engine returns, as the report has always done.
    const auto keywordPapers = search::firstKeywordPapers({word, std::nullopt, std::nullopt});

    lstByPaperTitle->clear();
    lstByQuotation->clear();
    lstByKeyword->clear();
    lblDetails[1]->setText(QStringLiteral("Paper titles containing the word ") + word);
    lblDetails[0]->setText(QStringLiteral("Quotations containing the word ") + word);
    lblDetails[2]->setText(QStringLiteral("Keyword fields containing the word ") + word);
    lstByPaperTitle->addItems(titles);
    for (const search::QuotationHit& hit : hits) {
        for (const QString& paper : hit.paperLines)
            lstByQuotation->addItems({paper, QStringLiteral(" ---> ") + hit.statement});
    }
    if (keywordPapers)
        lstByKeyword->addItems(*keywordPapers);
}

void frmReport::cmdCancel_Click()
{
    closeForm();
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
    const auto id = ListLine::idOf(list->item(row)->text());
    if (!id)
        return;
    handOver([&id] { windows::openPaper(*id, windows::PaperOrigin::Report); });
}

} // namespace quirelle
