// SHA-256 and ECDSA verification from CNG. bcrypt.dll is loaded from System32 alone, at
// run time: a DLL of that name beside the installer (a downloads folder holds anything)
// must never be the one that says a download is genuine.
#include <windows.h>

#include <bcrypt.h>

#include <algorithm>
#include <cstring>

#include "platform/system_crypto.h"

namespace tarvo::platform {

namespace {

using TOpenAlgorithmProvider = NTSTATUS(WINAPI*)(BCRYPT_ALG_HANDLE*, LPCWSTR, LPCWSTR, ULONG);
using TCloseAlgorithmProvider = NTSTATUS(WINAPI*)(BCRYPT_ALG_HANDLE, ULONG);
using TCreateHash = NTSTATUS(WINAPI*)(BCRYPT_ALG_HANDLE, BCRYPT_HASH_HANDLE*, PUCHAR, ULONG, PUCHAR, ULONG, ULONG);
using THashData = NTSTATUS(WINAPI*)(BCRYPT_HASH_HANDLE, PUCHAR, ULONG, ULONG);
using TFinishHash = NTSTATUS(WINAPI*)(BCRYPT_HASH_HANDLE, PUCHAR, ULONG, ULONG);
using TDestroyHash = NTSTATUS(WINAPI*)(BCRYPT_HASH_HANDLE);
using TImportKeyPair = NTSTATUS(WINAPI*)(BCRYPT_ALG_HANDLE, BCRYPT_KEY_HANDLE, LPCWSTR, BCRYPT_KEY_HANDLE*, PUCHAR,
                                         ULONG, ULONG);
using TVerifySignature = NTSTATUS(WINAPI*)(BCRYPT_KEY_HANDLE, void*, PUCHAR, ULONG, PUCHAR, ULONG, ULONG);
using TDestroyKey = NTSTATUS(WINAPI*)(BCRYPT_KEY_HANDLE);

// BCryptHashData takes a ULONG count; larger inputs go in pieces of this size.
constexpr std::size_t kMaxHashPiece = std::size_t{1} << 30;

template <typename T>
T Function(HMODULE module, const char* name) {
  // Through void*: a function pointer of one type is not converted to another directly.
  return reinterpret_cast<T>(reinterpret_cast<void*>(::GetProcAddress(module, name)));
}

bool Ok(NTSTATUS status) { return status >= 0; }

// bcrypt.dll and the two algorithm providers, opened once for the process. CNG lets an
// algorithm handle be used from several threads; hash and key objects stay per call.
struct TBinding {
  HMODULE Module = nullptr;
  TOpenAlgorithmProvider OpenAlgorithmProvider = nullptr;
  TCloseAlgorithmProvider CloseAlgorithmProvider = nullptr;
  TCreateHash CreateHash = nullptr;
  THashData HashData = nullptr;
  TFinishHash FinishHash = nullptr;
  TDestroyHash DestroyHash = nullptr;
  TImportKeyPair ImportKeyPair = nullptr;
  TVerifySignature VerifySignature = nullptr;
  TDestroyKey DestroyKey = nullptr;
  BCRYPT_ALG_HANDLE Sha256 = nullptr;
  BCRYPT_ALG_HANDLE EcdsaP256 = nullptr;

  TBinding() {
    Module = ::LoadLibraryExW(L"bcrypt.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
    if (Module == nullptr) throw ESystemCryptoError("bcrypt.dll could not be loaded from the system folder");
    OpenAlgorithmProvider = Function<TOpenAlgorithmProvider>(Module, "BCryptOpenAlgorithmProvider");
    CloseAlgorithmProvider = Function<TCloseAlgorithmProvider>(Module, "BCryptCloseAlgorithmProvider");
    CreateHash = Function<TCreateHash>(Module, "BCryptCreateHash");
    HashData = Function<THashData>(Module, "BCryptHashData");
    FinishHash = Function<TFinishHash>(Module, "BCryptFinishHash");
    DestroyHash = Function<TDestroyHash>(Module, "BCryptDestroyHash");
    ImportKeyPair = Function<TImportKeyPair>(Module, "BCryptImportKeyPair");
    VerifySignature = Function<TVerifySignature>(Module, "BCryptVerifySignature");
    DestroyKey = Function<TDestroyKey>(Module, "BCryptDestroyKey");
    if (!OpenAlgorithmProvider || !CloseAlgorithmProvider || !CreateHash || !HashData || !FinishHash ||
        !DestroyHash || !ImportKeyPair || !VerifySignature || !DestroyKey) {
      Release();
      throw ESystemCryptoError("bcrypt.dll lacks the SHA-256 or ECDSA functions");
    }
    if (!Ok(OpenAlgorithmProvider(&Sha256, BCRYPT_SHA256_ALGORITHM, nullptr, 0))) {
      Sha256 = nullptr;
      Release();
      throw ESystemCryptoError("bcrypt.dll offers no SHA-256");
    }
    if (!Ok(OpenAlgorithmProvider(&EcdsaP256, BCRYPT_ECDSA_P256_ALGORITHM, nullptr, 0))) {
      EcdsaP256 = nullptr;
      Release();
      throw ESystemCryptoError("bcrypt.dll offers no ECDSA on P-256");
    }
  }
  ~TBinding() { Release(); }
  TBinding(const TBinding&) = delete;
  TBinding& operator=(const TBinding&) = delete;

  void Release() {
    if (EcdsaP256 != nullptr) CloseAlgorithmProvider(EcdsaP256, 0);
    if (Sha256 != nullptr) CloseAlgorithmProvider(Sha256, 0);
    if (Module != nullptr) ::FreeLibrary(Module);
    EcdsaP256 = Sha256 = nullptr;
    Module = nullptr;
  }
};

// Made by the first caller; a failed load is tried again by the next one (a static whose
// initialisation throws is not initialised).
const TBinding& Cng() {
  static const TBinding binding;
  return binding;
}

}  // namespace

struct TSha256::TState {
  const TBinding& Library = Cng();
  BCRYPT_HASH_HANDLE Hash = nullptr;

