// Streams that let a body pass while keeping at most a bounded part of it in memory.
#pragma once

#include <cstdint>
#include <string>

#include "core/memory_stream.h"
#include "core/stream.h"

namespace tarvo::http {

// Keeps the first Limit bytes written and counts (drops) the rest.
class TNetCappedMemoryStream : public core::TStream {
public:
  explicit TNetCappedMemoryStream(std::int64_t limit) : FLimit(limit) {}
  std::size_t Read(void* buffer, std::size_t count) override { return FKept.Read(buffer, count); }
  std::size_t Write(const void* buffer, std::size_t count) override;
  std::int64_t Seek(std::int64_t offset, core::TSeekOrigin origin) override { return FKept.Seek(offset, origin); }
  std::int64_t Size() override { return FKept.Size(); }
  void SetSize(std::int64_t size) override { FKept.SetSize(size < FLimit ? size : FLimit); }
  std::string DataString() const { return FKept.DataString(); }
  std::int64_t Written() const { return FWritten; }

private:
  std::int64_t FLimit;
  std::int64_t FWritten = 0;
  core::TMemoryStream FKept;
};

// A memory stream that refuses to grow past Limit bytes: ENetHTTPBadResponse "The response
// body is too large to keep in memory". For bodies the caller wants whole in memory.
class TNetLimitedMemoryStream : public core::TMemoryStream {
public:
  explicit TNetLimitedMemoryStream(std::int64_t limit) : FLimit(limit) {}
  std::size_t Write(const void* buffer, std::size_t count) override;
  void SetSize(std::int64_t size) override;

private:
  std::int64_t FLimit;
};

// Writes pass to the target; the first Limit bytes are also kept in memory.
class TNetTeeStream : public core::TStream {
public:
  TNetTeeStream(core::TStream& target, std::int64_t limit) : FTarget(target), FCopy(limit) {}
  std::size_t Read(void* buffer, std::size_t count) override { return FTarget.Read(buffer, count); }
  std::size_t Write(const void* buffer, std::size_t count) override;
  std::int64_t Seek(std::int64_t offset, core::TSeekOrigin origin) override { return FTarget.Seek(offset, origin); }
  std::int64_t Size() override { return FTarget.Size(); }
  void SetSize(std::int64_t size) override { FTarget.SetSize(size); }
  std::string Head() const { return FCopy.DataString(); }

private:
  core::TStream& FTarget;
  TNetCappedMemoryStream FCopy;
};

}  // namespace tarvo::http
