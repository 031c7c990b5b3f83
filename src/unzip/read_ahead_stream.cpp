#include "unzip/read_ahead_stream.h"

#include <algorithm>
#include <cstring>

#include "core/exception.h"

namespace tarvo::unzip {

TVmReadAheadStream::TVmReadAheadStream(core::TStream& source)
    : FSource(source), FBuffer(new std::uint8_t[kBufferSize]), FPosition(source.Position()) {}

std::size_t TVmReadAheadStream::Read(void* buffer, std::size_t count) {
  auto* out = static_cast<std::uint8_t*>(buffer);
  std::size_t done = 0;
  while (done < count) {
    std::int64_t inBuffer = FPosition - FBufferStart;
    if (inBuffer >= 0 && inBuffer < static_cast<std::int64_t>(FBufferFill)) {
      std::size_t n = std::min(count - done, FBufferFill - static_cast<std::size_t>(inBuffer));
      std::memcpy(out + done, FBuffer.get() + inBuffer, n);
      done += n;
      FPosition += static_cast<std::int64_t>(n);
      continue;
    }
    if (count - done >= kBufferSize) {
      // A large request goes straight through, without copying twice.
      FSource.SetPosition(FPosition);
      std::size_t n = FSource.Read(out + done, count - done);
      if (n == 0) break;
      done += n;
      FPosition += static_cast<std::int64_t>(n);
      continue;
    }
    FSource.SetPosition(FPosition);
    FBufferStart = FPosition;
    FBufferFill = 0;
    while (FBufferFill < kBufferSize) {
      std::size_t n = FSource.Read(FBuffer.get() + FBufferFill, kBufferSize - FBufferFill);
      if (n == 0) break;
      FBufferFill += n;
    }
    if (FBufferFill == 0) break;
  }
  return done;
}

std::size_t TVmReadAheadStream::Write(const void*, std::size_t) {
  throw core::EStreamError("TVmReadAheadStream.Write not supported");
}

std::int64_t TVmReadAheadStream::Seek(std::int64_t offset, core::TSeekOrigin origin) {
  FPosition = SeekTarget(offset, origin, FPosition);
  return FPosition;
}

std::size_t TVmReadAheadStream::Lend(const std::uint8_t*& data) {
  if (FLendingKnown && !FSourceLends) return 0;
  FSource.SetPosition(FPosition);
  const std::size_t n = FSource.Lend(data);
  // Nothing lent at the end tells nothing; inside the source's bytes it tells it never will.
  if (n > 0 || FPosition < Size()) {
    FLendingKnown = true;
    FSourceLends = n > 0;
  }
  return n;
}

std::int64_t TVmReadAheadStream::Size() {
  if (FSize < 0) FSize = FSource.Size();
  return FSize;
}

}  // namespace tarvo::unzip
