// The parts of a server certificate's check that are text and bytes, the same on every
// system: the certificates of a PEM file, and whether a certificate's names cover the host
// asked for. (OpenSSL does both itself on Linux; the Windows check uses these.)
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tarvo::tls {

using TDerCertificate = std::vector<std::uint8_t>;

// The DER bytes of every CERTIFICATE block of a PEM text; other blocks and the text around
// them are skipped. Nullopt when a block is cut short or its Base64 is not clean.
std::optional<std::vector<TDerCertificate>> ParsePemCertificates(std::string_view text);

// What the certificate says it is for.
struct TCertificateNames {
  std::vector<std::string> DnsNames;                   // subjectAltName dNSName entries
  std::vector<std::vector<std::uint8_t>> IPAddresses;  // subjectAltName iPAddress entries
  std::vector<std::string> CommonNames;                // the subject's CN, read without DNS entries
};

// The bytes of an IPv4 (4) or IPv6 (16) address literal; empty for a name.
std::vector<std::uint8_t> AddressBytes(std::string_view host);

// host is a name (compared without case, "*" only as the whole left-most label of a name
// of three labels or more) or an IPv4/IPv6 address (compared with the iPAddress entries
// alone). The CN counts only when there is no dNSName entry.
bool NameMatches(const TCertificateNames& names, std::string_view host);

}  // namespace tarvo::tls
