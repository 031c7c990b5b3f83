// Linux only: the holes are measured by the blocks stat reports.
// Sparse files in tar archives: what GNU tar and bsdtar write in every sparse format
// (old GNU 'S' with extension blocks, pax 0.0, 0.1 and 1.0, plain and compressed) lists
// with the real sizes and extracts byte for byte as GNU tar extracts it, with holes where
// the file system keeps them; hand-built maps that lie fail their entry alone, in the test
// as in the extraction.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <map>
#include <random>

#include "core/memory_stream.h"
#include "test_support.h"
#include "unzip/unzipper.h"

using namespace tarvo;
using namespace tarvo::unzip;
using namespace tarvo::unzip::test;

namespace {

std::uint64_t Allocated(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 ? static_cast<std::uint64_t>(st.st_blocks) * 512 : 0;
}

// Writes pieces {offset, bytes} into a file of the given size, leaving the rest as holes.
void MakeSparse(const std::string& path, std::uint64_t size, const std::vector<std::pair<std::uint64_t, std::string>>& pieces) {
  FILE* f = std::fopen(path.c_str(), "wb");
  ASSERT_NE(f, nullptr);
  for (const auto& [offset, bytes] : pieces) {
    std::fseek(f, static_cast<long>(offset), SEEK_SET);
    std::fwrite(bytes.data(), 1, bytes.size(), f);
  }
  std::fclose(f);
  fs::resize_file(path, size);
}

// The tree every maker packs: a file ending in a hole, one with data at both ends and more
// map entries than an old GNU header holds (extension blocks), one that is all hole, one
// in a subfolder (GNU tar's "GNUSparseFile.N" folder goes between), and a plain file.
class SparseMakers : public ::testing::TestWithParam<std::pair<const char*, const char*>> {
protected:
  static void SetUpTestSuite() {
    Source = new TTempDir;
    const fs::path s = Source->Path() / "sparse";
    fs::create_directories(s / "d");
    std::mt19937 random(11);
    auto noise = [&](std::size_t n) {
      std::string t(n, '\0');
      for (char& c : t) c = static_cast<char>(random());
      return t;
    };
    MakeSparse((s / "tail_hole.bin").string(), 1u << 20, {{64 << 10, std::string(4096, 'a')}, {256 << 10, noise(8192)}});
    std::vector<std::pair<std::uint64_t, std::string>> many;
    for (int i = 0; i < 40; ++i) many.push_back({static_cast<std::uint64_t>(i) * (16 << 10), noise(4096)});
    MakeSparse((s / "many.bin").string(), 40 * (16 << 10) - 12288, many);
    MakeSparse((s / "all_hole.bin").string(), 3u << 20, {});
    MakeSparse((s / "d" / "inner.bin").string(), 200000, {{0, noise(5000)}, {128 << 10, "end"}});
    WriteText((Source->Path() / "plain.txt").string(), "not sparse\n");
  }
  static void TearDownTestSuite() { delete Source; }
  static TTempDir* Source;
};
TTempDir* SparseMakers::Source = nullptr;

TEST_P(SparseMakers, ExtractLikeGnuTarWithHoles) {
  auto [command, name] = GetParam();
  const std::string tool = std::string(command).substr(0, std::string(command).find(' '));
  if (!HaveTool(tool) || !HaveTool("tar")) GTEST_SKIP() << tool << " is not installed";
  if (Allocated((Source->Path() / "sparse/all_hole.bin").string()) > 0)
    GTEST_SKIP() << "the temporary folder's file system keeps no holes: nothing would be stored sparse";
  TTempDir out;
  const std::string archive = out / name;
  ASSERT_EQ(Shell("cd " + Quote(Source->Path().string()) + " && A=" + Quote(archive) + " && " + command), 0);
  fs::create_directories(out.Path() / "gnu");
  fs::create_directories(out.Path() / "ours");
  ASSERT_EQ(Shell("tar -C " + Quote(out / "gnu") + " -xf " + Quote(archive)), 0);

  TArchiveRun run = RunArchive(archive, out / "ours", true, true);
  ASSERT_EQ(run.OpenError, "");
  EXPECT_TRUE(run.Failures.empty()) << run.Failures[0];
  const auto expected = FilesBelow(out.Path() / "gnu");
  EXPECT_EQ(FilesBelow(out.Path() / "ours"), expected);
  for (const auto& [file, content] : expected) EXPECT_EQ(run.Sizes[file], content.size()) << file;
  // The holes stay holes: the file takes about what the archive stores of it.
  EXPECT_LT(Allocated(out / "ours/sparse/all_hole.bin"), 64u << 10);
  EXPECT_LT(Allocated(out / "ours/sparse/tail_hole.bin"), 256u << 10);

  // A stream gets the holes as zeros.
  TVmUnZipper unzipper;
  unzipper.SetBaseDirectory(out / "ours");
  unzipper.OpenArchive(archive);
  core::TMemoryStream stream;
  unzipper.ExtractToStream("sparse/d/inner.bin", &stream);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(stream.Memory()), static_cast<std::size_t>(stream.Size())),
            expected.at("sparse/d/inner.bin"));
}

