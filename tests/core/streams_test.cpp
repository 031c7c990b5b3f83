#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "../common/temp_dir.h"
#include "core/crc32.h"
#include "core/exception.h"
#include "core/file_stream.h"
#include "core/format.h"
#include "core/memory_stream.h"
#include "core/resource_string.h"
#include "core/utf8.h"

namespace fs = std::filesystem;
using namespace tarvo::core;

namespace {

std::uint32_t BitwiseCRC(const std::vector<std::uint8_t>& data) {
  std::uint32_t c = 0xFFFFFFFFu;
  for (auto b : data) {
    c ^= b;
    for (int k = 0; k < 8; ++k) c = (c & 1) ? (c >> 1) ^ 0xEDB88320u : c >> 1;
  }
  return ~c;
}

}  // namespace

TEST(Crc32, MatchesTheZipCheckValueAndABitwiseReference) {
  EXPECT_EQ(ComputeCRC32(0, "123456789", 9), 0xCBF43926u);
  EXPECT_EQ(ComputeCRC32(0, "", 0), 0u);
  std::vector<std::uint8_t> data(4099);
  std::uint32_t seed = 12345;
  for (auto& b : data) b = static_cast<std::uint8_t>((seed = seed * 1103515245 + 12345) >> 16);
  // Every length and misalignment, so the 8-byte loop and the tail both get checked.
  for (std::size_t off = 0; off < 9; ++off)
    for (std::size_t len : {0u, 1u, 7u, 8u, 9u, 63u, 1000u, 4090u}) {
      std::vector<std::uint8_t> part(data.begin() + off, data.begin() + off + len);
      ASSERT_EQ(ComputeCRC32(0, part.data(), part.size()), BitwiseCRC(part)) << off << "/" << len;
    }
}

TEST(Crc32, ContinuesARunningValueAcrossSplits) {
  std::string text = "The quick brown fox jumps over the lazy dog";
  std::uint32_t whole = ComputeCRC32(0, text.data(), text.size());
  EXPECT_EQ(whole, 0x414FA339u);
  for (std::size_t cut = 0; cut <= text.size(); ++cut) {
    std::uint32_t a = ComputeCRC32(0, text.data(), cut);
    EXPECT_EQ(ComputeCRC32(a, text.data() + cut, text.size() - cut), whole);
    std::uint32_t r = UpdateCRC32(0xFFFFFFFFu, text.data(), cut);
    EXPECT_EQ(~UpdateCRC32(r, text.data() + cut, text.size() - cut), whole);
  }
}

TEST(MemoryStream, ReadsWritesSeeksAndGrowsWithZeros) {
  TMemoryStream m;
  m.WriteBuffer("abc", 3);
  m.Seek(2, TSeekOrigin::soCurrent);
  m.WriteBuffer("Z", 1);
  EXPECT_EQ(m.Size(), 6);
  EXPECT_EQ(m.DataString(), std::string("abc\0\0Z", 6));
  m.SetPosition(1);
  char buf[8] = {};
  EXPECT_EQ(m.Read(buf, 8), 5u);
  EXPECT_EQ(m.Read(buf, 8), 0u);
  // It lends its bytes from the position on, and nothing once the position is at or past
  // the end.
  const std::uint8_t* lent = nullptr;
  m.SetPosition(4);
  EXPECT_EQ(m.Lend(lent), 2u);
  EXPECT_EQ(lent, m.Memory() + 4);
  m.SetPosition(9);
  EXPECT_EQ(m.Lend(lent), 0u);
  m.SetSize(2);
  EXPECT_EQ(m.Position(), 2);
  EXPECT_EQ(m.Lend(lent), 0u);
  EXPECT_THROW(m.Seek(-3, TSeekOrigin::soCurrent), EStreamError);
}

TEST(Streams, ShortReadsAndWritesRaiseTheStreamErrors) {
  TMemoryStream m(std::vector<std::uint8_t>{1, 2, 3});
  char buf[4];
  try {
    m.ReadBuffer(buf, 4);
    FAIL();
  } catch (const EReadError& e) {
    EXPECT_EQ(e.Message(), "Stream read error");
  }
  if (fs::exists("/dev/full")) {
    TFileStream full("/dev/full", fmOpenWrite);
    try {
      full.WriteBuffer("x", 1);
      FAIL();
    } catch (const EWriteError& e) {
      EXPECT_EQ(e.Message(), "Stream write error");
    }
  }
}

