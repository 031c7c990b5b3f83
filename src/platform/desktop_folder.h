// The user's desktop folder, where the installer puts its shortcut.
#pragma once

#include <string>

namespace tarvo::platform {

// The first of these that names an existing folder, with a trailing '/':
//   1. the environment variable XDG_DESKTOP_DIR;
//   2. XDG_DESKTOP_DIR in $XDG_CONFIG_HOME/user-dirs.dirs (default ~/.config), where
//      "$HOME/..." is relative to the home folder and the home folder itself means the
//      user turned the desktop off;
//   3. ~/Desktop.
// Empty when there is none: then there is no desktop to put anything on.
std::string DesktopFolder();

// The value of XDG_DESKTOP_DIR in the content of a user-dirs.dirs file, with "$HOME"
// expanded; empty when the file does not set it or sets it to the home folder.
std::string DesktopFromUserDirs(const std::string& content, const std::string& home);

}  // namespace tarvo::platform
