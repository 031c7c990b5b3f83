#include <fcntl.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <cerrno>

#include "core/exception.h"
#include "platform/scratch_file.h"

namespace tarvo::platform {

std::unique_ptr<TScratchFile> TScratchFile::Create(const std::string& folder) noexcept {
  const std::string where = folder.empty() ? std::string(".") : folder;
  int handle = ::open(where.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
  if (handle < 0) {
    // File systems without unnamed files: a unique name, removed before use.
    std::string name = where + "/.tarvo-XXXXXX";
    handle = ::mkostemp(name.data(), O_CLOEXEC);
    if (handle < 0) return nullptr;
    ::unlink(name.c_str());
  }
  return std::unique_ptr<TScratchFile>(new TScratchFile(handle));
}

TScratchFile::~TScratchFile() { ::close(static_cast<int>(FHandle)); }

bool TScratchFile::Append(const void* buffer, std::size_t count) noexcept {
  const auto* p = static_cast<const std::uint8_t*>(buffer);
  for (std::size_t done = 0; done < count;) {
    ssize_t n = ::write(static_cast<int>(FHandle), p + done, count - done);
    if (n <= 0 && !(n < 0 && errno == EINTR)) return false;
    if (n > 0) done += static_cast<std::size_t>(n);
  }
  FEnd += count;
  return true;
}

bool TScratchFile::Clear() noexcept {
  if (::ftruncate(static_cast<int>(FHandle), 0) != 0 || ::lseek(static_cast<int>(FHandle), 0, SEEK_SET) != 0) return false;
  FEnd = 0;
  return true;
}

std::size_t TScratchFile::ReadAt(std::uint64_t at, void* buffer, std::size_t count) const {
  for (;;) {
    ssize_t n = ::pread(static_cast<int>(FHandle), buffer, count, static_cast<off_t>(at));
    if (n >= 0) return static_cast<std::size_t>(n);
    if (errno != EINTR) throw core::EInOutError(errno);
  }
}

std::uint64_t TScratchFile::FreeSpace() const noexcept {
  struct statvfs vfs {};
  return ::fstatvfs(static_cast<int>(FHandle), &vfs) == 0 ? static_cast<std::uint64_t>(vfs.f_bavail) * vfs.f_frsize
                                                         : 0;
}

}  // namespace tarvo::platform