TEST(FileStream, CreateReplacesOpenReadsAndErrorsNameTheFile) {
  const tarvo::testing::TTempDir temp;
  const fs::path& dir = temp.Path();
  std::string name = (dir / "f.bin").string();
  {
    TFileStream f(name, fmCreate);
    f.WriteBuffer("hello world", 11);
  }
  {
    TFileStream f(name, fmCreate);  // replaces: the old content is gone
    f.WriteBuffer("hi", 2);
    EXPECT_EQ(f.Size(), 2);
    f.SetSize(1);
    EXPECT_EQ(f.Position(), 1);
  }
  {
    TFileStream f(name, fmOpenRead | fmShareDenyNone);
    TMemoryStream m;
    m.CopyFrom(f, 0);
    EXPECT_EQ(m.DataString(), "h");
  }
  try {
    TFileStream f((dir / "missing").string(), fmOpenRead);
    FAIL();
  } catch (const EFOpenError& e) {
    EXPECT_NE(e.Message().find("Cannot open file \""), std::string::npos);
    EXPECT_NE(e.Message().find("missing"), std::string::npos);
  }
  EXPECT_THROW(TFileStream((dir / "no" / "such" / "x").string(), fmCreate), EFCreateError);
  EXPECT_THROW(TFileStream(dir.string(), fmOpenRead), EFOpenError);
}

TEST(Format, SubstitutesOnlyWhatTheTemplateAsksFor) {
  EXPECT_EQ(Format("a %s b %d c %%", {"x", "42"}), "a x b 42 c %");
  EXPECT_EQ(Format("%s %s", {"only"}), "only %s");
  EXPECT_EQ(Format("%s", {"%s%d"}), "%s%d");  // arguments are never formats
  EXPECT_EQ(Format("trailing %", {}), "trailing %");
}

namespace {
std::string Shouting(const TResourceString& rs) { return std::string("!") + rs.Text; }
}  // namespace

TEST(ResourceStrings, EveryLoadGoesThroughTheInstalledLoader) {
  static constexpr TResourceString SProbe{90, "probe"};
  EXPECT_EQ(LoadResString(SProbe), "probe");
  TResStringLoader old = SetResStringLoader(&Shouting);
  EXPECT_EQ(LoadResString(SProbe), "!probe");
  EXPECT_EQ(EReadError().Message(), "!Stream read error");
  SetResStringLoader(old);
  EXPECT_EQ(LoadResString(SProbe), "probe");
}

TEST(Utf8, MalformedInputBecomesOneReplacementPerByteAndAlwaysProgresses) {
  auto decode = [](std::string_view s) {
    std::u32string out;
    for (std::size_t pos = 0; pos < s.size();) out += NextCodePoint(s, pos);
    return out;
  };
  EXPECT_EQ(decode("a\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80"), std::u32string(U"a\u00E9\u20AC\U0001F600"));
  EXPECT_EQ(decode("\xC0\x80"), std::u32string(U"\uFFFD\uFFFD"));          // overlong NUL
  EXPECT_EQ(decode("\xED\xA0\x80"), std::u32string(U"\uFFFD\uFFFD\uFFFD"));  // surrogate
  EXPECT_EQ(decode("\xF4\x90\x80\x80").size(), 4u);                        // beyond U+10FFFF
  EXPECT_EQ(decode("\xE2\x82"), std::u32string(U"\uFFFD\uFFFD"));          // cut short
  EXPECT_EQ(decode("\xE2(x"), std::u32string(U"\uFFFD(x"));
  std::string out;
  for (char32_t cp : {U'\u00E9', char32_t(0xD800), char32_t(0x110000), U'\U0001F600'}) AppendUTF8(out, cp);
  EXPECT_EQ(out, "\xC3\xA9\xEF\xBF\xBD\xEF\xBF\xBD\xF0\x9F\x98\x80");
}
