// quirelle-cli's commands for the full-text index: bring it up to date, and search it.
#pragma once

namespace quirelle::cli {

struct Arguments;

// index PROJECT: reads the files added or changed since the last time, with a progress line on
// standard error, then prints what was done and each file that could not be read.
int runIndex(const Arguments& a);
// search PROJECT TEXT...: the papers whose files hold the words, best first, one line each:
// "paper id<TAB>title<TAB>page N<TAB>passage", the words found in [brackets].
int runSearch(const Arguments& a);

} // namespace quirelle::cli
