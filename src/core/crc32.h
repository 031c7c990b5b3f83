// The CRC-32 of the ZIP format (ISO 3309 / ITU-T V.42: reflected polynomial EDB88320h,
// initial value all ones, result complemented). One routine serves archive names, the
// inflater and every extracted byte, so it is built for speed.
#pragma once

#include <cstddef>
#include <cstdint>

namespace tarvo::core {

// Continues a running, not complemented CRC register: start with 0xFFFFFFFF and
// complement the final value. This is the form archive readers keep while streaming.
std::uint32_t UpdateCRC32(std::uint32_t crc, const void* data, std::size_t length) noexcept;

// The finished CRC-32 of a block, continuing a previous finished value (0 for a new one):
// CRC32(CRC32(0, a), b) == CRC32(0, a + b).
inline std::uint32_t ComputeCRC32(std::uint32_t previous, const void* data, std::size_t length) noexcept {
  return ~UpdateCRC32(~previous, data, length);
}

// The engines behind UpdateCRC32, each computing the same function; UpdateCRC32 picks the
// fastest the processor has, once. Named here so that tests and benchmarks can run each
// one the processor supports.
enum class TCRC32Engine {
  ceTable,        // slicing-by-8 tables: any processor
  ceClmul,        // PCLMULQDQ on 128-bit lanes (x86 with SSE4.1)
  ceClmulAvx2,    // VPCLMULQDQ on 256-bit lanes (x86-64 with AVX2)
  ceClmulAvx512,  // VPCLMULQDQ on 512-bit lanes (x86-64 with AVX-512F/VL)
};
bool CRC32EngineAvailable(TCRC32Engine engine) noexcept;
// UpdateCRC32 through the given engine; one that is not available falls back to ceTable.
std::uint32_t UpdateCRC32With(TCRC32Engine engine, std::uint32_t crc, const void* data, std::size_t length) noexcept;

}  // namespace tarvo::core
