// The time sheet.
#include "timekeeping/frmtimesheet.h"

#include "app/services.h"
#include "app/windows.h"
#include "db/project.h"
#include "db/sharedqueries.h"

#include <QListWidget>
#include <QLocale>
#include <QPushButton>
#include <QVBoxLayout>

#include <cmath>

namespace quirelle {

std::optional<qint64> parseHours(const QString& text)
{
    // The program stores "0.5" with a full stop; hours typed by the user may follow their own
    // number format.
    const QString t = text.trimmed();
    bool ok = false;
    double value = QLocale::c().toDouble(t, &ok);
    if (!ok)
        value = QLocale().toDouble(t, &ok);
    if (!ok || !std::isfinite(value))
        return std::nullopt;
    return static_cast<qint64>(std::llround(value * 10000.0));
}

QString formatHours(qint64 tenThousandths)
{
    const bool negative = tenThousandths < 0;
    const qint64 magnitude = negative ? -tenThousandths : tenThousandths;
    QString text = QString::number(magnitude / 10000);
    QString fraction = QStringLiteral("%1").arg(magnitude % 10000, 4, 10, QLatin1Char('0'));
    while (fraction.endsWith(QLatin1Char('0')))
        fraction.chop(1);
    if (!fraction.isEmpty())
        text += QLocale().decimalPoint() + fraction;
    return negative ? QLatin1Char('-') + text : text;
}

frmTimeSheet::frmTimeSheet() : Form(QStringLiteral("frmTimeSheet"), 4500, 4200)
{
    setCaption(QStringLiteral("Time Sheet"));
    auto* layout = new QVBoxLayout(this);
    lstTimesheet = new QListWidget(this);
    lstTimesheet->setObjectName(QStringLiteral("lstTimesheet"));
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
    Project& p = project();
    lstTimesheet->clear();
    db::Recordset& subjects = p.rsTimeManagement;
    if (!openQuery(subjects, QStringLiteral("select distinct [subject] from [Time Management];")))
        return;
    db::ReadTransaction reading(p.db());
    db::forEachRow(subjects, [&] {
        const QString subject = subjects.Fields(QStringLiteral("Subject")).text();
        db::Recordset rows = p.db().OpenRecordset(
            QStringLiteral("select * from [Time Management] where [subject] = ?"), {subject});
        if (rows.RecordCount() == 0)
            return;
        // Entries that are not a number (hours typed freely) are left out of the total.
        qint64 total = 0;
        db::forEachRow(rows, [&] {
            if (const auto hours = parseHours(rows.Fields(QStringLiteral("Time")).text()))
                total += *hours;
        });
        lstTimesheet->addItem(subject + QStringLiteral(" = ") + formatHours(total));
    });
    showForm();
}

void windows::openTimeSheet()
{
    frmTimeSheet::instance().populate();
}

} // namespace quirelle
