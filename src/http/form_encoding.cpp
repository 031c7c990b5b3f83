#include "http/form_encoding.h"

namespace tarvo::http {

namespace {

bool IsKept(char32_t cp) {
  return (cp >= 'A' && cp <= 'Z') || (cp >= 'a' && cp <= 'z') || (cp >= '0' && cp <= '9') ||
         cp == '*' || cp == '-' || cp == '.' || cp == '_';
}

std::string EncodeLine(std::string_view line, const INetTextEncoding* enc) {
  std::size_t eq = line.find('=');
  if (eq == std::string_view::npos) return EncodeFormField(line, enc);
  return EncodeFormField(line.substr(0, eq), enc) + "=" + EncodeFormField(line.substr(eq + 1), enc);
}

}  // namespace

std::string EncodeFormField(std::string_view field, const INetTextEncoding* enc) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string out;
  std::size_t pos = 0;
  while (pos < field.size()) {
    char32_t cp = NextCodePoint(field, pos);
    if (cp == ' ') {
      out += '+';
    } else if (IsKept(cp)) {
      out += static_cast<char>(cp);
    } else {
      std::string bytes = EncodeCodePoint(cp, enc);
      if (bytes.empty() || (cp != '?' && bytes.find('?') != std::string::npos)) {
        out += "&#" + std::to_string(static_cast<unsigned long>(cp)) + ";";
      } else {
        for (unsigned char b : bytes) {
          out += '%';
          out += kHex[b >> 4];
          out += kHex[b & 15];
        }
      }
    }
  }
  return out;
}

std::string EncodeFormFields(const std::vector<std::string>& lines, bool forceEncode,
                             const INetTextEncoding* enc) {
  std::string text;
  for (const std::string& line : lines) {
    text += forceEncode ? EncodeLine(line, enc) : line;
    text += "\r\n";
  }
  std::string trimmed(Trim(text));
  if (lines.size() < 2) return trimmed;
  std::string out;
  for (std::size_t i = 0; i < trimmed.size(); ++i) {
    if (trimmed[i] == '\r' && i + 1 < trimmed.size() && trimmed[i + 1] == '\n') {
      out += '&';
      ++i;
    } else {
      out += trimmed[i];
    }
  }
  return out;
}

}  // namespace tarvo::http
