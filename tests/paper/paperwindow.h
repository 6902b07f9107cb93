// Helpers for the paper window's tests: rows put into the project, and its buttons and lists
// used as the user uses them.
#pragma once

#include "app/services.h"
#include "app/windows.h"
#include "db/globals.h"
#include "paper/frmviewpaper.h"
#include "testsupport.h"

#include <QListWidget>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>

namespace quirelle::test {

inline frmViewPaper& win()
{
    return frmViewPaper::instance();
}

inline void openPaper(qint64 paper)
{
    windows::openPaperFromSearch(static_cast<qint32>(paper));
}

// A line of the window's lists: "id : text".
inline QString line(qint64 id, const QString& text)
{
    return QString::number(id) + QStringLiteral(" : ") + text;
}

inline QStringList prompts()
{
    QStringList out;
    for (const auto& m : services::testing::messages())
        out << m.prompt;
    return out;
}

inline qint64 add(const QString& table, const QVariantMap& values)
{
    return addRow(*globals().dbProject, table, values);
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

inline void click(QPushButton* b)
{
    QTest::mouseClick(b, Qt::LeftButton);
    settle();
}

// Brings the tab that holds `widget` to the front.
inline void bringToFront(QWidget* widget)
{
    for (int i = 0; i < win().SSTab1->count(); ++i) {
        if (win().SSTab1->widget(i)->isAncestorOf(widget))
            win().SSTab1->setCurrentIndex(i);
    }
    settle();
}

inline void clickListLine(QListWidget* list, int row)
{
    bringToFront(list);
    clickLine(list, row);
}

} // namespace quirelle::test
