// Helpers for driving a grid editor the way the user does: type into its boxes, click grid rows
// and buttons, and read back the grid, the boxes and the stored rows.
#pragma once

#include "app/frmmenu.h"
#include "app/services.h"
#include "db/globals.h"
#include "testsupport.h"

#include <QAbstractItemModel>
#include <QHeaderView>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTableView>
#include <QTest>

namespace quirelle::test {

template<class T = QWidget>
T* control(QWidget& window, const QString& name)
{
    return window.findChild<T*>(name);
}

inline QWidget* box(QWidget& window, int index)
{
    return control(window, controlName(QStringLiteral("txtDetails"), index));
}

inline QString textOf(QWidget* box)
{
    if (auto* line = qobject_cast<QLineEdit*>(box))
        return line->text();
    return qobject_cast<QPlainTextEdit*>(box)->toPlainText();
}

// Replaces the box's text by typing, then leaves the box.
inline void type(QWidget& window, int index, const QString& text)
{
    QWidget* b = box(window, index);
    b->setFocus();
    if (auto* line = qobject_cast<QLineEdit*>(b))
        line->clear();
    else
        qobject_cast<QPlainTextEdit*>(b)->clear();
    const QStringList lines = text.split(QLatin1Char('\n'));
    for (qsizetype i = 0; i < lines.size(); ++i) {
        if (i > 0)
            QTest::keyClick(b, Qt::Key_Return);
        QTest::keyClicks(b, lines[i]);
    }
    settle();
}

inline void click(QWidget& window, const QString& button)
{
    QPushButton* b = control<QPushButton>(window, button);
    QVERIFY2(b, qPrintable(button));
    QTest::mouseClick(b, Qt::LeftButton);
    settle();
}

inline QTableView* gridOf(QWidget& window, const QString& name)
{
    return control<QTableView>(window, name);
}

inline int dataRows(QTableView* grid)
{
    return grid->model()->rowCount();
}

// The text of data row `row` (from 1), column `column`.
inline QString cell(QTableView* grid, int row, int column)
{
    return grid->model()->index(row - 1, column).data().toString();
}

inline QStringList headings(QTableView* grid)
{
    QStringList h;
    for (int c = 0; c < grid->model()->columnCount(); ++c)
        h << grid->model()->headerData(c, Qt::Horizontal).toString();
    return h;
}

inline QList<int> columnWidths(QTableView* grid)
{
    QList<int> w;
    for (int c = 0; c < grid->model()->columnCount(); ++c)
        w << grid->columnWidth(c);
    return w;
}

// A mouse click on data row `row` (from 1).
inline void clickRow(QTableView* grid, int row)
{
    const QModelIndex index = grid->model()->index(row - 1, 0);
    grid->scrollTo(index);
    settle();
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, grid->visualRect(index).center());
    settle();
}

inline int messageCount()
{
    return static_cast<int>(services::testing::messages().size());
}

inline QString lastMessage()
{
    const auto& m = services::testing::messages();
    return m.empty() ? QString() : m.back().prompt;
}

// The widgets the Tab key visits from `first`, in order, `count` of them.
inline QStringList focusChain(QWidget* first, int count)
{
    QStringList names;
    QWidget* w = first;
    for (int i = 0; i < count && w; ++i) {
        names << w->objectName();
        do {
            w = w->nextInFocusChain();
        } while (w && w != first && !(w->focusPolicy() & Qt::TabFocus));
    }
    return names;
}

// One stored row's field, "<null>" for Null, read back from the project file by `where`.
inline QString storedField(const QString& table, const QString& where, const QString& field)
{
    db::Recordset rs =
        project().OpenRecordset(QStringLiteral("select * from [%1] where %2;").arg(table, where));
    if (rs.RecordCount() == 0)
        return QStringLiteral("<no row>");
    const QVariant v = rs.Fields(field).Value();
    return v.isNull() ? QStringLiteral("<null>") : v.toString();
}

inline bool panelEnabled()
{
    return frmMenu::instance().isEnabled();
}

} // namespace quirelle::test
