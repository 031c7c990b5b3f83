// vmunzip end to end: its commands, output lines, stderr lines and exit codes.
#include <gtest/gtest.h>

#include "test_support.h"

using namespace tarvo::unzip::test;

#ifdef TARVO_VMUNZIP

namespace {

struct TResult {
  int Status;
  std::string Out, Err;
};

// Runs vmunzip itself (vmunzip.exe on the Windows build) in folder.
TResult Vmunzip(const std::vector<std::string>& args, const std::string& folder = std::string()) {
  TResult r;
  r.Status = RunProgram(TARVO_VMUNZIP, args, folder, &r.Out, &r.Err);
  return r;
}

TZipLayout Sample() {
  TZipLayout layout;
  layout.Entries.push_back({.Name = "docs/readme.txt", .Data = "read me", .Time = (14 << 11) | (44 << 5) | 25,
                          .Date = ((2021 - 1980) << 9) | (4 << 5) | 25});
  layout.Entries.push_back({.Name = "bad.txt", .Data = "content", .Crc = 0x12345678});
  layout.Entries.push_back({.Name = "bwt.bin", .Data = "xyz", .Method = 18});
  return layout;
}

}  // namespace

TEST(Vmunzip, ListPrintsOneTabSeparatedLinePerEntry) {
  TTempDir dir;
  WriteFile(dir / "s.zip", BuildZip(Sample()));
  TResult r = Vmunzip({"list", dir / "s.zip"});
  EXPECT_EQ(r.Status, 0);
  EXPECT_EQ(r.Out,
            "docs/readme.txt\t7\t7\t0\t" + [] {
              char b[9];
              std::snprintf(b, sizeof b, "%08x", Crc("read me"));
              return std::string(b);
            }() + "\t2021-04-25 14:44:50\n"
                  "bad.txt\t7\t7\t0\t12345678\t2025-01-01 12:00:00\n"
                  "bwt.bin\t3\t3\t18\t" +
                [] {
                  char b[9];
                  std::snprintf(b, sizeof b, "%08x", Crc("xyz"));
                  return std::string(b);
                }() + "\t2025-01-01 12:00:00\n");
  EXPECT_EQ(r.Err, "");
}

TEST(Vmunzip, ListOfThePublicSampleOfTheReadme) {
  TResult r = Vmunzip({"list", FixturesDir() + "/zip2/chinese.zip"});
  EXPECT_EQ(r.Status, 0);
  EXPECT_EQ(r.Out, "七个房间.txt\t47893\t22774\t8\t97f77458\t2016-06-13 17:33:06\n");
}

TEST(Vmunzip, ArchivesThatCannotBeOpenedExitWithTwoAndTheMessage) {
  TTempDir dir;
  TResult missing = Vmunzip({"list", dir / "missing.zip"});
  EXPECT_EQ(missing.Status, 2);
  EXPECT_EQ(missing.Err, "File not found\n");
  WriteText(dir / "text.zip", "not an archive at all");
  TResult text = Vmunzip({"test", dir / "text.zip"});
  EXPECT_EQ(text.Status, 2);
  EXPECT_EQ(text.Err, "Unhandled Archive Type\n");
  WriteFile(dir / "s.zip", BuildZip(Sample()));
  TResult nodir = Vmunzip({"extract", "-d", dir / "nowhere", dir / "s.zip"});
  EXPECT_EQ(nodir.Status, 2);
  EXPECT_EQ(nodir.Err, "Directory does not exist\n");
  TResult usage = Vmunzip({"frobnicate"});
  EXPECT_EQ(usage.Status, 2);
}

