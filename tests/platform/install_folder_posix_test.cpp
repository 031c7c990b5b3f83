// The program folder's mode on Linux: 0755 whatever the umask, no group or other write on a
// folder of ours, links and other users' folders refused and left alone.
#include <gtest/gtest.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "../common/temp_dir.h"
#include "platform/install_folder.h"

namespace {

using tarvo::platform::PrepareInstallFolder;
using tarvo::platform::TInstallFolderState;

mode_t ModeOf(const std::string& path) {
  struct stat st {};
  return ::lstat(path.c_str(), &st) == 0 ? (st.st_mode & 07777) : 0;
}

TEST(InstallFolderMode, SetOrRefused) {
  struct TCase {
    const char* Name;
    const char* Existing;  // "" nothing, "folder", "link" (to a folder beside), "foreign" (a
                           // folder of nobody's: only as root)
    mode_t Mode;           // of the existing folder (or the link's target)
    mode_t Umask;
    TInstallFolderState Expected;
    mode_t After;  // of TARVO (or the link's target), 0: not looked at
  };
  const TCase cases[] = {
      {"new, umask 0", "", 0, 0, TInstallFolderState::ifReady, 0755},
      {"new, umask 077", "", 0, 077, TInstallFolderState::ifReady, 0755},
      {"ours, open to all", "folder", 0777, 022, TInstallFolderState::ifReady, 0755},
      {"ours, private", "folder", 0700, 022, TInstallFolderState::ifReady, 0700},
      {"a link", "link", 0777, 022, TInstallFolderState::ifLink, 0777},
      {"nobody's", "foreign", 0777, 022, TInstallFolderState::ifForeignOwner, 0777},
  };
  const mode_t saved = ::umask(022);
  for (const TCase& c : cases) {
    const std::string existing = c.Existing;
    const passwd* nobody = ::getpwnam("nobody");
    if (existing == "foreign" && (::geteuid() != 0 || nobody == nullptr)) {
      std::cout << "skipped \"" << c.Name << "\": a folder of another user can be made only as root\n";
      continue;
    }
    const tarvo::testing::TTempDir temp;
    const std::string folder = temp / "TARVO";
    const std::string target = temp / "elsewhere";
    if (existing == "folder" || existing == "foreign") {
      ASSERT_EQ(::mkdir(folder.c_str(), 0700), 0);
      ASSERT_EQ(::chmod(folder.c_str(), c.Mode), 0);
      if (existing == "foreign") {
        ASSERT_EQ(::chown(folder.c_str(), nobody->pw_uid, nobody->pw_gid), 0);
      }
    }
    if (existing == "link") {
      ASSERT_EQ(::mkdir(target.c_str(), 0700), 0);
      ASSERT_EQ(::chmod(target.c_str(), c.Mode), 0);
      std::filesystem::create_directory_symlink(target, folder);
    }
    ::umask(c.Umask);
    const auto result = PrepareInstallFolder(folder + "/");
    ::umask(022);
    EXPECT_EQ(result.State, c.Expected) << c.Name << " (error " << result.Error << ")";
    EXPECT_EQ(ModeOf(existing == "link" ? target : folder), c.After) << c.Name;
    if (existing == "link") {
      EXPECT_TRUE(std::filesystem::is_symlink(folder)) << c.Name;
    }
    if (existing == "foreign") {
      EXPECT_EQ(result.Owner, "nobody") << c.Name;
    }
  }
  ::umask(saved);
}

}  // namespace
