#include "unzip/inflate/decode_huffman_tree.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <string>

#if defined(__x86_64__)
#include <immintrin.h>
#endif

#include "core/format.h"
#include "unzip/inflate/inflate_error.h"
#include "unzip/inflate/inflate_strings.h"
#include "unzip/inflate/spare_buffers.h"

namespace tarvo::unzip {

namespace {

// A stream decodes with three trees at a time (literal/length, distance, code length).
using TreeBuffers = TVmDfSpareBuffers<std::uint32_t, 3>;

constexpr int kMaxBits = 15;

// Length symbols 257..285 (RFC 1951, 3.2.5). Deflate64 gives symbol 285 base 3 and 16
// extra bits, so lengths reach 65,538.
constexpr std::uint16_t kLengthBase[29] = {3,  4,  5,  6,  7,  8,  9,  10, 11,  13,  15,  17,  19,  23, 27,
                                           31, 35, 43, 51, 59, 67, 83, 99, 115, 131, 163, 195, 227, 258};
constexpr std::uint8_t kLengthExtra[29] = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2,
                                           2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0};
// Distance symbols 0..31; 30 and 31 exist only in Deflate64 (64 KiB window).
constexpr std::uint16_t kDistBase[32] = {1,    2,    3,    4,    5,    7,     9,     13,    17,    25,   33,
                                         49,   65,   97,   129,  193,  257,   385,   513,   769,   1025, 1537,
                                         2049, 3073, 4097, 6145, 8193, 12289, 16385, 24577, 32769, 49153};
constexpr std::uint8_t kDistExtra[32] = {0, 0, 0, 0, 1, 1, 2, 2,  3,  3,  4,  4,  5,  5,  6,  6,
                                         7, 7, 8, 8, 9, 9, 10, 10, 11, 11, 12, 12, 13, 13, 14, 14};

constexpr std::uint32_t MakeEntry(std::uint32_t flags, std::uint32_t value, unsigned codeLen, unsigned extra) {
  return (value << 16) | flags | (codeLen << 8) | (codeLen + extra);
}

constexpr std::array<std::uint8_t, 256> MakeReversedBytes() {
  std::array<std::uint8_t, 256> t{};
  for (unsigned i = 0; i < 256; ++i)
    for (unsigned b = 0; b < 8; ++b)
      if (i & (1u << b)) t[i] |= static_cast<std::uint8_t>(0x80u >> b);
  return t;
}
constexpr auto kReversedBytes = MakeReversedBytes();

// The low bits (1..15) of code in reverse order: codes are sent most significant bit first.
constexpr std::uint32_t Reverse(std::uint32_t code, unsigned bits) {
  const std::uint32_t r16 = (static_cast<std::uint32_t>(kReversedBytes[code & 0xFF]) << 8) | kReversedBytes[(code >> 8) & 0xFF];
  return r16 >> (16 - bits);
}

// Every 11-bit pattern reversed: the code of a length up to 11, shifted to the top of 11
// bits, looks its reversal up in one step.
constexpr auto kReversed11 = [] {
  std::array<std::uint16_t, 2048> t{};
  for (std::uint32_t i = 0; i < 2048; ++i) t[i] = static_cast<std::uint16_t>(Reverse(i, 11));
  return t;
}();

// Entries without their code length: the value, the kind and the extra-bit count. The code
// length is added when a table is built.
struct TVmDfEntryTemplates {
  std::uint32_t LitLen[2][288];
  std::uint32_t Dist[2][32];
  std::uint32_t CodeLen[19];
};

constexpr TVmDfEntryTemplates MakeTemplates() {
  TVmDfEntryTemplates t{};
  for (int mode = 0; mode < 2; ++mode) {
    for (int s = 0; s < 288; ++s) {
      std::uint32_t e;
      if (s < 256)
        e = dfentry::kLiteral | (static_cast<std::uint32_t>(s) << 16) | (11u << 8);
      else if (s == 256)
        e = MakeEntry(dfentry::kEndOfBlock, 0, 0, 0);
      else if (s > 285)
        e = dfentry::kInvalid;
      else if (s == 285 && mode == 1)
        e = MakeEntry(0, 3, 0, 16);
      else
        e = MakeEntry(0, kLengthBase[s - 257], 0, kLengthExtra[s - 257]);
      t.LitLen[mode][s] = e;
    }
    for (int s = 0; s < 32; ++s)
      t.Dist[mode][s] = s >= (mode ? 32 : 30) ? dfentry::kInvalid : MakeEntry(0, kDistBase[s], 0, kDistExtra[s]);
  }
  // The repeat symbols 16, 17 and 18 count their 2, 3 and 7 extra bits in.
  for (int s = 0; s < 19; ++s)
    t.CodeLen[s] = MakeEntry(0, static_cast<std::uint32_t>(s), 0, s == 16 ? 2 : s == 17 ? 3 : s == 18 ? 7 : 0);
  return t;
}

constexpr TVmDfEntryTemplates kTemplates = MakeTemplates();

constexpr int kMaxSymbols = 288;
constexpr int kLengthChunks = (kMaxSymbols + 63) / 64;  // of 64 symbols

}  // namespace

