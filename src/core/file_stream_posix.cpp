#include "core/file_stream.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "core/exception.h"

namespace tarvo::core {

std::size_t THandleStream::Read(void* buffer, std::size_t count) {
  auto* p = static_cast<char*>(buffer);
  std::size_t done = 0;
  while (done < count) {
    ssize_t n = ::read(static_cast<int>(FHandle), p + done, count - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      if (done == 0) throw EReadError();
      break;
    }
    if (n == 0) break;
    done += static_cast<std::size_t>(n);
  }
  return done;
}

std::size_t THandleStream::Write(const void* buffer, std::size_t count) {
  const auto* p = static_cast<const char*>(buffer);
  std::size_t done = 0;
  while (done < count) {
    ssize_t n = ::write(static_cast<int>(FHandle), p + done, count - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      break;  // full disk, closed pipe: the short count tells the caller
    }
    if (n == 0) break;
    done += static_cast<std::size_t>(n);
  }
  return done;
}

void WriteAll(TFileHandle handle, const void* buffer, std::size_t count) {
  const auto* p = static_cast<const char*>(buffer);
  std::size_t done = 0;
  while (done < count) {
    ssize_t n = ::write(static_cast<int>(handle), p + done, count - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      throw EInOutError(errno);
    }
    if (n == 0) throw EInOutError(ENOSPC);
    done += static_cast<std::size_t>(n);
  }
}

std::int64_t THandleStream::Seek(std::int64_t offset, TSeekOrigin origin) {
  int whence = origin == TSeekOrigin::soBeginning ? SEEK_SET : origin == TSeekOrigin::soCurrent ? SEEK_CUR : SEEK_END;
  off_t r = ::lseek(static_cast<int>(FHandle), static_cast<off_t>(offset), whence);
  if (r < 0) throw EStreamError("Stream seek error: " + SysErrorMessage(errno));
  return r;
}

std::int64_t THandleStream::Size() {
  struct stat st {};
  if (::fstat(static_cast<int>(FHandle), &st) == 0 && S_ISREG(st.st_mode)) return st.st_size;
  return TStream::Size();
}

void THandleStream::SetSize(std::int64_t newSize) {
  std::int64_t pos = Position();
  if (newSize < 0 || ::ftruncate(static_cast<int>(FHandle), static_cast<off_t>(newSize)) != 0) throw EStreamError("Stream size error");
  if (pos > newSize) Seek(newSize, TSeekOrigin::soBeginning);
}

namespace {
int OpenFlags(std::uint32_t mode) {
  if (mode == fmCreate || (mode & 0xFF00) == fmCreate) return O_RDWR | O_CREAT | O_TRUNC;
  switch (mode & 0x3) {
    case fmOpenWrite: return O_WRONLY;
    case fmOpenReadWrite: return O_RDWR;
    default: return O_RDONLY;
  }
}
}  // namespace

TFileStream::TFileStream(const std::string& fileName, std::uint32_t mode) : THandleStream(-1), FFileName(fileName) {
  int flags = OpenFlags(mode) | O_CLOEXEC;
  do {
    FHandle = ::open(fileName.c_str(), flags, 0666);
  } while (FHandle < 0 && errno == EINTR);
  if (FHandle < 0) {
    int err = errno;
    if (flags & O_CREAT) throw EFCreateError(fileName, err);
    throw EFOpenError(fileName, err);
  }
  struct stat st {};
  if (::fstat(static_cast<int>(FHandle), &st) == 0 && S_ISDIR(st.st_mode)) {
    ::close(static_cast<int>(FHandle));
    FHandle = -1;
    throw EFOpenError(fileName, EISDIR);
  }
}

TFileStream::~TFileStream() {
  if (FHandle >= 0) ::close(static_cast<int>(FHandle));
}

}  // namespace tarvo::core
