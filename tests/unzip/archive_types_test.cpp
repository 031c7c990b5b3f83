// Tar archives and gzip and bzip2 files: archives made by GNU tar, bsdtar, gzip and bzip2
// extract to the files they were made from; hostile tar entries neither escape the base
// folder nor create links or devices; damaged gzip files are refused before anything is
// written.
#include <gtest/gtest.h>


#include <map>
#include <random>

#include "test_support.h"
#include "unzip/unzipper.h"

using namespace tarvo;
using namespace tarvo::unzip;
using namespace tarvo::unzip::test;

namespace {

// The source tree every maker packs: text, an incompressible 300 KB file, an empty file,
// a name longer than the 100 bytes of a header's name field, and a symbolic link.
class ArchiveMakers : public ::testing::TestWithParam<std::pair<const char*, const char*>> {
protected:
  static void SetUpTestSuite() {
    Source = new TTempDir;
    fs::path src = Source->Path() / "src";
    fs::create_directories(src / std::string(60, 'd'));
    WriteText((src / "hello.txt").string(), "hello, tar\n");
    WriteText((src / "empty").string(), "");
    std::mt19937 random(7);
    std::string noise(300000, '\0');
    for (char& c : noise) c = static_cast<char>(random());
    WriteText((src / std::string(60, 'd') / std::string(90, 'f')).string(), noise);
    HasLink = MakeSymlink("hello.txt", src / "link");  // not under Wine, which makes no links
  }
  static void TearDownTestSuite() { delete Source; }
  static TTempDir* Source;
  static bool HasLink;
};
TTempDir* ArchiveMakers::Source = nullptr;
bool ArchiveMakers::HasLink = false;

// {command run in the source's parent ($A: the archive), archive name}. A row whose name
// is one file's (a.gz) expects that file alone (two members: both files, one after the
// other); every other row the whole tree.
TEST_P(ArchiveMakers, ExtractsWhatWasPacked) {
  auto [command, name] = GetParam();
  std::string tool = std::string(command).substr(0, std::string(command).find(' '));
  if (!HaveTool(tool)) GTEST_SKIP() << tool << " is not installed";
  TTempDir out;
  std::string archive = out / name;
  ASSERT_EQ(Shell("cd " + Quote(Source->Path().string()) + " && A=" + Quote(archive) + " && " + command), 0);
  fs::create_directory(out.Path() / "x");
  TArchiveRun result = RunArchive(archive, out / "x");
  ASSERT_EQ(result.OpenError, "");
  std::map<std::string, std::string> expected = FilesBelow(Source->Path()), got = FilesBelow(out.Path() / "x");
  const std::string n = name;
  if (n.find("tar") == std::string::npos && n.find(".tgz") == std::string::npos && n.find(".tbz") == std::string::npos) {
    // One compressed file: named as gzip stored it, or after the archive.
    std::string big = expected.at("src/" + std::string(60, 'd') + "/" + std::string(90, 'f'));
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got.begin()->second, std::string(name).substr(0, 3) == "ab." ? big + "hello, tar\n" : big);
    // gzip's stored name; bzip2's the archive's without ".bz2".
    EXPECT_EQ(got.begin()->first, n == "ab.bz2" ? std::string("ab") : std::string(90, 'f'));
    EXPECT_TRUE(result.Failures.empty());
    return;
  }
  EXPECT_EQ(got, expected);
  // The link is listed and fails as itself; nothing else fails.
  if (!HasLink) {
    EXPECT_TRUE(result.Failures.empty());
    return;
  }
  ASSERT_EQ(result.Failures.size(), 1u);
  EXPECT_NE(result.Failures[0].find("src/link: Cannot extract file - links, devices and pipes are not created"),
            std::string::npos);
  EXPECT_FALSE(fs::exists(fs::symlink_status(out.Path() / "x/src/link")));
}

