#include "http/chunked.h"

#include "http/char_encoding.h"

namespace tarvo::http {

std::optional<std::int64_t> ParseChunkSizeLine(std::string_view line) {
  std::string_view size = Trim(line.substr(0, line.find(';')));
  if (size.empty()) return std::nullopt;
  std::uint64_t value = 0;
  for (char c : size) {
    int digit;
    if (c >= '0' && c <= '9')
      digit = c - '0';
    else if (c >= 'a' && c <= 'f')
      digit = c - 'a' + 10;
    else if (c >= 'A' && c <= 'F')
      digit = c - 'A' + 10;
    else
      return std::nullopt;
    if (value > (static_cast<std::uint64_t>(INT64_MAX) >> 4)) return std::nullopt;
    value = value * 16 + static_cast<unsigned>(digit);
  }
  if (value > static_cast<std::uint64_t>(INT64_MAX)) return std::nullopt;
  return static_cast<std::int64_t>(value);
}

}  // namespace tarvo::http
