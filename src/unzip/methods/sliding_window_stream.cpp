#include "unzip/methods/sliding_window_stream.h"

#include <algorithm>
#include <cstring>

#include "unzip/methods/method_errors.h"
#include "unzip/methods/method_strings.h"

namespace tarvo::unzip {

namespace {
constexpr std::size_t kRing = TvmSlidingWindowStream::kChunkSize * TvmSlidingWindowStream::kChunkCount;

[[noreturn]] void Fail(const core::TResourceString& text) { throw EVmSlidingWindowError(core::LoadResString(text)); }
}  // namespace

TvmSlidingWindowStream::TvmSlidingWindowStream(core::TStream& stream)
    : bsStream(stream), bsChunks(new std::uint8_t[kRing]) {}

// The chunk being filled takes the place of the oldest one.
std::uint64_t TvmSlidingWindowStream::OldestHeld() const noexcept {
  std::uint64_t held = (kChunkCount - 1) * kChunkSize + bsSize % kChunkSize;
  return bsSize > held ? bsSize - held : 0;
}

std::size_t TvmSlidingWindowStream::Read(void* buffer, std::size_t count) {
  count = static_cast<std::size_t>(std::min<std::uint64_t>({count, kMaxRead, bsSize - bsPosition}));
  auto* out = static_cast<std::uint8_t*>(buffer);
  for (std::size_t done = 0; done < count;) {
    std::size_t at = static_cast<std::size_t>(bsPosition % kRing);
    std::size_t n = std::min(count - done, kRing - at);
    std::memcpy(out + done, bsChunks.get() + at, n);
    done += n;
    bsPosition += n;
  }
  return count;
}

std::size_t TvmSlidingWindowStream::Write(const void* buffer, std::size_t count) {
  if (bsPosition != bsSize) Fail(SVmWindowNotAtEnd);
  auto* in = static_cast<const std::uint8_t*>(buffer);
  for (std::size_t done = 0; done < count;) {
    std::size_t at = static_cast<std::size_t>(bsSize % kRing);
    std::size_t n = std::min(count - done, kChunkSize - at % kChunkSize);
    std::memcpy(bsChunks.get() + at, in + done, n);
    done += n;
    bsSize += n;
    if (bsSize % kChunkSize == 0) bsWriteChunk(bsSize);
  }
  bsPosition = bsSize;
  return count;
}

void TvmSlidingWindowStream::bsWriteChunk(std::uint64_t upTo) {
  while (bsSent < upTo) {
    std::size_t at = static_cast<std::size_t>(bsSent % kRing);
    std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(upTo - bsSent, kRing - at));
    if (bsStream.Write(bsChunks.get() + at, n) != n) Fail(SVmWindowWriteFailed);
    bsSent += n;
  }
}

void TvmSlidingWindowStream::Flush() { bsWriteChunk(bsSize); }

std::int64_t TvmSlidingWindowStream::Seek(std::int64_t offset, core::TSeekOrigin origin) {
  std::int64_t base;
  switch (origin) {
    case core::TSeekOrigin::soBeginning: base = 0; break;
    case core::TSeekOrigin::soCurrent: base = static_cast<std::int64_t>(bsPosition); break;
    case core::TSeekOrigin::soEnd: base = static_cast<std::int64_t>(bsSize); break;
    default: Fail(SVmWindowInvalidOrigin);
  }
  std::int64_t target = base + offset;
  if (target < static_cast<std::int64_t>(OldestHeld()) || target > static_cast<std::int64_t>(bsSize))
    Fail(SVmWindowInvalidPosition);
  bsPosition = static_cast<std::uint64_t>(target);
  return target;
}

}  // namespace tarvo::unzip
