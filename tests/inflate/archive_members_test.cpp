// Members of real archives: Deflate64 written by 7-Zip and other tools (public fixtures and
// archives made by 7z at test time) and Deflate members of every fixture archive, checked
// against the CRC-32 and size of their central directory.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>

#include <unistd.h>

#include "../common/read_file.h"
#include "../common/temp_dir.h"
#include "test_support.h"

namespace tarvo::unzip::test {
namespace {

namespace fs = std::filesystem;

struct Member {
  std::string Name;
  int Method = 0;
  std::uint16_t Flags = 0;
  std::uint32_t Crc = 0;
  std::uint64_t USize = 0;
  Bytes Data;
};

std::uint32_t Get32(const Bytes& b, std::size_t at) {
  return b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) | (static_cast<std::uint32_t>(b[at + 3]) << 24);
}
std::uint16_t Get16(const Bytes& b, std::size_t at) { return static_cast<std::uint16_t>(b[at] | (b[at + 1] << 8)); }

Bytes ReadFile(const fs::path& path) {
  const std::string text = tarvo::testing::ReadFile(path);
  return Bytes(text.begin(), text.end());
}

// Just enough of the central directory for single-disk archives without ZIP64 sizes.
std::vector<Member> DeflatedMembers(const Bytes& zip) {
  std::vector<Member> out;
  if (zip.size() < 22) return out;
  std::size_t eocd = zip.size() - 22;
  while (eocd > 0 && Get32(zip, eocd) != 0x06054B50) --eocd;
  if (Get32(zip, eocd) != 0x06054B50) return out;
  std::size_t pos = Get32(zip, eocd + 16);
  for (unsigned i = 0, n = Get16(zip, eocd + 10); i < n && pos + 46 <= zip.size(); ++i) {
    Member m;
    m.Flags = Get16(zip, pos + 8);
    m.Method = Get16(zip, pos + 10);
    m.Crc = Get32(zip, pos + 16);
    const std::uint32_t csize = Get32(zip, pos + 20);
    m.USize = Get32(zip, pos + 24);
    const std::size_t lho = Get32(zip, pos + 42);
    const std::size_t nameLen = Get16(zip, pos + 28);
    if (pos + 46 + nameLen <= zip.size()) m.Name.assign(zip.begin() + pos + 46, zip.begin() + pos + 46 + nameLen);
    pos += 46 + nameLen + Get16(zip, pos + 30) + Get16(zip, pos + 32);
    if ((m.Method != 8 && m.Method != 9) || (m.Flags & 1) || csize == 0xFFFFFFFF || lho + 30 > zip.size()) continue;
    const std::size_t data = lho + 30 + Get16(zip, lho + 26) + Get16(zip, lho + 28);
    if (Get32(zip, lho) != 0x04034B50 || data + csize > zip.size()) continue;
    m.Data.assign(zip.begin() + data, zip.begin() + data + csize);
    out.push_back(std::move(m));
  }
  return out;
}

InflateResult InflateMember(const Member& m) { return RunInflate(m.Data, m.Method == 9 ? 15 | dfc_Deflate64 : 15); }

fs::path Fixtures() { return fs::path(TARVO_FIXTURES_DIR) / "zip-public"; }

TEST(ArchiveMembers, Deflate64FixturesDecodeToTheirCrc) {
  if (!fs::exists(Fixtures())) GTEST_SKIP() << "no fixtures";
  const char* archives[] = {"sharpcompress/Zip.deflate64.zip", "commons-compress/lorem-ipsum-deflate64.zip",
                            "corkami/deflate64.zip", "zipdetails/7z-windows-deflate64.zip",
                            "zipdetails/pkzip-method-deflate64.zip"};
  int checked = 0;
  for (const char* name : archives) {
    const fs::path path = Fixtures() / name;
    if (!fs::exists(path)) continue;
    for (const Member& m : DeflatedMembers(ReadFile(path))) {
      SCOPED_TRACE(std::string(name) + ": " + m.Name);
      const InflateResult r = InflateMember(m);
      EXPECT_EQ(r.Checksum, m.Crc);
      EXPECT_EQ(r.Produced, static_cast<std::int64_t>(m.USize));
      checked += m.Method == 9;
    }
  }
  EXPECT_GE(checked, 5);
}

TEST(ArchiveMembers, EveryFixtureMemberDecodesOrFailsCleanly) {
  if (!fs::exists(Fixtures())) GTEST_SKIP() << "no fixtures";
  int good = 0;
  for (const auto& entry : fs::recursive_directory_iterator(Fixtures())) {
    const auto ext = entry.path().extension().string();
    if (!entry.is_regular_file() || (ext != ".zip" && ext != ".ZIP" && ext != ".zipx" && ext != ".exe")) continue;
    for (const Member& m : DeflatedMembers(ReadFile(entry.path()))) {
      try {
        good += InflateMember(m).Checksum == m.Crc;
      } catch (const EVmInternalInflateError&) {
      }
    }
  }
  EXPECT_GT(good, 30);
}

TEST(ArchiveMembers, CorruptDeflate64StreamFailsCleanly) {
  const fs::path path = Fixtures() / "zip2/raw_deflate64_index_out_of_bounds.zip";
  if (!fs::exists(path)) GTEST_SKIP() << "no fixture";
  const Bytes zip = ReadFile(path);
  ASSERT_GT(zip.size(), 30u);
  // The directory is damaged as well: decode everything after the first local header.
  const std::size_t data = 30 + Get16(zip, 26) + Get16(zip, 28);
  const Bytes raw(zip.begin() + static_cast<std::ptrdiff_t>(std::min(data, zip.size())), zip.end());
  EXPECT_NE(InflateFailure(raw, 15 | dfc_Deflate64), "");
}

// 7-Zip's Deflate64 at test time: far repeats (distances above 32 KiB) and long runs.
TEST(ArchiveMembers, SevenZipDeflate64ArchivesDecodeByteExact) {
  if (std::system("7z i >/dev/null 2>&1") != 0) GTEST_SKIP() << "7z is not installed";
  const tarvo::testing::TTempDir temp;
  const fs::path& dir = temp.Path();
  std::mt19937 rng(11);
  Bytes data;
  Bytes block(50000);
  for (auto& b : block) b = static_cast<std::uint8_t>(rng() % 40 + 'A');
  for (int i = 0; i < 4; ++i) data.insert(data.end(), block.begin(), block.end());  // distance 50,000
  data.insert(data.end(), 70000, 'z');                                               // long run
  for (int i = 0; i < 30000; ++i) data.push_back(static_cast<std::uint8_t>(rng()));
  {
    std::ofstream f(dir / "data.bin", std::ios::binary);
    f.write(reinterpret_cast<const char*>(data.data()), static_cast<std::streamsize>(data.size()));
  }
  for (const char* level : {"-mx1", "-mx5", "-mx9"}) {
    const fs::path zip = dir / (std::string("d64") + level + ".zip");
    const std::string cmd = "cd '" + dir.string() + "' && 7z a -bd -tzip -mm=Deflate64 " + level + " '" + zip.string() +
                            "' data.bin >/dev/null 2>&1";
    ASSERT_EQ(std::system(cmd.c_str()), 0);
    const auto members = DeflatedMembers(ReadFile(zip));
    ASSERT_EQ(members.size(), 1u);
    ASSERT_EQ(members[0].Method, 9);
    const InflateResult r = InflateMember(members[0]);
    EXPECT_TRUE(r.Output == data) << level;
    EXPECT_EQ(r.Checksum, members[0].Crc);
  }
}

}  // namespace
}  // namespace tarvo::unzip::test
