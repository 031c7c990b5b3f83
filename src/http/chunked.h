// The chunked transfer coding (RFC 9112, section 7.1):
//
//   chunked-body = *chunk last-chunk trailer-section CRLF
//   chunk        = chunk-size [ chunk-ext ] CRLF chunk-data CRLF
//   chunk-size   = 1*HEXDIG
//   last-chunk   = 1*("0") [ chunk-ext ] CRLF
//
// Extensions are ignored. A size line that is not a hexadecimal number, or whose value
// does not fit in 63 bits, makes the body unusable: it is never read as the last chunk.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace tarvo::http {

// The size of a chunk-size line (without its line end), or nothing when it is malformed.
std::optional<std::int64_t> ParseChunkSizeLine(std::string_view line);

}  // namespace tarvo::http
