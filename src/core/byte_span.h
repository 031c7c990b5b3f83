// The part of a byte block that a (length, offset) pair in the Pascal-style APIs names: a
// negative offset counts as 0, a negative length means "to the end", and the span never
// reaches past the block.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>

namespace tarvo::core {

struct TByteSpan {
  std::size_t Offset = 0;
  std::size_t Count = 0;  // 0 when nothing is left
};

constexpr TByteSpan ClampSpan(std::size_t size, std::int64_t length, std::int64_t offset) noexcept {
  std::size_t start = offset < 0 ? 0 : static_cast<std::size_t>(offset);
  if (start >= size) return {start, 0};
  std::size_t after = size - start;
  std::size_t count = length < 0 ? after : std::min<std::size_t>(static_cast<std::size_t>(length), after);
  return {start, count};
}

}  // namespace tarvo::core
