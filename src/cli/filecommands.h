// quirelle-cli's commands for the files of papers: attach (or link) files to a paper, and list
// the files of the project.
#pragma once

namespace quirelle::cli {

struct Arguments;

// attach PROJECT PAPER-ID FILE... [--copy]: links each FILE where it is, or with --copy attaches
// a copy beside the project; one line per file added. 1 when any file was not added.
int runAttach(const Arguments& a);
// files PROJECT [--missing]: one line per file, "paper id<TAB>state<TAB>path", the state being
// "attached", "linked" or "missing"; with --missing only the missing ones.
int runFiles(const Arguments& a);

} // namespace quirelle::cli
