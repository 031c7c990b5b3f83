// Streams made by zlib at every level and strategy must come back byte for byte, with the
// right checksum and sizes, however the source hands out its bytes.
#include <gtest/gtest.h>

#include <algorithm>
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

// The same bytes handed out three ways: lent in place (memory), read in whole blocks,
// and a few bytes per call, like a pipe.
enum class TSourceKind { skLent, skRead, skDribble };

class TSourceOf final : public core::TStream {
public:
  TSourceOf(const Bytes& data, std::size_t start, TSourceKind kind) : FMemory(Bytes(data)), FKind(kind) {
    FMemory.SetPosition(static_cast<std::int64_t>(start));
  }
  std::size_t Read(void* buffer, std::size_t count) override {
    if (FKind == TSourceKind::skDribble) count = std::min(count, std::size_t{1} + FCalls++ % 7);
    return FMemory.Read(buffer, count);
  }
  std::size_t Write(const void*, std::size_t) override { return 0; }
  std::int64_t Seek(std::int64_t offset, core::TSeekOrigin origin) override { return FMemory.Seek(offset, origin); }
  std::size_t Lend(const std::uint8_t*& data) override {
    return FKind == TSourceKind::skLent ? FMemory.Lend(data) : 0;
  }

private:
  core::TMemoryStream FMemory;
  TSourceKind FKind;
  std::size_t FCalls = 0;
};

// Everything a caller can see of one decode.
struct TDecodeSeen {
  Bytes Output;
  bool Failed = false;
  std::string Result;  // the checksum, or the error
  std::int64_t Compressed, Consumed, Produced, Position;
  bool operator==(const TDecodeSeen&) const = default;
};

TDecodeSeen DecodeFrom(const Bytes& input, std::size_t start, TSourceKind kind) {
  TSourceOf src(input, start, kind);
  core::TMemoryStream dst;
  TVmDeflateHelper h;
  TDecodeSeen seen;
  try {
    seen.Result = std::to_string(Inflate(src, dst, &h));
  } catch (const EVmInternalInflateError& e) {
    seen.Failed = true;
    seen.Result = e.Message();
  }
  seen.Output.assign(dst.Memory(), dst.Memory() + dst.Size());
  seen.Compressed = h.FSizeCompressed;
  seen.Consumed = h.FSizeConsumed;
  seen.Produced = h.FSizeNormal;
  seen.Position = src.Position();
  return seen;
}

struct TSourceCase {
  const char* Name;
  std::size_t Size;
  int Level;
  std::size_t Cut;    // keep only this many bytes of the stream (0: all)
  std::size_t Start;  // bytes before the stream
  std::size_t PadTo;  // bytes after it up to this size of the whole source
};
class SourceKinds : public ::testing::TestWithParam<TSourceCase> {};

// Reading in place must be invisible: the same output, checksum or error, sizes and source
// position as reading into the block, however the source hands out its bytes.
TEST_P(SourceKinds, GiveTheSameDecode) {
  const TSourceCase& c = GetParam();
  const Bytes data = MixedData(c.Size, 5);
  Bytes packed = ZlibDeflate(data, c.Level);
  const bool whole = c.Cut == 0;
  if (!whole) packed.resize(c.Cut);
  Bytes input(c.Start, 0xEE);
  input.insert(input.end(), packed.begin(), packed.end());
  input.resize(std::max(input.size(), c.PadTo), 0xA5);
  const TDecodeSeen lent = DecodeFrom(input, c.Start, TSourceKind::skLent);
  EXPECT_EQ(lent.Result, whole ? std::to_string(ZlibCrc(data)) : lent.Result);
  if (whole) {
    EXPECT_TRUE(lent.Output == data);
  }
  EXPECT_EQ(lent.Failed, !whole);
  EXPECT_TRUE(lent == DecodeFrom(input, c.Start, TSourceKind::skRead));
  EXPECT_TRUE(lent == DecodeFrom(input, c.Start, TSourceKind::skDribble));
}

// A lent source is read in place only while more than a block and 128 bytes are left: the
// sweep ends the source on every side of that point, with the stream's end inside the last
// block.
std::vector<TSourceCase> SourceCases() {
  std::vector<TSourceCase> cases = {
      {"dynamic blocks", 300000, 6, 0, 0, 0},    {"stored blocks", 70000, 0, 0, 0, 0},
      {"trailing bytes", 5000, 6, 0, 0, 60000},  {"after a header", 200000, 9, 0, 100, 210000},
      {"cut short", 300000, 6, 40000, 0, 0},     {"cut in a stored block", 70000, 0, 33000, 0, 0},
  };
  for (std::size_t t = 0; t < 160; t += 3) cases.push_back({"ends near a block", 40000, 0, 0, 0, 3 * 16384 - 8 + t});
  return cases;
}
INSTANTIATE_TEST_SUITE_P(ZlibStreams, SourceKinds, ::testing::ValuesIn(SourceCases()));

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
