#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstring>

#include "core/format.h"
#include "i18n/gettext_errors.h"
#include "i18n/i18n_strings.h"
#include "i18n/mo_file_map.h"

namespace tarvo::i18n {

using core::Format;
using core::LoadResString;

namespace {

// The operating system's error text is cut to this many characters in the message.
constexpr std::size_t kMaxReasonLength = 2000;

struct FdCloser {
  int fd;
  ~FdCloser() {
    if (fd >= 0) ::close(fd);
  }
};

}  // namespace

TMoFileMap MapMoFile(const std::string& fileName) {
  FdCloser file{::open(fileName.c_str(), O_RDONLY | O_CLOEXEC)};
  if (file.fd < 0) throw EGettextIOError(Format(LoadResString(SCannotOpenFile), {fileName}));
  struct stat st {};
  if (::fstat(file.fd, &st) != 0 || !S_ISREG(st.st_mode))
    throw EGettextIOError(Format(LoadResString(SCannotCreateMemoryMap), {fileName}));
  TMoFileMap map;
  map.Size = static_cast<std::uint64_t>(st.st_size);
  if (map.Size == 0) return map;
  if (map.Size > SIZE_MAX) throw EGettextIOError(Format(LoadResString(SCannotCreateMemoryMap), {fileName}));
  void* view = ::mmap(nullptr, static_cast<std::size_t>(map.Size), PROT_READ, MAP_SHARED, file.fd, 0);
  if (view == MAP_FAILED) {
    std::string reason = std::strerror(errno);
    if (reason.size() > kMaxReasonLength) reason.resize(kMaxReasonLength);
    throw EGettextIOError(Format(LoadResString(SCannotMapFile), {fileName, reason}));
  }
  map.View = view;
  return map;
}

void UnmapMoFile(const TMoFileMap& map) noexcept {
  if (map.View != nullptr) ::munmap(map.View, static_cast<std::size_t>(map.Size));
}

}  // namespace tarvo::i18n
