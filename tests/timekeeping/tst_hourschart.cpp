// The hours chart, opened from the Tools menu: its bars, title, axis and tool-tips, the empty
// log, and the picture saved as PNG and SVG.
#include "testsupport.h"
#include "timekeeping/frmhourschart.h"

#include <QHelpEvent>
#include <QSvgRenderer>
#include <QToolTip>

using namespace quirelle;
using namespace quirelle::test;

class TstHoursChart : public QObject
{
    Q_OBJECT

    // The chart as the user opens it: Tools, Hours Chart.
    static HoursChart* openChart()
    {
        fromMenu("mnuHoursChart");
        return frmMain::instance().findChild<HoursChart*>(QStringLiteral("chartHours"));
    }
    static QPushButton* button(const char* name)
    {
        return control<QPushButton>(*frmMain::instance().findChild<QWidget*>("frmHoursChart"),
                                    QString::fromLatin1(name));
    }
    // The tool-tip the chart gives where the pointer rests.
    static QString toolTipAt(QWidget* w, QPoint pos)
    {
        QHelpEvent help(QEvent::ToolTip, pos, w->mapToGlobal(pos));
        QApplication::sendEvent(w, &help);
        return QToolTip::text();
    }
    // A point in the first bar's row; a total out of range draws no bar, the row above the
    // second bar's (6 pixels between a bar and the next row) is its row then.
    static QPoint firstRow(const HoursChart* chart)
    {
        if (!chart->barRect(0).isEmpty())
            return chart->barRect(0).center().toPoint();
        const QRectF next = chart->barRect(1);
        return QPoint(20, qRound(next.center().y() - next.height() - 6));
    }

private slots:
    void cleanup() { QLocale::setDefault(QLocale::c()); }

    void bars_data()
    {
        QTest::addColumn<QStringList>("entries");
        QTest::addColumn<QString>("locale");
        QTest::addColumn<QStringList>("bars"); // subject=value, top to bottom
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("tip"); // of the first bar
        const auto row = [](const char* name, const QStringList& entries, const char* locale,
                            const QStringList& bars, const QString& total, const QString& tip) {
            QTest::newRow(name) << entries << QString::fromLatin1(locale) << bars
                                << QStringLiteral("Hours logged by subject: %1 in all").arg(total)
                                << tip;
        };
        row("most hours first", {"Reading|0.5", "Thesis|8", "Reading|3", "Lab|1"}, "en_GB",
            {"Thesis=8", "Reading=3.5", "Lab=1"}, "12.5", "Thesis: 8 hours (1 entry)");
        row("letter case, entries left out", {"reading|2", "Reading|0.25", "READING|lots", "Lab|1"},
            "en_GB", {"reading=2.25", "Lab=1"}, "3.25",
            "reading: 2.25 hours (2 entries); 1 entry left out, not a number");
        row("German decimal separator", {"Lesen|2,5", "Lesen|0.25", "Schreiben|1"}, "de_DE",
            {"Lesen=2,75", "Schreiben=1"}, "3,75", "Lesen: 2,75 hours (2 entries)");
        row("out of range first", {"Small|1", "Huge|1e40"}, "en_GB",
            {"Huge=out of range", "Small=1"}, "out of range", "Huge: out of range (1 entry)");
    }
    void bars()
    {
        QFETCH(QStringList, entries);
        QFETCH(QString, locale);
        QFETCH(QStringList, bars);
        QFETCH(QString, title);
        QFETCH(QString, tip);
        QLocale::setDefault(QLocale(locale));
        Shell shell;
        logHours(entries);
        HoursChart* chart = openChart();
        QVERIFY(chart && chart->isVisible());
        QStringList shown;
        for (const HoursChart::Bar& b : chart->bars())
            shown << b.subject + QLatin1Char('=') + b.value;
        QCOMPARE(shown, bars);
        QCOMPARE(chart->title(), title);
        QVERIFY(chart->message().isEmpty());
        QCOMPARE(toolTipAt(chart, firstRow(chart)), tip);
        // Every axis label is written in the user's number format.
        const QString decimal = QLocale().decimalPoint();
        const QString other =
            decimal == QLatin1String(".") ? QStringLiteral(",") : QStringLiteral(".");
        QVERIFY(chart->axisLabels().size() >= 2);
        for (const QString& label : chart->axisLabels())
            QVERIFY2(!label.contains(other), qPrintable(label));
        QVERIFY(button("cmdSavePicture")->isEnabled());
        click(button("cmdBack"));
        QVERIFY(!chart->isVisible());
    }

