// Extraction through TVmUnZipper: masks, options, paths, overwriting, dates, attributes,
// entry decoding, decryption and the failures a caller sees.
#include <gtest/gtest.h>


#include "core/exception.h"
#include "core/memory_stream.h"
#include "platform/file_time.h"
#include "test_support.h"
#include "unzip/archive_probe.h"
#include "unzip/entry_decoder.h"
#include "unzip/span_stream.h"
#include "unzip/unzipper.h"
#include "unzip/vm_exception.h"

using namespace tarvo;
using namespace tarvo::unzip;
using namespace tarvo::unzip::test;

namespace {

struct TFailure {
  std::string Name;
  TVmErrorClass Class;
  int Code;
  std::string Message;
};

// An unzipper that records its failures, over an archive written into a temp folder.
class Extraction {
public:
  explicit Extraction(const TZipLayout& layout, const std::string& archiveName = "a.zip") {
    FArchive = FDir / archiveName;
    WriteFile(FArchive, BuildZip(layout));
    Init();
  }
  explicit Extraction(std::string existingArchive) : FArchive(std::move(existingArchive)) { Init(); }

  TVmUnZipper& Unzipper() { return FUnzipper; }
  std::string Out(const std::string& name) const { return Utf8(FOut / Utf8Path(name)); }
  const fs::path& OutDir() const { return FOut; }
  const std::vector<TFailure>& Failures() const { return FFailures; }
  std::string ArchivePath() const { return FArchive; }

  void Open() {
    FUnzipper.SetBaseDirectory(FOut.string());
    FUnzipper.OpenArchive(FArchive);
  }
  void ExtractAll(const std::string& mask = "*.*") {
    Open();
    FUnzipper.ExtractFiles(mask);
    FUnzipper.CloseArchive();
  }
  std::vector<std::string> Files() const {
    std::vector<std::string> out;
    for (auto& e : fs::recursive_directory_iterator(FOut)) out.push_back(Utf8(fs::relative(e.path(), FOut), true) + (e.is_directory() ? "/" : ""));
    std::sort(out.begin(), out.end());
    return out;
  }

private:
  void Init() {
    FOut = FDir.Path() / "out";
    fs::create_directories(FOut);
    FUnzipper.OnProcessItemFailure = [this](void*, TVmArchiveItem* item, TVmProcessType, TVmErrorClass c, int code,
                                            const std::string& message) {
      FFailures.push_back({item->FileName(), c, code, message});
    };
  }

  TTempDir FDir;
  std::string FArchive;
  fs::path FOut;
  TVmUnZipper FUnzipper;
  std::vector<TFailure> FFailures;
};

TZipLayout Stored(std::initializer_list<std::pair<std::string, std::string>> files) {
  TZipLayout layout;
  for (auto& [name, data] : files) layout.Entries.push_back({.Name = name, .Data = data});
  return layout;
}

std::string RawDeflate(const std::string& data, int level = 6) {
  // Made by Python's zlib (a real peer), as raw Deflate (wbits -15).
  TTempDir dir;
  WriteText(dir / "in", data);
  int status = 0;
  std::string script = "import zlib,sys;d=open(sys.argv[1],'rb').read();c=zlib.compressobj(" + std::to_string(level) +
                       ",zlib.DEFLATED,-15);sys.stdout.buffer.write(c.compress(d)+c.flush())";
  return Capture("python3 -c " + Quote(script) + " " + Quote(dir / "in"), &status);
}

}  // namespace

TEST(Masks, StarDotStarTakesNamesWithoutADot) {
  Extraction x(Stored({{"README", "r"}, {"a.txt", "a"}, {"dir/Makefile", "m"}}));
  x.ExtractAll("*.*");
  EXPECT_EQ(x.Files(), (std::vector<std::string>{"Makefile", "README", "a.txt"}));
}

TEST(Masks, ListOfPatternsIgnoresCase) {
  Extraction x(Stored({{"alpha.txt", "1"}, {"Beta.txt", "2"}, {"gamma.txt", "3"}, {"ABC", "4"}}));
  x.ExtractAll("a*; b*");
  EXPECT_EQ(x.Files(), (std::vector<std::string>{"ABC", "Beta.txt", "alpha.txt"}));
}