INSTANTIATE_TEST_SUITE_P(
    Tools, ArchiveMakers,
    ::testing::Values(std::make_pair("tar --format=ustar -cf \"$A\" src", "ustar.tar"),
                      std::make_pair("tar --format=gnu -cf \"$A\" src", "gnu.tar"),
                      std::make_pair("tar --format=gnu -czf \"$A\" src", "gnu.tgz"),
                      std::make_pair("tar --format=gnu -czf \"$A\" src", "gnu.tar.gz"),
                      std::make_pair("tar --format=gnu -cjf \"$A\" src", "gnu.tar.bz2"),
                      std::make_pair("tar --format=pax -cjf \"$A\" src", "pax.tbz"),
                      std::make_pair("bsdtar -cf \"$A\" src", "bsd.tar"),
                      std::make_pair("bsdtar -czf \"$A\" src", "bsd.tar.gz"),
                      std::make_pair("bsdtar -cjf \"$A\" src", "bsd.tbz"),
                      std::make_pair("gzip -9 -c src/d*/f* > \"$A\"", "named.gz"),
                      std::make_pair("bzip2 -c src/d*/f* > \"$A\"", "ffffffffffffffffffffffffffffffffffffffffffffff"
                                                                    "ffffffffffffffffffffffffffffffffffffffffffff.bz2"),
                      std::make_pair("gzip -c src/d*/f* > \"$A\" && gzip -c src/hello.txt >> \"$A\"", "ab.gz"),
                      std::make_pair("bzip2 -c src/d*/f* > \"$A\" && bzip2 -c src/hello.txt >> \"$A\"", "ab.bz2"),
                      // Bytes after the last member that start no other are ignored, as gzip
                      // and GNU tar ignore them: the zeros a blocked copy pads with, junk.
                      std::make_pair("tar --format=gnu -czf \"$A\" src && head -c 10240 /dev/zero >> \"$A\"",
                                     "zero_padded.tgz"),
                      std::make_pair("gzip -9 -c src/d*/f* > \"$A\" && head -c 512 /dev/zero >> \"$A\"", "zero_padded.gz"),
                      std::make_pair("gzip -9 -c src/d*/f* > \"$A\" && printf 'junk after it' >> \"$A\"", "junk_after.gz")));

// One opening, two passes: a test, then the extraction. A tree packed by GNU tar (plain or
// compressed) extracts to what GNU tar itself extracts from it, whether the content opening
// decoded could be kept in the temporary folder or not (a folder that does not exist: each
// pass then decodes the archive again), and nothing else is left in the base folder.
struct TTwoPasses {
  const char* Case;
  const char* Compress;  // tar's compression flag ("" for none)
  bool KeepCopy;
};
class TwoPasses : public ::testing::TestWithParam<TTwoPasses> {};

TEST_P(TwoPasses, ExtractLikeGnuTar) {
  const TTwoPasses& c = GetParam();
  TTempDir dir;
  for (int i = 0; i < 3; ++i) fs::create_directories(dir.Path() / "src" / ("d" + std::to_string(i)));
  for (int i = 0; i < 40; ++i)
    WriteText(dir / ("src/d" + std::to_string(i % 3) + "/f" + std::to_string(i)), std::string(i * 37, 'a' + i % 26));
  std::mt19937 random(3);
  std::string noise(100000, '\0');  // longer than a listing read: its data is passed over
  for (char& ch : noise) ch = static_cast<char>(random());
  WriteText(dir / "src/noise.bin", noise);
  const std::string archive = dir / (std::string("t.tar") + (*c.Compress ? ".x" : ""));
  ASSERT_EQ(Shell("tar -C " + Quote(dir / "src") + " -c" + c.Compress + "f " + Quote(archive) + " . && mkdir " +
                  Quote(dir / "gnu") + " " + Quote(dir / "ours") + " && tar -C " + Quote(dir / "gnu") + " -xf " +
                  Quote(archive)),
            0);

  TVmUnZipper unzipper;
  std::vector<std::string> failures;
  unzipper.OnProcessItemFailure = [&](void*, TVmArchiveItem* item, TVmProcessType, TVmErrorClass, int,
                                      const std::string& message) { failures.push_back(item->FileName() + message); };
  unzipper.SetExtractOptions(eoCreateDirs | eoRestorePath);
  unzipper.FTempDirectory = c.KeepCopy ? std::string() : (dir / "missing");
  unzipper.SetBaseDirectory(dir / "ours");
  unzipper.OpenArchive(archive);
  unzipper.Archive()->TagAll();
  unzipper.TestTaggedItems();
  unzipper.ExtractFiles("*.*");
  unzipper.CloseArchive();
  EXPECT_TRUE(failures.empty()) << failures[0];
  EXPECT_EQ(FilesBelow(dir.Path() / "ours"), FilesBelow(dir.Path() / "gnu"));
}

INSTANTIATE_TEST_SUITE_P(Kinds, TwoPasses,
                         ::testing::Values(TTwoPasses{"tar", "", true}, TTwoPasses{"tgz", "z", true},
                                           TTwoPasses{"tgz_decoded_again", "z", false}, TTwoPasses{"tbz", "j", true},
                                           TTwoPasses{"tbz_decoded_again", "j", false}),
                         [](const auto& info) { return std::string(info.param.Case); });

