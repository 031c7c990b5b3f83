// A file for data a program keeps aside for a while and reads back by offset: it has no
// name (or loses it at once), so nothing is left behind whatever happens to the process.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

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
  // The bytes still free on the file's file system for this user (0 when unknown).
  std::uint64_t FreeSpace() const noexcept;

private:
  explicit TScratchFile(std::intptr_t handle) : FHandle(handle) {}
  std::intptr_t FHandle;  // a descriptor or a Windows HANDLE
  std::uint64_t FEnd = 0;  // the bytes appended so far
};

}  // namespace tarvo::platform
