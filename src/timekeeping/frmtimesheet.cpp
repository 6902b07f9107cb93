// The time sheet.
#include "timekeeping/frmtimesheet.h"

#include "app/listviews.h"
#include "app/services.h"
#include "app/windows.h"
#include "timekeeping/data/hourtotals.h"

#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

namespace quirelle {

frmTimeSheet::frmTimeSheet() : Form(QStringLiteral("frmTimeSheet"), 4500, 4200)
{
    setCaption(QStringLiteral("Time Sheet"));
    auto* layout = new QVBoxLayout(this);
    lstTimesheet = makeList(this, QStringLiteral("lstTimesheet"), QString());
    cmdBack = new QPushButton(QStringLiteral("Back"), this);
    cmdBack->setObjectName(QStringLiteral("cmdBack"));
    layout->addWidget(lstTimesheet);
    layout->addWidget(cmdBack, 0, Qt::AlignLeft);
    QObject::connect(cmdBack, &QPushButton::clicked, this,
                     [this] { services::guarded([this] { hideForm(); }); });
}

void frmTimeSheet::Form_Load()
{
    placeByPositionForm();
}

void frmTimeSheet::populate()
{
    // Entries that are not a number (hours typed freely) are left out of their subject's total;
    // a total too large to hold exactly says so rather than show a wrong number.
    const std::vector<hours::SubjectTotal> totals = hours::readSubjectTotals();
    lstTimesheet->clear();
    if (totals.empty())
        return;
    for (const hours::SubjectTotal& total : totals)
        lstTimesheet->addItem(hours::sheetLine(total));
    showForm();
}

void windows::openTimeSheet()
{
    frmTimeSheet::instance().populate();
}

} // namespace quirelle