struct THostileTar {
  const char* Case;
  std::string Entry;        // header (and data) of the hostile entry
  std::string OpenError;    // expected open failure, or ""
  std::string Failure;      // expected "name: message" fragment of its failure, or ""
  std::string MustNotExist; // relative to the base folder's parent
};

class HostileTar : public ::testing::TestWithParam<THostileTar> {};

// Every hostile entry sits between two good files: the good ones are extracted, the
// hostile one fails alone (or the whole archive is refused) and creates nothing.
TEST_P(HostileTar, NothingEscapesOrIsCreated) {
  const THostileTar& c = GetParam();
  TTempDir dir;
  fs::create_directory(dir.Path() / "base");
  std::string tar = TarHeader("first.txt", '0', Octal(3)) + Data("one") + c.Entry +
                    TarHeader("last.txt", '0', Octal(3)) + Data("two") + std::string(1024, '\0');
  WriteText(dir / "h.tar", tar);
  TArchiveRun result = RunArchive(dir / "h.tar", dir / "base");
  EXPECT_EQ(result.OpenError, c.OpenError);
  if (c.OpenError.empty()) {
    EXPECT_EQ(ReadText(dir / "base/first.txt"), "one");
    EXPECT_EQ(ReadText(dir / "base/last.txt"), "two");
    ASSERT_EQ(result.Failures.size(), 1u);
    EXPECT_NE(result.Failures[0].find(c.Failure), std::string::npos) << result.Failures[0];
  }
  if (!c.MustNotExist.empty()) {
    EXPECT_FALSE(fs::exists(fs::symlink_status(dir.Path() / c.MustNotExist)));
  }
  std::size_t entries = 0;
  for (auto& e : fs::recursive_directory_iterator(dir.Path() / "base")) entries += e.is_regular_file() ? 1 : 0;
  EXPECT_EQ(entries, c.OpenError.empty() ? 2u : 0u);
}

const std::string kNotCreated = "Cannot extract file - links, devices and pipes are not created: ";
INSTANTIATE_TEST_SUITE_P(
    Entries, HostileTar,
    ::testing::Values(
        THostileTar{"symlink", TarHeader("evil", '2', Octal(0), "/etc/passwd"), "", "evil: " + kNotCreated + "evil",
                    "base/evil"},
        THostileTar{"hard_link", TarHeader("hard", '1', Octal(0), "../../etc/passwd"), "", kNotCreated + "hard",
                    "base/hard"},
        THostileTar{"char_device", TarHeader("null", '3', Octal(0)), "", kNotCreated + "null", "base/null"},
        THostileTar{"block_device", TarHeader("sda", '4', Octal(0)), "", kNotCreated + "sda", "base/sda"},
        THostileTar{"fifo", TarHeader("pipe", '6', Octal(0)), "", kNotCreated + "pipe", "base/pipe"},
        THostileTar{"absolute", TarHeader("/abs.txt", '0', Octal(1)) + Data("x"), "",
                    "/abs.txt: Cannot extract file - unsafe file name", ""},
        THostileTar{"dot_dot", TarHeader("../up.txt", '0', Octal(1)) + Data("x"), "", "unsafe file name", "up.txt"},
        THostileTar{"inner_dot_dot", TarHeader("a/../../up2.txt", '0', Octal(1)) + Data("x"), "", "unsafe file name",
                    "up2.txt"},
        THostileTar{"gnu_long_dot_dot",
                    TarHeader("././@LongLink", 'L', Octal(10)) + Data(std::string("../ln.txt", 10)) +
                        TarHeader("short", '0', Octal(1)) + Data("x"),
                    "", "../ln.txt: Cannot extract file - unsafe file name", "ln.txt"},
        THostileTar{"bad_checksum", TarHeader("sum.txt", '0', Octal(1), "", 1) + Data("x"), "Error reading archive",
                    "", ""},
        THostileTar{"size_not_octal", TarHeader("nine.txt", '0', "00000000009") + Data("x"), "Error reading archive",
                    "", ""},
        THostileTar{"size_beyond_2_63", TarHeader("big.txt", '0', Base256(1, 0)) + Data("x"), "Error reading archive",
                    "", ""},
        THostileTar{"long_name_too_long", TarHeader("././@LongLink", 'L', Octal(1u << 20)), "Error reading archive",
                    "", ""}),
    [](const auto& info) { return std::string(info.param.Case); });

