// Raw Deflate / Deflate64 decoding (RFC 1951; Deflate64 as in the PKWARE application note's
// "enhanced deflating": 64 KiB window, length symbol 285 with 16 extra bits, distance
// symbols 30 and 31).
//
// Block syntax, least significant bit first:
//   BFINAL (1) BTYPE (2)
//   BTYPE 0: align, LEN (16) NLEN (16), LEN raw bytes
//   BTYPE 1: symbols with the fixed codes
//   BTYPE 2: HLIT (5) HDIST (5) HCLEN (4), HCLEN+4 code-length code lengths (3 each),
//            HLIT+257 + HDIST+1 code lengths coded with them, then the symbols
//   BTYPE 3: reserved (an error)
#include "unzip/inflate/inflate.h"

#include <cstring>
#include <memory>
#include <optional>

#include "core/file_stream.h"
#include "core/format.h"
#include "unzip/inflate/decode_huffman_tree.h"
#include "unzip/inflate/in_bit_stream.h"
#include "unzip/inflate/inflate_error.h"
#include "unzip/inflate/inflate_strings.h"
#include "unzip/inflate/output_window.h"

namespace tarvo::unzip {

void RaiseInflateError(const core::TResourceString& cause) {
  throw EVmInternalInflateError(core::LoadResString(cause));
}

namespace {

using namespace dfentry;

constexpr int kMaxLitCodes = 286;
constexpr int kMaxDistCodes = 30;
constexpr int kMaxDistCodes64 = 32;
// The farthest a match reaches back.
constexpr std::size_t kMaxDistance = 32768;
constexpr std::size_t kMaxDistance64 = 65536;
// HLIT + HDIST can declare at most 286 + 32 lengths.
constexpr int kMaxCodeLengths = 318;
// Room after them for the word-wide stores of a repeat.
constexpr int kLengthsSlack = 8;
// The code-length alphabet, and the order in which a dynamic block sends its code lengths.
constexpr int kCodeLengthCodes = 19;
constexpr std::uint8_t kCodeLengthOrder[kCodeLengthCodes] = {16, 17, 18, 0, 8, 7, 9, 6, 10, 5, 11, 4, 12, 3, 13, 2, 14, 1, 15};

// The fixed codes never change: built once, on first use, for each mode.
struct TVmDfFixedTrees {
  TVmDfDecodeHuffmanTree LitLen;
  TVmDfDecodeHuffmanTree Dist;
  explicit TVmDfFixedTrees(bool deflate64)
      : LitLen(TVmDfAlphabet::daLitLen, 288, deflate64, TVmDfHuffmanUsage::huBoth),
        Dist(TVmDfAlphabet::daDistance, 32, deflate64, TVmDfHuffmanUsage::huBoth) {
    std::uint8_t lengths[288];
    std::memset(lengths, 8, 144);
    std::memset(lengths + 144, 9, 112);
    std::memset(lengths + 256, 7, 24);
    std::memset(lengths + 280, 8, 8);
    LitLen.Build(lengths, 288);
    std::memset(lengths, 5, 32);
    Dist.Build(lengths, 32);
  }
};

const TVmDfFixedTrees& FixedTrees(bool deflate64) {
  static const TVmDfFixedTrees deflate(false);
  static const TVmDfFixedTrees deflate64Trees(true);
  return deflate64 ? deflate64Trees : deflate;
}

inline std::uint64_t Load64(const std::uint8_t* p) noexcept {
  std::uint64_t v;
  std::memcpy(&v, p, 8);
  return v;
}

inline void Store64(std::uint8_t* p, std::uint64_t v) noexcept { std::memcpy(p, &v, 8); }

inline std::uint64_t LowBits(std::uint64_t v, unsigned n) noexcept { return v & ((std::uint64_t{1} << n) - 1); }

// The low bits of v, as many as the low byte of count says (below 64). The BMI2 build of the
// decode loop does it in one bzhi, which takes that count as it stands; GCC would build a
// mask with a shift and an andn, through a register that holds all ones.
template <bool kBmi2>
__attribute__((always_inline)) inline std::uint64_t KeepLow(std::uint64_t v, std::uint64_t count) noexcept {
#if defined(__x86_64__)
  if constexpr (kBmi2) {
    std::uint64_t r;
    asm("bzhi %2, %1, %0" : "=r"(r) : "r"(v), "r"(count));
    return r;
  }
#endif
  return LowBits(v, count & 63);
}

// The primary index that follows a literal: the bits after its code, as many as the
// table's width. A literal entry's low 16 bits say both, so the BMI build takes them in one
// bextr, straight from the entry just loaded.
template <bool kBmi2>
__attribute__((always_inline)) inline std::uint64_t IndexAfterLiteral(std::uint64_t bits, std::uint64_t entry,
                                                                     unsigned width) noexcept {
#if defined(__x86_64__)
  if constexpr (kBmi2) {
    std::uint64_t r;
    asm("bextr %2, %1, %0" : "=r"(r) : "r"(bits), "r"(entry));
    return r;
  }
#endif
  return LowBits(bits >> (entry & 63), width);
}

// Matches reaching back less than 8 bytes overlap every word the copy writes. Reading that
// back word by word would make every load wait for the store just before it; instead one
// period of the pattern is taken into a register before the first store and then stored
// again and again, a whole number of periods further each time. May write up to 15 bytes
// past the end.
__attribute__((always_inline)) inline void CopyNearMatch(std::uint8_t* dst, std::size_t dist, std::size_t length) noexcept {
  const std::uint8_t* src = dst - dist;
  std::uint8_t* const end = dst + length;
  if (dist == 1) {
    const std::uint64_t v = src[0] * 0x0101010101010101ull;
    do {
      Store64(dst, v);
      Store64(dst + 8, v);
      dst += 16;
    } while (dst < end);
  } else {
    // A word of the pattern from its start, stored every whole number of periods that fits
    // in a word. It is gathered byte by byte on purpose: a word read over bytes just written
    // waits for every store it spans, and both a masked word load and a table in place of
    // the division measured 3% slower on whole corpora.
    std::uint8_t word[8];
    for (std::size_t i = 0; i < 8; ++i) word[i] = src[i % dist];
    const std::uint64_t v = Load64(word);
    const std::size_t step = 8 / dist * dist;
    do {
      Store64(dst, v);
      dst += step;
    } while (dst < end);
  }
}

inline void Copy16(std::uint8_t* dst, const std::uint8_t* src) noexcept { std::memcpy(dst, src, 16); }

// Copies a match of length bytes from distance bytes back. Overlapping copies repeat the
// pattern, as the format requires. May write up to 31 bytes past the end (garbage that
// later output overwrites before anything can read it). The copy goes in pieces, in order,
// no larger than the distance: each piece then reads only bytes that earlier pieces or
// earlier symbols wrote, so one path serves every distance from 16 bytes on, and the test
// that leaves it (about one match in twenty) seldom costs a misprediction. Most matches
// are short, so the first 32 bytes go without a loop branch.
__attribute__((always_inline)) inline void CopyMatch(std::uint8_t* dst, std::size_t dist, std::size_t length) noexcept {
  if (dist < 16) [[unlikely]] {
    if (dist >= 8) {
      const std::uint8_t* src = dst - dist;
      std::uint8_t* const end = dst + length;
      do {
        Store64(dst, Load64(src));
        Store64(dst + 8, Load64(src + 8));
        dst += 16;
        src += 16;
      } while (dst < end);
      return;
    }
    CopyNearMatch(dst, dist, length);
    return;
  }
  const std::uint8_t* src = dst - dist;
  Copy16(dst, src);
  Copy16(dst + 16, src + 16);
  if (length <= 32) [[likely]]
    return;
  std::uint8_t* const end = dst + length;
  dst += 32;
  src += 32;
  do {
    Copy16(dst, src);
    Copy16(dst + 16, src + 16);
    dst += 32;
    src += 32;
  } while (dst < end);
}

thread_local bool tPlainLoop = false;

bool Bmi2LoopSupported() noexcept {
  static const bool supported =
      __builtin_cpu_supports("bmi") && __builtin_cpu_supports("bmi2");
  return supported;
}

class TVmDfInflater {
public:
  ~TVmDfInflater() {
    FLitLen.Recycle();
    FDist.Recycle();
    FCodeLen.Recycle();
  }
  TVmDfInflater(const TVmDfInflater&) = delete;
  TVmDfInflater& operator=(const TVmDfInflater&) = delete;
  TVmDfInflater(TVmDfInBitStream& in, TVmDfOutputWindow& out, bool deflate64)
      : FIn(in),
        FOut(out),
        FDeflate64(deflate64),
        FBmi2(Bmi2LoopSupported() && !tPlainLoop),
        FLitLen(TVmDfAlphabet::daLitLen, kMaxLitCodes, deflate64),
        FDist(TVmDfAlphabet::daDistance, deflate64 ? kMaxDistCodes64 : kMaxDistCodes, deflate64),
        FCodeLen(TVmDfAlphabet::daCodeLength, kCodeLengthCodes, deflate64) {}