TEST(Masks, FolderPartAndExclusion) {
  Extraction x(Stored({{"docs/a.txt", "1"}, {"src/b.txt", "2"}, {"docs/c.bin", "3"}}));
  x.Open();
  x.Unzipper().ExtractFilesEx("docs\\*", "*.bin");
  EXPECT_EQ(x.Files(), (std::vector<std::string>{"a.txt"}));
}

TEST(Options, DefaultsFlattenAndTheLaterEntryWins) {
  Extraction x(Stored({{"docs/readme.txt", "first"}, {"readme.txt", "second"}, {"docs/", ""}}));
  x.ExtractAll();
  EXPECT_EQ(x.Files(), (std::vector<std::string>{"readme.txt"}));
  EXPECT_EQ(ReadText(x.Out("readme.txt")), "second");
}

TEST(Options, RestorePathCreatesFoldersAndDirectoryEntries) {
  Extraction x(Stored({{"docs/sub/", ""}, {"docs/readme.txt", "r"}, {"win\\style\\path.txt", "w"}}));
  x.Unzipper().SetExtractOptions(eoCreateDirs | eoRestorePath);
  x.ExtractAll();
  EXPECT_EQ(x.Files(), (std::vector<std::string>{"docs/", "docs/readme.txt", "docs/sub/", "win/", "win/style/",
                                                 "win/style/path.txt"}));
}

TEST(Options, WithoutCreateDirsAMissingFolderPropagates) {
  Extraction x(Stored({{"docs/readme.txt", "r"}}));
  x.Unzipper().SetExtractOptions(eoRestorePath);
  x.Open();
  try {
    x.Unzipper().ExtractFiles("*.*");
    FAIL() << "expected EVmNoSuchDirectory";
  } catch (const EVmNoSuchDirectory& e) {
    EXPECT_STREQ(e.what(), "Directory does not exist");
  }
}

TEST(BaseDirectory, TrailingSlashGoesExceptForRoot) {
  Extraction x(Stored({{"a", "1"}}));
  std::string base = x.OutDir().string();
  x.Unzipper().SetBaseDirectory(base + "/");
  EXPECT_EQ(x.Unzipper().BaseDirectory(), base + "/");  // only stored while no archive is open
  x.Unzipper().OpenArchive(x.ArchivePath());
  EXPECT_EQ(x.Unzipper().BaseDirectory(), base);
  x.Unzipper().SetBaseDirectory("/");
  EXPECT_EQ(x.Unzipper().BaseDirectory(), "/");
  EXPECT_THROW(x.Unzipper().SetBaseDirectory(base + "/missing"), EVmNoSuchDirectory);
}

TEST(OpenArchive, FailuresACallerSees) {
  TTempDir dir;
  TVmUnZipper unzipper;
  auto message = [&](const std::string& path) -> std::string {
    try {
      unzipper.OpenArchive(path);
    } catch (const std::exception& e) {
      return e.what();
    }
    return "";
  };
  EXPECT_EQ(message(dir / "missing.zip"), "File not found");
  WriteText(dir / "empty.zip", "");
  EXPECT_EQ(message(dir / "empty.zip"), "Invalid Stream");
  WriteText(dir / "cut.zip", std::string("PK\x03\x04", 4) + std::string(100, 'x'));
  EXPECT_EQ(message(dir / "cut.zip"), "Unhandled Archive Type");  // no end record: the probe says no
  WriteFile(dir / "ok.zip", BuildZip(Stored({{"a", "1"}})));
  unzipper.SetBaseDirectory(dir / "nowhere");
  EXPECT_EQ(message(dir / "ok.zip"), "Directory does not exist");
  TVmUnZipper fresh;
  EXPECT_THROW(fresh.ExtractFiles("*.*"), EVmNoArchive);
}

TEST(Overwrite, ExistingFilesAreReplacedAndTheHandlerMaySayNo) {
  Extraction x(Stored({{"a.txt", "new"}, {"b.txt", "new"}}));
  WriteText(x.Out("a.txt"), "old");
  WriteText(x.Out("b.txt"), "old");
  x.Unzipper().OnConfirmOverwrite = [](std::string& name, bool& confirm) { confirm = name.find("b.txt") == std::string::npos; };
  x.ExtractAll();
  EXPECT_EQ(ReadText(x.Out("a.txt")), "new");
  EXPECT_EQ(ReadText(x.Out("b.txt")), "old");
}

