// Helpers for the paper window's tests: rows put into the project, and the window's controls
// found by name and used as the user uses them.
#pragma once

#include "app/services.h"
#include "app/textboxes.h"
#include "app/windows.h"
#include "db/project.h"
#include "paper/frmviewpaper.h"
#include "testsupport.h"

#include <QComboBox>
#include <QListWidget>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>

namespace quirelle::test {

inline frmViewPaper& win()
{
    return frmViewPaper::instance();
}

template<class T = QWidget>
T* ctl(const QString& name)
{
    return control<T>(win(), name);
}
inline QListWidget* list(const char* name)
{
    return ctl<QListWidget>(QString::fromLatin1(name));
}
inline QComboBox* combo(const char* name)
{
    return ctl<QComboBox>(QString::fromLatin1(name));
}
inline QTabWidget* tabs()
{
    return ctl<QTabWidget>(QStringLiteral("SSTab1"));
}
inline QWidget* detailBox(int index)
{
    return ctl(controlName(QStringLiteral("txtDetails"), index));
}
inline QString detail(int index)
{
    return boxText(detailBox(index));
}
inline qint32 shownPaper()
{
    return win().currentPaperID();
}

// The paper window on `paper`, opened as a search result opens it.
inline void openPaper(qint64 paper)
{
    windows::openPaper(static_cast<qint32>(paper), windows::PaperOrigin::Search);
}

// A line of the window's lists: "id : text".
inline QString line(qint64 id, const QString& text)
{
    return QString::number(id) + QStringLiteral(" : ") + text;
}

inline qint64 add(const QString& table, const QVariantMap& values)
{
    return addRow(table, values);
}

inline qint64 addPaper(const QString& title, QVariantMap more = {})
{
    more.insert(QStringLiteral("Title"), title);
    return add(QStringLiteral("Papers"), more);
}

inline qint64 addAuthor(const QString& surname, const QString& forenames)
{
    return add(QStringLiteral("Authors"), {{"Surname", surname}, {"Forenames", forenames}});
}

inline void linkAuthor(qint64 paper, qint64 author)
{
    add("Paper Authors List",
        {{"Paper ID", QString::number(paper)}, {"Author ID", QString::number(author)}});
}

inline void cite(qint64 citing, qint64 cited)
{
    add("Paper References List", {{"Paper ID", QString::number(citing)}, {"Reference ID", cited}});
}

// Brings the tab that holds `widget` to the front.
inline void bringToFront(QWidget* widget)
{
    for (int i = 0; i < tabs()->count(); ++i) {
        if (tabs()->widget(i)->isAncestorOf(widget))
            tabs()->setCurrentIndex(i);
    }
    settle();
}

// Clicks the window's button `name`, on its tab.
inline void press(const char* name)
{
    QPushButton* b = ctl<QPushButton>(QString::fromLatin1(name));
    bringToFront(b);
    click(b);
}

inline void clickListLine(const char* name, int row)
{
    bringToFront(list(name));
    clickLine(list(name), row);
}

// Replaces the detail box's text as the user would, then leaves it with Tab.
inline void typeAndLeave(int index, const QString& text)
{
    bringToFront(detailBox(index));
    replaceText(detailBox(index), text);
    pressKey(Qt::Key_Tab);
}

// Chooses the line `text` from the combo's list, as a click in its opened list does.
inline void choose(const char* name, const QString& text)
{
    QComboBox* c = combo(name);
    bringToFront(c);
    c->showPopup();
    const int at = c->findText(text);
    QVERIFY2(at >= 0, qPrintable(text));
    c->setCurrentIndex(at);
    c->hidePopup();
    settle();
}

// The lines of the combo's list as the user sees them when opening it.
inline QStringList openedLines(const char* name)
{
    QComboBox* c = combo(name);
    bringToFront(c);
    c->showPopup();
    const QStringList out = lines(c);
    c->hidePopup();
    settle();
    return out;
}

} // namespace quirelle::test
