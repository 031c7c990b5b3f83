// Reading archive directories: probes, the end-record search, ZIP64, name decoding, the
// item list, checked against archives made by other tools and by hand.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <map>
#include <regex>

#include "core/exception.h"
#include "core/memory_stream.h"
#include "platform/code_page.h"
#include "test_support.h"
#include "unzip/archive_probe.h"
#include "unzip/name_codec.h"
#include "unzip/unzipper.h"
#include "unzip/vm_exception.h"
#include "unzip/zip_archive.h"

using namespace tarvo;
using namespace tarvo::unzip;
using namespace tarvo::unzip::test;

namespace {

// An archive read from bytes, the way the fuzzer and the hostile tests open them.
class TMemoryZip {
public:
  explicit TMemoryZip(std::vector<std::uint8_t> bytes) : FStream(std::move(bytes)), FArchive(&FStream, "memory.zip") {}
  TVmZipArchive& Archive() { return FArchive; }
  void Load() { FArchive.Load(); }

private:
  core::TMemoryStream FStream;
  TVmZipArchive FArchive;
};

std::string LoadError(std::vector<std::uint8_t> bytes) {
  TMemoryZip zip(std::move(bytes));
  try {
    zip.Load();
  } catch (const std::exception& e) {
    return e.what();
  }
  return "";
}

std::vector<std::string> Names(TVmArchive& archive) {
  std::vector<std::string> names;
  for (std::size_t i = 0; i < archive.Count(); ++i) names.push_back(archive.Items(i)->FileName());
  return names;
}

std::string OpenError(const std::string& path) {
  TVmUnZipper unzipper;
  try {
    unzipper.OpenArchive(path);
  } catch (const std::exception& e) {
    return e.what();
  }
  return "";
}

// One central entry as the fixture catalogue lists it.
struct TListedEntry {
  unsigned Method;
  std::uint64_t CompressedSize, UncompressedSize;
  std::uint32_t Crc;
};

// The central-directory listings of the fixture catalogue's appendix, by relative path.
std::map<std::string, std::vector<TListedEntry>> CatalogueListings() {
  std::map<std::string, std::vector<TListedEntry>> result;
  std::ifstream in(FixturesDir() + "/MANIFEST.md");
  std::string line, current;
  bool inAppendix = false;
  std::regex heading(R"(^### `([^`]+)`)");
  std::regex note(R"(parser note: BAD CD SIG)");
  std::regex entry(R"( m=(\d+)\s+flags=\w+ vmade=\w+ vneed=\w+ csize=(\d+)\s+usize=(\d+)\s+crc=([0-9a-f]{8}))");
  std::smatch m;
  while (std::getline(in, line)) {
    if (line.rfind("## Appendix", 0) == 0) inAppendix = true;
    if (!inAppendix) continue;
    if (std::regex_search(line, m, heading)) {
      current = m[1];
      result[current];
    } else if (!current.empty() && std::regex_search(line, note)) {
      result.erase(current);  // the catalogue's own parser could not read it: checked below
      current.clear();
    } else if (!current.empty() && std::regex_search(line, m, entry)) {
      result[current].push_back({static_cast<unsigned>(std::stoul(m[1])), std::stoull(m[2]), std::stoull(m[3]),
                                 static_cast<std::uint32_t>(std::stoul(m[4], nullptr, 16))});
    }
  }
  return result;
}

// Fixtures whose offsets count from somewhere else than the file start (prefix data the
// format has no room for) or whose directory is encrypted: no correction is applied, so
// they must fail to open with the format error.
const char* const kUnreadableFixtures[] = {
    "zip2/zip64_demo.zip",          "zipdetails/7z-windows-sfx.zip",
    "zipdetails/empty-zip64-no-EOCD.zip", "zipdetails/pkzip-zip64-store-passphrase-cd-header-comment.zip",
    "zipdetails/prefix-data.zip",   "zipdetails/prefix-data-zip64.zip",
    "libarchive/test_read_format_zip_sfx",
};

}  // namespace

