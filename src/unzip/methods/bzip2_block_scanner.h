// The input of a bzip2 stream read ahead, and every block magic and end mark found in it
// at whatever bit they start: where a stream can be cut into blocks that decode on their
// own. The scanner only finds candidates; a magic may also occur inside block data.
#pragma once

#include <cstdint>
#include <cstring>
#include <deque>
#include <memory>
#include <new>
#include <utility>
#include <vector>

#include "core/stream.h"

namespace tarvo::unzip {

namespace bzip2 {

// Stream grammar (bits, most significant first):
//   stream = "BZh" level('1'..'9') block* end-mark combined-crc(32) padding-to-byte
//   block  = block-magic(48) block-crc(32) randomised(1) orig-ptr(24) tables huffman-data
//   combined-crc = for each block: crc = (crc <<< 1) ^ block-crc, from 0
inline constexpr std::uint64_t kBlockMagic = 0x314159265359;
inline constexpr std::uint64_t kEndMagic = 0x177245385090;
inline constexpr std::uint64_t kMagicBits = 48;
// "BZh" and the level digit.
inline constexpr std::uint64_t kHeaderBits = 32;
// A magic and the CRC after it: no other magic can start inside them.
inline constexpr std::uint64_t kMagicAndCrcBits = 80;

}  // namespace bzip2

struct TBzip2Magic {
  std::uint64_t Bit;  // of the input, from the stream's first byte
  bool IsEnd;         // the end mark, else a block magic
};

// Bytes that a resize leaves as they are: input is read over them at once, and clearing a
// megabyte of read-ahead for every small entry cost more than decoding it.
template <class T>
struct TUninitialised : std::allocator<T> {
  template <class U>
  struct rebind {
    using other = TUninitialised<U>;
  };
  TUninitialised() = default;
  template <class U>
  TUninitialised(const TUninitialised<U>&) noexcept {}
  template <class U>
  void construct(U* p) noexcept {
    ::new (static_cast<void*>(p)) U;
  }
  template <class U, class... Args>
  void construct(U* p, Args&&... args) {
    ::new (static_cast<void*>(p)) U(std::forward<Args>(args)...);
  }
};

// The input read so far (from the oldest bit still needed), and every magic found in it.
// Bits count from the input's position at construction (or at Restart). Reading errors of
// the input propagate.
class TBzip2BlockScanner {
public:
  // Input is read ahead in pieces of this size.
  static constexpr std::size_t kReadPiece = 1 << 20;

  explicit TBzip2BlockScanner(core::TStream& input) : FInput(input) {}

  // Reads another piece and finds the magics in it; false when the input has ended.
  bool ReadMore();
  bool Ended() const { return FEnded; }
  // Starts again at the input's position `start` (where the stream began), bytes only.
  void Restart(std::int64_t start);
  // From now on only bytes are wanted, no magics.
  void StopScanning() { FScanning = false; }
  std::uint64_t EndBit() const { return (FBase + FBytes.size()) * 8; }
  // Makes sure the input reaches bit; false when it ends before.
  bool Reach(std::uint64_t bit) {
    while (EndBit() < bit)
      if (!ReadMore()) return false;
    return true;
  }
  // The byte that starts at any bit held (zero bits past the end).
  std::uint8_t ByteAt(std::uint64_t bit) const {
    const std::size_t i = static_cast<std::size_t>(bit / 8 - FBase);
    const unsigned shift = bit % 8;
    const unsigned hi = i < FBytes.size() ? FBytes[i] : 0;
    if (shift == 0) return static_cast<std::uint8_t>(hi);
    const unsigned lo = i + 1 < FBytes.size() ? FBytes[i + 1] : 0;
    return static_cast<std::uint8_t>(hi << shift | lo >> (8 - shift));
  }
  // The count bytes that start at bit, all of whose bits are held.
  void CopyBytes(std::uint64_t bit, std::uint8_t* out, std::size_t count) const {
    const std::uint8_t* in = FBytes.data() + (bit / 8 - FBase);
    const unsigned shift = bit % 8;
    if (shift == 0) {
      std::memcpy(out, in, count);
      return;
    }
    for (std::size_t i = 0; i < count; ++i) out[i] = static_cast<std::uint8_t>(in[i] << shift | in[i + 1] >> (8 - shift));
  }
  std::uint32_t Bits32(std::uint64_t bit) const {
    std::uint32_t v = 0;
    for (int i = 0; i < 4; ++i) v = v << 8 | ByteAt(bit + 8 * i);
    return v;
  }
  // The first magic at or after bit and before limit, reading on as needed; null when
  // there is none (the input is not read much beyond limit). The pointer holds until the
  // next call that reads or releases.
  const TBzip2Magic* MagicFrom(std::uint64_t bit, std::uint64_t limit);
  // Bytes before bit will not be asked for again.
  void Release(std::uint64_t bit);

private:
  void Scan();

  core::TStream& FInput;
  std::vector<std::uint8_t, TUninitialised<std::uint8_t>> FBytes;
  std::uint64_t FBase = 0;     // input byte of FBytes[0]
  std::uint64_t FScanned = 0;  // input bytes searched for magics
  bool FEnded = false;
  bool FScanning = true;
  std::deque<TBzip2Magic> FMagics;
};

}  // namespace tarvo::unzip
