// Hostile archives, each named after the fault it guards against: names that climb out of
// the base directory, entries that produce more than they declare, and counts, offsets
// and lengths that lie about the file.
#include <gtest/gtest.h>

#include <algorithm>

#include "core/exception.h"
#include "core/file_stream.h"
#include "core/memory_stream.h"
#include "platform/drives.h"
#include "platform/file_system.h"
#include "test_support.h"
#include "unzip/archive_inflate.h"
#include "unzip/entry_decoder.h"
#include "unzip/extract_path.h"
#include "unzip/output_stream.h"
#include "unzip/unzipper.h"
#include "unzip/vm_exception.h"

using namespace tarvo;
using namespace tarvo::unzip;
using namespace tarvo::unzip::test;

namespace {

// Extracts a hand-built archive into <tmp>/box/out and reports what failed; anything
// written to <tmp>/box outside out/ is an escape.
class Box {
public:
  Box() {
    fs::create_directories(Out());
  }
  fs::path Root() const { return FDir.Path() / "box"; }
  fs::path Out() const { return Root() / "out"; }

  std::vector<std::string> Extract(const TZipLayout& layout, TVmExtractOptions options) {
    std::string archive = FDir / "hostile.zip";
    WriteFile(archive, BuildZip(layout));
    std::vector<std::string> failures;
    TVmUnZipper unzipper;
    unzipper.SetExtractOptions(options);
    unzipper.OnProcessItemFailure = [&](void*, TVmArchiveItem* item, TVmProcessType, TVmErrorClass, int,
                                        const std::string& message) {
      failures.push_back(item->FileName() + ": " + message);
    };
    unzipper.SetBaseDirectory(Out().string());
    unzipper.OpenArchive(archive);
    unzipper.ExtractFiles("*.*");
    unzipper.CloseArchive();
    return failures;
  }

  // Every path under the box but outside out/.
  std::vector<std::string> Escapes() const {
    std::vector<std::string> found;
    for (auto& e : fs::recursive_directory_iterator(FDir.Path())) {
      std::string rel = fs::relative(e.path(), Root()).string();
      if (rel.rfind("out", 0) == 0 || e.path() == Root() || e.path().filename() == "hostile.zip") continue;
      if (e.path().filename() == "outside.txt") continue;  // planted by the test itself
      found.push_back(e.path().string());
    }
    return found;
  }

  std::vector<std::string> Files() const {
    std::vector<std::string> out;
    for (auto& e : fs::recursive_directory_iterator(Out())) out.push_back(fs::relative(e.path(), Out()).string());
    std::sort(out.begin(), out.end());
    return out;
  }

private:
  TTempDir FDir;
};

TZipLayout One(const std::string& name, const std::string& data = "payload") {
  TZipLayout layout;
  layout.Entries.push_back({.Name = name, .Data = data});
  return layout;
}

const std::string kUnsafe = ": Cannot extract file - unsafe file name";
const TVmExtractOptions kPaths = eoCreateDirs | eoRestorePath;

}  // namespace

// Names that climb out of the base directory when paths are restored: each is refused as
// that entry's failure, and nothing is written anywhere.
struct TUnsafeName {
  const char* Label;
  std::string Name;
};

class UnsafeName : public ::testing::TestWithParam<TUnsafeName> {};

TEST_P(UnsafeName, IsRefusedAndNothingIsWritten) {
  const std::string& name = GetParam().Name;
  Box box;
  const std::vector<std::string> failures = box.Extract(One(name), kPaths);
  ASSERT_EQ(failures.size(), 1u);
  EXPECT_TRUE(failures[0].ends_with(kUnsafe)) << failures[0];
  if (name.find('\0') == std::string::npos) {
    EXPECT_EQ(failures[0], name + kUnsafe);
  }
  EXPECT_TRUE(box.Escapes().empty());
  EXPECT_TRUE(box.Files().empty());
}

