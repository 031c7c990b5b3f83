// The three messages of NTLM version 1 (the MS-NLMP message formats) and its two
// responses. Messages are byte strings; every number in them is little-endian, and a
// variable field is described by a "security buffer" (16-bit length, 16-bit maximum length,
// 32-bit offset from the start of the message).
//
//   Type 1 (negotiate)    client -> server  signature, 1, flags, domain, workstation
//   Type 2 (challenge)    server -> client  signature, 2, target name, flags, 8-byte nonce, ...
//   Type 3 (authenticate) client -> server  signature, 3, LM and NT responses, domain, user,
//                                           workstation, session key, flags
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace tarvo::http {

using TNetNTLMNonce = std::array<std::uint8_t, 8>;
using TNetNTLMResponse = std::array<std::uint8_t, 24>;

inline constexpr std::uint32_t kNTLMType1Flags = 0x0000B207;
inline constexpr std::uint32_t kNTLMType3Flags = 0x00018205;
// NTLMSSP_NEGOTIATE_TARGET_INFO: the Type 2 message carries a target information buffer.
inline constexpr std::uint32_t kNTLMNegotiateTargetInfo = 0x00800000;

// Domain and workstation upper-cased, in ASCII, after a 32-byte header.
std::string MakeNTLMType1(std::string_view domain, std::string_view host);

struct TNetNTLMChallenge {
  std::uint32_t Flags = 0;
  TNetNTLMNonce Nonce{};
};
// False unless the bytes are a Type 2 message whose every security buffer lies inside it
// (and no larger than kMaxNTLMChallengeBytes).
bool ParseNTLMType2(std::string_view bytes, TNetNTLMChallenge& challenge);

// NTLM version 1 responses to a server nonce. Both need DESLibrary() (and raise when it is
// absent). The LM response takes the password upper-cased in the 8-bit code page, cut or
// zero-padded to 14 bytes; the NT response takes MD4 of the UTF-16LE password.
TNetNTLMResponse NTLMv1LMResponse(std::string_view password, const TNetNTLMNonce& nonce);
TNetNTLMResponse NTLMv1NTResponse(std::string_view password, const TNetNTLMNonce& nonce);

// Payload from offset 64: LM response, NT response, then domain (upper-cased), user and
// workstation (upper-cased) in UTF-16LE; the empty session key points at the payload's end.
std::string MakeNTLMType3(std::string_view domain, std::string_view user, std::string_view host,
                          const TNetNTLMResponse& lm, const TNetNTLMResponse& nt);

// UTF-8 text as UTF-16LE bytes.
std::string UTF16LEBytes(std::string_view text);

}  // namespace tarvo::http
