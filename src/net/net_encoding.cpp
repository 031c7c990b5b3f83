#include "net/net_encoding.h"

namespace tarvo::net {

namespace {

constexpr char32_t kReplacement = 0xFFFD;

// Next code point of a UTF-8 text; malformed input yields U+FFFD and consumes one byte.
char32_t NextCodePoint(std::string_view text, std::size_t& i) {
  auto b = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
  unsigned char c = b(i);
  if (c < 0x80) {
    ++i;
    return c;
  }
  int extra = c >= 0xF0 && c <= 0xF4 ? 3 : c >= 0xE0 && c < 0xF0 ? 2 : c >= 0xC2 && c < 0xE0 ? 1 : -1;
  if (extra < 0 || text.size() - i <= static_cast<std::size_t>(extra)) {
    ++i;
    return kReplacement;
  }
  char32_t cp = c & (0x3F >> extra);
  for (int k = 1; k <= extra; ++k) {
    unsigned char cc = b(i + k);
    if ((cc & 0xC0) != 0x80) {
      ++i;
      return kReplacement;
    }
    cp = (cp << 6) | (cc & 0x3F);
  }
  // Overlong forms, surrogates and values beyond U+10FFFF are not characters.
  bool bad = (extra == 2 && cp < 0x800) || (extra == 3 && (cp < 0x10000 || cp > 0x10FFFF)) ||
             (cp >= 0xD800 && cp <= 0xDFFF);
  if (bad) {
    ++i;
    return kReplacement;
  }
  i += static_cast<std::size_t>(extra) + 1;
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

// Encodings that map one character to one byte below a limit (128 or 256).
class TSingleByteEncoding final : public INetTextEncoding {
public:
  explicit TSingleByteEncoding(char32_t limit) : FLimit(limit) {}

  TNetBytes GetBytes(std::string_view text) const override {
    TNetBytes out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
      char32_t cp = NextCodePoint(text, i);
      out.push_back(cp < FLimit ? static_cast<std::uint8_t>(cp) : static_cast<std::uint8_t>('?'));
    }
    return out;
  }

  std::string GetString(const std::uint8_t* bytes, std::size_t count) const override {
    std::string out;
    out.reserve(count);
    for (std::size_t i = 0; i < count; ++i) AppendUTF8(out, bytes[i] < FLimit ? bytes[i] : kReplacement);
    return out;
  }

private:
  char32_t FLimit;
};

class TUTF8Encoding final : public INetTextEncoding {
public:
  TNetBytes GetBytes(std::string_view text) const override {
    TNetBytes out;
    out.reserve(text.size());
    std::string tmp;
    for (std::size_t i = 0; i < text.size();) {
      tmp.clear();
      AppendUTF8(tmp, NextCodePoint(text, i));
      out.insert(out.end(), tmp.begin(), tmp.end());
    }
    return out;
  }

  std::string GetString(const std::uint8_t* bytes, std::size_t count) const override {
    std::string_view in(reinterpret_cast<const char*>(bytes), count);
    std::string out;
    out.reserve(count);
    for (std::size_t i = 0; i < in.size();) AppendUTF8(out, NextCodePoint(in, i));
    return out;
  }
};

}  // namespace

const INetTextEncoding* NetEncodingASCII() noexcept {
  static const TSingleByteEncoding encoding(128);
  return &encoding;
}

const INetTextEncoding* NetEncoding8Bit() noexcept {
  static const TSingleByteEncoding encoding(256);
  return &encoding;
}

const INetTextEncoding* NetEncodingUTF8() noexcept {
  static const TUTF8Encoding encoding;
  return &encoding;
}

}  // namespace tarvo::net
