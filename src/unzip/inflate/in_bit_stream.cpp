#include "unzip/inflate/in_bit_stream.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "unzip/inflate/inflate_error.h"
#include "unzip/inflate/inflate_strings.h"
#include "unzip/inflate/spare_buffers.h"

namespace tarvo::unzip {

namespace {
// Zeros kept after the real bytes so that peeks past the end and the fast path's
// word loads stay inside the buffer.
constexpr std::size_t kSlack = 128;
constexpr std::size_t kAllocation = TVmDfInBitStream::kBufferSize + 8 + kSlack;

struct TInputBufferTag;
using InputBuffers = TVmDfSpareBuffers<std::uint8_t, 1, TInputBufferTag>;
}  // namespace

TVmDfInBitStream::TVmDfInBitStream(core::TStream& stream, std::int64_t streamSize, TVmProgressStepEvent onProgress)
    : FBuffer(InputBuffers::Take(kAllocation)),
      FStream(stream),
      FStreamSize(streamSize),
      FOnProgress(std::move(onProgress)) {
  FData = FBuffer.get();
  std::memset(FBuffer.get(), 0, kSlack);
  FLentSize = FStream.Lend(FLent);
  if (FLentSize == 0) FLent = nullptr;
}

TVmDfInBitStream::~TVmDfInBitStream() { InputBuffers::Give(FBuffer, kAllocation); }

void TVmDfInBitStream::Load() noexcept {
  while (FBitsLeft <= 56) {
    FBitBuffer |= static_cast<std::uint64_t>(FData[FBufPos++]) << FBitsLeft;
    FBitsLeft += 8;
  }
}

// Returns whole bytes from the bit buffer to the block, so that the block holds every
// byte from the current bit position on.
void TVmDfInBitStream::GiveBackBytes() noexcept {
  FBufPos -= FBitsLeft / 8;
  FBitsLeft %= 8;
  FBitBuffer &= (std::uint64_t{1} << FBitsLeft) - 1;
}

void TVmDfInBitStream::Refill(std::size_t unread) {
  if (FEndOfInput) return;
  GiveBackBytes();
  const std::size_t keep = FBufEnd - FBufPos;
  const std::size_t want = kBufferSize - std::min(unread, kBufferSize);
  const std::uint8_t* const kept = FData + FBufPos;
  FBufBase += static_cast<std::int64_t>(FBufPos);
  FBufPos = 0;
  FBufEnd = keep;
  std::size_t got = 0;
  if (FLent && FLentSize - static_cast<std::size_t>(FTotalRead) >= want + kSlack) {
    // In place: the block moves on over the lent bytes, and real bytes follow its end.
    FStream.Seek(static_cast<std::int64_t>(want), core::TSeekOrigin::soCurrent);
    FData = FLent + FBufBase;
    got = want;
  } else {
    // Near the end of the lent bytes, and always for other sources: the rest goes through
    // the buffer, which keeps zeros after the real bytes.
    std::memmove(FBuffer.get(), kept, keep);
    FData = FBuffer.get();
    FLent = nullptr;
    while (got < want) {
      const std::size_t n = FStream.Read(FBuffer.get() + FBufEnd + got, want - got);
      if (n == 0) break;
      got += n;
    }
    std::memset(FBuffer.get() + FBufEnd + got, 0, kSlack);
  }
  FBufEnd += got;
  FTotalRead += static_cast<std::int64_t>(got);
  if (got < want) FEndOfInput = true;
  if (FOnProgress && FStreamSize > 0) {
    bool abort = false;
    FOnProgress(static_cast<int>(std::llround(static_cast<double>(FTotalRead) * 100.0 / static_cast<double>(FStreamSize))),
                abort);
    if (abort) throw TVmDfStopDecoding{};
  }
}

// Reads ahead exactly when a 32-bit-group reader would: the peek reaches past the group in
// hand and fewer than four unread bytes follow it.
void TVmDfInBitStream::NeedBits(unsigned count) {
  if (FEndOfInput) return;  // nothing left to read ahead
  // The bit position is at most the byte position, so the group in hand ends at most four
  // bytes later: with a dozen bytes still unread no peek can ask for more.
  if (FBufEnd - std::min(FBufPos, FBufEnd) >= 12) return;
  const std::int64_t p = BitPosition();
  const std::int64_t g = GroupEnd(p);
  if (p + std::min(count, 32u) > 8 * g && FTotalRead - g < 4)
    Refill(static_cast<std::size_t>(std::max<std::int64_t>(FTotalRead - g, 0)));
}

void TVmDfInBitStream::CheckAvailable(unsigned count, const core::TResourceString& message) const {
  if (BitPosition() + count > 8 * FTotalRead) RaiseInflateError(message);
}

bool TVmDfInBitStream::ReadBit() {
  NeedBits(1);
  CheckAvailable(1, SInfNoDataReadBit);
  Load();
  const bool bit = FBitBuffer & 1;
  FBitBuffer >>= 1;
  --FBitsLeft;
  return bit;
}

std::uint32_t TVmDfInBitStream::ReadBits(unsigned count) {
  if (count < 1 || count > 16) RaiseInflateError(SInfReadBitsCount);
  NeedBits(count);
  CheckAvailable(count, SInfNoDataReadBits);
  Load();
  const auto value = static_cast<std::uint32_t>(FBitBuffer & ((1u << count) - 1));
  FBitBuffer >>= count;
  FBitsLeft -= count;
  return value;
}

std::uint64_t TVmDfInBitStream::PeekBits(unsigned count) {
  NeedBits(count);
  Load();
  return FBitBuffer;
}

void TVmDfInBitStream::DiscardBits(unsigned count) {
  if (count < 1 || count > 32) RaiseInflateError(SInfDiscardCount);
  CheckAvailable(count, SInfNoDataDiscard);
  Load();
  FBitBuffer >>= count;
  FBitsLeft -= count;
}

void TVmDfInBitStream::AlignToByte() {
  // The bits left of the partly used byte are the low ones of the count in hand.
  const unsigned drop = FBitsLeft % 8;
  if (drop == 0) return;
  FBitBuffer >>= drop;
  FBitsLeft -= drop;
}

void TVmDfInBitStream::ReadBuffer(void* buffer, std::size_t count) {
  const std::int64_t p = BitPosition();
  if (p & 7) RaiseInflateError(SInfNotAligned);
  const std::int64_t groupEnd = GroupEnd(p);
  GiveBackBytes();
  auto* dst = static_cast<std::uint8_t*>(buffer);
  std::size_t left = count;
  while (left > 0) {
    if (FBufPos == FBufEnd) {
      Refill(0);
      if (FBufPos == FBufEnd) RaiseInflateError(SInfNoDataReadBuffer);
    }
    const std::size_t n = std::min(left, FBufEnd - FBufPos);
    std::memcpy(dst, FData + FBufPos, n);
    dst += n;
    FBufPos += n;
    left -= n;
  }
  // Bytes still inside the group in hand keep the grouping; past it, grouping restarts here.
  const std::int64_t now = FBufBase + static_cast<std::int64_t>(FBufPos);
  if (now > groupEnd) FGroupBase = now;
}

}  // namespace tarvo::unzip
