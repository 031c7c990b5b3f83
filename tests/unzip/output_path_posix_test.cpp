// The way to the disk: what a failed entry leaves behind, the permissions an extracted
// file gets, and what is found at the output name (links, FIFOs, folders, the archive
// itself) never being written through.
#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <functional>

#include "test_support.h"
#include "unzip/unzipper.h"

using namespace tarvo;
using namespace tarvo::unzip;
using namespace tarvo::unzip::test;

namespace {

// Extracts an archive written next to (or into) a folder and records "name: message (code)"
// per failed entry.
struct TRun {
  std::vector<std::string> Failures;
  std::function<void(std::string&, bool&)> OnOverwrite;

  void Extract(const std::string& archive, const std::string& into, TVmExtractOptions options = eoCreateDirs) {
    TVmUnZipper unzipper;
    unzipper.SetExtractOptions(options);
    unzipper.OnProcessItemFailure = [&](void*, TVmArchiveItem* item, TVmProcessType, TVmErrorClass, int code,
                                        const std::string& message) {
      Failures.push_back(item->FileName() + ": " + message + " (" + std::to_string(code) + ")");
    };
    if (OnOverwrite) unzipper.OnConfirmOverwrite = OnOverwrite;
    unzipper.SetBaseDirectory(into);
    unzipper.OpenArchive(archive);
    unzipper.ExtractFiles("*.*");
    unzipper.CloseArchive();
  }
};

std::vector<std::string> Listing(const fs::path& folder) {
  std::vector<std::string> names;
  for (auto& e : fs::directory_iterator(folder)) names.push_back(e.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

}  // namespace

TEST(OutputPath, AFailedEntryLeavesThePreviousFileAndNothingElse) {
  struct Case {
    TZipEntryLayout Entry;
    std::string Failure;  // "" for success
    rlim_t FileSizeLimit = RLIM_INFINITY;  // a full disk, as far as this process can tell
  };
  const Case cases[] = {
      {{.Name = "t.txt", .Data = "new"}, ""},
      {{.Name = "t.txt", .Data = "new", .Crc = 0x12345678}, "t.txt: Failed CRC Check (19)"},
      {{.Name = "t.txt", .Data = "new", .UncompressedSize = 10}, "t.txt: Stream read error (0)"},
      {{.Name = "t.txt", .Data = "\xFF\xFF\xFF", .Method = 8, .UncompressedSize = 3},
       "t.txt: Vellmora inflate error, possibly a corrupted compressed stream. (Internal cause: starting new block, "
       "but invalid block type [Inflate]) (0)"},
      {{.Name = "t.txt", .Data = "new", .Method = 96}, "t.txt: Cannot extract file - unsupported compression method (2)"},
      {{.Name = "t.txt", .Data = std::string(10000, 'n')}, "t.txt: I/O error 27: File too large (27)", 4096},
  };
  ::signal(SIGXFSZ, SIG_IGN);  // the write fails with EFBIG instead of ending the process
  for (const Case& c : cases) {
    TTempDir dir;
    const fs::path out = dir.Path() / "out";
    fs::create_directory(out);
    WriteText((out / "t.txt").string(), "old");
    TZipLayout layout;
    layout.Entries.push_back(c.Entry);
    WriteFile(dir / "a.zip", BuildZip(layout));
    TRun run;
    rlimit saved{};
    ::getrlimit(RLIMIT_FSIZE, &saved);
    rlimit limit = saved;
    limit.rlim_cur = c.FileSizeLimit;
    ::setrlimit(RLIMIT_FSIZE, &limit);
    run.Extract(dir / "a.zip", out.string());
    ::setrlimit(RLIMIT_FSIZE, &saved);
    if (c.Failure.empty()) {
      EXPECT_TRUE(run.Failures.empty());
      EXPECT_EQ(ReadText((out / "t.txt").string()), "new");
    } else {
      EXPECT_EQ(run.Failures, std::vector<std::string>{c.Failure});
      EXPECT_EQ(ReadText((out / "t.txt").string()), "old") << c.Failure;
    }
    EXPECT_EQ(Listing(out), std::vector<std::string>{"t.txt"}) << c.Failure;  // no partial file
  }
}

TEST(OutputPath, ModesFollowTheUmaskAndOnlyTheExecuteBitsOfTheArchive) {
  struct Case {
    std::uint16_t MadeBy;
    std::uint32_t External;
    mode_t Umask, Expected;
  };
  constexpr std::uint16_t kUnix = 0x031E, kDos = 20;
  const Case cases[] = {
      {kDos, 0x20, 022, 0644},            // plain DOS file
      {kDos, 0x21, 022, 0444},            // DOS read-only
      {kUnix, 0100644u << 16, 077, 0600},  // the umask wins over the archive's group/other read
      {kUnix, 0100000u << 16, 022, 0444},  // mode 0: readable, read-only (no owner write)
      {kUnix, 0100777u << 16, 022, 0755},  // no world write
      {kUnix, 0106777u << 16, 002, 0775},  // no setuid/setgid, group write only by the umask
      {kUnix, 0101755u << 16, 022, 0755},  // no sticky bit
      {kUnix, 0100700u << 16, 022, 0744},  // execute follows the archive, read the umask
      {kUnix, 0100444u << 16, 022, 0444},
  };
  const mode_t saved = ::umask(022);
  for (const Case& c : cases) {
    ::umask(c.Umask);
    TTempDir dir;
    TZipLayout layout;
    layout.Entries.push_back({.Name = "f", .Data = "x", .VersionMadeBy = c.MadeBy, .ExternalAttributes = c.External});
    WriteFile(dir / "a.zip", BuildZip(layout));
    fs::create_directory(dir.Path() / "out");
    TRun run;
    run.Extract(dir / "a.zip", dir / "out");
    struct stat st {};
    ASSERT_EQ(::stat((dir / "out/f").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, c.Expected) << std::oct << c.External << " umask " << c.Umask;
  }
  ::umask(saved);
}

TEST(OutputPath, WhatIsAtTheNameIsNeverWrittenThrough) {
  const std::string kUnsafe = "Cannot extract file - unsafe file name (30)";
  struct Case {
    const char* What;
    std::function<void(const fs::path& out)> Plant;
    std::string Failure;       // "" when the entry replaces what was there
    bool PlantOnOverwrite = false;
  };
  const Case cases[] = {
      {"link to a file outside", [](const fs::path& out) { fs::create_symlink("../outside", out / "t.txt"); }, ""},
      {"dangling link", [](const fs::path& out) { fs::create_symlink("../missing", out / "t.txt"); }, ""},
      {"FIFO", [](const fs::path& out) { ASSERT_EQ(::mkfifo((out / "t.txt").c_str(), 0644), 0); },
       "t.txt: " + kUnsafe},
      {"folder", [](const fs::path& out) { fs::create_directory(out / "t.txt"); }, "t.txt: Cannot create file"},
      {"file swapped for a link while the overwrite question is asked",
       [](const fs::path& out) {
         fs::remove(out / "t.txt");
         fs::create_symlink("../outside", out / "t.txt");
       },
       "", true},
      {"nothing", [](const fs::path&) {}, ""},
  };
  // Extraction looks at the name first while files are being replaced and creates first
  // otherwise: every case runs after a fresh file and after a replaced one.
  auto lastFile = [](bool replaced) {
    TTempDir dir;
    TZipLayout layout;
    layout.Entries.push_back({.Name = "r.txt", .Data = "1"});
    if (replaced) layout.Entries.push_back({.Name = "r.txt", .Data = "2"});
    WriteFile(dir / "r.zip", BuildZip(layout));
    TRun().Extract(dir / "r.zip", dir.Path().string());
  };
  for (bool afterReplacing : {false, true})
  for (const Case& c : cases) {
    lastFile(afterReplacing);
    TTempDir dir;
    fs::path out = dir.Path() / "out";
    fs::create_directory(out);
    WriteText(dir / "outside", "precious");
    TZipLayout layout;
    layout.Entries.push_back({.Name = "t.txt", .Data = "new"});
    WriteFile(dir / "a.zip", BuildZip(layout));
    TRun run;
    if (c.PlantOnOverwrite) {
      WriteText((out / "t.txt").string(), "old");
      run.OnOverwrite = [&](std::string&, bool&) { c.Plant(out); };
    } else {
      c.Plant(out);
    }
    run.Extract(dir / "a.zip", out.string());
    EXPECT_EQ(ReadText(dir / "outside"), "precious") << c.What;
    if (c.Failure.empty()) {
      EXPECT_TRUE(run.Failures.empty()) << c.What;
      EXPECT_FALSE(fs::is_symlink(out / "t.txt")) << c.What;
      EXPECT_EQ(ReadText((out / "t.txt").string()), "new") << c.What;
    } else {
      ASSERT_EQ(run.Failures.size(), 1u) << c.What;
      EXPECT_EQ(run.Failures[0].substr(0, c.Failure.size()), c.Failure) << c.What;
    }
    EXPECT_EQ(Listing(out), std::vector<std::string>{"t.txt"}) << c.What << afterReplacing;
  }
}

TEST(OutputPath, TheArchiveBeingReadIsNeverReplaced) {
  // main.zip holding a main.zip, extracted into the folder that holds it, by its own name
  // and through a second (hard) link.
  for (const char* name : {"main.zip", "alias.zip"}) {
    TTempDir dir;
    TZipLayout layout;
    layout.Entries.push_back({.Name = name, .Data = "inner"});
    layout.Entries.push_back({.Name = "next.txt", .Data = "next"});
    const std::vector<std::uint8_t> bytes = BuildZip(layout);
    WriteFile(dir / "main.zip", bytes);
    fs::create_hard_link(dir / "main.zip", dir / "alias.zip");
    TRun run;
    run.Extract(dir / "main.zip", dir.Path().string());
    EXPECT_EQ(run.Failures, std::vector<std::string>{std::string(name) + ": Cannot extract file - unsafe file name (30)"});
    EXPECT_EQ(ReadFile(dir / "main.zip"), bytes);
    EXPECT_EQ(ReadText(dir / "next.txt"), "next");
  }
}
