// The shortcut writer: what it writes is read back the same by our reader and by lnkinfo
// (liblnk), and damaged files never crash the reader or change the properties.
#include <gtest/gtest.h>
#include <unistd.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>

#include "../common/temp_dir.h"
#include "platform/shell_link.h"

using namespace tarvo::platform;

namespace {

struct TLinkCase {
  const char* Name;
  const char* ProgramFile;  // below the test folder
  const char* Description;
  const char* Arguments;
  const char* IconFile;
  std::uint32_t IconIndex;
  TShortCut HotKey;
  TShellLinkWindowState State;
};

const TLinkCase kLinks[] = {
    {"Wizard", "TARVO/TARVO.EXE", "TArvo", "", "", 0, 0, TShellLinkWindowState::wsNormal},
    {"EverythingSet", "TARVO/TARVO.EXE", "T.Arvo kassa", "/winkel 2 --debug", "TARVO/TARVO.ICO", 3,
     scCtrl | scAlt | 'T', TShellLinkWindowState::wsMaximized},
    {"NonASCIIPathAndTexts", "Programmes/Société/TARVO.EXE", "Caisse \xe2\x82\xac", "--mand \xf0\x9f\x9b\x92", "", 0,
     scShift | 0x70, TShellLinkWindowState::wsMinimized},
};

class ShellLinkRoundTrip : public ::testing::TestWithParam<TLinkCase> {
protected:
  tarvo::testing::TTempDir FTemp;
  const std::filesystem::path& FDir = FTemp.Path();
};

std::string Output(const std::string& command) {
  std::string out;
  std::unique_ptr<FILE, int (*)(FILE*)> pipe(::popen(command.c_str(), "r"), ::pclose);
  std::array<char, 4096> buf;
  while (pipe && std::fgets(buf.data(), buf.size(), pipe.get())) out += buf.data();
  return out;
}

TEST_P(ShellLinkRoundTrip, OursAndLnkinfoReadWhatWasWritten) {
  const TLinkCase& c = GetParam();
  std::filesystem::path program = FDir / c.ProgramFile;
  std::filesystem::create_directories(program.parent_path());
  std::ofstream(program) << "MZ";

  TShellLink link;
  link.SetLinkFile((FDir / "T.Arvo.lnk").string());
  link.SetProgramFile(program.string());
  link.SetDescription(c.Description);
  link.SetArguments(c.Arguments);
  if (*c.IconFile) link.SetIconFile((FDir / c.IconFile).string());
  link.SetIconIndex(c.IconIndex);
  link.SetHotKey(c.HotKey);
  link.SetWindowState(c.State);
  // A longer shortcut first: the second write must replace it whole.
  TShellLink longer;
  longer.SetLinkFile(link.LinkFile());
  longer.SetProgramFile(program.string() + std::string(300, 'x'));
  longer.SetDescription(std::string(500, 'd'));
  ASSERT_TRUE(longer.Write());
  ASSERT_TRUE(link.Write());
  const std::string folder = program.parent_path().string() + "/";
  EXPECT_EQ(link.WorkingDirectory(), folder);

  TShellLink back;
  back.SetLinkFile(link.LinkFile());
  ASSERT_TRUE(back.Read());
  EXPECT_EQ(back.ProgramFile(), program.string());
  EXPECT_EQ(back.Description(), c.Description);
  EXPECT_EQ(back.Arguments(), c.Arguments);
  EXPECT_EQ(back.IconFile(), link.IconFile());
  EXPECT_EQ(back.IconIndex(), c.IconIndex);
  EXPECT_EQ(back.HotKey(), c.HotKey);
  EXPECT_EQ(back.WindowState(), c.State);
  EXPECT_EQ(back.WorkingDirectory(), folder);

  if (::access("/usr/bin/lnkinfo", X_OK) != 0) GTEST_SKIP() << "lnkinfo (liblnk-utils) is not installed";
  std::string info = Output("/usr/bin/lnkinfo '" + link.LinkFile() + "' 2>&1");
  EXPECT_NE(info.find("Local path\t\t\t: " + program.string() + "\n"), std::string::npos) << info;
  EXPECT_NE(info.find("Working directory\t\t: " + folder + "\n"), std::string::npos) << info;
  EXPECT_NE(info.find("Description\t\t\t: " + std::string(c.Description) + "\n"), std::string::npos) << info;
  EXPECT_NE(info.find("Drive type\t\t\t: Fixed"), std::string::npos) << info;
  if (*c.Arguments) {
    EXPECT_NE(info.find(std::string(c.Arguments).substr(0, 6)), std::string::npos) << info;  // lnkinfo garbles surrogate pairs
  }
  if (*c.IconFile) {
    EXPECT_NE(info.find(link.IconFile()), std::string::npos) << info;
  }
}

INSTANTIATE_TEST_SUITE_P(Cases, ShellLinkRoundTrip, ::testing::ValuesIn(kLinks),
                         [](const auto& info) { return std::string(info.param.Name); });

// Wine's shell counts and stores a terminator with each text; the texts read back without it.
TEST(ShellLinkRead, ATerminatorCountedInTheTextIsNotPartOfIt) {
  TShellLink wine;
  wine.SetProgramFile("C:\\TARVO\\TARVO.EXE");
  wine.SetDescription(std::string("TArvo\0", 6));
  wine.SetWorkingDirectory(std::string("C:\\TARVO\\\0", 10));
  const std::vector<std::uint8_t> bytes = wine.Serialize();
  TShellLink read;
  ASSERT_TRUE(read.Parse(bytes.data(), bytes.size()));
  EXPECT_EQ(read.Description(), "TArvo");
  EXPECT_EQ(read.WorkingDirectory(), "C:\\TARVO\\");
}

TEST(ShellLinkHostile, DamagedFilesLeaveThePropertiesAlone) {
  TShellLink good;
  good.SetProgramFile("/nowhere/TARVO.EXE");
  good.SetDescription("TArvo");
  good.SetArguments("-x");
  good.SetWorkingDirectory("/nowhere/");
  std::vector<std::uint8_t> bytes = good.Serialize();

  auto unchanged = [](const TShellLink& l) { return l.Description() == "keep" && l.ProgramFile() == "keep"; };
  auto fresh = [] {
    auto l = std::make_unique<TShellLink>();
    l->SetDescription("keep");
    l->SetProgramFile("keep");
    return l;
  };
  // Every truncation before the string data ends.
  for (std::size_t n = 0; n + 4 < bytes.size(); ++n) {
    auto l = fresh();
    EXPECT_FALSE(l->Parse(bytes.data(), n)) << n;
    EXPECT_TRUE(unchanged(*l)) << n;
  }
  // Offsets and sizes that point outside the file (each a 32-bit field set to a huge value).
  const std::size_t kLinkInfo = 0x4C;
  for (std::size_t field : {kLinkInfo, kLinkInfo + 4, kLinkInfo + 0x10, kLinkInfo + 0x1C, kLinkInfo + 0x20}) {
    std::vector<std::uint8_t> bad = bytes;
    for (int i = 0; i < 4; ++i) bad[field + static_cast<std::size_t>(i)] = 0xFF;
    auto l = fresh();
    EXPECT_FALSE(l->Parse(bad.data(), bad.size())) << field;
    EXPECT_TRUE(unchanged(*l)) << field;
  }
  // A text beyond the format's 65535 characters is refused, not cut short.
  TShellLink tooLong;
  tooLong.SetLinkFile((std::filesystem::temp_directory_path() / ("tarvo-long-" + std::to_string(::getpid()) + ".lnk")).string());
  tooLong.SetDescription(std::string(70000, 'd'));
  EXPECT_FALSE(tooLong.Write());
  EXPECT_FALSE(std::filesystem::exists(tooLong.LinkFile()));
  // Not a shell link at all.
  std::vector<std::uint8_t> other = bytes;
  other[4] ^= 1;
  EXPECT_FALSE(fresh()->Parse(other.data(), other.size()));
}

}  // namespace
