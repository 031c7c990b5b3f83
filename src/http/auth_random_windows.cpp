#include <windows.h>
#include <bcrypt.h>

#include "http/auth_secret.h"

namespace tarvo::http {

bool SystemRandomBytes(void* data, std::size_t size) {
  return BCryptGenRandom(nullptr, static_cast<PUCHAR>(data), static_cast<ULONG>(size),
                         BCRYPT_USE_SYSTEM_PREFERRED_RNG) == 0;
}

}  // namespace tarvo::http