// What the builder learns of a set of code lengths before it places any code.
struct TVmDfLengthCensus {
  int Count[16];      // symbols of each code length; Count[0] is not kept
  unsigned All;       // above the maximum if any length is: the OR of all (or 0xFF)
  int Half;           // the scalar sort: where the second half of the symbols starts,
  int FirstHalf[16];  // and the first half's symbols of each length
  bool HasMasks;      // the vector sort: Has[len][c] marks the symbols 64c.. of length len
  int Chunks;
  std::uint64_t Has[16][kLengthChunks];
};

namespace {

// Counted in four sets, two interleaved over each half of the symbols, so that a run of
// equal lengths (unused symbols, most often) does not make each increment wait for the one
// before it, and so that the sort can place both halves at once. Indexed by the low four
// bits, so the loop needs no test: the maximum is 7 or 15 (all low bits set), and a length
// above it sets a higher bit in All, refused before any count is used.
void CountLengths(const std::uint8_t* lengths, int count, TVmDfLengthCensus& census) noexcept {
  std::uint16_t counts[4][16] = {};
  const int half = count / 4 * 2;
  unsigned all = 0;
  for (int i = 0; i < half; i += 2) {
    ++counts[0][lengths[i] & 15];
    ++counts[1][lengths[i + 1] & 15];
    ++counts[2][lengths[half + i] & 15];
    ++counts[3][lengths[half + i + 1] & 15];
    all |= lengths[i] | lengths[i + 1] | lengths[half + i] | lengths[half + i + 1];
  }
  for (int i = 2 * half; i < count; ++i) {
    ++counts[2][lengths[i] & 15];
    all |= lengths[i];
  }
  for (int len = 0; len < 16; ++len) {
    census.FirstHalf[len] = counts[0][len] + counts[1][len];
    census.Count[len] = census.FirstHalf[len] + counts[2][len] + counts[3][len];
  }
  census.All = all;
  census.Half = half;
  census.HasMasks = false;
}

// The used symbols in canonical order (by code length, then by symbol).
void SortByLength(const std::uint8_t* lengths, int count, const TVmDfLengthCensus& census,
                  std::uint16_t* sorted) noexcept {
  // Unused symbols go to a scratch area past the end, so the loop has no branch; the two
  // halves are placed at once, each with its own running positions (the second half's
  // symbols of a length go after the first half's): two chains of stores instead of one.
  const int half = census.Half;
  int lo[16], hi[16];
  lo[0] = kMaxSymbols;
  hi[0] = kMaxSymbols + half;
  int total = 0;
  for (int len = 1; len <= kMaxBits; ++len) {
    lo[len] = total;
    hi[len] = total + census.FirstHalf[len];
    total += census.Count[len];
  }
  for (int s = 0; s < half; ++s) {
    sorted[lo[lengths[s]]++] = static_cast<std::uint16_t>(s);
    sorted[hi[lengths[half + s]]++] = static_cast<std::uint16_t>(half + s);
  }
  for (int s = 2 * half; s < count; ++s) sorted[hi[lengths[s]]++] = static_cast<std::uint16_t>(s);
}

#if defined(__x86_64__)
// Processors with AVX-512 (byte compares into masks, and compress) take the lengths 64 at a
// time: one compare per code length gives the mask of the symbols that have it, a popcount
// their number, and the sort compresses their numbers, in order, onto the end of those
// placed so far. No count or store waits for the one before it.
#define TARVO_TARGET_AVX512_SORT __attribute__((target("avx512f,avx512bw,avx512vl,avx512vbmi2,popcnt")))

thread_local bool tPlainBuild = false;

bool VectorCensusSupported() noexcept {
  static const bool supported = __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw") &&
                                __builtin_cpu_supports("avx512vl") && __builtin_cpu_supports("avx512vbmi2") &&
                                __builtin_cpu_supports("popcnt");
  return supported && !tPlainBuild;
}

TARVO_TARGET_AVX512_SORT void CountLengthsVector(const std::uint8_t* lengths, int count, int maxAllowed,
                                                 TVmDfLengthCensus& census) noexcept {
  const int chunks = (count + 63) / 64;
  __m512i chunk[kLengthChunks];
  __mmask64 tooLong = 0;
  for (int c = 0; c < chunks; ++c) {
    const int left = count - 64 * c;
    const __mmask64 valid = left >= 64 ? ~__mmask64{0} : (__mmask64{1} << left) - 1;
    chunk[c] = _mm512_maskz_loadu_epi8(valid, lengths + 64 * c);
    tooLong |= _mm512_cmpgt_epu8_mask(chunk[c], _mm512_set1_epi8(static_cast<char>(maxAllowed)));
  }
  for (int len = 1; len <= maxAllowed; ++len) {
    const __m512i wanted = _mm512_set1_epi8(static_cast<char>(len));
    int n = 0;
    for (int c = 0; c < chunks; ++c) {
      const __mmask64 has = _mm512_cmpeq_epi8_mask(chunk[c], wanted);
      census.Has[len][c] = has;
      n += __builtin_popcountll(has);
    }
    census.Count[len] = n;
  }
  for (int len = maxAllowed + 1; len < 16; ++len) census.Count[len] = 0;
  census.All = tooLong ? 0xFF : 0;
  census.Chunks = chunks;
  census.HasMasks = true;
}

// Writes up to 32 entries past the used symbols.
TARVO_TARGET_AVX512_SORT void SortByLengthVector(int maxLen, const TVmDfLengthCensus& census,
                                                 std::uint16_t* sorted) noexcept {
  alignas(64) static constexpr auto kNumbers = [] {
    std::array<std::uint16_t, 64 * kLengthChunks> n{};
    for (int i = 0; i < 64 * kLengthChunks; ++i) n[static_cast<std::size_t>(i)] = static_cast<std::uint16_t>(i);
    return n;
  }();
  int placed = 0;
  for (int len = 1; len <= maxLen; ++len) {
    for (int c = 0; c < census.Chunks; ++c) {
      // A compress packs 32 numbers of 16 bits: the mask of 64 symbols in two halves.
      const std::uint64_t has = census.Has[len][c];
      if (!has) continue;
      const auto low = static_cast<__mmask32>(has), high = static_cast<__mmask32>(has >> 32);
      _mm512_storeu_si512(sorted + placed, _mm512_maskz_compress_epi16(low, _mm512_load_si512(&kNumbers[64 * c])));
      placed += __builtin_popcount(low);
      _mm512_storeu_si512(sorted + placed,
                          _mm512_maskz_compress_epi16(high, _mm512_load_si512(&kNumbers[64 * c + 32])));
      placed += __builtin_popcount(high);
    }
  }
}
#endif

}  // namespace

