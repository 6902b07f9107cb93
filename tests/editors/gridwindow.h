// A grid editor driven the way the user drives it: typing into its boxes, clicking grid rows and
// buttons, and reading back the grid, the boxes, the messages and the stored rows.
#pragma once

#include "editors/grideditor.h"
#include "testsupport.h"

#include <QApplication>
#include <QTableView>

namespace quirelle::test {

class Editor
{
public:
    // The editor the options panel's button `button` opens.
    static Editor open(int button)
    {
        panelButton(button);
        for (QWidget* w : QApplication::allWidgets()) {
            auto* g = qobject_cast<GridEditor*>(w);
            if (g && g->isShown())
                return Editor(*g);
        }
        qFatal("button %d opened no grid editor", button);
    }
    explicit Editor(GridEditor& window) : w(window), grid(window.findChild<QTableView*>()) {}

    GridEditor& w;
    QTableView* grid;

    QWidget* box(int i) const { return w.findChild<QWidget*>(controlName("txtDetails", i)); }
    int rows() const { return grid->model()->rowCount(); }
    // The text of data row `row` (from 1), column `column`.
    QString cell(int row, int column) const
    {
        return grid->model()->index(row - 1, column).data().toString();
    }
    QString text(int i) const
    {
        const QVariant line = box(i)->property("text");
        return line.isValid() ? line.toString() : box(i)->property("plainText").toString();
    }
    // Replaces the box's text by typing.
    void type(int i, const QString& text) const { replaceText(box(i), text); }
    void click(const QString& button) const { test::click(control(w, button)); }
    // A mouse click on data row `row` (from 1), or where it would be.
    void clickRow(int row) const
    {
        const QModelIndex index = grid->model()->index(row - 1, 0);
        grid->scrollTo(index);
        settle();
        QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, grid->visualRect(index).center());
        settle();
    }

    static int messages() { return static_cast<int>(st::messages().size()); }
    static bool panelEnabled() { return frmMenu::instance().isEnabled(); }
    // One stored row's field, "<null>" for Null, read back from the project file by `where`.
    static QString stored(const QString& table, const QString& where, const QString& field)
    {
        db::Recordset rs =
            project().db().OpenRecordset("select * from [" + table + "] where " + where);
        if (rs.RecordCount() == 0)
            return QStringLiteral("<no row>");
        const QVariant v = rs.Fields(field).Value();
        return v.isNull() ? QStringLiteral("<null>") : v.toString();
    }
};

} // namespace quirelle::test
