#include "tls/certificate_text.h"

#include <algorithm>

#include "http/authentication.h"
#include "net/net_stack.h"

namespace tarvo::tls {

namespace {

// Line breaks and blanks anywhere, then strict Base64: "=" only as the last one or two
// characters, whole quantums only. Anything else means the file is not what it claims.
std::optional<TDerCertificate> DecodeBlock(std::string_view text) {
  std::string packed;
  packed.reserve(text.size());
  for (char c : text)
    if (c != ' ' && c != '\t' && c != '\r' && c != '\n') packed += c;
  std::string bytes;
  if (packed.empty() || !http::DecodeBase64(packed, bytes)) return std::nullopt;
  return TDerCertificate(bytes.begin(), bytes.end());
}

std::string Lower(std::string_view text) {
  std::string s(text);
  for (char& c : s)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  if (!s.empty() && s.back() == '.') s.pop_back();
  return s;
}

bool PatternMatches(std::string_view pattern, const std::string& host) {
  const std::string p = Lower(pattern);
  if (p.empty()) return false;
  if (p == host) return true;
  // "*.example.com": one whole label, and never "*.com" that would cover a whole domain.
  if (p.size() < 3 || p[0] != '*' || p[1] != '.' || std::count(p.begin(), p.end(), '.') < 2) return false;
  const std::string_view suffix = std::string_view(p).substr(1);
  if (p.find('*', 1) != std::string::npos || host.size() <= suffix.size()) return false;
  if (host.compare(host.size() - suffix.size(), suffix.size(), suffix) != 0) return false;
  return host.find('.') == host.size() - suffix.size();
}

}  // namespace

std::vector<std::uint8_t> AddressBytes(std::string_view host) {
  std::vector<std::uint8_t> bytes;
  if (net::TNetStack::IsIP(host)) {
    unsigned value = 0;
    bool digits = false;
    for (char c : host) {
      if (c >= '0' && c <= '9') {
        value = value * 10 + static_cast<unsigned>(c - '0');
        digits = true;
      } else if (c == '.') {
        bytes.push_back(static_cast<std::uint8_t>(value));
        value = 0;
        digits = false;
      }
    }
    if (digits) bytes.push_back(static_cast<std::uint8_t>(value));
    if (bytes.size() != 4) bytes.clear();
    return bytes;
  }
  const std::string canonical = net::TNetStack::CanonicalIPv6Text(host);
  if (canonical.empty()) return bytes;
  unsigned group = 0;
  for (char c : canonical + ":") {
    if (c == ':') {
      bytes.push_back(static_cast<std::uint8_t>(group >> 8));
      bytes.push_back(static_cast<std::uint8_t>(group));
      group = 0;
    } else {
      group = group << 4 | static_cast<unsigned>(c <= '9' ? c - '0' : (c | 0x20) - 'a' + 10);
    }
  }
  if (bytes.size() != 16) bytes.clear();
  return bytes;
}

std::optional<std::vector<TDerCertificate>> ParsePemCertificates(std::string_view text) {
  static constexpr std::string_view kBegin = "-----BEGIN ", kDashes = "-----", kEnd = "-----END ";
  std::vector<TDerCertificate> certificates;
  std::size_t at = 0;
  while ((at = text.find(kBegin, at)) != std::string_view::npos) {
    const std::size_t labelStart = at + kBegin.size();
    const std::size_t labelEnd = text.find(kDashes, labelStart);
    if (labelEnd == std::string_view::npos) return std::nullopt;
    const std::string_view label = text.substr(labelStart, labelEnd - labelStart);
    if (label.find('\n') != std::string_view::npos) return std::nullopt;
    const std::size_t bodyStart = labelEnd + kDashes.size();
    const std::string end = std::string(kEnd) + std::string(label) + std::string(kDashes);
    const std::size_t bodyEnd = text.find(end, bodyStart);
    if (bodyEnd == std::string_view::npos) return std::nullopt;
    if (label == "CERTIFICATE") {
      std::optional<TDerCertificate> der = DecodeBlock(text.substr(bodyStart, bodyEnd - bodyStart));
      if (!der) return std::nullopt;
      certificates.push_back(std::move(*der));
    }
    at = bodyEnd + end.size();
  }
  return certificates;
}

bool NameMatches(const TCertificateNames& names, std::string_view host) {
  const std::vector<std::uint8_t> address = AddressBytes(host);
  if (!address.empty()) return std::find(names.IPAddresses.begin(), names.IPAddresses.end(), address) != names.IPAddresses.end();
  const std::string wanted = Lower(host);
  if (wanted.empty() || host.find(':') != std::string_view::npos) return false;
  const std::vector<std::string>& patterns = names.DnsNames.empty() ? names.CommonNames : names.DnsNames;
  return std::any_of(patterns.begin(), patterns.end(), [&](const std::string& p) { return PatternMatches(p, wanted); });
}

}  // namespace tarvo::tls
