#include "http/message_digest_sha2.h"

#include <cstring>

namespace tarvo::http {

namespace {

constexpr std::uint32_t K256[64] = {
    0x428a2f98, 0x71374491, 0xb5c0fbcf, 0xe9b5dba5, 0x3956c25b, 0x59f111f1, 0x923f82a4, 0xab1c5ed5,
    0xd807aa98, 0x12835b01, 0x243185be, 0x550c7dc3, 0x72be5d74, 0x80deb1fe, 0x9bdc06a7, 0xc19bf174,
    0xe49b69c1, 0xefbe4786, 0x0fc19dc6, 0x240ca1cc, 0x2de92c6f, 0x4a7484aa, 0x5cb0a9dc, 0x76f988da,
    0x983e5152, 0xa831c66d, 0xb00327c8, 0xbf597fc7, 0xc6e00bf3, 0xd5a79147, 0x06ca6351, 0x14292967,
    0x27b70a85, 0x2e1b2138, 0x4d2c6dfc, 0x53380d13, 0x650a7354, 0x766a0abb, 0x81c2c92e, 0x92722c85,
    0xa2bfe8a1, 0xa81a664b, 0xc24b8b70, 0xc76c51a3, 0xd192e819, 0xd6990624, 0xf40e3585, 0x106aa070,
    0x19a4c116, 0x1e376c08, 0x2748774c, 0x34b0bcb5, 0x391c0cb3, 0x4ed8aa4a, 0x5b9cca4f, 0x682e6ff3,
    0x748f82ee, 0x78a5636f, 0x84c87814, 0x8cc70208, 0x90befffa, 0xa4506ceb, 0xbef9a3f7, 0xc67178f2};

constexpr std::uint64_t K512[80] = {
    0x428a2f98d728ae22, 0x7137449123ef65cd, 0xb5c0fbcfec4d3b2f, 0xe9b5dba58189dbbc, 0x3956c25bf348b538,
    0x59f111f1b605d019, 0x923f82a4af194f9b, 0xab1c5ed5da6d8118, 0xd807aa98a3030242, 0x12835b0145706fbe,
    0x243185be4ee4b28c, 0x550c7dc3d5ffb4e2, 0x72be5d74f27b896f, 0x80deb1fe3b1696b1, 0x9bdc06a725c71235,
    0xc19bf174cf692694, 0xe49b69c19ef14ad2, 0xefbe4786384f25e3, 0x0fc19dc68b8cd5b5, 0x240ca1cc77ac9c65,
    0x2de92c6f592b0275, 0x4a7484aa6ea6e483, 0x5cb0a9dcbd41fbd4, 0x76f988da831153b5, 0x983e5152ee66dfab,
    0xa831c66d2db43210, 0xb00327c898fb213f, 0xbf597fc7beef0ee4, 0xc6e00bf33da88fc2, 0xd5a79147930aa725,
    0x06ca6351e003826f, 0x142929670a0e6e70, 0x27b70a8546d22ffc, 0x2e1b21385c26c926, 0x4d2c6dfc5ac42aed,
    0x53380d139d95b3df, 0x650a73548baf63de, 0x766a0abb3c77b2a8, 0x81c2c92e47edaee6, 0x92722c851482353b,
    0xa2bfe8a14cf10364, 0xa81a664bbc423001, 0xc24b8b70d0f89791, 0xc76c51a30654be30, 0xd192e819d6ef5218,
    0xd69906245565a910, 0xf40e35855771202a, 0x106aa07032bbd1b8, 0x19a4c116b8d2d0c8, 0x1e376c085141ab53,
    0x2748774cdf8eeb99, 0x34b0bcb5e19b48a8, 0x391c0cb3c5c95a63, 0x4ed8aa4ae3418acb, 0x5b9cca4f7763e373,
    0x682e6ff3d6b2b8a3, 0x748f82ee5defb2fc, 0x78a5636f43172f60, 0x84c87814a1f0ab72, 0x8cc702081a6439ec,
    0x90befffa23631e28, 0xa4506cebde82bde9, 0xbef9a3f7b2c67915, 0xc67178f2e372532b, 0xca273eceea26619c,
    0xd186b8c721c0c207, 0xeada7dd6cde0eb1e, 0xf57d4f7fee6ed178, 0x06f067aa72176fba, 0x0a637dc5a2c898a6,
    0x113f9804bef90dae, 0x1b710b35131c471b, 0x28db77f523047d84, 0x32caab7b40c72493, 0x3c9ebe0a15c9bebc,
    0x431d67c49c100d4c, 0x4cc5d4becb3e42b6, 0x597f299cfc657e2a, 0x5fcb6fab3ad6faec, 0x6c44198c4a475817};

template <typename T>
constexpr T Rotr(T x, int n) {
  return static_cast<T>(x >> n | x << (sizeof(T) * 8 - n));
}

// The shared frame: buffer bytes until a block is full, then pad with 0x80, zeros and the
// big-endian bit length in the last `lengthBytes` of a block.
template <std::size_t Block, typename Fn>
void Feed(std::uint8_t (&buffer)[Block], std::uint64_t& length, std::string_view bytes, Fn transform) {
  std::size_t used = length % Block;
  length += bytes.size();
  const auto* p = reinterpret_cast<const std::uint8_t*>(bytes.data());
  std::size_t n = bytes.size();
  if (used != 0) {
    std::size_t take = std::min(n, Block - used);
    std::memcpy(buffer + used, p, take);
    p += take, n -= take, used += take;
    if (used < Block) return;
    transform(buffer);
  }
  for (; n >= Block; p += Block, n -= Block) transform(p);
  std::memcpy(buffer, p, n);
}

template <std::size_t Block, typename Fn>
void Pad(std::uint8_t (&buffer)[Block], std::uint64_t length, std::size_t lengthBytes, Fn transform) {
  std::size_t used = length % Block;
  buffer[used++] = 0x80;
  if (used > Block - lengthBytes) {
    std::memset(buffer + used, 0, Block - used);
    transform(buffer);
    used = 0;
  }
  std::memset(buffer + used, 0, Block - used);
  const std::uint64_t bits = length * 8;
  for (int i = 0; i < 8; ++i) buffer[Block - 1 - i] = static_cast<std::uint8_t>(bits >> (8 * i));
  transform(buffer);
}

}  // namespace

void TNetHashSHA256::Restart() {
  static constexpr std::uint32_t kInit[8] = {0x6a09e667, 0xbb67ae85, 0x3c6ef372, 0xa54ff53a,
                                             0x510e527f, 0x9b05688c, 0x1f83d9ab, 0x5be0cd19};
  std::memcpy(FState, kInit, sizeof FState);
  FLength = 0;
}

void TNetHashSHA256::Transform(const std::uint8_t b[64]) {
  std::uint32_t w[64];
  for (int i = 0; i < 16; ++i)
    w[i] = std::uint32_t(b[4 * i]) << 24 | std::uint32_t(b[4 * i + 1]) << 16 | std::uint32_t(b[4 * i + 2]) << 8 |
           b[4 * i + 3];
  for (int i = 16; i < 64; ++i) {
    std::uint32_t s0 = Rotr(w[i - 15], 7) ^ Rotr(w[i - 15], 18) ^ (w[i - 15] >> 3);
    std::uint32_t s1 = Rotr(w[i - 2], 17) ^ Rotr(w[i - 2], 19) ^ (w[i - 2] >> 10);
    w[i] = w[i - 16] + s0 + w[i - 7] + s1;
  }
  std::uint32_t a = FState[0], bb = FState[1], c = FState[2], d = FState[3], e = FState[4], f = FState[5],
                g = FState[6], h = FState[7];
  for (int i = 0; i < 64; ++i) {
    std::uint32_t t1 = h + (Rotr(e, 6) ^ Rotr(e, 11) ^ Rotr(e, 25)) + ((e & f) ^ (~e & g)) + K256[i] + w[i];
    std::uint32_t t2 = (Rotr(a, 2) ^ Rotr(a, 13) ^ Rotr(a, 22)) + ((a & bb) ^ (a & c) ^ (bb & c));
    h = g, g = f, f = e, e = d + t1, d = c, c = bb, bb = a, a = t1 + t2;
  }
  FState[0] += a, FState[1] += bb, FState[2] += c, FState[3] += d;
  FState[4] += e, FState[5] += f, FState[6] += g, FState[7] += h;
}

void TNetHashSHA256::Update(std::string_view bytes) {
  Feed(FBuffer, FLength, bytes, [this](const std::uint8_t* b) { Transform(b); });
}

std::string TNetHashSHA256::Final() {
  Pad(FBuffer, FLength, 8, [this](const std::uint8_t* b) { Transform(b); });
  std::string out(32, '\0');
  for (int i = 0; i < 32; ++i) out[i] = static_cast<char>(FState[i / 4] >> (24 - 8 * (i % 4)));
  Restart();
  return out;
}

void TNetHashSHA512_256::Restart() {
  static constexpr std::uint64_t kInit[8] = {0x22312194fc2bf72c, 0x9f555fa3c84c64c2, 0x2393b86b6f53b151,
                                             0x963877195940eabd, 0x96283ee2a88effe3, 0xbe5e1e2553863992,
                                             0x2b0199fc2c85b8aa, 0x0eb72ddc81c52ca2};
  std::memcpy(FState, kInit, sizeof FState);
  FLength = 0;
}

void TNetHashSHA512_256::Transform(const std::uint8_t b[128]) {
  std::uint64_t w[80];
  for (int i = 0; i < 16; ++i) {
    w[i] = 0;
    for (int k = 0; k < 8; ++k) w[i] = w[i] << 8 | b[8 * i + k];
  }
  for (int i = 16; i < 80; ++i) {
    std::uint64_t s0 = Rotr(w[i - 15], 1) ^ Rotr(w[i - 15], 8) ^ (w[i - 15] >> 7);
    std::uint64_t s1 = Rotr(w[i - 2], 19) ^ Rotr(w[i - 2], 61) ^ (w[i - 2] >> 6);
    w[i] = w[i - 16] + s0 + w[i - 7] + s1;
  }
  std::uint64_t a = FState[0], bb = FState[1], c = FState[2], d = FState[3], e = FState[4], f = FState[5],
                g = FState[6], h = FState[7];
  for (int i = 0; i < 80; ++i) {
    std::uint64_t t1 = h + (Rotr(e, 14) ^ Rotr(e, 18) ^ Rotr(e, 41)) + ((e & f) ^ (~e & g)) + K512[i] + w[i];
    std::uint64_t t2 = (Rotr(a, 28) ^ Rotr(a, 34) ^ Rotr(a, 39)) + ((a & bb) ^ (a & c) ^ (bb & c));
    h = g, g = f, f = e, e = d + t1, d = c, c = bb, bb = a, a = t1 + t2;
  }
  FState[0] += a, FState[1] += bb, FState[2] += c, FState[3] += d;
  FState[4] += e, FState[5] += f, FState[6] += g, FState[7] += h;
}

void TNetHashSHA512_256::Update(std::string_view bytes) {
  Feed(FBuffer, FLength, bytes, [this](const std::uint8_t* b) { Transform(b); });
}

std::string TNetHashSHA512_256::Final() {
  // The 128-bit length field: messages here are far below 2^64 bits, so its high half is 0.
  Pad(FBuffer, FLength, 16, [this](const std::uint8_t* b) { Transform(b); });
  std::string out(32, '\0');
  for (int i = 0; i < 32; ++i) out[i] = static_cast<char>(FState[i / 8] >> (56 - 8 * (i % 8)));
  Restart();
  return out;
}

}  // namespace tarvo::http
