// The lookup tables against the plain reading of canonical codes: one flat table of
// 2^maxlen entries filled symbol by symbol (patterns no code reaches decode as nothing).
// Every bit pattern must give the same symbol and code length, for complete and
// incomplete sets of lengths; over-subscribed sets must be refused. The builder counts and
// sorts lengths with AVX-512 where the processor has it: the cases run through both ways.
#include <gtest/gtest.h>

#include <random>

#include "unzip/inflate/decode_huffman_tree.h"
#include "unzip/inflate/inflate.h"
#include "unzip/inflate/inflate_error.h"

namespace tarvo::unzip {
namespace {

struct Reference {
  int Symbol = -1;  // -1: no code reaches the pattern
  int Length = 0;
};

bool OverSubscribed(const std::vector<std::uint8_t>& lengths) {
  long room = 1L << 15;
  for (auto l : lengths)
    if (l) room -= 1L << (15 - l);
  return room < 0;
}

std::vector<Reference> FlatReference(const std::vector<std::uint8_t>& lengths, int& maxLen) {
  int count[16] = {};
  maxLen = 0;
  for (auto l : lengths) {
    ++count[l];
    maxLen = std::max<int>(maxLen, l);
  }
  count[0] = 0;
  std::uint32_t next[16] = {}, code = 0;
  for (int b = 1; b < 16; ++b) next[b] = code = (code + count[b - 1]) << 1;
  std::vector<Reference> table(std::size_t{1} << maxLen);
  for (std::size_t s = 0; s < lengths.size(); ++s) {
    const int n = lengths[s];
    if (!n) continue;
    const std::uint32_t c = next[n]++ & ((1u << n) - 1);
    std::uint32_t rev = 0;
    for (int i = 0; i < n; ++i) rev |= ((c >> i) & 1) << (n - 1 - i);
    for (std::size_t idx = rev; idx < table.size(); idx += std::size_t{1} << n)
      table[idx] = {static_cast<int>(s), n};
  }
  return table;
}

// Decodes every input pattern and compares with the flat reading of the code. The
// code-length alphabet keeps its symbol in the entry; of the literal/length alphabet only
// literals are used, which carry their byte, so patterns map back to symbols there too.
void Check(const std::vector<std::uint8_t>& lengths, TVmDfAlphabet alphabet = TVmDfAlphabet::daCodeLength) {
  const bool literals = alphabet == TVmDfAlphabet::daLitLen;
  TVmDfDecodeHuffmanTree tree(alphabet, literals ? 286 : 19, false);
  if (OverSubscribed(lengths)) {
    EXPECT_THROW(tree.Build(lengths.data(), static_cast<int>(lengths.size())), EVmInternalInflateError);
    return;
  }
  int maxLen = 0;
  const auto ref = FlatReference(lengths, maxLen);
  tree.Build(lengths.data(), static_cast<int>(lengths.size()));
  ASSERT_EQ(tree.MaxCodeLen(), maxLen);
  for (std::uint32_t bits = 0; bits < (1u << (literals ? 15 : 7)); ++bits) {
    unsigned prefix;
    const std::uint32_t e = tree.Decode(bits, prefix);
    const Reference& r = ref[bits & ((1u << maxLen) - 1)];
    if (r.Symbol < 0) {
      ASSERT_TRUE(e & dfentry::kInvalid) << bits;
      continue;
    }
    ASSERT_FALSE(e & dfentry::kInvalid) << bits;
    if (literals) {
      // A literal's code length is its bit count; its next-index field holds the width.
      ASSERT_TRUE(e & dfentry::kLiteral) << bits;
      ASSERT_EQ(dfentry::Literal(e), r.Symbol) << bits;
      ASSERT_EQ(static_cast<int>(prefix + dfentry::Bits(e)), r.Length) << bits;
      ASSERT_EQ((e >> 8) & 0xFF, tree.PrimaryBits()) << bits;
      continue;
    }
    ASSERT_EQ(static_cast<int>(dfentry::Value(e)), r.Symbol) << bits;
    ASSERT_EQ(static_cast<int>(prefix + dfentry::CodeLen(e)), r.Length) << bits;
  }
}

void CheckLiterals(const std::vector<std::uint8_t>& lengths) { Check(lengths, TVmDfAlphabet::daLitLen); }

// Each test body runs with the processor's own build and with the plain one.
class DecodeTable : public ::testing::TestWithParam<bool> {
protected:
  void SetUp() override { UsePlainInflateLoop(GetParam()); }
  void TearDown() override { UsePlainInflateLoop(false); }
};
INSTANTIATE_TEST_SUITE_P(Builds, DecodeTable, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "Plain" : "ProcessorSpecific"; });

TEST_P(DecodeTable, MatchesTheFlatReadingOfRandomCodeSets) {
  std::mt19937 rng(9);
  for (int round = 0; round < 300; ++round) {
    std::vector<std::uint8_t> lengths(19);
    const int used = 1 + static_cast<int>(rng() % 19);
    for (int i = 0; i < used; ++i) lengths[rng() % 19] = static_cast<std::uint8_t>(1 + rng() % 7);
    Check(lengths);
  }
  for (int round = 0; round < 120; ++round) {
    // Any count of symbols: the vector build takes them 64 at a time, the last group short.
    const int count = round < 8 ? 256 - round : 1 + static_cast<int>(rng() % 256);
    std::vector<std::uint8_t> lengths(static_cast<std::size_t>(count));
    const int used = 1 + static_cast<int>(rng() % static_cast<unsigned>(count));
    const int maxLen = 1 + static_cast<int>(rng() % 15);
    for (int i = 0; i < used; ++i) lengths[rng() % static_cast<unsigned>(count)] = static_cast<std::uint8_t>(1 + rng() % maxLen);
    CheckLiterals(lengths);
  }
}

TEST_P(DecodeTable, CompleteDeepCodesUseSubtables) {
  // Complete sets of the deepest shape and a flat 8-bit set.
  std::vector<std::uint8_t> deep(256, 0);
  for (int i = 0; i < 15; ++i) deep[i] = static_cast<std::uint8_t>(i + 1);
  deep[15] = 15;
  CheckLiterals(deep);
  CheckLiterals(std::vector<std::uint8_t>(256, 8));
  std::vector<std::uint8_t> mixed(256, 9);
  for (int i = 0; i < 128; ++i) mixed[i] = 8;
  mixed[0] = 7;
  mixed[1] = 0;
  mixed[2] = 0;
  CheckLiterals(mixed);
}

// Lengths are counted four at a time by their low four bits; one above the maximum must
// still be refused wherever it stands (each of the four lanes, the tail), also when its
// low bits look like a legal length.
TEST_P(DecodeTable, LengthAboveTheMaximumIsRefusedAtEveryPosition) {
  struct Case {
    TVmDfAlphabet Alphabet;
    int Count;
    std::uint8_t Legal;
    std::vector<std::uint8_t> TooLong;
    std::vector<int> Positions;
  };
  const Case cases[] = {
      {TVmDfAlphabet::daCodeLength, 19, 5, {8, 15, 16, 21, 255}, {0, 1, 2, 3, 15, 16, 17, 18}},
      {TVmDfAlphabet::daLitLen, 286, 9, {16, 17, 24, 255}, {0, 1, 2, 3, 282, 283, 284, 285}},
  };
  for (const Case& c : cases)
    for (std::uint8_t bad : c.TooLong)
      for (int at : c.Positions) {
        std::vector<std::uint8_t> lengths(static_cast<std::size_t>(c.Count), 0);
        lengths[0] = lengths[1] = c.Legal;
        lengths[static_cast<std::size_t>(at)] = bad;
        TVmDfDecodeHuffmanTree tree(c.Alphabet, c.Count, false);
        try {
          tree.Build(lengths.data(), c.Count);
          ADD_FAILURE() << "length " << int(bad) << " at " << at << " was accepted";
        } catch (const EVmInternalInflateError& e) {
          EXPECT_NE(e.Message().find("a code length is greater than"), std::string::npos) << e.Message();
        }
      }
}

}  // namespace
}  // namespace tarvo::unzip
