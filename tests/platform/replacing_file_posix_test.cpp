// Permissions of a replaced file on Linux: those of the file it replaces, else 0666 less the
// umask.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>

#include "../common/temp_dir.h"
#include "platform/replacing_file.h"

namespace {

TEST(ReplacingFilePermissions, KeptOrFromTheUmask) {
  struct TCase {
    int Existing;  // -1: no file yet
    mode_t Umask;
    mode_t Expected;
  };
  const TCase cases[] = {{-1, 022, 0644}, {-1, 077, 0600}, {0600, 022, 0600}, {0755, 077, 0755}};
  const tarvo::testing::TTempDir temp;
  const auto& dir = temp.Path();
  const std::string target = (dir / "f").string();
  const mode_t saved = ::umask(022);
  for (const TCase& c : cases) {
    std::filesystem::remove(target);
    if (c.Existing >= 0) {
      std::ofstream(target) << "old";
      ::chmod(target.c_str(), static_cast<mode_t>(c.Existing));
    }
    ::umask(c.Umask);
    tarvo::platform::TReplacingFile file(target);
    file.WriteBuffer("new", 3);
    file.Commit();
    struct stat st {};
    ASSERT_EQ(::stat(target.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, c.Expected) << std::oct << c.Existing << " umask " << c.Umask;
  }
  ::umask(saved);
}

}  // namespace
