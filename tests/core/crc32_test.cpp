// Every CRC-32 engine the processor has against a bit-at-a-time reference: each length up
// to 2 KiB (so every step count and every remainder the folding engines handle), from
// misaligned starts, continuing different register values.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "core/crc32.h"

namespace tarvo::core {
namespace {

std::uint32_t BitwiseStep(std::uint32_t c, std::uint8_t byte) {
  c ^= byte;
  for (int k = 0; k < 8; ++k) c = (c & 1) ? (c >> 1) ^ 0xEDB88320u : c >> 1;
  return c;
}

std::string EngineName(const testing::TestParamInfo<TCRC32Engine>& info) {
  static const char* const names[] = {"Table", "Clmul", "ClmulAvx2", "ClmulAvx512"};
  return names[static_cast<int>(info.param)];
}

class Crc32Engine : public testing::TestWithParam<TCRC32Engine> {};

TEST_P(Crc32Engine, AgreesWithTheBitwiseReferenceAtEveryLengthAndStart) {
  if (!CRC32EngineAvailable(GetParam())) GTEST_SKIP() << "this processor lacks the engine's instructions";
  std::vector<std::uint8_t> data(2048 + 16);
  std::uint32_t seed = 99;
  for (auto& b : data) b = static_cast<std::uint8_t>((seed = seed * 1103515245u + 12345u) >> 23);
  struct Case {
    std::size_t start;
    std::uint32_t reg;
  };
  const Case cases[] = {{0, 0xFFFFFFFFu}, {1, 0},           {2, 0x12345678u}, {3, 0xFFFFFFFFu}, {4, 0x80000001u},
                        {5, 0xFFFFFFFFu}, {7, 0xDEADBEEFu}, {8, 0xFFFFFFFFu}, {13, 0x00000001u}};
  for (const Case& c : cases) {
    const std::uint8_t* p = data.data() + c.start;
    std::uint32_t expected = c.reg;
    for (std::size_t n = 0; n <= 2048; ++n) {
      ASSERT_EQ(UpdateCRC32With(GetParam(), c.reg, p, n), expected) << "start " << c.start << ", length " << n;
      expected = BitwiseStep(expected, p[n]);
    }
  }
}

// A megabyte, so the wide engines run their main loop many times over.
TEST_P(Crc32Engine, AgreesWithTheTableEngineOnALongBlock) {
  if (!CRC32EngineAvailable(GetParam())) GTEST_SKIP() << "this processor lacks the engine's instructions";
  std::vector<std::uint8_t> data((1 << 20) + 3);
  std::uint32_t seed = 7;
  for (auto& b : data) b = static_cast<std::uint8_t>((seed = seed * 1103515245u + 12345u) >> 23);
  EXPECT_EQ(UpdateCRC32With(GetParam(), 0xFFFFFFFFu, data.data() + 3, 1 << 20),
            UpdateCRC32With(TCRC32Engine::ceTable, 0xFFFFFFFFu, data.data() + 3, 1 << 20));
}

INSTANTIATE_TEST_SUITE_P(Engines, Crc32Engine,
                         testing::Values(TCRC32Engine::ceTable, TCRC32Engine::ceClmul, TCRC32Engine::ceClmulAvx2,
                                         TCRC32Engine::ceClmulAvx512),
                         EngineName);

}  // namespace
}  // namespace tarvo::core