  void Run() {
    bool final;
    do {
      final = FIn.ReadHeaderBit();
      switch (FIn.ReadHeaderBits(2)) {
        case 0: InflateStoredBlock(); break;
        case 1: DecodeData(FixedTrees(FDeflate64).LitLen, FixedTrees(FDeflate64).Dist); break;
        case 2: InflateDynamicBlock(); break;
        default: RaiseInflateError(SInfInvalidBlockType);
      }
    } while (!final);
  }

private:
  void InflateStoredBlock() {
    FIn.AlignToByte();
    std::uint8_t header[4];
    FIn.ReadBuffer(header, 4);
    const unsigned len = header[0] | (header[1] << 8);
    const unsigned nlen = header[2] | (header[3] << 8);
    if ((len ^ 0xFFFF) != nlen) RaiseInflateError(SInfStoredLength);
    std::size_t left = len;
    while (left > 0) {
      if (FOut.FCurrent >= FOut.FStop) FOut.Overflow();
      const std::size_t n = std::min(left, FOut.Room());
      FIn.ReadBuffer(FOut.FCurrent, n);
      FOut.FCurrent += n;
      left -= n;
    }
    if (FOut.FCurrent >= FOut.FStop) FOut.Overflow();
  }

  void InflateDynamicBlock() {
    const int hlit = static_cast<int>(FIn.ReadHeaderBits(5)) + 257;
    const int hdist = static_cast<int>(FIn.ReadHeaderBits(5)) + 1;
    const int hclen = static_cast<int>(FIn.ReadHeaderBits(4)) + 4;
    if (hlit > kMaxLitCodes) RaiseInflateError(SInfTooManyLitCodes);
    if (hdist > kMaxDistCodes && !FDeflate64) RaiseInflateError(SInfTooManyDistCodes);
    std::uint8_t clLengths[kCodeLengthCodes] = {};
    for (int i = 0; i < hclen; ++i) clLengths[kCodeLengthOrder[i]] = static_cast<std::uint8_t>(FIn.ReadHeaderBits(3));
    FCodeLen.Build(clLengths, kCodeLengthCodes);
    std::uint8_t lengths[kMaxCodeLengths + kLengthsSlack] = {};
    ReadLitDistCodeLengths(lengths, hlit + hdist);
    FLitLen.Build(lengths, hlit);
    FDist.Build(lengths + hlit, hdist);
    DecodeData(FLitLen, FDist);
  }

