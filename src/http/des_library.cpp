#include "http/des_library.h"

#include <dlfcn.h>

#include <memory>
#include <mutex>

#include "http/auth_exception.h"

namespace tarvo::http {

namespace {

// libcrypto's DES_key_schedule: sixteen round keys of 8 bytes. Kept opaque and aligned for
// the 32-bit words the library stores in it.
struct alignas(8) TKeySchedule {
  unsigned char Bytes[128];
};

constexpr int kDESEncrypt = 1;  // DES_ENCRYPT

}  // namespace

TNetDESLibrary::TNetDESLibrary(const std::vector<std::string>& names) {
  for (const std::string& name : names) {
    FHandle = dlopen(name.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (FHandle == nullptr) continue;
    FSetKey = reinterpret_cast<decltype(FSetKey)>(dlsym(FHandle, "DES_set_key_unchecked"));
    FEncrypt = reinterpret_cast<decltype(FEncrypt)>(dlsym(FHandle, "DES_ecb_encrypt"));
    if (FSetKey != nullptr && FEncrypt != nullptr) return;
    dlclose(FHandle);
    FHandle = nullptr;
  }
  throw ENetOSSLCouldNotLoadSSLLibrary();
}

TNetDESLibrary::~TNetDESLibrary() {
  if (FHandle != nullptr) dlclose(FHandle);
}

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
  TKeySchedule schedule;
  FSetKey(key, &schedule);
  std::uint8_t block[8];
  for (int i = 0; i < 8; ++i) block[i] = in[i];
  FEncrypt(block, out, &schedule, kDESEncrypt);
}

const TNetDESLibrary& DESLibrary() {
  static std::mutex lock;
  static std::unique_ptr<TNetDESLibrary> library;
  std::lock_guard guard(lock);
  if (!library)
    library = std::make_unique<TNetDESLibrary>(
        std::vector<std::string>{"libcrypto.so.3", "libcrypto.so.1.1", "libcrypto.so"});
  return *library;
}

}  // namespace tarvo::http
