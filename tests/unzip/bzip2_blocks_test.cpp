// bzip2 streams decoded block by block on several workers must give exactly what the
// serial decoder gives: the same bytes and the same failure, after the same output. The
// streams are made by the bzip2 tool; their inputs are the oracle for the sound ones.
#include <gtest/gtest.h>

#include <functional>
#include <random>

#include "core/exception.h"
#include "core/memory_stream.h"
#include "test_support.h"
#include "unzip/methods/bzip2_parallel.h"

using namespace tarvo;
using namespace tarvo::unzip;
using namespace tarvo::unzip::test;

namespace {

std::string Compress(const std::string& input, int level) {
  TTempDir dir;
  WriteText(dir / "in", input);
  if (Shell("bzip2 -" + std::to_string(level) + " -c " + Quote(dir / "in") + " > " + Quote(dir / "out.bz2")) != 0)
    throw std::runtime_error("bzip2 failed");
  return ReadText(dir / "out.bz2");
}

struct TOutcome {
  std::string Output;
  std::string Error;
};

TOutcome Decode(const std::string& stream, std::uint64_t size, unsigned workers, bool rewindable = false) {
  core::TMemoryStream in(std::vector<std::uint8_t>(stream.begin(), stream.end())), out;
  TOutcome outcome;
  try {
    DecodeBzip2Blocks(in, out, size, workers, rewindable);
  } catch (const core::Exception& e) {
    outcome.Error = e.Message();
  }
  outcome.Output = out.DataString();
  return outcome;
}

std::string Words(std::size_t n) {
  static const char* const words[] = {"tarvo ", "winkel ", "data ", "setup ", "\n", "zip ", "blok ", "42 "};
  std::mt19937 random(7);
  std::string text;
  while (text.size() < n) text += words[random() % 8];
  return text;
}

// Bytes whose presence map, which follows every block header as 16 groups of 16 flags,
// spells the block magic (groups 3141h 5926h 5359h) and the end mark (1772h 4538h 5090h):
// every block of such data holds both magics where no block starts.
std::string SpellingTheMagics(std::size_t n) {
  const std::uint16_t groups[16] = {0x3141, 0x5926, 0x5359, 0x1772, 0x4538, 0x5090, 0x8000, 0x8000,
                                    0x8000, 0x8000, 0x8000, 0x8000, 0x8000, 0x8000, 0x8000, 0x8000};
  std::string alphabet;
  for (int g = 0; g < 16; ++g)
    for (int b = 0; b < 16; ++b)
      if (groups[g] & (0x8000 >> b)) alphabet.push_back(static_cast<char>(16 * g + b));
  std::mt19937 random(11);
  std::string data(n, '\0');
  for (char& c : data) c = alphabet[random() % alphabet.size()];
  return data;
}

void FlipByteAt(std::string& s, std::size_t at) { s[at] = static_cast<char>(s[at] ^ 0x10); }

struct TCase {
  const char* Name;
  std::function<std::string()> Input;
  int Level;
  std::function<void(std::string&)> Damage;  // none: the stream decodes to its input
  std::int64_t SizeDelta = 0;                // the size asked for, against the input's
};

void PrintTo(const TCase& c, std::ostream* os) { *os << c.Name; }

class Bzip2Blocks : public ::testing::TestWithParam<TCase> {};

TEST_P(Bzip2Blocks, GiveWhatTheSerialDecoderGives) {
  if (!HaveTool("bzip2")) GTEST_SKIP() << "bzip2 missing";
  const TCase& c = GetParam();
  const std::string input = c.Input();
  std::string stream = Compress(input, c.Level);
  if (c.Damage) c.Damage(stream);
  const std::uint64_t size = input.size() + c.SizeDelta;
  const TOutcome serial = Decode(stream, size, 1);
  // A rewindable input goes back to the start when no merge makes a piece whole.
  for (auto [workers, rewindable] : {std::pair{2u, false}, {5u, false}, {2u, true}}) {
    const TOutcome parallel = Decode(stream, size, workers, rewindable);
    EXPECT_EQ(parallel.Error, serial.Error) << workers << " workers";
    // On a failure the serial decoder drops the piece of output it was filling; whatever
    // both wrote must agree.
    const std::size_t common = std::min(parallel.Output.size(), serial.Output.size());
    EXPECT_TRUE(parallel.Output.compare(0, common, serial.Output, 0, common) == 0) << workers << " workers";
    if (serial.Error.empty()) {
      EXPECT_EQ(parallel.Output.size(), serial.Output.size()) << workers << " workers";
    }
  }
  if (!c.Damage) {
    EXPECT_EQ(serial.Error, "");
    EXPECT_TRUE(serial.Output == input.substr(0, size));
  }
}

INSTANTIATE_TEST_SUITE_P(
    Streams, Bzip2Blocks,
    ::testing::Values(
        TCase{"Tiny", [] { return std::string("hello, world"); }, 9, nullptr},
        TCase{"FiveBlocksOfLevel1", [] { return Words(450000); }, 1, nullptr},
        TCase{"MagicsInsideEveryBlock", [] { return SpellingTheMagics(300000); }, 1, nullptr},
        // A block of runs decodes to 10 MB, beyond what a worker keeps.
        TCase{"RunsBeyondAWorkersShare", [] { return std::string(24 << 20, '\0'); }, 2, nullptr},
        TCase{"SizeEndsInsideABlock", [] { return Words(450000); }, 1, nullptr, -150000},
        // The serial decoder stops at the first end mark.
        TCase{"ConcatenatedStreams", [] { return Words(250000); }, 1, [](std::string& s) { s += s; },
              250000},
        TCase{"DamagedFirstBlockCrc", [] { return Words(450000); }, 1, [](std::string& s) { FlipByteAt(s, 10); }},
        TCase{"DamagedMiddleBlock", [] { return Words(450000); }, 1,
              [](std::string& s) { FlipByteAt(s, s.size() * 6 / 10); }},
        TCase{"DamagedStreamCrc", [] { return Words(450000); }, 1,
              [](std::string& s) { FlipByteAt(s, s.size() - 3); }},
        // The request ends inside the last block: the stream CRC is never reached.
        TCase{"DamagedStreamCrcBeyondTheRequest", [] { return Words(450000); }, 1,
              [](std::string& s) { FlipByteAt(s, s.size() - 3); }, -15},
        TCase{"CutShort", [] { return Words(450000); }, 1, [](std::string& s) { s.resize(s.size() * 7 / 10); }},
        TCase{"CutInsideTheEndMark", [] { return Words(450000); }, 1, [](std::string& s) { s.resize(s.size() - 7); }},
        TCase{"NotBzip2", [] { return Words(1000); }, 1, [](std::string& s) { s[2] = 'x'; }}),
    [](const auto& info) { return std::string(info.param.Name); });

}  // namespace

// A stream followed by more bytes (the next stream of a .bz2 file) tells how many bytes it
// took, whichever path decoded it, so that the next one is read from the right place.
TEST(Bzip2Blocks, TellWhereTheStreamEnds) {
  if (!HaveTool("bzip2")) GTEST_SKIP() << "bzip2 missing";
  for (const auto& [input, level] : {std::pair{std::string("hello"), 9}, {Words(450000), 1},
                                     {SpellingTheMagics(300000), 1}}) {
    const std::string stream = Compress(input, level);
    const std::string followed = stream + "BZh9 and more";
    for (unsigned workers : {1u, 2u}) {
      core::TMemoryStream in(std::vector<std::uint8_t>(followed.begin(), followed.end())), out;
      std::uint64_t end = 0;
      DecodeBzip2Blocks(in, out, ~std::uint64_t{0}, workers, true, &end);
      EXPECT_EQ(end, stream.size()) << input.size() << " bytes, " << workers << " workers";
      EXPECT_TRUE(out.DataString() == input) << input.size() << " bytes, " << workers << " workers";
    }
  }
}
