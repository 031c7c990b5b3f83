// Traditional PKWARE ZIP decryption: three 32-bit keys stirred through CRC-32 by the
// password and by every decrypted byte, and a 12-byte header in front of the data whose
// last byte tells (with 1 in 256 false positives) whether the password fits.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "core/stream.h"

namespace tarvo::unzip {

class TVmZipDecryptEngine {
public:
  // Initialises the keys from the password, decrypts the 12 header bytes (in place) and
  // compares the last with the top byte of checkValue. Raises EVmException "need a
  // passphrase" for an empty password.
  bool VerifyHeader(std::uint8_t* header, const std::string& password, std::uint32_t checkValue);
  // Raise EVmException unless a header was verified.
  std::uint8_t Decode(std::uint8_t value);
  void DecodeBuffer(std::uint8_t* buffer, std::size_t count);
  bool Ready() const noexcept { return FReady; }

private:
  void InitKeys(const std::string& password) noexcept;
  void UpdateKeys(std::uint8_t plain) noexcept;
  std::uint8_t DecryptByte() const noexcept;
  std::uint8_t DecodeOne(std::uint8_t value) noexcept;

  bool FReady = false;
  std::uint32_t FState = 0;  // key 0
  std::uint32_t FKey1 = 0;
  std::uint32_t FKey2 = 0;
};

// A read-only stream that decrypts its input.
class TVmDfDecryptStream final : public core::TStream {
public:
  // Nothing is read yet. The input is freed with this stream when ownsStream is set.
  TVmDfDecryptStream(core::TStream* input, std::string password, std::uint32_t checkValue, bool ownsStream = false);
  ~TVmDfDecryptStream() override;

  // Reads exactly 12 bytes (the stream's read error when they are not there) and checks
  // them. On failure the input moves back 12 bytes, ready for another password.
  bool IsValid();
  // Gives up ownership of the input (after a failed check, so another attempt can use it).
  core::TStream* ReleaseInput() noexcept;

  std::size_t Read(void* buffer, std::size_t count) override;
  std::size_t Write(const void* buffer, std::size_t count) override;  // raises: read-only
  std::int64_t Seek(std::int64_t offset, core::TSeekOrigin origin) override;  // passed to the input
  std::int64_t Size() override { return FStream->Size(); }

  void SetOwnsStream(bool owns) noexcept { FOwnsStream = owns; }

private:
  core::TStream* FStream;
  std::string FPassphrase;
  std::uint32_t FCheckValue;
  TVmZipDecryptEngine FEngine;
  bool FReady = false;
  bool FOwnsStream;
};

}  // namespace tarvo::unzip
