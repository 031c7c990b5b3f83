#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstring>

#include "platform/mapped_file.h"

namespace tarvo::platform {

TMappedFile::TMappedFile(const std::string& fileName) noexcept {
  const int fd = ::open(fileName.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return;
  FHandle = fd;
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    FStatus = TStatus::msNotAFile;
    return;
  }
  FFileSize = static_cast<std::uint64_t>(st.st_size);
  FStatus = TStatus::msOpened;
}

TMappedFile::~TMappedFile() {
  if (FData) ::munmap(const_cast<unsigned char*>(FData), static_cast<std::size_t>(FFileSize));
  if (FHandle >= 0) ::close(static_cast<int>(FHandle));
}

bool TMappedFile::Map(std::string& reason) noexcept {
  if (FData) return true;
  if (FStatus != TStatus::msOpened || FFileSize == 0 || FFileSize > SIZE_MAX) {
    reason = std::strerror(EINVAL);
    return false;
  }
  void* view = ::mmap(nullptr, static_cast<std::size_t>(FFileSize), PROT_READ, MAP_SHARED, static_cast<int>(FHandle), 0);
  if (view == MAP_FAILED) {
    reason = std::strerror(errno);
    return false;
  }
  FData = static_cast<const unsigned char*>(view);
  return true;
}

}  // namespace tarvo::platform