TEST(Fixtures, EveryCatalogueListingMatchesMethodsSizesAndCrcs) {
  auto listings = CatalogueListings();
  ASSERT_GT(listings.size(), 150u) << "catalogue appendix not found under " << FixturesDir();
  int checked = 0;
  for (const auto& [relative, entries] : listings) {
    SCOPED_TRACE(relative);
    bool unreadable = false;
    for (const char* bad : kUnreadableFixtures) unreadable |= relative == bad;
    std::string path = FixturesDir() + "/" + relative;
    if (unreadable) {
      EXPECT_EQ(OpenError(path), "Invalid file - not a PKZip file");
      continue;
    }
    TVmUnZipper unzipper;
    ASSERT_NO_THROW(unzipper.OpenArchive(path));
    ASSERT_EQ(unzipper.Count(), entries.size());
    TVmZipArchive* zip = unzipper.ZipArchive();
    for (std::size_t i = 0; i < entries.size(); ++i) {
      TVmZipItem* item = zip->ZipItems(i);
      EXPECT_EQ(item->CompressionMethod(), entries[i].Method) << i;
      EXPECT_EQ(item->CompressedSize(), entries[i].CompressedSize) << i;
      EXPECT_EQ(item->UncompressedSize(), entries[i].UncompressedSize) << i;
      EXPECT_EQ(item->CRC32(), entries[i].Crc) << i;
    }
    ++checked;
  }
  EXPECT_GT(checked, 140);
}

TEST(Fixtures, Zip64SignaturesInsideANameDoNotMakeAZip64Archive) {
  // The 20 bytes before the end record look like a locator, but no end-record field is at
  // its maximum: the archive is read as a plain one.
  TVmUnZipper unzipper;
  ASSERT_NO_THROW(unzipper.OpenArchive(FixturesDir() + "/zip2/zip64_magic_in_filename_1.zip"));
  ASSERT_EQ(unzipper.Count(), 1u);
  EXPECT_EQ(unzipper.Items(0)->UncompressedSize(), 0u);
}

