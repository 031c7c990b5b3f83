// A file written under a temporary name beside its target and given the target's name only
// when it is complete: readers see the old content or the new, never a part, and a failed
// or abandoned write leaves the old file as it was.
//
// The temporary file is created exclusively (nothing planted at its name is written
// through) in the target's folder, so the final rename stays on one file system. Commit
// flushes the data to the disk before the rename, so a crash right after it cannot leave
// an empty file at the name. The replacement takes the permissions of the file it replaces;
// a new file gets the usual 0666 less the umask (Linux).
//
// Errors carry the system's error number as an errno value (core::EFCreateError,
// core::EInOutError).
#pragma once

#include <cstdint>
#include <string>

#include "core/stream.h"

namespace tarvo::platform {

class TReplacingFile final : public core::TStream {
public:
  // Creates the temporary file for fileName. Raises EFCreateError naming fileName (the
  // name the user knows, not the temporary one).
  explicit TReplacingFile(std::string fileName);
  // Discards unless committed.
  ~TReplacingFile() override;
  TReplacingFile(const TReplacingFile&) = delete;
  TReplacingFile& operator=(const TReplacingFile&) = delete;

  // Raises EStreamError: the file is for writing.
  std::size_t Read(void* buffer, std::size_t count) override;
  // Writes all of buffer; raises EInOutError with the system's error (disk full: ENOSPC).
  std::size_t Write(const void* buffer, std::size_t count) override;
  // A client that throws away what it wrote (the body of a redirect) goes back and cuts.
  std::int64_t Seek(std::int64_t offset, core::TSeekOrigin origin) override;
  void SetSize(std::int64_t newSize) override;

  // Flushes, closes and renames the file over the target. Raises EInOutError; the temporary
  // file is gone then and the target untouched.
  void Commit();
  // Removes the temporary file; the target stays as it was. Never raises.
  void Discard() noexcept;

  const std::string& FileName() const noexcept { return FFileName; }
  // The name written to until Commit ("" once committed or discarded): for a signal
  // handler that must remove it.
  const std::string& TemporaryName() const noexcept { return FTempName; }

private:
  std::string FFileName;
  std::string FTempName;
  std::intptr_t FHandle = -1;  // a descriptor or a Windows HANDLE
  std::uint64_t FUnflushed = 0;  // written since the system was last told to start writing back
};

// Replaces fileName's content with size bytes at data through a TReplacingFile. Returns
// false with errno telling why when that failed (the old file is then unchanged).
bool ReplaceFileContent(const std::string& fileName, const void* data, std::size_t size) noexcept;

}  // namespace tarvo::platform
