// Secrets (passwords, keys derived from them) are overwritten before their memory is given
// back, so that a crash dump or a later allocation does not show them. A plain memset of
// memory about to be freed may be removed by the compiler; writes through a volatile
// pointer may not.
#pragma once

#include <cstddef>
#include <string>

namespace tarvo::http {

inline void WipeBytes(void* data, std::size_t size) {
  volatile unsigned char* p = static_cast<volatile unsigned char*>(data);
  while (size-- > 0) *p++ = 0;
}

// The whole capacity, not just the current size: a string that shrank keeps the old bytes.
inline void WipeString(std::string& s) {
  s.resize(s.capacity());
  WipeBytes(s.data(), s.size());
  s.clear();
}

// Fills `size` bytes from the system's random source; false when it gives none.
bool SystemRandomBytes(void* data, std::size_t size);

}  // namespace tarvo::http
