#include "core/stream.h"

#include <algorithm>
#include <memory>

#include "core/exception.h"

namespace tarvo::core {

std::int64_t TStream::Position() { return Seek(0, TSeekOrigin::soCurrent); }

void TStream::SetPosition(std::int64_t position) { Seek(position, TSeekOrigin::soBeginning); }

std::int64_t TStream::Size() {
  std::int64_t pos = Seek(0, TSeekOrigin::soCurrent);
  std::int64_t size = Seek(0, TSeekOrigin::soEnd);
  Seek(pos, TSeekOrigin::soBeginning);
  return size;
}

void TStream::SetSize(std::int64_t) { throw EStreamError("Stream size error"); }

std::size_t TStream::Lend(const std::uint8_t*&) { return 0; }

void TStream::ReadBuffer(void* buffer, std::size_t count) {
  auto* p = static_cast<unsigned char*>(buffer);
  while (count > 0) {
    std::size_t n = Read(p, count);
    if (n == 0) throw EReadError();
    p += n;
    count -= n;
  }
}

void TStream::WriteBuffer(const void* buffer, std::size_t count) {
  const auto* p = static_cast<const unsigned char*>(buffer);
  while (count > 0) {
    std::size_t n = Write(p, count);
    if (n == 0) throw EWriteError();
    p += n;
    count -= n;
  }
}

std::int64_t TStream::CopyFrom(TStream& source, std::int64_t count) {
  constexpr std::size_t kChunk = 128 * 1024;
  if (count == 0) {
    source.SetPosition(0);
    count = source.Size();
  }
  if (count <= 0) return 0;
  auto buffer = std::make_unique<unsigned char[]>(kChunk);
  std::int64_t left = count;
  while (left > 0) {
    std::size_t n = static_cast<std::size_t>(std::min<std::int64_t>(left, kChunk));
    source.ReadBuffer(buffer.get(), n);
    WriteBuffer(buffer.get(), n);
    left -= static_cast<std::int64_t>(n);
  }
  return count;
}

std::int64_t TStream::SeekTarget(std::int64_t offset, TSeekOrigin origin, std::int64_t current) {
  std::int64_t base = origin == TSeekOrigin::soBeginning ? 0 : origin == TSeekOrigin::soCurrent ? current : Size();
  std::int64_t target = base + offset;
  if (target < 0) throw EStreamError("Stream seek error: negative position");
  return target;
}

std::size_t TNullStream::Write(const void*, std::size_t count) {
  FPosition += static_cast<std::int64_t>(count);
  FSize = std::max(FSize, FPosition);
  return count;
}

std::int64_t TNullStream::Seek(std::int64_t offset, TSeekOrigin origin) {
  std::int64_t base = origin == TSeekOrigin::soBeginning ? 0 : origin == TSeekOrigin::soCurrent ? FPosition : FSize;
  FPosition = std::max<std::int64_t>(0, base + offset);
  return FPosition;
}

void TNullStream::SetSize(std::int64_t newSize) {
  FSize = std::max<std::int64_t>(0, newSize);
  FPosition = std::min(FPosition, FSize);
}

}  // namespace tarvo::core
