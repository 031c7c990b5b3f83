// Differential fuzzing of every CRC-32 engine the processor has against zlib's crc32(). The
// first four bytes give the running value to continue, the fifth the misalignment of the
// block; the rest is the block, also cut in two at a point taken from the data.
#include <zlib.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <initializer_list>

#include "core/crc32.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using tarvo::core::TCRC32Engine;
  if (size < 5) return 0;
  std::uint32_t previous;
  std::memcpy(&previous, data, 4);
  const std::size_t shift = data[4] % 64;
  data += 5;
  size -= 5;
  // A copy at the chosen misalignment, so the engines see every start within a cache line.
  static std::uint8_t buffer[64 + (1 << 20)];
  if (size > (1 << 20)) size = 1 << 20;
  std::uint8_t* const block = buffer + shift;
  std::memcpy(block, data, size);
  const std::uint32_t expected = static_cast<std::uint32_t>(crc32(previous, block, static_cast<uInt>(size)));
  const std::size_t cut = size ? (previous >> 8) % (size + 1) : 0;
  for (TCRC32Engine engine : {TCRC32Engine::ceTable, TCRC32Engine::ceClmul, TCRC32Engine::ceClmulAvx2,
                              TCRC32Engine::ceClmulAvx512}) {
    if (!tarvo::core::CRC32EngineAvailable(engine)) continue;
    if (~tarvo::core::UpdateCRC32With(engine, ~previous, block, size) != expected) std::abort();
    const std::uint32_t head = tarvo::core::UpdateCRC32With(engine, ~previous, block, cut);
    if (~tarvo::core::UpdateCRC32With(engine, head, block + cut, size - cut) != expected) std::abort();
  }
  if (tarvo::core::ComputeCRC32(previous, block, size) != expected) std::abort();
  return 0;
}
