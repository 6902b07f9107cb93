// The base of the paper window's test programs: the window's controls found by name and used
// as the user uses them.
#pragma once

#include "app/textboxes.h"
#include "app/windows.h"
#include "paper/frmviewpaper.h"
#include "testsupport.h"

#include <QTabWidget>

namespace quirelle::test {

class PaperWindowTest : public QObject
{
protected:
    static frmViewPaper& win() { return frmViewPaper::instance(); }
    template<class T = QWidget>
    static T* ctl(const char* name)
    {
        return control<T>(win(), QString::fromLatin1(name));
    }
    static QListWidget* list(const char* name) { return ctl<QListWidget>(name); }
    static QComboBox* combo(const char* name) { return ctl<QComboBox>(name); }
    static QTabWidget* tabs() { return ctl<QTabWidget>("SSTab1"); }
    static QWidget* detailBox(int i) { return control(win(), controlName("txtDetails", i)); }
    static QString detail(int index) { return boxText(detailBox(index)); }
    static qint32 shownPaper() { return win().currentPaperID(); }
    // The paper window on `paper`, opened as a search result opens it.
    static void openPaper(qint64 paper)
    {
        windows::openPaper(static_cast<qint32>(paper), windows::PaperOrigin::Search);
    }
    // A line of the window's lists: "id : text".
    static QString line(qint64 id, const QString& text)
    {
        return QString::number(id) + " : " + text;
    }
    // Brings the tab that holds `widget` to the front.
    static void bringToFront(QWidget* widget)
    {
        for (int i = 0; i < tabs()->count(); ++i) {
            if (tabs()->widget(i)->isAncestorOf(widget))
                tabs()->setCurrentIndex(i);
        }
        settle();
    }
    // Clicks the window's button `name`, on its tab.
    static void press(const char* name)
    {
        bringToFront(ctl(name));
        click(ctl(name));
    }
    static void clickListLine(const char* name, int row)
    {
        bringToFront(list(name));
        clickLine(list(name), row);
    }
    // Replaces the detail box's text as the user would, then leaves it with Tab.
    static void typeAndLeave(int index, const QString& text)
    {
        bringToFront(detailBox(index));
        replaceText(detailBox(index), text);
        pressKey(Qt::Key_Tab);
    }
    // The lines of the combo's list as the user sees them when opening it.
    static QStringList openedLines(const char* name)
    {
        QComboBox* c = combo(name);
        bringToFront(c);
        c->showPopup();
        const QStringList out = lines(c);
        c->hidePopup();
        settle();
        return out;
    }
    // Chooses the line `text` from the combo's opened list.
    static void choose(const char* name, const QString& text)
    {
        const int at = static_cast<int>(openedLines(name).indexOf(text));
        QVERIFY2(at >= 0, qPrintable(text));
        combo(name)->setCurrentIndex(at);
        settle();
    }
};

} // namespace quirelle::test
