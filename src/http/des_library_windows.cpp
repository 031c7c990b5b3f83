// DES from bcrypt.dll (Cryptography API: Next Generation).
#include <windows.h>

#include <bcrypt.h>

#include <cstring>

#include "core/utf16.h"
#include "http/auth_exception.h"
#include "http/des_library.h"

namespace tarvo::http {

namespace {

using TOpenAlgorithmProvider = NTSTATUS(WINAPI*)(BCRYPT_ALG_HANDLE*, LPCWSTR, LPCWSTR, ULONG);
using TCloseAlgorithmProvider = NTSTATUS(WINAPI*)(BCRYPT_ALG_HANDLE, ULONG);
using TSetProperty = NTSTATUS(WINAPI*)(BCRYPT_HANDLE, LPCWSTR, PUCHAR, ULONG, ULONG);
using TGenerateSymmetricKey = NTSTATUS(WINAPI*)(BCRYPT_ALG_HANDLE, BCRYPT_KEY_HANDLE*, PUCHAR, ULONG, PUCHAR, ULONG,
                                                ULONG);
using TEncrypt = NTSTATUS(WINAPI*)(BCRYPT_KEY_HANDLE, PUCHAR, ULONG, void*, PUCHAR, ULONG, PUCHAR, ULONG, ULONG*, ULONG);
using TDestroyKey = NTSTATUS(WINAPI*)(BCRYPT_KEY_HANDLE);

template <typename T>
T Function(HMODULE module, const char* name) {
  // Through void*: a function pointer of one type is not converted to another directly.
  return reinterpret_cast<T>(reinterpret_cast<void*>(::GetProcAddress(module, name)));
}

bool Ok(NTSTATUS status) { return status >= 0; }

}  // namespace

struct TNetDESLibrary::TBinding {
  HMODULE Module = nullptr;
  TOpenAlgorithmProvider OpenAlgorithmProvider = nullptr;
  TCloseAlgorithmProvider CloseAlgorithmProvider = nullptr;
  TSetProperty SetProperty = nullptr;
  TGenerateSymmetricKey GenerateSymmetricKey = nullptr;
  TEncrypt EncryptData = nullptr;
  TDestroyKey DestroyKey = nullptr;
  BCRYPT_ALG_HANDLE Algorithm = nullptr;
  // Triple DES with one key three times over is single DES; it stands in where a
  // provider offers no plain DES.
  bool TripleKey = false;
  bool ECB = false;

  ~TBinding() {
    if (Algorithm != nullptr) CloseAlgorithmProvider(Algorithm, 0);
    if (Module != nullptr) ::FreeLibrary(Module);
  }

  bool Bind() {
    OpenAlgorithmProvider = Function<TOpenAlgorithmProvider>(Module, "BCryptOpenAlgorithmProvider");
    CloseAlgorithmProvider = Function<TCloseAlgorithmProvider>(Module, "BCryptCloseAlgorithmProvider");
    SetProperty = Function<TSetProperty>(Module, "BCryptSetProperty");
    GenerateSymmetricKey = Function<TGenerateSymmetricKey>(Module, "BCryptGenerateSymmetricKey");
    EncryptData = Function<TEncrypt>(Module, "BCryptEncrypt");
    DestroyKey = Function<TDestroyKey>(Module, "BCryptDestroyKey");
    if (!OpenAlgorithmProvider || !CloseAlgorithmProvider || !SetProperty || !GenerateSymmetricKey || !EncryptData ||
        !DestroyKey)
      return false;
    // ECB where the provider has it; else CBC, which for one block with a zero
    // initialisation vector is the same.
    for (const wchar_t* name : {BCRYPT_DES_ALGORITHM, BCRYPT_3DES_ALGORITHM}) {
      if (!Ok(OpenAlgorithmProvider(&Algorithm, name, nullptr, 0))) {
        Algorithm = nullptr;
        continue;
      }
      TripleKey = std::wcscmp(name, BCRYPT_3DES_ALGORITHM) == 0;
      auto* ecb = reinterpret_cast<PUCHAR>(const_cast<wchar_t*>(BCRYPT_CHAIN_MODE_ECB));
      const ULONG ecbBytes = static_cast<ULONG>((std::wcslen(BCRYPT_CHAIN_MODE_ECB) + 1) * sizeof(wchar_t));
      ECB = Ok(SetProperty(Algorithm, BCRYPT_CHAINING_MODE, ecb, ecbBytes, 0));
      return true;
    }
    return false;
  }
};

std::vector<std::string> TNetDESLibrary::SystemLibraryNames() { return {"bcrypt.dll"}; }

TNetDESLibrary::TNetDESLibrary(const std::vector<std::string>& names) {
  for (const std::string& name : names) {
    auto binding = std::make_unique<TBinding>();
    // From System32 alone: a bcrypt.dll beside the program (a downloads folder holds
    // anything) must never be the one that runs.
    binding->Module = ::LoadLibraryExW(core::Utf8ToWide(name).c_str(), nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
    if (binding->Module == nullptr) continue;
    if (binding->Bind()) {
      FBinding = std::move(binding);
      return;
    }
  }
  throw ENetOSSLCouldNotLoadSSLLibrary();
}

TNetDESLibrary::~TNetDESLibrary() = default;

void TNetDESLibrary::EncryptBlock(const std::uint8_t key[8], const std::uint8_t in[8], std::uint8_t out[8]) const {
  UCHAR secret[24];
  const ULONG secretBytes = FBinding->TripleKey ? 24 : 8;
  for (ULONG i = 0; i < secretBytes; ++i) secret[i] = key[i % 8];
  BCRYPT_KEY_HANDLE handle = nullptr;
  UCHAR block[8];
  std::memcpy(block, in, 8);
  ULONG written = 0;
  UCHAR iv[8] = {};
  bool done = Ok(FBinding->GenerateSymmetricKey(FBinding->Algorithm, &handle, nullptr, 0, secret, secretBytes, 0)) &&
              Ok(FBinding->EncryptData(handle, block, 8, nullptr, FBinding->ECB ? nullptr : iv, FBinding->ECB ? 0 : 8,
                                       out, 8, &written, 0)) &&
              written == 8;
  if (handle != nullptr) FBinding->DestroyKey(handle);
  ::SecureZeroMemory(secret, sizeof secret);
  if (!done) throw ENetOSSLCouldNotLoadSSLLibrary();
}

}  // namespace tarvo::http
