// Engines behind one function. Blocks of 64 bytes and more go through carry-less
// multiplication when the processor has it: several lanes of 128 bits are folded forward
// by a whole step at a time, on 128-bit registers (PCLMULQDQ) or, where available, 256- or
// 512-bit ones (VPCLMULQDQ), which runs at many bytes per cycle. Everything else, and
// processors without the instructions, use slicing-by-8: eight table lookups retire eight
// input bytes per step.
#include "core/crc32.h"

#include <array>
#include <bit>
#include <cstring>

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#define TARVO_CRC_CLMUL 1
#endif
#if defined(__x86_64__)
// The wide engines need the 16 (AVX2) or 32 (AVX-512) vector registers of 64-bit mode.
#define TARVO_CRC_VPCLMUL 1
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

using TUpdate = std::uint32_t (*)(std::uint32_t, const std::uint8_t*, std::size_t) noexcept;

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

// The pair of constants that moves a lane forward by n bits: for the upper half (low
// quadword) and for the lower half (high quadword).
struct TFold {
  std::uint64_t Upper, Lower;
};
constexpr TFold FoldBy(int bits) { return {FoldConstant(bits + 64), FoldConstant(bits)}; }

constexpr TFold kFold128 = FoldBy(128), kFold256 = FoldBy(256), kFold384 = FoldBy(384), kFold512 = FoldBy(512);

// Below this size the set-up of the folding engines is not worth it.
constexpr std::size_t kClmulMinimum = 64;

#define TARVO_TARGET_CLMUL __attribute__((target("pclmul,sse4.1")))

TARVO_TARGET_CLMUL inline __m128i Constants(TFold f) {
  return _mm_set_epi64x(static_cast<long long>(f.Lower), static_cast<long long>(f.Upper));
}

TARVO_TARGET_CLMUL inline __m128i Load128(const std::uint8_t* p) {
  return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
}

TARVO_TARGET_CLMUL inline __m128i Fold(__m128i lane, __m128i k, __m128i next) {
  return _mm_xor_si128(_mm_xor_si128(_mm_clmulepi64_si128(lane, k, 0x00), _mm_clmulepi64_si128(lane, k, 0x11)), next);
}

// Folds the remaining 16-byte blocks into x, a lane that ends where p starts, and turns
// the result and the last bytes (fewer than 16) into the register value.
TARVO_TARGET_CLMUL std::uint32_t FinishClmul(__m128i x, const std::uint8_t* p, std::size_t length) noexcept {
  const __m128i k128 = Constants(kFold128);
  while (length >= 16) {
    x = Fold(x, k128, Load128(p));
    p += 16;
    length -= 16;
  }
  // x is a 128-bit polynomial R; the table engine with a zero register turns its 16 bytes
  // into R*x^32 mod P, the register value, and then takes the tail.
  std::uint8_t lane[16];
  _mm_storeu_si128(reinterpret_cast<__m128i*>(lane), x);
  return UpdateSliced(UpdateSliced(0, lane, 16), p, length);
}

// The running register enters as the first 32 bits of the data.
TARVO_TARGET_CLMUL inline __m128i LoadFirst(const std::uint8_t* p, std::uint32_t crc) {
  return _mm_xor_si128(Load128(p), _mm_cvtsi32_si128(static_cast<int>(crc)));
}

// Four 128-bit lanes, folded forward by 512 bits per step. length >= 64.
TARVO_TARGET_CLMUL std::uint32_t UpdateClmul(std::uint32_t crc, const std::uint8_t* p, std::size_t length) noexcept {
  const __m128i k512 = Constants(kFold512);
  __m128i x0 = LoadFirst(p, crc), x1 = Load128(p + 16), x2 = Load128(p + 32), x3 = Load128(p + 48);
  p += 64;
  length -= 64;
  while (length >= 64) {
    x0 = Fold(x0, k512, Load128(p));
    x1 = Fold(x1, k512, Load128(p + 16));
    x2 = Fold(x2, k512, Load128(p + 32));
    x3 = Fold(x3, k512, Load128(p + 48));
    p += 64;
    length -= 64;
  }
  const __m128i x = Fold(x0, Constants(kFold384), Fold(x1, Constants(kFold256), Fold(x2, Constants(kFold128), x3)));
  return FinishClmul(x, p, length);
}

