// quirelle-cli's commands for whole projects: copying one between project files and database
// servers, and preparing a server's database for a shared project.
#pragma once

namespace quirelle::cli {

struct Arguments;

// copy SOURCE DEST: every table of SOURCE into DEST (each a project file or a server address),
// in one transaction, checked table by table; one line per table. 1 when nothing was copied.
int runCopy(const Arguments& a);
// init-server ADDRESS: creates the project's tables in an empty database on a server.
int runInitServer(const Arguments& a);

} // namespace quirelle::cli