INSTANTIATE_TEST_SUITE_P(ZipSlip, UnsafeName,
                         ::testing::Values(TUnsafeName{"DotDotSlash", "../evil.txt"},
                                           TUnsafeName{"DotDotInside", "a/../../evil.txt"},
                                           TUnsafeName{"DotDotBackslash", "..\\..\\evil.txt"},
                                           TUnsafeName{"RootBackslash", "\\abs.txt"},
                                           TUnsafeName{"DriveRoot", "C:\\evil.txt"},
                                           TUnsafeName{"DriveRelative", "c:evil.txt"},
                                           TUnsafeName{"Unc", "\\\\server\\share\\evil.txt"},
                                           TUnsafeName{"NulThenDotDot", std::string("a\0/../../b.txt", 14)}),
                         [](const auto& info) { return std::string(info.param.Label); });

// Names that stay below the base directory land where their parts say; "" expects the
// refusal.
TEST(ZipSlip, entry_paths_below_the_base) {
  struct Case {
    const char* Base;
    const char* Name;
    bool IsDirectory, RestorePath;
    const char* Expected;
    const char* OnWindows = nullptr;  // when Windows' name rules make it differ
  };
  const bool windows = platform::kPathDelimiter == '\\';
  const Case cases[] = {
      {"out", "a/b.txt", false, true, "out/a/b.txt"},
      {"out", "a\\b\\c.txt", false, true, "out/a/b/c.txt"},
      {"out", "a//b/./c.txt", false, true, "out/a/b/c.txt"},
      {"out", "a\\b\\c.txt", false, false, "out/c.txt"},
      {"out", "docs/", true, true, "out/docs"},
      {"out", "docs//", true, true, ""},
      {"out", "a/./", true, true, ""},
      {"out", "a/b/..", false, true, ""},
      {"out", "D:\\dir\\x", false, false, "out/x"},
      {"out", "a/C:x", false, true, "out/a/C:x", ""},  // a drive only counts at the front; Windows: a stream
      {"out", "a/..b/...", false, true, "out/a/..b/...", ""},  // Windows would drop the trailing dots
      {"out/", "x", false, false, "out/x"},
      {"/", "x", false, false, "/x"},
      {"", "a/b", false, true, "a/b"},
  };
  for (const Case& c : cases) {
    std::string got;
    try {
      got = BuildEntryPath(c.Base, c.Name, c.IsDirectory, c.RestorePath);
    } catch (const EVmUnsafePath&) {
    }
    std::replace(got.begin(), got.end(), platform::kPathDelimiter, '/');  // Windows joins with "\\"
    EXPECT_EQ(got, windows && c.OnWindows ? c.OnWindows : c.Expected) << c.Base << " + " << c.Name;
  }
}

TEST(ZipSlip, absolute_name_lands_inside_under_its_file_name_alone) {
  Box box;
  std::string target = (box.Root() / "abs.txt").string();
  EXPECT_EQ(box.Extract(One(target), kPaths), std::vector<std::string>{target + kUnsafe});
  EXPECT_TRUE(box.Escapes().empty());
  EXPECT_TRUE(box.Extract(One(target), eoCreateDirs).empty());
  EXPECT_EQ(box.Files(), std::vector<std::string>{"abs.txt"});
}

TEST(ZipSlip, drive_is_dropped_with_the_file_name_alone) {
  Box box;
  EXPECT_TRUE(box.Extract(One("C:x"), eoCreateDirs).empty());
  EXPECT_EQ(box.Extract(One("C:"), eoCreateDirs), std::vector<std::string>{"C:" + kUnsafe});
  EXPECT_EQ(box.Files(), std::vector<std::string>{"x"});
}

TEST(ZipSlip, dot_names_with_default_options) {
  Box box;
  TZipLayout layout;
  layout.Entries.push_back({.Name = "docs/..", .Data = "x"});
  layout.Entries.push_back({.Name = ".", .Data = "x"});
  layout.Entries.push_back({.Name = "", .Data = "x"});
  layout.Entries.push_back({.Name = "fine.txt", .Data = "x"});
  EXPECT_EQ(box.Extract(layout, eoCreateDirs),
            (std::vector<std::string>{"docs/.." + kUnsafe, "." + kUnsafe, kUnsafe}));
  EXPECT_EQ(box.Files(), std::vector<std::string>{"fine.txt"});
}

