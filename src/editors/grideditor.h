// The grid editor: a window that lists one table's rows in a grid and takes a new row's values
// in text boxes below it, with Add, Clear, Delete and a closing button. The author, keyword and
// model editors and the meeting log are this one window with different data.
#pragma once

#include "app/form.h"
#include "db/recordset.h"

#include <QString>

#include <functional>
#include <vector>

class QCloseEvent;
class QLabel;
class QPushButton;
class QTableView;

namespace quirelle {

namespace db {
class DbError;
}

class GridModel;

enum class BoxKind {
    Line,            // one line
    Lines,           // several lines with a vertical scroll bar
    LinesNoScrollBar // several lines, no scroll bar
};

// One text box with its label. The label's index need not be the box's.
struct DetailBox
{
    int index;
    int label;
    QString caption;
    QString field;
    BoxKind kind;
    Twips labelAt;
    Twips boxAt;
    bool twoLineLabel = false;
};

struct GridColumn
{
    QString heading;
    int width; // twips
    QString field;
};

enum class DeleteKind {
    None,  // no Delete button at all
    Ask,   // asks "Do you wish to delete?" first
    AtOnce // deletes without a question, then empties the boxes
};

enum class EditorButton { Exit, Delete, Clear, Add };

// One stop of the keyboard focus order: a text box or a button.
struct FocusStop
{
    static FocusStop box(int index) { return {index, EditorButton::Exit}; }
    static FocusStop button(EditorButton b) { return {-1, b}; }
    int boxIndex;
    EditorButton which;
};

struct EditorDesign
{
    QString name;
    QString caption;
    int width;  // client area, twips
    int height; // client area, twips
    Form::Placement placement = Form::Placement::Child;

    QString table;   // the table the record set reads, for its field sizes
    QString idField; // the row's auto number, which tells rows apart
    QString noun;    // what one row is called in messages: "author"
    QString query;   // the list's query, the same as the shared routine's for this table

    QString gridName;
    Twips gridAt;
    std::vector<GridColumn> columns;
    bool hideEmptyGrid = false;

    std::vector<DetailBox> boxes; // in box index order
    std::vector<int> clearedBoxes;
    bool fillClears = true;

    std::vector<int> rowClickOrder;
    bool rowClickClearsFirst = false;

    std::vector<int> addOrder;
    std::vector<int> nullWhenEmpty; // boxes whose empty text leaves the field Null on Add

    DeleteKind deleteKind = DeleteKind::Ask;
    QString deleteName = QStringLiteral("cmdDelete");
    QString exitCaption = QStringLiteral("Back");
    int buttonsTop;

    std::vector<FocusStop> focusOrder;
};

class GridEditor : public Form
{
    Q_OBJECT

public:
    // Fills the window from the project database and shows it; refreshes it when it is open.
    void populate();

protected:
    explicit GridEditor(EditorDesign design);

    // Clear: empties the boxes listed in clearedBoxes.
    void clear();

    void Form_Load() override;
    void closeRequested() override;
    void closeEvent(QCloseEvent* event) override;
    bool showsProjectRows() const override { return true; }
    void changedElsewhere() override;

private:
    QWidget* box(int index) const { return m_boxes[static_cast<size_t>(index)]; }

    // KeepBoxes: the grid alone is read again; the boxes and the chosen row stay.
    enum class Fill { Afresh, KeepBoxes };
    void fill(Fill how = Fill::Afresh);
    void rowClick(int row);
    void add();
    void deleteRow();
    void back();

    QString boxText(int index) const;
    void setBoxText(int index, const QString& text);
    const DetailBox& boxDesign(int index) const;
    // Makes the record of data row `row` the current row, when it is still the row the user
    // saw there: the same id, in the same project.
    bool makeCurrent(int row);
    void refuse(const db::DbError& error, const std::vector<int>& writtenBoxes);

    EditorDesign m_design;
    db::Recordset m_records;  // the rows of the grid, in its order
    quint64 m_generation = 0; // the project they were read from
    QPushButton* cmdAdd = nullptr;
    QPushButton* cmdClear = nullptr;
    QPushButton* cmdExit = nullptr;
    QTableView* m_grid = nullptr;
    GridModel* m_model = nullptr;
    std::vector<QWidget*> m_boxes;
    std::vector<QLabel*> m_labels;
    QPushButton* m_delete = nullptr;
    std::vector<qint32> m_ids; // the id of each data row, for telling records apart
    int m_selectedRow = 0;     // the data row (from 1) chosen by a click since the fill
};

} // namespace quirelle
