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

static char LowerAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; }

bool SameText(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (LowerAscii(a[i]) != LowerAscii(b[i])) return false;
  return true;
}

std::string LowerCase(std::string_view s) {
  std::string out(s);
  for (char& c : out) c = LowerAscii(c);
  return out;
}

std::string UpperCase(std::string_view s) {
  std::string out(s);
  for (char& c : out)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
  return out;
}

std::string_view Trim(std::string_view s) {
  std::size_t b = 0, e = s.size();
  while (b < e && static_cast<unsigned char>(s[b]) <= 32) ++b;
  while (e > b && static_cast<unsigned char>(s[e - 1]) <= 32) --e;
  return s.substr(b, e - b);
}

bool ContainsText(std::string_view haystack, std::string_view needle) {
  return LowerCase(haystack).find(LowerCase(needle)) != std::string::npos;
}

}  // namespace tarvo::http