// Names that are plain names on Linux but mean something else to Windows: a device, an
// alternate data stream, a name the system would change. Windows refuses each as that
// entry's failure and writes nothing (no stream, no device, nothing outside the base
// directory); Linux writes them as the names they are. Both check the name rule itself.
TEST(WindowsNames, AreRefusedOnWindowsAndPlainOnLinux) {
  const bool windowsRules = platform::kPathDelimiter == '\\';
  struct Case {
    std::string Name;
    TVmExtractOptions Options;
    bool Plain;  // what the Windows name rule says of every component kept
  };
  const TVmExtractOptions names = eoCreateDirs;
  const Case cases[] = {
      {"CON", names, false},
      {"con.txt", names, false},
      {"Aux.tar.gz", names, false},
      {"nUl", names, false},
      {"PRN .txt", names, false},
      {"COM1.log", names, false},
      {"lpt9", names, false},
      {"COM\xC2\xB9.txt", names, false},  // COM with a superscript one
      {"CONOUT$", names, false},
      {"docs/con/readme.txt", kPaths, false},  // a device as a folder
      {"docs/con/readme.txt", names, true},    // the file name alone is plain
      {"file.txt:stream", names, false},       // an alternate data stream
      {"docs/x:y/z.txt", kPaths, false},
      {"C:x.txt", names, true},                // the file name alone is x.txt
      {"evil.", names, false},                 // Windows would write "evil"
      {"evil ", names, false},
      {"dir./x.txt", kPaths, false},
      {"a<b", names, false},
      {"a>b", names, false},
      {"a\"b", names, false},
      {"a|b", names, false},
      {"a?b", names, false},
      {"a*b", names, false},
      {"tab\there", names, false},
      {"\x7F and \x1F", names, false},
      {"COM10.txt", names, true},
      {"CONSOLE.txt", names, true},
      {"nul_file", names, true},
      {"a.b.c", names, true},
      {"\xC3\xBC" "ber.txt", names, true},  // über.txt
  };
  for (const Case& c : cases) {
    bool plain = true;
    std::string_view kept = c.Name;
    if (!(c.Options & eoRestorePath)) {
      kept = kept.substr(kept.find_last_of('/') + 1);
      if (kept.size() >= 2 && kept[1] == ':') kept.remove_prefix(2);
    }
    for (std::size_t start = 0; start <= kept.size();) {
      std::size_t end = std::min(kept.find('/', start), kept.size());
      plain = plain && IsPlainWindowsName(kept.substr(start, end - start));
      start = end + 1;
    }
    EXPECT_EQ(plain, c.Plain) << c.Name;

    Box box;
    const std::vector<std::string> failures = box.Extract(One(c.Name), c.Options);
    if (windowsRules && !c.Plain) {
      EXPECT_EQ(failures, std::vector<std::string>{c.Name + kUnsafe}) << c.Name;
      EXPECT_TRUE(box.Files().empty()) << c.Name;
    } else {
      EXPECT_TRUE(failures.empty()) << c.Name << ": " << (failures.empty() ? "" : failures[0]);
    }
    EXPECT_TRUE(box.Escapes().empty()) << c.Name;
  }
}

// Where names ignore case, two entries that differ only in case would land on one file:
// the later one fails instead of silently replacing the earlier. The same name twice is
// still a plain replacement, and Linux keeps both spellings as two files.
TEST(WindowsNames, NamesDifferingOnlyInCaseDoNotLandOnOneFile) {
  Box box;
  TZipLayout layout;
  layout.Entries.push_back({.Name = "docs/Readme.txt", .Data = "first"});
  layout.Entries.push_back({.Name = "DOCS/README.TXT", .Data = "second"});
  layout.Entries.push_back({.Name = "docs/Readme.txt", .Data = "third"});
  const std::vector<std::string> failures = box.Extract(layout, kPaths);
  if (platform::FileNamesIgnoreCase()) {
    EXPECT_EQ(failures, std::vector<std::string>{"DOCS/README.TXT" + kUnsafe});
    EXPECT_EQ(ReadText((box.Out() / "docs" / "Readme.txt").string()), "third");
  } else {
    EXPECT_TRUE(failures.empty());
    EXPECT_EQ(ReadText((box.Out() / "DOCS" / "README.TXT").string()), "second");
    EXPECT_EQ(ReadText((box.Out() / "docs" / "Readme.txt").string()), "third");
  }
  EXPECT_TRUE(box.Escapes().empty());
}

