// The three NTLM messages (the MS-NLMP message formats) and the responses of its versions.
// Messages are byte strings; every number in them is little-endian, and a variable field is
// described by a "security buffer" (16-bit length, 16-bit maximum length, 32-bit offset
// from the start of the message).
//
//   Type 1 (negotiate)    client -> server  signature, 1, flags, domain, workstation
//   Type 2 (challenge)    server -> client  signature, 2, target name, flags, 8-byte nonce,
//                                           context, target information (AV pairs)
//   Type 3 (authenticate) client -> server  signature, 3, LM and NT responses, domain, user,
//                                           workstation, session key, flags
//
// Which response a Type 3 carries follows from the Type 2: with target information, the
// NTLMv2 response (its proof over the server's AV pairs and timestamp); without, NTLM
// version 1, with the client challenge of extended session security when the server
// agreed to it. The LM response of version 1 (DES keyed by the upper-cased password) is
// never sent: it gives the password away to anyone who records the exchange.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "http/message_digest.h"

namespace tarvo::http {

using TNetNTLMNonce = std::array<std::uint8_t, 8>;
using TNetNTLMResponse = std::array<std::uint8_t, 24>;

// NegotiateFlags (MS-NLMP 2.2.2.5) this client sets or reads.
inline constexpr std::uint32_t kNTLMNegotiateUnicode = 0x00000001;            // NTLMSSP_NEGOTIATE_UNICODE
inline constexpr std::uint32_t kNTLMNegotiateOEM = 0x00000002;                // NTLM_NEGOTIATE_OEM
inline constexpr std::uint32_t kNTLMRequestTarget = 0x00000004;               // NTLMSSP_REQUEST_TARGET
inline constexpr std::uint32_t kNTLMNegotiateNTLM = 0x00000200;               // NTLMSSP_NEGOTIATE_NTLM
inline constexpr std::uint32_t kNTLMDomainSupplied = 0x00001000;              // ..._OEM_DOMAIN_SUPPLIED
inline constexpr std::uint32_t kNTLMWorkstationSupplied = 0x00002000;         // ..._OEM_WORKSTATION_SUPPLIED
inline constexpr std::uint32_t kNTLMAlwaysSign = 0x00008000;                  // NTLMSSP_NEGOTIATE_ALWAYS_SIGN
inline constexpr std::uint32_t kNTLMExtendedSessionSecurity = 0x00080000;     // ..._EXTENDED_SESSIONSECURITY
inline constexpr std::uint32_t kNTLMNegotiateTargetInfo = 0x00800000;         // NTLMSSP_NEGOTIATE_TARGET_INFO
// What a Type 1 always asks for; the domain and workstation flags are added when supplied.
inline constexpr std::uint32_t kNTLMType1Flags = kNTLMNegotiateUnicode | kNTLMNegotiateOEM | kNTLMRequestTarget |
                                                 kNTLMNegotiateNTLM | kNTLMAlwaysSign | kNTLMExtendedSessionSecurity;
// The Type 3's flags; extended session security is added when the server agreed to it.
inline constexpr std::uint32_t kNTLMType3Flags = 0x00018205;

// AV pair identifiers (MS-NLMP 2.2.2.1) read from the target information.
inline constexpr std::uint16_t kNTLMAvEOL = 0x0000;        // MsvAvEOL: end of the list
inline constexpr std::uint16_t kNTLMAvTimestamp = 0x0007;  // MsvAvTimestamp: the server's FILETIME

// Domain and workstation upper-cased, in ASCII, after a 32-byte header; each flagged as
// supplied only when not empty.
std::string MakeNTLMType1(std::string_view domain, std::string_view host);

struct TNetNTLMChallenge {
  std::uint32_t Flags = 0;
  TNetNTLMNonce Nonce{};
  // The AV pairs, as the server sent them (they are echoed in the NTLMv2 response).
  bool HasTargetInfo = false;
  std::string TargetInfo;
  // MsvAvTimestamp: 100 ns units since 1601, the time the NTLMv2 response must carry.
  bool HasTimestamp = false;
  std::uint64_t Timestamp = 0;
};
// False unless the bytes are a Type 2 message no larger than kMaxNTLMChallengeBytes. With
// target information, it and the target name must lie inside the message and the AV pairs
// inside it; without, the target name is not looked at (some servers' test helpers send
// one that points outside the message, and only the nonce is needed).
bool ParseNTLMType2(std::string_view bytes, TNetNTLMChallenge& challenge);

// NTOWFv1: MD4 of the UTF-16LE password.
TNetDigest NTLMHashV1(std::string_view password);
// NTOWFv2: HMAC-MD5 keyed with NTOWFv1 over UTF-16LE of the upper-cased user followed by
// the domain as given.
TNetDigest NTLMHashV2(std::string_view password, std::string_view user, std::string_view domain);

// The two response fields of a Type 3.
struct TNetNTLMResponses {
  std::string LM, NT;
};
// NTLMv2: NT = HMAC-MD5(key, nonce + blob) + blob, the blob holding the time, the client
// challenge and the target information. LM: 24 zero bytes when the server sent a
// timestamp (MS-NLMP 3.1.5.1.2), else the LMv2 response HMAC-MD5(key, nonce + client
// challenge) + client challenge. `time` is used when the server sent none.
TNetNTLMResponses NTLMv2Responses(const TNetDigest& keyV2, const TNetNTLMChallenge& challenge,
                                  const TNetNTLMNonce& clientChallenge, std::uint64_t time);
// NTLM version 1 with extended session security: NT = DES of MD5(nonce + client
// challenge)'s first 8 bytes under NTOWFv1; LM = the client challenge and 16 zero bytes.
// Without it (`clientChallenge` nullptr): NT = DES of the nonce, and LM a copy of NT.
// Both need DESLibrary() (and raise when it is absent).
TNetNTLMResponses NTLMv1Responses(std::string_view password, const TNetNTLMNonce& nonce,
                                  const TNetNTLMNonce* clientChallenge);

// NTLM version 1 responses to a server nonce. Both need DESLibrary(). The LM response
// takes the password upper-cased in the 8-bit code page, cut or zero-padded to 14 bytes;
// the NT response takes MD4 of the UTF-16LE password.
TNetNTLMResponse NTLMv1LMResponse(std::string_view password, const TNetNTLMNonce& nonce);
TNetNTLMResponse NTLMv1NTResponse(std::string_view password, const TNetNTLMNonce& nonce);

// Payload from offset 64: LM response, NT response, then domain, user and workstation in
// UTF-16LE (each as given); the empty session key points at the payload's end.
std::string MakeNTLMType3(std::string_view domain, std::string_view user, std::string_view host,
                          const TNetNTLMResponses& responses, std::uint32_t flags);

// UTF-8 text as UTF-16LE bytes.
std::string UTF16LEBytes(std::string_view text);
// Upper case as the NTLM hashes need it for user names: ASCII, Latin-1, Latin Extended-A,
// Greek and Cyrillic letters; other characters unchanged.
std::string NTLMUpperCase(std::string_view text);

}  // namespace tarvo::http
