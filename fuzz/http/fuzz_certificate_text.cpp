// The certificate text of the Windows check: a CA file's PEM blocks, and a host against the
// names a certificate carries. The input's first line is the host, the next lines the
// certificate's DNS names (up to an empty line), the rest the PEM text.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "tls/certificate_text.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string_view text(reinterpret_cast<const char*>(data), size);
  const std::size_t hostEnd = text.find('\n');
  const std::string_view host = text.substr(0, hostEnd);
  std::string_view rest = hostEnd == std::string_view::npos ? std::string_view() : text.substr(hostEnd + 1);
  tarvo::tls::TCertificateNames names;
  while (!rest.empty()) {
    const std::size_t end = rest.find('\n');
    const std::string_view line = rest.substr(0, end);
    rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
    if (line.empty()) break;
    names.DnsNames.emplace_back(line);
    names.CommonNames.emplace_back(line);
    names.IPAddresses.push_back(tarvo::tls::AddressBytes(line));
  }
  tarvo::tls::NameMatches(names, host);
  names.DnsNames.clear();
  tarvo::tls::NameMatches(names, host);
  if (auto certificates = tarvo::tls::ParsePemCertificates(rest))
    for (const auto& der : *certificates)
      if (der.empty()) __builtin_trap();  // a block decodes to something or is refused
  return 0;
}