void UsePlainTableBuild(bool plain) noexcept {
#if defined(__x86_64__)
  tPlainBuild = plain;
#else
  (void)plain;
#endif
}

void TVmDfDecodeHuffmanTree::Recycle() noexcept { TreeBuffers::Give(FDecodes, TableSize()); }

TVmDfDecodeHuffmanTree::TVmDfDecodeHuffmanTree(TVmDfAlphabet alphabet, int alphaSize, bool deflate64,
                                               TVmDfHuffmanUsage usage)
    : FAlphaSize(alphaSize),
      FDefMaxCodeLen(alphabet == TVmDfAlphabet::daCodeLength ? 7 : kMaxBits),
      FUsage(usage),
      FPrimaryBits(alphabet == TVmDfAlphabet::daLitLen ? 11 : alphabet == TVmDfAlphabet::daDistance ? 8 : 7) {
  FDecodes = TreeBuffers::Take(TableSize());
  FDecodes[0] = dfentry::kInvalid;
  FLiteralFlag = alphabet == TVmDfAlphabet::daLitLen ? dfentry::kLiteral : 0;
  const int mode = deflate64 ? 1 : 0;
  FTemplates = alphabet == TVmDfAlphabet::daLitLen     ? kTemplates.LitLen[mode]
               : alphabet == TVmDfAlphabet::daDistance ? kTemplates.Dist[mode]
                                                       : kTemplates.CodeLen;
}

void TVmDfDecodeHuffmanTree::Build(const std::uint8_t* lengths, int count) {
  count = std::min(count, FAlphaSize);
  TVmDfLengthCensus census;
#if defined(__x86_64__)
  if (VectorCensusSupported())
    CountLengthsVector(lengths, count, FDefMaxCodeLen, census);
  else
#endif
    CountLengths(lengths, count, census);
  int* const lengthCount = census.Count;
  if (census.All > static_cast<unsigned>(FDefMaxCodeLen))
    throw EVmInternalInflateError(
        core::Format(core::LoadResString(SInfCodeTooLong), {std::to_string(FDefMaxCodeLen)}));
  lengthCount[0] = 0;
  int maxLen = FDefMaxCodeLen;
  while (maxLen > 0 && lengthCount[maxLen] == 0) --maxLen;
  FMaxCodeLen = maxLen;

  // More codes of some length than the shorter codes leave room for: no prefix-free
  // reading exists, so no encoder wrote it. Incomplete sets (room left over) are legal
  // (a single distance code, for one) and decode their unreached patterns as kInvalid.
  int left = 1;
  for (int len = 1; len <= kMaxBits; ++len) {
    left = (left << 1) - lengthCount[len];
    if (left < 0) throw EVmInternalInflateError(core::LoadResString(SInfOverSubscribed));
  }
  BuildTwoLevel(lengths, count, census, left == 0);
}

