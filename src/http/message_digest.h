// MD4 (RFC 1320) and MD5 (RFC 1321): NTLM keys its responses with MD4 of the password (and
// HMAC-MD5 of that for version 2); Digest authentication hashes with MD5. Both are fed bytes in pieces (so a stream never has
// to sit in memory whole) and give a 16-byte digest. Neither is fit for new security uses;
// they are here because the protocols name them.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "core/stream.h"
#include "http/net_types.h"

namespace tarvo::http {

using TNetDigest = std::array<std::uint8_t, 16>;

// The Merkle-Damgard frame both hashes share: 64-byte blocks, little-endian length padding.
class TNetHashMessageDigest {
public:
  virtual ~TNetHashMessageDigest() = default;
  void Update(const void* data, std::size_t size);
  void Update(std::string_view bytes) { Update(bytes.data(), bytes.size()); }
  // Finishes the digest and starts over for the next message.
  TNetDigest Final();

  // One-shot forms. Text is turned into bytes with the encoding (nullptr: ASCII, the
  // transport's default); hexadecimal output is upper case, as the protocols' callers
  // lower it when they need to.
  TNetDigest HashBytes(std::string_view bytes);
  TNetDigest HashStream(core::TStream& stream);
  TNetDigest HashString(std::string_view text, const INetTextEncoding* encoding = nullptr);
  std::string HashStringAsHex(std::string_view text, const INetTextEncoding* encoding = nullptr);

protected:
  TNetHashMessageDigest();
  virtual void Transform(const std::uint8_t block[64]) = 0;
  virtual void Restart() = 0;
  std::uint32_t FState[4] = {};

private:
  std::uint8_t FBuffer[64] = {};
  std::uint64_t FLength = 0;  // bytes fed so far
};

class TNetHashMessageDigest4 final : public TNetHashMessageDigest {
public:
  TNetHashMessageDigest4() { Restart(); }

private:
  void Transform(const std::uint8_t block[64]) override;
  void Restart() override;
};

class TNetHashMessageDigest5 final : public TNetHashMessageDigest {
public:
  TNetHashMessageDigest5() { Restart(); }

private:
  void Transform(const std::uint8_t block[64]) override;
  void Restart() override;
};

// HMAC-MD5 (RFC 2104): NTLM version 2 keys and proves its responses with it.
TNetDigest HMACMD5(std::string_view key, std::string_view data);

// "0123...ABCDEF" form of any bytes.
std::string HexUpper(const std::uint8_t* data, std::size_t size);
inline std::string HexUpper(const TNetDigest& d) { return HexUpper(d.data(), d.size()); }

}  // namespace tarvo::http