TEST(ZipSlip, symlinked_folder_in_base_directory) {
  Box box;
  fs::create_directories(box.Root() / "elsewhere");
  std::error_code ec;
  fs::create_directory_symlink(box.Root() / "elsewhere", box.Out() / "link", ec);
  if (ec) GTEST_SKIP() << "this system makes no symbolic links (Wine: no reparse points)";
  EXPECT_EQ(box.Extract(One("link/evil.txt"), kPaths), std::vector<std::string>{"link/evil.txt" + kUnsafe});
  EXPECT_TRUE(fs::is_empty(box.Root() / "elsewhere"));
}

TEST(ZipSlip, symlink_at_the_target_is_replaced_not_followed) {
  Box box;
  WriteText((box.Root() / "outside.txt").string(), "precious");
  if (!MakeSymlink(box.Root() / "outside.txt", box.Out() / "target.txt"))
    GTEST_SKIP() << "this system makes no symbolic links (Wine: no reparse points)";
  EXPECT_TRUE(box.Extract(One("target.txt", "replaced"), eoCreateDirs).empty());
  EXPECT_EQ(ReadText((box.Root() / "outside.txt").string()), "precious");
  EXPECT_FALSE(fs::is_symlink(box.Out() / "target.txt"));
  EXPECT_EQ(ReadText((box.Out() / "target.txt").string()), "replaced");
}

TEST(ZipSlip, unix_symlink_entry_becomes_a_regular_file) {
  Box box;
  TZipLayout layout;
  layout.Entries.push_back({.Name = "link", .Data = "/etc/passwd", .VersionMadeBy = 0x031E,
                          .ExternalAttributes = 0120777u << 16});
  EXPECT_TRUE(box.Extract(layout, kPaths).empty());
  EXPECT_FALSE(fs::is_symlink(box.Out() / "link"));
  EXPECT_EQ(ReadText((box.Out() / "link").string()), "/etc/passwd");
}

// Progress is whole percent of the declared size, reported when it changes, also for
// sizes whose hundredfold does not fit 64 bits.
// The decoder's cause inside the archive library's own message.
TEST(HostileStreams, OuterMessageWrapsTheCause) {
  core::TMemoryStream source{std::vector<std::uint8_t>{0x07}};  // BFINAL 1, BTYPE 3 (reserved)
  core::TMemoryStream dest;
  try {
    InflateArchiveData(source, dest, nullptr);
    FAIL() << "no error";
  } catch (const EVmInflateError& e) {
    EXPECT_EQ(e.Message(),
              "Vellmora inflate error, possibly a corrupted compressed stream. (Internal cause: starting new block, "
              "but invalid block type [Inflate])");
    EXPECT_EQ(e.ErrorCode(), 0);
  }
}

TEST(DeclaredSize, progress_is_whole_percent_of_the_declared_size) {
  struct Case {
    std::uint64_t Declared;
    std::vector<std::size_t> Writes;
    std::vector<int> Reported;
  };
  const Case cases[] = {
      {3, {1, 1, 1}, {33, 66, 100}},
      {1000, {1, 9, 980, 9, 1}, {0, 1, 99, 100}},  // 0.1 % is 0; 99.9 % is still 99
      {~std::uint64_t{0}, {7, 7}, {0}},            // near 2^64: 0 % throughout
      {~std::uint64_t{0} / 100 + 1, {100}, {0}},
  };
  for (const Case& c : cases) {
    core::TNullStream sink;
    std::vector<int> reported;
    TVmUnzipOutputStream out(sink, c.Declared, [&](std::uint8_t percent, bool&) { reported.push_back(percent); });
    for (std::size_t n : c.Writes) out.WriteBuffer(std::string(n, 'x').data(), n);
    EXPECT_EQ(reported, c.Reported) << c.Declared;
  }
}

TEST(DeclaredSize, output_stream_refuses_bytes_past_the_declared_size) {
  core::TMemoryStream sink;
  TVmUnzipOutputStream out(sink, 10, nullptr);
  out.WriteBuffer("12345", 5);
  out.WriteBuffer("67890", 5);
  EXPECT_THROW(out.WriteBuffer("x", 1), EVmZipDataOverrun);
  EXPECT_EQ(sink.DataString(), "1234567890");
  TVmUnzipOutputStream whole(sink, 4, nullptr);
  EXPECT_THROW(whole.WriteBuffer("12345", 5), EVmZipDataOverrun);  // nothing of it is written
}

