// One installer per install folder: the second taker of a folder's lock is told no until the
// first lets go; another folder is free meanwhile.
#include <gtest/gtest.h>

#include <filesystem>

#include "../common/temp_dir.h"
#include "platform/install_lock.h"

namespace {

using tarvo::platform::TInstallLock;

TEST(InstallLock, OneHolderPerFolder) {
  tarvo::testing::TTempDir dir;
  std::filesystem::create_directories(dir.Path() / "c");
  std::filesystem::create_directories(dir.Path() / "d");
  const std::string c = dir / "c/TARVO/", d = dir / "d/TARVO";
  auto first = TInstallLock::TryTake(c);
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(TInstallLock::TryTake(c), nullptr);
  EXPECT_EQ(TInstallLock::TryTake(dir / "c/TARVO"), nullptr);  // the same folder, written otherwise
  EXPECT_NE(TInstallLock::TryTake(d), nullptr);                 // another drive
  first.reset();
  EXPECT_NE(TInstallLock::TryTake(c), nullptr);
  // A drive that is not there: nothing to hold, nothing to refuse.
  EXPECT_NE(TInstallLock::TryTake(dir / "nowhere/TARVO/"), nullptr);
}

}  // namespace
