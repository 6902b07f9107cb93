// A grid editor driven the way the user drives it: typing into its boxes, clicking grid rows and
// buttons, and reading back the grid, the boxes, the messages and the stored rows.
#pragma once

#include "app/frmmenu.h"
#include "app/services.h"
#include "db/project.h"
#include "editors/grideditor.h"
#include "testsupport.h"

#include <QPushButton>
#include <QTableView>
#include <QTest>

#include <tuple>

namespace quirelle::test {

class Editor
{
public:
    // Opens window T with the options panel's button `button`.
    template<class T>
    static Editor open(int button)
    {
        panelButton(button);
        return Editor(T::instance());
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

    static int messages() { return static_cast<int>(services::testing::messages().size()); }
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

    // Each refusal: its name, the box, the text typed, and what the message must say of the field
    // and its limit.
    using Refusal = std::tuple<const char*, int, QString, QString>;
    static void refusalData(std::initializer_list<Refusal> rows)
    {
        QTest::addColumn<int>("box");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("says");
        for (const auto& [name, box, text, says] : rows)
            QTest::newRow(name) << box << text << says;
    }
    // Add with the data's text in its box and "Kept" in every other box is refused: one message
    // naming the field and its limit, nothing stored, no row shown, every box as typed. Mended,
    // one Add stores one row.
    void refusedThenMended(const QString& table) const
    {
        QFETCH(int, box);
        QFETCH(QString, text);
        QFETCH(QString, says);
        int boxes = 0;
        while (this->box(boxes))
            ++boxes;
        for (int i = 0; i < boxes; ++i)
            type(i, i == box ? text : QStringLiteral("Kept"));
        click("cmdAdd");
        QCOMPARE(messages(), 1);
        QVERIFY2(lastPrompt().contains(says), qPrintable(lastPrompt()));
        QCOMPARE(services::testing::messages().back().icon, services::Icon::Critical);
        QCOMPARE(countRows(project().db(), table), 0);
        QCOMPARE(rows(), 0);
        for (int i = 0; i < boxes; ++i)
            QCOMPARE(this->text(i), i == box ? text : QStringLiteral("Kept"));

        type(box, QStringLiteral("1"));
        click("cmdAdd");
        QCOMPARE(messages(), 1);
        QCOMPARE(countRows(project().db(), table), 1);
        QCOMPARE(rows(), 1);
    }
};

} // namespace quirelle::test
