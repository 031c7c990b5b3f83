// Little-endian field access for the fixed parts of ZIP records.
#pragma once

#include <cstdint>

#include "core/byte_order.h"

namespace tarvo::unzip {

inline std::uint16_t GetLE16(const std::uint8_t* p) noexcept { return core::LoadInt<std::uint16_t>(p, false); }
inline std::uint32_t GetLE32(const std::uint8_t* p) noexcept { return core::LoadInt<std::uint32_t>(p, false); }
inline std::uint64_t GetLE64(const std::uint8_t* p) noexcept { return core::LoadInt<std::uint64_t>(p, false); }

}  // namespace tarvo::unzip
