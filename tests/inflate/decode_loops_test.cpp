// The plain build of the decode loop runs on processors without BMI2 and in the 32-bit
// product, but never by itself on a machine that has them: every case here runs through
// both builds, which must agree on the bytes, checksum and sizes, or on the error, and give
// back what zlib packed.
#include <gtest/gtest.h>

#include <random>

#include "test_support.h"

namespace tarvo::unzip::test {
namespace {

struct Outcome {
  InflateResult Result;
  std::string Failure;
};

Outcome Decode(const Bytes& input, std::uint32_t options, bool plain) {
  UsePlainInflateLoop(plain);
  Outcome o;
  try {
    o.Result = RunInflate(input, options);
  } catch (const EVmInternalInflateError& e) {
    o.Failure = e.Message();
  }
  UsePlainInflateLoop(false);
  return o;
}

// Periods of 1 to 70 bytes, each repeated for a while: matches of every short distance,
// overlapping themselves, and of every length.
Bytes Periodic() {
  std::mt19937 rng(3);
  Bytes out;
  for (int period = 1; period <= 70; ++period) {
    Bytes unit(period);
    for (auto& b : unit) b = static_cast<std::uint8_t>(rng());
    for (int i = 0; i < 600; ++i) out.push_back(unit[i % period]);
  }
  return out;
}

Bytes Noise(std::size_t size) {
  std::mt19937 rng(4);
  Bytes out(size);
  for (auto& b : out) b = static_cast<std::uint8_t>(rng() % 16 + 'a');
  return out;
}

TEST(DecodeLoops, PlainAndProcessorSpecificBuildsAgree) {
  const Bytes periodic = Periodic(), noise = Noise(200000);
  BitWriter far;  // a match reaching one byte before the output
  far.Header(true, 1).FixedLit('a').FixedLit(257).FixedDist(1).FixedLit(256);
  BitWriter long64;  // Deflate64: one literal and a match of 65,538 bytes
  long64.Header(true, 1).FixedLit('y').FixedLit(285).Bits(0xFFFF, 16).FixedDist(0).FixedLit(256);
  Bytes farPadded = far.Take(), long64Padded = long64.Take();
  farPadded.resize(farPadded.size() + 64, 0xA5);  // bytes behind, so the fast path decodes it
  long64Padded.resize(long64Padded.size() + 64, 0);
  struct Case {
    const char* Name;
    Bytes Input;
    std::uint32_t Options;
    const Bytes* Original;  // what zlib packed, or null
  } cases[] = {
      {"short periods, level 9", ZlibDeflate(periodic, 9), 15, &periodic},
      {"short periods, rle", ZlibDeflate(periodic, 6, Z_RLE), 15, &periodic},
      {"letters, level 1", ZlibDeflate(noise, 1), 15, &noise},
      {"letters, level 6, after 32 KiB of history", ZlibDeflate(noise, 6), 15, &noise},
      {"letters, huffman only", ZlibDeflate(noise, 6, Z_HUFFMAN_ONLY), 15, &noise},
      {"distance before the first byte", farPadded, 15, nullptr},
      {"Deflate64 longest match", long64Padded, 15 | dfc_Deflate64, nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Name);
    const Outcome bmi2 = Decode(c.Input, c.Options, false), plain = Decode(c.Input, c.Options, true);
    EXPECT_EQ(plain.Failure, bmi2.Failure);
    EXPECT_TRUE(plain.Result.Output == bmi2.Result.Output);
    EXPECT_EQ(plain.Result.Checksum, bmi2.Result.Checksum);
    EXPECT_EQ(plain.Result.Consumed, bmi2.Result.Consumed);
    // Both builds share the match copy: only the original tells a fault in it.
    if (c.Original) {
      EXPECT_TRUE(bmi2.Result.Output == *c.Original);
    }
  }
}

}  // namespace
}  // namespace tarvo::unzip::test
