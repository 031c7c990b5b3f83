// A file for data a program keeps aside for a while and reads back by offset: it has no
// name (or loses it at once), so nothing is left behind whatever happens to the process.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "core/stream.h"

namespace tarvo::platform {

class TScratchFile {
public:
  // A new empty file on the file system of folder ("" is the current folder); null when
  // none can be made there.
  static std::unique_ptr<TScratchFile> Create(const std::string& folder) noexcept;
  ~TScratchFile();
  TScratchFile(const TScratchFile&) = delete;
  TScratchFile& operator=(const TScratchFile&) = delete;

  // Appends all of count bytes; false when the system refused (disk full, ...).
  bool Append(const void* buffer, std::size_t count) noexcept;
  // Up to count bytes from offset at; fewer only at the end. Raises core::EInOutError.
  std::size_t ReadAt(std::uint64_t at, void* buffer, std::size_t count) const;
  // Back to empty, for a download that starts over; false when the system refused.
  bool Clear() noexcept;
  // The bytes still free on the file's file system for this user (0 when unknown).
  std::uint64_t FreeSpace() const noexcept;
  std::uint64_t Size() const noexcept { return FEnd; }

private:
  explicit TScratchFile(std::intptr_t handle) : FHandle(handle) {}
  std::intptr_t FHandle;  // a descriptor or a Windows HANDLE
  std::uint64_t FEnd = 0;  // the bytes appended so far
};

// A scratch file as a stream: written at its end only, read anywhere. A download goes in,
// is checked, and is read back through the same handle. Every written byte also goes to
// OnWrite (a digest computed as the bytes arrive sees exactly what the reader gets).
class TScratchFileStream final : public core::TStream {
public:
  explicit TScratchFileStream(TScratchFile& file) : FFile(file) {}
  std::size_t Read(void* buffer, std::size_t count) override;
  // Appends all of count bytes; raises core::EInOutError with errno (ENOSPC). A write
  // anywhere but at the end raises core::EStreamError.
  std::size_t Write(const void* buffer, std::size_t count) override;
  std::int64_t Seek(std::int64_t offset, core::TSeekOrigin origin) override;
  std::int64_t Size() override { return static_cast<std::int64_t>(FFile.Size()); }
  // The file only grows, or starts over empty (0): any other size raises core::EStreamError.
  void SetSize(std::int64_t newSize) override;

  void (*OnWrite)(void* context, const void* data, std::size_t size) = nullptr;
  void* OnWriteContext = nullptr;

private:
  TScratchFile& FFile;
  std::int64_t FPosition = 0;
};

}  // namespace tarvo::platform