TEST(Overwrite, ReadOnlyTargetIsAFailureAndTheNextEntryStillComes) {
  Extraction x(Stored({{"locked.txt", "new"}, {"free.txt", "free"}}));
  WriteText(x.Out("locked.txt"), "old");
  MakeReadOnly(x.Out("locked.txt"));
  x.ExtractAll();
  ASSERT_EQ(x.Failures().size(), 1u);
  EXPECT_EQ(x.Failures()[0].Class, TVmErrorClass::ecFileCreateError);
  EXPECT_EQ(x.Failures()[0].Message, "Cannot create file \"" + x.Out("locked.txt") + "\". Permission denied");
  EXPECT_EQ(ReadText(x.Out("locked.txt")), "old");
  EXPECT_EQ(ReadText(x.Out("free.txt")), "free");
}

TEST(Entries, DateAndAttributesAreApplied) {
  TZipLayout layout;
  // 2021-04-25 14:44:50 local time, read-only DOS attribute
  layout.Entries.push_back({.Name = "dated.txt", .Data = "d", .Time = (14 << 11) | (44 << 5) | 25,
                          .Date = ((2021 - 1980) << 9) | (4 << 5) | 25, .ExternalAttributes = 0x21});
  layout.Entries.push_back({.Name = "script.sh", .Data = "#!/bin/sh", .VersionMadeBy = 0x031E,
                          .ExternalAttributes = (0104755u) << 16});  // setuid is dropped
  Extraction x(layout);
  x.ExtractAll();
  EXPECT_EQ(LocalWriteTime(x.Out("dated.txt")), "2021-04-25 14:44:50");
  EXPECT_TRUE(IsReadOnly(x.Out("dated.txt")));
  EXPECT_FALSE(IsReadOnly(x.Out("script.sh")));
  // The execute bits of script.sh: OutputPath.ModesFollowTheUmaskAndOnlyTheExecuteBitsOfTheArchive.
}

TEST(Entries, SizeZeroGivesAnEmptyFileWhateverTheMethod) {
  TZipLayout layout;
  layout.Entries.push_back({.Name = "empty.lzma", .Data = "garbage", .Method = 14, .UncompressedSize = 0});
  Extraction x(layout);
  x.ExtractAll();
  EXPECT_TRUE(x.Failures().empty());
  EXPECT_EQ(ReadFile(x.Out("empty.lzma")).size(), 0u);
}

TEST(Entries, UnsupportedMethodAndNewerVersionFailWithoutAFile) {
  TZipLayout layout;
  layout.Entries.push_back({.Name = "bwt.txt", .Data = "abc", .Method = 18});
  layout.Entries.push_back({.Name = "new.txt", .Data = "abc", .VersionNeeded = 0x3F + 1});
  Extraction x(layout);
  x.ExtractAll();
  ASSERT_EQ(x.Failures().size(), 2u);
  EXPECT_EQ(x.Failures()[0].Message, "Cannot extract file - unsupported compression method");
  EXPECT_EQ(x.Failures()[0].Code, 2);
  EXPECT_EQ(x.Failures()[1].Message, "Cannot extract file - newer version required");
  EXPECT_EQ(x.Failures()[1].Code, 1);
  EXPECT_TRUE(x.Files().empty());
}

TEST(Entries, CrcMismatchFailsTheEntryAndLeavesNoFile) {
  TZipLayout layout;
  layout.Entries.push_back({.Name = "bad.txt", .Data = "content", .Crc = 0x12345678});
  Extraction x(layout);
  x.ExtractAll();
  ASSERT_EQ(x.Failures().size(), 1u);
  EXPECT_EQ(x.Failures()[0].Class, TVmErrorClass::ecVellmora);
  EXPECT_EQ(x.Failures()[0].Code, 19);
  EXPECT_EQ(x.Failures()[0].Message, "Failed CRC Check");
  EXPECT_TRUE(x.Files().empty());
}

TEST(Entries, CrcMismatchWithoutAHandlerRaises) {
  TZipLayout layout;
  layout.Entries.push_back({.Name = "bad.txt", .Data = "content", .Crc = 0x12345678});
  core::TMemoryStream archiveBytes(BuildZip(layout));
  TVmZipArchive archive(&archiveBytes, "m.zip");
  archive.Load();
  core::TMemoryStream out;
  EXPECT_THROW(ExtractEntryToStream(archive, *archive.ZipItems(0), &out), EVmZipBadCRC);
}

