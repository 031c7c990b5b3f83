// Least-significant-bit-first reader over the compressed input. Input is read from the
// source in 16 KiB blocks; the bytes consumed from the source (ByteCount) include what was
// read ahead into the block and are never given back. A source that lends its bytes
// (memory) is read in place, block by block, with the same read-ahead, until its last
// bytes, which are copied so that zeros follow them.
//
// The reader keeps up to 64 bits in a bit buffer. Its read-ahead from the source follows
// 32-bit groups: a peek that needs bits beyond the current group, when fewer than four
// unread bytes remain in the block, refills the block first. Past the end of the input a
// peek sees zero bits; consuming any bit beyond the last real one raises the internal
// decoder error "no more compressed data in stream [...]".
//
// The decode loop works on FBuffer/FBufPos/FBitBuffer/FBitsLeft directly while enough input
// is buffered (FastEnd) and falls back to the checked operations near the end of a block.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>

#include "core/resource_string.h"
#include "core/stream.h"
#include "unzip/inflate/inflate.h"

namespace tarvo::unzip {

// The branch-free word refill of the fast paths: the bit buffer to 56..63 bits, taking
// whole bytes. The bits above the count are already the right future input, so loading them
// again later is harmless, and only the low six bits of bitsLeft count. At least eight bytes
// must follow in. (Not forced inline: with always_inline, GCC 12 laid the decode loop out
// 2% slower.)
inline void RefillWord(std::uint64_t& bitbuf, unsigned& bitsLeft, const std::uint8_t*& in) noexcept {
  std::uint64_t word;
  std::memcpy(&word, in, 8);
  bitbuf |= word << (bitsLeft & 63);
  in += 7 - ((bitsLeft >> 3) & 7);
  bitsLeft |= 56;
}

// Thrown when the progress callback asks to stop; Inflate ends without an error.
struct TVmDfStopDecoding {};

class TVmDfInBitStream {
public:
  static constexpr std::size_t kBufferSize = 16384;
  // Unread input the fast path needs ahead of its read pointer, so that it never decodes a
  // symbol for which the checked path would read ahead. That path refills only for a symbol
  // that starts in the last 7 bytes of the block (its peek must cross into the last group
  // of four bytes). One step of the fast path consumes at most 60 bits from a bit position
  // at or before its read pointer, so its symbols start less than 7 bytes past that
  // pointer: 14 bytes would do.
  static constexpr std::size_t kFastMargin = 16;
  // Once the whole rest of the input is buffered no refill can be due, and one step of the
  // fast path consumes at most 60 bits from a bit position at or before its read pointer:
  // this margin keeps every consumed bit a real one. Small entries decode almost entirely
  // on the fast path this way.
  static constexpr std::size_t kFinalMargin = 8;

  // streamSize > 0 with onProgress set enables progress reports.
  TVmDfInBitStream(core::TStream& stream, std::int64_t streamSize, TVmProgressStepEvent onProgress);
  ~TVmDfInBitStream();
  TVmDfInBitStream(const TVmDfInBitStream&) = delete;
  TVmDfInBitStream& operator=(const TVmDfInBitStream&) = delete;

  bool ReadBit();
  std::uint32_t ReadBits(unsigned count);  // 1..16
  // Makes count (1..36) bits available at the low end of the returned value: the caller
  // decodes from them and then discards what the code used.
  std::uint64_t PeekBits(unsigned count);
  void DiscardBits(unsigned count);  // at most what was peeked
  // ReadBit and ReadBits for the fields of block headers: straight from the bit buffer,
  // with a word-wide refill, while the fast path may run (which reads no input), else the
  // checked reads.
  bool ReadHeaderBit() { return HasFastInput() ? TakeBuffered(1) : ReadBit(); }
  std::uint32_t ReadHeaderBits(unsigned count) {  // 1..16
    return HasFastInput() ? TakeBuffered(count) : ReadBits(count);
  }
  void AlignToByte();
  void ReadBuffer(void* buffer, std::size_t count);

  // Bytes taken from the source so far (read-ahead included).
  std::int64_t ByteCount() const noexcept { return FTotalRead; }
  // Bytes holding the bits decoded so far (a partly used last byte counts).
  std::int64_t ConsumedBytes() const noexcept { return (BitPosition() + 7) / 8; }

  // Fast path access: the loop may run while FData + FBufPos < FastEnd().
  const std::uint8_t* FastEnd() const noexcept {
    const std::size_t margin = FEndOfInput ? kFinalMargin : kFastMargin;
    return FBufEnd > margin ? FData + (FBufEnd - margin) : FData;
  }
  bool HasFastInput() const noexcept { return FData + FBufPos < FastEnd(); }

  const std::uint8_t* FData;  // the block: FBuffer, or the lent bytes at FBufBase
  std::size_t FBufPos = 0;    // next byte not yet in the bit buffer
  std::size_t FBufEnd = 0;    // end of the real bytes in the block
  std::uint64_t FBitBuffer = 0;
  unsigned FBitsLeft = 0;

private:
  std::int64_t BitPosition() const noexcept {
    return 8 * (FBufBase + static_cast<std::int64_t>(FBufPos)) - FBitsLeft;
  }
  // The end (absolute byte offset) of the 32-bit group that holds the given bit position.
  std::int64_t GroupEnd(std::int64_t bitPos) const noexcept {
    return FGroupBase + 4 * ((bitPos - 8 * FGroupBase + 31) / 32);
  }
  std::uint32_t TakeBuffered(unsigned count) noexcept {
    if (FBitsLeft < count) {
      const std::uint8_t* in = FData + FBufPos;
      RefillWord(FBitBuffer, FBitsLeft, in);
      FBufPos = static_cast<std::size_t>(in - FData);
    }
    const auto value = static_cast<std::uint32_t>(FBitBuffer & ((1u << count) - 1));
    FBitBuffer >>= count;
    FBitsLeft -= count;
    return value;
  }
  void NeedBits(unsigned count);
  void Load() noexcept;
  void GiveBackBytes() noexcept;
  void Refill(std::size_t unread);
  void CheckAvailable(unsigned count, const core::TResourceString& message) const;

  std::unique_ptr<std::uint8_t[]> FBuffer;
  core::TStream& FStream;
  const std::uint8_t* FLent = nullptr;  // the source's bytes from where decoding started
  std::size_t FLentSize = 0;
  std::int64_t FBufBase = 0;    // absolute input offset of FData[0]
  std::int64_t FGroupBase = 0;  // where 32-bit grouping starts (after a byte-wise read)
  std::int64_t FTotalRead = 0;
  bool FEndOfInput = false;
  std::int64_t FStreamSize;
  TVmProgressStepEvent FOnProgress;
};

}  // namespace tarvo::unzip
