#include "platform/replacing_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "core/exception.h"
#include "core/file_stream.h"

namespace tarvo::platform {

namespace {

// ".NAME.XXXXXX" in the target's folder: hidden, and never taken for the target itself.
std::string TemporaryTemplate(const std::string& fileName) {
  std::size_t slash = fileName.rfind('/');
  std::size_t base = slash == std::string::npos ? 0 : slash + 1;
  return fileName.substr(0, base) + "." + fileName.substr(base) + ".XXXXXX";
}

mode_t CreationMode(const std::string& fileName) {
  struct stat st {};
  if (::stat(fileName.c_str(), &st) == 0 && S_ISREG(st.st_mode)) return st.st_mode & 07777;
  mode_t mask = ::umask(0);
  ::umask(mask);
  return 0666 & ~mask;
}

}  // namespace

TReplacingFile::TReplacingFile(std::string fileName) : FFileName(std::move(fileName)) {
  FTempName = TemporaryTemplate(FFileName);
  int fd = ::mkostemp(FTempName.data(), O_CLOEXEC);
  if (fd < 0) {
    FTempName.clear();
    throw core::EFCreateError(FFileName, errno);
  }
  FHandle = fd;
  if (::fchmod(fd, CreationMode(FFileName)) != 0) {
    int error = errno;
    Discard();
    throw core::EFCreateError(FFileName, error);
  }
}

TReplacingFile::~TReplacingFile() { Discard(); }

std::size_t TReplacingFile::Read(void*, std::size_t) { throw core::EStreamError("TReplacingFile.Read not supported"); }

std::size_t TReplacingFile::Write(const void* buffer, std::size_t count) {
  core::WriteAll(FHandle, buffer, count);
  // The file is made durable before it replaces the old one; a large one is handed to the
  // disk as it grows, so that the last fsync does not wait for all of it.
  FUnflushed += count;
  if (FUnflushed >= (8u << 20)) {
    FUnflushed = 0;
#ifdef __linux__
    ::sync_file_range(static_cast<int>(FHandle), 0, 0, SYNC_FILE_RANGE_WRITE);
#endif
  }
  return count;
}

std::int64_t TReplacingFile::Seek(std::int64_t offset, core::TSeekOrigin origin) {
  int whence = origin == core::TSeekOrigin::soBeginning ? SEEK_SET
               : origin == core::TSeekOrigin::soCurrent ? SEEK_CUR
                                                        : SEEK_END;
  off_t at = ::lseek(static_cast<int>(FHandle), static_cast<off_t>(offset), whence);
  if (at < 0) throw core::EInOutError(errno);
  return at;
}

void TReplacingFile::SetSize(std::int64_t newSize) {
  if (::ftruncate(static_cast<int>(FHandle), static_cast<off_t>(newSize)) != 0) throw core::EInOutError(errno);
}

void TReplacingFile::Commit() {
  int fd = static_cast<int>(FHandle);
  FHandle = -1;
  bool ok = ::fsync(fd) == 0;
  int error = errno;
  if (::close(fd) != 0 && ok && errno != EINTR) {
    ok = false;
    error = errno;
  }
  if (ok && ::rename(FTempName.c_str(), FFileName.c_str()) != 0) {
    ok = false;
    error = errno;
  }
  if (!ok) {
    Discard();
    throw core::EInOutError(error);
  }
  FTempName.clear();
}

void TReplacingFile::Discard() noexcept {
  if (FHandle >= 0) ::close(static_cast<int>(FHandle));
  FHandle = -1;
  if (!FTempName.empty()) ::unlink(FTempName.c_str());
  FTempName.clear();
}

bool ReplaceFileContent(const std::string& fileName, const void* data, std::size_t size) noexcept {
  try {
    TReplacingFile file(fileName);
    file.Write(data, size);
    file.Commit();
    return true;
  } catch (const core::EFCreateError& e) {
    errno = e.ErrorCode();
  } catch (const core::EInOutError& e) {
    errno = e.ErrorCode();
  } catch (...) {
    errno = ENOMEM;
  }
  return false;
}

}  // namespace tarvo::platform