INSTANTIATE_TEST_SUITE_P(
    Tools, SparseMakers,
    ::testing::Values(
        std::make_pair("tar --sparse --format=gnu -cf \"$A\" sparse plain.txt", "old_gnu_S.tar"),
        std::make_pair("tar --sparse --format=pax --sparse-version=0.0 -cf \"$A\" sparse plain.txt", "pax_0_0.tar"),
        std::make_pair("tar --sparse --format=pax --sparse-version=0.1 -cf \"$A\" sparse plain.txt", "pax_0_1.tar"),
        std::make_pair("tar --sparse --format=pax --sparse-version=1.0 -cf \"$A\" sparse plain.txt", "pax_1_0.tar"),
        std::make_pair("tar --sparse --format=pax --sparse-version=1.0 -czf \"$A\" sparse plain.txt", "pax_1_0.tgz"),
        std::make_pair("tar --sparse --format=gnu -cjf \"$A\" sparse plain.txt", "old_gnu_S.tbz"),
        std::make_pair("bsdtar -cf \"$A\" sparse plain.txt", "bsdtar.tar")));

// Hand-built sparse entries whose maps lie, each between two good files: the good ones
// extract, the liar fails alone with its message, in the test pass as in the extraction,
// and leaves no file.
struct TLyingMap {
  const char* Case;
  std::string Entry;  // headers and data of the sparse entry, named "liar"
  const char* Message;
};

const char* const kBadMap = "liar: Cannot extract file - damaged sparse file map";
const char* const kTooLarge = "liar: Cannot extract file - sparse file larger than its stored data allows";

std::string PaxSparse(const std::string& records, const std::string& data, const std::string& name = "liar") {
  return TarHeader("PaxHeaders/liar", 'x', Octal(records.size())) + Data(records) +
         TarHeader(name, '0', Octal(data.size())) + Data(data);
}
// Format 0.1: the map in one record.
std::string Map01(const std::string& map, std::uint64_t realSize, std::size_t stored,
                  const std::string& name = "liar") {
  return PaxSparse(PaxRecord("GNU.sparse.size", std::to_string(realSize)) + PaxRecord("GNU.sparse.map", map),
                   std::string(stored, 'x'), name);
}
// Format 1.0: the map in front of the data.
std::string Map10(const std::string& mapText, std::uint64_t realSize, std::size_t stored) {
  return PaxSparse(PaxRecord("GNU.sparse.major", "1") + PaxRecord("GNU.sparse.minor", "0") +
                       PaxRecord("GNU.sparse.realsize", std::to_string(realSize)),
                   Data(mapText) + std::string(stored, 'x'));
}
// Old GNU: the first map entries in the header.
std::string OldGnu(const std::vector<std::pair<std::uint64_t, std::uint64_t>>& map, std::uint64_t realSize,
                   std::size_t stored) {
  std::vector<std::pair<std::size_t, std::string>> fields{{483, Octal(realSize)}};
  for (std::size_t i = 0; i < map.size(); ++i) {
    fields.push_back({386 + 24 * i, Octal(map[i].first)});
    fields.push_back({398 + 24 * i, Octal(map[i].second)});
  }
  return TarHeader("liar", 'S', Octal(stored), "", 0, fields) + Data(std::string(stored, 'x'));
}