  void ReadLitDistCodeLengths(std::uint8_t* lengths, int total) {
    const unsigned maxLen = static_cast<unsigned>(FCodeLen.MaxCodeLen());
    int i = 0;
    while (i < total) {
      if (FIn.HasFastInput()) {
        i = FBmi2 ? ReadCodeLengthsBmi2(lengths, i, total) : ReadCodeLengthsFast(lengths, i, total);
        continue;
      }
      const std::uint64_t bits = FIn.PeekBits(maxLen + 7);
      unsigned prefix;
      const std::uint32_t e = FCodeLen.Decode(bits, prefix);
      if (e & kInvalid) RaiseInflateError(SInfBadCodeLenSymbol);
      const unsigned symbol = Value(e);
      const unsigned codeLen = CodeLen(e);
      if (symbol > 18) RaiseInflateError(SInfBadCodeLenSymbol);
      if (codeLen == 0 || codeLen > maxLen) RaiseInflateError(SInfCodeLenOutOfRange);
      FIn.DiscardBits(Bits(e));
      if (symbol < 16) {
        lengths[i++] = static_cast<std::uint8_t>(symbol);
        continue;
      }
      const int repeat = RepeatRun(e, bits, i, total);
      const std::uint8_t value = symbol == 16 ? lengths[i - 1] : 0;
      std::memset(lengths + i, value, static_cast<std::size_t>(repeat));
      i += repeat;
    }
  }

