// Our own reading of the two DER structures a signed download needs, for both systems:
// a SubjectPublicKeyInfo holding an ECDSA P-256 key (as PEM "PUBLIC KEY" text or raw DER),
// and an ECDSA-Sig-Value (SEQUENCE of two INTEGERs, as `openssl dgst -sign` writes it).
// Strict DER: definite minimal lengths, minimal integers, nothing after the structure.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/system_crypto.h"

namespace tarvo::platform {

// The key of a PEM text ("-----BEGIN PUBLIC KEY-----" ... "-----END PUBLIC KEY-----",
// base64 lines; text before and after the block is ignored) or of DER bytes. Only
// id-ecPublicKey with the named curve prime256v1 and an uncompressed point (04 || X || Y)
// is taken. Text with the BEGIN line at the start of a line is read as PEM (the first such
// block), anything else as DER. nullopt with why set (English, for the log and the error
// message) otherwise.
std::optional<TEcP256PublicKey> ParseEcP256PublicKey(std::string_view text, std::string* why = nullptr);

// r || s of a DER ECDSA-Sig-Value for P-256 (each 1 to 32 bytes of value, positive);
// nullopt for anything else.
std::optional<std::array<std::uint8_t, 64>> ParseEcdsaDerSignature(std::string_view der);

// The other way, for a system that takes only DER: the one DER encoding of key as a
// SubjectPublicKeyInfo, and of r || s as an ECDSA-Sig-Value (any values, zero included;
// ParseEcdsaDerSignature takes it back whenever r and s are both non-zero).
inline constexpr std::size_t kEcP256PublicKeyDerSize = 91;
std::array<std::uint8_t, kEcP256PublicKeyDerSize> EncodeEcP256PublicKeyDer(const TEcP256PublicKey& key);
std::string EncodeEcdsaDerSignature(const std::array<std::uint8_t, 64>& signature);

}  // namespace tarvo::platform