#endif  // TARVO_CRC_CLMUL

#ifdef TARVO_CRC_VPCLMUL

#define TARVO_TARGET_AVX2 __attribute__((target("pclmul,sse4.1,avx2,vpclmulqdq")))
#define TARVO_TARGET_AVX512 __attribute__((target("pclmul,sse4.1,avx2,avx512f,avx512vl,vpclmulqdq")))

// 256-bit registers: two lanes each, four registers, 1024 bits per step.
TARVO_TARGET_AVX2 inline __m256i Load256(const std::uint8_t* p) {
  return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
}
TARVO_TARGET_AVX2 inline __m256i Constants256(TFold f) { return _mm256_broadcastsi128_si256(Constants(f)); }
TARVO_TARGET_AVX2 inline __m256i Fold256(__m256i lanes, __m256i k, __m256i next) {
  return _mm256_xor_si256(
      _mm256_xor_si256(_mm256_clmulepi64_epi128(lanes, k, 0x00), _mm256_clmulepi64_epi128(lanes, k, 0x11)), next);
}

TARVO_TARGET_AVX2 std::uint32_t UpdateClmulAvx2(std::uint32_t crc, const std::uint8_t* p, std::size_t length) noexcept {
  if (length < 256) return UpdateClmul(crc, p, length);
  const __m256i k1024 = Constants256(FoldBy(1024)), k256 = Constants256(kFold256);
  __m256i x0 = _mm256_xor_si256(Load256(p), _mm256_zextsi128_si256(_mm_cvtsi32_si128(static_cast<int>(crc))));
  __m256i x1 = Load256(p + 32), x2 = Load256(p + 64), x3 = Load256(p + 96);
  p += 128;
  length -= 128;
  while (length >= 128) {
    x0 = Fold256(x0, k1024, Load256(p));
    x1 = Fold256(x1, k1024, Load256(p + 32));
    x2 = Fold256(x2, k1024, Load256(p + 64));
    x3 = Fold256(x3, k1024, Load256(p + 96));
    p += 128;
    length -= 128;
  }
  x3 = Fold256(x0, Constants256(FoldBy(768)), Fold256(x1, Constants256(kFold512), Fold256(x2, k256, x3)));
  while (length >= 32) {
    x3 = Fold256(x3, k256, Load256(p));
    p += 32;
    length -= 32;
  }
  const __m128i x = Fold(_mm256_castsi256_si128(x3), Constants(kFold128), _mm256_extracti128_si256(x3, 1));
  return FinishClmul(x, p, length);
}

// 512-bit registers: four lanes each, four registers, 2048 bits per step.
TARVO_TARGET_AVX512 inline __m512i Load512(const std::uint8_t* p) { return _mm512_loadu_si512(p); }
TARVO_TARGET_AVX512 inline __m512i Constants512(TFold f) {
  const auto u = static_cast<long long>(f.Upper), l = static_cast<long long>(f.Lower);
  return _mm512_set_epi64(l, u, l, u, l, u, l, u);
}
TARVO_TARGET_AVX512 inline __m512i Fold512(__m512i lanes, __m512i k, __m512i next) {
  // 0x96: the three-way exclusive or.
  return _mm512_ternarylogic_epi64(_mm512_clmulepi64_epi128(lanes, k, 0x00), _mm512_clmulepi64_epi128(lanes, k, 0x11),
                                   next, 0x96);
}

