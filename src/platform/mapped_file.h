// A file's whole content seen read-only in memory, for readers that jump around in a file
// they never change (translation catalogs). Others may go on reading the file meanwhile.
#pragma once

#include <cstdint>
#include <string>

namespace tarvo::platform {

class TMappedFile {
public:
  enum class TStatus { msOpened, msCannotOpen, msNotAFile };

  // Opens fileName (UTF-8) for reading; Status() tells how that went.
  explicit TMappedFile(const std::string& fileName) noexcept;
  ~TMappedFile();
  TMappedFile(const TMappedFile&) = delete;
  TMappedFile& operator=(const TMappedFile&) = delete;

  TStatus Status() const noexcept { return FStatus; }
  // The size of the opened file.
  std::uint64_t FileSize() const noexcept { return FFileSize; }

  // Maps the whole file (opened, not empty, and fitting the address space). False with the
  // system's reason when it refused; the file stays open.
  bool Map(std::string& reason) noexcept;
  // The mapped bytes (FileSize() of them), null before a successful Map.
  const unsigned char* Data() const noexcept { return FData; }

private:
  TStatus FStatus = TStatus::msCannotOpen;
  std::uint64_t FFileSize = 0;
  std::intptr_t FHandle = -1;   // a descriptor or a Windows HANDLE
  std::intptr_t FMapping = -1;  // Windows: the mapping object
  const unsigned char* FData = nullptr;
};

}  // namespace tarvo::platform
