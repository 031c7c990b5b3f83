// Percent-encoding and decoding of URI parts.
#include <string>

#include "http/uri.h"

namespace tarvo::http {

namespace {

constexpr char kHex[] = "0123456789ABCDEF";

void AppendPercent(std::string& out, const std::string& bytes) {
  for (unsigned char b : bytes) {
    out += '%';
    out += kHex[b >> 4];
    out += kHex[b & 15];
  }
}

bool AlwaysEncoded(char32_t cp) {
  switch (cp) {
    case '*': case '<': case '>': case '#': case '%': case '"': case '{': case '}':
    case '|': case '\\': case '^': case '[': case ']': case '`':
      return true;
    default:
      return false;
  }
}

std::string EncodePart(std::string_view src, const INetTextEncoding* enc, bool path) {
  std::string out;
  std::size_t pos = 0;
  while (pos < src.size()) {
    std::size_t start = pos;
    char32_t cp = NextCodePoint(src, pos);
    bool keep = !AlwaysEncoded(cp) && !(path && cp == '+') && cp >= 0x21 &&
                cp <= (path ? char32_t(0x7F) : char32_t(0x80));
    if (keep)
      out.append(src.substr(start, pos - start));
    else
      AppendPercent(out, EncodeCodePoint(cp, enc));
  }
  return out;
}

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Reads count hexadecimal digits; -1 when any is not one.
long ReadHex(std::string_view s, std::size_t at, std::size_t count) {
  long v = 0;
  for (std::size_t i = 0; i < count; ++i) {
    int d = HexValue(s[at + i]);
    if (d < 0) return -1;
    v = v * 16 + d;
  }
  return v;
}

}  // namespace

std::string TNetURI::PathEncode(std::string_view src, const INetTextEncoding* enc) {
  return EncodePart(src, enc, true);
}

std::string TNetURI::ParamsEncode(std::string_view src, const INetTextEncoding* enc) {
  return EncodePart(src, enc, false);
}

std::string TNetURI::URLEncode(std::string_view src, const INetTextEncoding* enc) {
  TNetURI uri(src);
  uri.SetPath(PathEncode(uri.Path(), enc));
  uri.SetDocument(PathEncode(uri.Document(), enc));
  uri.SetParams(ParamsEncode(uri.Params(), enc));
  return uri.URI();
}

std::string TNetURI::URLDecode(std::string_view src, const INetTextEncoding* enc) {
  std::string bytes;
  std::size_t i = 0;
  char32_t pendingHigh = 0;  // a high surrogate waiting for its low half
  auto flushHigh = [&] {
    if (pendingHigh) bytes += EncodeCodePoint(0xFFFD, enc);
    pendingHigh = 0;
  };
  while (i < src.size()) {
    if (src[i] == '%' && i + 1 < src.size() && (src[i + 1] == 'u' || src[i + 1] == 'U') &&
        src.size() - i >= 6) {
      long unit = ReadHex(src, i + 2, 4);
      i += 6;
      if (unit < 0) continue;
      char32_t cu = static_cast<char32_t>(unit);
      if (cu >= 0xD800 && cu <= 0xDBFF) {
        flushHigh();
        pendingHigh = cu;
      } else if (cu >= 0xDC00 && cu <= 0xDFFF && pendingHigh) {
        bytes += EncodeCodePoint(0x10000 + ((pendingHigh - 0xD800) << 10) + (cu - 0xDC00), enc);
        pendingHigh = 0;
      } else {
        flushHigh();
        bytes += EncodeCodePoint(cu >= 0xD800 && cu <= 0xDFFF ? 0xFFFD : cu, enc);
      }
      continue;
    }
    flushHigh();
    if (src[i] == '%' && src.size() - i >= 3) {
      long b = ReadHex(src, i + 1, 2);
      i += 3;
      if (b >= 0) bytes += static_cast<char>(b);
      continue;
    }
    bytes += src[i];
    ++i;
  }
  flushHigh();
  return DecodeBytes(bytes, enc);
}

}  // namespace tarvo::http
