// Blanks (space and every control character up to 32) removed from both ends of a text, as
// protocol lines, header values and catalog fields are trimmed.
#pragma once

#include <string_view>

namespace tarvo::core {

constexpr std::string_view Trim(std::string_view s) noexcept {
  std::size_t b = 0, e = s.size();
  while (b < e && static_cast<unsigned char>(s[b]) <= ' ') ++b;
  while (e > b && static_cast<unsigned char>(s[e - 1]) <= ' ') --e;
  return s.substr(b, e - b);
}

}  // namespace tarvo::core
