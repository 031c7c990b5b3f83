// Linux only: the bytes written come from /proc/self/io and the kept copy is found in /proc/self/fd.
// Compressed tar and single-file archives decode only what they need: a tar ends at its
// end-of-archive block whatever follows it in the compressed stream, a gzip file whose
// declared size lies is refused without writing more than it declared, and a bzip2 bomb
// is refused at the expansion limit. Bombs are made at test time; what the process writes
// is measured by the kernel (/proc/self/io, every write call of every thread).
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <map>

#include "test_support.h"
#include "unzip/unzipper.h"

using namespace tarvo;
using namespace tarvo::unzip;
using namespace tarvo::unzip::test;

namespace {

// Bytes this process has handed to write calls so far.
std::uint64_t BytesWritten() {
  std::ifstream io("/proc/self/io");
  std::string key;
  std::uint64_t value = 0;
  while (io >> key >> value)
    if (key == "wchar:") return value;
  return 0;
}

struct TBomb {
  const char* Case;
  const char* Name;
  const char* Make;       // shell command in a fresh folder holding six.txt; writes "$A"
  std::string OpenError;  // "" when it opens
  std::uint64_t MaxWritten;
};
class Bombs : public ::testing::TestWithParam<TBomb> {};

// XORs the byte at this many bytes from the end of "$A" (a CRC or size that then lies).
#define FLIP(fromEnd) \
  " && python3 -c 'import sys;p=sys.argv[1];b=bytearray(open(p,\"rb\").read());b[-" #fromEnd "]^=1;open(p,\"wb\").write(b)' \"$A\""

TEST_P(Bombs, WriteNoMoreThanTheArchiveNeeds) {
  const TBomb& c = GetParam();
  if (!HaveTool("python3")) GTEST_SKIP() << "python3 is not installed";
  TTempDir dir;
  fs::create_directory(dir.Path() / "base");
  const std::string archive = dir / c.Name;
  WriteText(dir / "six.txt", "hello\n");
  ASSERT_EQ(Shell("cd " + Quote(dir.Path().string()) + " && A=" + Quote(archive) + " && " + c.Make), 0);

  const std::uint64_t before = BytesWritten();
  std::vector<std::string> failures;
  std::string openError;
  TVmUnZipper unzipper;
  unzipper.OnProcessItemFailure = [&](void*, TVmArchiveItem*, TVmProcessType, TVmErrorClass, int,
                                      const std::string& message) { failures.push_back(message); };
  unzipper.SetBaseDirectory(dir / "base");
  try {
    unzipper.OpenArchive(archive);
    unzipper.Archive()->TagAll();
    unzipper.TestTaggedItems();
    unzipper.ExtractFiles("*.*");
    unzipper.CloseArchive();
  } catch (const std::exception& e) {
    openError = e.what();
  }
  const std::uint64_t written = BytesWritten() - before;
  EXPECT_EQ(openError, c.OpenError);
  EXPECT_TRUE(failures.empty()) << failures[0];
  EXPECT_LE(written, c.MaxWritten);
  std::map<std::string, std::string> files;
  for (auto& e : fs::directory_iterator(dir.Path() / "base")) files[e.path().filename().string()] = ReadText(e.path());
  using TFiles = std::map<std::string, std::string>;
  EXPECT_EQ(files, (c.OpenError.empty() ? TFiles{{"six.txt", "hello\n"}} : TFiles{}));
}

INSTANTIATE_TEST_SUITE_P(
    Archives, Bombs,
    ::testing::Values(
        // 16 MiB of zeros after the tar's end, and a trailer that no longer matches them:
        // neither decoded nor judged.
        TBomb{"tgz_zeros_after_the_end", "a.tgz", "(tar -cf - six.txt; head -c 16M /dev/zero) | gzip -1 > \"$A\"" FLIP(8),
              "", 256 << 10},
        TBomb{"tbz_zeros_after_the_end", "a.tbz", "(tar -cf - six.txt; head -c 8M /dev/zero) | bzip2 -1 > \"$A\"", "",
              256 << 10},
        // The usual archive: its trailer just after the padding is still checked.
        TBomb{"tgz_bad_crc_in_reach", "b.tgz", "tar -czf \"$A\" six.txt" FLIP(8), "Bad CRC", 64 << 10},
        // 16 MiB that declare 1 MiB: nothing kept beyond the declaration, nothing extracted.
        TBomb{"gz_declares_less", "six.txt.gz",
              "python3 -c 'import zlib,struct,sys;c=zlib.compressobj(1,8,31);"
              "d=b\"\".join(c.compress(bytes(1<<20)) for i in range(16))+c.flush();"
              "open(sys.argv[1],\"wb\").write(d[:-4]+struct.pack(\"<I\",1<<20))' \"$A\"",
              "Bad File Size", (1 << 20) + (64 << 10)},
        // The same with a CRC that lies as well: refused at the declared size, before the
        // end where the CRC would be judged.
        TBomb{"gz_refused_at_its_declared_size", "six.txt.gz",
              "python3 -c 'import zlib,struct,sys;c=zlib.compressobj(1,8,31);"
              "d=b\"\".join(c.compress(bytes(1<<20)) for i in range(16))+c.flush();"
              "open(sys.argv[1],\"wb\").write(d[:-4]+struct.pack(\"<I\",1<<20))' \"$A\"" FLIP(8),
              "Bad File Size", (1 << 20) + (64 << 10)},
        // 20 MiB of zeros in about 50 bytes: past 1032 times the file (plus 1 MiB), refused.
        TBomb{"bz2_beyond_expansion", "six.txt.bz2", "head -c 20M /dev/zero | bzip2 -9 > \"$A\"",
              "Compressed content larger than its archive can hold", (1 << 20) + (256 << 10)}),
    [](const auto& info) { return std::string(info.param.Case); });

#undef FLIP

// The copy of the decoded content goes to the system's temporary folder, not into the
// folder being extracted to. Its file has no name: it shows as an open descriptor only.
TEST(KeptCopy, LivesInTheTemporaryFolder) {
  TTempDir dir;
  fs::create_directories(dir.Path() / "base");
  fs::create_directories(dir.Path() / "tmp");
  WriteText(dir / "six.txt", "hello\n");
  ASSERT_EQ(Shell("tar -C " + Quote(dir.Path().string()) + " -czf " + Quote(dir / "a.tgz") + " six.txt"), 0);
  const char* old = std::getenv("TMPDIR");
  const std::string saved = old ? old : "";
  ::setenv("TMPDIR", (dir / "tmp").c_str(), 1);
  TVmUnZipper unzipper;
  unzipper.SetBaseDirectory(dir / "base");
  unzipper.OpenArchive(dir / "a.tgz");
  if (old)
    ::setenv("TMPDIR", saved.c_str(), 1);
  else
    ::unsetenv("TMPDIR");
  std::map<std::string, int> where;
  for (auto& e : fs::directory_iterator("/proc/self/fd")) {
    std::error_code ec;
    const std::string target = fs::read_symlink(e.path(), ec).string();
    if (target.rfind(dir / "tmp/", 0) == 0) ++where["tmp"];
    if (target.rfind(dir / "base/", 0) == 0) ++where["base"];
  }
  EXPECT_EQ(where, (std::map<std::string, int>{{"tmp", 1}}));
  unzipper.ExtractFiles("*.*");
  unzipper.CloseArchive();
  EXPECT_EQ(ReadText(dir / "base/six.txt"), "hello\n");
  EXPECT_TRUE(fs::is_empty(dir.Path() / "tmp"));
}

}  // namespace
