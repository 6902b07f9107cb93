// The hour totals: exact parsing in either number format, the shortest written form, sums that
// never wrap around. Time entry (the way out of the program), where typed text stays as typed;
// the time sheet; the hours chart, opened from the Tools menu: its bars, title, axis and
// tool-tips, the empty log, and the picture saved as PNG and SVG.
#include "testsupport.h"
#include "timekeeping/data/hourtotals.h"
#include "timekeeping/frmhourschart.h"
#include "timekeeping/frmtimemanagement.h"
#include "timekeeping/frmtimesheet.h"

#include <QHelpEvent>
#include <QSvgRenderer>
#include <QToolTip>

using namespace quirelle;
using namespace quirelle::test;
using hours::Amount;

namespace {

// Ten-thousandths from a decimal text of digits, so that values past 64 bits can be written.
Amount units(const char* digits)
{
    Amount::Units u = 0;
    bool negative = *digits == '-';
    for (const char* c = negative ? digits + 1 : digits; *c; ++c)
        u = u * 10 + (*c - '0');
    return Amount::fromUnits(negative ? -u : u);
}

} // namespace

Q_DECLARE_METATYPE(quirelle::hours::Amount)

class TstTimekeeping : public QObject
{
    Q_OBJECT

    static QComboBox* box(const char* name)
    {
        return control<QComboBox>(frmTimeManagement::instance(), QString::fromLatin1(name));
    }
    // The hours logged, read from the file once the program has ended.
    static QStringList logged(const QString& file)
    {
        return rowsOf(*db::Database::OpenDatabase(file),
                      QStringLiteral("select * from [Time Management];"), {"Subject", "Time"});
    }

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

