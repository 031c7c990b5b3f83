#include "http/capped_stream.h"

namespace tarvo::http {

std::size_t TNetCappedMemoryStream::Write(const void* buffer, std::size_t count) {
  std::int64_t room = FLimit - FKept.Position();
  if (room > 0) FKept.WriteBuffer(buffer, static_cast<std::size_t>(std::min<std::int64_t>(room, static_cast<std::int64_t>(count))));
  FWritten += static_cast<std::int64_t>(count);
  return count;
}

std::size_t TNetTeeStream::Write(const void* buffer, std::size_t count) {
  std::size_t written = FTarget.Write(buffer, count);
  FCopy.Write(buffer, written);
  return written;
}

}  // namespace tarvo::http
