// Cuts received bytes into lines under the rules the I/O handler's ReadLn applies, without
// reading anything itself: its caller feeds it whatever has arrived, in pieces of any size,
// and gets back each line as it completes.
//
// A line ends at a line feed; one carriage return before it is dropped too. A line longer
// than the limit (counted up to the line feed, a carriage return included) raises
// ENetReadLnMaxLineLengthExceeded, or with maSplit comes back in pieces of the limit. The
// limit also holds while no line feed has arrived, so a peer cannot make the framer hold an
// unbounded piece of a line; the framer never holds more than the limit. The line's bytes are decoded by the given text encoding.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "net/net_encoding.h"
#include "net/net_types.h"

namespace tarvo::http {

struct TNetLineRules {
  int MaxLineLength = 0;  // 0 or less: no limit
  net::TNetMaxLineAction Action = net::maException;
  const net::INetTextEncoding* Encoding = nullptr;  // nullptr: ASCII
};

class TNetLineFramer {
public:
  explicit TNetLineFramer(TNetLineRules rules) noexcept;

  // Takes bytes from data up to the end of the next line and returns that line; with no
  // line complete, takes all count bytes and returns nothing. `used` tells how many bytes
  // were taken: those after the line are left for the next call (or for whoever reads what
  // follows the lines). Raises ENetReadLnMaxLineLengthExceeded as described above.
  std::optional<std::string> Next(const std::uint8_t* data, std::size_t count, std::size_t& used);
  // Feeds lines to take(line) while wants() holds and lines complete; returns the bytes taken.
  template <class Wants, class Take>
  std::size_t FeedWhile(const std::uint8_t* data, std::size_t count, Wants wants, Take take) {
    std::size_t taken = 0;
    while (wants()) {
      std::size_t used = 0;
      std::optional<std::string> line = Next(data + taken, count - taken, used);
      taken += used;
      if (!line) break;
      take(std::move(*line));
    }
    return taken;
  }
  // Drops the piece of a line taken so far.
  void Reset() noexcept { FPartial.clear(); }
  bool HasPartialLine() const noexcept { return !FPartial.empty(); }

private:
  std::string Decode(std::size_t count) const;

  TNetLineRules FRules;
  std::string FPartial;  // raw bytes of the line being received
};

}  // namespace tarvo::http