TEST(Entries, StoredEntryShorterThanDeclaredFailsAndLeavesNoFile) {
  TZipLayout layout;
  layout.Entries.push_back({.Name = "short.txt", .Data = "abc", .UncompressedSize = 10});
  Extraction x(layout);
  x.ExtractAll();
  ASSERT_EQ(x.Failures().size(), 1u);
  EXPECT_EQ(x.Failures()[0].Message, "Stream read error");
  EXPECT_EQ(x.Failures()[0].Class, TVmErrorClass::ecFilerError);
  EXPECT_FALSE(fs::exists(x.Out("short.txt")));
}

TEST(Entries, WrongLocalSignatureIsNotAPKZipFile) {
  TZipLayout layout;
  layout.Entries.push_back({.Name = "a.txt", .Data = "abc", .LocalSignature = 0x04034B51});
  Extraction x(layout);
  x.ExtractAll();
  ASSERT_EQ(x.Failures().size(), 1u);
  EXPECT_EQ(x.Failures()[0].Message, "Invalid file - not a PKZip file");
  EXPECT_EQ(x.Failures()[0].Code, 24);
}

TEST(Entries, StreamExtractionNeedsAStream) {
  Extraction x(Stored({{"a.txt", "abc"}}));
  x.Open();
  EXPECT_THROW(x.Unzipper().ExtractToStream("a.txt", nullptr), EVmBadStream);
  core::TMemoryStream out;
  x.Unzipper().ExtractToStream("A.TXT", &out);
  EXPECT_EQ(out.DataString(), "abc");
  EXPECT_THROW(x.Unzipper().ExtractToStream("nope", &out), EVmFileNotFound);
}

TEST(Entries, TestComparesLocalAndCentralHeaders) {
  TZipLayout layout;
  layout.Entries.push_back({.Name = "good.txt", .Data = "abc"});
  layout.Entries.push_back({.Name = "other.txt", .Data = "abc", .LocalName = "OTHER.txt"});
  Extraction x(layout);
  x.Open();
  x.Unzipper().Archive()->TagAll();
  x.Unzipper().TestTaggedItems();
  ASSERT_EQ(x.Failures().size(), 1u);
  EXPECT_EQ(x.Failures()[0].Name, "other.txt");
  EXPECT_EQ(x.Failures()[0].Message, "Invalid Local File Header entry");
}

TEST(Entries, ProgressReportsWholePercentAndCanAbort) {
  Extraction x(Stored({{"a.bin", std::string(1000, 'a')}, {"b.bin", "b"}}));
  std::vector<int> archiveProgress;
  x.Unzipper().OnArchiveProgress = [&](void*, std::uint8_t p, bool&) { archiveProgress.push_back(p); };
  x.Unzipper().OnArchiveItemProgress = [](void*, TVmArchiveItem* item, std::uint8_t, bool& abort) {
    abort = item->FileName() == "a.bin";
  };
  x.Open();
  // The abort fails the entry (no file) and leaves the archive unusable: the next entry
  // finds no archive, and that ends the whole extraction.
  EXPECT_THROW(x.Unzipper().ExtractFiles("*.*"), EVmNoArchive);
  ASSERT_EQ(x.Failures().size(), 1u);
  EXPECT_EQ(x.Failures()[0].Message, "Process aborted by user");
  EXPECT_EQ(x.Failures()[0].Code, 9);
  EXPECT_FALSE(fs::exists(x.Out("a.bin")));
  EXPECT_FALSE(fs::exists(x.Out("b.bin")));
  EXPECT_EQ(x.Unzipper().Status(), TVmArchiveStatus::asInvalid);
  // Loading reported 50 and 100 (then 100 when done); extraction reported its first item.
  EXPECT_EQ(archiveProgress, (std::vector<int>{50, 100, 100, 50}));
}

