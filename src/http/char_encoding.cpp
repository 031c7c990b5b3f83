#include "http/char_encoding.h"

namespace tarvo::http {

std::string EncodeCodePoint(char32_t cp, const INetTextEncoding* encoding) {
  if (cp >= 0xD800 && cp <= 0xDFFF) cp = 0xFFFD;  // a lone surrogate has no UTF-8 form
  std::string utf8;
  AppendUTF8(utf8, cp);
  net::TNetBytes bytes = net::NetEncodingOrDefault(encoding)->GetBytes(utf8);
  return std::string(bytes.begin(), bytes.end());
}

std::string DecodeBytes(std::string_view bytes, const INetTextEncoding* encoding) {
  return net::NetEncodingOrDefault(encoding)->GetString(reinterpret_cast<const std::uint8_t*>(bytes.data()),
                                                        bytes.size());
}

const INetTextEncoding* CharEncodingFromName(std::string_view name) {
  std::string n = LowerCase(Trim(name));
  if (n == "utf-8" || n == "utf8") return net::NetEncodingUTF8();
  if (n == "us-ascii" || n == "ascii") return net::NetEncodingASCII();
  if (n == "iso-8859-1" || n == "latin1" || n == "iso8859-1" || n == "iso_8859-1" || n == "windows-1252")
    return net::NetEncoding8Bit();
  return nullptr;
}

bool ContainsText(std::string_view haystack, std::string_view needle) {
  return LowerCase(haystack).find(LowerCase(needle)) != std::string::npos;
}

}  // namespace tarvo::http
