#include <cerrno>

#include "core/exception.h"
#include "platform/scratch_file.h"

namespace tarvo::platform {

std::size_t TScratchFileStream::Read(void* buffer, std::size_t count) {
  const std::size_t n = FFile.ReadAt(static_cast<std::uint64_t>(FPosition), buffer, count);
  FPosition += static_cast<std::int64_t>(n);
  return n;
}

std::size_t TScratchFileStream::Write(const void* buffer, std::size_t count) {
  if (FPosition != Size()) throw core::EStreamError("A scratch file is written at its end only");
  errno = 0;
  if (!FFile.Append(buffer, count)) throw core::EInOutError(errno != 0 ? errno : EIO);
  if (OnWrite) OnWrite(OnWriteContext, buffer, count);
  FPosition += static_cast<std::int64_t>(count);
  return count;
}

std::int64_t TScratchFileStream::Seek(std::int64_t offset, core::TSeekOrigin origin) {
  FPosition = SeekTarget(offset, origin, FPosition);
  return FPosition;
}

void TScratchFileStream::SetSize(std::int64_t newSize) {
  if (newSize == 0 && Size() != 0) {
    errno = 0;
    if (!FFile.Clear()) throw core::EInOutError(errno != 0 ? errno : EIO);
    FPosition = 0;
    return;
  }
  if (newSize != Size()) throw core::EStreamError("A scratch file cannot be cut or grown");
}

}  // namespace tarvo::platform
