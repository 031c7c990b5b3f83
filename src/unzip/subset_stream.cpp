#include "unzip/subset_stream.h"

#include <algorithm>
#include <limits>

#include "core/resource_string.h"
#include "unzip/vm_exception.h"
#include "unzip/vm_strings.h"

namespace tarvo::unzip {

TVmUnzipSubsetStream::TVmUnzipSubsetStream(core::TStream& stream, std::uint64_t size)
    : FStream(stream), FStartPos(stream.Position()), FCurPos(FStartPos) {
  std::uint64_t room = static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max() - FStartPos);
  FEndPos = FStartPos + static_cast<std::int64_t>(std::min(size, room));
}

std::size_t TVmUnzipSubsetStream::Read(void* buffer, std::size_t count) {
  std::int64_t left = FEndPos - FCurPos;
  if (left <= 0 || count == 0) return 0;
  std::size_t n = static_cast<std::size_t>(std::min<std::int64_t>(left, static_cast<std::int64_t>(count)));
  std::size_t got = FStream.Read(buffer, n);
  FCurPos += static_cast<std::int64_t>(got);
  return got;
}

std::size_t TVmUnzipSubsetStream::Lend(const std::uint8_t*& data) {
  const std::int64_t left = FEndPos - FCurPos;
  if (left <= 0) return 0;
  const std::size_t n = FStream.Lend(data);
  return static_cast<std::size_t>(std::min<std::uint64_t>(n, static_cast<std::uint64_t>(left)));
}

std::size_t TVmUnzipSubsetStream::Write(const void*, std::size_t) {
  throw EVmException(core::LoadResString(SVmSubsetWrite));
}

std::int64_t TVmUnzipSubsetStream::Seek(std::int64_t offset, core::TSeekOrigin origin) {
  std::int64_t base = origin == core::TSeekOrigin::soBeginning ? FStartPos
                      : origin == core::TSeekOrigin::soCurrent ? FCurPos
                                                               : FEndPos;
  std::int64_t target;
  if (__builtin_add_overflow(base, offset, &target)) target = offset < 0 ? FStartPos : FEndPos;
  target = std::clamp(target, FStartPos, FEndPos);
  if (target != FCurPos) {
    FStream.SetPosition(target);
    FCurPos = target;
  }
  return FCurPos - FStartPos;
}

}  // namespace tarvo::unzip
