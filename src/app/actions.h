// The program's commands: every menu item and every button of the options panel runs one of
// them, through the same table.
#pragma once

#include <QString>

#include <vector>

namespace quirelle {

enum class Action {
    Open,
    New,
    Exit,
    AddAuthors,
    AddModels,
    AddKeywords,
    AddPaper,
    Search,
    Reports,
    TimeSheet,
    Meetings,
    ReadingList,
    About,
    HoursChart,
    CitationMap,
    BackUpNow,
    Restore,
    Import,
    Export,
    FindMissingFiles,
    RebuildFullTextIndex,
    OpenShared,
};

// A menu item: the menu it stands in, its caption (with its access key), its name, and whether
// it starts a new group of its menu (a separator above it).
struct MenuItem
{
    Action action;
    const char* menu;
    const char* caption;
    const char* name;
    bool startsGroup = false;
};

// The menu items in their order: the menus appear in the order of their first item.
const std::vector<MenuItem>& menuItems();

// The menus' names by their captions ("&File" is mnuFile).
QString menuName(const QString& caption);

// Runs the command inside the handler guard.
void runAction(Action action);

} // namespace quirelle
