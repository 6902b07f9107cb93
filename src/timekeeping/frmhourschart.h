// The hours chart: a bar for each subject of the hours log, the most hours first, with the
// total in its title; the picture can be saved as PNG or SVG.
#pragma once

#include "app/form.h"
#include "timekeeping/data/hourtotals.h"

#include <vector>

class QPushButton;
class QScrollArea;

namespace quirelle {

// The chart itself, drawn with QPainter; the same drawing goes to the screen and to the files.
class HoursChart final : public QWidget
{
    Q_OBJECT

public:
    struct Bar
    {
        QString subject;
        hours::Amount hours;
        QString value;   // the hours as written at the bar's end
        QString toolTip; // the subject, its hours and its entries
    };

    explicit HoursChart(QWidget* parent = nullptr);

    // Shows these totals, the most hours first (a total out of range before all others).
    void setTotals(const std::vector<hours::SubjectTotal>& totals);

    const std::vector<Bar>& bars() const { return m_bars; }
    QString title() const;
    // What the chart says in place of bars: "No hours logged yet" for an empty log.
    QString message() const;
    // The values written along the hours axis, left to right.
    QStringList axisLabels() const { return m_axisLabels; }
    // Where bar `index` is drawn in this widget (empty for a bar of no length).
    QRectF barRect(int index) const;
    // Draws the whole chart on `painter`, whose device is `size` pixels.
    void paintChart(QPainter& painter, QSize size) const;

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    bool event(QEvent* event) override;

private:
    struct Geometry;
    Geometry geometry(const QFontMetricsF& metrics, QSizeF size) const;
    double xOf(const Geometry& g, double hours) const;
    int requiredHeight() const;

    std::vector<Bar> m_bars;
    hours::Amount m_total;
    // The hours axis: its ends and ticks, exact so that their labels are.
    std::vector<hours::Amount> m_ticks;
    QStringList m_axisLabels;
};

class frmHoursChart final : public Form, public SingleInstance<frmHoursChart>
{
    Q_OBJECT

public:
    frmHoursChart();

    // Reads the totals afresh and shows the window. It leaves the options panel as it is.
    void populate();

protected:
    void Form_Load() override;
    bool showsProjectRows() const override { return true; }

private:
    void cmdSavePicture_Click();

    QScrollArea* scrChart;
    HoursChart* chartHours;
    QPushButton* cmdBack;
    QPushButton* cmdSavePicture;
};

} // namespace quirelle
