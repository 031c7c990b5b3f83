// Limits on what a peer can make the client hold in memory or wait for, each with its
// reason. Every client has its own set (TNetCustomHTTP::SetLimits); these are the defaults.
#pragma once

#include <cstddef>
#include <cstdint>

namespace tarvo::http {

struct THTTPLimits {
  // Header lines of one response head (or one chunked trailer) when MaxHeaderLines is 0 or
  // less. Real servers send a few dozen; the bound keeps a hostile peer from growing the
  // header list without end.
  std::size_t ResponseHeaderLines = 1000;
  // Bytes of one response head; each line is also bounded by the handler's MaxLineLength.
  std::size_t ResponseHeaderBytes = 1024 * 1024;
  // The error page kept for ErrorMessage; the rest of a larger page is read and dropped.
  std::int64_t ErrorPageBytes = 1024 * 1024;
  // The start of an HTML body scanned for META declarations; they belong to the head, which
  // comes first. The body itself streams to its destination.
  std::int64_t MetaScanBytes = 64 * 1024;
  // Informational (1xx) responses in one exchange: this many is an error. A server sends one
  // or two (100 Continue, 103 Early Hints); more is a peer keeping the client from finishing.
  int InterimResponses = 8;
  // A body returned as text (Get and Post returning a string) is held whole in memory.
  std::int64_t TextBodyBytes = 64 * 1024 * 1024;
  // Size of one socket receive while a body is copied: large reads cut the number of system
  // calls for big downloads.
  int BodyReceiveSize = 256 * 1024;
  // A redirect without a length may or may not carry a body: a server that sends none and
  // keeps the connection open is given this long before the client moves on.
  int RedirectBodyWaitMS = 5000;
  // With hoWaitForUnexpectedData, how long a reply that has no body is watched for bytes a
  // server sends anyway, so they are not taken for the start of the next reply.
  int UnexpectedDataWaitMS = 100;
};

}  // namespace tarvo::http