TEST(Vmunzip, ExtractReportsEachFailedEntryAndExitsWithOne) {
  TTempDir dir;
  WriteFile(dir / "s.zip", BuildZip(Sample()));
  fs::create_directories(dir.Path() / "out");
  TResult r = Vmunzip({"extract", "-d", dir / "out", dir / "s.zip"});
  EXPECT_EQ(r.Status, 1);
  EXPECT_EQ(r.Err,
            "bad.txt: Failed CRC Check\n"
            "bwt.bin: Cannot extract file - unsupported compression method\n");
  EXPECT_EQ(ReadText(dir / "out/readme.txt"), "read me");  // file name alone by default
  EXPECT_FALSE(fs::exists(dir.Path() / "out/bad.txt"));   // a CRC mismatch fails the entry
  EXPECT_FALSE(fs::exists(dir.Path() / "out/bwt.bin"));
}

TEST(Vmunzip, ExtractWithPathsAndAMaskSucceeds) {
  TTempDir dir;
  WriteFile(dir / "s.zip", BuildZip(Sample()));
  fs::create_directories(dir.Path() / "out");
  TResult r = Vmunzip({"extract", "--paths", "-d", dir / "out", dir / "s.zip", "docs/*"});
  EXPECT_EQ(r.Status, 0) << r.Err;
  EXPECT_EQ(ReadText(dir / "out/docs/readme.txt"), "read me");
  EXPECT_FALSE(fs::exists(dir.Path() / "out/bad.txt"));
}

TEST(Vmunzip, ExtractIntoTheCurrentFolderByDefault) {
  TTempDir dir;
  WriteFile(dir / "s.zip", BuildZip(Sample()));
  TResult inDir = Vmunzip({"extract", "s.zip", "docs/*"}, dir.Path().string());
  EXPECT_EQ(inDir.Status, 0) << inDir.Err;
  EXPECT_EQ(ReadText(dir / "readme.txt"), "read me");
}

TEST(Vmunzip, ExtractWithAPassword) {
  TTempDir dir;
  fs::create_directories(dir.Path() / "out");
  std::string archive = FixturesDir() + "/sharpcompress/zipcrypto.zip";
  TResult none = Vmunzip({"extract", "-d", dir / "out", archive, "brown.txt"});
  EXPECT_EQ(none.Status, 1);
  EXPECT_EQ(none.Err, "brown.txt: Cannot extract file - invalid password\n");
  TResult right = Vmunzip({"extract", "--password", "test", "-d", dir / "out", archive});
  EXPECT_EQ(right.Status, 0) << right.Err;
  EXPECT_EQ(Crc(ReadText(dir / "out/brown.txt")), 0x5ebc8aeau);
}

TEST(Vmunzip, TestChecksEveryEntry) {
  TTempDir dir;
  WriteFile(dir / "s.zip", BuildZip(Sample()));
  TResult r = Vmunzip({"test", dir / "s.zip"});
  EXPECT_EQ(r.Status, 1);
  EXPECT_EQ(r.Err,
            "bad.txt: Failed CRC Check\n"
            "bwt.bin: Cannot extract file - unsupported compression method\n");
  TZipLayout good;
  good.Entries.push_back({.Name = "a.txt", .Data = "fine"});
  WriteFile(dir / "good.zip", BuildZip(good));
  TResult ok = Vmunzip({"test", dir / "good.zip"});
  EXPECT_EQ(ok.Status, 0);
  EXPECT_EQ(ok.Err, "");
}

TEST(Vmunzip, UnsafeNamesAreEntryFailures) {
  TTempDir dir;
  TZipLayout layout;
  layout.Entries.push_back({.Name = "../escape.txt", .Data = "x"});
  layout.Entries.push_back({.Name = "ok.txt", .Data = "y"});
  WriteFile(dir / "slip.zip", BuildZip(layout));
  fs::create_directories(dir.Path() / "out");
  TResult r = Vmunzip({"extract", "--paths", "-d", dir / "out", dir / "slip.zip"});
  EXPECT_EQ(r.Status, 1);
  EXPECT_EQ(r.Err, "../escape.txt: Cannot extract file - unsafe file name\n");
  EXPECT_FALSE(fs::exists(dir.Path() / "escape.txt"));
  EXPECT_TRUE(fs::exists(dir.Path() / "out/ok.txt"));
}

#endif
