// The private-profile writer: byte-exact results on existing content, and the file level
// (new file, replacement through a temporary file, refusals).
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "../common/read_file.h"
#include "../common/temp_dir.h"
#include "platform/private_profile.h"

using namespace tarvo::platform;

namespace {

struct TProfileCase {
  const char* Name;
  const char* Before;
  const char* Key;
  const char* After;
};

// Every case sets <Key>=NLB in section SETUP.
const TProfileCase kCases[] = {
    {"EmptyContent", "", "TAAL", "[SETUP]\r\nTAAL=NLB\r\n"},
    {"ReplacesInPlaceKeepingSpellingAndOthers", "[setup]\r\ntaal=FRB\r\nX=1\r\n", "TAAL",
     "[setup]\r\ntaal=NLB\r\nX=1\r\n"},
    {"KeepsLineFeedOnlyLines", "[SETUP]\nTAAL=FRB\nX=1\n", "TAAL", "[SETUP]\nTAAL=NLB\nX=1\n"},
    {"ValueWithEqualsSign", "[SETUP]\r\nTAAL=a=b\r\n", "TAAL", "[SETUP]\r\nTAAL=NLB\r\n"},
    {"BlanksAroundNames", "[ Setup ]\r\n  Taal = FRB\r\n", "TAAL", "[ Setup ]\r\n  Taal =NLB\r\n"},
    {"MissingKeyAfterLastLineOfSection", "[SETUP]\r\nA=1\r\n\r\n[OTHER]\r\nB=2\r\n", "TAAL",
     "[SETUP]\r\nA=1\r\nTAAL=NLB\r\n\r\n[OTHER]\r\nB=2\r\n"},
    {"MissingKeyInLastSectionWithoutLineEnd", "[SETUP]\r\nA=1", "TAAL", "[SETUP]\r\nA=1\r\nTAAL=NLB\r\n"},
    {"HeaderOnly", "[SETUP]", "TAAL", "[SETUP]\r\nTAAL=NLB\r\n"},
    {"MissingSectionAtEndAfterUnterminatedLine", "[OTHER]\r\nB=2", "TAAL", "[OTHER]\r\nB=2\r\n[SETUP]\r\nTAAL=NLB\r\n"},
    {"SameKeyInOtherSectionUntouched", "[OTHER]\r\nTAAL=X\r\n[SETUP]\r\n", "TAAL",
     "[OTHER]\r\nTAAL=X\r\n[SETUP]\r\nTAAL=NLB\r\n"},
    {"CommentedKeyIsNoKey", "[SETUP]\r\n;TAAL=X\r\n", "TAAL", "[SETUP]\r\n;TAAL=X\r\nTAAL=NLB\r\n"},
    {"LongerKeyIsNoMatch", "[SETUP]\r\nTAALX=1\r\n", "TAAL", "[SETUP]\r\nTAALX=1\r\nTAAL=NLB\r\n"},
    {"FirstOfDuplicateSections", "[SETUP]\r\nA=1\r\n[SETUP]\r\nTAAL=X\r\n", "A", "[SETUP]\r\nA=NLB\r\n[SETUP]\r\nTAAL=X\r\n"},
    {"KeysBeforeAnySectionKept", "TAAL=X\r\n", "TAAL", "TAAL=X\r\n[SETUP]\r\nTAAL=NLB\r\n"},
};

class ProfileEdit : public ::testing::TestWithParam<TProfileCase> {};

TEST_P(ProfileEdit, ByteForByte) {
  const TProfileCase& c = GetParam();
  std::string after = SetProfileString(c.Before, "SETUP", c.Key, "NLB");
  EXPECT_EQ(after, c.After);
  EXPECT_EQ(GetProfileString(after, "setup", c.Key), "NLB");
  // Setting the same value again changes nothing.
  EXPECT_EQ(SetProfileString(after, "SETUP", c.Key, "NLB"), after);
}

INSTANTIATE_TEST_SUITE_P(Cases, ProfileEdit, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.Name); });

std::string Slurp(const std::filesystem::path& p) { return tarvo::testing::ReadFile(p); }

class ProfileFile : public ::testing::Test {
protected:
  tarvo::testing::TTempDir FTemp;
  const std::filesystem::path& FDir = FTemp.Path();
};

TEST_F(ProfileFile, NewFileGetsTheThreeLinesAndNoTemporaryStays) {
  std::string file = (FDir / "SETUP.INI").string();
  ASSERT_TRUE(WritePrivateProfileString("SETUP", "TAAL", "NLB", file));
  ASSERT_TRUE(WritePrivateProfileString("SETUP", "DATA_DIRECTORY", "C:\\TARVO\\DATA\\", file));
  EXPECT_EQ(Slurp(file), "[SETUP]\r\nTAAL=NLB\r\nDATA_DIRECTORY=C:\\TARVO\\DATA\\\r\n");
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(FDir), std::filesystem::directory_iterator()), 1);
}

TEST_F(ProfileFile, RefusesWhatItCannotRewrite) {
  // A folder in place of the file, a file in a folder that does not exist, an oversized file.
  std::filesystem::create_directories(FDir / "dir.ini");
  EXPECT_FALSE(WritePrivateProfileString("SETUP", "TAAL", "NLB", (FDir / "dir.ini").string()));
  EXPECT_FALSE(WritePrivateProfileString("SETUP", "TAAL", "NLB", (FDir / "none" / "SETUP.INI").string()));
  std::filesystem::path big = FDir / "big.ini";
  { std::ofstream(big) << "x"; }
  std::filesystem::resize_file(big, kMaxProfileFileSize + 1);
  EXPECT_FALSE(WritePrivateProfileString("SETUP", "TAAL", "NLB", big.string()));
  EXPECT_EQ(std::filesystem::file_size(big), kMaxProfileFileSize + 1);
}

}  // namespace