TARVO_TARGET_AVX512 std::uint32_t UpdateClmulAvx512(std::uint32_t crc, const std::uint8_t* p,
                                                    std::size_t length) noexcept {
  if (length < 256) return UpdateClmul(crc, p, length);
  const __m512i k2048 = Constants512(FoldBy(2048)), k512 = Constants512(kFold512);
  __m512i x0 = _mm512_xor_si512(Load512(p), _mm512_zextsi128_si512(_mm_cvtsi32_si128(static_cast<int>(crc))));
  __m512i x1 = Load512(p + 64), x2 = Load512(p + 128), x3 = Load512(p + 192);
  p += 256;
  length -= 256;
  while (length >= 256) {
    x0 = Fold512(x0, k2048, Load512(p));
    x1 = Fold512(x1, k2048, Load512(p + 64));
    x2 = Fold512(x2, k2048, Load512(p + 128));
    x3 = Fold512(x3, k2048, Load512(p + 192));
    p += 256;
    length -= 256;
  }
  x3 = Fold512(x0, Constants512(FoldBy(1536)), Fold512(x1, Constants512(FoldBy(1024)), Fold512(x2, k512, x3)));
  while (length >= 64) {
    x3 = Fold512(x3, k512, Load512(p));
    p += 64;
    length -= 64;
  }
  // The four lanes through memory: GCC 12's lane extracts warn of an undefined operand.
  std::uint8_t lanes[64];
  _mm512_storeu_si512(lanes, x3);
  const __m128i x = Fold(Load128(lanes), Constants(kFold384),
                         Fold(Load128(lanes + 16), Constants(kFold256),
                              Fold(Load128(lanes + 32), Constants(kFold128), Load128(lanes + 48))));
  return FinishClmul(x, p, length);
}

#endif  // TARVO_CRC_VPCLMUL

bool Supports(TCRC32Engine engine) noexcept {
#ifdef TARVO_CRC_CLMUL
  __builtin_cpu_init();
  const bool clmul = __builtin_cpu_supports("pclmul") && __builtin_cpu_supports("sse4.1");
#endif
  switch (engine) {
    case TCRC32Engine::ceTable: return true;
#ifdef TARVO_CRC_CLMUL
    case TCRC32Engine::ceClmul: return clmul;
#endif
#ifdef TARVO_CRC_VPCLMUL
    case TCRC32Engine::ceClmulAvx2:
      return clmul && __builtin_cpu_supports("avx2") && __builtin_cpu_supports("vpclmulqdq");
    case TCRC32Engine::ceClmulAvx512:
      return clmul && __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512vl") &&
             __builtin_cpu_supports("vpclmulqdq");
#endif
    default: return false;
  }
}

// The engine for blocks of kClmulMinimum bytes and more.
TUpdate EngineFunction(TCRC32Engine engine) noexcept {
  if (!Supports(engine)) return UpdateSliced;
  switch (engine) {
#ifdef TARVO_CRC_CLMUL
    case TCRC32Engine::ceClmul: return UpdateClmul;
#endif
#ifdef TARVO_CRC_VPCLMUL
    case TCRC32Engine::ceClmulAvx2: return UpdateClmulAvx2;
    case TCRC32Engine::ceClmulAvx512: return UpdateClmulAvx512;
#endif
    default: return UpdateSliced;
  }
}

TUpdate FastestEngine() noexcept {
  for (TCRC32Engine e : {TCRC32Engine::ceClmulAvx512, TCRC32Engine::ceClmulAvx2, TCRC32Engine::ceClmul})
    if (Supports(e)) return EngineFunction(e);
  return UpdateSliced;
}

#ifndef TARVO_CRC_CLMUL
constexpr std::size_t kClmulMinimum = SIZE_MAX;
#endif

}  // namespace

bool CRC32EngineAvailable(TCRC32Engine engine) noexcept { return Supports(engine); }

std::uint32_t UpdateCRC32With(TCRC32Engine engine, std::uint32_t crc, const void* data, std::size_t length) noexcept {
  const auto* p = static_cast<const std::uint8_t*>(data);
  return length >= kClmulMinimum ? EngineFunction(engine)(crc, p, length) : UpdateSliced(crc, p, length);
}

std::uint32_t UpdateCRC32(std::uint32_t crc, const void* data, std::size_t length) noexcept {
  static const TUpdate engine = FastestEngine();
  const auto* p = static_cast<const std::uint8_t*>(data);
  return length >= kClmulMinimum ? engine(crc, p, length) : UpdateSliced(crc, p, length);
}

}  // namespace tarvo::core
