// The way to the disk on Windows: what a failed entry leaves behind, the attributes and
// time an extracted file gets, and what is found at the output name (folders, read-only
// files, the archive itself) never being written through.
#include <gtest/gtest.h>

#include <windows.h>

#include <functional>

#include "core/utf16.h"
#include "test_support.h"
#include "unzip/unzipper.h"

using namespace tarvo;
using namespace tarvo::unzip;
using namespace tarvo::unzip::test;

namespace {

// Extracts an archive and records "name: message (code)" per failed entry.
std::vector<std::string> Extract(const std::string& archive, const std::string& into,
                                 TVmExtractOptions options = eoCreateDirs) {
  std::vector<std::string> failures;
  TVmUnZipper unzipper;
  unzipper.SetExtractOptions(options);
  unzipper.OnProcessItemFailure = [&](void*, TVmArchiveItem* item, TVmProcessType, TVmErrorClass, int code,
                                      const std::string& message) {
    failures.push_back(item->FileName() + ": " + message + " (" + std::to_string(code) + ")");
  };
  unzipper.SetBaseDirectory(into);
  unzipper.OpenArchive(archive);
  unzipper.ExtractFiles("*.*");
  unzipper.CloseArchive();
  return failures;
}

std::vector<std::string> Listing(const fs::path& folder) {
  std::vector<std::string> names;
  for (auto& e : fs::directory_iterator(folder)) names.push_back(e.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

DWORD Attributes(const std::string& path) { return ::GetFileAttributesW(core::Utf8ToWide(path).c_str()); }

}  // namespace

TEST(OutputPath, AFailedEntryLeavesThePreviousFileAndNothingElse) {
  struct Case {
    TZipEntryLayout Entry;
    std::string Failure;  // "" for success
  };
  const Case cases[] = {
      {{.Name = "t.txt", .Data = "new"}, ""},
      {{.Name = "t.txt", .Data = "new", .Crc = 0x12345678}, "t.txt: Failed CRC Check (19)"},
      {{.Name = "t.txt", .Data = "new", .UncompressedSize = 10}, "t.txt: Stream read error (0)"},
      {{.Name = "t.txt", .Data = "new", .Method = 96}, "t.txt: Cannot extract file - unsupported compression method (2)"},
  };
  for (const Case& c : cases) {
    TTempDir dir;
    const std::string out = dir / "out";
    fs::create_directory(Utf8Path(out));
    WriteText(dir / "out/t.txt", "old");
    TZipLayout layout;
    layout.Entries.push_back(c.Entry);
    WriteFile(dir / "a.zip", BuildZip(layout));
    const std::vector<std::string> failures = Extract(dir / "a.zip", out);
    if (c.Failure.empty()) {
      EXPECT_TRUE(failures.empty());
      EXPECT_EQ(ReadText(dir / "out/t.txt"), "new");
    } else {
      EXPECT_EQ(failures, std::vector<std::string>{c.Failure});
      EXPECT_EQ(ReadText(dir / "out/t.txt"), "old") << c.Failure;
    }
    EXPECT_EQ(Listing(Utf8Path(out)), std::vector<std::string>{"t.txt"}) << c.Failure;  // no partial file
  }
}

TEST(OutputPath, TheDosAttributesAndTheTimeAreApplied) {
  struct Case {
    std::uint32_t External;
    DWORD Expected;  // of read-only, hidden, system and archive
  };
  const Case cases[] = {
      {0x01, FILE_ATTRIBUTE_READONLY},
      {0x02 | 0x20, FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_ARCHIVE},
      {0x04, FILE_ATTRIBUTE_SYSTEM},
      {0x20, FILE_ATTRIBUTE_ARCHIVE},
      {0x00, 0},
  };
  constexpr DWORD kDos = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE;
  for (const Case& c : cases) {
    TTempDir dir;
    TZipLayout layout;
    // 2021-04-25 14:44:50 local time
    layout.Entries.push_back({.Name = "f.txt", .Data = "d", .Time = (14 << 11) | (44 << 5) | 25,
                              .Date = ((2021 - 1980) << 9) | (4 << 5) | 25, .ExternalAttributes = c.External});
    WriteFile(dir / "a.zip", BuildZip(layout));
    EXPECT_TRUE(Extract(dir / "a.zip", dir.Path().string()).empty());
    // Wine reports every file with the archive attribute, set or not.
    const DWORD kept = Attributes(dir / "f.txt") & kDos;
    EXPECT_EQ(kept & ~FILE_ATTRIBUTE_ARCHIVE, c.Expected & ~FILE_ATTRIBUTE_ARCHIVE) << c.External;
    if (c.Expected & FILE_ATTRIBUTE_ARCHIVE) {
      EXPECT_TRUE(kept & FILE_ATTRIBUTE_ARCHIVE) << c.External;
    }
    EXPECT_EQ(LocalWriteTime(dir / "f.txt"), "2021-04-25 14:44:50");
    EXPECT_EQ(ReadText(dir / "f.txt"), "d");
  }
}

TEST(OutputPath, WhatIsAtTheNameIsNeverWrittenThrough) {
  struct Case {
    const char* What;
    std::function<void(const std::string& target)> Plant;
    std::string Failure;  // "" when the entry replaces what was there
  };
  const Case cases[] = {
      {"file", [](const std::string& t) { WriteText(t, "old"); }, ""},
      {"read-only file",
       [](const std::string& t) {
         WriteText(t, "old");
         MakeReadOnly(t);
       },
       "t.txt: Cannot create file"},
      {"folder", [](const std::string& t) { fs::create_directory(Utf8Path(t)); }, "t.txt: Cannot create file"},
      {"nothing", [](const std::string&) {}, ""},
  };
  for (const Case& c : cases) {
    TTempDir dir;
    fs::create_directory(Utf8Path(dir / "out"));
    TZipLayout layout;
    layout.Entries.push_back({.Name = "t.txt", .Data = "new"});
    WriteFile(dir / "a.zip", BuildZip(layout));
    c.Plant(dir / "out/t.txt");
    const std::vector<std::string> failures = Extract(dir / "a.zip", dir / "out");
    if (c.Failure.empty()) {
      EXPECT_TRUE(failures.empty()) << c.What;
      EXPECT_EQ(ReadText(dir / "out/t.txt"), "new") << c.What;
    } else {
      ASSERT_EQ(failures.size(), 1u) << c.What;
      EXPECT_EQ(failures[0].substr(0, c.Failure.size()), c.Failure) << c.What;
    }
    EXPECT_EQ(Listing(Utf8Path(dir / "out")), std::vector<std::string>{"t.txt"}) << c.What;
  }
}

TEST(OutputPath, TheArchiveBeingReadIsNeverReplaced) {
  // main.zip holding a main.zip (also in other case), extracted into the folder that holds
  // it, by its own name and through a second (hard) link.
  for (const char* name : {"main.zip", "MAIN.ZIP", "alias.zip"}) {
    TTempDir dir;
    TZipLayout layout;
    layout.Entries.push_back({.Name = name, .Data = "inner"});
    layout.Entries.push_back({.Name = "next.txt", .Data = "next"});
    const std::vector<std::uint8_t> bytes = BuildZip(layout);
    WriteFile(dir / "main.zip", bytes);
    std::error_code ec;
    fs::create_hard_link(Utf8Path(dir / "main.zip"), Utf8Path(dir / "alias.zip"), ec);
    if (ec && std::string(name) == "alias.zip") GTEST_SKIP() << "this file system makes no hard links";
    const std::vector<std::string> failures = Extract(dir / "main.zip", dir.Path().string());
    EXPECT_EQ(failures, std::vector<std::string>{std::string(name) + ": Cannot extract file - unsafe file name (30)"});
    EXPECT_EQ(ReadFile(dir / "main.zip"), bytes);
    EXPECT_EQ(ReadText(dir / "next.txt"), "next");
  }
}

TEST(OutputPath, ReparsePointsAreNeverPassedThrough) {
  // Junctions and symbolic links need the NTFS reparse points, which Wine does not make:
  // the refusal (FILE_FLAG_OPEN_REPARSE_POINT and the attribute check on every level) runs
  // only where the system can plant one.
  TTempDir dir;
  fs::create_directories(Utf8Path(dir / "out"));
  fs::create_directories(Utf8Path(dir / "elsewhere"));
  std::error_code ec;
  fs::create_directory_symlink(Utf8Path(dir / "elsewhere"), Utf8Path(dir / "out/link"), ec);
  if (ec) GTEST_SKIP() << "this system makes no reparse points (Wine)";
  TZipLayout layout;
  layout.Entries.push_back({.Name = "link/evil.txt", .Data = "x"});
  WriteFile(dir / "a.zip", BuildZip(layout));
  EXPECT_EQ(Extract(dir / "a.zip", dir / "out", eoCreateDirs | eoRestorePath),
            std::vector<std::string>{"link/evil.txt: Cannot extract file - unsafe file name (30)"});
  EXPECT_TRUE(fs::is_empty(Utf8Path(dir / "elsewhere")));
}

TEST(OutputPath, ReplacingAFileGivesItTheEntrysAttributes) {
  constexpr DWORD kDos = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
  for (std::uint32_t external : {0x01u, 0x02u, 0x04u, 0x00u}) {
    TTempDir dir;
    WriteText(dir / "t.txt", "old");
    TZipLayout layout;
    layout.Entries.push_back({.Name = "t.txt", .Data = "new", .ExternalAttributes = external});
    WriteFile(dir / "a.zip", BuildZip(layout));
    EXPECT_TRUE(Extract(dir / "a.zip", dir.Path().string()).empty()) << external;
    EXPECT_EQ(ReadText(dir / "t.txt"), "new") << external;
    EXPECT_EQ(Attributes(dir / "t.txt") & kDos, external & kDos) << external;
    EXPECT_EQ(Listing(dir.Path()), (std::vector<std::string>{"a.zip", "t.txt"})) << external;
  }
}

TEST(OutputPath, FoldersDeeperThanWindowsProgramsCanUseAreRefused) {
  struct Case {
    int Levels;
    bool Extracted;
  };
  // 512 levels is the deepest accepted; a deeper entry fails before any folder is made.
  const Case cases[] = {{1, true}, {512, true}, {513, false}, {2000, false}};
  for (const Case& c : cases) {
    TTempDir dir;
    fs::create_directory(Utf8Path(dir / "out"));
    std::string folders;
    for (int i = 0; i < c.Levels; ++i) folders += "d/";
    TZipLayout layout;
    layout.Entries.push_back({.Name = folders + "f.txt", .Data = "deep"});
    layout.Entries.push_back({.Name = "next.txt", .Data = "next"});
    WriteFile(dir / "a.zip", BuildZip(layout));
    const std::vector<std::string> failures = Extract(dir / "a.zip", dir / "out", eoCreateDirs | eoRestorePath);
    if (c.Extracted) {
      EXPECT_TRUE(failures.empty()) << c.Levels;
      EXPECT_EQ(ReadText(dir / ("out/" + folders + "f.txt")), "deep") << c.Levels;
      EXPECT_EQ(Listing(Utf8Path(dir / "out")), (std::vector<std::string>{"d", "next.txt"})) << c.Levels;
    } else {
      EXPECT_EQ(failures, std::vector<std::string>{folders + "f.txt: Cannot extract file - unsafe file name (30)"})
          << c.Levels;
      EXPECT_EQ(Listing(Utf8Path(dir / "out")), std::vector<std::string>{"next.txt"}) << c.Levels;
    }
  }
}