  // The run a repeat symbol (16, 17 or 18) asks for, from the bits that start with its code;
  // refused when there is nothing to repeat or the run passes the lengths declared.
  static int RepeatRun(std::uint32_t e, std::uint64_t bits, int i, int total) {
    const unsigned symbol = Value(e);
    const int repeat = static_cast<int>(LowBits(bits >> CodeLen(e), ExtraBits(e))) + (symbol == 18 ? 11 : 3);
    if (symbol == 16 && i == 0) RaiseInflateError(SInfRepeatFirst);
    if (repeat > total - i) RaiseInflateError(SInfRepeatPastEnd);
    return repeat;
  }

  // The code lengths straight from the bit buffer while plenty of input is buffered. A
  // symbol and its extra bits take at most 14 bits, so one refill (at least 56) serves four
  // symbols; the entries of the repeat symbols count their extra bits in, so each symbol is
  // consumed with one shift. Small entries spend a good part of their time here. Returns
  // where it stopped. The BMI2 build shifts without the count register, which shortens the
  // chain of lookups from one symbol to the next.
  __attribute__((target("bmi,bmi2"), noinline)) int ReadCodeLengthsBmi2(std::uint8_t* lengths, int i, int total) {
    return ReadCodeLengthsFast(lengths, i, total);
  }

  __attribute__((always_inline)) inline int ReadCodeLengthsFast(std::uint8_t* lengths, int i, int total) {
    const std::uint8_t* in = FIn.FData + FIn.FBufPos;
    const std::uint8_t* const inEnd = FIn.FastEnd();
    std::uint64_t bitbuf = FIn.FBitBuffer;
    unsigned bitsLeft = FIn.FBitsLeft;
    const std::uint32_t* const table = FCodeLen.Table();
    constexpr std::uint64_t mask = (std::uint64_t{1} << kCodeLenPrimary) - 1;
    while (i < total && in < inEnd) {
      RefillWord(bitbuf, bitsLeft, in);
      for (int n = 0; n < 4 && i < total; ++n) {
        const std::uint32_t e = table[bitbuf & mask];
        if (e & kInvalid) RaiseInflateError(SInfBadCodeLenSymbol);
        const unsigned symbol = Value(e);
        const std::uint64_t saved = bitbuf;
        // Only the low six bits of bitsLeft count, as in the decode loop.
        bitbuf >>= e & 63;
        bitsLeft -= e;
        if (symbol < 16) {
          lengths[i++] = static_cast<std::uint8_t>(symbol);
          continue;
        }
        const int repeat = RepeatRun(e, saved, i, total);
        // Whole words, up to seven bytes past the run (the array has the room); a call to
        // memset for each run costs more than the stores.
        const std::uint64_t pattern = (symbol == 16 ? lengths[i - 1] : 0) * 0x0101010101010101ull;
        for (int k = 0; k < repeat; k += 8) Store64(lengths + i + k, pattern);
        i += repeat;
      }
    }
    FIn.FBufPos = static_cast<std::size_t>(in - FIn.FData);
    FIn.FBitBuffer = bitbuf;
    FIn.FBitsLeft = bitsLeft & 63;
    return i;
  }

  void DecodeData(const TVmDfDecodeHuffmanTree& lit, const TVmDfDecodeHuffmanTree& dist) {
    for (;;) {
      if (FOut.FCurrent >= FOut.FStop) {
        FOut.Overflow();
        continue;
      }
      if (FIn.HasFastInput()) {
        const bool done = FDeflate64 ? FastLoop<true>(lit, dist) : FastLoop<false>(lit, dist);
        if (done) return;
        continue;
      }
      if (CheckedSymbol(lit, dist)) return;
    }
  }

