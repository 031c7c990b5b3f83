// ZIP method 98: PPMd variant I, revision 1, decoded by the LZMA SDK's Ppmd8 model. The
// entry's data is a 16-bit little-endian parameter word followed by the range coder's
// bytes; the stream ends with the model's end symbol, not at the declared size.
#pragma once

#include <cstdint>

#include "core/stream.h"

namespace tarvo::unzip {

// The parameter word, as the application note lays it out.
struct TPpmdParameters {
  unsigned Order;          // bits 0-3: model order - 1
  std::uint32_t MemoryMiB; // bits 4-11: model memory in MiB - 1
  unsigned RestoreMethod;  // bits 12-15: what the model does when its memory is full
  static TPpmdParameters FromWord(std::uint16_t word) noexcept {
    return {(word & 0x0Fu) + 1u, ((word >> 4) & 0xFFu) + 1u, static_cast<unsigned>(word >> 12)};
  }
};

// The largest model the word can ask for (256 MiB). It is allocated, not touched: the model
// only writes the memory its statistics grow into.
constexpr std::uint32_t kPpmdLargestModelMiB = 256;

// False when the program was built without the SDK's PPMd files; method 98 is then an
// unsupported method.
bool PpmdBuiltIn() noexcept;

// Decodes one entry into output, in blocks of 4,096 bytes, until the model reports the end
// of the stream (end symbol or damaged data) or the input has run out; the CRC check then
// judges the output. A model order outside 2-16 or a restoration method the SDK does not
// know raises EVmPPMdError before anything is allocated; so does a model larger than
// memoryLimitMiB, and a model the system cannot allocate. A header cut short raises the
// stream read error.
void DecodePpmd(core::TStream& input, core::TStream& output, std::uint32_t memoryLimitMiB = kPpmdLargestModelMiB);

}  // namespace tarvo::unzip
