#include "net/net_ip_text.h"

#include <cctype>
#include <charconv>
#include <vector>

#include "core/text_trim.h"
#include "net/net_stack.h"

namespace tarvo::net {

namespace {

// Decimal value of a dotted-quad part, -1 when it does not convert.
long PartValue(std::string_view s) {
  s = core::Trim(s);
  if (s.empty() || s.size() > 10) return -1;
  long value = 0;
  auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), value);
  if (ec != std::errc() || end != s.data() + s.size()) return -1;
  return value;
}

bool IsHex(char c) { return std::isxdigit(static_cast<unsigned char>(c)) != 0; }

void AppendHexGroup(std::string& out, unsigned value) {
  char buf[8];
  auto [end, ec] = std::to_chars(buf, buf + sizeof buf, value, 16);
  (void)ec;
  for (const char* p = buf; p != end; ++p) out += static_cast<char>(std::toupper(static_cast<unsigned char>(*p)));
}

std::string GroupsText(const std::uint16_t groups[8]) {
  std::string out;
  for (int i = 0; i < 8; ++i) {
    if (i > 0) out += ':';
    AppendHexGroup(out, groups[i]);
  }
  return out;
}

// Only hexadecimal digits and colons, with an optional dotted IPv4 tail after the last
// colon, in counts an IPv6 literal can have. dots is set to the number of dots.
bool HasIPv6Shape(std::string_view s, int& dots) {
  int colons = 0;
  dots = 0;
  bool afterDot = false;
  for (char c : s) {
    if (c == ':') {
      ++colons;
      if (afterDot) return false;  // the IPv4 tail must follow the last colon
    } else if (c == '.') {
      ++dots;
      afterDot = true;
    } else if (!IsHex(c) || (afterDot && !std::isdigit(static_cast<unsigned char>(c)))) {
      return false;
    }
  }
  if (colons > 7 || (dots != 0 && dots != 3)) return false;
  if (dots == 0) return colons >= 2;
  return colons >= 2 && colons <= 6;
}

}  // namespace

bool NetIPv4Bytes(std::string_view text, std::uint8_t bytes[4]) {
  for (int i = 0; i < 4; ++i) {
    std::size_t dot = i < 3 ? text.find('.') : std::string_view::npos;
    if (i < 3 && dot == std::string_view::npos) return false;
    long v = PartValue(text.substr(0, dot));
    if (v < 0 || v > 255) return false;
    bytes[i] = static_cast<std::uint8_t>(v);
    if (i < 3) text.remove_prefix(dot + 1);
  }
  return true;
}

bool NetIPv6Groups(std::string_view input, std::uint16_t out[8]) {
  std::string s(input);
  if (s.empty()) return false;
  if (s.front() == ':') s.insert(s.begin(), '0');
  if (s.back() == ':') s.push_back('0');
  int dots = 0;
  if (!HasIPv6Shape(s, dots)) return false;

  std::vector<std::string_view> parts;
  std::string_view rest = s;
  for (;;) {
    std::size_t colon = rest.find(':');
    parts.push_back(rest.substr(0, colon));
    if (colon == std::string_view::npos) break;
    rest.remove_prefix(colon + 1);
  }
  std::vector<std::uint16_t> groups;
  int emptyAt = -1;
  for (std::size_t i = 0; i < parts.size(); ++i) {
    std::string_view part = parts[i];
    bool last = i + 1 == parts.size();
    if (part.empty()) {
      if (emptyAt >= 0) return false;
      emptyAt = static_cast<int>(groups.size());
      continue;
    }
    if (last && dots == 3) {
      std::uint8_t b[4];
      if (!NetIPv4Bytes(part, b)) return false;
      groups.push_back(static_cast<std::uint16_t>((b[0] << 8) | b[1]));
      groups.push_back(static_cast<std::uint16_t>((b[2] << 8) | b[3]));
      continue;
    }
    // Leading zeros are allowed, but no more digits than a 16-bit value can have after them.
    std::size_t start = part.find_first_not_of('0');
    if (start != std::string_view::npos && part.size() - start > 4) return false;
    unsigned value = 0;
    auto [end, ec] = std::from_chars(part.data(), part.data() + part.size(), value, 16);
    if (ec != std::errc() || end != part.data() + part.size() || value > 0xFFFF) return false;
    groups.push_back(static_cast<std::uint16_t>(value));
  }
  if (emptyAt >= 0) {
    if (groups.size() >= 8) return false;
    groups.insert(groups.begin() + emptyAt, 8 - groups.size(), std::uint16_t{0});
  }
  if (groups.size() != 8) return false;
  for (int i = 0; i < 8; ++i) out[i] = groups[static_cast<std::size_t>(i)];
  return true;
}

std::string NetIPv4Text(const std::uint8_t b[4]) {
  return std::to_string(b[0]) + "." + std::to_string(b[1]) + "." + std::to_string(b[2]) + "." + std::to_string(b[3]);
}

std::string NetIPv6Text(const std::uint8_t bytes[16]) {
  std::uint16_t groups[8];
  for (int i = 0; i < 8; ++i) groups[i] = static_cast<std::uint16_t>((bytes[2 * i] << 8) | bytes[2 * i + 1]);
  return GroupsText(groups);
}

bool TNetStack::IsIP(std::string_view text) {
  std::uint8_t bytes[4];
  return NetIPv4Bytes(text, bytes);
}

std::string TNetStack::CanonicalIPv6Text(std::string_view text) {
  std::uint16_t groups[8];
  return NetIPv6Groups(text, groups) ? GroupsText(groups) : std::string();
}

}  // namespace tarvo::net
