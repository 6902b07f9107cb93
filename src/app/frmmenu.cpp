// The options panel.
#include "app/frmmenu.h"

#include "app/frmmain.h"
#include "app/services.h"
#include "app/windows.h"
#include "db/dberror.h"
#include "db/globals.h"
#include "db/schema.h"
#include "db/sharedqueries.h"
#include "timekeeping/frmtimemanagement.h"
#include "timekeeping/frmtimesheet.h"

#include <QFileInfo>
#include <QLabel>
#include <QMdiSubWindow>
#include <QPlainTextEdit>
#include <QPushButton>

namespace quirelle {

namespace {

const QString defaultProject = QStringLiteral("QuirelleXP");

struct ButtonRow
{
    int index;
    const char* caption;
    const char* tip;
    int top;
};

// clang-format off
const ButtonRow buttonRows[] = {
    {0, "Add Authors", "Add Authors", 360},
    {1, "Add Models", "Add Models", 840},
    {5, "Add Keywords", "Add Keywords", 1320},
    {2, "Add a Paper", "Add a Paper", 1800},
    {4, "Search", "Run a Search", 2520},
    {8, "Reports", "Run Reports", 3000},
    {6, "Time Sheet", "View the Timesheets", 4200},
    {3, "Meetings", "View University Meetings", 4680},
    {7, "Reading List", "Create a Reading List", 5160},
};
// clang-format on

void place(QWidget* w, int left, int top, int width, int height)
{
    w->setGeometry(toPixels(left), toPixels(top), toPixels(width), toPixels(height));
}

} // namespace

frmMenu::frmMenu() : Form(QStringLiteral("frmMenu"), 2535, 9270)
{
    setCaption(QStringLiteral("Options"));
    // The panel stays open for the whole run: its frame offers no close box.
    subWindow()->setWindowFlags(Qt::SubWindow | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
    setBackColour(this, panelColour());
    for (const ButtonRow& row : buttonRows) {
        auto* b = new QPushButton(QString::fromUtf8(row.caption), this);
        b->setObjectName(controlName(QStringLiteral("cmdButton"), row.index));
        b->setToolTip(QString::fromUtf8(row.tip));
        place(b, 480, row.top, 1455, 375);
        const int index = row.index;
        QObject::connect(b, &QPushButton::clicked, this,
                         [this, index] { services::guarded([&] { cmdButton_Click(index); }); });
        cmdButton[static_cast<size_t>(row.index)] = b;
    }
    cmdQuit = new QPushButton(QStringLiteral("Quit"), this);
    cmdQuit->setObjectName(QStringLiteral("cmdQuit"));
    cmdQuit->setToolTip(QStringLiteral("Exit"));
    place(cmdQuit, 600, 8760, 1455, 375);
    QObject::connect(cmdQuit, &QPushButton::clicked, this,
                     [] { services::guarded([] { frmTimeManagement::instance().showForm(); }); });

    lblToDo = new QLabel(QStringLiteral("ToDo's:"), this);
    lblToDo->setObjectName(QStringLiteral("lblToDo"));
    place(lblToDo, 240, 5760, 2055, 240);
    txtToDos = new QPlainTextEdit(this);
    txtToDos->setObjectName(QStringLiteral("txtToDos"));
    place(txtToDos, 240, 6000, 2055, 2655);
    onLostFocus(txtToDos, [this] { txtToDos_LostFocus(); });

    // The tab order follows the column, top to bottom.
    QWidget* previous = nullptr;
    for (const ButtonRow& row : buttonRows) {
        QWidget* b = cmdButton[static_cast<size_t>(row.index)];
        if (previous)
            setTabOrder(previous, b);
        previous = b;
    }
    setTabOrder(previous, txtToDos);
    setTabOrder(txtToDos, cmdQuit);
}

void frmMenu::Form_Load()
{
    Globals& g = globals();
    const QString last = frmMain::getLastOpenedFile();
    if (!last.isEmpty() && last != defaultProject) {
        g.projectFilePath = last;
        if (connect())
            return;
    }
    // No last project, or it cannot be opened: the default project, made on first start.
    g.projectFilePath = defaultProject;
    if (!QFileInfo::exists(defaultProject + QStringLiteral(".mdb"))) {
        try {
            db::createProjectFile(defaultProject);
        } catch (const db::DbError&) {
            // connect below says what failed
        }
    }
    if (!connect())
        services::End();
}

bool frmMenu::connect()
{
    return connectTo(globals().projectFilePath);
}

bool frmMenu::connectTo(const QString& path)
{
    Globals& g = globals();
    std::unique_ptr<db::Database> opened;
    try {
        opened = db::Database::OpenDatabase(path + QStringLiteral(".mdb"));
        for (const db::TableDef& t : db::projectTables()) {
            if (!db::tableExists(*opened, t.name))
                throw db::DbError(db::err::UnknownTable, t.name);
        }
    } catch (const std::exception&) {
        services::MsgBox(QStringLiteral("Error getting ") + path);
        return false;
    }

    std::unique_ptr<db::Database> previous = std::move(g.dbProject);
    const QString previousPath = g.projectFilePath;
    g.releaseAll();
    g.dbProject = std::move(opened);
    g.projectFilePath = path;
    try {
        openAllLists();
    } catch (const std::exception&) {
        g.releaseAll();
        g.dbProject = std::move(previous);
        g.projectFilePath = previousPath;
        if (g.dbProject)
            openAllLists();
        services::MsgBox(QStringLiteral("Error getting ") + path);
        return false;
    }
    previous.reset();

    QString notes;
    if (g.rsMaster.RecordCount() > 0)
        notes = g.rsMaster.Fields(QStringLiteral("ToDos")).text();
    txtToDos->setPlainText(notes);
    frmMain::instance().showProjectCaption();
    windows::unloadSearch(); // its lists belong to the project that was open
    return true;
}

void frmMenu::enableAgain()
{
    setEnabled(true);
    setBackColour(this, panelColour());
}

void frmMenu::txtToDos_LostFocus()
{
    Globals& g = globals();
    if (!getMaster())
        g.rsMaster.AddNew();
    else
        g.rsMaster.Edit();
    g.rsMaster.Fields(QStringLiteral("ToDos")) = txtToDos->toPlainText();
    g.rsMaster.Update();
}

void frmMenu::cmdButton_Click(int index)
{
    switch (index) {
    case 0:
        windows::openAuthorEditor();
        break;
    case 1:
        windows::openModelEditor();
        break;
    case 2:
        windows::openNewPaper();
        break;
    case 3:
        windows::openMeetings();
        break;
    case 4:
        windows::openSearch();
        break;
    case 5:
        windows::openKeywordEditor();
        break;
    case 6:
        frmTimeSheet::instance().populate();
        break;
    case 7:
        windows::writeReadingList();
        break;
    case 8:
        windows::openReport();
        break;
    default:
        break;
    }
}

} // namespace quirelle
