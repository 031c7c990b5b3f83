// The program folder on both systems: made where nothing is, reused when it is ours, refused
// when a file has its name.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "../common/temp_dir.h"
#include "platform/install_folder.h"

namespace {

using tarvo::platform::PrepareInstallFolder;
using tarvo::platform::TInstallFolderState;

TEST(InstallFolder, MadeOrReusedOrRefused) {
  struct TCase {
    const char* Name;
    const char* Argument;  // below the temporary folder, as the caller passes it
    const char* Folder;    // the folder it names
    const char* Existing;  // "", "folder" (ours, with a program in it) or "file"
    TInstallFolderState Expected;
  };
  const TCase cases[] = {
      {"new", "TARVO", "TARVO", "", TInstallFolderState::ifReady},
      {"new, trailing separator", "TARVO/", "TARVO", "", TInstallFolderState::ifReady},
      {"new, missing drive root", "drive/TARVO/", "drive/TARVO", "", TInstallFolderState::ifReady},
      {"ours already", "TARVO/", "TARVO", "folder", TInstallFolderState::ifReady},
      {"a file of that name", "TARVO/", "TARVO", "file", TInstallFolderState::ifNotAFolder},
  };
  for (const TCase& c : cases) {
    const tarvo::testing::TTempDir temp;
    const std::string existing = c.Existing;
    if (existing == "folder") temp.WriteFile("TARVO/TARVO.EXE", "old");
    if (existing == "file") temp.WriteFile("TARVO", "not a folder");
    const auto result = PrepareInstallFolder(temp / c.Argument);
    EXPECT_EQ(result.State, c.Expected) << c.Name << " (error " << result.Error << ")";
    const std::filesystem::path folder = temp.Path() / c.Folder;
    if (c.Expected == TInstallFolderState::ifReady) {
      ASSERT_TRUE(std::filesystem::is_directory(folder)) << c.Name;
      // The one who installs can still write there.
      EXPECT_TRUE(std::ofstream(folder / "probe").put('x').flush().good()) << c.Name;
    }
    if (existing == "folder") {
      EXPECT_TRUE(std::filesystem::exists(folder / "TARVO.EXE")) << c.Name;
    }
    if (existing == "file") {
      EXPECT_TRUE(std::filesystem::is_regular_file(folder)) << c.Name;
    }
  }
}

}  // namespace
