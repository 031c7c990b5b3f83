// The shortcut file on POSIX systems: written in the published format by our own writer,
// replaced whole or not at all; the target's times from its status.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <stdexcept>

#include "platform/replacing_file.h"
#include "platform/shell_link.h"
#include "platform/shell_link_format.h"

namespace tarvo::platform {

namespace {

std::uint64_t FileTimeOf(const struct timespec& t) {
  if (t.tv_sec < 0) return 0;
  return lnk::kFileTimeUnixEpoch + static_cast<std::uint64_t>(t.tv_sec) * 10000000u +
         static_cast<std::uint64_t>(t.tv_nsec) / 100u;
}

std::string FolderOf(const std::string& path) {
  std::size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

}  // namespace

lnk::TLinkTarget lnk::LinkTargetOf(const std::string& path) {
  struct stat target {};
  if (::stat(path.c_str(), &target) != 0 || !S_ISREG(target.st_mode)) return {};
  // Creation: the status change is the closest this system keeps.
  return {true, FileTimeOf(target.st_ctim), FileTimeOf(target.st_atim), FileTimeOf(target.st_mtim),
          static_cast<std::uint64_t>(target.st_size)};
}

bool TShellLink::Write() {
  if (FWorkingDirectory.empty()) FWorkingDirectory = FolderOf(FProgramFile);
  std::vector<std::uint8_t> bytes;
  try {
    bytes = Serialize();
  } catch (const lnk::ETooLong&) {
    errno = ENAMETOOLONG;
    return false;
  }
  return ReplaceFileContent(FLinkFile, bytes.data(), bytes.size());
}

bool TShellLink::Read() {
  // A shortcut is a few hundred bytes; the format's counted fields cap any sane one far
  // below this.
  constexpr std::size_t kMaxLinkFileSize = 1 << 20;
  int fd = ::open(FLinkFile.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  std::vector<std::uint8_t> bytes;
  std::uint8_t buffer[8192];
  bool ok = true;
  for (;;) {
    ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      ok = n == 0;
      break;
    }
    bytes.insert(bytes.end(), buffer, buffer + n);
    if (bytes.size() > kMaxLinkFileSize) {
      ok = false;
      break;
    }
  }
  ::close(fd);
  return ok && Parse(bytes.data(), bytes.size());
}

}  // namespace tarvo::platform
