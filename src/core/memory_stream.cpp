#include "core/memory_stream.h"

#include <algorithm>
#include <cstring>

#include "core/exception.h"
#include "core/file_stream.h"

namespace tarvo::core {

std::size_t TMemoryStream::Read(void* buffer, std::size_t count) {
  std::int64_t size = Size();
  if (FPosition >= size || count == 0) return 0;
  std::size_t n = static_cast<std::size_t>(std::min<std::int64_t>(static_cast<std::int64_t>(count), size - FPosition));
  std::memcpy(buffer, FData.data() + FPosition, n);
  FPosition += static_cast<std::int64_t>(n);
  return n;
}

std::size_t TMemoryStream::Write(const void* buffer, std::size_t count) {
  if (count == 0) return 0;
  std::size_t end = static_cast<std::size_t>(FPosition) + count;
  if (end > FData.size()) FData.resize(end);
  std::memcpy(FData.data() + FPosition, buffer, count);
  FPosition = static_cast<std::int64_t>(end);
  return count;
}

std::int64_t TMemoryStream::Seek(std::int64_t offset, TSeekOrigin origin) {
  FPosition = SeekTarget(offset, origin, FPosition);  // beyond the end is allowed; a later Write fills the gap with zeros
  return FPosition;
}

std::size_t TMemoryStream::Lend(const std::uint8_t*& data) {
  const auto position = static_cast<std::uint64_t>(FPosition);
  if (position >= FData.size()) return 0;
  data = FData.data() + position;
  return FData.size() - static_cast<std::size_t>(position);
}

void TMemoryStream::SetSize(std::int64_t newSize) {
  if (newSize < 0) throw EStreamError("Stream size error");
  FData.resize(static_cast<std::size_t>(newSize));
  FPosition = std::min(FPosition, newSize);
}

void TMemoryStream::Clear() {
  FData.clear();
  FData.shrink_to_fit();
  FPosition = 0;
}

void TMemoryStream::LoadFromStream(TStream& source) {
  source.SetPosition(0);
  std::int64_t size = source.Size();
  FData.resize(static_cast<std::size_t>(size));
  if (size > 0) source.ReadBuffer(FData.data(), FData.size());
  FPosition = 0;
}

void TMemoryStream::LoadFromFile(const std::string& fileName) {
  TFileStream file(fileName, fmOpenRead | fmShareDenyWrite);
  LoadFromStream(file);
}

void TMemoryStream::SaveToStream(TStream& dest) const {
  if (!FData.empty()) dest.WriteBuffer(FData.data(), FData.size());
}

void TMemoryStream::SaveToFile(const std::string& fileName) const {
  TFileStream file(fileName, fmCreate);
  SaveToStream(file);
}

}  // namespace tarvo::core
