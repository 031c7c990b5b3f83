#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>

#include "platform/install_lock.h"

namespace tarvo::platform {

std::unique_ptr<TInstallLock> TInstallLock::TryTake(const std::string& installFolder) {
  std::string base = installFolder;
  while (base.size() > 1 && base.back() == '/') base.pop_back();
  const std::size_t slash = base.rfind('/');
  base = slash == std::string::npos ? "." : slash == 0 ? "/" : base.substr(0, slash);
  // The folder TARVO is made in: it exists before TARVO does, and locking it leaves nothing
  // behind on the disk.
  const int fd = ::open(base.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return std::unique_ptr<TInstallLock>(new TInstallLock(-1));
  while (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    if (errno == EINTR) continue;
    const bool held = errno == EWOULDBLOCK;
    ::close(fd);
    // A file system without locks cannot tell: go on as before there.
    return held ? nullptr : std::unique_ptr<TInstallLock>(new TInstallLock(-1));
  }
  return std::unique_ptr<TInstallLock>(new TInstallLock(fd));
}

TInstallLock::~TInstallLock() {
  if (FHandle >= 0) ::close(static_cast<int>(FHandle));  // closing releases the lock
}

}  // namespace tarvo::platform
