// The hours chart.
#include "timekeeping/frmhourschart.h"

#include "app/picturefile.h"
#include "app/services.h"
#include "app/windows.h"

#include <QHBoxLayout>
#include <QHelpEvent>
#include <QPainter>
#include <QPushButton>
#include <QScrollArea>
#include <QToolTip>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

namespace quirelle {

namespace {

using hours::Amount;
using Units = Amount::Units;

constexpr double Margin = 12;
constexpr double LabelGap = 10;
constexpr QRgb barColour = 0xff4682b4;
constexpr QRgb gridColour = 0xffdcdcdc;

QString entriesText(int n)
{
    return n == 1 ? QStringLiteral("1 entry") : QStringLiteral("%1 entries").arg(n);
}

Units floorDiv(Units a, Units b)
{
    const Units q = a / b;
    return (a % b != 0 && a < 0) ? q - 1 : q;
}

Units ceilDiv(Units a, Units b)
{
    const Units q = a / b;
    return (a % b != 0 && a > 0) ? q + 1 : q;
}

// Ticks 1, 2 or 5 times a power of ten apart, about five across the range, from a tick at or
// below `low` to one at or above `high`; exact, so that every label is.
std::vector<Amount> axisTicks(Units low, Units high)
{
    if (high <= low)
        high = low + Amount::UnitsPerHour;
    const long double wanted = (static_cast<long double>(high) - low) / 5;
    // A power of ten above any span the units can hold ends the search at the latest.
    Units step = 0;
    for (Units decade = 1; step == 0;) {
        for (int factor : {1, 2, 5}) {
            Units candidate = 0;
            if (!__builtin_mul_overflow(decade, factor, &candidate) &&
                static_cast<long double>(candidate) >= wanted) {
                step = candidate;
                break;
            }
        }
        if (step == 0 && __builtin_mul_overflow(decade, 10, &decade))
            step = static_cast<Units>(1) << 125;
    }
    std::vector<Amount> ticks;
    for (Units k = floorDiv(low, step); k <= ceilDiv(high, step); ++k) {
        Units value = 0;
        if (!__builtin_mul_overflow(k, step, &value))
            ticks.push_back(Amount::fromUnits(value));
    }
    return ticks;
}

QFont titleFont(QFont font)
{
    font.setBold(true);
    font.setPointSizeF(font.pointSizeF() * 1.25);
    return font;
}

} // namespace

struct HoursChart::Geometry
{
    QRectF plot; // the bars' area: across, the axis from its first tick to its last
    double rowHeight = 0;
    double labelLeft = 0;
    double labelWidth = 0;
};

HoursChart::HoursChart(QWidget* parent) : QWidget(parent)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMinimumWidth(360);
}

void HoursChart::setTotals(const std::vector<hours::SubjectTotal>& totals)
{
    std::vector<hours::SubjectTotal> sorted = totals;
    // The most hours first; ties in the order of their subjects' names.
    std::stable_sort(sorted.begin(), sorted.end(), [](const auto& a, const auto& b) {
        if (a.hours.isOutOfRange() != b.hours.isOutOfRange())
            return a.hours.isOutOfRange();
        if (a.hours.units() != b.hours.units())
            return a.hours.units() > b.hours.units();
        return a.subject.localeAwareCompare(b.subject) < 0;
    });

    m_bars.clear();
    Units low = 0;
    Units high = 0;
    for (const hours::SubjectTotal& t : sorted) {
        Bar bar{t.subject, t.hours, hours::format(t.hours), {}};
        bar.toolTip = t.subject + QStringLiteral(": ") + bar.value +
                      (t.hours.isOutOfRange() ? QString() : QStringLiteral(" hours")) +
                      QStringLiteral(" (") + entriesText(t.entries) + QLatin1Char(')');
        if (t.skipped > 0)
            bar.toolTip += QStringLiteral("; ") + entriesText(t.skipped) +
                           QStringLiteral(" left out, not a number");
        if (!t.hours.isOutOfRange()) {
            low = std::min(low, t.hours.units());
            high = std::max(high, t.hours.units());
        }
        m_bars.push_back(std::move(bar));
    }
    m_total = hours::grandTotal(totals);
    m_ticks = axisTicks(low, high);
    m_axisLabels.clear();
    for (const Amount& tick : m_ticks)
        m_axisLabels << hours::format(tick);

    setMinimumHeight(requiredHeight());
    updateGeometry();
    update();
}

