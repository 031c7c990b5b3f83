// SHA-256 and SHA-512/256 (FIPS 180-4), the hashes Digest authentication offers beside MD5.
// Fed bytes in pieces like the MD4/MD5 classes; Final gives the digest and starts over.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace tarvo::http {

class TNetHashSHA256 {
public:
  TNetHashSHA256() { Restart(); }
  void Update(std::string_view bytes);
  // 32 bytes.
  std::string Final();

private:
  void Restart();
  void Transform(const std::uint8_t block[64]);
  std::uint32_t FState[8];
  std::uint8_t FBuffer[64];
  std::uint64_t FLength = 0;
};

// SHA-512 with its own initial values, cut to 32 bytes (not SHA-512 cut: the start differs).
class TNetHashSHA512_256 {
public:
  TNetHashSHA512_256() { Restart(); }
  void Update(std::string_view bytes);
  std::string Final();

private:
  void Restart();
  void Transform(const std::uint8_t block[128]);
  std::uint64_t FState[8];
  std::uint8_t FBuffer[128];
  std::uint64_t FLength = 0;
};

}  // namespace tarvo::http
