#include "platform/system_crypto.h"

namespace tarvo::platform {

TSha256Digest TSha256::Of(const void* data, std::size_t size) {
  TSha256 hash;
  hash.Update(data, size);
  return hash.Final();
}

std::string HexDigest(const TSha256Digest& digest) {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string text;
  for (std::uint8_t byte : digest) {
    text += kDigits[byte >> 4];
    text += kDigits[byte & 15];
  }
  return text;
}

}  // namespace tarvo::platform