  // One symbol with every bit accounted for: used near the end of the buffered input.
  bool CheckedSymbol(const TVmDfDecodeHuffmanTree& lit, const TVmDfDecodeHuffmanTree& dist) {
    std::uint64_t bits = FIn.PeekBits(static_cast<unsigned>(lit.MaxCodeLen()) + 5 + (FDeflate64 ? 16 : 0));
    unsigned prefix;
    std::uint32_t e = lit.Decode(bits, prefix);
    if (e & kInvalid) RaiseInflateError(SInfBadLengthSymbol);
    if (e & (kLiteral | kEndOfBlock)) {
      FIn.DiscardBits(prefix + Bits(e));
      if (e & kEndOfBlock) return true;
      *FOut.FCurrent++ = Literal(e);
      return false;
    }
    const std::size_t length = Value(e) + LowBits(bits >> (prefix + CodeLen(e)), ExtraBits(e));
    FIn.DiscardBits(prefix + Bits(e));
    bits = FIn.PeekBits(static_cast<unsigned>(dist.MaxCodeLen()) + 14);
    e = dist.Decode(bits, prefix);
    if (e & kInvalid) RaiseInflateError(SInfBadDistSymbol);
    const std::size_t distance = Value(e) + LowBits(bits >> (prefix + CodeLen(e)), ExtraBits(e));
    FIn.DiscardBits(prefix + Bits(e));
    if (distance > FOut.History()) RaiseInflateError(SInfDistanceTooFar);
    CopyMatch(FOut.FCurrent, distance, length);
    FOut.FCurrent += length;
    return false;
  }

  // The hot loop: runs while at least kFastMargin input bytes are buffered and the output
  // is below its stop point. Returns true at the end of the block. Compiled for processors
  // with BMI2 (cheaper variable shifts and bit extraction) and without, and for a window
  // that already holds the longest distance's worth of history (every distance is then in
  // reach, as nearly always after the first 32 or 64 KiB) and one that may not.
  template <bool kDeflate64>
  bool FastLoop(const TVmDfDecodeHuffmanTree& lit, const TVmDfDecodeHuffmanTree& dist) {
    const bool full = FOut.History() >= (kDeflate64 ? kMaxDistance64 : kMaxDistance);
    if (FBmi2)
      return full ? FastLoopBmi2<kDeflate64, true>(lit, dist) : FastLoopBmi2<kDeflate64, false>(lit, dist);
    return full ? FastLoopBody<kDeflate64, true, false>(lit, dist) : FastLoopBody<kDeflate64, false, false>(lit, dist);
  }

  template <bool kDeflate64, bool kFullHistory>
  __attribute__((target("bmi,bmi2"), noinline, aligned(64))) bool FastLoopBmi2(const TVmDfDecodeHuffmanTree& lit,
                                                                             const TVmDfDecodeHuffmanTree& dist) {
    return FastLoopBody<kDeflate64, kFullHistory, true>(lit, dist);
  }

  // The primary table widths, constants here: a table is always built that wide.
  static constexpr unsigned kLitPrimary = 11;
  static constexpr unsigned kDistPrimary = 8;
  static constexpr unsigned kCodeLenPrimary = 7;