class LyingMaps : public ::testing::TestWithParam<TLyingMap> {};

TEST_P(LyingMaps, FailTheirEntryAlone) {
  TTempDir dir;
  fs::create_directory(dir.Path() / "base");
  WriteText(dir / "l.tar", TarHeader("first.txt", '0', Octal(3)) + Data("one") + GetParam().Entry +
                               TarHeader("last.txt", '0', Octal(3)) + Data("two") + std::string(1024, '\0'));
  TArchiveRun run = RunArchive(dir / "l.tar", dir / "base", true, true);
  ASSERT_EQ(run.OpenError, "");
  EXPECT_EQ(run.Failures, (std::vector<std::string>{GetParam().Message, GetParam().Message}));
  EXPECT_EQ(FilesBelow(dir.Path() / "base"), (std::map<std::string, std::string>{{"first.txt", "one"}, {"last.txt", "two"}}));
}

INSTANTIATE_TEST_SUITE_P(
    Maps, LyingMaps,
    ::testing::Values(
        TLyingMap{"overlapping", Map01("0,512,256,512", 4096, 1024), kBadMap},
        TLyingMap{"backwards", Map01("2048,512,0,512", 4096, 1024), kBadMap},
        TLyingMap{"beyond_real_size", Map01("0,512,3800,512", 4096, 1024), kBadMap},
        TLyingMap{"more_data_than_map", Map01("0,512", 4096, 1024), kBadMap},
        TLyingMap{"less_data_than_map", Map01("0,512,1024,512", 4096, 512), kBadMap},
        TLyingMap{"odd_map", Map01("0,512,1024", 4096, 512), kBadMap},
        TLyingMap{"offset_overflows", Map01("18446744073709551615,512", 4096, 512), kBadMap},
        TLyingMap{"no_real_size", PaxSparse(PaxRecord("GNU.sparse.map", "0,512"), std::string(512, 'x')), kBadMap},
        TLyingMap{"size_not_a_number", PaxSparse(PaxRecord("GNU.sparse.size", "4k") + PaxRecord("GNU.sparse.map", "0,512"),
                                                 std::string(512, 'x')),
                  kBadMap},
        TLyingMap{"v00_size_without_offset",
                  PaxSparse(PaxRecord("GNU.sparse.size", "4096") + PaxRecord("GNU.sparse.numbytes", "512"),
                            std::string(512, 'x')),
                  kBadMap},
        TLyingMap{"v00_block_count_lies",
                  PaxSparse(PaxRecord("GNU.sparse.size", "4096") + PaxRecord("GNU.sparse.numblocks", "2") +
                                PaxRecord("GNU.sparse.offset", "0") + PaxRecord("GNU.sparse.numbytes", "512"),
                            std::string(512, 'x')),
                  kBadMap},
        TLyingMap{"v10_not_a_number", Map10("1\n0\n5x2\n", 4096, 512), kBadMap},
        TLyingMap{"v10_count_beyond_limit", Map10("99999999\n0\n512\n", 4096, 512), kBadMap},
        TLyingMap{"v10_map_longer_than_data", PaxSparse(PaxRecord("GNU.sparse.major", "1") +
                                                            PaxRecord("GNU.sparse.minor", "0") +
                                                            PaxRecord("GNU.sparse.realsize", "4096"),
                                                        "3\n0\n1\n"),
                  kBadMap},
        TLyingMap{"v10_backwards", Map10("2\n1024\n512\n0\n512\n", 4096, 1024), kBadMap},
        TLyingMap{"version_unknown", PaxSparse(PaxRecord("GNU.sparse.major", "2") + PaxRecord("GNU.sparse.minor", "0") +
                                                   PaxRecord("GNU.sparse.realsize", "4096"),
                                               std::string(512, 'x')),
                  kBadMap},
        TLyingMap{"old_gnu_beyond_real_size", OldGnu({{0, 512}, {4000, 512}}, 4096, 1024), kBadMap},
        TLyingMap{"old_gnu_overlapping", OldGnu({{0, 512}, {100, 512}}, 4096, 1024), kBadMap},
        TLyingMap{"terabyte_of_holes", Map01("0,512", 1ull << 40, 512), kTooLarge},
        TLyingMap{"old_gnu_8_gib_of_holes", OldGnu({{0, 512}, {1ull << 33, 0}}, 1ull << 33, 512), kTooLarge},
        TLyingMap{"v10_terabyte", Map10("1\n0\n512\n", 1ull << 40, 512), kTooLarge}),
    [](const auto& info) { return std::string(info.param.Case); });