    // An empty log draws no bar; hours logged since show at the next opening, each bar as
    // long as its hours.
    void emptyThenBarLengthsFollowTheHours()
    {
        Shell shell;
        HoursChart* chart = openChart();
        QVERIFY(chart && chart->isVisible());
        QVERIFY(chart->bars().empty());
        QCOMPARE(chart->message(), "No hours logged yet");
        QVERIFY(!button("cmdSavePicture")->isEnabled());
        logHours({"A|8", "B|2", "C|0.5", "D|-1"});
        chart = openChart();
        QCOMPARE(chart->bars().size(), size_t(4));
        QVERIFY(button("cmdSavePicture")->isEnabled());
        const double zero = chart->barRect(0).left();
        QCOMPARE(chart->barRect(1).left(), zero);
        QVERIFY(qAbs(chart->barRect(0).width() / chart->barRect(1).width() - 4) < 0.01);
        QVERIFY(qAbs(chart->barRect(1).width() / chart->barRect(2).width() - 4) < 0.01);
        // A negative total goes the other way from the same zero line.
        QCOMPARE(chart->barRect(3).right(), zero);
        QVERIFY(qAbs(chart->barRect(3).width() / chart->barRect(2).width() - 2) < 0.01);
        QVERIFY(chart->axisLabels().contains(QStringLiteral("0")));
        QVERIFY(chart->axisLabels().first().startsWith(QLatin1Char('-')));
    }

    void savePicture_data()
    {
        QTest::addColumn<QString>("chosen");  // "": cancelled
        QTest::addColumn<QString>("written"); // "": nothing is written
        QTest::addColumn<bool>("message");
        const auto row = [](const char* name, const char* chosen, const char* written,
                            bool message = false) {
            QTest::newRow(name) << chosen << written << message;
        };
        row("png", "hours.png", "hours.png");
        row("svg, in capitals", "hours.SVG", "hours.SVG");
        row("no extension: png", "hours", "hours.png");
        row("another extension", "hours.txt", "", true);
        row("folder missing", "missing/hours.png", "", true);
        row("cancelled", "", "");
    }
    void savePicture()
    {
        QFETCH(QString, chosen);
        QFETCH(QString, written);
        QFETCH(bool, message);
        Shell shell;
        logHours({"Reading|3.5", "Thesis|8"});
        HoursChart* chart = openChart();
        st::setNextFileName(chosen.isEmpty() ? std::nullopt
                                             : std::optional(shell.folder() + '/' + chosen));
        click(button("cmdSavePicture"));
        QCOMPARE(st::messages().size(), size_t(message ? 1 : 0));
        const QDir dir(shell.folder());
        QCOMPARE(dir.entryList({QStringLiteral("hours*")}, QDir::Files),
                 written.isEmpty() ? QStringList{} : QStringList{written});
        if (written.isEmpty())
            return;
        const QString file = dir.filePath(written);
        if (written.endsWith(QLatin1String("png"), Qt::CaseInsensitive)) {
            QImage image(file);
            QCOMPARE(image.size(), QSize(chart->width(), chart->sizeHint().height()));
            // The same drawing as on the screen: the first bar where the window shows it.
            QCOMPARE(image.pixelColor(chart->barRect(0).center().toPoint()), QColor(70, 130, 180));
        } else {
            QSvgRenderer svg(file);
            QVERIFY(svg.isValid());
            QCOMPARE(svg.viewBoxF(), QRectF(0, 0, chart->width(), chart->sizeHint().height()));
            const QString text = QString::fromUtf8(readFile(file));
            for (const QString& t : {chart->title(), QStringLiteral("Thesis"),
                                     QStringLiteral("Reading"), QStringLiteral("3.5")})
                QVERIFY2(text.contains(QLatin1Char('>') + t + QLatin1Char('<')), qPrintable(t));
        }
    }
};

QTEST_MAIN(TstHoursChart)
#include "tst_hourschart.moc"
