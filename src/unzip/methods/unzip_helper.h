// The decoders of the three legacy ZIP methods: shrinking (1, LZW with partial clearing),
// reducing (2-5, follower sets and a DLE-coded copy) and imploding (6, Shannon-Fano
// coded literals, lengths and distances). One helper decodes one entry.
//
// Input is read in 4 KiB blocks and consumed least significant bit first; running out of
// input ends decoding where it stands (the short result fails the CRC check). Output
// collects in a 32 KiB buffer that is handed on when full and at the end; reduce and
// implode write through a TvmSlidingWindowStream so that copies can reach back past the
// buffer's start. A copy that reaches before the first output byte yields zero bytes.
// Nothing beyond FUnCompressedSize is produced, and a stream that breaks its format
// raises EVmLegacyDataError instead of being read out of bounds.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "core/stream.h"
#include "unzip/methods/sliding_window_stream.h"

namespace tarvo::unzip {

enum class TVmZipDictionarySize { dsInvalid, ds4K, ds8K };

class TVmUnzipHelper {
public:
  TVmUnzipHelper(core::TStream& input, core::TStream& output);
  ~TVmUnzipHelper();

  std::uint64_t FUnCompressedSize = 0;
  std::uint16_t FCompressionMethod = 0;
  TVmZipDictionarySize FDictionarySize = TVmZipDictionarySize::ds4K;  // method 6: flag bit 1
  int FShannonFanoTreeCount = 2;                                      // method 6: flag bit 2

  // Decodes the entry: 1 unshrink, 2-5 unreduce, 6 explode; any other method raises
  // EVmZipInvalidMethod.
  void Execute();

  static constexpr std::size_t kInBufSize = 4096;
  static constexpr std::size_t kOutBufSize = 32768;

private:
  struct TShannonFanoTree;

  void Unshrink();
  void Unreduce(int factor);
  void Explode();
  void ReadTree(TShannonFanoTree& tree, unsigned symbols);
  unsigned Decode(const TShannonFanoTree& tree);

  // Bits, least significant first. Reading past the input's end sets FInEof and gives
  // zero bits.
  std::uint32_t Bits(unsigned count) {
    std::uint32_t v = PeekBits(count);
    DropBits(count);
    return v;
  }
  std::uint32_t PeekBits(unsigned count) {
    if (FBitsLeft < count) FillBits();
    return static_cast<std::uint32_t>(FBitBuf & ((std::uint64_t{1} << count) - 1));
  }
  void DropBits(unsigned count) {
    if (count > FBitsLeft) {
      FInEof = true;
      FBitBuf = 0;
      FBitsLeft = 0;
    } else {
      FBitBuf >>= count;
      FBitsLeft -= count;
    }
  }
  void FillBits();

  bool Done() const noexcept { return FTotalOut >= FUnCompressedSize; }
  void PutByte(std::uint8_t b) {
    FOutBuf[FOutPos++] = b;
    ++FTotalOut;
    if (FOutPos == kOutBufSize) HandOn();
  }
  void CopyMatch(std::uint64_t distance, std::uint32_t length);
  void HandOn();

  core::TStream& FZStream;
  core::TStream& FOutStream;
  core::TStream* FOutWriter = nullptr;
  TvmSlidingWindowStream* FWindow = nullptr;

  std::unique_ptr<std::uint8_t[]> FInBuf;
  std::size_t FInCnt = 0, FInPos = 0;
  bool FInputEnded = false;  // the input stream has nothing more
  bool FInEof = false;       // a read went past the input's end
  std::uint64_t FBitBuf = 0;
  unsigned FBitsLeft = 0;

  std::unique_ptr<std::uint8_t[]> FOutBuf;
  std::size_t FOutPos = 0, FOutSent = 0;
  std::uint64_t FTotalOut = 0;
};

}  // namespace tarvo::unzip
