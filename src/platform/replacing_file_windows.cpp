#include <windows.h>

#include <algorithm>
#include <cerrno>

#include "core/exception.h"
#include "core/file_stream.h"
#include "core/utf16.h"
#include "core/win_error.h"
#include "platform/replacing_file.h"

namespace tarvo::platform {

namespace {

HANDLE H(std::intptr_t handle) { return reinterpret_cast<HANDLE>(handle); }
int LastErrno() { return core::ErrnoFromWindowsError(::GetLastError()); }

// "NAME.tarvo-PID-N" in the target's folder, created exclusively.
HANDLE CreateTemporary(const std::string& fileName, std::string& tempName) {
  const unsigned long pid = ::GetCurrentProcessId();
  for (unsigned n = 0; n < 100; ++n) {
    tempName = fileName + ".tarvo-" + std::to_string(pid) + "-" + std::to_string(n);
    HANDLE h = ::CreateFileW(core::Utf8ToWide(tempName).c_str(), GENERIC_WRITE | DELETE, 0, nullptr, CREATE_NEW,
                             FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h != INVALID_HANDLE_VALUE || ::GetLastError() != ERROR_FILE_EXISTS) return h;
  }
  return INVALID_HANDLE_VALUE;
}

}  // namespace

TReplacingFile::TReplacingFile(std::string fileName) : FFileName(std::move(fileName)) {
  HANDLE h = CreateTemporary(FFileName, FTempName);
  if (h == INVALID_HANDLE_VALUE) {
    int error = LastErrno();
    FTempName.clear();
    throw core::EFCreateError(FFileName, error);
  }
  FHandle = reinterpret_cast<std::intptr_t>(h);
}

TReplacingFile::~TReplacingFile() { Discard(); }

std::size_t TReplacingFile::Read(void*, std::size_t) { throw core::EStreamError("TReplacingFile.Read not supported"); }

std::size_t TReplacingFile::Write(const void* buffer, std::size_t count) {
  core::WriteAll(FHandle, buffer, count);
  return count;
}

std::int64_t TReplacingFile::Seek(std::int64_t offset, core::TSeekOrigin origin) {
  DWORD method = origin == core::TSeekOrigin::soBeginning ? FILE_BEGIN
                 : origin == core::TSeekOrigin::soCurrent ? FILE_CURRENT
                                                          : FILE_END;
  LARGE_INTEGER to{}, at{};
  to.QuadPart = offset;
  if (!::SetFilePointerEx(H(FHandle), to, &at, method)) throw core::EInOutError(LastErrno());
  return at.QuadPart;
}

void TReplacingFile::SetSize(std::int64_t newSize) {
  std::int64_t pos = Seek(0, core::TSeekOrigin::soCurrent);
  Seek(newSize, core::TSeekOrigin::soBeginning);
  if (!::SetEndOfFile(H(FHandle))) throw core::EInOutError(LastErrno());
  Seek(std::min(pos, newSize), core::TSeekOrigin::soBeginning);
}

void TReplacingFile::Commit() {
  HANDLE h = H(FHandle);
  FHandle = -1;
  bool ok = ::FlushFileBuffers(h) != 0;
  int error = ok ? 0 : LastErrno();
  ok = ::CloseHandle(h) != 0 && ok;
  // MoveFileExW replaces a file (never a folder) and, with WRITE_THROUGH, returns only
  // once the new name is on the disk.
  if (ok && !::MoveFileExW(core::Utf8ToWide(FTempName).c_str(), core::Utf8ToWide(FFileName).c_str(),
                           MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    ok = false;
    error = LastErrno();
  }
  if (!ok) {
    Discard();
    throw core::EInOutError(error != 0 ? error : EIO);
  }
  FTempName.clear();
}

void TReplacingFile::Discard() noexcept {
  if (FHandle != -1) ::CloseHandle(H(FHandle));
  FHandle = -1;
  if (!FTempName.empty()) ::DeleteFileW(core::Utf8ToWide(FTempName).c_str());
  FTempName.clear();
}

bool ReplaceFileContent(const std::string& fileName, const void* data, std::size_t size) noexcept {
  try {
    TReplacingFile file(fileName);
    file.Write(data, size);
    file.Commit();
    return true;
  } catch (const core::EFCreateError& e) {
    errno = e.ErrorCode();
  } catch (const core::EInOutError& e) {
    errno = e.ErrorCode();
  } catch (...) {
    errno = ENOMEM;
  }
  return false;
}

}  // namespace tarvo::platform