  template <bool kDeflate64, bool kFullHistory, bool kBmi2>
  __attribute__((always_inline)) inline bool FastLoopBody(const TVmDfDecodeHuffmanTree& lit,
                                                         const TVmDfDecodeHuffmanTree& dist) {
    const std::uint8_t* in = FIn.FData + FIn.FBufPos;
    const std::uint8_t* const inEnd = FIn.FastEnd();
    std::uint64_t bitbuf = FIn.FBitBuffer;
    unsigned bitsLeft = FIn.FBitsLeft;
    std::uint8_t* out = FOut.FCurrent;
    std::uint8_t* const outStop = FOut.FStop;
    std::uint8_t* const outBase = FOut.FBuffer.get();
    const std::uint32_t* const litTable = lit.Table();
    const std::uint64_t litMask = (std::uint64_t{1} << kLitPrimary) - 1;
    const std::uint32_t* const distTable = dist.Table();
    const std::uint64_t distMask = (std::uint64_t{1} << kDistPrimary) - 1;
    bool endOfBlock = false;
    const core::TResourceString* fault = nullptr;

    // Consuming subtracts a whole entry from bitsLeft: its low six bits are the bits it
    // takes, the shifts look at six bits anyway, and so does the refill, so no field has to
    // be masked out.
#define TARVO_REFILL() RefillWord(bitbuf, bitsLeft, in)
#define TARVO_CONSUME(entry)                    \
  bitbuf >>= ((entry) & 63);                    \
  bitsLeft -= (entry)
#define TARVO_LITERAL(entry) \
  TARVO_CONSUME(entry);       \
  *out++ = Literal(entry)
  // A literal, then the entry after it.
#define TARVO_LITERAL_THEN_NEXT(entry)                                                      \
  {                                                                                        \
    const std::uint64_t next = IndexAfterLiteral<kBmi2>(bitbuf, (entry), kLitPrimary); \
    TARVO_LITERAL(entry);                                                                  \
    (entry) = litTable[next];                                                              \
  }
    // Base plus the extra bits above the code. Length and distance entries have nothing in
    // bits 6 and 7 or 12 and 13, so the low byte is the bit count and the next six bits the
    // code length as they stand. (The Deflate64 loops keep the mask: with bzhi they ran
    // slower.)
#define TARVO_BASE_PLUS_EXTRA(entry, saved) \
  (Value(entry) + (KeepLow<kBmi2 && !kDeflate64>((saved), (entry)) >> (((entry) >> 8) & 63)))

    if (in < inEnd && out < outStop) {
      TARVO_REFILL();
      std::uint32_t e = litTable[bitbuf & litMask];
      // At the top of the loop at least 56 bits are in hand.
      for (;;) {
        if (e & kLiteral) {
          // Primary entries take at most 11 bits: four of them fit in what a refill gives,
          // with room for the next lookup. Up to four bytes may land past the stop point.
          TARVO_LITERAL_THEN_NEXT(e);
          if (kDeflate64 || (e & kLiteral) || (e & (kSubtable | kEndOfBlock | kInvalid))) {
            if (e & kLiteral) {
              TARVO_LITERAL_THEN_NEXT(e);
              if (e & kLiteral) {
                TARVO_LITERAL_THEN_NEXT(e);
                if (e & kLiteral) {
                  TARVO_LITERAL_THEN_NEXT(e);
                }
              }
            }
            // A refill keeps an entry already looked up valid.
            if ((in >= inEnd) | (out >= outStop)) break;
            TARVO_REFILL();
            continue;
          }
          // One literal, then a length from the primary table: straight on to the match,
          // without the refill and the stop tests. The 45 bits or more still in hand
          // cover the length (16 bits at most with its extra bits) and the distance (28);
          // the 55 bits of the whole step stay within what the input margins allow; and
          // the match tests the stop points for the byte just written too. (Deflate64's
          // longer lengths would pass those margins.)
        } else if (e & (kSubtable | kEndOfBlock | kInvalid)) [[unlikely]] {
          if (e & kSubtable) {
            TARVO_CONSUME(kLitPrimary);
            e = litTable[Value(e) + (bitbuf & SubtableMask(e))];
            if (e & kLiteral) {
              TARVO_LITERAL(e);
              if ((in >= inEnd) | (out >= outStop)) break;
              TARVO_REFILL();
              e = litTable[bitbuf & litMask];
              continue;
            }
          }
          if (e & (kEndOfBlock | kInvalid)) {
            if (e & kInvalid) {
              fault = &SInfBadLengthSymbol;
              break;
            }
            TARVO_CONSUME(e);
            endOfBlock = true;
            break;
          }
        }
        std::uint64_t saved = bitbuf;
        TARVO_CONSUME(e);
        const std::size_t length = TARVO_BASE_PLUS_EXTRA(e, saved);
        if (kDeflate64 && !(bitsLeft & 32)) {
          TARVO_REFILL();
        }
        std::uint32_t d = distTable[bitbuf & distMask];
        if (d & (kSubtable | kInvalid)) [[unlikely]] {
          if (d & kSubtable) {
            TARVO_CONSUME(kDistPrimary);
            d = distTable[Value(d) + (bitbuf & SubtableMask(d))];
          }
          if (d & kInvalid) {
            fault = &SInfBadDistSymbol;
            break;
          }
        }
        saved = bitbuf;
        TARVO_CONSUME(d);
        const std::size_t distance = TARVO_BASE_PLUS_EXTRA(d, saved);
        if (!kFullHistory && distance > static_cast<std::size_t>(out - outBase)) [[unlikely]] {
          fault = &SInfDistanceTooFar;
          break;
        }
        if ((in >= inEnd) | (out + length >= outStop)) [[unlikely]] {
          CopyMatch(out, distance, length);
          out += length;
          break;
        }
        // Look the next symbol up before copying, so the table read overlaps the copy, and
        // before the refill when the bits in hand cover a primary lookup (they nearly
        // always do), so the read does not wait for the refill either.
        const bool fewBits = (bitsLeft & 63) < kLitPrimary;
        e = litTable[bitbuf & litMask];
        TARVO_REFILL();
        if (fewBits) [[unlikely]]
          e = litTable[bitbuf & litMask];
        CopyMatch(out, distance, length);
        out += length;
      }
    }
#undef TARVO_REFILL
#undef TARVO_CONSUME
#undef TARVO_LITERAL
#undef TARVO_LITERAL_THEN_NEXT
#undef TARVO_BASE_PLUS_EXTRA
    FIn.FBufPos = static_cast<std::size_t>(in - FIn.FData);
    FIn.FBitBuffer = bitbuf;
    FIn.FBitsLeft = bitsLeft & 63;
    FOut.FCurrent = out;
    if (fault) RaiseInflateError(*fault);
    return endOfBlock;
  }

