#include "http/line_framer.h"

#include <algorithm>
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
  if (count == 0) return std::nullopt;
  const bool bounded = FRules.MaxLineLength > 0;
  // The piece of a line held never exceeds the limit: a byte past it that is not the line
  // feed makes the line over-long, and is left with the caller, as ReadLn leaves it in the
  // input buffer for the piece after a split.
  const std::size_t room = bounded ? static_cast<std::size_t>(FRules.MaxLineLength) - FPartial.size() : count;
  const std::size_t scan = bounded ? std::min(count, room + 1) : count;
  if (const void* lf = std::memchr(data, '\n', scan)) {
    used = static_cast<std::size_t>(static_cast<const std::uint8_t*>(lf) - data);
    FPartial.append(reinterpret_cast<const char*>(data), used++);
    std::size_t length = FPartial.size();
    if (length > 0 && FPartial[length - 1] == '\r') --length;
    std::string line = Decode(length);
    FPartial.clear();
    return line;
  }
  if (bounded && count > room) {
    if (FRules.Action == net::maException) throw net::ENetReadLnMaxLineLengthExceeded();
    FPartial.append(reinterpret_cast<const char*>(data), room);
    used = room;
    std::string piece = Decode(FPartial.size());
    FPartial.clear();
    return piece;
  }
  FPartial.append(reinterpret_cast<const char*>(data), count);
  used = count;
  return std::nullopt;
}

}  // namespace tarvo::http
