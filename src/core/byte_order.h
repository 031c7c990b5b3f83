// Integers to and from bytes in either order: little-endian (the host's on every platform
// this runs on, and the ZIP formats') or big-endian (network order).
#pragma once

#include <cstddef>
#include <cstdint>
#include <type_traits>

namespace tarvo::core {

template <class T>
constexpr T LoadInt(const std::uint8_t* bytes, bool bigEndian) noexcept {
  static_assert(std::is_integral_v<T>);
  using U = std::make_unsigned_t<T>;
  U v = 0;
  for (std::size_t i = 0; i < sizeof(T); ++i)
    v = static_cast<U>(v | static_cast<U>(static_cast<U>(bytes[bigEndian ? sizeof(T) - 1 - i : i]) << (8 * i)));
  return static_cast<T>(v);
}

template <class T>
constexpr void StoreInt(T value, std::uint8_t* bytes, bool bigEndian) noexcept {
  static_assert(std::is_integral_v<T>);
  using U = std::make_unsigned_t<T>;
  U v = static_cast<U>(value);
  for (std::size_t i = 0; i < sizeof(T); ++i)
    bytes[bigEndian ? sizeof(T) - 1 - i : i] = static_cast<std::uint8_t>(v >> (8 * i));
}

}  // namespace tarvo::core