TEST(Deflate, MethodsEightNineAndOneHundredThirtySix) {
  if (!HaveTool("python3")) GTEST_SKIP() << "python3 not installed";
  std::string text;
  for (int i = 0; i < 2000; ++i) text += "line " + std::to_string(i % 97) + " of the deflated text\n";
  std::string packed = RawDeflate(text);
  ASSERT_FALSE(packed.empty());
  TZipLayout layout;
  layout.Entries.push_back({.Name = "m8.txt", .Data = packed, .Method = 8, .Crc = Crc(text),
                          .UncompressedSize = static_cast<std::uint32_t>(text.size())});
  layout.Entries.push_back({.Name = "m136.txt", .Data = packed, .Method = 136, .Crc = Crc(text),
                          .UncompressedSize = static_cast<std::uint32_t>(text.size())});
  Extraction x(layout);
  x.ExtractAll();
  EXPECT_TRUE(x.Failures().empty()) << x.Failures()[0].Message;
  EXPECT_EQ(ReadText(x.Out("m8.txt")), text);
  EXPECT_EQ(ReadText(x.Out("m136.txt")), text);
}

TEST(Deflate, FixturesDecodeToTheirCrc) {
  for (const char* f : {"commons-compress/lorem-ipsum-deflate64.zip", "sharpcompress/Zip.deflate64.zip",
                        "sharpcompress/Zip.zip64.zip", "zip2/chinese.zip", "zip2/data_descriptor.zip",
                        "commons-compress/COMPRESS-380-dd.zip", "zipdetails/winzip-sfx.exe"}) {
    SCOPED_TRACE(f);
    Extraction x(FixturesDir() + "/" + f);
    x.ExtractAll();
    EXPECT_TRUE(x.Failures().empty()) << x.Failures()[0].Name << ": " << x.Failures()[0].Message;
  }
  // A fuzzer's archive: its name holds NUL bytes (refused before anything is written) and
  // its Deflate64 data is damaged (refused by the decoder, never read out of bounds).
  Extraction bad(FixturesDir() + "/zip2/raw_deflate64_index_out_of_bounds.zip");
  bad.ExtractAll();
  ASSERT_EQ(bad.Failures().size(), 1u);
  EXPECT_EQ(bad.Failures()[0].Message, "Cannot extract file - unsafe file name");
  EXPECT_TRUE(bad.Files().empty());
  bad.Open();
  core::TNullStream sink;
  try {
    ExtractEntryToStream(*bad.Unzipper().ZipArchive(), *bad.Unzipper().ZipArchive()->ZipItems(0), &sink);
    FAIL() << "damaged Deflate64 data decoded";
  } catch (const EVmException& e) {
    std::string message = e.what();
    EXPECT_TRUE(message.rfind("Vellmora inflate error", 0) == 0 ||
                message == "Cannot extract file - data longer than its declared size" ||
                message == "Cannot extract file - data overlaps another entry")
        << message;
  }
}

TEST(Fixtures, UnsupportedMethodsFailAndTheOtherEntriesExtract) {
  Extraction x(FixturesDir() + "/corkami/jpeg.zip");
  x.ExtractAll();
  ASSERT_EQ(x.Failures().size(), 1u);
  EXPECT_EQ(x.Failures()[0].Message, "Cannot extract file - unsupported compression method");
  EXPECT_TRUE(x.Files().empty());
  Extraction shrunk(FixturesDir() + "/sharpcompress/Zip.shrink.zip");
  shrunk.ExtractAll();
  EXPECT_TRUE(shrunk.Failures().empty());
  EXPECT_EQ(shrunk.Files().size(), 3u);
  EXPECT_EQ(Crc(ReadText(shrunk.Out("TEST.JPG"))), 0x088814e3u);
}

TEST(Fixtures, SplitSetExtractsAcrossImages) {
  Extraction x(FixturesDir() + "/zipdetails/pkzip-span-multi-segment.zip");
  x.ExtractAll();
  EXPECT_TRUE(x.Failures().empty());
  EXPECT_EQ(Crc(ReadText(x.Out("onemeg"))), 0xa738ea1cu);
  Extraction w(FixturesDir() + "/sharpcompress/WinZip26.nocomp.multi.zip");
  w.ExtractAll();
  EXPECT_TRUE(w.Failures().empty());
  EXPECT_EQ(Crc(ReadText(w.Out("test.exe"))), 0xcfb109c8u);
  EXPECT_EQ(Crc(ReadText(w.Out("тест.txt"))), 0x9bd160fau);
}

