#include "net/net_encoding.h"

#include "core/utf8.h"

namespace tarvo::net {

namespace {

constexpr char32_t kReplacement = core::kReplacementCharacter;
using core::AppendUTF8;
using core::NextCodePoint;

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
