// The main window.
#include "app/frmmain.h"

#include "app/changewatcher.h"

#include "app/actions.h"
#include "app/application.h"
#include "app/frmmenu.h"
#include "app/projectsafety.h"
#include "app/services.h"
#include "app/settingsfile.h"
#include "app/windows.h"
#include "db/project.h"
#include "db/schema.h"
#include "db/serverlogin.h"
#include "db/sharedqueries.h"
#include "fulltext/indexstatus.h"

#include <QApplication>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDate>
#include <QDir>
#include <QFileInfo>
#include <QIcon>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenuBar>
#include <QStatusBar>
#include <QTimer>

#include <map>

// The icon lives in the windows' library: a resource of a static library is only linked in when
// something names it.
static void initResources()
{
    Q_INIT_RESOURCE(resources);
}

namespace quirelle {

namespace {

const QString projectFilter = QStringLiteral("Microsoft Access File (*.mdb)|*.mdb");

} // namespace

QString projectPathFromFileName(const QString& fileName)
{
    const QFileInfo info(fileName);
    const QString name = info.fileName();
    if (fileName.trimmed().isEmpty() || name.isEmpty() || info.isDir())
        return {};
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    if (dot <= 0)
        return fileName;
    return fileName.left(fileName.size() - (name.size() - dot));
}

frmMain::frmMain() : m_area(new QMdiArea(this))
{
    setObjectName(QStringLiteral("frmMain"));
    // Every window shows the program's own icon in its title bar.
    initResources();
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/icons/quirelle.svg")));
    Form::setFrame(this);
    m_area->setObjectName(QStringLiteral("MDIClient"));
    // A child window larger than the client area (the options panel, in the design size) can
    // still be reached.
    m_area->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    m_area->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setCentralWidget(m_area);
    buildMenus();

    auto* bar = new QStatusBar(this);
    bar->setObjectName(QStringLiteral("StatusBar1"));
    auto* panel = new QLabel(bar);
    panel->setObjectName(QStringLiteral("Panels(1)"));
    bar->addWidget(panel);
    // The second panel tells what the check and the backup copies did.
    auto* safetyPanel = new QLabel(bar);
    safetyPanel->setObjectName(QStringLiteral("Panels(2)"));
    bar->addWidget(safetyPanel, 1);
    // The third tells how far the full-text index is.
    auto* indexPanel = new QLabel(bar);
    indexPanel->setObjectName(QStringLiteral("Panels(3)"));
    bar->addWidget(indexPanel);
    // The fourth, that the connection to a shared project's server was lost.
    auto* connectionPanel = new QLabel(bar);
    connectionPanel->setObjectName(QStringLiteral("Panels(4)"));
    bar->addWidget(connectionPanel);
    setStatusBar(bar);
    m_safety = new ProjectSafety(safetyPanel, this);
    m_fullText = new fulltext::IndexStatus(indexPanel, this);
    m_watcher = new ChangeWatcher(connectionPanel, this);

    m_area->setMinimumSize(toPixels(9405), toPixels(7860));
    adjustSize();
    m_area->setMinimumSize(0, 0);
}

frmMain::~frmMain()
{
    m_fullText->stop();
    m_safety->waitUntilIdle();
    Form::setFrame(nullptr);
    Form::unloadAllForms();
    if (m_forget)
        m_forget();
}

void frmMain::buildMenus()
{
    std::map<QString, QMenu*> menus;
    for (const MenuItem& item : menuItems()) {
        const QString title = QString::fromUtf8(item.menu);
        QMenu*& menu = menus[title];
        if (!menu) {
            menu = menuBar()->addMenu(title);
            menu->setObjectName(menuName(title));
        }
        if (item.startsGroup)
            menu->addSeparator();
        QAction* action = menu->addAction(QString::fromUtf8(item.caption));
        action->setObjectName(QString::fromUtf8(item.name));
        const Action which = item.action;
        QObject::connect(action, &QAction::triggered, this, [which] { runAction(which); });
    }
}

QLabel* frmMain::statusPanel(int index) const
{
    return statusBar()->findChild<QLabel*>(QStringLiteral("Panels(%1)").arg(index));
}

void frmMain::loadForm()
{
    setAppPath(QCoreApplication::applicationDirPath());
    statusPanel(1)->setText(QDate::currentDate().toString(QStringLiteral("dd/MM/yy")));
    show();
    frmMenu& panel = frmMenu::instance(); // loading it connects to the project
    panel.setLeftTop(0, 0);
    panel.showForm();
    // Open the frame tall enough for the whole panel, where the screen has the room.
    const int missing = panel.subWindow()->height() - m_area->viewport()->height();
    if (missing > 0)
        resize(width(), height() + missing);
}

void frmMain::destroyForm()
{
    delete this;
}

QSize frmMain::sizeInTwips() const
{
    return {toTwips(width()), toTwips(height())};
}

int frmMain::panelWidth() const
{
    return frmMenu::isLoaded() ? frmMenu::instance().Width() : 0;
}

void frmMain::setPanelEnabled(bool enabled)
{
    if (!frmMenu::isLoaded())
        return;
    frmMenu& panel = frmMenu::instance();
    panel.setEnabled(enabled);
    if (enabled)
        setBackColour(&panel, panelColour());
}

void frmMain::closeEvent(QCloseEvent* event)
{
    event->accept();
    services::guarded([this] { exitApplication(); });
}

void frmMain::exitApplication()
{
    commitFocusedBox();
    // A copy being written is finished, not left half made; the index stops after its file.
    m_fullText->stop();
    m_safety->waitUntilIdle();
    project().close();
    services::End();
}

void frmMain::showProjectCaption()
{
    Project& p = project();
    if (!p.isOpen()) {
        setWindowTitle(QStringLiteral("Corvantis Tessiva V1.8 - No project is open"));
        return;
    }
    db::Recordset papers;
    getAllPapers(papers);
    const QString name =
        p.isServer() ? db::sharedProjectName(p.projectFilePath()) : p.projectFilePath();
    setWindowTitle(QStringLiteral("Corvantis Tessiva V1.8 - ") + QStringLiteral("Project: ") +
                   name + QStringLiteral(" - Papers added: ") +
                   QString::number(papers.RecordCount()) +
                   (p.readOnly() ? QStringLiteral(" (read-only)") : QString()));
}

void frmMain::projectOpened()
{
    // What others change from now on is shown; what they changed before is what was read.
    services::guarded([this] { m_watcher->look(); });
    // After the window is shown: the user can start at once, while the check runs.
    QTimer::singleShot(0, m_safety, [this, file = project().file()] {
        services::guarded([&] {
            if (project().isOpen() && project().file() == file) {
                m_safety->projectOpened(file);
                m_fullText->filesChanged();
            }
        });
    });
}

void windows::backUpNow()
{
    frmMain::instance().safety().backUpNow();
}

QString frmMain::getLastOpenedFile()
{
    return settings::readLastProject();
}

bool frmMain::setLastOpenedFile(const QString& path)
{
    const QString failure = settings::writeLastProject(path);
    if (failure.isEmpty())
        return true;
    services::MsgBox(QStringLiteral("support.nif is corrupt") + QStringLiteral("\n\n") + failure,
                     services::Icon::Critical);
    return false;
}

namespace {

// The file dialog of Open and New. It starts in the working directory, beside the settings file
// and the default project: the program's own folder holds no file of the user's. The save mode
// of New neither asks for an existing file nor about overwriting one (New says itself when the
// file exists).
services::FileDialogSettings projectDialog(bool mustExist)
{
    services::FileDialogSettings settings;
    settings.title = QStringLiteral("Open File");
    settings.initialDir = QDir::currentPath();
    settings.filter = projectFilter;
    settings.mustExist = mustExist;
    return settings;
}

// The project path of a chosen file; empty (after the message) when the name cannot be one.
QString chosenProject(const QString& chosen)
{
    const QString path = projectPathFromFileName(chosen);
    if (path.isEmpty())
        services::MsgBox(QStringLiteral("Error getting file ") + chosen);
    return path;
}

} // namespace

void frmMain::mnuOpen_Click()
{
    const auto chosen = services::showOpen(projectDialog(true));
    if (!chosen)
        return;
    const QString path = chosenProject(*chosen);
    // Recorded only once it has connected, so a bad file never locks the user out.
    if (!path.isEmpty() && frmMenu::instance().connectTo(path))
        setLastOpenedFile(path);
    windows::unloadSearch(); // the next search starts afresh, whether or not it connected
}

void frmMain::mnuNew_Click()
{
    const auto chosen = services::showSave(projectDialog(false));
    if (!chosen)
        return;
    const QString path = chosenProject(*chosen);
    if (path.isEmpty())
        return;
    if (QFileInfo::exists(path + QStringLiteral(".mdb"))) {
        services::MsgBox(QStringLiteral("A file already exists with this name"));
        return;
    }
    if (services::MsgBox(QStringLiteral("Do you wish to create a new project called ") + path,
                         services::Buttons::YesNoCancel) != services::Answer::Yes) {
        return;
    }
    db::createProjectFile(path);
    if (frmMenu::instance().connectTo(path))
        setLastOpenedFile(path);
}

} // namespace quirelle
