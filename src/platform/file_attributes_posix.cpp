#include "platform/file_attributes.h"

#include <fcntl.h>
#include <sys/stat.h>

namespace tarvo::platform {

bool SetFileAttributes(const std::string& path, std::uint32_t attributes, long unixMode) noexcept {
  struct stat st {};
  if (::lstat(path.c_str(), &st) != 0 || S_ISLNK(st.st_mode)) return false;
  mode_t mode;
  if (unixMode >= 0) {
    mode = static_cast<mode_t>(unixMode) & 0777;
  } else {
    mode = st.st_mode & 0777;
    if (attributes & faReadOnly) mode &= ~static_cast<mode_t>(0222);
  }
  if (S_ISDIR(st.st_mode)) mode |= S_IRWXU;
  return ::chmod(path.c_str(), mode) == 0;
}

bool IsReadOnlyFile(const std::string& path) noexcept {
  struct stat st {};
  if (::lstat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return false;
  return (st.st_mode & S_IWUSR) == 0;
}

}  // namespace tarvo::platform
