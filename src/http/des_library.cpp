#include "http/des_library.h"

#include <mutex>

namespace tarvo::http {

void TNetDESLibrary::Encrypt(const std::uint8_t key7[7], const std::uint8_t in[8], std::uint8_t out[8]) const {
  // 56 key bits, seven per byte in the high bits; the low bit of each byte is parity.
  std::uint8_t key[8] = {
      key7[0],
      static_cast<std::uint8_t>(key7[0] << 7 | key7[1] >> 1),
      static_cast<std::uint8_t>(key7[1] << 6 | key7[2] >> 2),
      static_cast<std::uint8_t>(key7[2] << 5 | key7[3] >> 3),
      static_cast<std::uint8_t>(key7[3] << 4 | key7[4] >> 4),
      static_cast<std::uint8_t>(key7[4] << 3 | key7[5] >> 5),
      static_cast<std::uint8_t>(key7[5] << 2 | key7[6] >> 6),
      static_cast<std::uint8_t>(key7[6] << 1),
  };
  for (std::uint8_t& b : key) {
    b &= 0xFE;
    if (__builtin_parity(b) == 0) b |= 1;
  }
  EncryptBlock(key, in, out);
}

const TNetDESLibrary& DESLibrary() {
  static std::mutex lock;
  static std::unique_ptr<TNetDESLibrary> library;
  std::lock_guard guard(lock);
  if (!library) library = std::make_unique<TNetDESLibrary>(TNetDESLibrary::SystemLibraryNames());
  return *library;
}

}  // namespace tarvo::http
