// Host names before they reach the name service.
#pragma once

#include <string>
#include <string_view>

namespace tarvo::net {

// The ASCII form of a host name for the name service: international names (IDNA 2008,
// falling back to the transitional rules) become their "xn--" form; ASCII names stay as
// they are. Raises ENetSocketError 11001 "Host not found." for a name that cannot be
// converted.
std::string NetHostNameToASCII(const std::string& name);

// Names under the reserved top-level domain "invalid" (RFC 6761, 6.4), which never exist.
bool NetIsReservedInvalidName(std::string_view name);

}  // namespace tarvo::net