QString HoursChart::title() const
{
    if (m_bars.empty())
        return QStringLiteral("Hours logged by subject");
    return QStringLiteral("Hours logged by subject: ") + hours::format(m_total) +
           QStringLiteral(" in all");
}

QString HoursChart::message() const
{
    return m_bars.empty() ? QStringLiteral("No hours logged yet") : QString();
}

HoursChart::Geometry HoursChart::geometry(const QFontMetricsF& metrics, QSizeF size) const
{
    Geometry g;
    g.rowHeight = std::max(metrics.height() + 8, 22.0);
    double subjects = 0;
    double values = 0;
    for (const Bar& bar : m_bars) {
        subjects = std::max(subjects, metrics.horizontalAdvance(bar.subject));
        values = std::max(values, metrics.horizontalAdvance(bar.value));
    }
    g.labelLeft = Margin;
    g.labelWidth = std::min(subjects, size.width() * 0.35);
    const double left = Margin + g.labelWidth + LabelGap;
    const double right = std::max(left + 40, size.width() - Margin - values - LabelGap);
    const double top = Margin + metrics.height() * 1.6 + 6;
    g.plot = QRectF(left, top, right - left, g.rowHeight * static_cast<double>(m_bars.size()));
    return g;
}

int HoursChart::requiredHeight() const
{
    const QFontMetricsF metrics(font());
    const Geometry g = geometry(metrics, QSizeF(width(), 0));
    return static_cast<int>(std::ceil(g.plot.bottom() + 6 + metrics.height() + Margin));
}

QSize HoursChart::sizeHint() const
{
    return {560, requiredHeight()};
}

double HoursChart::xOf(const Geometry& g, double hours) const
{
    const double low = m_ticks.front().toDouble();
    const double high = m_ticks.back().toDouble();
    return g.plot.left() + (hours - low) / (high - low) * g.plot.width();
}

QRectF HoursChart::barRect(int index) const
{
    if (index < 0 || index >= static_cast<int>(m_bars.size()))
        return {};
    const Bar& bar = m_bars[static_cast<size_t>(index)];
    if (bar.hours.isOutOfRange() || bar.hours.units() == 0)
        return {};
    const Geometry g = geometry(QFontMetricsF(font()), size());
    const double zero = xOf(g, 0);
    const double end = xOf(g, bar.hours.toDouble());
    const double top = g.plot.top() + g.rowHeight * index + 3;
    return QRectF(QPointF(std::min(zero, end), top),
                  QPointF(std::max(zero, end), top + g.rowHeight - 6));
}

void HoursChart::paintChart(QPainter& painter, QSize size) const
{
    painter.save();
    painter.fillRect(QRect(QPoint(0, 0), size), Qt::white);
    painter.setPen(Qt::black);

    const QFont base = font();
    painter.setFont(titleFont(base));
    const QFontMetricsF titleMetrics(painter.font(), painter.device());
    painter.drawText(QPointF(Margin, Margin + titleMetrics.ascent()), title());
    painter.setFont(base);
    const QFontMetricsF metrics(base, painter.device());

    if (m_bars.empty()) {
        painter.drawText(QRectF(QPointF(0, 0), size), Qt::AlignCenter, message());
        painter.restore();
        return;
    }

    const Geometry g = geometry(metrics, size);
    const double axisY = g.plot.bottom();

    // Grid lines and the values along the axis; a label that would run into the one before it
    // is left out.
    double lastLabelRight = -1e9;
    for (size_t i = 0; i < m_ticks.size(); ++i) {
        const double x = xOf(g, m_ticks[i].toDouble());
        painter.setPen(m_ticks[i].units() == 0 ? QColor(Qt::darkGray) : QColor(gridColour));
        painter.drawLine(QPointF(x, g.plot.top()), QPointF(x, axisY));
        const QString label = m_axisLabels[static_cast<int>(i)];
        const double w = metrics.horizontalAdvance(label);
        if (x - w / 2 > lastLabelRight + 6) {
            painter.setPen(Qt::black);
            painter.drawText(QPointF(x - w / 2, axisY + 4 + metrics.ascent()), label);
            lastLabelRight = x + w / 2;
        }
    }
    painter.setPen(Qt::black);
    painter.drawLine(QPointF(g.plot.left(), axisY), QPointF(g.plot.right(), axisY));

    const double zero = xOf(g, 0);
    for (size_t i = 0; i < m_bars.size(); ++i) {
        const Bar& bar = m_bars[i];
        const double top = g.plot.top() + g.rowHeight * static_cast<double>(i);
        const QRectF row(g.labelLeft, top, g.labelWidth, g.rowHeight);
        painter.setPen(Qt::black);
        painter.drawText(row, Qt::AlignVCenter | Qt::AlignLeft,
                         metrics.elidedText(bar.subject, Qt::ElideRight, g.labelWidth));
        double valueLeft = zero + 4;
        if (!bar.hours.isOutOfRange()) {
            const double end = xOf(g, bar.hours.toDouble());
            const QRectF rect(QPointF(std::min(zero, end), top + 3),
                              QPointF(std::max(zero, end), top + g.rowHeight - 3));
            painter.fillRect(rect, QColor(barColour));
            valueLeft = std::max(zero, end) + 4;
        }
        painter.drawText(QRectF(valueLeft, top, size.width() - valueLeft, g.rowHeight),
                         Qt::AlignVCenter | Qt::AlignLeft, bar.value);
    }
    painter.restore();
}

