// A port number as a person or a URI writes it.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace tarvo::core {

// The port, when the text is decimal digits only (no sign, no blanks: trimming is the
// caller's choice) and its value lies in 1..65535; leading zeros are allowed. Anything else
// gives no value, and each caller decides what that means (an error, or a default).
constexpr std::optional<std::uint16_t> ParsePort(std::string_view text) noexcept {
  if (text.empty()) return std::nullopt;
  std::uint32_t value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + static_cast<std::uint32_t>(c - '0');
    if (value > 65535) return std::nullopt;
  }
  if (value == 0) return std::nullopt;
  return static_cast<std::uint16_t>(value);
}

}  // namespace tarvo::core
