// How the main window's menus and the options panel's buttons reach the windows of the other
// subsystems. Each subsystem defines the entry points of its own windows.
#pragma once

#include <QtGlobal>

namespace quirelle::windows {

void openAuthorEditor();  // populate of the author editor
void openModelEditor();   // populate of the model editor
void openKeywordEditor(); // populate of the keyword editor
void openNewPaper();      // the paper window on a new, empty paper
void openSearch();        // populate of the search window
void openReport();        // populate of the word report
void openMeetings();      // populate of the meeting log
void writeReadingList();  // the reading list file
void unloadSearch();      // the search window starts afresh at its next use

// The paper window's hand-overs (the callers hide their own window first).
void openPaperFromSearch(qint32 paperId);    // placed, populated, its "Summary" tab in front
void openPaperFromTitlePick(qint32 paperId); // placed and populated, no tab chosen
void openPaperFromReport(qint32 paperId);    // previousPaperID = -100, placed, populated

// Where the paper window's "Back" returns to.
void returnToSearch(); // placed; refilled by populate when its result list has lines, else shown
void returnToReport(); // placed and shown

} // namespace quirelle::windows
