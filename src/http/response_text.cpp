#include "http/response_text.h"

#include "core/utf8.h"
#include "http/char_encoding.h"

namespace tarvo::http {

namespace {

bool IsXmlMediaType(std::string_view type) {
  std::string t = LowerCase(Trim(type.substr(0, type.find(';'))));
  return t == "text/xml" || t == "application/xml" || t == "text/xml-external-parsed-entity" ||
         t == "application/xml-external-parsed-entity" || t == "application/xml-dtd" ||
         (t.size() > 4 && t.compare(t.size() - 4, 4, "+xml") == 0);
}

// UTF-16 by hand: the transport has no UTF-16 encoding of its own.
std::string DecodeUTF16(std::string_view bytes, bool bigEndian) {
  std::string out;
  for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
    auto unit = [&](std::size_t at) {
      unsigned a = static_cast<unsigned char>(bytes[at]), b = static_cast<unsigned char>(bytes[at + 1]);
      return static_cast<char32_t>(bigEndian ? (a << 8) | b : (b << 8) | a);
    };
    char32_t cu = unit(i);
    if (cu >= 0xD800 && cu <= 0xDBFF && i + 3 < bytes.size()) {
      char32_t lo = unit(i + 2);
      if (lo >= 0xDC00 && lo <= 0xDFFF) {
        AppendUTF8(out, 0x10000 + ((cu - 0xD800) << 10) + (lo - 0xDC00));
        i += 2;
        continue;
      }
    }
    AppendUTF8(out, cu >= 0xD800 && cu <= 0xDFFF ? char32_t(0xFFFD) : cu);
  }
  return out;
}

std::string XmlDeclaredEncoding(std::string_view body) {
  if (body.substr(0, 5) != "<?xml") return {};
  std::size_t end = body.find("?>");
  std::string_view decl = body.substr(0, end);
  std::size_t at = decl.find("encoding");
  if (at == std::string_view::npos) return {};
  std::size_t q = decl.find_first_of("\"'", at);
  if (q == std::string_view::npos) return {};
  std::size_t q2 = decl.find(decl[q], q + 1);
  if (q2 == std::string_view::npos) return {};
  return std::string(decl.substr(q + 1, q2 - q - 1));
}

}  // namespace

std::string DecodeResponseText(std::string_view body, const TNetEntityHeaderInfo& headers) {
  std::string charset = headers.CharSet();
  if (IsXmlMediaType(headers.ContentType())) {
    if (body.substr(0, 3) == "\xEF\xBB\xBF") return DecodeBytes(body.substr(3), net::NetEncodingUTF8());
    if (body.substr(0, 2) == "\xFE\xFF") return DecodeUTF16(body.substr(2), true);
    if (body.substr(0, 2) == "\xFF\xFE") return DecodeUTF16(body.substr(2), false);
    charset = XmlDeclaredEncoding(body);
    if (charset.empty()) charset = "UTF-8";
  }
  const INetTextEncoding* enc = charset.empty() ? nullptr : CharEncodingFromName(charset);
  return DecodeBytes(body, enc != nullptr ? enc : net::NetEncoding8Bit());
}

namespace {

bool Unshowable(char32_t c) {
  return c < 0x20 || (c >= 0x7F && c <= 0x9F) || c == 0x061C || c == 0x200E || c == 0x200F ||
         (c >= 0x202A && c <= 0x202E) || (c >= 0x2066 && c <= 0x2069);
}

}  // namespace

std::string DisplayText(std::string_view text, std::size_t maxChars, bool keepLineBreaks) {
  std::string out;
  std::size_t chars = 0;
  for (std::size_t pos = 0; pos < text.size();) {
    if (keepLineBreaks && (text.substr(pos, 2) == "\r\n" || text[pos] == '\n')) {
      std::size_t n = text[pos] == '\n' ? 1 : 2;
      out.append(text.substr(pos, n));
      pos += n;
      continue;
    }
    if (chars == maxChars) {
      out += "...";
      break;
    }
    char32_t c = core::NextCodePoint(text, pos);
    core::AppendUTF8(out, Unshowable(c) ? core::kReplacementCharacter : c);
    ++chars;
  }
  return out;
}

}  // namespace tarvo::http
