// Address literals as text: dotted quads and IPv6 groups, both ways.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace tarvo::net {

// The four bytes of a dotted quad of values 0..255 (blanks around the parts allowed).
bool NetIPv4Bytes(std::string_view text, std::uint8_t bytes[4]);
// The eight groups of an IPv6 literal ("::" shortening and an IPv4 tail allowed).
bool NetIPv6Groups(std::string_view text, std::uint16_t groups[8]);

// "1.2.3.4" from four bytes in network order.
std::string NetIPv4Text(const std::uint8_t bytes[4]);
// Eight upper-case hexadecimal groups without "::" from sixteen bytes in network order.
std::string NetIPv6Text(const std::uint8_t bytes[16]);

}  // namespace tarvo::net
