// The main window.
#include "app/frmmain.h"

#include "app/frmmenu.h"
#include "app/frmsplash.h"
#include "app/services.h"
#include "app/windows.h"
#include "db/globals.h"
#include "db/schema.h"
#include "db/sharedqueries.h"
#include "paper/frmcitationmap.h"
#include "timekeeping/frmhourschart.h"
#include "timekeeping/frmtimemanagement.h"
#include "timekeeping/frmtimesheet.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QDate>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenuBar>
#include <QSaveFile>
#include <QStatusBar>

namespace quirelle {

namespace {

const QString settingsFile = QStringLiteral("support.nif");
const QString projectFilter = QStringLiteral("Microsoft Access File (*.mdb)|*.mdb");

// Reads items as the settings file is written: an item ends at a comma or at the end of a
// line, leading blanks are skipped, and a value in double quotes is taken without them (and may
// then hold commas).
QStringList readItems(const QString& content, int wanted)
{
    QStringList items;
    qsizetype i = 0;
    const qsizetype n = content.size();
    while (items.size() < wanted && i < n) {
        while (i < n && (content[i] == QLatin1Char(' ') || content[i] == QLatin1Char('\t')))
            ++i;
        QString item;
        if (i < n && content[i] == QLatin1Char('"')) {
            const qsizetype close = content.indexOf(QLatin1Char('"'), i + 1);
            const qsizetype end = close < 0 ? n : close;
            item = content.mid(i + 1, end - i - 1);
            i = end + 1;
            while (i < n && content[i] != QLatin1Char(',') && content[i] != QLatin1Char('\n'))
                ++i;
        } else {
            const qsizetype start = i;
            while (i < n && content[i] != QLatin1Char(',') && content[i] != QLatin1Char('\n'))
                ++i;
            item = content.mid(start, i - start);
            if (item.endsWith(QLatin1Char('\r')))
                item.chop(1);
            item = item.trimmed();
        }
        if (i < n)
            ++i; // the comma or line end
        items << item;
    }
    return items;
}

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
    bar->addWidget(panel, 1);
    setStatusBar(bar);

