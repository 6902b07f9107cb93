// The options panel.
#include "app/frmmenu.h"

#include "app/actions.h"
#include "app/frmmain.h"
#include "app/projectsafety.h"
#include "app/services.h"
#include "app/windows.h"
#include "db/dberror.h"
#include "db/project.h"
#include "db/projectlock.h"
#include "db/schema.h"
#include "db/sharedqueries.h"

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
    Action action;
};

// clang-format off
const ButtonRow buttonRows[] = {
    {0, "Add Authors", "Add Authors", 360, Action::AddAuthors},
    {1, "Add Models", "Add Models", 840, Action::AddModels},
    {5, "Add Keywords", "Add Keywords", 1320, Action::AddKeywords},
    {2, "Add a Paper", "Add a Paper", 1800, Action::AddPaper},
    {4, "Search", "Run a Search", 2520, Action::Search},
    {8, "Reports", "Run Reports", 3000, Action::Reports},
    {6, "Time Sheet", "View the Timesheets", 4200, Action::TimeSheet},
    {3, "Meetings", "View University Meetings", 4680, Action::Meetings},
    {7, "Reading List", "Create a Reading List", 5160, Action::ReadingList},
};
// clang-format on

// Two names of one file (a relative and an absolute path, a link).
bool sameFile(const QString& a, const QString& b)
{
    const QString canonicalA = QFileInfo(a).canonicalFilePath();
    return !canonicalA.isEmpty()
               ? canonicalA == QFileInfo(b).canonicalFilePath()
               : QFileInfo(a).absoluteFilePath() == QFileInfo(b).absoluteFilePath();
}

// "Error getting <path>", and on the lines below it what is wrong with the file.
void tellCannotOpen(const QString& path, const QString& reason)
{
    QString prompt = QStringLiteral("Error getting ") + path;
    if (!reason.isEmpty())
        prompt += QStringLiteral("\n\n") + reason;
    services::MsgBox(prompt);
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
        const Action action = row.action;
        QObject::connect(b, &QPushButton::clicked, this, [action] { runAction(action); });
        cmdButton[static_cast<size_t>(row.index)] = b;
    }
    cmdQuit = new QPushButton(QStringLiteral("Quit"), this);
    cmdQuit->setObjectName(QStringLiteral("cmdQuit"));
    cmdQuit->setToolTip(QStringLiteral("Exit"));
    place(cmdQuit, 600, 8760, 1455, 375);
    QObject::connect(cmdQuit, &QPushButton::clicked, this, [] { runAction(Action::Exit); });

    lblToDo = new QLabel(QStringLiteral("ToDo's:"), this);
    lblToDo->setObjectName(QStringLiteral("lblToDo"));
    place(lblToDo, 240, 5760, 2055, 240);
    txtToDos = new QPlainTextEdit(this);
    txtToDos->setObjectName(QStringLiteral("txtToDos"));
    txtToDos->setTabChangesFocus(true); // Tab leaves the notes, as in every other box
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
    const QString last = frmMain::getLastOpenedFile();
    if (!last.isEmpty() && last != defaultProject) {
        if (connectTo(last))
            return;
    }
    // No last project, or it cannot be opened: the default project, made on first start. A
    // default project that exists is never made anew, whatever it holds: when it cannot be
    // opened either, the program runs without a project, and File > Open and New still work.
    if (!QFileInfo::exists(defaultProject + QStringLiteral(".mdb"))) {
        try {
            db::createProjectFile(defaultProject);
        } catch (const db::DbError&) {
            // connectTo below says what failed
        }
    }
    if (!connectTo(defaultProject))
        showNotes();
}

bool frmMenu::connect()
{
    return connectTo(project().projectFilePath());
}

bool frmMenu::connectTo(const QString& path, std::unique_ptr<db::ProjectLock> lock)
{
    if (db::isServerAddress(path))
        return connectToServer(path);
    Project& p = project();
    const QString file = path + QStringLiteral(".mdb");
    // The project open here, opened again: its lock is this program's own, no other copy's.
    if (!lock && p.isOpen() && sameFile(p.file(), file))
        lock = p.takeLock();
    // Another copy of the program may have the project open: the user is told at once, and
    // chooses to open it read-only or not at all, rather than have two copies write it.
    bool readOnly = false;
    if (!lock || !lock->isLocked()) {
        lock = std::make_unique<db::ProjectLock>(file);
        if (lock->tryLock() == db::ProjectLock::Status::HeldElsewhere) {
            const QString prompt =
                lock->message() + QStringLiteral("\n\nOpen it read-only here? Nothing can then "
                                                 "be changed in it from this window. No leaves "
                                                 "it closed.");
            if (services::MsgBox(prompt, services::Buttons::YesNo) != services::Answer::Yes)
                return false;
            readOnly = true;
            lock.reset();
        }
    }
    QString reason;
    bool opened = p.open(path, &reason, readOnly);
    // A damaged file is offered its newest good backup copy, swapped under the lock.
    if (!opened && !readOnly && frmMain::isLoaded()) {
        switch (frmMain::instance().safety().offerCopyAfterFailedOpening(file)) {
        case ProjectSafety::Offer::NotMade:
            break;
        case ProjectSafety::Offer::Declined:
            reason.clear();
            break;
        case ProjectSafety::Offer::Replaced:
            opened = p.open(path, &reason, readOnly);
            break;
        }
    }
    if (!opened) {
        if (!reason.isEmpty())
            tellCannotOpen(path, reason);
        // The project that stays open keeps its lock when it was this one.
        if (p.isOpen() && sameFile(p.file(), file))
            p.keepLock(std::move(lock));
        return false;
    }
    p.keepLock(std::move(lock));
    projectConnected();
    return true;
}

bool frmMenu::connectToServer(const QString& address)
{
    // Many members have a shared project open at once: the server keeps their changes apart,
    // so there is no lock to take, and no file to offer a backup copy for.
    QString reason;
    if (!project().open(address, &reason)) {
        tellCannotOpen(db::displayAddress(address), reason);
        return false;
    }
    projectConnected();
    return true;
}

void frmMenu::projectConnected()
{
    if (project().masterRows() > 1)
        services::MsgBox(QString::fromLatin1(masterWarning), services::Icon::Critical);
    showNotes();
    Form::frame().showProjectCaption();
    windows::projectChanged(); // the windows' rows belong to the project that was open
    Form::frame().projectOpened();
}

void frmMenu::showNotes()
{
    Project& p = project();
    QString notes;
    db::Recordset master;
    if (p.isOpen() && getMaster(master) > 0)
        notes = master.Fields(QStringLiteral("ToDos")).text();
    txtToDos->setPlainText(notes);
    txtToDos->setEnabled(p.isOpen());
    m_shownNotes = notes;
    if (!p.isOpen())
        Form::frame().showProjectCaption();
}

void frmMenu::txtToDos_LostFocus()
{
    Project& p = project();
    if (!p.isOpen())
        return;
    const QString text = txtToDos->toPlainText();
    db::Recordset master;
    const int rows = getMaster(master);
    if (rows > 1)
        services::MsgBox(QString::fromLatin1(masterWarning), services::Icon::Critical);
    if (rows == 0) {
        master.AddNew();
    } else {
        // Passing through the box writes nothing: notes saved meanwhile by another copy of the
        // program are kept unless the user changed the text shown here.
        if (text == m_shownNotes)
            return;
        master.Edit();
    }
    master.Fields(QStringLiteral("ToDos")) = text;
    master.Update();
    m_shownNotes = text;
}

} // namespace quirelle
