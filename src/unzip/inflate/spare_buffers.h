// Large decoder tables and windows kept, per thread, for the next stream: extracting an
// archive of many small entries would otherwise allocate, fault in and hand back to the
// system a few hundred kilobytes for every entry.
#pragma once

#include <cstddef>
#include <memory>

namespace tarvo::unzip {

// Tag tells apart pools of the same element type whose buffers must not take each other's
// slots.
template <typename T, int Slots, typename Tag = void>
class TVmDfSpareBuffers {
public:
  // A kept buffer of exactly this size, or a new one; the content is undefined.
  static std::unique_ptr<T[]> Take(std::size_t size) {
    for (TSlot& slot : FSlots)
      if (slot.Buffer && slot.Size == size) return std::move(slot.Buffer);
    return std::make_unique_for_overwrite<T[]>(size);
  }
  // Keeps the buffer when a slot is free; otherwise leaves it to its owner to free.
  static void Give(std::unique_ptr<T[]>& buffer, std::size_t size) noexcept {
    if (!buffer) return;
    for (TSlot& slot : FSlots)
      if (!slot.Buffer) {
        slot.Buffer = std::move(buffer);
        slot.Size = size;
        return;
      }
  }

private:
  struct TSlot {
    std::unique_ptr<T[]> Buffer;
    std::size_t Size = 0;
  };
  static inline thread_local TSlot FSlots[Slots];
};

}  // namespace tarvo::unzip
