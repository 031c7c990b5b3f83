// Canonical-code lookup table of one Deflate alphabet (literal/length, distance or
// code-length). Each entry already carries what the decode loop needs next: the literal
// byte, or the length/distance base with its extra-bit count, so one lookup (two for codes
// longer than the primary table) turns input bits into a decision.
//
// Entry layout (32 bits):
//   bits 0..5    bits to consume: code length plus extra bits (for a subtable link: the
//                primary table's width, consumed before the second lookup)
//   bit  6       kEndOfBlock
//   bit  7       kInvalid
//   bits 8..11   code length (for a subtable link: the subtable's width)
//   bit  14      kSubtable
//   bits 16..31  length or distance base, code-length symbol, or the subtable's start
//                index
// Length and distance entries have bits 6, 7, 12 and 13 clear, so the decode loop may take
// bits 0..7 as the count of bits to keep and bits 8..13 as the shift past the code.
//
// Literal entries differ: bits 0..5 are the code length, bits 8..15 hold the primary
// table's width, bits 16..23 the byte and bit 31 is kLiteral. Their low 16 bits are thus
// the start and length of the next primary index in the bits (as BMI's bextr takes them),
// so the decode loop goes from one literal to the next lookup in one instruction. No other
// entry of the literal/length alphabet has bit 31 set: lengths are at most 258 and
// subtables start below 2^15.
#pragma once

#include <cstdint>
#include <memory>

namespace tarvo::unzip {

namespace dfentry {
inline constexpr std::uint32_t kEndOfBlock = 0x40;
inline constexpr std::uint32_t kInvalid = 0x80;  // no code reaches it, or a symbol the mode forbids
inline constexpr std::uint32_t kSubtable = 0x4000;
inline constexpr std::uint32_t kLiteral = 0x80000000u;

// The fields of an entry. For a subtable link, CodeLen is the subtable's width and Value its
// start index.
constexpr std::uint32_t Bits(std::uint32_t e) noexcept { return e & 63; }
constexpr std::uint32_t CodeLen(std::uint32_t e) noexcept { return (e >> 8) & 15; }
constexpr std::uint32_t Value(std::uint32_t e) noexcept { return e >> 16; }
constexpr std::uint8_t Literal(std::uint32_t e) noexcept { return static_cast<std::uint8_t>(e >> 16); }
// The extra bits that follow the code of a length or distance symbol.
constexpr std::uint32_t ExtraBits(std::uint32_t e) noexcept { return Bits(e) - CodeLen(e); }
// The mask that selects a subtable index from the bits after the primary table's.
constexpr std::uint32_t SubtableMask(std::uint32_t e) noexcept { return (1u << CodeLen(e)) - 1; }
}  // namespace dfentry

struct TVmDfLengthCensus;

// Turns the AVX-512 count and sort of the table builder off (or on again) for the calling
// thread: UsePlainInflateLoop does it for tests.
void UsePlainTableBuild(bool plain) noexcept;

enum class TVmDfHuffmanUsage { huEncoding, huDecoding, huBoth };
enum class TVmDfAlphabet { daLitLen, daDistance, daCodeLength };

class TVmDfDecodeHuffmanTree {
public:
  // Alphabet sizes: 286 (288 for the fixed code), 30 or 32, 19. The longest code allowed is
  // 7 for the code-length alphabet and 15 otherwise.
  TVmDfDecodeHuffmanTree(TVmDfAlphabet alphabet, int alphaSize, bool deflate64,
                         TVmDfHuffmanUsage usage = TVmDfHuffmanUsage::huDecoding);

  // Hands the table's storage to the next tree built on this thread (see spare_buffers.h);
  // the tree is unusable afterwards.
  void Recycle() noexcept;

  // Builds the table from count code lengths (0 = symbol unused). A length above the
  // allowed maximum, or more codes than the lengths leave room for (over-subscribed),
  // raises the internal decoder error. Incomplete sets are accepted: unreached bit
  // patterns decode as kInvalid.
  void Build(const std::uint8_t* lengths, int count);

  // The longest code length present (0 when no symbol has a code).
  int MaxCodeLen() const noexcept { return FMaxCodeLen; }
  unsigned TableBits() const noexcept { return FTableBits; }
  // The primary table width of this alphabet (11 literal/length, 8 distance, 7 code
  // length), which TableBits() always equals once built.
  unsigned PrimaryBits() const noexcept { return FPrimaryBits; }
  TVmDfHuffmanUsage Usage() const noexcept { return FUsage; }
  const std::uint32_t* Table() const noexcept { return FDecodes.get(); }

  // The entry for the next input bits (least significant bit first). prefixBits is set to
  // the bits a subtable link takes before the entry's own count (0 for primary entries).
  std::uint32_t Decode(std::uint64_t bits, unsigned& prefixBits) const noexcept {
    const std::uint32_t* t = FDecodes.get();
    std::uint32_t e = t[bits & ((std::uint64_t{1} << FTableBits) - 1)];
    prefixBits = 0;
    if (e & dfentry::kSubtable) {
      prefixBits = FTableBits;
      e = t[dfentry::Value(e) + ((bits >> FTableBits) & dfentry::SubtableMask(e))];
    }
    return e;
  }

private:
  // The primary table plus every subtable: the subtables of a code that is not
  // over-subscribed cover disjoint parts of the 2^max space.
  std::size_t TableSize() const noexcept {
    return (std::size_t{1} << FDefMaxCodeLen) + (std::size_t{1} << FPrimaryBits);
  }
  void BuildTwoLevel(const std::uint8_t* lengths, int count, const TVmDfLengthCensus& census, bool complete);

  int FAlphaSize;
  int FDefMaxCodeLen;
  TVmDfHuffmanUsage FUsage;
  int FMaxCodeLen = 0;
  unsigned FTableBits = 0;
  unsigned FPrimaryBits;
  std::unique_ptr<std::uint32_t[]> FDecodes;
  const std::uint32_t* FTemplates;  // entry of each symbol without its code length
  std::uint32_t FLiteralFlag;       // kLiteral in the literal/length alphabet, else 0
};

}  // namespace tarvo::unzip
