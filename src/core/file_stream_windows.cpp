#include <windows.h>

#include <algorithm>
#include <cerrno>

#include "core/exception.h"
#include "core/file_stream.h"
#include "core/utf16.h"
#include "core/win_error.h"

namespace tarvo::core {

namespace {

HANDLE H(TFileHandle handle) { return reinterpret_cast<HANDLE>(handle); }

// ReadFile and WriteFile take 32-bit counts.
constexpr DWORD kMaxChunk = 1u << 30;

}  // namespace

std::size_t THandleStream::Read(void* buffer, std::size_t count) {
  auto* p = static_cast<char*>(buffer);
  std::size_t done = 0;
  while (done < count) {
    DWORD n = 0;
    DWORD want = static_cast<DWORD>(std::min<std::size_t>(count - done, kMaxChunk));
    if (!::ReadFile(H(FHandle), p + done, want, &n, nullptr)) {
      if (::GetLastError() == ERROR_BROKEN_PIPE) break;  // the writer closed a pipe: its end
      if (done == 0) throw EReadError();
      break;
    }
    if (n == 0) break;
    done += n;
  }
  return done;
}

std::size_t THandleStream::Write(const void* buffer, std::size_t count) {
  const auto* p = static_cast<const char*>(buffer);
  std::size_t done = 0;
  while (done < count) {
    DWORD n = 0;
    DWORD want = static_cast<DWORD>(std::min<std::size_t>(count - done, kMaxChunk));
    if (!::WriteFile(H(FHandle), p + done, want, &n, nullptr) || n == 0) break;  // the short count tells
    done += n;
  }
  return done;
}

void WriteAll(TFileHandle handle, const void* buffer, std::size_t count) {
  const auto* p = static_cast<const char*>(buffer);
  std::size_t done = 0;
  while (done < count) {
    DWORD n = 0;
    DWORD want = static_cast<DWORD>(std::min<std::size_t>(count - done, kMaxChunk));
    if (!::WriteFile(H(handle), p + done, want, &n, nullptr)) throw EInOutError(ErrnoFromWindowsError(::GetLastError()));
    if (n == 0) throw EInOutError(ENOSPC);
    done += n;
  }
}

std::int64_t THandleStream::Seek(std::int64_t offset, TSeekOrigin origin) {
  DWORD method = origin == TSeekOrigin::soBeginning ? FILE_BEGIN : origin == TSeekOrigin::soCurrent ? FILE_CURRENT : FILE_END;
  LARGE_INTEGER to{}, at{};
  to.QuadPart = offset;
  if (!::SetFilePointerEx(H(FHandle), to, &at, method))
    throw EStreamError("Stream seek error: " + SysErrorMessage(ErrnoFromWindowsError(::GetLastError())));
  return at.QuadPart;
}

std::int64_t THandleStream::Size() {
  LARGE_INTEGER size{};
  if (::GetFileType(H(FHandle)) == FILE_TYPE_DISK && ::GetFileSizeEx(H(FHandle), &size)) return size.QuadPart;
  return TStream::Size();
}

void THandleStream::SetSize(std::int64_t newSize) {
  std::int64_t pos = Position();
  if (newSize < 0) throw EStreamError("Stream size error");
  Seek(newSize, TSeekOrigin::soBeginning);
  if (!::SetEndOfFile(H(FHandle))) throw EStreamError("Stream size error");
  Seek(pos > newSize ? newSize : pos, TSeekOrigin::soBeginning);
}

TFileStream::TFileStream(const std::string& fileName, std::uint32_t mode) : THandleStream(-1), FFileName(fileName) {
  const bool create = (mode & 0xFF00) == fmCreate;
  DWORD access = GENERIC_READ;
  if (create || (mode & 0x3) == fmOpenReadWrite) access = GENERIC_READ | GENERIC_WRITE;
  if (!create && (mode & 0x3) == fmOpenWrite) access = GENERIC_WRITE;
  HANDLE h = ::CreateFileW(Utf8ToWide(fileName).c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                           nullptr, create ? CREATE_ALWAYS : OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL | FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (h == INVALID_HANDLE_VALUE) {
    int err = ErrnoFromWindowsError(::GetLastError());
    if (create) throw EFCreateError(fileName, err);
    throw EFOpenError(fileName, err);
  }
  BY_HANDLE_FILE_INFORMATION info{};
  if (::GetFileInformationByHandle(h, &info) && (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
    ::CloseHandle(h);
    throw EFOpenError(fileName, EISDIR);
  }
  FHandle = reinterpret_cast<TFileHandle>(h);
}

TFileStream::~TFileStream() {
  if (FHandle != -1) ::CloseHandle(H(FHandle));
}

}  // namespace tarvo::core
