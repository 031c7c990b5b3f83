// Limits on what a server's challenge can make an authentication scheme hold or echo, each
// with its reason. Header lines are bounded by the transport already; these bound the
// pieces a scheme keeps for the life of the object and sends back with every request.
#pragma once

#include <cstddef>

namespace tarvo::http {

// One Digest item (realm, nonce, opaque, qop, domain). Servers send tens of bytes; a
// kilobyte nonce is already absurd. A longer item fails the challenge instead of making
// every later request carry it.
inline constexpr std::size_t kMaxDigestItemBytes = 1024;
// Items of one Digest challenge: the RFCs define about ten.
inline constexpr std::size_t kMaxDigestItems = 32;
// The decoded NTLM Type 2 message: its header, target name and target information fit
// well below this; the message is parsed once and only its nonce is kept.
inline constexpr std::size_t kMaxNTLMChallengeBytes = 16 * 1024;

}  // namespace tarvo::http
