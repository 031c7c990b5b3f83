// The replacing file: the target changes only on Commit, and whatever happens nothing but
// the target is left in its folder.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>

#include "../common/read_file.h"
#include "../common/temp_dir.h"
#include "core/exception.h"
#include "platform/replacing_file.h"

using tarvo::platform::TReplacingFile;
namespace fs = std::filesystem;

namespace {

class ReplacingFile : public ::testing::Test {
protected:
  std::string Target() const { return (FDir / "target.bin").string(); }
  std::string Content() const { return tarvo::testing::ReadFile(Target()); }
  void Plant(const std::string& content) const { std::ofstream(Target(), std::ios::binary) << content; }
  std::size_t Entries() const { return static_cast<std::size_t>(std::distance(fs::directory_iterator(FDir), {})); }

  tarvo::testing::TTempDir FTemp;
  const fs::path& FDir = FTemp.Path();
};

struct TReplaceCase {
  const char* Name;
  bool Existing;
  std::function<void(TReplacingFile&)> Use;
  const char* Expected;  // the target afterwards; nullptr: absent
};

const TReplaceCase kReplaceCases[] = {
    {"NewFileCommitted", false, [](TReplacingFile& f) { f.WriteBuffer("new", 3), f.Commit(); }, "new"},
    {"ExistingReplaced", true, [](TReplacingFile& f) { f.WriteBuffer("new", 3), f.Commit(); }, "new"},
    {"ExistingKeptOnDiscard", true, [](TReplacingFile& f) { f.WriteBuffer("new", 3), f.Discard(); }, "old"},
    {"ExistingKeptWhenAbandoned", true, [](TReplacingFile& f) { f.WriteBuffer("new", 3); }, "old"},
    {"NewFileNotLeftWhenAbandoned", false, [](TReplacingFile& f) { f.WriteBuffer("new", 3); }, nullptr},
    // A redirect's body is written, then cut away before the real one.
    {"RewoundAndCut", true,
     [](TReplacingFile& f) {
       f.WriteBuffer("redirect page", 13);
       f.SetPosition(0);
       f.SetSize(0);
       f.WriteBuffer("body", 4);
       f.Commit();
     },
     "body"},
};

TEST_F(ReplacingFile, TargetChangesOnlyOnCommit) {
  for (const TReplaceCase& c : kReplaceCases) {
    SCOPED_TRACE(c.Name);
    fs::remove(Target());
    if (c.Existing) Plant("old");
    {
      TReplacingFile file(Target());
      EXPECT_EQ(Entries(), c.Existing ? 2u : 1u);  // the temporary file, beside the target
      if (c.Existing) {
        EXPECT_EQ(Content(), "old");  // untouched while written
      }
      c.Use(file);
    }
    if (c.Expected == nullptr) {
      EXPECT_FALSE(fs::exists(Target()));
    } else {
      EXPECT_EQ(Content(), c.Expected);
    }
    EXPECT_EQ(Entries(), c.Expected == nullptr ? 0u : 1u);
  }
}

TEST_F(ReplacingFile, MissingFolderNamesTheTarget) {
  const std::string target = (FDir / "missing" / "x.bin").string();
  try {
    TReplacingFile file(target);
    FAIL() << "created a file in a missing folder";
  } catch (const tarvo::core::EFCreateError& e) {
    EXPECT_NE(std::string(e.what()).find(target), std::string::npos) << e.what();
  }
}

// A folder at the target's name is not replaced: Commit fails and leaves nothing behind.
TEST_F(ReplacingFile, FolderAtTheNameStays) {
  fs::create_directory(Target());
  TReplacingFile file(Target());
  file.WriteBuffer("x", 1);
  EXPECT_THROW(file.Commit(), tarvo::core::EInOutError);
  EXPECT_TRUE(fs::is_directory(Target()));
  EXPECT_EQ(Entries(), 1u);
}

}  // namespace
