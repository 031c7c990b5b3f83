#include "http/char_encoding.h"

namespace tarvo::http {

char32_t NextCodePoint(std::string_view text, std::size_t& pos) {
  auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
  unsigned char b0 = byte(pos);
  if (b0 < 0x80) {
    ++pos;
    return b0;
  }
  int extra;
  char32_t cp;
  char32_t minimum;
  if ((b0 & 0xE0) == 0xC0) {
    extra = 1, cp = b0 & 0x1F, minimum = 0x80;
  } else if ((b0 & 0xF0) == 0xE0) {
    extra = 2, cp = b0 & 0x0F, minimum = 0x800;
  } else if ((b0 & 0xF8) == 0xF0) {
    extra = 3, cp = b0 & 0x07, minimum = 0x10000;
  } else {
    ++pos;
    return 0xFFFD;
  }
  if (text.size() - pos <= static_cast<std::size_t>(extra)) {
    ++pos;
    return 0xFFFD;
  }
  for (int i = 1; i <= extra; ++i) {
    unsigned char b = byte(pos + i);
    if ((b & 0xC0) != 0x80) {
      ++pos;
      return 0xFFFD;
    }
    cp = (cp << 6) | (b & 0x3F);
  }
  if (cp < minimum || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
    ++pos;
    return 0xFFFD;
  }
  pos += extra + 1;
  return cp;
}

void AppendUTF8(std::string& out, char32_t cp) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (cp >> 18));
    out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

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
