// Fixed drives from the mount table and from the override, and the folder field's look-ups.
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "../common/temp_dir.h"
#include "platform/fixed_drives.h"
#include "platform/folders.h"

using namespace tarvo::platform;
namespace fs = std::filesystem;

namespace {

std::string Letters(const std::vector<TDriveInfo>& drives) {
  std::string out;
  for (const TDriveInfo& d : drives) out += std::string(1, d.Letter) + "=" + d.Root + ";";
  return out;
}

struct MountCase {
  const char* name;
  const char* mountinfo;
  const char* expected;
};

// 8:17 plays a USB stick.
bool UsbStick(unsigned major, unsigned minor) { return major == 8 && minor == 17; }

const MountCase kMountCases[] = {
    {"container_root_is_c_pseudo_file_systems_are_not_drives",
     "60 1 0:50 / / rw - overlay overlay rw\n"
     "61 60 0:51 / /proc rw - proc proc rw\n"
     "62 60 0:52 / /dev rw - tmpfs tmpfs rw\n"
     "63 60 0:53 / /sys ro - sysfs sysfs ro\n",
     "C=/;"},
    {"desktop_skips_boot_removable_network_binds_and_repeats",
     "20 1 8:2 / / rw shared:1 - ext4 /dev/sda2 rw\n"
     "21 20 8:1 / /boot/efi rw shared:2 - vfat /dev/sda1 rw\n"
     "22 20 8:3 / /home rw shared:3 - ext4 /dev/sda3 rw\n"
     "23 20 8:17 / /media/stick rw - vfat /dev/sdb1 rw\n"
     "24 20 0:60 / /mnt/nas rw - nfs4 server:/export rw\n"
     "25 20 8:4 /sub /mnt/bound rw - ext4 /dev/sda4 rw\n"
     "26 20 8:3 / /srv/home-again rw - ext4 /dev/sda3 rw\n"
     "27 20 8:5 / /data rw - xfs /dev/sda5 rw\n",
     "C=/;D=/home;E=/data;"},
    {"escaped_mount_point", "20 1 8:2 / / rw - ext4 /dev/sda2 rw\n21 20 8:3 / /mnt/my\\040disk rw - ext4 /dev/sda3 rw\n",
     "C=/;D=/mnt/my disk;"},
    {"malformed_lines_are_skipped",
     "garbage\n20 1 8:2 / / rw - ext4 /dev/sda2 rw\n21 20 x / /a rw - ext4 /dev/sda3 rw\n22 20 8:6 / /b rw ext4\n"
     "23 20 8:7 / /c rw -\n24 20 8:8 / relative rw - ext4 /dev/sdc rw\n",
     "C=/;"},
};

class MountTable : public ::testing::TestWithParam<MountCase> {};

TEST_P(MountTable, GivesTheFixedDrives) {
  EXPECT_EQ(Letters(ParseMountInfo(GetParam().mountinfo, UsbStick)), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Drives, MountTable, ::testing::ValuesIn(kMountCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(MountTable, StopsAtZ) {
  std::string text = "1 0 8:0 / / rw - ext4 /dev/sda rw\n";
  for (int i = 1; i <= 30; ++i)
    text += std::to_string(i + 1) + " 1 8:" + std::to_string(i) + " / /m" + std::to_string(i) + " rw - ext4 /dev/x rw\n";
  const std::vector<TDriveInfo> drives = ParseMountInfo(text, nullptr);
  ASSERT_EQ(drives.size(), 24u);
  EXPECT_EQ(drives.back().Letter, 'Z');
}

TEST(DriveOverride, ParsesLettersAndSkipsWhatIsNotADrive) {
  const std::pair<const char*, const char*> cases[] = {
      {"C=/srv/c;D=/srv/d", "C=/srv/c;D=/srv/d;"},
      {"d=/srv/d;C=/srv/c", "C=/srv/c;D=/srv/d;"},    // any case, listed by letter
      {"C=/first;C=/second", "C=/first;"},             // the first of a letter wins
      {"E=/x/;F=/", "E=/x;F=/;"},                      // no trailing separator but the root's
      {"X=relative;1=/a;=/a;C=;;Q", ""},               // nothing valid
  };
  for (const auto& [list, expected] : cases) EXPECT_EQ(Letters(ParseDriveOverride(list)), expected) << list;
}

TEST(DriveOverride, ReplacesTheMountTableAndFindsTheDriveOfAPath) {
  ::setenv("TARVO_DRIVES", "C=/srv/c;D=/srv/data", 1);
  const std::vector<TDriveInfo> drives = FixedDrives();
  ::unsetenv("TARVO_DRIVES");
  EXPECT_EQ(Letters(drives), "C=/srv/c;D=/srv/data;");
  EXPECT_EQ(DriveOfPath(drives, "/srv/data/x"), 'D');
  EXPECT_EQ(DriveOfPath(drives, "/srv/database"), 0);  // a name that merely starts alike
  EXPECT_EQ(DriveOfPath(drives, "/srv/c"), 'C');
}

class Folders : public ::testing::Test {
protected:
  void SetUp() override {
    for (const char* d : {"alpha", "alpine", "beta", ".hidden", "beta/inner"}) fs::create_directories(base / d);
    std::ofstream(base / "afile") << "x";
  }
  std::string B() const { return base.string(); }
  tarvo::testing::TTempDir FTemp;
  const fs::path& base = FTemp.Path();
};

TEST_F(Folders, CompletionsAreTheMatchingSubfolders) {
  const std::pair<std::string, std::vector<std::string>> cases[] = {
      {B() + "/al", {B() + "/alpha", B() + "/alpine"}},
      {B() + "/a", {B() + "/alpha", B() + "/alpine"}},  // not the file
      {B() + "/", {B() + "/alpha", B() + "/alpine", B() + "/beta"}},
      {B() + "/.", {B() + "/.hidden"}},
      {B() + "/beta/", {B() + "/beta/inner"}},
      {B() + "/missing/x", {}},
      {"relative/al", {}},
      {"", {}},
  };
  for (const auto& [typed, expected] : cases) EXPECT_EQ(FolderCompletions(typed), expected) << typed;
}

TEST_F(Folders, BrowsingStartsAtTheTextTheLastChoiceOrTheDriveRoot) {
  const fs::path previous = fs::current_path();
  fs::current_path(base / "beta");
  ::setenv("TARVO_DRIVES", ("C=/;D=" + B()).c_str(), 1);
  const std::string cases[][3] = {
      // text, last chosen, start
      {B() + "/alpha", B() + "/beta", B() + "/alpha"},
      {"", B() + "/beta", B() + "/beta"},
      {"", "", B()},                     // the root of the current drive
      {B() + "/gone", B() + "/beta", B()},  // a folder that does not exist
  };
  for (const auto& c : cases) EXPECT_EQ(BrowseStartFolder(c[0], c[1]), c[2]) << c[0] << " | " << c[1];
  ::unsetenv("TARVO_DRIVES");
  fs::current_path(previous);
}

}  // namespace