TEST(Fixtures, SplitSetWithAMissingImageFailsClearly) {
  // The set is laid out disk after disk, so reaching the directory on the last disk needs
  // the size of every image before it: a missing one fails the opening, by its name.
  TTempDir dir;
  fs::copy_file(FixturesDir() + "/zipdetails/pkzip-span-multi-segment.zip", dir / "set.zip");
  fs::copy_file(FixturesDir() + "/zipdetails/pkzip-span-multi-segment.z02", dir / "set.z02");
  TVmUnZipper unzipper;
  try {
    unzipper.OpenArchive(dir / "set.zip");
    FAIL() << "opened a set without its first image";
  } catch (const core::EFOpenError& e) {
    EXPECT_EQ(std::string(e.what()), "Cannot open file \"" + (dir / "set.z01") + "\". No such file or directory");
  }
}

TEST(Decryption, PasswordsFromThePropertyTheHandlerAndRetries) {
  std::string path = FixturesDir() + "/sharpcompress/zipcrypto.zip";
  {
    Extraction x(path);
    x.ExtractAll();  // no password, no handler
    ASSERT_EQ(x.Failures().size(), 8u);
    EXPECT_EQ(x.Failures()[0].Message, "Cannot extract file - invalid password");
    EXPECT_TRUE(x.Files().empty());
  }
  {
    Extraction x(path);
    x.Unzipper().SetPassword("test");
    x.ExtractAll();
    EXPECT_TRUE(x.Failures().empty());
    EXPECT_EQ(ReadText(x.Out("brown.txt")).size(), 6u);
    EXPECT_EQ(Crc(ReadText(x.Out("brown.txt"))), 0x5ebc8aeau);
  }
  {
    // A wrong password first, then the right one: the header is read again.
    Extraction x(path);
    int asked = 0;
    x.Unzipper().SetPassword("wrong");
    x.Unzipper().OnNeedPassword = [&](void*, std::string& password) {
      ++asked;
      password = "test";
    };
    x.ExtractAll();
    EXPECT_TRUE(x.Failures().empty());
    EXPECT_EQ(asked, 1);
  }
  {
    // The handler gives up with an empty answer.
    Extraction x(path);
    x.Unzipper().OnNeedPassword = [](void*, std::string& password) { password.clear(); };
    x.ExtractAll();
    ASSERT_EQ(x.Failures().size(), 8u);
    EXPECT_EQ(x.Failures()[0].Message, "Cannot extract file - invalid password");
  }
}

TEST(Decryption, CheckByteFromTheLocalTimeWithDataDescriptors) {
  Extraction x(FixturesDir() + "/zipdetails/iz-linux-encrypt.zip");
  x.Unzipper().SetPassword("password");
  x.ExtractAll();
  EXPECT_TRUE(x.Failures().empty());
  EXPECT_EQ(Crc(ReadText(x.Out("lorem.txt"))), 0xf90ee7ffu);
}

TEST(Decryption, InfoZipEncryptedStoredEntry) {
  if (!HaveTool("zip")) GTEST_SKIP() << "zip not installed";
  TTempDir dir;
  WriteText(dir / "secret.txt", "the secret text");
  ASSERT_EQ(Shell("cd " + Quote(dir.Path()) + " && zip -q -0 -P pw enc.zip secret.txt"), 0);
  Extraction x(dir / "enc.zip");
  x.Unzipper().SetPassword("pw");
  x.ExtractAll();
  EXPECT_TRUE(x.Failures().empty());
  EXPECT_EQ(ReadText(x.Out("secret.txt")), "the secret text");  // 12 header bytes never reach the output
}

TEST(Peers, InfoZipAnd7ZipArchivesRoundTrip) {
  if (!HaveTool("zip")) GTEST_SKIP() << "zip not installed";
  TTempDir dir;
  fs::create_directories(dir.Path() / "src" / "a" / "b");
  std::string big;
  for (int i = 0; i < 300000; ++i) big += static_cast<char>('a' + (i * 7) % 26);
  WriteText(dir / "src/a/b/big.txt", big);
  WriteText(dir / "src/a/small.txt", "small");
  ASSERT_EQ(Shell("cd " + Quote(dir / "src") + " && zip -q -r -0 ../stored.zip a"), 0);
  Extraction x(dir / "stored.zip");
  x.Unzipper().SetExtractOptions(eoCreateDirs | eoRestorePath);
  x.ExtractAll();
  EXPECT_TRUE(x.Failures().empty());
  EXPECT_EQ(ReadText(x.Out("a/b/big.txt")), big);
  std::string sz = SevenZip();
  if (sz.empty()) return;
  ASSERT_EQ(Shell("cd " + Quote(dir / "src") + " && " + sz + " a -tzip -mm=Deflate64 ../d64.zip a >/dev/null"), 0);
  Extraction y(dir / "d64.zip");
  y.ExtractAll();
  EXPECT_TRUE(y.Failures().empty());
  EXPECT_EQ(ReadText(y.Out("big.txt")), big);
}

