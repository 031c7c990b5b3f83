// Streams made by zlib at every level and strategy must come back byte for byte, with the
// right checksum and sizes, however the source hands out its bytes.
#include <gtest/gtest.h>

#include <random>

#include "core/stream.h"
#include "test_support.h"

namespace tarvo::unzip::test {
namespace {

// Text with repeats near and far, binary-like words, a long run and incompressible noise:
// together they produce literals, short and long matches, all distance ranges and stored
// blocks.
Bytes MixedData(std::size_t size, unsigned seed) {
  std::mt19937 rng(seed);
  Bytes out;
  const char* words[] = {"inflate ", "window ", "length ", "distance ", "Huffman ", "block\n", "stored ", "T.Arvo "};
  while (out.size() < size) {
    switch (rng() % 6) {
      case 0:
      case 1:
        for (int i = 0; i < 40; ++i)
          for (const char* w = words[rng() % 8]; *w; ++w) out.push_back(static_cast<std::uint8_t>(*w));
        break;
      case 2:
        for (int i = 0; i < 300; ++i) out.push_back(static_cast<std::uint8_t>(rng()));
        break;
      case 3:
        out.insert(out.end(), 700 + rng() % 500, static_cast<std::uint8_t>(rng()));
        break;
      case 4:
        if (out.size() > 40000) {  // a far repeat
          const std::size_t from = out.size() - 32000 - rng() % 700;
          for (std::size_t i = 0; i < 900; ++i) out.push_back(out[from + i]);
        }
        break;
      default:
        for (int i = 0; i < 64; ++i) out.push_back(static_cast<std::uint8_t>((i * 7) ^ (rng() % 4)));
    }
  }
  out.resize(size);
  return out;
}

struct Strategy {
  const char* Name;
  int Value;
};

TEST(ZlibStreams, EveryLevelAndStrategyDecodesByteExact) {
  const Bytes data = MixedData(300000, 1);
  const Strategy strategies[] = {{"default", Z_DEFAULT_STRATEGY},
                                 {"filtered", Z_FILTERED},
                                 {"huffman-only", Z_HUFFMAN_ONLY},
                                 {"rle", Z_RLE},
                                 {"fixed", Z_FIXED}};
  for (const auto& st : strategies) {
    for (int level = 0; level <= 9; ++level) {
      SCOPED_TRACE(std::string(st.Name) + " level " + std::to_string(level));
      const Bytes packed = ZlibDeflate(data, level, st.Value);
      const InflateResult r = RunInflate(packed);
      ASSERT_EQ(r.Output.size(), data.size());
      EXPECT_TRUE(r.Output == data);
      EXPECT_EQ(r.Checksum, ZlibCrc(data));
      EXPECT_EQ(r.Produced, static_cast<std::int64_t>(data.size()));
      EXPECT_EQ(r.Consumed, static_cast<std::int64_t>(packed.size()));
    }
  }
}

// One thread decodes stream after stream with the tables and window the last one left:
// nothing of a stream, finished or failed half-way, may show in the next.
TEST(ZlibStreams, StreamsInARowShareNothing) {
  const Bytes a = MixedData(200000, 3), b = MixedData(5000, 4);
  const Bytes packedA = ZlibDeflate(a, 9), packedB = ZlibDeflate(b, 1, Z_FIXED);
  const Bytes cut(packedA.begin(), packedA.begin() + static_cast<std::ptrdiff_t>(packedA.size() / 2));
  struct Step {
    const Bytes* Input;
    std::uint32_t Options;
    const Bytes* Expected;  // null: must fail
  };
  const Step steps[] = {{&packedA, 15, &a}, {&cut, 15, nullptr}, {&packedB, 15, &b},
                        {&cut, 15 | dfc_Deflate64, nullptr},
                        {&packedA, 15, &a}, {&packedB, 15, &b}};
  for (std::size_t i = 0; i < std::size(steps); ++i) {
    if (!steps[i].Expected) {
      EXPECT_NE(InflateFailure(*steps[i].Input, steps[i].Options), "") << i;
      continue;
    }
    const InflateResult r = RunInflate(*steps[i].Input, steps[i].Options);
    EXPECT_TRUE(r.Output == *steps[i].Expected) << i;
    EXPECT_EQ(r.Checksum, ZlibCrc(*steps[i].Expected)) << i;
  }
}

TEST(ZlibStreams, SmallAndEmptyInputs) {
  for (std::size_t size : {0u, 1u, 2u, 3u, 258u, 259u, 1000u}) {
    const Bytes data = MixedData(size, 7);
    for (int level : {0, 1, 9}) {
      const InflateResult r = RunInflate(ZlibDeflate(data, level));
      EXPECT_TRUE(r.Output == data) << size << " " << level;
      EXPECT_EQ(r.Checksum, ZlibCrc(data));
    }
  }
}

TEST(ZlibStreams, AdlerOptionGivesAdler32) {
  const Bytes data = MixedData(100000, 3);
  const InflateResult r = RunInflate(ZlibDeflate(data, 6), 15 | dfc_UseAdler32);
  EXPECT_EQ(r.Checksum, static_cast<std::uint32_t>(adler32(1, data.data(), static_cast<uInt>(data.size()))));
  EXPECT_TRUE(r.Output == data);
}

TEST(ZlibStreams, TestOnlyCountsWithoutWriting) {
  const Bytes data = MixedData(200000, 4);
  const InflateResult r = RunInflate(ZlibDeflate(data, 6), 15 | dfc_TestOnly);
  EXPECT_TRUE(r.Output.empty());
  EXPECT_EQ(r.Produced, static_cast<std::int64_t>(data.size()));
  EXPECT_EQ(r.Checksum, ZlibCrc(data));
}

// A source that hands out at most a few bytes per call, like a pipe.
class TDribbleStream final : public core::TStream {
public:
  explicit TDribbleStream(Bytes data) : FData(std::move(data)) {}
  std::size_t Read(void* buffer, std::size_t count) override {
    const std::size_t n = std::min({count, FData.size() - FPos, std::size_t{1} + FCalls++ % 7});
    std::copy_n(FData.begin() + static_cast<std::ptrdiff_t>(FPos), n, static_cast<std::uint8_t*>(buffer));
    FPos += n;
    return n;
  }
  std::size_t Write(const void*, std::size_t) override { return 0; }
  std::int64_t Seek(std::int64_t, core::TSeekOrigin) override { return static_cast<std::int64_t>(FPos); }

private:
  Bytes FData;
  std::size_t FPos = 0, FCalls = 0;
};

TEST(ZlibStreams, ShortReadsDoNotChangeTheResult) {
  const Bytes data = MixedData(120000, 5);
  const Bytes packed = ZlibDeflate(data, 9);
  TDribbleStream src(packed);
  core::TMemoryStream dst;
  TVmDeflateHelper h;
  EXPECT_EQ(Inflate(src, dst, &h), ZlibCrc(data));
  EXPECT_TRUE(Bytes(dst.Memory(), dst.Memory() + dst.Size()) == data);
  EXPECT_EQ(h.FSizeCompressed, static_cast<std::int64_t>(packed.size()));
}

TEST(ZlibStreams, TrailingBytesAreIgnoredButCountAsReadAhead) {
  const Bytes data = MixedData(5000, 6);
  Bytes packed = ZlibDeflate(data, 6);
  const std::size_t streamSize = packed.size();
  packed.resize(streamSize + 50000, 0xA5);
  const InflateResult r = RunInflate(packed);
  EXPECT_TRUE(r.Output == data);
  // The whole first 16 KiB block was read ahead from the source.
  EXPECT_EQ(r.Consumed, 16384);
}

TEST(ZlibStreams, DecodingStartsAndEndsAtTheStreamPositions) {
  const Bytes data = MixedData(3000, 8);
  Bytes input(100, 0xEE);
  const Bytes packed = ZlibDeflate(data, 6);
  input.insert(input.end(), packed.begin(), packed.end());
  core::TMemoryStream src{Bytes(input)};
  src.SetPosition(100);
  core::TMemoryStream dst;
  dst.WriteBuffer("head", 4);
  Inflate(src, dst);
  ASSERT_EQ(dst.Size(), static_cast<std::int64_t>(4 + data.size()));
  EXPECT_TRUE(Bytes(dst.Memory() + 4, dst.Memory() + dst.Size()) == data);
  EXPECT_EQ(src.Position(), static_cast<std::int64_t>(input.size()));
}

}  // namespace
}  // namespace tarvo::unzip::test
