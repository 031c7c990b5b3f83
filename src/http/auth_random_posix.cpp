#include <fcntl.h>
#include <sys/random.h>
#include <unistd.h>

#include <cerrno>

#include "http/auth_secret.h"

namespace tarvo::http {

bool SystemRandomBytes(void* data, std::size_t size) {
  auto* p = static_cast<unsigned char*>(data);
  while (size > 0) {
    ssize_t got = getrandom(p, size, 0);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) break;
    p += got, size -= static_cast<std::size_t>(got);
  }
  if (size == 0) return true;
  // Kernels before getrandom: the device gives the same pool.
  int fd = open("/dev/urandom", O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  while (size > 0) {
    ssize_t got = read(fd, p, size);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) break;
    p += got, size -= static_cast<std::size_t>(got);
  }
  close(fd);
  return size == 0;
}

}  // namespace tarvo::http
