// The system's random source from CNG, loaded at run time from System32 alone: importing
// bcrypt.dll would let a DLL of that name beside the program run before main.
#include <windows.h>
#include <bcrypt.h>

#include "http/auth_secret.h"

namespace tarvo::http {

namespace {

using TGenRandom = NTSTATUS(WINAPI*)(BCRYPT_ALG_HANDLE, PUCHAR, ULONG, ULONG);

TGenRandom GenRandom() {
  static const TGenRandom function = [] {
    HMODULE module = ::LoadLibraryExW(L"bcrypt.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
    return module ? reinterpret_cast<TGenRandom>(reinterpret_cast<void*>(::GetProcAddress(module, "BCryptGenRandom")))
                  : nullptr;
  }();
  return function;
}

}  // namespace

bool SystemRandomBytes(void* data, std::size_t size) {
  const TGenRandom gen = GenRandom();
  auto* p = static_cast<PUCHAR>(data);
  while (gen != nullptr && size > 0) {
    const ULONG piece = static_cast<ULONG>(size < (1u << 30) ? size : (1u << 30));
    if (gen(nullptr, p, piece, BCRYPT_USE_SYSTEM_PREFERRED_RNG) < 0) return false;
    p += piece;
    size -= piece;
  }
  return gen != nullptr;
}

}  // namespace tarvo::http
