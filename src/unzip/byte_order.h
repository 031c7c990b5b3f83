// Little-endian field access for the fixed parts of ZIP records.
#pragma once

#include <cstdint>

namespace tarvo::unzip {

inline std::uint16_t GetLE16(const std::uint8_t* p) noexcept {
  return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}

inline std::uint32_t GetLE32(const std::uint8_t* p) noexcept {
  return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
         (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

inline std::uint64_t GetLE64(const std::uint8_t* p) noexcept {
  return static_cast<std::uint64_t>(GetLE32(p)) | (static_cast<std::uint64_t>(GetLE32(p + 4)) << 32);
}

}  // namespace tarvo::unzip
