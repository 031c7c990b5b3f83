#include "http/line_framer.h"

#include <cstring>

#include "net/net_exception.h"

namespace tarvo::http {

TNetLineFramer::TNetLineFramer(TNetLineRules rules) noexcept : FRules(rules) {
  FRules.Encoding = net::NetEncodingOrDefault(FRules.Encoding);
}

std::string TNetLineFramer::Decode(std::size_t count) const {
  return FRules.Encoding->GetString(reinterpret_cast<const std::uint8_t*>(FPartial.data()), count);
}

std::optional<std::string> TNetLineFramer::Next(const std::uint8_t* data, std::size_t count, std::size_t& used) {
  used = 0;
  const bool bounded = FRules.MaxLineLength > 0;
  const auto limit = static_cast<std::size_t>(bounded ? FRules.MaxLineLength : 0);
  for (;;) {
    if (bounded && FPartial.size() > limit) {
      if (FRules.Action == net::maException) throw net::ENetReadLnMaxLineLengthExceeded();
      std::string piece = Decode(limit);
      FPartial.erase(0, limit);
      return piece;
    }
    if (used == count) return std::nullopt;
    const void* lf = std::memchr(data + used, '\n', count - used);
    std::size_t end = lf != nullptr ? static_cast<std::size_t>(static_cast<const std::uint8_t*>(lf) - data) : count;
    FPartial.append(reinterpret_cast<const char*>(data + used), end - used);
    used = end;
    // Without its line feed, or over the limit (the line feed then stays for the piece
    // after the split), the loop decides again.
    if (lf == nullptr || (bounded && FPartial.size() > limit)) continue;
    ++used;
    std::size_t length = FPartial.size();
    if (length > 0 && FPartial[length - 1] == '\r') --length;
    std::string line = Decode(length);
    FPartial.clear();
    return line;
  }
}

}  // namespace tarvo::http
