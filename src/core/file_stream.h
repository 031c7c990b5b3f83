// Streams over operating-system files. TFileStream opens or creates a file by name and
// closes it when destroyed; THandleStream works on a descriptor it does not own.
//
// Modes combine one access value with one sharing value, as the callers are used to:
// fmCreate creates the file or empties an existing one (read-write); fmOpenRead,
// fmOpenWrite and fmOpenReadWrite open an existing file. The sharing values are accepted
// for compatibility; on Linux files are never locked against other processes. On Windows
// names are UTF-8, opened as UTF-16, and files are shared for reading and writing.
#pragma once

#include <cstdint>
#include <string>

#include "core/stream.h"

namespace tarvo::core {

enum : std::uint32_t {
  fmOpenRead = 0x0000,
  fmOpenWrite = 0x0001,
  fmOpenReadWrite = 0x0002,
  fmShareCompat = 0x0000,
  fmShareExclusive = 0x0010,
  fmShareDenyWrite = 0x0020,
  fmShareDenyRead = 0x0030,
  fmShareDenyNone = 0x0040,
  fmCreate = 0xFF00,
};

// A descriptor (Linux) or a HANDLE (Windows, file_stream_windows.cpp); -1 for none.
using TFileHandle = std::intptr_t;

// Writes all count bytes at the handle's position; raises EInOutError with the cause
// (ENOSPC when the system takes nothing).
void WriteAll(TFileHandle handle, const void* buffer, std::size_t count);

class THandleStream : public TStream {
public:
  explicit THandleStream(TFileHandle handle) : FHandle(handle) {}
  TFileHandle Handle() const noexcept { return FHandle; }

  std::size_t Read(void* buffer, std::size_t count) override;
  std::size_t Write(const void* buffer, std::size_t count) override;
  std::int64_t Seek(std::int64_t offset, TSeekOrigin origin) override;
  std::int64_t Size() override;
  void SetSize(std::int64_t newSize) override;

protected:
  TFileHandle FHandle;
};

class TFileStream : public THandleStream {
public:
  // Raises EFCreateError (fmCreate) or EFOpenError naming the file and the cause.
  TFileStream(const std::string& fileName, std::uint32_t mode);
  ~TFileStream() override;

  const std::string& FileName() const noexcept { return FFileName; }

private:
  std::string FFileName;
};

}  // namespace tarvo::core
