// How the main window's menus and the options panel's buttons reach the windows of the other
// subsystems. Each subsystem defines the entry points of its own windows.
#pragma once

#include <QList>
#include <QtGlobal>

namespace quirelle::windows {

void openAuthorEditor();  // populate of the author editor
void openModelEditor();   // populate of the model editor
void openKeywordEditor(); // populate of the keyword editor
void openSearch();        // populate of the search window
void openReport();        // populate of the word report
void openMeetings();      // populate of the meeting log
void openTimeSheet();     // populate of the time sheet
void showTimeEntry();     // the time entry window, the way out of the program
void writeReadingList();  // the reading list file
void openHoursChart();    // the hours logged, as a bar chart by subject
void openCitationMap();   // the papers around one paper, as a map of their citations
void importReferences();  // a BibTeX, RIS or CSL-JSON file into the open project
void exportReferences();  // the whole project as a BibTeX, RIS or CSL-JSON file
void exportPapers(const QList<qint32>& papers); // those papers, in that order
// Those papers formatted in a citation style, to copy or save; `bibliography` chooses bibliography
// entries over an in-text citation.
void openCiteAs(const QList<qint32>& papers, bool bibliography = false);
// The reference processor made ready, off the windows' thread, in the style last chosen.
void warmUpCitations();
void backUpNow();         // a backup copy of the open project, now
void openRestore();       // the backup copies of the open project, to restore one
void openSharedProject(); // where a shared project is, to open it
void unloadSearch();      // the search window starts afresh at its next use
// Files of papers were relinked: the paper window lists its paper's files afresh.
void paperFilesChanged();
// The files of the open project's papers changed (attached, linked, relinked, removed): the
// full-text index reads what is new, beside the windows.
void filesChanged();
void rebuildFullTextIndex(); // empties the full-text index and reads every file again
// The full-text index lets go of the open project's file, which is about to be replaced.
void stopFullTextIndex();

// Someone else wrote to the open project: the caption's count and every open window show their
// rows, leaving alone what the user is typing.
void changedElsewhere();

// Windows that show the rows of the project that was open are unloaded (or refilled) when
// another project is opened, before the user can act on them.
void projectChanged();

// Who opens the paper window, which decides what its "Back" and "<< doc" do and which tab is
// in front.
enum class PaperOrigin {
    NewPaper,  // a new, empty paper: the menu's "Paper" and the panel's "Add a Paper"
    Search,    // a result line of the search: placed, its "Summary" tab in front
    TitlePick, // a picked title in the search's criteria: placed, no tab chosen
    Report,    // a line of the word report: "Back" returns to the report
};
// The paper window on `paperId` (0 for NewPaper). The callers hide their own window first.
void openPaper(qint32 paperId, PaperOrigin origin);

// Where the paper window's "Back" returns to.
void returnToSearch(); // placed; refilled by populate when its result list has lines, else shown
void returnToReport(); // placed and shown

} // namespace quirelle::windows
