// Every window's captions show whole in the font in use, and every window carries the program's
// own icon.
#include "app/actions.h"
#include "app/form.h"
#include "app/frmmain.h"
#include "testsupport.h"

#include <QAbstractButton>
#include <QApplication>
#include <QLabel>
#include <QTest>

using namespace quirelle;
using namespace quirelle::test;

class TstCaptions : public QObject
{
    Q_OBJECT

private slots:
    void captionsFitAndWindowsCarryTheIcon()
    {
        Shell shell;
        const QStringList menuItems{"mnuAuthors",     "mnuModels",  "mnuKeywords", "mnuPaper",
                                    "mnuSearch",      "mnuReports", "mnuMeetings", "mnuHoursChart",
                                    "mnuCitationMap", "mnuRestore", "mnuAbout",    "mnuExit"};
        addRow(QStringLiteral("Time Management"), {{"Subject", "Reading"}, {"Time", "2"}});
        fromMenu("mnuTimeSheets");
        for (const QString& item : menuItems)
            fromMenu(qPrintable(item));
        QVERIFY(!QApplication::windowIcon().isNull());
        int checked = 0;
        QStringList clipped;
        for (QWidget* top : QApplication::topLevelWidgets()) {
            if (!top->isVisible())
                continue;
            QCOMPARE(top->windowIcon().cacheKey(), QApplication::windowIcon().cacheKey());
            for (QLabel* label : top->findChildren<QLabel*>()) {
                if (!label->isVisible() || label->text().isEmpty() || label->wordWrap())
                    continue;
                ++checked;
                QString text = label->text();
                if (label->buddy())
                    text.remove(QLatin1Char('&')); // the access key is underlined, not shown
                const int needed = label->fontMetrics().horizontalAdvance(text);
                if (needed > label->contentsRect().width())
                    clipped << QStringLiteral("%1 '%2': %3 > %4")
                                   .arg(label->objectName(), label->text())
                                   .arg(needed)
                                   .arg(label->contentsRect().width());
            }
            for (QAbstractButton* button : top->findChildren<QAbstractButton*>()) {
                if (!button->isVisible() || button->text().isEmpty())
                    continue;
                ++checked;
                if (captionWidth(button) > button->width())
                    clipped << QStringLiteral("%1 '%2' %3>%4")
                                   .arg(button->objectName(), button->text())
                                   .arg(captionWidth(button))
                                   .arg(button->width());
            }
        }
        QVERIFY(checked > 60);
        QVERIFY2(clipped.isEmpty(), qPrintable(clipped.join(QStringLiteral("; "))));
    }
};

QTEST_MAIN(TstCaptions)
#include "tst_captions.moc"
