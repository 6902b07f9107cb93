// Tools > "Find Missing Files...".
#pragma once

namespace quirelle::windows {

// Asks for a folder, looks in it for the papers' files that are no longer where they were,
// relinks those found and says how many were found and how many are still missing.
void findMissingFiles();

} // namespace quirelle::windows