TEST(DeclaredSize, stored_entry_with_more_data_than_declared_stops_at_the_declared_size) {
  Box box;
  TZipLayout layout;
  layout.Entries.push_back({.Name = "long.txt", .Data = std::string(1000, 'x'), .Crc = Crc(std::string(10, 'x')),
                          .UncompressedSize = 10});
  EXPECT_TRUE(box.Extract(layout, eoCreateDirs).empty());
  EXPECT_EQ(ReadText((box.Out() / "long.txt").string()), std::string(10, 'x'));
}

TEST(DeclaredSize, deflate_bomb_fails_as_corrupt_and_leaves_no_file) {
  if (!HaveTool("zip")) GTEST_SKIP() << "zip not installed";
  // 4 MiB of zeros compress to about 4 KiB; the entry declares 1000 bytes.
  TTempDir dir;
  ASSERT_EQ(Shell("head -c 4194304 /dev/zero > " + Quote(dir / "zeros") + " && cd " + Quote(dir.Path()) +
                  " && zip -q bomb.zip zeros"),
            0);
  std::vector<std::uint8_t> bytes = ReadFile(dir / "bomb.zip");
  // Patch both uncompressed sizes (local +22, central +24) down to 1000.
  auto patch = [&](std::size_t at) {
    bytes[at] = 0xE8, bytes[at + 1] = 0x03, bytes[at + 2] = 0, bytes[at + 3] = 0;
  };
  patch(22);
  std::size_t central = 0;
  for (std::size_t i = 0; i + 4 <= bytes.size(); ++i)
    if (bytes[i] == 'P' && bytes[i + 1] == 'K' && bytes[i + 2] == 1 && bytes[i + 3] == 2) central = i;
  ASSERT_GT(central, 0u);
  patch(central + 24);
  WriteFile(dir / "bomb.zip", bytes);
  std::vector<std::string> failures;
  TVmUnZipper unzipper;
  unzipper.OnProcessItemFailure = [&](void*, TVmArchiveItem*, TVmProcessType, TVmErrorClass, int,
                                      const std::string& m) { failures.push_back(m); };
  fs::create_directories(dir.Path() / "out");
  unzipper.SetBaseDirectory(dir / "out");
  unzipper.OpenArchive(dir / "bomb.zip");
  unzipper.ExtractFiles("*.*");
  EXPECT_EQ(failures, std::vector<std::string>{"Cannot extract file - data longer than its declared size"});
  EXPECT_FALSE(fs::exists(dir.Path() / "out" / "zeros"));
}

namespace {

std::string LoadMessage(const std::vector<std::uint8_t>& bytes) {
  core::TMemoryStream stream(bytes);
  TVmZipArchive archive(&stream, "m.zip");
  try {
    archive.Load();
  } catch (const std::exception& e) {
    return e.what();
  }
  return "";
}

std::string ExtractMessage(const std::vector<std::uint8_t>& bytes) {
  core::TMemoryStream stream(bytes);
  TVmZipArchive archive(&stream, "m.zip");
  archive.Load();
  core::TNullStream sink;
  try {
    ExtractEntryToStream(archive, *archive.ZipItems(0), &sink);
  } catch (const std::exception& e) {
    return e.what();
  }
  return "";
}

// A ZIP64 tail: end record, locator and classic end record whose fields send the reader
// to the 64-bit values given.
std::vector<std::uint8_t> Zip64Tail(std::uint64_t entries, std::uint64_t size, std::uint64_t offset) {
  std::string out;
  std::uint64_t recordOffset = 0;
  out += LE32(0x06064B50) + LE64(44) + LE16(45) + LE16(45);  // signature, record size, made by, needed
  out += LE32(0) + LE32(0);                                  // this disk, directory disk
  out += LE64(entries) + LE64(entries) + LE64(size) + LE64(offset);
  out += LE32(0x07064B50) + LE32(0) + LE64(recordOffset) + LE32(1);  // locator: disk, offset, total disks
  out += LE32(0x06054B50) + LE16(0) + LE16(0) + LE16(0xFFFF) + LE16(0xFFFF) + LE32(0xFFFFFFFF) + LE32(0xFFFFFFFF) + LE16(0);
  return std::vector<std::uint8_t>(out.begin(), out.end());
}

}  // namespace

