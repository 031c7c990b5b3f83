// The silent installation: the wizard's steps without a window, for administrators who
// deploy to many machines.
//
//   tarvo-setup --silent --language nl|fr [--drive C] [--proxy HOST:PORT]
//               [--data-folder PATH] [--existing-data | --replace-data]
//
// The texts the wizard would show go to standard error (with a progress bar when that is
// a terminal). The exit status is 0 when the wizard would reach its done page, 1 when it
// would end on its abort page or the existing data folder holds no data, 2 for a wrong
// command line. Ctrl-C (or SIGTERM, SIGHUP) stops the step at once, as Cancel does, and
// leaves no partial archive. Data already in the data folder is kept unless --replace-data.
#pragma once

#include <optional>
#include <string>

namespace tarvo::setup {

// True when the command line asks for the silent mode or its help (--silent, --help, -h).
bool WantsSilentSetup(int argc, char** argv);

int RunSilentSetup(int argc, char** argv);

// The root folder of a drive letter among the fixed drives, as the window's drive list
// offers them (TARVO_DRIVES "C=/srv/c;D=/srv/d" replaces them). Nothing for a letter that
// is not there.
std::optional<std::string> SilentDriveRoot(char letter);

}  // namespace tarvo::setup
