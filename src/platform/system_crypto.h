// The system's own cryptography, behind one small interface: libcrypto on Linux, CNG
// (bcrypt.dll, loaded from System32 only) on Windows. Both use the processor's SHA and AES
// instructions; nothing here is our own cipher or hash.
//
// The key and signature formats are unwrapped by our own parsing (public_key_der.h), so
// that both systems accept exactly the same inputs.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "core/exception.h"

namespace tarvo::platform {

using TSha256Digest = std::array<std::uint8_t, 32>;

// The system's cryptography could not be loaded or refused a call; the message says which.
class ESystemCryptoError : public core::Exception {
public:
  using core::Exception::Exception;
};

// SHA-256 over bytes that arrive in pieces.
class TSha256 {
public:
  TSha256();  // raises ESystemCryptoError
  ~TSha256();
  TSha256(const TSha256&) = delete;
  TSha256& operator=(const TSha256&) = delete;

  void Update(const void* data, std::size_t size);
  // The digest of everything so far; the object starts again from nothing.
  TSha256Digest Final();
  // Starts again from nothing.
  void Reset();

  static TSha256Digest Of(const void* data, std::size_t size);

private:
  struct TState;
  std::unique_ptr<TState> FState;
};

// The digest in lower-case hex, as sha256sum writes it.
std::string HexDigest(const TSha256Digest& digest);

// An ECDSA public key on P-256: the point's coordinates, big-endian.
struct TEcP256PublicKey {
  std::array<std::uint8_t, 32> X{};
  std::array<std::uint8_t, 32> Y{};
};

// Whether signature (r || s, 32 bytes each, big-endian) is key's ECDSA signature of the
// SHA-256 digest. False for a signature that does not verify, including r or s out of range;
// raises ESystemCryptoError only when the system cannot be asked.
bool VerifyEcdsaP256(const TEcP256PublicKey& key, const TSha256Digest& digest,
                     const std::array<std::uint8_t, 64>& signature);

}  // namespace tarvo::platform
