// Every menu command and options-panel button opens its window; every window's captions show
// whole in the font in use, and every window carries the program's own icon.
#include "app/form.h"
#include "testsupport.h"

#include <QAbstractButton>
#include <QApplication>

using namespace quirelle;
using namespace quirelle::test;

namespace {

bool shown(const QString& window)
{
    const QWidgetList all = QApplication::allWidgets();
    return std::any_of(all.begin(), all.end(), [&](QWidget* w) {
        auto* form = qobject_cast<Form*>(w);
        return form && form->objectName() == window && form->isShown();
    });
}

} // namespace

class TstCommands : public QObject
{
    Q_OBJECT

private slots:
    void commandsOpenTheirWindows()
    {
        Shell shell;
        logHours({"Reading|2"}); // a time sheet without hours is not shown
        const std::pair<int, const char*> buttons[] = {
            {0, "frmAddAuthor"},    {1, "frmAddModel"}, {5, "frmAddKeyword"}, {2, "frmViewPaper"},
            {4, "frmSearchPapers"}, {8, "frmReport"},   {6, "frmTimeSheet"},  {3, "frmMeeting"}};
        for (const auto& [button, window] : buttons) {
            panelButton(button);
            QVERIFY2(shown(window), window);
            // Gone as when another project opens, which gives the panel back.
            Form::unloadProjectWindows();
            settle();
            QVERIFY(frmMenu::instance().isEnabled());
        }
        const std::pair<const char*, const char*> items[] = {
            {"mnuAuthors", "frmAddAuthor"},     {"mnuModels", "frmAddModel"},
            {"mnuKeywords", "frmAddKeyword"},   {"mnuPaper", "frmViewPaper"},
            {"mnuSearch", "frmSearchPapers"},   {"mnuReports", "frmReport"},
            {"mnuTimeSheets", "frmTimeSheet"},  {"mnuMeetings", "frmMeeting"},
            {"mnuHoursChart", "frmHoursChart"}, {"mnuCitationMap", "frmCitationMap"},
            {"mnuRestore", "frmRestore"},       {"mnuAbout", "frmSplash"},
            {"mnuExit", "frmTimeManagement"}};
        for (const auto& [item, window] : items) {
            fromMenu(item);
            QVERIFY2(shown(window), item);
        }
        fromMenu("mnuReadingList");
        QVERIFY2(lastPrompt().startsWith(QStringLiteral("A reading list has been created")),
                 qPrintable(lastPrompt()));
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
                    clipped << label->objectName() + ": " + label->text();
            }
            for (QAbstractButton* button : top->findChildren<QAbstractButton*>()) {
                if (!button->isVisible() || button->text().isEmpty())
                    continue;
                ++checked;
                if (captionWidth(button) > button->width())
                    clipped << button->objectName() + ": " + button->text();
            }
        }
        QVERIFY(checked > 60);
        QVERIFY2(clipped.isEmpty(), qPrintable(clipped.join(QStringLiteral("; "))));
    }
};

QTEST_MAIN(TstCommands)
#include "tst_commands.moc"
