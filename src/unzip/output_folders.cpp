#include "unzip/output_folders.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "core/exception.h"
#include "core/scope_guard.h"
#include "unzip/extract_path.h"
#include "unzip/vm_exception.h"

namespace tarvo::unzip {

namespace {

constexpr int kFolderFlags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;

int OpenAt(int dir, const char* name, int flags) {
  int fd;
  do fd = ::openat(dir, name, flags);
  while (fd < 0 && errno == EINTR);
  return fd;
}

// The part of folder below base, or false when folder is not below it (or climbs with "..").
bool RelativeTo(std::string_view base, std::string_view folder, std::string_view& relative) {
  if (base.empty()) {
    if (!folder.empty() && folder.front() == '/') return false;
    relative = folder;
  } else if (folder == base) {
    relative = {};
  } else {
    std::size_t n = base.size();
    bool slashed = base.back() == '/';
    if (folder.compare(0, n, base) != 0 || (!slashed && (folder.size() <= n || folder[n] != '/'))) return false;
    relative = folder.substr(slashed ? n : n + 1);
  }
  for (std::size_t start = 0; start <= relative.size();) {
    std::size_t end = relative.find('/', start);
    if (end == std::string_view::npos) end = relative.size();
    if (relative.compare(start, end - start, "..") == 0) return false;
    start = end + 1;
  }
  return true;
}

}  // namespace

TVmOutputFolders::~TVmOutputFolders() { Reset(std::string()); }

void TVmOutputFolders::CloseLast() {
  if (FLastFd >= 0 && FLastFd != FBaseFd) ::close(FLastFd);
  FLastFd = -1;
  FLastFolder.clear();
}

void TVmOutputFolders::Reset(const std::string& baseDirectory) {
  CloseLast();
  if (FBaseFd >= 0) ::close(FBaseFd);
  FBaseFd = -1;
  FBase = baseDirectory;
}

int TVmOutputFolders::OpenBase() {
  if (FBaseFd >= 0) return FBaseFd;
  // The base directory is the caller's choice and may itself be reached through a link.
  int fd = OpenAt(AT_FDCWD, FBase.empty() ? "." : FBase.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) {
    if (errno == ENOENT || errno == ENOTDIR) throw EVmNoSuchDirectory();
    throw core::EInOutError(errno);
  }
  FBaseFd = fd;
  return fd;
}

int TVmOutputFolders::Walk(int from, std::string_view relative, bool create) {
  int current = from;
  auto step = [&](int next) {
    if (current != from) ::close(current);
    current = next;
  };
  // On failure, the folder opened last is closed.
  core::TScopeGuard closeOnFailure([&]() noexcept { step(-1); });
  for (std::size_t start = 0; start < relative.size();) {
    std::size_t end = relative.find('/', start);
    if (end == std::string_view::npos) end = relative.size();
    const std::string part(relative.substr(start, end - start));
    start = end + 1;
    if (part.empty() || part == ".") continue;
    int fd = OpenAt(current, part.c_str(), kFolderFlags);
    if (fd < 0 && errno == ENOENT) {
      if (!create) throw EVmNoSuchDirectory();
      if (::mkdirat(current, part.c_str(), 0777) != 0 && errno != EEXIST) throw core::EInOutError(errno);
      fd = OpenAt(current, part.c_str(), kFolderFlags);
    }
    if (fd < 0) {
      int err = errno;
      struct stat st {};
      if (::fstatat(current, part.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISLNK(st.st_mode))
        throw EVmUnsafePath();
      throw core::EInOutError(err == ELOOP ? ENOTDIR : err);
    }
    step(fd);
  }
  closeOnFailure.Dismiss();
  return current;
}

int TVmOutputFolders::Open(std::string_view folder, bool create) {
  if (FLastFd >= 0 && folder == FLastFolder) return FLastFd;
  CloseLast();
  std::string_view relative;
  int fd;
  if (RelativeTo(FBase, folder, relative)) {
    fd = Walk(OpenBase(), relative, create);
  } else {
    // An explicit name outside the base directory: the caller chose it, links and all.
    const std::string name(folder);
    fd = OpenAt(AT_FDCWD, name.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0 && errno == ENOENT) {
      if (!create) throw EVmNoSuchDirectory();
      CreateFolderPath(name);
      fd = OpenAt(AT_FDCWD, name.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    }
    if (fd < 0) throw core::EInOutError(errno);
  }
  FLastFd = fd;
  FLastFolder = folder;
  return fd;
}

}  // namespace tarvo::unzip
