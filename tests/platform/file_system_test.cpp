// The file questions both systems answer alike: what a name is, a file's size and identity,
// moving a file to a unique name, the scratch file, the read-only mapping.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

#include "../common/temp_dir.h"
#include "core/exception.h"
#include "core/file_stream.h"
#include "platform/file_system.h"
#include "platform/file_time.h"
#include "platform/mapped_file.h"
#include "platform/processors.h"
#include "platform/scratch_file.h"

using namespace tarvo;
using namespace tarvo::platform;
namespace fs = std::filesystem;

namespace {

using tarvo::testing::TTempDir;

void Write(const std::string& path, const std::string& text) { std::ofstream(path, std::ios::binary) << text; }

}  // namespace

TEST(FileSystem, KindsSizesAndIdentities) {
  TTempDir dir;
  Write(dir / "f", "12345");
  fs::create_directory(dir.Path() / "d");
  struct Case {
    std::string Name;
    TFileKind Kind;
    bool Exists, Directory;
    std::int64_t Size;
  } cases[] = {
      {"f", TFileKind::fkFile, true, false, 5},
      {"d", TFileKind::fkDirectory, true, true, -1},
      {"missing", TFileKind::fkNone, false, false, -1},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(FileKindOf(dir / c.Name), c.Kind) << c.Name;
    EXPECT_EQ(PathExists(dir / c.Name), c.Exists) << c.Name;
    EXPECT_EQ(DirectoryExists(dir / c.Name), c.Directory) << c.Name;
    EXPECT_EQ(FileSizeOf(dir / c.Name), c.Size) << c.Name;
  }
  // One file by two names is one identity; another file is another.
  fs::create_hard_link(dir.Path() / "f", dir.Path() / "g");
  Write(dir / "h", "other");
  core::TFileStream f(dir / "f", core::fmOpenRead), g(dir / "g", core::fmOpenRead), h(dir / "h", core::fmOpenRead);
  EXPECT_TRUE(FileIdentityOf(f.Handle()).Known);
  EXPECT_EQ(FileIdentityOf(f.Handle()), FileIdentityOf(g.Handle()));
  EXPECT_FALSE(FileIdentityOf(f.Handle()) == FileIdentityOf(h.Handle()));
  EXPECT_GT(FileModificationTimeOf(f.Handle()), 1600000000);
}

TEST(FileSystem, MoveToUniqueNameNeverTakesATakenName) {
  TTempDir dir;
  Write(dir / "a.zip", "archive");
  const std::string first = MoveToUniqueName(dir / "a.zip", ".zip");
  EXPECT_FALSE(PathExists(dir / "a.zip"));
  EXPECT_TRUE(first.ends_with(".zip"));
  EXPECT_EQ(first.size(), (dir / "a.zip").size() + 7 + 4);
  Write(dir / "a.zip", "second");
  const std::string second = MoveToUniqueName(dir / "a.zip", ".zip");
  EXPECT_NE(first, second);
  EXPECT_EQ(FileSizeOf(first), 7);
  EXPECT_EQ(FileSizeOf(second), 6);
  EXPECT_THROW(MoveToUniqueName(dir / "missing.zip", ".zip"), core::EFOpenError);
  EXPECT_TRUE(RemoveFile(first));
  EXPECT_FALSE(PathExists(first));
}

TEST(FileSystem, ScratchFileReadsBackByOffsetAndLeavesNothing) {
  TTempDir dir;
  {
    std::unique_ptr<TScratchFile> file = TScratchFile::Create(dir.Path().string());
    ASSERT_TRUE(file);
    ASSERT_TRUE(file->Append("hello ", 6));
    char part[5] = {};
    EXPECT_EQ(file->ReadAt(1, part, 4), 4u);  // a read between two appends
    EXPECT_EQ(std::string(part, 4), "ello");
    ASSERT_TRUE(file->Append("world", 5));
    char all[16] = {};
    EXPECT_EQ(file->ReadAt(0, all, sizeof all), 11u);
    EXPECT_EQ(std::string(all, 11), "hello world");
    EXPECT_EQ(file->ReadAt(11, all, sizeof all), 0u);
    EXPECT_GT(file->FreeSpace(), 0u);
  }
  EXPECT_TRUE(fs::is_empty(dir.Path()));
  EXPECT_EQ(TScratchFile::Create((dir.Path() / "missing").string()), nullptr);
}

TEST(FileSystem, MappedFileShowsTheContent) {
  TTempDir dir;
  Write(dir / "m", "mapped content");
  TMappedFile file(dir / "m");
  ASSERT_EQ(file.Status(), TMappedFile::TStatus::msOpened);
  EXPECT_EQ(file.FileSize(), 14u);
  std::string reason;
  ASSERT_TRUE(file.Map(reason)) << reason;
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(file.Data()), 14), "mapped content");
  EXPECT_EQ(TMappedFile(dir / "missing").Status(), TMappedFile::TStatus::msCannotOpen);
  Write(dir / "empty", "");
  TMappedFile empty(dir / "empty");
  EXPECT_FALSE(empty.Map(reason));
  EXPECT_FALSE(reason.empty());
}

TEST(Processors, IdleIsAtLeastOneAndAtMostAll) {
  const unsigned idle = IdleProcessors();
  EXPECT_GE(idle, 1u);
  EXPECT_LE(idle, std::max(1u, std::thread::hardware_concurrency()));
}

// Windows file times (100 ns since 1601) of any time an archive may state: a tar's mtime
// goes up to 2^63 seconds, which scaled naively overflows.
TEST(FileTime, AnyEpochTimeConvertsWithinWhatAFileTimeHolds) {
  constexpr std::uint64_t kEpoch = 116444736000000000, kLargest = 0x7FFFFFFFFFFFFFFF;
  struct Case {
    std::int64_t Seconds;
    std::uint64_t Ticks;
    std::int64_t Back;  // FileTimeToEpoch(Ticks)
  } cases[] = {
      {0, kEpoch, 0},
      {1700000000, kEpoch + 17000000000000000ull, 1700000000},
      {-11644473600, 0, -11644473600},                   // 1601-01-01
      {-11644473601, 0, -11644473600},                   // before: the first FILETIME
      {INT64_MIN, 0, -11644473600},
      {910692730085, kEpoch + 9106927300850000000ull, 910692730085},  // the last whole second
      {910692730086, kLargest, 910692730085},
      {INT64_MAX, kLargest, 910692730085},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(EpochToFileTime(c.Seconds), c.Ticks) << c.Seconds;
    EXPECT_EQ(FileTimeToEpoch(c.Ticks), c.Back) << c.Ticks;
  }
  EXPECT_EQ(FileTimeToEpoch(kEpoch - 5), 0);  // towards the epoch, as the system's times were read
  EXPECT_EQ(FileTimeToEpoch(~std::uint64_t{0}), 1833029933770);
}
