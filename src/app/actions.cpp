// The command table and the one place commands are run from.
#include "app/actions.h"

#include "app/frmmain.h"
#include "app/frmsplash.h"
#include "app/services.h"
#include "app/windows.h"
#include "db/project.h"
#include "paper/findmissingfiles.h"

#include <map>

namespace quirelle {

const std::vector<MenuItem>& menuItems()
{
    // clang-format off
    static const std::vector<MenuItem> items{
        {Action::Open, "&File", "&Open", "mnuOpen"},
        {Action::New, "&File", "New", "mnuNew"},
        {Action::Import, "&File", "&Import...", "mnuImport", true},
        {Action::Export, "&File", "&Export...", "mnuExport"},
        {Action::BackUpNow, "&File", "&Back Up Now", "mnuBackUpNow", true},
        {Action::Restore, "&File", "&Restore From Backup...", "mnuRestore"},
        {Action::OpenShared, "&File", "Open &Shared Project...", "mnuOpenShared", true},
        // "Exit" stays last, as in every program.
        {Action::Exit, "&File", "E&xit", "mnuExit", true},
        {Action::AddAuthors, "&Add", "&Authors", "mnuAuthors"},
        {Action::AddModels, "&Add", "&Models", "mnuModels"},
        {Action::AddKeywords, "&Add", "&Keywords", "mnuKeywords"},
        {Action::AddPaper, "&Add", "&Paper", "mnuPaper"},
        {Action::Search, "&Tools", "&Search", "mnuSearch"},
        {Action::Reports, "&Tools", "&Reports", "mnuReports"},
        {Action::TimeSheet, "&Tools", "&Timesheet", "mnuTimeSheets"},
        {Action::Meetings, "&Tools", "&Meetings", "mnuMeetings"},
        {Action::ReadingList, "&Tools", "Reading &List", "mnuReadingList"},
        {Action::HoursChart, "&Tools", "Hours &Chart", "mnuHoursChart"},
        {Action::CitationMap, "&Tools", "Citation Ma&p", "mnuCitationMap"},
        {Action::FindMissingFiles, "&Tools", "Find Missing &Files...", "mnuFindMissingFiles",
         true},
        {Action::RebuildFullTextIndex, "&Tools", "Rebuild Full-Te&xt Index",
         "mnuRebuildFullTextIndex"},
        {Action::About, "&Help", "&About", "mnuAbout"},
    };
    // clang-format on
    return items;
}

QString menuName(const QString& caption)
{
    static const std::map<QString, QString> names{{QStringLiteral("&File"), "mnuFile"},
                                                  {QStringLiteral("&Add"), "mnuAdd"},
                                                  {QStringLiteral("&Tools"), "mnuTools"},
                                                  {QStringLiteral("&Help"), "mnuHelp"}};
    const auto it = names.find(caption);
    return it == names.end() ? QString() : it->second;
}

namespace {

// Commands that work without an open project (when the default project could not be opened,
// the program runs without one until the user opens or creates another).
bool needsProject(Action action)
{
    switch (action) {
    case Action::Open:
    case Action::New:
    case Action::OpenShared:
    case Action::Exit:
    case Action::About:
        return false;
    default:
        return true;
    }
}

void run(Action action)
{
    switch (action) {
    case Action::Open:
        frmMain::instance().mnuOpen_Click();
        break;
    case Action::New:
        frmMain::instance().mnuNew_Click();
        break;
    case Action::Exit:
        windows::showTimeEntry();
        break;
    case Action::AddAuthors:
        windows::openAuthorEditor();
        break;
    case Action::AddModels:
        windows::openModelEditor();
        break;
    case Action::AddKeywords:
        windows::openKeywordEditor();
        break;
    case Action::AddPaper:
        windows::openPaper(0, windows::PaperOrigin::NewPaper);
        break;
    case Action::Search:
        windows::openSearch();
        break;
    case Action::Reports:
        windows::openReport();
        break;
    case Action::TimeSheet:
        windows::openTimeSheet();
        break;
    case Action::Meetings:
        windows::openMeetings();
        break;
    case Action::ReadingList:
        windows::writeReadingList();
        break;
    case Action::About:
        frmSplash::instance().populate();
        break;
    case Action::HoursChart:
        windows::openHoursChart();
        break;
    case Action::CitationMap:
        windows::openCitationMap();
        break;
    case Action::Import:
        windows::importReferences();
        break;
    case Action::Export:
        windows::exportReferences();
        break;
    case Action::BackUpNow:
        windows::backUpNow();
        break;
    case Action::Restore:
        windows::openRestore();
        break;
    case Action::FindMissingFiles:
        windows::findMissingFiles();
        break;
    case Action::RebuildFullTextIndex:
        windows::rebuildFullTextIndex();
        break;
    case Action::OpenShared:
        windows::openSharedProject();
        break;
    }
}

} // namespace

void runAction(Action action)
{
    services::guarded([action] {
        if (needsProject(action) && !project().isOpen()) {
            services::MsgBox(QStringLiteral("No project is open. Open a project with File > Open, "
                                            "or create one with File > New."));
            return;
        }
        run(action);
    });
}

} // namespace quirelle
