#include "unzip/inflate/output_window.h"

#include <algorithm>
#include <cstring>

#include "core/crc32.h"
#include "unzip/inflate/spare_buffers.h"

namespace tarvo::unzip {

namespace {
// Bytes passed on per flush. Large flushes keep the checksum and the destination's write
// calls cheap; the whole buffer still fits comfortably in a second-level cache.
constexpr std::size_t kFlushChunk = 256 * 1024;

// One window per stream; Deflate64's larger one takes the slot only while no other waits.
using WindowBuffers = TVmDfSpareBuffers<std::uint8_t, 1>;
}  // namespace

TVmDfOutputWindow::~TVmDfOutputWindow() { WindowBuffers::Give(FBuffer, FHistory + kFlushChunk + MaxOverrun()); }

TVmDfOutputWindow::TVmDfOutputWindow(core::TStream& stream, bool deflate64, bool useCRC32, bool testOnly,
                                     std::int64_t partSize)
    : FStream(stream),
      FHistory(deflate64 ? 65536 : 32768),
      FMaxMatch(deflate64 ? 65538 : 258),
      FUseCRC32(useCRC32),
      FTestOnly(testOnly),
      FPartSize(partSize),
      FChecksum(useCRC32 ? 0xFFFFFFFFu : 1u) {
  FBuffer = WindowBuffers::Take(FHistory + kFlushChunk + MaxOverrun());
  FCurrent = FWritten = FBuffer.get();
  FFlushPoint = FBuffer.get() + FHistory + kFlushChunk;
  FLimit = FFlushPoint + FMaxMatch;
  UpdateStop();
}

void TVmDfOutputWindow::UpdateStop() noexcept {
  FStop = FFlushPoint;
  if (FPartSize > 0) {
    const std::int64_t left = FPartSize - ProducedTotal();
    if (left < FStop - FCurrent) FStop = FCurrent + std::max<std::int64_t>(left, 0);
  }
}

void TVmDfOutputWindow::PassOn(const std::uint8_t* data, std::size_t count) {
  if (count == 0) return;
  FChecksum = FUseCRC32 ? core::UpdateCRC32(FChecksum, data, count) : UpdateAdler32(FChecksum, data, count);
  if (!FTestOnly) FStream.WriteBuffer(data, count);
  FPassedOn += static_cast<std::int64_t>(count);
}

void TVmDfOutputWindow::Overflow() {
  if (FPartSize > 0 && ProducedTotal() >= FPartSize) {
    // Exactly the part is passed on; what a last match produced beyond it is dropped.
    PassOn(FWritten, static_cast<std::size_t>(FPartSize - FPassedOn));
    FWritten = FCurrent;
    throw TVmDfPartDone{};
  }
  if (FCurrent >= FFlushPoint) {
    PassOn(FWritten, static_cast<std::size_t>(FCurrent - FWritten));
    std::memmove(FBuffer.get(), FCurrent - FHistory, FHistory);
    FCurrent = FWritten = FBuffer.get() + FHistory;
  }
  UpdateStop();
}

std::uint32_t TVmDfOutputWindow::Finish() {
  PassOn(FWritten, static_cast<std::size_t>(FCurrent - FWritten));
  FWritten = FCurrent;
  return FUseCRC32 ? ~FChecksum : FChecksum;
}

std::uint32_t UpdateAdler32(std::uint32_t adler, const std::uint8_t* data, std::size_t length) noexcept {
  constexpr std::uint32_t kBase = 65521;
  // 5552 is the largest run whose sums cannot overflow 32 bits before the reduction.
  constexpr std::size_t kRun = 5552;
  std::uint32_t a = adler & 0xFFFF, b = adler >> 16;
  while (length > 0) {
    std::size_t n = std::min(length, kRun);
    length -= n;
    while (n >= 4) {
      a += data[0]; b += a;
      a += data[1]; b += a;
      a += data[2]; b += a;
      a += data[3]; b += a;
      data += 4;
      n -= 4;
    }
    while (n--) {
      a += *data++;
      b += a;
    }
    a %= kBase;
    b %= kBase;
  }
  return (b << 16) | a;
}

}  // namespace tarvo::unzip
