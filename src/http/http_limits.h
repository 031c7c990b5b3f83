// Limits on what a peer can make the client hold in memory or wait for, each with its
// reason, all in one place. The fields are per client (TNetCustomHTTP::SetLimits) and these
// are their defaults; the static members bound parsers that run without a client (cookies,
// authentication challenges) and are fixed.
#pragma once

#include <cstddef>
#include <cstdint>

namespace tarvo::http {

struct THTTPLimits {
  // --- the response head -------------------------------------------------------------
  // Header lines of one response head, one informational response or one chunked trailer;
  // more is an error. This is the client's MaxHeaderLines. Real servers send a few dozen.
  int HeaderLines = 255;
  // The bound when HeaderLines is 0 or less: a client that asks for no bound of its own
  // still keeps a hostile peer from growing the header list without end.
  std::size_t HeaderLinesWhenUnbounded = 1000;
  // Bytes of one response head; each line is also bounded by the handler's MaxLineLength.
  std::size_t ResponseHeaderBytes = 1024 * 1024;
  // Informational (1xx) responses in one exchange: this many is an error. A server sends one
  // or two (100 Continue, 103 Early Hints); more is a peer keeping the client from finishing.
  int InterimResponses = 8;

  // The header-line bound in effect: HeaderLines when positive, else HeaderLinesWhenUnbounded.
  std::size_t HeaderLineBound() const noexcept {
    return HeaderLines > 0 ? static_cast<std::size_t>(HeaderLines) : HeaderLinesWhenUnbounded;
  }

  // --- bodies ------------------------------------------------------------------------
  // The error page kept for ErrorMessage; the rest of a larger page is read and dropped.
  std::int64_t ErrorPageBytes = 1024 * 1024;
  // The start of an HTML body scanned for META declarations; they belong to the head, which
  // comes first. The body itself streams to its destination.
  std::int64_t MetaScanBytes = 64 * 1024;
  // A body returned as text (Get and Post returning a string) is held whole in memory.
  std::int64_t TextBodyBytes = 64 * 1024 * 1024;
  // Size of one socket receive while a body is copied: large reads cut the number of system
  // calls for big downloads.
  int BodyReceiveSize = 256 * 1024;

  // --- waits -------------------------------------------------------------------------
  // A redirect without a length may or may not carry a body: a server that sends none and
  // keeps the connection open is given this long before the client moves on.
  int RedirectBodyWaitMS = 5000;
  // With hoWaitForUnexpectedData, how long a reply that has no body is watched for bytes a
  // server sends anyway, so they are not taken for the start of the next reply.
  int UnexpectedDataWaitMS = 100;

  // --- authentication (fixed) --------------------------------------------------------
  // Header lines are bounded above already; these bound the pieces a scheme keeps for the
  // life of the object and sends back with every request.
  // One Digest item (realm, nonce, opaque, qop, domain). Servers send tens of bytes; a
  // kilobyte nonce is already absurd. A longer item fails the challenge instead of making
  // every later request carry it.
  static constexpr std::size_t kMaxDigestItemBytes = 1024;
  // Items of one Digest challenge: the RFCs define about ten.
  static constexpr std::size_t kMaxDigestItems = 32;
  // The decoded NTLM Type 2 message: its header, target name and target information fit
  // well below this; the message is parsed once and only its nonce is kept.
  static constexpr std::size_t kMaxNTLMChallengeBytes = 16 * 1024;
  // Times one step asks the program for credentials before it gives up: a handler that says
  // "handled" without giving the scheme what it needs must not keep the client asking.
  static constexpr int kMaxAuthorizationAsks = 3;

  // --- cookies (fixed) ---------------------------------------------------------------
  // Cookies one store keeps (RFC 6265 asks for at least 3000). A full store drops the cookie
  // used longest ago, so a server cannot grow it without end.
  static constexpr std::size_t kMaxStoredCookies = 3000;
  // One domain's share (RFC 6265 asks for at least 50; browsers keep 150 to 180): a site
  // cannot push out every other site's cookies.
  static constexpr std::size_t kMaxCookiesPerDomain = 150;
  // "Set-Cookie" lines taken from one response; the rest are dropped.
  static constexpr std::size_t kMaxCookiesPerResponse = 50;
  // The "Cookie" header value: servers refuse header lines much above 8 KB (Apache 8190 with
  // the name, nginx 8 KB), so a site that set many cookies would break every later request.
  // Cookies that do not fit are left out, longest paths and oldest first kept.
  static constexpr std::size_t kMaxCookieHeaderBytes = 8000;
  // RFC 6265bis limits: name plus value, and one attribute value. Servers stay far below;
  // the bounds keep one response from planting megabytes that go back with every request.
  static constexpr std::size_t kMaxCookiePairBytes = 4096;
  static constexpr std::size_t kMaxCookieAttributeBytes = 1024;
};

}  // namespace tarvo::http
