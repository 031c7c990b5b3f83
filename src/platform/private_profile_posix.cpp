// Writing a settings file on POSIX systems: read whole, changed in memory, replaced safely.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <string>

#include "platform/private_profile.h"
#include "platform/replacing_file.h"

namespace tarvo::platform {

namespace {

bool ReadWhole(const std::string& fileName, std::string& content) {
  int fd = ::open(fileName.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return errno == ENOENT;
  struct stat st {};
  bool ok = ::fstat(fd, &st) == 0;
  if (ok && static_cast<std::uint64_t>(st.st_size) > kMaxProfileFileSize) {
    errno = EFBIG;
    ok = false;
  }
  char buffer[16384];
  while (ok) {
    ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      ok = n == 0;
      break;
    }
    content.append(buffer, static_cast<std::size_t>(n));
    if (content.size() > kMaxProfileFileSize) {
      errno = EFBIG;
      ok = false;
    }
  }
  int saved = errno;
  ::close(fd);
  errno = saved;
  return ok;
}

}  // namespace

bool WritePrivateProfileString(const std::string& section, const std::string& key, const std::string& value,
                               const std::string& fileName) {
  std::string content;
  if (!ReadWhole(fileName, content)) return false;
  std::string updated = SetProfileString(content, section, key, value);
  return ReplaceFileContent(fileName, updated.data(), updated.size());
}

}  // namespace tarvo::platform
