#include "http/message_digest.h"

#include <cstring>

#include "http/auth_secret.h"
#include "http/char_encoding.h"

namespace tarvo::http {

namespace {

constexpr std::uint32_t Rotl(std::uint32_t x, int n) { return (x << n) | (x >> (32 - n)); }

void LoadWords(const std::uint8_t block[64], std::uint32_t x[16]) {
  for (int i = 0; i < 16; ++i)
    x[i] = std::uint32_t(block[4 * i]) | std::uint32_t(block[4 * i + 1]) << 8 | std::uint32_t(block[4 * i + 2]) << 16 |
           std::uint32_t(block[4 * i + 3]) << 24;
}

}  // namespace

TNetHashMessageDigest::TNetHashMessageDigest() = default;

void TNetHashMessageDigest::Update(const void* data, std::size_t size) {
  const auto* p = static_cast<const std::uint8_t*>(data);
  std::size_t used = static_cast<std::size_t>(FLength % 64);
  FLength += size;
  if (used != 0) {
    std::size_t take = std::min(size, 64 - used);
    std::memcpy(FBuffer + used, p, take);
    p += take, size -= take, used += take;
    if (used < 64) return;
    Transform(FBuffer);
  }
  for (; size >= 64; p += 64, size -= 64) Transform(p);
  if (size != 0) std::memcpy(FBuffer, p, size);
}

TNetDigest TNetHashMessageDigest::Final() {
  // Both RFCs pad with 0x80, zeros up to 56 mod 64, then the bit length as 64-bit LE.
  const std::uint64_t bits = FLength * 8;
  static constexpr std::uint8_t kPad[64] = {0x80};
  std::size_t used = static_cast<std::size_t>(FLength % 64);
  Update(kPad, used < 56 ? 56 - used : 120 - used);
  std::uint8_t length[8];
  for (int i = 0; i < 8; ++i) length[i] = static_cast<std::uint8_t>(bits >> (8 * i));
  Update(length, 8);
  TNetDigest out;
  for (int i = 0; i < 16; ++i) out[i] = static_cast<std::uint8_t>(FState[i / 4] >> (8 * (i % 4)));
  FLength = 0;
  Restart();
  return out;
}

TNetDigest TNetHashMessageDigest::HashBytes(std::string_view bytes) {
  Update(bytes);
  return Final();
}

TNetDigest TNetHashMessageDigest::HashStream(core::TStream& stream) {
  std::uint8_t buffer[16384];
  while (std::size_t n = stream.Read(buffer, sizeof buffer)) Update(buffer, n);
  return Final();
}

TNetDigest TNetHashMessageDigest::HashString(std::string_view text, const INetTextEncoding* encoding) {
  for (std::size_t pos = 0; pos < text.size();) Update(EncodeCodePoint(NextCodePoint(text, pos), encoding));
  return Final();
}

std::string TNetHashMessageDigest::HashStringAsHex(std::string_view text, const INetTextEncoding* encoding) {
  return HexUpper(HashString(text, encoding));
}

// --- MD4, RFC 1320 section 3.4 ---------------------------------------------------------

void TNetHashMessageDigest4::Restart() {
  FState[0] = 0x67452301, FState[1] = 0xefcdab89, FState[2] = 0x98badcfe, FState[3] = 0x10325476;
}

void TNetHashMessageDigest4::Transform(const std::uint8_t block[64]) {
  std::uint32_t x[16];
  LoadWords(block, x);
  std::uint32_t a = FState[0], b = FState[1], c = FState[2], d = FState[3];
  // The RFC's three rounds, each step [abcd k s] written out: a = (a + f(b,c,d) + X[k] + t) <<< s.
  auto r1 = [&](std::uint32_t& w, std::uint32_t p, std::uint32_t q, std::uint32_t r, int k, int sh) {
    w = Rotl(w + ((p & q) | (~p & r)) + x[k], sh);
  };
  auto r2 = [&](std::uint32_t& w, std::uint32_t p, std::uint32_t q, std::uint32_t r, int k, int sh) {
    w = Rotl(w + ((p & q) | (p & r) | (q & r)) + x[k] + 0x5a827999u, sh);
  };
  auto r3 = [&](std::uint32_t& w, std::uint32_t p, std::uint32_t q, std::uint32_t r, int k, int sh) {
    w = Rotl(w + (p ^ q ^ r) + x[k] + 0x6ed9eba1u, sh);
  };
#pragma GCC unroll 4
  for (int k = 0; k < 16; k += 4) {
    r1(a, b, c, d, k, 3), r1(d, a, b, c, k + 1, 7), r1(c, d, a, b, k + 2, 11), r1(b, c, d, a, k + 3, 19);
  }
#pragma GCC unroll 4
  for (int k = 0; k < 4; ++k) {
    r2(a, b, c, d, k, 3), r2(d, a, b, c, k + 4, 5), r2(c, d, a, b, k + 8, 9), r2(b, c, d, a, k + 12, 13);
  }
  for (int k : {0, 2, 1, 3}) {
    r3(a, b, c, d, k, 3), r3(d, a, b, c, k + 8, 9), r3(c, d, a, b, k + 4, 11), r3(b, c, d, a, k + 12, 15);
  }
  FState[0] += a, FState[1] += b, FState[2] += c, FState[3] += d;
}

// --- MD5, RFC 1321 section 3.4 ---------------------------------------------------------

void TNetHashMessageDigest5::Restart() {
  FState[0] = 0x67452301, FState[1] = 0xefcdab89, FState[2] = 0x98badcfe, FState[3] = 0x10325476;
}

void TNetHashMessageDigest5::Transform(const std::uint8_t block[64]) {
  // T[i] = floor(2^32 * abs(sin(i + 1))), the RFC's table.
  static constexpr std::uint32_t kT[64] = {
      0xd76aa478, 0xe8c7b756, 0x242070db, 0xc1bdceee, 0xf57c0faf, 0x4787c62a, 0xa8304613, 0xfd469501,
      0x698098d8, 0x8b44f7af, 0xffff5bb1, 0x895cd7be, 0x6b901122, 0xfd987193, 0xa679438e, 0x49b40821,
      0xf61e2562, 0xc040b340, 0x265e5a51, 0xe9b6c7aa, 0xd62f105d, 0x02441453, 0xd8a1e681, 0xe7d3fbc8,
      0x21e1cde6, 0xc33707d6, 0xf4d50d87, 0x455a14ed, 0xa9e3e905, 0xfcefa3f8, 0x676f02d9, 0x8d2a4c8a,
      0xfffa3942, 0x8771f681, 0x6d9d6122, 0xfde5380c, 0xa4beea44, 0x4bdecfa9, 0xf6bb4b60, 0xbebfbc70,
      0x289b7ec6, 0xeaa127fa, 0xd4ef3085, 0x04881d05, 0xd9d4d039, 0xe6db99e5, 0x1fa27cf8, 0xc4ac5665,
      0xf4292244, 0x432aff97, 0xab9423a7, 0xfc93a039, 0x655b59c3, 0x8f0ccc92, 0xffeff47d, 0x85845dd1,
      0x6fa87e4f, 0xfe2ce6e0, 0xa3014314, 0x4e0811a1, 0xf7537e82, 0xbd3af235, 0x2ad7d2bb, 0xeb86d391};
  std::uint32_t x[16];
  LoadWords(block, x);
  std::uint32_t a = FState[0], b = FState[1], c = FState[2], d = FState[3];
  // Step i of round r: a = b + ((a + g(b,c,d) + X[k] + T[i]) <<< s), roles rotating a, d, c, b.
  auto F = [](std::uint32_t p, std::uint32_t q, std::uint32_t r) { return r ^ (p & (q ^ r)); };
  auto G = [](std::uint32_t p, std::uint32_t q, std::uint32_t r) { return q ^ (r & (p ^ q)); };
  auto H = [](std::uint32_t p, std::uint32_t q, std::uint32_t r) { return p ^ q ^ r; };
  auto I = [](std::uint32_t p, std::uint32_t q, std::uint32_t r) { return q ^ (p | ~r); };
#define TARVO_MD5_STEP(g, w, p, q, r, k, t, sh) w = p + Rotl(w + g(p, q, r) + x[k] + kT[t], sh)
#pragma GCC unroll 4
  for (int i = 0; i < 16; i += 4) {
    TARVO_MD5_STEP(F, a, b, c, d, i, i, 7);
    TARVO_MD5_STEP(F, d, a, b, c, i + 1, i + 1, 12);
    TARVO_MD5_STEP(F, c, d, a, b, i + 2, i + 2, 17);
    TARVO_MD5_STEP(F, b, c, d, a, i + 3, i + 3, 22);
  }
#pragma GCC unroll 4
  for (int i = 16; i < 32; i += 4) {
    TARVO_MD5_STEP(G, a, b, c, d, (5 * i + 1) % 16, i, 5);
    TARVO_MD5_STEP(G, d, a, b, c, (5 * i + 6) % 16, i + 1, 9);
    TARVO_MD5_STEP(G, c, d, a, b, (5 * i + 11) % 16, i + 2, 14);
    TARVO_MD5_STEP(G, b, c, d, a, (5 * i + 16) % 16, i + 3, 20);
  }
#pragma GCC unroll 4
  for (int i = 32; i < 48; i += 4) {
    TARVO_MD5_STEP(H, a, b, c, d, (3 * i + 5) % 16, i, 4);
    TARVO_MD5_STEP(H, d, a, b, c, (3 * i + 8) % 16, i + 1, 11);
    TARVO_MD5_STEP(H, c, d, a, b, (3 * i + 11) % 16, i + 2, 16);
    TARVO_MD5_STEP(H, b, c, d, a, (3 * i + 14) % 16, i + 3, 23);
  }
#pragma GCC unroll 4
  for (int i = 48; i < 64; i += 4) {
    TARVO_MD5_STEP(I, a, b, c, d, (7 * i) % 16, i, 6);
    TARVO_MD5_STEP(I, d, a, b, c, (7 * i + 7) % 16, i + 1, 10);
    TARVO_MD5_STEP(I, c, d, a, b, (7 * i + 14) % 16, i + 2, 15);
    TARVO_MD5_STEP(I, b, c, d, a, (7 * i + 21) % 16, i + 3, 21);
  }
#undef TARVO_MD5_STEP
  FState[0] += a, FState[1] += b, FState[2] += c, FState[3] += d;
}

std::string HexUpper(const std::uint8_t* data, std::size_t size) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string out(size * 2, '0');
  for (std::size_t i = 0; i < size; ++i) out[2 * i] = kHex[data[i] >> 4], out[2 * i + 1] = kHex[data[i] & 15];
  return out;
}

TNetDigest HMACMD5(std::string_view key, std::string_view data) {
  // Keys longer than the 64-byte block are hashed first; the padded key is XORed with the
  // inner and outer pads.
  std::uint8_t block[64] = {};
  TNetDigest hashedKey{};
  if (key.size() > 64) {
    hashedKey = TNetHashMessageDigest5().HashBytes(key);
    std::memcpy(block, hashedKey.data(), hashedKey.size());
  } else {
    std::memcpy(block, key.data(), key.size());
  }
  std::uint8_t pad[64];
  TNetHashMessageDigest5 inner, outer;
  for (int i = 0; i < 64; ++i) pad[i] = block[i] ^ 0x36;
  inner.Update(pad, 64);
  inner.Update(data);
  TNetDigest innerHash = inner.Final();
  for (int i = 0; i < 64; ++i) pad[i] = block[i] ^ 0x5C;
  outer.Update(pad, 64);
  outer.Update(innerHash.data(), innerHash.size());
  TNetDigest out = outer.Final();
  // The key is a password hash: nothing of it stays on the stack.
  WipeBytes(block, sizeof block), WipeBytes(pad, sizeof pad), WipeBytes(hashedKey.data(), hashedKey.size());
  return out;
}

}  // namespace tarvo::http