    void parse_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("locale");
        QTest::addColumn<QString>("expected"); // in the C format; "-": no number, "range"
        const auto row = [](const char* name, const QString& text, const char* locale,
                            const char* expected) {
            QTest::newRow(name) << text << QString::fromLatin1(locale)
                                << QString::fromLatin1(expected);
        };
        row("blanks and signs", " -1.5 ", "en_GB", "-1.5");
        row("exponent", "2.5E-1", "en_GB", "0.25");
        row("twenty digits", "99999999999999999999", "en_GB", "99999999999999999999");
        row("comma decimal", "2,5", "de_DE", "2.5");
        row("full stop first, even in German", "1.5", "de_DE", "1.5");
        row("German groups", "1.234,5", "de_DE", "1234.5");
        row("English groups", "1,234.5", "en_US", "1234.5");
        row("Indian groups", "12,34,567", "en_IN", "1234567");
        row("misplaced group is no number", "2,5", "en_US", "-");
        row("trailing group separator", "1,", "en_US", "-");
        row("Swedish minus and comma", QString::fromUtf8("\u22121,5"), "sv_SE", "-1.5");
        row("Arabic digits", QString::fromUtf8("\u0661\u066b\u0665"), "ar_EG", "1.5");
        row("half a unit, to even: down", "0.00025", "en_GB", "0.0002");
        row("half a unit, to even: up", "-0.00015", "en_GB", "-0.0002");
        row("over half a unit", "0.000251", "en_GB", "0.0003");
        row("far below a unit", "1e-999999999999", "en_GB", "0");
        row("too large", "1e40", "en_GB", "range");
        row("fraction", "1/2", "en_GB", "-");
        row("empty", "", "en_GB", "-");
        row("two points", "1.2.3", "en_GB", "-");
        row("exponent without digits", "1e", "en_GB", "-");
    }
    void parse()
    {
        QFETCH(QString, text);
        QFETCH(QString, locale);
        QFETCH(QString, expected);
        const std::optional<Amount> got = hours::parse(text, QLocale(locale));
        QCOMPARE(!got                  ? QStringLiteral("-")
                 : got->isOutOfRange() ? QStringLiteral("range")
                                       : hours::format(*got, QLocale::c()),
                 expected);
    }

    void format_data()
    {
        QTest::addColumn<Amount>("amount");
        QTest::addColumn<QString>("locale");
        QTest::addColumn<QString>("expected");
        const auto row = [](const char* name, const char* u, const char* locale,
                            const char* expected) {
            QTest::newRow(name) << units(u) << QString::fromLatin1(locale)
                                << QString::fromLatin1(expected);
        };
        row("whole", "30000", "en_GB", "3");
        row("half, German", "35000", "de_DE", "3,5");
        row("smallest", "1", "en_GB", "0.0001");
        row("negative", "-15000", "en_GB", "-1.5");
        row("no group separators", "12345000", "en_US", "1234.5");
        row("past 64 bits", "999999999999999999990000", "en_GB", "99999999999999999999");
        QTest::newRow("out of range") << Amount::outOfRange() << "en_GB"
                                      << "out of range";
    }
    void format()
    {
        QFETCH(Amount, amount);
        QFETCH(QString, locale);
        QFETCH(QString, expected);
        QCOMPARE(hours::format(amount, QLocale(locale)), expected);
        // What is written reads back as the same amount, in the same number format.
        if (!amount.isOutOfRange())
            QCOMPARE(hours::parse(expected, QLocale(locale)), std::optional(amount));
    }

    void sumsNeverWrap()
    {
        const Amount largest = Amount::fromUnits(~(static_cast<Amount::Units>(1) << 127));
        QVERIFY((largest + units("1")).isOutOfRange());
        QVERIFY((Amount::outOfRange() + units("-5")).isOutOfRange());
        QCOMPARE(largest + units("-1") + units("1"), largest);
    }
    // Subjects logged before are listed; what is typed is stored as typed, never completed
    // from the list.
    void timeEntry_data()
    {
        QTest::addColumn<QString>("listed"); // a subject logged before, if any
        QTest::addColumn<QString>("subject");
        QTest::addColumn<QString>("hours");  // typed, or "#n" for the list's item n
        QTest::addColumn<QString>("stored"); // the new row, if any
        QTest::addColumn<QString>("button");
        const auto row = [](const char* name, const char* listed, const char* subject,
                            const char* hours, const char* stored, const char* button = "cmdAdd") {
            QTest::newRow(name) << listed << subject << hours << stored << button;
        };
        row("half an hour", "", "Reading", "#0", "Reading/0.5");
        row("typed 1/2 is converted", "", "Lab", "1/2", "Lab/0.5");
        row("typed 1 stays 1", "", "Lab", "1", "Lab/1");
        row("letter case as typed", "Reading", "reading", "#1", "reading/1");
        row("start of a listed subject", "Reading group", "Reading", "#1", "Reading/1");
        row("empty subject", "", "", "#1", "");
        row("done", "", "Reading", "#1", "", "cmdDone");
    }
    void timeEntry()
    {
        QFETCH(QString, listed);
        QFETCH(QString, subject);
        QFETCH(QString, hours);
        QFETCH(QString, stored);
        QFETCH(QString, button);
        Shell shell;
        const QStringList before = listed.isEmpty() ? QStringList() : QStringList{listed};
        for (const QString& s : before)
            logHours({s + "|1"});
        click(control(frmMenu::instance(), "cmdQuit"));
        QVERIFY(frmTimeManagement::instance().isShown());
        QCOMPARE(lines(box("cmbWork")), before);
        QCOMPARE(box("cmbTime")->currentText(), QString());
        typeKeys(box("cmbWork"), subject);
        if (hours.startsWith('#')) {
            box("cmbTime")->setCurrentIndex(hours.mid(1).toInt());
            hours = box("cmbTime")->currentText();
        } else {
            typeKeys(box("cmbTime"), hours);
        }
        focusTo(box("cmbWork"));
        pressKey(Qt::Key_Tab);
        pressKey(Qt::Key_Tab);
        QCOMPARE(box("cmbWork")->currentText(), subject);
        QCOMPARE(box("cmbTime")->currentText(), hours);
        click(control(frmTimeManagement::instance(), button));
        QVERIFY(st::endCalled());
        QStringList expected;
        for (const QString& s : before)
            expected << s + "/1";
        if (!stored.isEmpty())
            expected << stored;
        QCOMPARE(logged(shell.file()), expected);
    }

    void refusedEntryIsNotLost()
    {
        Shell shell;
        fromMenu("mnuExit");
        const QString tooLong(51, QLatin1Char('s'));
        typeKeys(box("cmbWork"), tooLong);
        box("cmbTime")->setCurrentIndex(1);
        click(control(frmTimeManagement::instance(), "cmdAdd"));
        QVERIFY(!st::endCalled());
        QVERIFY(frmTimeManagement::instance().isShown());
        QCOMPARE(box("cmbWork")->currentText(), tooLong);
        QCOMPARE(prompts().size(), 1);
        QCOMPARE(st::messages().back().icon, services::Icon::Critical);
        QCOMPARE(countRows(shell.db(), QStringLiteral("Time Management")), 0);
        replaceText(box("cmbWork"), QStringLiteral("Writing"));
        click(control(frmTimeManagement::instance(), "cmdAdd"));
        QVERIFY(st::endCalled());
        QCOMPARE(logged(shell.file()), QStringList({"Writing/1"}));
    }

    // With the file held by another program, Exit says the subjects cannot be read and still
    // offers the way out.
    void leavingWhileTheFileIsHeld()
    {
        Shell shell;
        logHours({"Reading|2"});
        HeldFile holder(shell.file());
        if (!holder.isHeld())
            QSKIP("the sqlite3 shell is not installed");
        fromMenu("mnuExit");
        QVERIFY(frmTimeManagement::instance().isShown());
        QCOMPARE(prompts().size(), 1);
        QVERIFY2(lastPrompt().contains(QStringLiteral("in use by another program")),
                 qPrintable(lastPrompt()));
        QCOMPARE(lines(box("cmbWork")), QStringList());
        click(control(frmTimeManagement::instance(), "cmdDone"));
        QVERIFY(st::endCalled());
    }

    // An empty sheet is not shown. The sheet lists each subject once, letter case aside, with
    // its exact total (past 64 bits too) in the user's number format, or "out of range" rather
    // than a sum wrapped around; text that is no number counts nothing.
    void timeSheet()
    {
        Shell shell;
        panelButton(6);
        QVERIFY(!frmTimeSheet::isLoaded() || !frmTimeSheet::instance().isShown());
        const QLocale user;
        logHours({"A|0.1", "A|0.2", "Big|99999999999999999999", "Huge|9e33", "Lab|two", "Lab|",
                  "Huge|9e33", "Lab|" + user.toString(1.5), "O'Brien's paper|1",
                  "o'brien's PAPER|0.25"});
        panelButton(6);
        const QStringList expected{"A = " + user.toString(0.3), "Big = 99999999999999999999",
                                   "Huge = out of range", "Lab = " + user.toString(1.5),
                                   "O'Brien's paper = " + user.toString(1.25)};
        frmTimeSheet& sheet = frmTimeSheet::instance();
        QCOMPARE(lines(control<QListWidget>(sheet, "lstTimesheet")), expected);
        // Opened again: the same lines, once.
        fromMenu("mnuTimeSheets");
        QCOMPARE(lines(control<QListWidget>(sheet, "lstTimesheet")), expected);
        QVERIFY(st::messages().empty());
        click(control(sheet, "cmdBack"));
        QVERIFY(!sheet.isShown());
    }

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

    // An empty log draws no bar and nothing can be saved; hours logged since show at the next
    // opening, each bar as long as its hours, and the picture is saved as on the screen.
    void emptyThenBarLengthsAndPicturesSaved()
    {
        Shell shell;
        HoursChart* chart = openChart();
        QVERIFY(chart && chart->isVisible());
        QVERIFY(chart->bars().empty());
        QCOMPARE(chart->message(), "No hours logged yet");
        QVERIFY(!button("cmdSavePicture")->isEnabled());
        logHours({"Thesis|8", "Reading|2", "C|0.5", "D|-1"});
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
        // Save Picture writes PNG, or SVG by its extension in any letter case, PNG when none is
        // given; another extension or a missing folder is said, and Cancel writes nothing.
        const QDir dir(shell.folder());
        const QStringList saved{"hours.png", "hours.SVG", "hours2.png"};
        for (const char* chosen :
             {"hours.txt", "missing/hours.png", "", "hours", "hours.SVG", "hours2.png"}) {
            st::setNextFileName(*chosen ? std::optional(dir.filePath(chosen)) : std::nullopt);
            click(button("cmdSavePicture"));
        }
        QCOMPARE(prompts().size(), 2);
        QCOMPARE(dir.entryList({QStringLiteral("hours*")}, QDir::Files), saved);
        const QSize size(chart->width(), chart->sizeHint().height());
        for (const QString& png : {saved[0], saved[2]}) {
            const QImage image(dir.filePath(png));
            QCOMPARE(image.size(), size);
            // The same drawing as on the screen: the first bar where the window shows it.
            QCOMPARE(image.pixelColor(chart->barRect(0).center().toPoint()), QColor(70, 130, 180));
        }
        QSvgRenderer svg(dir.filePath(saved[1]));
        QVERIFY(svg.isValid());
        QCOMPARE(svg.viewBoxF(), QRectF(QPointF(0, 0), size));
        const QString text = QString::fromUtf8(readFile(dir.filePath(saved[1])));
        for (const QString& t : {chart->title(), QStringLiteral("Thesis"),
                                 QStringLiteral("Reading"), QStringLiteral("0.5")})
            QVERIFY2(text.contains(QLatin1Char('>') + t + QLatin1Char('<')), qPrintable(t));
    }
};

QTEST_MAIN(TstTimekeeping)
#include "tst_timekeeping.moc"
