// DES from libcrypto.
#include <dlfcn.h>

#include "http/auth_exception.h"
#include "http/des_library.h"

namespace tarvo::http {

namespace {

// libcrypto's DES_key_schedule: sixteen round keys of 8 bytes. Kept opaque and aligned for
// the 32-bit words the library stores in it.
struct alignas(8) TKeySchedule {
  unsigned char Bytes[128];
};

constexpr int kDESEncrypt = 1;  // DES_ENCRYPT

}  // namespace

struct TNetDESLibrary::TBinding {
  void* Handle = nullptr;
  void (*SetKey)(const void* key, void* schedule) = nullptr;
  void (*EncryptECB)(const void* in, void* out, void* schedule, int enc) = nullptr;
  ~TBinding() {
    if (Handle != nullptr) dlclose(Handle);
  }
};

std::vector<std::string> TNetDESLibrary::SystemLibraryNames() {
  return {"libcrypto.so.3", "libcrypto.so.1.1", "libcrypto.so"};
}

TNetDESLibrary::TNetDESLibrary(const std::vector<std::string>& names) {
  for (const std::string& name : names) {
    auto binding = std::make_unique<TBinding>();
    binding->Handle = dlopen(name.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (binding->Handle == nullptr) continue;
    binding->SetKey = reinterpret_cast<decltype(binding->SetKey)>(dlsym(binding->Handle, "DES_set_key_unchecked"));
    binding->EncryptECB = reinterpret_cast<decltype(binding->EncryptECB)>(dlsym(binding->Handle, "DES_ecb_encrypt"));
    if (binding->SetKey != nullptr && binding->EncryptECB != nullptr) {
      FBinding = std::move(binding);
      return;
    }
  }
  throw ENetOSSLCouldNotLoadSSLLibrary();
}

TNetDESLibrary::~TNetDESLibrary() = default;

void TNetDESLibrary::EncryptBlock(const std::uint8_t key[8], const std::uint8_t in[8], std::uint8_t out[8]) const {
  TKeySchedule schedule;
  FBinding->SetKey(key, &schedule);
  std::uint8_t block[8];
  for (int i = 0; i < 8; ++i) block[i] = in[i];
  FBinding->EncryptECB(block, out, &schedule, kDESEncrypt);
}

}  // namespace tarvo::http