TEST(Component, LivesInItsOwnersTree) {
  auto* owner = new core::TComponent();
  auto* unzipper = new TVmUnZipper(owner);
  unzipper->SetName("VmUnZipper1");
  EXPECT_EQ(owner->FindComponent("vmunzipper1"), unzipper);
  EXPECT_TRUE(unzipper->InheritsFrom("TVmBaseBrowser"));
  EXPECT_EQ(unzipper->ClassName(), "TVmUnZipper");
  EXPECT_EQ(unzipper->Version(), "5.0");
  delete owner;  // frees the unzipper with it (the sanitizer build checks for a leak)
}

TEST(Decryption, PublicTraditionallyEncryptedArchivesWithTheirPasswords) {
  struct {
    const char* File;
    const char* Password;
    std::vector<std::string> Failures;
  } cases[] = {
      {"sharpcompress/zipcrypto.zip", "test", {}},
      {"sharpcompress/Zip.deflate.pkware.zip", "12345678", {}},
      {"zipdetails/7z-windows-zipcrypto.zip", "password", {}},
      {"zipdetails/winzip-encrypt-std.zip", "password", {}},
      {"zipdetails/pkzip-encrypt-passphrase.zip", "password", {}},
      {"libarchive/test_read_format_zip_traditional_encryption_data.zip", "12345678", {}},
      // Strong (AES) encryption is not the traditional scheme: the header check refuses it.
      {"zipdetails/pkzip-encrypt-passphrase-aes256.zip", "password",
       {"Cannot extract file - invalid password", "Cannot extract file - invalid password"}},
      {"sharpcompress/SharpCompress.AES.zip", "test", {"Cannot extract file - invalid password"}},
      {"sharpcompress/Zip.bzip2.pkware.zip", "test", {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.File);
    Extraction x(FixturesDir() + "/" + c.File);
    x.Unzipper().SetPassword(c.Password);
    x.ExtractAll();
    std::vector<std::string> messages;
    for (const auto& f : x.Failures()) messages.push_back(f.Message);
    EXPECT_EQ(messages, c.Failures);
  }
}

TEST(Fixtures, SplitImagesNamedByTheRequestImageHandler) {
  TTempDir dir;
  fs::copy_file(FixturesDir() + "/zipdetails/pkzip-span-multi-segment.z01", dir / "first.part");
  fs::copy_file(FixturesDir() + "/zipdetails/pkzip-span-multi-segment.z02", dir / "second.part");
  fs::copy_file(FixturesDir() + "/zipdetails/pkzip-span-multi-segment.zip", dir / "set.zip");
  Extraction x(dir / "set.zip");
  std::vector<std::string> asked;
  x.Unzipper().OnRequestImage = [&](void*, int image, std::string& name, bool&) {
    asked.push_back(fs::path(name).filename().string());
    name = dir / (image == 0 ? "first.part" : "second.part");
  };
  x.ExtractAll();
  EXPECT_TRUE(x.Failures().empty());
  EXPECT_EQ(asked, (std::vector<std::string>{"set.z01", "set.z02"}));
  EXPECT_EQ(Crc(ReadText(x.Out("onemeg"))), 0xa738ea1cu);

  TVmUnZipper refused;
  refused.OnRequestImage = [](void*, int, std::string&, bool& abort) { abort = true; };
  EXPECT_THROW(refused.OpenArchive(dir / "set.zip"), EVmUserAbort);
}

TEST(Fixtures, SplitImageNames) {
  EXPECT_EQ(SplitImageName("/a/set.zip", 0, 3), "/a/set.z01");
  EXPECT_EQ(SplitImageName("/a/set.zip", 2, 3), "/a/set.z03");
  EXPECT_EQ(SplitImageName("/a/set.zip", 3, 3), "/a/set.zip");
  EXPECT_EQ(SplitImageName("/a.b/set", 0, 1), "/a.b/set.01");
  EXPECT_EQ(SplitImageName("/a/set.z", 0, 1), "/a/set.01");
  EXPECT_EQ(SplitImageName("/a/set.zip", 99, 200), "/a/set.z100");
}
