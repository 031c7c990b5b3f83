#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <cerrno>
#include <ctime>

#include "core/exception.h"
#include "core/scope_guard.h"
#include "unzip/extract_path.h"
#include "unzip/output_folders.h"
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

int Walk(int from, std::string_view relative, bool create) {
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

}  // namespace

TVmOutputFolders::~TVmOutputFolders() { Reset(std::string()); }

void TVmOutputFolders::CloseAll() noexcept {
  for (std::intptr_t fd : FHeld) ::close(static_cast<int>(fd));
  FHeld.clear();
  FHaveLast = false;
  FLast = {};
}

void TVmOutputFolders::Reset(const std::string& baseDirectory) {
  CloseAll();
  if (FBaseHandle >= 0) ::close(static_cast<int>(FBaseHandle));
  FBaseHandle = -1;
  FBase = baseDirectory;
}

std::intptr_t TVmOutputFolders::OpenBase() {
  if (FBaseHandle >= 0) return FBaseHandle;
  // The base directory is the caller's choice and may itself be reached through a link.
  int fd = OpenAt(AT_FDCWD, FBase.empty() ? "." : FBase.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) {
    if (errno == ENOENT || errno == ENOTDIR) throw EVmNoSuchDirectory();
    throw core::EInOutError(errno);
  }
  FBaseHandle = fd;
  return fd;
}

const TVmFolder& TVmOutputFolders::Open(std::string_view folder, bool create) {
  if (FHaveLast && folder == FLast.Path) return FLast;
  CloseAll();
  std::string_view relative;
  int fd;
  if (RelativeTo(FBase, folder, relative)) {
    const int base = static_cast<int>(OpenBase());
    fd = Walk(base, relative, create);
    if (fd != base) FHeld.push_back(fd);
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
    FHeld.push_back(fd);
  }
  FLast = {fd, std::string(folder)};
  FHaveLast = true;
  return FLast;
}

bool TVmOutputFolders::HoldsNonFolder(const TVmFolder& folder, std::string_view name) noexcept {
  struct stat st {};
  return ::fstatat(static_cast<int>(folder.Handle), std::string(name).c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 &&
         !S_ISDIR(st.st_mode);
}

std::uint64_t TVmOutputFolders::FreeSpace(const TVmFolder& folder) noexcept {
  struct statvfs vfs {};
  if (::fstatvfs(static_cast<int>(folder.Handle), &vfs) != 0 || vfs.f_frsize == 0) return ~std::uint64_t{0};
  return static_cast<std::uint64_t>(vfs.f_bavail) * vfs.f_frsize;
}

void TVmOutputFolders::FinishFolder(const TVmFolder& folder, std::int64_t modificationTime, std::uint32_t) noexcept {
  // A folder keeps the mode it was made with (the umask's); only its time follows.
  if (modificationTime < 0) return;
  const struct timespec times[2] = {{static_cast<std::time_t>(modificationTime), 0},
                                    {static_cast<std::time_t>(modificationTime), 0}};
  ::futimens(static_cast<int>(folder.Handle), times);
}

}  // namespace tarvo::unzip