TEST(Fixtures, NamesFollowTheDecodingRulesWithOemCodePage850) {
  // Linux stands in with OEM 850; Windows has the system's own (Wine's English default: 437).
  if (platform::OemCodePage() != 850)
    GTEST_SKIP() << "the system's OEM code page is " << platform::OemCodePage() << ", not 850";
  struct {
    const char* File;
    std::vector<std::string> Names;
  } cases[] = {
      // a: flag bit 11 / valid UTF-8
      {"zip2/linux-7z.zip", {"你好.txt"}},
      {"libarchive/test_read_format_zip_filename_utf8_jp.zip", {"表だよ/", "表だよ/一覧表.txt", "表だよ/漢字.txt"}},
      // b: 7075 field with a matching CRC (even when its text is a mis-conversion)
      {"zip2/chinese.zip", {"七个房间.txt"}},
      {"zip2/windows-7zip.zip", {"你好.txt"}},
      {"sharpcompress/Zip.UnicodePathExtra.zip", {"궖귛궖귙귪궖귗귪궖귙_wav.frq"}},
      {"zipdetails/winzip-yu.zip", {"Café.txt"}},
      {"corkami/unicode.zip", {"😊"}},
      // c: 554E accepted, and rejected when its size is not 8 + 2N
      {"zipdetails/554e-bad-filename-truncated.zip", {"filename"}},
      {"zipdetails/554e-bad-trailing-data.zip", {"filename"}},
      // d: ANSI (1252) for non-DOS hosts whose bytes do not look like OEM letters
      {"zip2/non_utf8.zip", {"ÖÐÎÄ", "“ú•¶"}},
      {"libarchive/test_read_format_zip_filename_koi8r.zip", {"ÐÒÉ×ÅÔ", "ðòé÷åô"}},
      // e: OEM (850) for DOS-made names; 850 differs from 437 at E2h (Ô, not Γ)
      {"commons-compress/utf8-7zip-test.zip", {"ascii.txt", "Ölfässer.txt", "€_for_Dollar.txt"}},
      {"sharpcompress/Zip.deflate64.zip",
       {"Empty/", "exe/", "jpg/", "exe/test.exe", "jpg/test.jpg", "ÔÑßÔ.txt"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.File);
    TVmUnZipper unzipper;
    ASSERT_NO_THROW(unzipper.OpenArchive(FixturesDir() + "/" + c.File));
    std::vector<std::string> names = Names(*unzipper.Archive());
    if (std::string(c.File) == "sharpcompress/Zip.deflate64.zip") std::sort(names.begin(), names.end());
    std::vector<std::string> expected = c.Names;
    if (std::string(c.File) == "sharpcompress/Zip.deflate64.zip") std::sort(expected.begin(), expected.end());
    EXPECT_EQ(names, expected);
  }
  TVmUnZipper xceed;
  ASSERT_NO_THROW(xceed.OpenArchive(FixturesDir() + "/zipdetails/xceed-bwt.zip"));
  EXPECT_EQ(xceed.Items(0)->FileName(), "F1\\TestFile.txt");  // the 554E text, backslash and all
}

TEST(Fixtures, SplitSetsReadThroughTheirImages) {
  struct {
    const char* File;
    std::size_t Count;
  } sets[] = {{"sharpcompress/Infozip.nocomp.multi.zip", 5},
              {"sharpcompress/WinZip26.nocomp.multi.zip", 5},
              {"zipdetails/300-split.zip", 1},
              {"zipdetails/pkzip-span-multi-segment.zip", 1}};
  for (const auto& s : sets) {
    SCOPED_TRACE(s.File);
    TVmUnZipper unzipper;
    ASSERT_NO_THROW(unzipper.OpenArchive(FixturesDir() + "/" + s.File));
    EXPECT_TRUE(unzipper.ZipArchive()->Spanned());
    EXPECT_EQ(unzipper.Count(), s.Count);
    EXPECT_EQ(unzipper.ArchiveType(), TVmArchiveType::atSpannedZip);
  }
}

TEST(Fixtures, OneDriveLocatorWithZeroDisksIsOneDisk) {
  TVmUnZipper unzipper;
  ASSERT_NO_THROW(unzipper.OpenArchive(FixturesDir() + "/zipdetails/onedrive-zip64-zero-disks.zip"));
  EXPECT_FALSE(unzipper.ZipArchive()->Spanned());
  EXPECT_EQ(unzipper.Items(0)->FileName(), "data.txt");
}

TEST(Probe, SplitMarkerAloneMakesASpannedZip) {
  core::TMemoryStream s(std::vector<std::uint8_t>{0x50, 0x4B, 0x07, 0x08, 1, 2, 3});
  s.SetPosition(3);
  EXPECT_EQ(ProbeZip(s), TVmArchiveType::atSpannedZip);
  EXPECT_EQ(s.Position(), 3);
}

TEST(Probe, EndRecordOnAnotherDiskMakesASpannedZip) {
  TZipLayout layout;
  layout.DiskNumber = 2;
  core::TMemoryStream s(BuildZip(layout));
  EXPECT_EQ(ProbeZip(s), TVmArchiveType::atSpannedZip);
  TZipLayout plain;
  core::TMemoryStream p(BuildZip(plain));
  EXPECT_EQ(ProbeZip(p), TVmArchiveType::atZip);
}

TEST(Probe, ExecutablesAreSelfExtractingOnlyWithAZipInside) {
  TZipLayout layout;
  layout.Prefix = "MZ\x90";
  layout.Entries.push_back({.Name = "a.txt", .Data = "abc"});
  core::TMemoryStream sfx(BuildZip(layout));
  EXPECT_EQ(ProbeSelfExtractingZip(sfx), TVmArchiveType::atSelfExtZip);
  core::TMemoryStream elf(std::vector<std::uint8_t>{0x7F, 'E', 'L', 'F', 0, 0, 0, 0});
  EXPECT_EQ(ProbeSelfExtractingZip(elf), TVmArchiveType::atUnknown);
}

TEST(Probe, ExtensionIsConfirmedByContent) {
  TTempDir dir;
  TZipLayout layout;
  layout.Entries.push_back({.Name = "a.txt", .Data = "abc"});
  WriteFile(dir / "archive.dat", BuildZip(layout));
  EXPECT_EQ(GuessArchiveKind(dir / "archive.dat"), TVmArchiveType::atZip);
  // A tar file with a .zip extension: the ZIP probe decides, and says no.
  WriteText(dir / "a.txt", "hello");
  ASSERT_EQ(Shell("cd " + Quote(dir.Path()) + " && tar cf tarball.zip a.txt"), 0);
  EXPECT_EQ(GuessArchiveKind(dir / "tarball.zip"), TVmArchiveType::atUnknown);
  EXPECT_EQ(OpenError(dir / "tarball.zip"), "Unhandled Archive Type");
  ASSERT_EQ(Shell("cd " + Quote(dir.Path()) + " && tar cf t.tar a.txt && gzip -c a.txt > a.txt.gz"), 0);
  // bzip2 through Python's module: a bzip2 program is not always installed.
  ASSERT_EQ(Shell("cd " + Quote(dir.Path()) +
                  " && python3 -c \"import bz2; open('a.txt.bz2','wb').write(bz2.compress(open('a.txt','rb').read()))\""),
            0);
  EXPECT_EQ(GuessArchiveKind(dir / "t.tar"), TVmArchiveType::atTar);
  EXPECT_EQ(GuessArchiveKind(dir / "a.txt.gz"), TVmArchiveType::atGzip);
  EXPECT_EQ(GuessArchiveKind(dir / "a.txt.bz2"), TVmArchiveType::atBzip2);
  EXPECT_EQ(OpenError(dir / "t.tar"), "");
  EXPECT_EQ(OpenError(dir / "a.txt.gz"), "");
  EXPECT_EQ(GuessArchiveKind(dir / "a.txt"), TVmArchiveType::atUnknown);
}

TEST(LocateDirectoryEnd, FindsTheRecordWithoutCommentByOneRead) {
  TZipLayout layout;
  layout.Entries.push_back({.Name = "a", .Data = "x"});
  auto bytes = BuildZip(layout);
  core::TMemoryStream s(bytes);
  EXPECT_EQ(LocateDirectoryEnd(s), bytes.size() - 22);
  EXPECT_EQ(s.Position(), static_cast<std::int64_t>(bytes.size() - 22));
}

TEST(LocateDirectoryEnd, FindsTheRecordBehindTheLongestComment) {
  TZipLayout layout;
  layout.Entries.push_back({.Name = "a", .Data = "x"});
  layout.Comment = std::string(65535, 'c');
  auto bytes = BuildZip(layout);
  core::TMemoryStream s(bytes);
  EXPECT_EQ(LocateDirectoryEnd(s), bytes.size() - 22 - 65535);
  TMemoryZip zip(bytes);
  ASSERT_NO_THROW(zip.Load());
  EXPECT_EQ(zip.Archive().Info().FZipfileComment.size(), 65535u);
}

TEST(LocateDirectoryEnd, SkipsASignatureInTheCommentWhoseCommentRunsPastTheEnd) {
  TZipLayout layout;
  layout.Entries.push_back({.Name = "a", .Data = "x"});
  // A fake record inside the comment, nearer the end, claiming a 200-byte comment.
  layout.Comment = std::string("PK\x05\x06", 4) + std::string(16, '\0') + LE16(200) + "tail";
  auto bytes = BuildZip(layout);
  core::TMemoryStream s(bytes);
  EXPECT_EQ(LocateDirectoryEnd(s), bytes.size() - 22 - layout.Comment.size());
  TMemoryZip zip(bytes);
  ASSERT_NO_THROW(zip.Load());
  EXPECT_EQ(zip.Archive().Count(), 1u);
}

TEST(LocateDirectoryEnd, NotFoundLeavesThePositionAlone) {
  core::TMemoryStream s(std::vector<std::uint8_t>(100000, 0x41));
  s.SetPosition(1234);
  EXPECT_EQ(LocateDirectoryEnd(s), kNotFound);
  EXPECT_EQ(s.Position(), 1234);
  core::TMemoryStream tiny(std::vector<std::uint8_t>{1, 2, 3});
  EXPECT_EQ(LocateDirectoryEnd(tiny), kNotFound);
}

TEST(LocateDirectoryEnd, FindsARecordFollowedByPadding) {
  TZipLayout layout;
  layout.Entries.push_back({.Name = "a", .Data = "x"});
  layout.Trailer = std::string(22851, '\0');  // as PKZIP for z/OS leaves it
  TMemoryZip zip(BuildZip(layout));
  ASSERT_NO_THROW(zip.Load());
  EXPECT_EQ(zip.Archive().Count(), 1u);
}

TEST(ReadDirectory, EmptyStreamIsAnEmptyArchive) {
  TMemoryZip zip({});
  ASSERT_NO_THROW(zip.Load());
  EXPECT_EQ(zip.Archive().Count(), 0u);
  EXPECT_EQ(zip.Archive().Status(), TVmArchiveStatus::asIdle);
}

TEST(ReadDirectory, NoEndRecordIsNotAPKZipFile) {
  TMemoryZip zip(std::vector<std::uint8_t>(300, 7));
  EXPECT_THROW(zip.Load(), EVmZipInvalid);
  EXPECT_EQ(zip.Archive().Status(), TVmArchiveStatus::asInvalid);
}

TEST(ReadDirectory, BadCentralSignatureIsNotAPKZipFile) {
  TZipLayout layout;
  layout.Entries.push_back({.Name = "a", .Data = "x"});
  layout.DirectoryOffset = 1;  // into the middle of the local header
  EXPECT_EQ(LoadError(BuildZip(layout)), "Invalid file - not a PKZip file");
}

TEST(ReadDirectory, ExtraFieldCutShortIsAStreamReadError) {
  TZipLayout layout;
  layout.Entries.push_back({.Name = "a", .Data = "x", .CentralExtra = std::string(100, 'e')});
  auto bytes = BuildZip(layout);
  // Keep the local header (32 bytes), the central header with its name and 4 bytes of its
  // 100-byte extra field, then an end record pointing at that header: the extra block's
  // read runs past the end of the file.
  const std::size_t directory = 30 + 1 + 1;
  std::vector<std::uint8_t> cut(bytes.begin(), bytes.begin() + static_cast<long>(directory + 46 + 1 + 4));
  std::string eocd = std::string("PK\x05\x06", 4) + LE16(0) + LE16(0) + LE16(1) + LE16(1) + LE32(147) +
                     LE32(static_cast<std::uint32_t>(directory)) + LE16(0);
  cut.insert(cut.end(), eocd.begin(), eocd.end());
  EXPECT_EQ(LoadError(cut), "Stream read error");
}

TEST(ReadDirectory, LyingEntryCountEndsAtTheFirstMissingRecord) {
  TZipLayout layout;
  layout.Entries.push_back({.Name = "a", .Data = "x"});
  layout.TotalEntries = 0xFFFE;  // far more than the file holds
  EXPECT_EQ(LoadError(BuildZip(layout)), "Invalid file - not a PKZip file");
}

TEST(ReadDirectory, Zip64ValuesComeFromThe0001FieldInOrder) {
  TZipLayout layout;
  // Only the offset is at its maximum, so the field holds the offset alone.
  layout.Entries.push_back({.Name = "a", .Data = "x", .LocalOffset = 0xFFFFFFFF,
                          .CentralExtra = ExtraField(0x0001, LE64(0))});
  // Sizes at their maximum without a 0001 field stay at their maximum.
  layout.Entries.push_back({.Name = "b", .Data = "y", .UncompressedSize = 0xFFFFFFFF});
  TMemoryZip zip(BuildZip(layout));
  ASSERT_NO_THROW(zip.Load());
  EXPECT_EQ(zip.Archive().ZipItems(0)->FRelativeOffset, 0u);
  EXPECT_EQ(zip.Archive().ZipItems(1)->UncompressedSize(), 0xFFFFFFFFu);
}

TEST(ReadDirectory, Zip64FieldTooShortForItsValuesIsAStreamReadError) {
  TZipLayout layout;
  layout.Entries.push_back({.Name = "a", .Data = "x", .CompressedSize = 0xFFFFFFFF, .UncompressedSize = 0xFFFFFFFF,
                          .CentralExtra = ExtraField(0x0001, LE64(1))});
  EXPECT_EQ(LoadError(BuildZip(layout)), "Stream read error");
}

TEST(ReadDirectory, DirectoryByTrailingSlashOrAttribute) {
  TZipLayout layout;
  layout.Entries.push_back({.Name = "dir/", .ExternalAttributes = 0});
  layout.Entries.push_back({.Name = "attr", .ExternalAttributes = 0x10});
  layout.Entries.push_back({.Name = "file", .ExternalAttributes = 0});
  TMemoryZip zip(BuildZip(layout));
  ASSERT_NO_THROW(zip.Load());
  EXPECT_TRUE(zip.Archive().Items(0)->IsDirectory());
  EXPECT_TRUE(zip.Archive().Items(1)->IsDirectory());
  EXPECT_FALSE(zip.Archive().Items(2)->IsDirectory());
  EXPECT_EQ(zip.Archive().ZipItems(0)->DiskFileName(), "dir\\");
}

TEST(ReadDirectory, NativeAttributesFromUnixModes) {
  TZipLayout layout;
  layout.Entries.push_back({.Name = "ro", .VersionMadeBy = 0x031E, .ExternalAttributes = 0100444u << 16});
  layout.Entries.push_back({.Name = "d/", .VersionMadeBy = 0x031E, .ExternalAttributes = 040755u << 16});
  layout.Entries.push_back({.Name = "link", .VersionMadeBy = 0x031E, .ExternalAttributes = 0120777u << 16});
  layout.Entries.push_back({.Name = "dos", .VersionMadeBy = 0x0014, .ExternalAttributes = 0x21});
  TMemoryZip zip(BuildZip(layout));
  ASSERT_NO_THROW(zip.Load());
  EXPECT_EQ(zip.Archive().Items(0)->NativeFileAttributes(), 0x01u);
  EXPECT_EQ(zip.Archive().Items(1)->NativeFileAttributes(), 0x10u);
  EXPECT_EQ(zip.Archive().Items(2)->NativeFileAttributes(), 0x04u);
  EXPECT_EQ(zip.Archive().Items(3)->NativeFileAttributes(), 0x21u);
}

TEST(Names, ClassifyNameBytes) {
  EXPECT_EQ(ClassifyNameBytes("plain.txt"), TVmNameBytesKind::nbAscii);
  EXPECT_EQ(ClassifyNameBytes("\xC3\x96lf\xC3\xA4sser.txt"), TVmNameBytesKind::nbUtf8);
  EXPECT_EQ(ClassifyNameBytes("\x99lf\x84sser.txt"), TVmNameBytesKind::nbAnsi);
  EXPECT_EQ(ClassifyNameBytes("cut\xC3"), TVmNameBytesKind::nbAnsi);         // ends inside a sequence
  EXPECT_EQ(ClassifyNameBytes("\xC0\x80"), TVmNameBytesKind::nbAnsi);        // overlong lead byte
  EXPECT_EQ(ClassifyNameBytes("\xF0\x9F\x98\x8A"), TVmNameBytesKind::nbUtf8);
}

TEST(Names, LooksLikeOemName) {
  EXPECT_TRUE(LooksLikeOemName("\x99lf\x84sser", 850));   // Ö ä as OEM letters, not ANSI ones
  EXPECT_FALSE(LooksLikeOemName("\xD6\xD0\xCE\xC4", 850)); // all ANSI letters too
  EXPECT_FALSE(LooksLikeOemName("plain", 850));            // nothing with the top bit
  EXPECT_FALSE(LooksLikeOemName("\x99", 1250));            // not an OEM code page
}

TEST(Names, Unicode7075WithAWrongCrcIsIgnored) {
  std::string utf8 = "\xC3\xA9.txt";
  TZipLayout layout;
  layout.Entries.push_back({.Name = "\x82.txt", .CentralExtra = ExtraField(0x7075, std::string("\x01") + LE32(Crc("\x82.txt")) + utf8)});
  layout.Entries.push_back({.Name = "\x82.txt", .CentralExtra = ExtraField(0x7075, std::string("\x01") + LE32(12345) + utf8)});
  TMemoryZip zip(BuildZip(layout));
  ASSERT_NO_THROW(zip.Load());
  EXPECT_EQ(zip.Archive().Items(0)->FileName(), "é.txt");
  EXPECT_EQ(zip.Archive().Items(1)->FileName(), "é.txt");  // DOS host: OEM 850 82h is é as well
  TZipLayout unix;
  unix.Entries.push_back({.Name = "\xE9.txt", .VersionMadeBy = 0x031E,
                          .CentralExtra = ExtraField(0x7075, std::string("\x01") + LE32(1) + "wrong.txt")});
  TMemoryZip u(BuildZip(unix));
  ASSERT_NO_THROW(u.Load());
  EXPECT_EQ(u.Archive().Items(0)->FileName(), "é.txt");  // ANSI 1252
}

TEST(Names, Xceed554eAcceptedOnlyWithExactSize) {
  std::string units = std::string("A\0B\0", 4);
  TZipLayout layout;
  layout.Entries.push_back({.Name = "raw", .CentralExtra = ExtraField(0x554E, LE32(0x5843554E) + LE32(2) + units)});
  layout.Entries.push_back({.Name = "raw", .CentralExtra = ExtraField(0x554E, LE32(0x5843554E) + LE32(3) + units)});
  TMemoryZip zip(BuildZip(layout));
  ASSERT_NO_THROW(zip.Load());
  EXPECT_EQ(zip.Archive().Items(0)->FileName(), "AB");
  EXPECT_EQ(zip.Archive().Items(1)->FileName(), "raw");
}

TEST(Names, InvalidUtf8UnderFlag11BecomesReplacementCharacters) {
  TZipLayout layout;
  layout.Entries.push_back({.Name = "bad\xFF", .Flags = 0x0800});
  TMemoryZip zip(BuildZip(layout));
  ASSERT_NO_THROW(zip.Load());
  EXPECT_EQ(zip.Archive().Items(0)->FileName(), "bad\xEF\xBF\xBD");
}

TEST(Names, EachEntryKeepsItsStoredBytesAndCentralFields) {
  // An entry keeps one copy of its name when the stored bytes decode to themselves; the
  // stored bytes must still come back for the ones that do not.
  struct Case {
    TZipEntryLayout Entry;
    std::string Decoded;
  };
  const Case cases[] = {
      {{.Name = "a/b", .Method = 8, .Flags = 0x0800, .VersionMadeBy = 0x031E, .VersionNeeded = 20, .Crc = 1}, "a/b"},
      {{.Name = "folder0001/a long name past any inline buffer.txt", .Method = 0, .VersionNeeded = 10, .Crc = 2},
       "folder0001/a long name past any inline buffer.txt"},
      {{.Name = "d/\xE9.txt", .Method = 9, .Flags = 0x0002, .VersionMadeBy = 0x031E, .VersionNeeded = 21, .Crc = 3},
       "d/\xC3\xA9.txt"},
      {{.Name = "bad\xFF", .Flags = 0x0800, .VersionNeeded = 45, .Crc = 4}, "bad\xEF\xBF\xBD"},
  };
  TZipLayout layout;
  for (const Case& c : cases) layout.Entries.push_back(c.Entry);
  TMemoryZip zip(BuildZip(layout));
  ASSERT_NO_THROW(zip.Load());
  for (std::size_t i = 0; i < std::size(cases); ++i) {
    const TVmZipItem& item = *zip.Archive().ZipItems(i);
    const TZipEntryLayout& e = cases[i].Entry;
    EXPECT_EQ(item.FileName(), cases[i].Decoded) << i;
    EXPECT_EQ(item.RawFileName(), e.Name) << i;
    std::string disk = cases[i].Decoded;
    std::replace(disk.begin(), disk.end(), '/', '\\');
    EXPECT_EQ(item.DiskFileName(), disk) << i;
    EXPECT_EQ(item.CRC32(), *e.Crc) << i;
    EXPECT_EQ(item.CompressionMethod(), e.Method) << i;
    EXPECT_EQ(item.GeneralPurposeBitFlag(), e.Flags) << i;
    EXPECT_EQ(item.VersionMadeBy(), e.VersionMadeBy) << i;
    EXPECT_EQ(item.VersionNeededToExtract(), e.VersionNeeded) << i;
  }
}

TEST(ItemList, HashesUpperCasedNamesInto1021Buckets) {
  // h = 'A'; h = h*16 + 'B'; h = h*16 + 'C' = 17763; 17763 mod 1021 = 406
  EXPECT_EQ(TVmArchiveList::HashName("abc"), 406u);
  EXPECT_EQ(TVmArchiveList::HashName("ABC"), 406u);
  TZipLayout layout;
  layout.Entries.push_back({.Name = "Docs/ReadMe.TXT", .Data = "1"});
  layout.Entries.push_back({.Name = "other", .Data = "2"});
  TMemoryZip zip(BuildZip(layout));
  ASSERT_NO_THROW(zip.Load());
  EXPECT_EQ(zip.Archive().ItemList().IndexOf("docs\\readme.txt"), 0);
  EXPECT_EQ(zip.Archive().ItemList().IndexOf("OTHER"), 1);
  EXPECT_EQ(zip.Archive().ItemList().IndexOf("missing"), -1);
}

TEST(Peers, InfoZipArchiveWithCommentDirectoriesAndUtf8Names) {
  if (!HaveTool("zip")) GTEST_SKIP() << "zip not installed";
  TTempDir dir;
  fs::create_directories(dir.Path() / "src" / "docs");
  WriteText(dir / "src/docs/Ölfässer.txt", "oil barrels");
  WriteText(dir / "src/plain.txt", "plain");
  ASSERT_EQ(Shell("cd " + Quote(dir / "src") + " && LC_ALL=C.UTF-8 zip -q -r -0 ../a.zip docs plain.txt && echo 'the comment' | zip -q -z ../a.zip"), 0);
  TVmUnZipper unzipper;
  ASSERT_NO_THROW(unzipper.OpenArchive(dir / "a.zip"));
  std::vector<std::string> names = Names(*unzipper.Archive());
  EXPECT_EQ(names, (std::vector<std::string>{"docs/", "docs/Ölfässer.txt", "plain.txt"}));
  EXPECT_TRUE(unzipper.Items(0)->IsDirectory());
  EXPECT_EQ(unzipper.ZipfileComment(), "the comment");
  EXPECT_EQ(unzipper.ZipArchive()->ZipItems(1)->CRC32(), Crc("oil barrels"));
}

TEST(Peers, InfoZipForcedZip64) {
  if (!HaveTool("zip")) GTEST_SKIP() << "zip not installed";
  TTempDir dir;
  WriteText(dir / "big.txt", std::string(100000, 'z'));
  fs::create_directories(dir.Path() / "d/sub");
  ASSERT_EQ(Shell("cd " + Quote(dir.Path()) + " && zip -q -fz z64.zip big.txt d d/sub"), 0);
  TVmUnZipper unzipper;
  ASSERT_NO_THROW(unzipper.OpenArchive(dir / "z64.zip"));
  ASSERT_EQ(unzipper.Count(), 3u);
  EXPECT_EQ(unzipper.Items(0)->UncompressedSize(), 100000u);
  EXPECT_TRUE(unzipper.ZipArchive()->Info().FTotalEntries == 3);
  // Every local header carries a ZIP64 field and says version 4.5, also for the folders
  // whose central entries say 1.0: the test passes them all.
  std::vector<std::string> failures;
  unzipper.OnProcessItemFailure = [&](void*, TVmArchiveItem* item, TVmProcessType, TVmErrorClass, int,
                                      const std::string& message) { failures.push_back(item->FileName() + ": " + message); };
  unzipper.Archive()->TagAll();
  unzipper.TestTaggedItems();
  EXPECT_EQ(failures, std::vector<std::string>{});
}

TEST(Peers, PythonZip64AndDataDescriptors) {
  if (!HaveTool("python3")) GTEST_SKIP() << "python3 not installed";
  TTempDir dir;
  std::string script =
      "import zipfile, io, sys\n"
      "with zipfile.ZipFile(sys.argv[1], 'w', zipfile.ZIP_STORED) as z:\n"
      "    with z.open('forced.bin', 'w', force_zip64=True) as f: f.write(b'x' * 5000)\n"
      "    z.writestr('small.txt', 'hello')\n"
      "class Pipe(io.RawIOBase):\n"
      "    def __init__(self, f): self.f = f\n"
      "    def writable(self): return True\n"
      "    def write(self, b): return self.f.write(b)\n"
      "with open(sys.argv[2], 'wb') as raw:\n"
      "    with zipfile.ZipFile(Pipe(raw), 'w', zipfile.ZIP_STORED) as z:\n"
      "        z.writestr('streamed.txt', 'descriptor follows')\n";
  WriteText(dir / "make.py", script);
  ASSERT_EQ(Shell("python3 " + Quote(dir / "make.py") + " " + Quote(dir / "z64.zip") + " " + Quote(dir / "dd.zip")), 0);
  TVmUnZipper a;
  ASSERT_NO_THROW(a.OpenArchive(dir / "z64.zip"));
  ASSERT_EQ(a.Count(), 2u);
  EXPECT_EQ(a.Items(0)->UncompressedSize(), 5000u);
  TVmUnZipper b;
  ASSERT_NO_THROW(b.OpenArchive(dir / "dd.zip"));
  ASSERT_EQ(b.Count(), 1u);
  EXPECT_TRUE(b.ZipArchive()->ZipItems(0)->GeneralPurposeBitFlag() & 0x08);
  EXPECT_EQ(b.ZipArchive()->ZipItems(0)->CRC32(), Crc("descriptor follows"));
  // Testing a streamed entry decodes it and checks the CRC; the zeros its local header holds
  // in place of CRC and sizes are not a mismatch.
  std::vector<std::string> failures;
  b.OnProcessItemFailure = [&](void*, TVmArchiveItem* item, TVmProcessType, TVmErrorClass, int,
                               const std::string& message) { failures.push_back(item->FileName() + ": " + message); };
  b.Archive()->TagAll();
  b.TestTaggedItems();
  EXPECT_TRUE(failures.empty()) << failures.front();
}

TEST(Peers, SevenZipSetsFlag11) {
  std::string sz = SevenZip();
  if (sz.empty()) GTEST_SKIP() << "7-Zip not installed";
  TTempDir dir;
  WriteText(dir / "тест.txt", "cyrillic");
  ASSERT_EQ(Shell("cd " + Quote(dir.Path()) + " && " + sz + " a -tzip -mm=Copy s.zip тест.txt >/dev/null"), 0);
  TVmUnZipper unzipper;
  ASSERT_NO_THROW(unzipper.OpenArchive(dir / "s.zip"));
  ASSERT_EQ(unzipper.Count(), 1u);
  EXPECT_EQ(unzipper.Items(0)->FileName(), "тест.txt");
}
