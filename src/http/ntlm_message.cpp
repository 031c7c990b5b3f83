#include "http/ntlm_message.h"

#include <cstring>

#include "http/auth_limits.h"
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

std::string MakeNTLMType1(std::string_view domain, std::string_view host) {
  const std::string d = AsciiUpper(domain), h = AsciiUpper(host);
  std::string m(32, '\0');
  std::memcpy(m.data(), kSignature, 8);
  Put32(m, 8, 1);
  Put32(m, 12, kNTLMType1Flags);
  PutBuffer(m, 16, d.size(), 32);
  PutBuffer(m, 24, h.size(), 32 + d.size());
  return m + d + h;
}

bool ParseNTLMType2(std::string_view m, TNetNTLMChallenge& challenge) {
  // signature(8) type(4) target name(8) flags(4) nonce(8) [context(8) target info(8)]
  if (m.size() < 32 || m.size() > kMaxNTLMChallengeBytes) return false;
  if (std::memcmp(m.data(), kSignature, 8) != 0 || Get32(m, 8) != 2) return false;
  if (!BufferInside(m, 12)) return false;
  challenge.Flags = Get32(m, 20);
  if (challenge.Flags & kNTLMNegotiateTargetInfo) {
    if (m.size() < 48 || !BufferInside(m, 40)) return false;
  }
  std::memcpy(challenge.Nonce.data(), m.data() + 24, 8);
  return true;
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
                          const TNetNTLMResponse& lm, const TNetNTLMResponse& nt) {
  const std::string d = UTF16LEBytes(UpperCase(domain)), u = UTF16LEBytes(user), h = UTF16LEBytes(UpperCase(host));
  std::string m(64, '\0');
  std::memcpy(m.data(), kSignature, 8);
  Put32(m, 8, 3);
  std::size_t at = 64;
  PutBuffer(m, 12, 24, at), at += 24;
  PutBuffer(m, 20, 24, at), at += 24;
  PutBuffer(m, 28, d.size(), at), at += d.size();
  PutBuffer(m, 36, u.size(), at), at += u.size();
  PutBuffer(m, 44, h.size(), at), at += h.size();
  PutBuffer(m, 52, 0, at);
  Put32(m, 60, kNTLMType3Flags);
  m.append(reinterpret_cast<const char*>(lm.data()), 24);
  m.append(reinterpret_cast<const char*>(nt.data()), 24);
  return m + d + u + h;
}

}  // namespace tarvo::http