// A size of 8 GiB in a file of a few blocks: listed as stated, and extraction fails at the
// end of the input without allocating for it and without leaving a file.
TEST(HostileTarSize, HugeSizeFailsAtEndOfInput) {
  TTempDir dir;
  fs::create_directory(dir.Path() / "base");
  WriteText(dir / "h.tar", TarHeader("huge.bin", '0', Base256(0, 8ull << 30)) + Data("tiny"));
  TVmUnZipper unzipper;
  std::vector<std::string> failures;
  unzipper.OnProcessItemFailure = [&](void*, TVmArchiveItem*, TVmProcessType, TVmErrorClass, int,
                                      const std::string& message) { failures.push_back(message); };
  unzipper.SetBaseDirectory(dir / "base");
  unzipper.OpenArchive(dir / "h.tar");
  ASSERT_EQ(unzipper.Count(), 1u);
  EXPECT_EQ(unzipper.Items(0)->UncompressedSize(), 8ull << 30);
  unzipper.ExtractFiles("*.*");
  EXPECT_EQ(failures, std::vector<std::string>{"Stream read error"});
  EXPECT_TRUE(fs::is_empty(dir.Path() / "base"));
  // A test passes over the data it does not need, but not over the end of the file.
  unzipper.Archive()->TagAll();
  unzipper.TestTaggedItems();
  EXPECT_EQ(failures, (std::vector<std::string>{"Stream read error", "Stream read error"}));
}

// Damaged compressed files and kinds that are not opened: refused by OpenArchive, with
// nothing written. {archive name, how the bytes are made from a good gzip file, message}.
struct TRefused {
  const char* Case;
  const char* Name;
  std::function<std::string(std::string)> Damage;
  std::string Message;
};
class RefusedFiles : public ::testing::TestWithParam<TRefused> {};

// A gzipped tar of one file whose trailer has one bit changed, at this many bytes from the end.
std::string DamagedTgz(std::size_t fromEnd) {
  std::string g =
      Capture("d=$(mktemp -d) && printf 'tar entry' > \"$d/t.txt\" && tar -C \"$d\" -czf - t.txt; rm -r \"$d\"");
  g[g.size() - fromEnd] ^= 1;
  return g;
}

TEST_P(RefusedFiles, OpenFailsWithItsMessage) {
  TTempDir dir;
  fs::create_directory(dir.Path() / "base");
  WriteText(dir / "plain.txt", std::string(5000, 'z') + "end\n");
  ASSERT_EQ(Shell("gzip -c " + Quote(dir / "plain.txt") + " > " + Quote(dir / "good.gz")), 0);
  WriteText(dir / GetParam().Name, GetParam().Damage(ReadText(dir / "good.gz")));
  TArchiveRun result = RunArchive(dir / GetParam().Name, dir / "base");
  EXPECT_EQ(result.OpenError.substr(0, GetParam().Message.size()), GetParam().Message);
  EXPECT_TRUE(fs::is_empty(dir.Path() / "base"));
}

INSTANTIATE_TEST_SUITE_P(
    Damage, RefusedFiles,
    ::testing::Values(
        TRefused{"wrong_crc", "a.gz", [](std::string g) { g[g.size() - 8] ^= 1; return g; }, "Bad CRC"},
        TRefused{"wrong_size", "a.gz", [](std::string g) { g[g.size() - 4] ^= 1; return g; }, "Bad File Size"},
        // Padding after the member declares nothing; the member's own trailer still counts.
        TRefused{"wrong_size_then_padding", "a.gz",
                 [](std::string g) { g[g.size() - 4] ^= 1; return g + std::string(512, '\0'); }, "Bad File Size"},
        TRefused{"tar_wrong_crc", "a.tgz", [](std::string) { return DamagedTgz(8); }, "Bad CRC"},
        TRefused{"tar_wrong_size", "a.tgz", [](std::string) { return DamagedTgz(4); }, "Bad File Size"},
        TRefused{"cut_trailer", "a.gz", [](std::string g) { return g.substr(0, g.size() - 3); }, "Stream read error"},
        TRefused{"cut_data", "a.gz", [](std::string g) { return g.substr(0, g.size() / 2); },
                 "Vellmora inflate error"},
        TRefused{"reserved_flags", "a.gz", [](std::string g) { g[3] = static_cast<char>(0x80); return g; },
                 "Error reading archive"},
        TRefused{"cabinet", "a.cab", [](std::string) { return std::string("MSCF\0\0\0\0", 8) + std::string(100, 'c'); },
                 "Unhandled Archive Type"},
        TRefused{"bzip2_cut", "a.bz2",
                 [](std::string) {
                   std::string b = Capture("printf 'bzip2 data %.0s' $(seq 1 2000) | bzip2 -c");
                   return b.substr(0, b.size() - 20);
                 },
                 "Stream read error"}),
    [](const auto& info) { return std::string(info.param.Case); });

}  // namespace