// An archive held in memory is decoded in place, through each entry's window: what comes
// out, or the error, must be what the same archive gives from a file, also when the first
// entry's compressed size lies (its data then runs on past its window into the next entry's).
TEST(MemoryArchive, DecodesAsFromAFileWithinEachWindow) {
  if (!HaveTool("zip")) GTEST_SKIP() << "zip not installed";
  TTempDir dir;
  ASSERT_EQ(Shell("cd " + Quote(dir.Path()) + " && seq 1 60000 > a.txt && seq 7 90000 > b.txt && zip -q -9 m.zip a.txt b.txt"), 0);
  const std::vector<std::uint8_t> intact = ReadFile(dir / "m.zip");
  const std::size_t central = std::search(intact.begin(), intact.end(), "PK\1\2", "PK\1\2" + 4) - intact.begin();
  for (std::uint32_t cut : {0u, 1u, 20000u}) {
    std::vector<std::uint8_t> bytes = intact;
    for (std::size_t at : {std::size_t{18}, central + 20}) {  // local and central compressed size
      std::uint32_t size = bytes[at] | bytes[at + 1] << 8 | bytes[at + 2] << 16 | std::uint32_t{bytes[at + 3]} << 24;
      size -= cut;
      for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<std::uint8_t>(size >> (8 * i));
    }
    WriteFile(dir / "lied.zip", bytes);
    auto outcome = [&](core::TStream& stream) {
      TVmZipArchive archive(&stream, "m.zip");
      archive.Load();
      std::vector<std::string> seen;
      for (std::size_t i = 0; i < 2; ++i) {
        core::TMemoryStream out;
        try {
          ExtractEntryToStream(archive, *archive.ZipItems(i), &out);
          seen.push_back(out.DataString());
        } catch (const std::exception& e) {
          seen.push_back(e.what());
        }
      }
      return seen;
    };
    core::TMemoryStream memory(bytes);
    core::TFileStream file(dir / "lied.zip", core::fmOpenRead);
    const std::vector<std::string> fromMemory = outcome(memory);
    EXPECT_TRUE(fromMemory == outcome(file)) << cut;
    EXPECT_EQ(fromMemory[1], ReadText(dir / "b.txt")) << cut;
    EXPECT_EQ(fromMemory[0] == ReadText(dir / "a.txt"), cut == 0) << cut;
  }
}

