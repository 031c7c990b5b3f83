#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

#include "core/exception.h"
#include "platform/file_system.h"

namespace tarvo::platform {

TFileKind FileKindOf(const std::string& path) noexcept {
  struct stat st {};
  if (path.empty() || ::lstat(path.c_str(), &st) != 0) return TFileKind::fkNone;
  if (S_ISREG(st.st_mode)) return TFileKind::fkFile;
  if (S_ISDIR(st.st_mode)) return TFileKind::fkDirectory;
  if (S_ISLNK(st.st_mode)) return TFileKind::fkLink;
  return TFileKind::fkOther;
}

bool DirectoryExists(const std::string& path) noexcept {
  struct stat st {};
  return !path.empty() && ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool PathExists(const std::string& path) noexcept {
  struct stat st {};
  return !path.empty() && ::stat(path.c_str(), &st) == 0;
}

std::int64_t FileSizeOf(const std::string& path) noexcept {
  struct stat st {};
  if (path.empty() || ::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return -1;
  return static_cast<std::int64_t>(st.st_size);
}

bool FileNamesIgnoreCase() noexcept { return false; }

std::string FoldFileNameCase(const std::string& path) { return path; }

int CreateOneFolder(const std::string& path) noexcept { return ::mkdir(path.c_str(), 0777) == 0 ? 0 : errno; }

bool RemoveFile(const std::string& path) noexcept { return ::unlink(path.c_str()) == 0; }

TFileIdentity FileIdentityOf(core::TFileHandle handle) noexcept {
  struct stat st {};
  if (::fstat(static_cast<int>(handle), &st) != 0 || !S_ISREG(st.st_mode)) return {};
  return {static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino), true};
}

std::int64_t FileModificationTimeOf(core::TFileHandle handle) noexcept {
  struct stat st {};
  return ::fstat(static_cast<int>(handle), &st) == 0 ? static_cast<std::int64_t>(st.st_mtime) : -1;
}

std::string MoveToUniqueName(const std::string& fileName, const std::string& suffix) {
  std::string name = fileName + ".XXXXXX" + suffix;
  int fd = ::mkstemps(name.data(), static_cast<int>(suffix.size()));
  if (fd < 0) throw core::EFOpenError(fileName, errno);
  ::close(fd);
  if (::rename(fileName.c_str(), name.c_str()) != 0) {
    int error = errno;
    ::unlink(name.c_str());
    throw core::EFOpenError(fileName, error);
  }
  return name;
}

}  // namespace tarvo::platform