void TVmDfDecodeHuffmanTree::BuildTwoLevel(const std::uint8_t* lengths, int count, const TVmDfLengthCensus& census,
                                           bool complete) {
  const int* const lengthCount = census.Count;
  // Short codes are replicated over the whole primary width, so the width is the same
  // for every table of an alphabet.
  FTableBits = FPrimaryBits;
  const unsigned tb = FTableBits;
  const std::uint32_t primarySize = 1u << tb;
  std::uint32_t* t = FDecodes.get();
  if (FMaxCodeLen == 0) {
    std::fill(t, t + primarySize, dfentry::kInvalid);
    return;
  }
  // The primary table grows by doubling: the codes of length n are stored once in a table
  // of 2^n entries, which then is copied onto its upper half until it is 2^tb wide, so each
  // short code ends up at every index that continues it. An incomplete code starts from
  // invalid entries; a complete one overwrites every entry on the way.
  unsigned curLen = 1;
  std::uint32_t curSize = 2;
  if (!complete) t[0] = t[1] = dfentry::kInvalid;
  auto growTo = [&](unsigned len) {
    while (curLen < len) {
      std::memcpy(t + curSize, t, curSize * sizeof(std::uint32_t));
      curSize *= 2;
      ++curLen;
    }
  };

  // The entry of a symbol with its code length. (Locals: the stores into the table could
  // otherwise be the members, which would be read again for every entry.) A literal's code
  // length goes into its low bits only. An invalid entry stays invalid whatever is added.
  const std::uint32_t* const templates = FTemplates;
  const std::uint32_t literalFlag = FLiteralFlag;
  auto entryFor = [templates, literalFlag](int symbol, unsigned codeLen) {
    const std::uint32_t e = templates[symbol];
    return (e & literalFlag) ? e + codeLen : e + codeLen * 0x101u;
  };

  std::uint16_t sorted[2 * kMaxSymbols];
#if defined(__x86_64__)
  if (census.HasMasks)
    SortByLengthVector(FMaxCodeLen, census, sorted);
  else
#endif
    SortByLength(lengths, count, census, sorted);
  int total = 0;
  for (int len = 1; len <= kMaxBits; ++len) total += lengthCount[len];

  // Codes that fit the primary table, one length at a time: the canonical codes of one
  // length are consecutive, and the next length starts at twice the code after the last.
  std::uint32_t code = 0;
  int i = 0;
  const unsigned shortLimit = std::min(tb, static_cast<unsigned>(FMaxCodeLen));
  for (unsigned len = 1; len <= shortLimit; ++len, code <<= 1) {
    const int end = i + lengthCount[len];
    if (i == end) continue;
    growTo(len);
    for (; i < end; ++i, ++code) t[kReversed11[code << (11 - len)]] = entryFor(sorted[i], len);
  }
  growTo(tb);

  // Longer codes: a subtable per primary prefix.
  int remaining[kMaxBits + 1];
  std::copy(lengthCount, lengthCount + kMaxBits + 1, remaining);
  unsigned prevLen = tb + 1;
  std::uint32_t curPrefix = ~0u, subStart = 0;
  unsigned subBits = 0;
  std::uint32_t nextFree = primarySize;
  for (; i < total; ++i) {
    const int s = sorted[i];
    const unsigned n = lengths[s];
    code <<= (n - prevLen);
    prevLen = n;
    const std::uint32_t rev = Reverse(code, n);
    const std::uint32_t prefix = rev & (primarySize - 1);
    if (prefix != curPrefix) {
      // The subtable must hold every code that shares this prefix: widen it until the
      // codes still to place fill it (or the longest length is reached).
      subBits = n - tb;
      int room = (1 << subBits) - remaining[n];
      while (room > 0 && tb + subBits < static_cast<unsigned>(FMaxCodeLen)) {
        ++subBits;
        room = (room << 1) - remaining[tb + subBits];
      }
      subStart = nextFree;
      nextFree += 1u << subBits;
      if (!complete) std::fill(t + subStart, t + nextFree, dfentry::kInvalid);
      t[prefix] = MakeEntry(dfentry::kSubtable, subStart, subBits, tb - subBits);
      curPrefix = prefix;
    }
    const unsigned rel = n - tb;
    const std::uint32_t entry = entryFor(s, rel);
    for (std::uint32_t idx = rev >> tb; idx < (1u << subBits); idx += 1u << rel) t[subStart + idx] = entry;
    --remaining[n];
    ++code;
  }
}

}  // namespace tarvo::unzip
