#include "http/capped_stream.h"

#include "core/resource_string.h"
#include "http/http_exception.h"
#include "http/http_strings.h"

namespace tarvo::http {

std::size_t TNetCappedMemoryStream::Write(const void* buffer, std::size_t count) {
  std::int64_t room = FLimit - FKept.Position();
  if (room > 0) FKept.WriteBuffer(buffer, static_cast<std::size_t>(std::min<std::int64_t>(room, static_cast<std::int64_t>(count))));
  FWritten += static_cast<std::int64_t>(count);
  return count;
}

std::size_t TNetLimitedMemoryStream::Write(const void* buffer, std::size_t count) {
  if (static_cast<std::int64_t>(count) > FLimit - Position()) throw ENetHTTPBadResponse(core::LoadResString(SBodyTooLarge));
  return core::TMemoryStream::Write(buffer, count);
}

void TNetLimitedMemoryStream::SetSize(std::int64_t size) {
  if (size > FLimit) throw ENetHTTPBadResponse(core::LoadResString(SBodyTooLarge));
  core::TMemoryStream::SetSize(size);
}

std::size_t TNetTeeStream::Write(const void* buffer, std::size_t count) {
  std::size_t written = FTarget.Write(buffer, count);
  FCopy.Write(buffer, written);
  return written;
}

}  // namespace tarvo::http
