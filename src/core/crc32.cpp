// Two engines behind one function. Large blocks go through carry-less multiplication
// (PCLMULQDQ) when the processor has it: four 128-bit lanes are folded forward by 512 bits
// per step, which runs at many bytes per cycle. Everything else, and processors without
// the instruction, use slicing-by-8: eight table lookups retire eight input bytes per step.
#include "core/crc32.h"

#include <array>
#include <bit>
#include <cstring>

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#define TARVO_CRC_CLMUL 1
#endif

namespace tarvo::core {

static_assert(std::endian::native == std::endian::little, "the word loads below assume little-endian order");

namespace {

constexpr std::uint32_t kPolynomial = 0xEDB88320u;  // reflected form of 04C11DB7h

constexpr std::array<std::array<std::uint32_t, 256>, 8> MakeTables() {
  std::array<std::array<std::uint32_t, 256>, 8> t{};
  for (std::uint32_t i = 0; i < 256; ++i) {
    std::uint32_t c = i;
    for (int k = 0; k < 8; ++k) c = (c & 1) ? (c >> 1) ^ kPolynomial : c >> 1;
    t[0][i] = c;
  }
  for (std::uint32_t i = 0; i < 256; ++i)
    for (int s = 1; s < 8; ++s) t[s][i] = (t[s - 1][i] >> 8) ^ t[0][t[s - 1][i] & 0xFF];
  return t;
}

constexpr auto kTables = MakeTables();

std::uint32_t UpdateSliced(std::uint32_t crc, const std::uint8_t* p, std::size_t length) noexcept {
  while (length >= 8) {
    std::uint32_t lo, hi;
    std::memcpy(&lo, p, 4);
    std::memcpy(&hi, p + 4, 4);
    lo ^= crc;
    crc = kTables[7][lo & 0xFF] ^ kTables[6][(lo >> 8) & 0xFF] ^ kTables[5][(lo >> 16) & 0xFF] ^ kTables[4][lo >> 24] ^
          kTables[3][hi & 0xFF] ^ kTables[2][(hi >> 8) & 0xFF] ^ kTables[1][(hi >> 16) & 0xFF] ^ kTables[0][hi >> 24];
    p += 8;
    length -= 8;
  }
  while (length--) crc = (crc >> 8) ^ kTables[0][(crc ^ *p++) & 0xFF];
  return crc;
}

#ifdef TARVO_CRC_CLMUL

// Folding constants. A 128-bit lane loaded from memory holds a polynomial with the first
// input bit as its highest coefficient (bit j is x^(127-j)); its low quadword is the upper
// half H and its high quadword the lower half L. Moving a lane forward by n bits means
// H*x^(n+64) + L*x^n, reduced modulo P. The carry-less product of two bit-reversed
// quadwords, read back as a lane, comes out multiplied by x once more, so each constant is
// x^(k-1) mod P, laid out bit-reversed in 64 bits (coefficient d at bit 63-d).
constexpr std::uint64_t FoldConstant(int k) {
  std::uint64_t r = 1;  // x^0 in normal bit order
  for (int i = 0; i < k - 1; ++i) {
    r <<= 1;
    if (r & (std::uint64_t{1} << 32)) r ^= 0x104C11DB7ull;
  }
  std::uint64_t reflected = 0;
  for (int d = 0; d < 32; ++d)
    if ((r >> d) & 1) reflected |= std::uint64_t{1} << (63 - d);
  return reflected;
}

constexpr std::uint64_t kFold512Hi = FoldConstant(512 + 64), kFold512Lo = FoldConstant(512);
constexpr std::uint64_t kFold128Hi = FoldConstant(128 + 64), kFold128Lo = FoldConstant(128);

// Below this size the setup is not worth it.
constexpr std::size_t kClmulMinimum = 256;

__attribute__((target("pclmul,sse4.1"))) inline __m128i Fold(__m128i lane, __m128i k, __m128i next) {
  return _mm_xor_si128(_mm_xor_si128(_mm_clmulepi64_si128(lane, k, 0x00), _mm_clmulepi64_si128(lane, k, 0x11)), next);
}

__attribute__((target("pclmul,sse4.1"))) std::uint32_t UpdateClmul(std::uint32_t crc, const std::uint8_t* p,
                                                                   std::size_t length) noexcept {
  const __m128i k512 = _mm_set_epi64x(static_cast<long long>(kFold512Lo), static_cast<long long>(kFold512Hi));
  const __m128i k128 = _mm_set_epi64x(static_cast<long long>(kFold128Lo), static_cast<long long>(kFold128Hi));
  auto load = [](const std::uint8_t* q) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(q)); };
  // The running register enters as the first 32 bits of the data.
  __m128i x0 = _mm_xor_si128(load(p), _mm_cvtsi32_si128(static_cast<int>(crc)));
  __m128i x1 = load(p + 16), x2 = load(p + 32), x3 = load(p + 48);
  p += 64;
  length -= 64;
  while (length >= 64) {
    x0 = Fold(x0, k512, load(p));
    x1 = Fold(x1, k512, load(p + 16));
    x2 = Fold(x2, k512, load(p + 32));
    x3 = Fold(x3, k512, load(p + 48));
    p += 64;
    length -= 64;
  }
  x1 = Fold(x0, k128, x1);
  x2 = Fold(x1, k128, x2);
  x3 = Fold(x2, k128, x3);
  while (length >= 16) {
    x3 = Fold(x3, k128, load(p));
    p += 16;
    length -= 16;
  }
  // What is left is a 128-bit polynomial R; the table engine with a zero register turns
  // its 16 bytes into R*x^32 mod P, the register value, and then takes the tail.
  std::uint8_t lane[16];
  _mm_storeu_si128(reinterpret_cast<__m128i*>(lane), x3);
  return UpdateSliced(UpdateSliced(0, lane, 16), p, length);
}

const bool kHasClmul = __builtin_cpu_supports("pclmul") && __builtin_cpu_supports("sse4.1");

#endif

}  // namespace

std::uint32_t UpdateCRC32(std::uint32_t crc, const void* data, std::size_t length) noexcept {
  const auto* p = static_cast<const std::uint8_t*>(data);
#ifdef TARVO_CRC_CLMUL
  if (length >= kClmulMinimum && kHasClmul) return UpdateClmul(crc, p, length);
#endif
  return UpdateSliced(crc, p, length);
}

}  // namespace tarvo::core
