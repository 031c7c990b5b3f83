// Host texts: the IPv4 and IPv6 literal rules against the C library's inet_pton, and the
// name conversion for the name service. Host names come from URLs and redirects, so they
// are outside input.
//
// Oracle: whatever inet_pton accepts as a plain literal must be accepted with the same
// address (for IPv6 within our limits: seven colons, six before an IPv4 tail; longer forms
// go to the name service, which reads them as literals anyway); whatever we accept must be
// a valid address once written in canonical form.
#include <arpa/inet.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "core/exception.h"
#include "net/net_host_name.h"
#include "net/net_stack.h"

using namespace tarvo::net;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size > 200) return 0;
  std::string text(reinterpret_cast<const char*>(data), size);

  std::string canonical = TNetStack::CanonicalIPv6Text(text);
  in6_addr ours{}, theirs{};
  if (!canonical.empty() && inet_pton(AF_INET6, canonical.c_str(), &ours) != 1) std::abort();
  bool plain = text.find('\0') == std::string::npos;
  const auto colons = std::count(text.begin(), text.end(), ':');
  const bool v4Tail = text.find('.') != std::string::npos;
  if (plain && inet_pton(AF_INET6, text.c_str(), &theirs) == 1 && colons <= (v4Tail ? 6 : 7)) {
    if (canonical.empty()) std::abort();
    if (std::memcmp(&ours, &theirs, sizeof ours) != 0) std::abort();
  }

  in_addr v4{};
  if (plain && inet_pton(AF_INET, text.c_str(), &v4) == 1 && !TNetStack::IsIP(text)) std::abort();

  try {
    std::string ascii = NetHostNameToASCII(text);
    for (char c : ascii)
      if (static_cast<unsigned char>(c) >= 0x80) std::abort();
  } catch (const tarvo::core::Exception&) {
  }
  return 0;
}
