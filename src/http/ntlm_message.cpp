#include "http/ntlm_message.h"

#include <cstring>

#include "http/auth_limits.h"
#include "http/auth_secret.h"
#include "http/char_encoding.h"
#include "http/des_library.h"
#include "http/message_digest.h"

namespace tarvo::http {

namespace {

constexpr char kSignature[8] = {'N', 'T', 'L', 'M', 'S', 'S', 'P', '\0'};
constexpr std::uint8_t kLMMagic[8] = {'K', 'G', 'S', '!', '@', '#', '$', '%'};

void Put16(std::string& m, std::size_t at, std::uint32_t v) {
  m[at] = static_cast<char>(v & 255), m[at + 1] = static_cast<char>((v >> 8) & 255);
}
void Put32(std::string& m, std::size_t at, std::uint32_t v) { Put16(m, at, v), Put16(m, at + 2, v >> 16); }
// A security buffer at `at` describing `length` bytes at `offset`.
void PutBuffer(std::string& m, std::size_t at, std::size_t length, std::size_t offset) {
  Put16(m, at, static_cast<std::uint32_t>(length)), Put16(m, at + 2, static_cast<std::uint32_t>(length));
  Put32(m, at + 4, static_cast<std::uint32_t>(offset));
}
std::uint32_t Get16(std::string_view m, std::size_t at) {
  return static_cast<unsigned char>(m[at]) | static_cast<unsigned char>(m[at + 1]) << 8;
}
std::uint32_t Get32(std::string_view m, std::size_t at) { return Get16(m, at) | Get16(m, at + 2) << 16; }
bool BufferInside(std::string_view m, std::size_t at) {
  return std::uint64_t(Get32(m, at + 4)) + Get16(m, at) <= m.size();
}

std::string AsciiUpper(std::string_view text) {
  std::string out;
  for (std::size_t pos = 0; pos < text.size();) out += EncodeCodePoint(NextCodePoint(text, pos), nullptr);
  return UpperCase(out);
}

// Three DES encryptions of the nonce with the 16-byte hash zero-padded to 21 bytes.
TNetNTLMResponse Respond(const std::uint8_t hash16[16], const TNetNTLMNonce& nonce) {
  std::uint8_t key[21] = {};
  std::memcpy(key, hash16, 16);
  TNetNTLMResponse out;
  const TNetDESLibrary& des = DESLibrary();
  for (int i = 0; i < 3; ++i) des.Encrypt(key + 7 * i, nonce.data(), out.data() + 8 * i);
  WipeBytes(key, sizeof key);
  return out;
}

}  // namespace

std::string UTF16LEBytes(std::string_view text) {
  std::string out;
  auto unit = [&](std::uint32_t u) { out += static_cast<char>(u & 255), out += static_cast<char>(u >> 8); };
  for (std::size_t pos = 0; pos < text.size();) {
    char32_t cp = NextCodePoint(text, pos);
    if (cp < 0x10000) {
      unit(cp);
    } else {
      unit(0xD800 + ((cp - 0x10000) >> 10)), unit(0xDC00 + ((cp - 0x10000) & 0x3FF));
    }
  }
  return out;
}

std::string NTLMUpperCase(std::string_view text) {
  std::string out;
  for (std::size_t pos = 0; pos < text.size();) {
    char32_t cp = NextCodePoint(text, pos);
    if ((cp >= 'a' && cp <= 'z') || (cp >= 0xE0 && cp <= 0xFE && cp != 0xF7) ||
        (cp >= 0x3B1 && cp <= 0x3CB && cp != 0x3C2) || (cp >= 0x430 && cp <= 0x44F))
      cp -= 0x20;
    else if (cp == 0xFF)
      cp = 0x178;
    else if (cp >= 0x450 && cp <= 0x45F)
      cp -= 0x50;
    else if (((cp >= 0x100 && cp <= 0x137) || (cp >= 0x14A && cp <= 0x177)) && (cp & 1) != 0)
      cp -= 1;
    else if (((cp >= 0x139 && cp <= 0x148) || (cp >= 0x179 && cp <= 0x17E)) && (cp & 1) == 0)
      cp -= 1;
    AppendUTF8(out, cp);
  }
  return out;
}

std::string MakeNTLMType1(std::string_view domain, std::string_view host) {
  const std::string d = AsciiUpper(domain), h = AsciiUpper(host);
  std::string m(32, '\0');
  std::memcpy(m.data(), kSignature, 8);
  Put32(m, 8, 1);
  Put32(m, 12, kNTLMType1Flags | (d.empty() ? 0 : kNTLMDomainSupplied) | (h.empty() ? 0 : kNTLMWorkstationSupplied));
  PutBuffer(m, 16, d.size(), 32);
  PutBuffer(m, 24, h.size(), 32 + d.size());
  return m + d + h;
}

bool ParseNTLMType2(std::string_view m, TNetNTLMChallenge& challenge) {
  // signature(8) type(4) target name(8) flags(4) nonce(8) [context(8) target info(8)]
  challenge = TNetNTLMChallenge();
  if (m.size() < 32 || m.size() > kMaxNTLMChallengeBytes) return false;
  if (std::memcmp(m.data(), kSignature, 8) != 0 || Get32(m, 8) != 2) return false;
  challenge.Flags = Get32(m, 20);
  std::memcpy(challenge.Nonce.data(), m.data() + 24, 8);
  if ((challenge.Flags & kNTLMNegotiateTargetInfo) == 0) return true;
  if (m.size() < 48 || !BufferInside(m, 12) || !BufferInside(m, 40)) return false;
  const std::string_view info = m.substr(Get32(m, 44), Get16(m, 40));
  // AV pairs: 16-bit id, 16-bit length, value; the list ends with MsvAvEOL (or the field).
  for (std::size_t at = 0; at < info.size();) {
    if (info.size() - at < 4) return false;
    const std::uint32_t id = Get16(info, at), length = Get16(info, at + 2);
    if (info.size() - at - 4 < length) return false;
    if (id == kNTLMAvEOL) break;
    if (id == kNTLMAvTimestamp && length == 8) {
      challenge.HasTimestamp = true;
      challenge.Timestamp = Get32(info, at + 4) | std::uint64_t(Get32(info, at + 8)) << 32;
    }
    at += 4 + length;
  }
  challenge.HasTargetInfo = true;
  challenge.TargetInfo = std::string(info);
  return true;
}

TNetDigest NTLMHashV1(std::string_view password) {
  std::string bytes = UTF16LEBytes(password);
  TNetDigest hash = TNetHashMessageDigest4().HashBytes(bytes);
  WipeString(bytes);
  return hash;
}

TNetDigest NTLMHashV2(std::string_view password, std::string_view user, std::string_view domain) {
  TNetDigest v1 = NTLMHashV1(password);
  TNetDigest v2 = HMACMD5(std::string_view(reinterpret_cast<const char*>(v1.data()), v1.size()),
                          UTF16LEBytes(NTLMUpperCase(user)) + UTF16LEBytes(domain));
  WipeBytes(v1.data(), v1.size());
  return v2;
}

TNetNTLMResponses NTLMv2Responses(const TNetDigest& keyV2, const TNetNTLMChallenge& challenge,
                                  const TNetNTLMNonce& clientChallenge, std::uint64_t time) {
  const std::string_view key(reinterpret_cast<const char*>(keyV2.data()), keyV2.size());
  const std::string_view server(reinterpret_cast<const char*>(challenge.Nonce.data()), 8);
  const std::string_view client(reinterpret_cast<const char*>(clientChallenge.data()), 8);
  // RespType, HiRespType, Reserved1(2), Reserved2(4), TimeStamp(8), ChallengeFromClient(8),
  // Reserved3(4), the AV pairs, and 4 zero bytes after them.
  std::string blob(28, '\0');
  blob[0] = 1, blob[1] = 1;
  const std::uint64_t stamp = challenge.HasTimestamp ? challenge.Timestamp : time;
  Put32(blob, 8, static_cast<std::uint32_t>(stamp)), Put32(blob, 12, static_cast<std::uint32_t>(stamp >> 32));
  blob.replace(16, 8, client);
  blob += challenge.TargetInfo;
  blob.append(4, '\0');
  TNetNTLMResponses r;
  const TNetDigest proof = HMACMD5(key, std::string(server) + blob);
  r.NT.assign(reinterpret_cast<const char*>(proof.data()), proof.size());
  r.NT += blob;
  if (challenge.HasTimestamp) {
    r.LM.assign(24, '\0');
  } else {
    const TNetDigest lm = HMACMD5(key, std::string(server) + std::string(client));
    r.LM.assign(reinterpret_cast<const char*>(lm.data()), lm.size());
    r.LM += client;
  }
  return r;
}

TNetNTLMResponses NTLMv1Responses(std::string_view password, const TNetNTLMNonce& nonce,
                                  const TNetNTLMNonce* clientChallenge) {
  TNetNTLMNonce challenge = nonce;
  TNetNTLMResponses r;
  if (clientChallenge != nullptr) {
    TNetHashMessageDigest5 md5;
    md5.Update(nonce.data(), nonce.size());
    md5.Update(clientChallenge->data(), clientChallenge->size());
    const TNetDigest mixed = md5.Final();
    std::memcpy(challenge.data(), mixed.data(), 8);
    r.LM.assign(reinterpret_cast<const char*>(clientChallenge->data()), 8);
    r.LM.append(16, '\0');
  }
  TNetDigest hash = NTLMHashV1(password);
  const TNetNTLMResponse nt = Respond(hash.data(), challenge);
  WipeBytes(hash.data(), hash.size());
  r.NT.assign(reinterpret_cast<const char*>(nt.data()), nt.size());
  if (clientChallenge == nullptr) r.LM = r.NT;
  return r;
}

TNetNTLMResponse NTLMv1LMResponse(std::string_view password, const TNetNTLMNonce& nonce) {
  // The password in the 8-bit code page (Latin-1 here; anything beyond becomes "?"),
  // upper-cased, cut or padded to 14 bytes; each half keys DES over "KGS!@#$%".
  std::uint8_t key[14] = {};
  std::size_t n = 0;
  for (std::size_t pos = 0; pos < password.size() && n < 14;) {
    char32_t cp = NextCodePoint(password, pos);
    if (cp > 0xFF) cp = '?';
    if ((cp >= 'a' && cp <= 'z') || (cp >= 0xE0 && cp <= 0xFE && cp != 0xF7)) cp -= 0x20;
    key[n++] = static_cast<std::uint8_t>(cp);
  }
  std::uint8_t hash[16];
  const TNetDESLibrary& des = DESLibrary();
  des.Encrypt(key, kLMMagic, hash);
  des.Encrypt(key + 7, kLMMagic, hash + 8);
  return Respond(hash, nonce);
}

TNetNTLMResponse NTLMv1NTResponse(std::string_view password, const TNetNTLMNonce& nonce) {
  TNetDigest hash = TNetHashMessageDigest4().HashBytes(UTF16LEBytes(password));
  return Respond(hash.data(), nonce);
}

std::string MakeNTLMType3(std::string_view domain, std::string_view user, std::string_view host,
                          const TNetNTLMResponses& responses, std::uint32_t flags) {
  const std::string d = UTF16LEBytes(domain), u = UTF16LEBytes(user), h = UTF16LEBytes(host);
  std::string m(64, '\0');
  std::memcpy(m.data(), kSignature, 8);
  Put32(m, 8, 3);
  std::size_t at = 64;
  PutBuffer(m, 12, responses.LM.size(), at), at += responses.LM.size();  // LmChallengeResponseFields
  PutBuffer(m, 20, responses.NT.size(), at), at += responses.NT.size();  // NtChallengeResponseFields
  PutBuffer(m, 28, d.size(), at), at += d.size();                        // DomainNameFields
  PutBuffer(m, 36, u.size(), at), at += u.size();                        // UserNameFields
  PutBuffer(m, 44, h.size(), at), at += h.size();                        // WorkstationFields
  PutBuffer(m, 52, 0, at);                                               // EncryptedRandomSessionKeyFields
  Put32(m, 60, flags);                                                   // NegotiateFlags
  return m + responses.LM + responses.NT + d + u + h;
}

}  // namespace tarvo::http
