// Where the desktop is: the environment first, then user-dirs.dirs, then ~/Desktop; a
// desktop that does not exist is no desktop.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "../common/temp_dir.h"
#include "platform/desktop_folder.h"

using namespace tarvo::platform;

namespace {

struct TUserDirsCase {
  const char* Content;
  const char* Expected;
};

const TUserDirsCase kUserDirs[] = {
    {"XDG_DESKTOP_DIR=\"$HOME/Bureau\"\n", "/home/u/Bureau"},
    {"# comment\nXDG_DOWNLOAD_DIR=\"$HOME/Dl\"\n  XDG_DESKTOP_DIR=\"/srv/desk top\"\n", "/srv/desk top"},
    {"XDG_DESKTOP_DIR=\"$HOME/a\"\nXDG_DESKTOP_DIR=\"$HOME/b\"\n", "/home/u/b"},  // the last one wins
    {"XDG_DESKTOP_DIR=\"$HOME/Bu\\\"reau\"\n", "/home/u/Bu\"reau"},
    {"XDG_DESKTOP_DIR=\"$HOME/\"\n", ""},     // pointing at home turns the desktop off
    {"XDG_DESKTOP_DIR=\"$HOMEX/a\"\n", ""},
    {"XDG_DESKTOP_DIR=\"relative\"\n", ""},
    {"XDG_DESKTOP_DIR=\"$HOME/unterminated\n", ""},
    {"XDG_DESKTOP_DIR=$HOME/unquoted\n", ""},
    {"", ""},
};

class UserDirs : public ::testing::TestWithParam<TUserDirsCase> {};

TEST_P(UserDirs, Value) { EXPECT_EQ(DesktopFromUserDirs(GetParam().Content, "/home/u"), GetParam().Expected); }

INSTANTIATE_TEST_SUITE_P(Cases, UserDirs, ::testing::ValuesIn(kUserDirs));

TEST(DesktopFolder, FirstExistingCandidateOrNone) {
  namespace fs = std::filesystem;
  const tarvo::testing::TTempDir temp;
  const fs::path& home = temp.Path();
  fs::create_directories(home / ".config");
  ::setenv("HOME", home.c_str(), 1);
  ::unsetenv("XDG_CONFIG_HOME");
  ::setenv("XDG_DESKTOP_DIR", (home / "missing").c_str(), 1);
  EXPECT_EQ(DesktopFolder(), "");  // nothing exists

  fs::create_directories(home / "Desktop");
  EXPECT_EQ(DesktopFolder(), (home / "Desktop").string() + "/");

  std::ofstream(home / ".config" / "user-dirs.dirs") << "XDG_DESKTOP_DIR=\"$HOME/Bureau\"\n";
  EXPECT_EQ(DesktopFolder(), (home / "Desktop").string() + "/");  // Bureau does not exist
  fs::create_directories(home / "Bureau");
  EXPECT_EQ(DesktopFolder(), (home / "Bureau").string() + "/");

  fs::create_directories(home / "env");
  ::setenv("XDG_DESKTOP_DIR", (home / "env").c_str(), 1);
  EXPECT_EQ(DesktopFolder(), (home / "env").string() + "/");
  ::unsetenv("XDG_DESKTOP_DIR");
  fs::remove_all(home);
}

}  // namespace
