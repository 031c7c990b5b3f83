// What the settings record changes: part size, progress and its abort, the log file, and
// how failures of the destination travel.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>

#include <unistd.h>
#include <sstream>

#include "core/crc32.h"
#include "core/exception.h"
#include "test_support.h"

namespace tarvo::unzip::test {
namespace {

Bytes SampleData(std::size_t size) {
  std::mt19937 rng(2);
  Bytes out(size);
  for (std::size_t i = 0; i < size; ++i) out[i] = static_cast<std::uint8_t>("abcdefgh"[rng() % 8] + (i % 3000 == 0));
  return out;
}

TEST(Settings, PartSizeStopsWithExactlyThatManyBytes) {
  const Bytes data = SampleData(500000);
  const Bytes packed = ZlibDeflate(data, 6);
  for (std::int64_t part : {1, 1000, 65536, 300001}) {
    TVmDeflateHelper h;
    h.FPartSize = part;
    const InflateResult r = RunInflate(packed, 15, &h);
    EXPECT_EQ(r.Checksum, 0u);
    ASSERT_EQ(r.Output.size(), static_cast<std::size_t>(part));
    EXPECT_TRUE(std::equal(r.Output.begin(), r.Output.end(), data.begin()));
    EXPECT_EQ(r.Produced, part);
  }
  // Stored data counts too.
  BitWriter w;
  w.Stored(true, Bytes(5000, 7));
  TVmDeflateHelper h;
  h.FPartSize = 10;
  EXPECT_EQ(RunInflate(w.Take(), 15, &h).Output, Bytes(10, 7));
}

TEST(Settings, ProgressReportsInputPercentAndMayStop) {
  const Bytes data = SampleData(2000000);
  const Bytes packed = ZlibDeflate(data, 1);
  ASSERT_GT(packed.size(), 5u * 16384);
  std::vector<int> seen;
  TVmDeflateHelper h;
  h.FOnProgressStep = [&](int percent, bool&) { seen.push_back(percent); };
  EXPECT_EQ(RunInflate(packed, 15, &h).Checksum, ZlibCrc(data));
  ASSERT_FALSE(seen.empty());
  EXPECT_TRUE(std::is_sorted(seen.begin(), seen.end()));
  EXPECT_EQ(seen.back(), 100);

  TVmDeflateHelper stop;
  int calls = 0;
  stop.FOnProgressStep = [&](int, bool& abort) { abort = ++calls == 2; };
  const InflateResult r = RunInflate(packed, 15, &stop);
  EXPECT_EQ(r.Checksum, 0u);
  EXPECT_LT(r.Output.size(), data.size());
  EXPECT_TRUE(std::equal(r.Output.begin(), r.Output.end(), data.begin()));
}

TEST(Settings, LogFileRecordsStartAndInternalCause) {
#ifdef _WIN32
  GTEST_SKIP() << "the log stays open in the helper, and Windows does not remove an open file";
#endif
  const auto path = std::filesystem::temp_directory_path() / ("tarvo-inflate-log-" + std::to_string(::getpid()));
  TVmDeflateHelper h;
  h.FLogFile = path.string();
  EXPECT_THROW(RunInflate(BitWriter().Header(true, 3).Take(), 15, &h), EVmInternalInflateError);
  std::ifstream f(path);
  std::stringstream text;
  text << f.rdbuf();
  EXPECT_EQ(text.str(),
            "INFLATING STREAM...\nNeed to recompile the app with UseLogging turned on\n"
            "Internal exception raised: starting new block, but invalid block type [Inflate]\n");
  std::filesystem::remove(path);
}

// A destination that takes a limited number of bytes, like a full disk.
class TFullStream final : public core::TStream {
public:
  std::size_t Read(void*, std::size_t) override { return 0; }
  std::size_t Write(const void*, std::size_t count) override {
    const std::size_t n = std::min<std::size_t>(count, FRoom);
    FRoom -= n;
    return n;
  }
  std::int64_t Seek(std::int64_t, core::TSeekOrigin) override { return 0; }

private:
  std::size_t FRoom = 1000;
};

TEST(Settings, DestinationErrorsPassUnchanged) {
  const Bytes packed = ZlibDeflate(SampleData(100000), 6);
  core::TMemoryStream src{Bytes(packed)};
  TFullStream full;
  EXPECT_THROW(Inflate(src, full), core::EWriteError);
}

TEST(Crc32, FoldingAgreesWithZlibAtEveryAlignmentAndSize) {
  std::mt19937 rng(5);
  Bytes data(70000);
  for (auto& b : data) b = static_cast<std::uint8_t>(rng());
  for (std::size_t size : {0u, 1u, 63u, 255u, 256u, 257u, 319u, 320u, 1000u, 4096u, 65537u}) {
    for (std::size_t offset = 0; offset < 9; ++offset) {
      const std::uint32_t expected =
          static_cast<std::uint32_t>(crc32(0xDEADBEEF, data.data() + offset, static_cast<uInt>(size)));
      EXPECT_EQ(core::ComputeCRC32(0xDEADBEEF, data.data() + offset, size), expected) << size << "+" << offset;
    }
  }
}

}  // namespace
}  // namespace tarvo::unzip::test
