// Key and signature bytes as hostile input: no crash, and what parses is the one DER
// encoding of its value (DER leaves no other), so re-encoding gives the input back.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include "platform/public_key_der.h"
#include "platform/system_crypto.h"

using namespace tarvo::platform;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  std::string why;
  if (const auto key = ParseEcP256PublicKey(input, &why)) {
    if (!why.empty()) std::abort();  // a reason only for a refusal
    const auto der = EncodeEcP256PublicKeyDer(*key);
    const std::string_view derText(reinterpret_cast<const char*>(der.data()), der.size());
    const auto again = ParseEcP256PublicKey(derText);
    if (!again || again->X != key->X || again->Y != key->Y) std::abort();
    if (input.find("-----BEGIN PUBLIC KEY-----") == std::string_view::npos && input != derText) std::abort();
    // Any point, on the curve or not, is a question the system answers without failing.
    (void)VerifyEcdsaP256(*key, TSha256::Of(data, size), std::array<std::uint8_t, 64>{1});
  } else if (why.empty()) {
    std::abort();  // a refusal always says why
  }
  if (const auto rs = ParseEcdsaDerSignature(input)) {
    if (EncodeEcdsaDerSignature(*rs) != input) std::abort();
    const std::array<std::uint8_t, 32> zero{};
    if (std::memcmp(rs->data(), zero.data(), 32) == 0 || std::memcmp(rs->data() + 32, zero.data(), 32) == 0)
      std::abort();
  }
  return 0;
}