    m_area->setMinimumSize(toPixels(9405), toPixels(7860));
    adjustSize();
    m_area->setMinimumSize(0, 0);
}

frmMain::~frmMain()
{
    Form::unloadAllForms();
    if (m_forget)
        m_forget();
}

void frmMain::buildMenus()
{
    struct Item
    {
        const char* menu;
        const char* caption;
        const char* name;
        std::function<void()> action;
    };
    const std::vector<Item> items{
        {"&File", "&Open", "mnuOpen", [this] { mnuOpen_Click(); }},
        {"&File", "New", "mnuNew", [this] { mnuNew_Click(); }},
        {"&File", "E&xit", "mnuExit", [this] { mnuExit_Click(); }},
        {"&Add", "&Authors", "mnuAuthors", [] { windows::openAuthorEditor(); }},
        {"&Add", "&Models", "mnuModels", [] { windows::openModelEditor(); }},
        {"&Add", "&Keywords", "mnuKeywords", [] { windows::openKeywordEditor(); }},
        {"&Add", "&Paper", "mnuPaper", [] { windows::openNewPaper(); }},
        {"&Tools", "&Search", "mnuSearch", [] { windows::openSearch(); }},
        {"&Tools", "&Reports", "mnuReports", [] { windows::openReport(); }},
        {"&Tools", "&Timesheet", "mnuTimeSheets", [this] { mnuTimeSheets_Click(); }},
        {"&Tools", "&Meetings", "mnuMeetings", [] { windows::openMeetings(); }},
        {"&Tools", "Reading &List", "mnuReadingList", [] { windows::writeReadingList(); }},
        {"&Tools", "Hours &Chart", "mnuHoursChart", [] { frmHoursChart::instance().populate(); }},
        {"&Tools", "Citation Ma&p", "mnuCitationMap",
         [] { frmCitationMap::instance().populate(); }},
        {"&Help", "&About", "mnuAbout", [this] { mnuAbout_Click(); }},
    };
    const std::map<QString, QString> menuNames{
        {"&File", "mnuFile"}, {"&Add", "mnuAdd"}, {"&Tools", "mnuTools"}, {"&Help", "mnuHelp"}};
    std::map<QString, QMenu*> menus;
    for (const Item& item : items) {
        const QString title = QString::fromUtf8(item.menu);
        QMenu*& menu = menus[title];
        if (!menu) {
            menu = menuBar()->addMenu(title);
            menu->setObjectName(menuNames.at(title));
        }
        QAction* action = menu->addAction(QString::fromUtf8(item.caption));
        action->setObjectName(QString::fromUtf8(item.name));
        const auto handler = item.action;
        QObject::connect(action, &QAction::triggered, this,
                         [handler] { services::guarded(handler); });
    }
}

QLabel* frmMain::statusPanel(int index) const
{
    return statusBar()->findChild<QLabel*>(QStringLiteral("Panels(%1)").arg(index));
}

void frmMain::loadForm()
{
    globals().appPath = QCoreApplication::applicationDirPath();
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

void frmMain::closeEvent(QCloseEvent* event)
{
    event->accept();
    services::guarded([this] { exitApplication(); });
}

void frmMain::exitApplication()
{
    commitFocusedBox();
    globals().releaseAll();
    services::End();
}

void frmMain::showProjectCaption()
{
    getAllPapers();
    setWindowTitle(QStringLiteral("Corvantis Tessiva V1.8 - ") + QStringLiteral("Project: ") +
                   globals().projectFilePath + QStringLiteral(" - Papers added: ") +
                   QString::number(globals().rsPapers.RecordCount()));
}

QString frmMain::getLastOpenedFile()
{
    QFile f(settingsFile);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    // Line 1 is not ours and may hold anything, commas included: the path is line 2's item.
    const QString content = QString::fromUtf8(f.readAll());
    const qsizetype lineEnd = content.indexOf(QLatin1Char('\n'));
    if (lineEnd < 0)
        return {};
    const QStringList items = readItems(content.mid(lineEnd + 1), 1);
    return items.value(0);
}

bool frmMain::setLastOpenedFile(const QString& path)
{
    // Line 1 is not ours: it is written back as it was. A missing file is made anew.
    QString firstLine;
    QFile in(settingsFile);
    if (in.exists()) {
        if (!in.open(QIODevice::ReadOnly)) {
            services::MsgBox(QStringLiteral("support.nif is corrupt"), services::vbCritical);
            return false;
        }
        firstLine = QString::fromUtf8(in.readLine());
        while (firstLine.endsWith(QLatin1Char('\n')) || firstLine.endsWith(QLatin1Char('\r')))
            firstLine.chop(1);
        in.close();
    }
    // The path is written in quotes so that a comma in it survives the reading back.
    QSaveFile out(settingsFile);
    if (!out.open(QIODevice::WriteOnly)) {
        services::MsgBox(QStringLiteral("support.nif is corrupt"), services::vbCritical);
        return false;
    }
    out.write((firstLine + QLatin1Char('\n') + QLatin1Char('"') + path + QLatin1Char('"') +
               QLatin1Char('\n'))
                  .toUtf8());
    if (!out.commit()) {
        services::MsgBox(QStringLiteral("support.nif is corrupt"), services::vbCritical);
        return false;
    }
    return true;
}

namespace {

// The file dialog of Open and New; the save mode of New neither asks for an existing file nor
// about overwriting one (New says itself when the file exists).
services::FileDialogSettings projectDialog(bool mustExist)
{
    services::FileDialogSettings settings;
    settings.title = QStringLiteral("Open File");
    settings.initialDir = globals().appPath;
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
    windows::unloadSearch();
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
                         services::vbYesNoCancel) != services::vbYes) {
        return;
    }
    db::createProjectFile(path);
    if (frmMenu::instance().connectTo(path))
        setLastOpenedFile(path);
}

void frmMain::mnuExit_Click()
{
    frmTimeManagement::instance().showForm();
}

void frmMain::mnuTimeSheets_Click()
{
    frmTimeSheet::instance().populate();
}

void frmMain::mnuAbout_Click()
{
    frmSplash::instance().populate();
}

} // namespace quirelle