void HoursChart::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    paintChart(painter, size());
}

bool HoursChart::event(QEvent* event)
{
    if (event->type() != QEvent::ToolTip)
        return QWidget::event(event);
    auto* help = static_cast<QHelpEvent*>(event);
    const Geometry g = geometry(QFontMetricsF(font()), size());
    const double y = help->pos().y();
    if (!m_bars.empty() && y >= g.plot.top() && y < g.plot.bottom()) {
        const int index = static_cast<int>((y - g.plot.top()) / g.rowHeight);
        if (index >= 0 && index < static_cast<int>(m_bars.size())) {
            QToolTip::showText(help->globalPos(), m_bars[static_cast<size_t>(index)].toolTip, this);
            return true;
        }
    }
    QToolTip::hideText();
    event->ignore();
    return true;
}

frmHoursChart::frmHoursChart() : Form(QStringLiteral("frmHoursChart"), 9000, 6300)
{
    setCaption(QStringLiteral("Hours Chart"));
    auto* layout = new QVBoxLayout(this);
    scrChart = new QScrollArea(this);
    scrChart->setObjectName(QStringLiteral("scrChart"));
    scrChart->setWidgetResizable(true);
    chartHours = new HoursChart(scrChart);
    chartHours->setObjectName(QStringLiteral("chartHours"));
    scrChart->setWidget(chartHours);

    cmdBack = new QPushButton(QStringLiteral("Back"), this);
    cmdBack->setObjectName(QStringLiteral("cmdBack"));
    cmdSavePicture = new QPushButton(QStringLiteral("Save Picture..."), this);
    cmdSavePicture->setObjectName(QStringLiteral("cmdSavePicture"));
    auto* buttons = new QHBoxLayout();
    buttons->addWidget(cmdBack);
    buttons->addWidget(cmdSavePicture);
    buttons->addStretch(1);
    layout->addWidget(scrChart, 1);
    layout->addLayout(buttons);

    QObject::connect(cmdBack, &QPushButton::clicked, this,
                     [this] { services::guarded([this] { hideForm(); }); });
    QObject::connect(cmdSavePicture, &QPushButton::clicked, this,
                     [this] { services::guarded([this] { cmdSavePicture_Click(); }); });
}

void frmHoursChart::Form_Load()
{
    placeByPositionForm();
}

void frmHoursChart::populate()
{
    chartHours->setTotals(hours::readSubjectTotals());
    // An empty log leaves nothing worth a picture.
    cmdSavePicture->setEnabled(!chartHours->bars().empty());
    showForm();
}

void frmHoursChart::cmdSavePicture_Click()
{
    // As wide as on the screen, no taller than the bars need.
    const QSize size(chartHours->width(), chartHours->sizeHint().height());
    pictures::saveWithDialog(size, chartHours->title(), [this, size](QPainter& painter) {
        chartHours->paintChart(painter, size);
    });
}

void windows::openHoursChart()
{
    frmHoursChart::instance().populate();
}

} // namespace quirelle
