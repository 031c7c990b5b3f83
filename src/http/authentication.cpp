#include "http/authentication.h"

#include "http/char_encoding.h"

namespace tarvo::http {

std::string EncodeBase64(const std::string& bytes) {
  static constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  std::size_t i = 0;
  for (; i + 2 < bytes.size(); i += 3) {
    unsigned v = (static_cast<unsigned char>(bytes[i]) << 16) | (static_cast<unsigned char>(bytes[i + 1]) << 8) |
                 static_cast<unsigned char>(bytes[i + 2]);
    out += kAlphabet[v >> 18], out += kAlphabet[(v >> 12) & 63], out += kAlphabet[(v >> 6) & 63],
        out += kAlphabet[v & 63];
  }
  if (i + 1 == bytes.size()) {
    unsigned v = static_cast<unsigned char>(bytes[i]) << 16;
    out += kAlphabet[v >> 18], out += kAlphabet[(v >> 12) & 63], out += "==";
  } else if (i + 2 == bytes.size()) {
    unsigned v = (static_cast<unsigned char>(bytes[i]) << 16) | (static_cast<unsigned char>(bytes[i + 1]) << 8);
    out += kAlphabet[v >> 18], out += kAlphabet[(v >> 12) & 63], out += kAlphabet[(v >> 6) & 63], out += '=';
  }
  return out;
}

std::string TNetBasicAuthentication::Authentication() {
  std::string text = FUsername + ":" + FPassword;
  std::string bytes;
  std::size_t pos = 0;
  while (pos < text.size()) bytes += EncodeCodePoint(NextCodePoint(text, pos), nullptr);
  return "Basic " + EncodeBase64(bytes);
}

}  // namespace tarvo::http