// Fields that point outside the file or promise more than it holds: refused with the
// message of the step that meets them, on opening or on extracting.
TEST(LyingFields, fields_pointing_outside_the_file) {
  enum { kLoad, kExtract };
  auto withDirectoryOffset = [](std::uint32_t offset) {
    TZipLayout layout = One("a.txt");
    layout.DirectoryOffset = offset;
    return BuildZip(layout);
  };
  auto withEntry = [](TZipEntryLayout entry) {
    TZipLayout layout;
    layout.Entries.push_back(std::move(entry));
    return BuildZip(layout);
  };
  auto patched = [](TZipLayout layout, std::size_t at) {  // a 16-bit local header field set to 65535
    auto bytes = BuildZip(layout);
    bytes[at] = 0xFF, bytes[at + 1] = 0xFF;
    return bytes;
  };
  const std::string notZip = "Invalid file - not a PKZip file";
  const std::string overlap = "Cannot extract file - data overlaps another entry";
  const struct {
    const char* What;
    std::vector<std::uint8_t> Archive;
    int Step;
    std::string Message;
  } cases[] = {
      {"ZIP64 entry count of 2^63", Zip64Tail(1ull << 63, 0, 0), kLoad, notZip},
      {"ZIP64 directory offset near 2^64", Zip64Tail(1, 46, 0xFFFFFFFFFFFFFF00ull), kLoad, notZip},
      {"ZIP64 directory offset of 1 TiB", Zip64Tail(1, 46, 1ull << 40), kLoad, notZip},
      {"directory offset past the end", withDirectoryOffset(0xFFFFFFF0), kLoad, notZip},
      {"local header offset past the end", withEntry({.Name = "a.txt", .Data = "abc", .LocalOffset = 0x7FFFFFF0}),
       kExtract, notZip},
      {"ZIP64 local header offset near 2^64",
       withEntry({.Name = "a.txt", .Data = "abc", .LocalOffset = 0xFFFFFFFF,
                  .CentralExtra = ExtraField(0x0001, LE64(0xFFFFFFFFFFFFFFF0ull))}),
       kExtract, notZip},
      {"ZIP64 compressed size far beyond the file",
       withEntry({.Name = "a.txt", .Data = "abc", .CompressedSize = 0xFFFFFFFF, .UncompressedSize = 0xFFFFFFFF,
                  .CentralExtra = ExtraField(0x0001, LE64(0xFFFFFFFFFFFFFFFFull) + LE64(0x7FFFFFFFFFFFFFFFull))}),
       kExtract, overlap},
      // Read before anything is decoded.
      {"local name length past the end", patched(One("a.txt", ""), 26), kExtract, "Stream read error"},
      {"local extra length past the end", patched(One("b.txt", "data"), 28), kExtract, "Stream read error"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(c.Step == kLoad ? LoadMessage(c.Archive) : ExtractMessage(c.Archive), c.Message) << c.What;
}

TEST(LyingFields, entries_whose_data_overlaps) {
  const std::string kOverlap = ": Cannot extract file - data overlaps another entry";
  struct Case {
    const char* What;
    std::vector<TZipEntryLayout> Entries;
    std::vector<std::string> Failures;
    std::vector<std::string> Files;
  };
  const std::string ten(10, 'z');
  const Case cases[] = {
      {"central entries sharing one local entry (the overlap bomb)",
       {{.Name = "a", .Data = ten}, {.Name = "b", .Data = ten, .LocalOffset = 0}, {.Name = "c", .Data = ten, .LocalOffset = 0}},
       {"a" + kOverlap, "b" + kOverlap, "c" + kOverlap},
       {}},
      {"data running into the next local header",
       {{.Name = "a", .Data = ten, .CompressedSize = 11}, {.Name = "b", .Data = ten}},
       {"a" + kOverlap},
       {"b"}},
      {"data running into the central directory",
       {{.Name = "a", .Data = ten}, {.Name = "b", .Data = ten, .CompressedSize = 11}},
       {"b" + kOverlap},
       {"a"}},
      {"a second entry claiming the first's local entry on another disk of a one-disk archive",
       {{.Name = "a", .Data = ten}, {.Name = "b", .Data = ten, .LocalOffset = 0, .DiskStart = 1}},
       {"a" + kOverlap, "b" + kOverlap},
       {}},
      {"entries back to back", {{.Name = "a", .Data = ten}, {.Name = "b", .Data = ten}}, {}, {"a", "b"}},
  };
  for (const Case& c : cases) {
    Box box;
    TZipLayout layout;
    layout.Entries = c.Entries;
    EXPECT_EQ(box.Extract(layout, eoCreateDirs), c.Failures) << c.What;
    EXPECT_EQ(box.Files(), c.Files) << c.What;
  }
}

TEST(LyingFields, split_set_declaring_four_billion_disks) {
  // Disk number FFFFh in the classic record with a ZIP64 locator saying 0 disks.
  TTempDir dir;
  std::string out;
  out += LE32(0x06064B50) + LE64(44) + LE16(45) + LE16(45) + LE32(0) + LE32(0) + LE64(0) + LE64(0) + LE64(0) + LE64(0);
  out += LE32(0x07064B50) + LE32(0) + LE64(0) + LE32(0);
  out += LE32(0x06054B50) + LE16(0xFFFF) + LE16(0xFFFF) + LE16(0) + LE16(0) + LE32(0) + LE32(0) + LE16(0);
  WriteText(dir / "disks.zip", out);
  TVmUnZipper unzipper;
  EXPECT_NO_THROW(unzipper.OpenArchive(dir / "disks.zip"));
  EXPECT_EQ(unzipper.Count(), 0u);
}
