#include "unzip/decrypt_stream.h"

#include <array>

#include "core/resource_string.h"
#include "unzip/vm_exception.h"
#include "unzip/vm_strings.h"

namespace tarvo::unzip {

namespace {

constexpr std::array<std::uint32_t, 256> MakeCrcTable() {
  std::array<std::uint32_t, 256> t{};
  for (std::uint32_t i = 0; i < 256; ++i) {
    std::uint32_t c = i;
    for (int k = 0; k < 8; ++k) c = (c & 1) ? (c >> 1) ^ 0xEDB88320u : c >> 1;
    t[i] = c;
  }
  return t;
}

constexpr auto kCrcTable = MakeCrcTable();

inline std::uint32_t CrcStep(std::uint32_t crc, std::uint8_t b) { return (crc >> 8) ^ kCrcTable[(crc ^ b) & 0xFF]; }

constexpr std::size_t kHeaderSize = 12;

}  // namespace

void TVmZipDecryptEngine::InitKeys(const std::string& password) noexcept {
  FState = 0x12345678;
  FKey1 = 0x23456789;
  FKey2 = 0x34567890;
  for (unsigned char c : password) UpdateKeys(c);
}

void TVmZipDecryptEngine::UpdateKeys(std::uint8_t plain) noexcept {
  FState = CrcStep(FState, plain);
  FKey1 = (FKey1 + (FState & 0xFF)) * 134775813u + 1;
  FKey2 = CrcStep(FKey2, static_cast<std::uint8_t>(FKey1 >> 24));
}

std::uint8_t TVmZipDecryptEngine::DecryptByte() const noexcept {
  std::uint32_t temp = (FKey2 | 2) & 0xFFFF;
  return static_cast<std::uint8_t>((temp * (temp ^ 1)) >> 8);
}

std::uint8_t TVmZipDecryptEngine::DecodeOne(std::uint8_t value) noexcept {
  std::uint8_t plain = value ^ DecryptByte();
  UpdateKeys(plain);
  return plain;
}

bool TVmZipDecryptEngine::VerifyHeader(std::uint8_t* header, const std::string& password, std::uint32_t checkValue) {
  if (password.empty()) throw EVmException(core::LoadResString(SVmNeedPassphrase));
  InitKeys(password);
  for (std::size_t i = 0; i < kHeaderSize; ++i) header[i] = DecodeOne(header[i]);
  FReady = header[kHeaderSize - 1] == static_cast<std::uint8_t>(checkValue >> 24);
  return FReady;
}

std::uint8_t TVmZipDecryptEngine::Decode(std::uint8_t value) {
  if (!FReady) throw EVmException(core::LoadResString(SVmDecodeBeforeVerify));
  return DecodeOne(value);
}

void TVmZipDecryptEngine::DecodeBuffer(std::uint8_t* buffer, std::size_t count) {
  if (!FReady) throw EVmException(core::LoadResString(SVmDecodeBeforeVerify));
  for (std::size_t i = 0; i < count; ++i) buffer[i] = DecodeOne(buffer[i]);
}

TVmDfDecryptStream::TVmDfDecryptStream(core::TStream* input, std::string password, std::uint32_t checkValue,
                                       bool ownsStream)
    : FStream(input), FPassphrase(std::move(password)), FCheckValue(checkValue), FOwnsStream(ownsStream) {}

TVmDfDecryptStream::~TVmDfDecryptStream() {
  if (FOwnsStream) delete FStream;
}

core::TStream* TVmDfDecryptStream::ReleaseInput() noexcept {
  FOwnsStream = false;
  return FStream;
}

bool TVmDfDecryptStream::IsValid() {
  std::uint8_t header[kHeaderSize];
  FStream->ReadBuffer(header, kHeaderSize);
  FReady = FEngine.VerifyHeader(header, FPassphrase, FCheckValue);
  if (!FReady) FStream->Seek(-static_cast<std::int64_t>(kHeaderSize), core::TSeekOrigin::soCurrent);
  return FReady;
}

std::size_t TVmDfDecryptStream::Read(void* buffer, std::size_t count) {
  if (!FReady) throw EVmException(core::LoadResString(SVmDecryptNotVerified));
  std::size_t n = FStream->Read(buffer, count);
  FEngine.DecodeBuffer(static_cast<std::uint8_t*>(buffer), n);
  return n;
}

std::size_t TVmDfDecryptStream::Write(const void*, std::size_t) {
  throw EVmException(core::LoadResString(SVmDecryptWrite));
}

std::int64_t TVmDfDecryptStream::Seek(std::int64_t offset, core::TSeekOrigin origin) {
  return FStream->Seek(offset, origin);
}

}  // namespace tarvo::unzip