  ~TState() { Close(); }
  void Close() {
    if (Hash != nullptr) Library.DestroyHash(Hash);
    Hash = nullptr;
  }
  // A finished hash object cannot take more input (the flag that would make it reusable
  // needs Windows 8): a new one per message.
  void Start() {
    Close();
    if (!Ok(Library.CreateHash(Library.Sha256, &Hash, nullptr, 0, nullptr, 0, 0))) {
      Hash = nullptr;
      throw ESystemCryptoError("bcrypt.dll refused to start SHA-256");
    }
  }
};

TSha256::TSha256() : FState(std::make_unique<TState>()) { FState->Start(); }

TSha256::~TSha256() = default;

void TSha256::Update(const void* data, std::size_t size) {
  // A failed Start() left no object: the next call starts one, or says why not.
  if (FState->Hash == nullptr) FState->Start();
  auto* bytes = static_cast<PUCHAR>(const_cast<void*>(data));
  while (size != 0) {
    const std::size_t piece = std::min(size, kMaxHashPiece);
    if (!Ok(FState->Library.HashData(FState->Hash, bytes, static_cast<ULONG>(piece), 0)))
      throw ESystemCryptoError("bcrypt.dll refused SHA-256 input");
    bytes += piece;
    size -= piece;
  }
}

TSha256Digest TSha256::Final() {
  if (FState->Hash == nullptr) FState->Start();
  TSha256Digest digest;
  if (!Ok(FState->Library.FinishHash(FState->Hash, digest.data(), static_cast<ULONG>(digest.size()), 0)))
    throw ESystemCryptoError("bcrypt.dll refused to finish SHA-256");
  FState->Start();
  return digest;
}

void TSha256::Reset() { FState->Start(); }

bool VerifyEcdsaP256(const TEcP256PublicKey& key, const TSha256Digest& digest,
                     const std::array<std::uint8_t, 64>& signature) {
  const TBinding& cng = Cng();
  // BCRYPT_ECCPUBLIC_BLOB: the header, then X and Y of cbKey bytes each, big-endian.
  UCHAR blob[sizeof(BCRYPT_ECCKEY_BLOB) + 64];
  const BCRYPT_ECCKEY_BLOB header{BCRYPT_ECDSA_PUBLIC_P256_MAGIC, 32};
  std::memcpy(blob, &header, sizeof header);
  std::memcpy(blob + sizeof header, key.X.data(), 32);
  std::memcpy(blob + sizeof header + 32, key.Y.data(), 32);
  BCRYPT_KEY_HANDLE handle = nullptr;
  // CNG checks the point on import: a point off the curve is a key that verifies nothing.
  if (!Ok(cng.ImportKeyPair(cng.EcdsaP256, nullptr, BCRYPT_ECCPUBLIC_BLOB, &handle, blob, sizeof blob, 0)))
    return false;
  UCHAR hash[32];
  UCHAR rs[64];
  std::memcpy(hash, digest.data(), sizeof hash);
  std::memcpy(rs, signature.data(), sizeof rs);
  const NTSTATUS status = cng.VerifySignature(handle, nullptr, hash, sizeof hash, rs, sizeof rs, 0);
  cng.DestroyKey(handle);
  // Only STATUS_SUCCESS is yes; STATUS_INVALID_SIGNATURE is the plain no, and any other
  // refusal (r or s out of range, as some versions report it) is no as well.
  return status == 0;
}

}  // namespace tarvo::platform