  TVmDfInBitStream& FIn;
  TVmDfOutputWindow& FOut;
  bool FDeflate64;
  bool FBmi2;  // the BMI2 build of the decode loop
  TVmDfDecodeHuffmanTree FLitLen;
  TVmDfDecodeHuffmanTree FDist;
  TVmDfDecodeHuffmanTree FCodeLen;
};

// Diagnostics only: a plain text file of lines.
class TVmLogger {
public:
  explicit TVmLogger(const std::string& fileName) : FFile(fileName, core::fmCreate) {}
  void WriteLine(const std::string& line) {
    FFile.WriteBuffer(line.data(), line.size());
    FFile.WriteBuffer("\n", 1);
  }

private:
  core::TFileStream FFile;
};

}  // namespace

void UsePlainInflateLoop(bool plain) noexcept {
  tPlainLoop = plain;
  UsePlainTableBuild(plain);
}

std::uint32_t Inflate(core::TStream& source, core::TStream& dest, TVmDeflateHelper* helper) {
  TVmDeflateHelper settings = helper ? *helper : TVmDeflateHelper{};
  std::int64_t streamSize = 0;
  if (settings.FOnProgressStep) streamSize = settings.FStreamSize == -1 ? source.Size() : settings.FStreamSize;

  std::optional<TVmLogger> log;
  if (!settings.FLogFile.empty()) {
    log.emplace(settings.FLogFile);
    log->WriteLine(core::LoadResString(SInfLogStart));
    log->WriteLine(core::LoadResString(SInfLogNoLogging));
  }

  const bool deflate64 = settings.FOptions & dfc_Deflate64;
  const bool testOnly = settings.FOptions & dfc_TestOnly;
  TVmDfInBitStream in(source, streamSize, settings.FOnProgressStep);
  TVmDfOutputWindow out(dest, deflate64, !(settings.FOptions & dfc_UseAdler32), testOnly, settings.FPartSize);
  std::uint32_t checksum = 0;
  try {
    TVmDfInflater(in, out, deflate64).Run();
    checksum = out.Finish();
  } catch (const EVmInternalInflateError& e) {
    if (log) log->WriteLine(core::Format(core::LoadResString(SInfLogInternalError), {e.Message()}));
    throw;
  } catch (const TVmDfPartDone&) {
    checksum = 0;
  } catch (const TVmDfStopDecoding&) {
    out.Finish();
    checksum = 0;
  }
  if (helper) {
    helper->FSizeCompressed = in.ByteCount();
    helper->FSizeNormal = out.Produced();
    helper->FSizeConsumed = in.ConsumedBytes();
  }
  return checksum;
}

}  // namespace tarvo::unzip