// An archive that ends inside a 1.0 map: the entry is listed and fails as a damaged map.
TEST(LyingMaps, ArchiveEndingInsideTheMap) {
  TTempDir dir;
  fs::create_directory(dir.Path() / "base");
  const std::string records = PaxRecord("GNU.sparse.major", "1") + PaxRecord("GNU.sparse.minor", "0") +
                              PaxRecord("GNU.sparse.realsize", "4096");
  WriteText(dir / "cut.tar", TarHeader("first.txt", '0', Octal(3)) + Data("one") +
                                 TarHeader("PaxHeaders/liar", 'x', Octal(records.size())) + Data(records) +
                                 TarHeader("liar", '0', Octal(1024)) + "2\n0\n51");
  TArchiveRun run = RunArchive(dir / "cut.tar", dir / "base", true, true);
  EXPECT_EQ(run.Sizes, (std::map<std::string, std::uint64_t>{{"first.txt", 3}, {"liar", 4096}}));
  EXPECT_EQ(run.Failures, (std::vector<std::string>{kBadMap, kBadMap}));
  EXPECT_EQ(FilesBelow(dir.Path() / "base"), (std::map<std::string, std::string>{{"first.txt", "one"}}));
}

// The same builders make maps that hold: the real name (GNU.sparse.name, or the name
// without GNU tar's "GNUSparseFile.N" folder), the real size, the data in its places.
struct TGoodMap {
  const char* Case;
  std::string Entry;
  std::string Name;
  std::string Content;
};
class GoodMaps : public ::testing::TestWithParam<TGoodMap> {};

TEST_P(GoodMaps, RestoreTheRealFile) {
  TTempDir dir;
  fs::create_directory(dir.Path() / "base");
  WriteText(dir / "g.tar", GetParam().Entry + std::string(1024, '\0'));
  TArchiveRun run = RunArchive(dir / "g.tar", dir / "base", true, true);
  ASSERT_EQ(run.OpenError, "");
  EXPECT_TRUE(run.Failures.empty()) << run.Failures[0];
  EXPECT_EQ(FilesBelow(dir.Path() / "base"), (std::map<std::string, std::string>{{GetParam().Name, GetParam().Content}}));
}

const std::string kHole(1000, '\0');
INSTANTIATE_TEST_SUITE_P(
    Maps, GoodMaps,
    ::testing::Values(
        TGoodMap{"v01_folder_dropped", Map01("1000,512", 1512, 512, "./GNUSparseFile.7/real"), "real",
                 kHole + std::string(512, 'x')},
        TGoodMap{"v01_hole_data_hole", Map01("1000,512", 1600, 512), "liar", kHole + std::string(512, 'x') + std::string(88, '\0')},
        TGoodMap{"v10_named", PaxSparse(PaxRecord("GNU.sparse.major", "1") + PaxRecord("GNU.sparse.minor", "0") +
                                            PaxRecord("GNU.sparse.name", "real.bin") +
                                            PaxRecord("GNU.sparse.realsize", "1512"),
                                        Data("1\n1000\n512\n") + std::string(512, 'x'), "d/GNUSparseFile.0/real.bin"),
                 "real.bin", kHole + std::string(512, 'x')},
        TGoodMap{"v10_folder_dropped", PaxSparse(PaxRecord("GNU.sparse.major", "1") + PaxRecord("GNU.sparse.minor", "0") +
                                                     PaxRecord("GNU.sparse.realsize", "1512"),
                                                 Data("1\n1000\n512\n") + std::string(512, 'x'), "d/GNUSparseFile.0/f"),
                 "d/f", kHole + std::string(512, 'x')},
        TGoodMap{"old_gnu_empty_chunks", OldGnu({{0, 0}, {1000, 512}, {1600, 0}}, 1600, 512), "liar",
                 kHole + std::string(512, 'x') + std::string(88, '\0')}),
    [](const auto& info) { return std::string(info.param.Case); });

}  // namespace
