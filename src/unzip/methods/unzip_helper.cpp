#include "unzip/methods/unzip_helper.h"

#include <algorithm>
#include <cstring>

#include "unzip/vm_exception.h"

namespace tarvo::unzip {

TVmUnzipHelper::TVmUnzipHelper(core::TStream& input, core::TStream& output)
    : FZStream(input),
      FOutStream(output),
      FInBuf(new std::uint8_t[kInBufSize]),
      FOutBuf(new std::uint8_t[kOutBufSize]) {}

TVmUnzipHelper::~TVmUnzipHelper() = default;

void TVmUnzipHelper::Execute() {
  switch (FCompressionMethod) {
    case 1:
      FOutWriter = &FOutStream;
      Unshrink();
      HandOn();
      return;
    case 2:
    case 3:
    case 4:
    case 5:
    case 6: {
      TvmSlidingWindowStream window(FOutStream);
      FWindow = &window;
      FOutWriter = &window;
      if (FCompressionMethod == 6)
        Explode();
      else
        Unreduce(FCompressionMethod - 1);
      HandOn();
      window.Flush();
      FWindow = nullptr;
      return;
    }
    default:
      throw EVmZipInvalidMethod();
  }
}

void TVmUnzipHelper::FillBits() {
  while (FBitsLeft <= 56) {
    if (FInPos == FInCnt) {
      if (FInputEnded) return;
      FInCnt = FZStream.Read(FInBuf.get(), kInBufSize);
      FInPos = 0;
      if (FInCnt == 0) {
        FInputEnded = true;
        return;
      }
    }
    FBitBuf |= std::uint64_t{FInBuf[FInPos++]} << FBitsLeft;
    FBitsLeft += 8;
  }
}

void TVmUnzipHelper::HandOn() {
  if (FOutPos > FOutSent) FOutWriter->WriteBuffer(FOutBuf.get() + FOutSent, FOutPos - FOutSent);
  FOutSent = FOutPos;
  if (FOutPos == kOutBufSize) FOutPos = FOutSent = 0;
}

// Copies length bytes from distance bytes back (1 = the byte just written), stopping at
// the declared size. Sources inside the buffer are copied byte by byte, so a copy may
// overlap its own output; older sources are read back through the window.
void TVmUnzipHelper::CopyMatch(std::uint64_t distance, std::uint32_t length) {
  std::uint64_t left = std::min<std::uint64_t>(length, FUnCompressedSize - FTotalOut);
  while (left > 0) {
    std::size_t room = kOutBufSize - FOutPos;
    std::size_t n;
    if (distance <= FOutPos) {
      n = static_cast<std::size_t>(std::min<std::uint64_t>(left, room));
      std::uint8_t* dst = FOutBuf.get() + FOutPos;
      const std::uint8_t* src = dst - distance;
      for (std::size_t i = 0; i < n; ++i) dst[i] = src[i];
    } else if (distance > FTotalOut) {
      // Before the first byte of output: zeros.
      n = static_cast<std::size_t>(std::min<std::uint64_t>({left, room, distance - FTotalOut}));
      std::memset(FOutBuf.get() + FOutPos, 0, n);
    } else {
      // Everything before the buffer's start has already gone into the window.
      std::uint64_t from = FTotalOut - distance;
      std::uint64_t bufferStart = FTotalOut - FOutPos;
      n = static_cast<std::size_t>(std::min<std::uint64_t>({left, room, bufferStart - from}));
      FWindow->Seek(static_cast<std::int64_t>(from), core::TSeekOrigin::soBeginning);
      FWindow->ReadBuffer(FOutBuf.get() + FOutPos, n);
      FWindow->Seek(0, core::TSeekOrigin::soEnd);
    }
    FOutPos += n;
    FTotalOut += n;
    left -= n;
    if (FOutPos == kOutBufSize) HandOn();
  }
}

}  // namespace tarvo::unzip
