// Limits on what a peer can make the client hold in memory, each with its reason.
#pragma once

#include <cstddef>
#include <cstdint>

namespace tarvo::http {

// Header lines of one response head (or one chunked trailer). Real servers send a few dozen;
// the bound keeps a hostile peer from growing the header list without end.
inline constexpr std::size_t kMaxResponseHeaderLines = 1000;
// Bytes of one response head; each line is also bounded by the handler's MaxLineLength.
inline constexpr std::size_t kMaxResponseHeaderBytes = 1024 * 1024;
// The error page kept for ErrorMessage; the rest of a larger page is read and dropped.
inline constexpr std::int64_t kMaxErrorPageBytes = 1024 * 1024;
// The start of an HTML body scanned for META declarations; they belong to the head, which
// comes first. The body itself streams to its destination.
inline constexpr std::int64_t kMaxMetaScanBytes = 64 * 1024;
// Informational (1xx) responses in one exchange: this many is an error. A server sends one
// or two (100 Continue, 103 Early Hints); more is a peer keeping the client from finishing.
inline constexpr int kMaxInterimResponses = 8;
// A body returned as text (Get and Post returning a string) is held whole in memory.
inline constexpr std::int64_t kMaxTextBodyBytes = 64 * 1024 * 1024;
// Size of one socket receive while a body is copied: large reads cut the number of system
// calls for big downloads.
inline constexpr int kBodyReceiveSize = 256 * 1024;

}  // namespace tarvo::http
