// A stream held in memory. Its bytes are contiguous and reachable through Memory().
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/stream.h"

namespace tarvo::core {

class TMemoryStream : public TStream {
public:
  TMemoryStream() = default;
  explicit TMemoryStream(std::vector<std::uint8_t> bytes) : FData(std::move(bytes)) {}

  std::size_t Read(void* buffer, std::size_t count) override;
  std::size_t Write(const void* buffer, std::size_t count) override;
  std::int64_t Seek(std::int64_t offset, TSeekOrigin origin) override;
  std::int64_t Position() override { return FPosition; }
  std::int64_t Size() override { return static_cast<std::int64_t>(FData.size()); }
  void SetSize(std::int64_t newSize) override;
  std::size_t Lend(const std::uint8_t*& data) override;

  std::uint8_t* Memory() noexcept { return FData.data(); }
  const std::uint8_t* Memory() const noexcept { return FData.data(); }
  const std::vector<std::uint8_t>& Bytes() const noexcept { return FData; }
  std::string DataString() const { return std::string(FData.begin(), FData.end()); }
  void Clear();

  void LoadFromStream(TStream& source);
  void LoadFromFile(const std::string& fileName);
  void SaveToStream(TStream& dest) const;
  void SaveToFile(const std::string& fileName) const;

private:
  std::vector<std::uint8_t> FData;
  std::int64_t FPosition = 0;
};

}  // namespace tarvo::core
