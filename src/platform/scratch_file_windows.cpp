#include <windows.h>

#include <algorithm>
#include <cerrno>
#include <string>

#include "core/exception.h"
#include "core/utf16.h"
#include "core/win_error.h"
#include "platform/scratch_file.h"

namespace tarvo::platform {

namespace {

HANDLE H(std::intptr_t handle) { return reinterpret_cast<HANDLE>(handle); }

// ReadFile and WriteFile take 32-bit counts.
constexpr DWORD kMaxChunk = 1u << 30;

}  // namespace

std::unique_ptr<TScratchFile> TScratchFile::Create(const std::string& folder) noexcept {
  // A name of its own, created exclusively; the system removes the file when its last
  // handle closes, also when the process dies. Nobody else may open it meanwhile.
  const std::wstring where = core::Utf8ToWide(folder.empty() ? std::string(".") : folder);
  const unsigned long pid = ::GetCurrentProcessId();
  for (unsigned n = 0; n < 100; ++n) {
    const std::wstring name = where + L"\\.tarvo-" + std::to_wstring(pid) + L"-" + std::to_wstring(n) + L".tmp";
    HANDLE h = ::CreateFileW(name.c_str(), GENERIC_READ | GENERIC_WRITE | DELETE, 0, nullptr, CREATE_NEW,
                             FILE_ATTRIBUTE_TEMPORARY | FILE_ATTRIBUTE_HIDDEN | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (h != INVALID_HANDLE_VALUE) return std::unique_ptr<TScratchFile>(new TScratchFile(reinterpret_cast<std::intptr_t>(h)));
    if (::GetLastError() != ERROR_FILE_EXISTS) return nullptr;
  }
  return nullptr;
}

TScratchFile::~TScratchFile() { ::CloseHandle(H(FHandle)); }

bool TScratchFile::Append(const void* buffer, std::size_t count) noexcept {
  const auto* p = static_cast<const std::uint8_t*>(buffer);
  // By offset, like ReadAt: a read moves the file pointer of a handle.
  for (std::size_t done = 0; done < count;) {
    OVERLAPPED where{};
    where.Offset = static_cast<DWORD>(FEnd);
    where.OffsetHigh = static_cast<DWORD>(FEnd >> 32);
    DWORD n = 0;
    if (!::WriteFile(H(FHandle), p + done, static_cast<DWORD>(std::min<std::size_t>(count - done, kMaxChunk)), &n,
                     &where) ||
        n == 0) {
      const DWORD error = ::GetLastError();
      errno = error == ERROR_DISK_FULL || error == ERROR_HANDLE_DISK_FULL ? ENOSPC : EIO;
      return false;
    }
    done += n;
    FEnd += n;
  }
  return true;
}

bool TScratchFile::Clear() noexcept {
  LARGE_INTEGER start{};
  if (!::SetFilePointerEx(H(FHandle), start, nullptr, FILE_BEGIN) || !::SetEndOfFile(H(FHandle))) return false;
  FEnd = 0;
  return true;
}

std::size_t TScratchFile::ReadAt(std::uint64_t at, void* buffer, std::size_t count) const {
  OVERLAPPED where{};
  where.Offset = static_cast<DWORD>(at);
  where.OffsetHigh = static_cast<DWORD>(at >> 32);
  DWORD n = 0;
  if (!::ReadFile(H(FHandle), buffer, static_cast<DWORD>(std::min<std::size_t>(count, kMaxChunk)), &n, &where)) {
    const DWORD error = ::GetLastError();
    if (error == ERROR_HANDLE_EOF) return 0;
    throw core::EInOutError(core::ErrnoFromWindowsError(error));
  }
  return n;
}

std::uint64_t TScratchFile::FreeSpace() const noexcept {
  // The volume of the open file: its final path's root.
  wchar_t path[MAX_PATH + 1] = {};
  const DWORD n = ::GetFinalPathNameByHandleW(H(FHandle), path, MAX_PATH, VOLUME_NAME_DOS);
  if (n == 0 || n > MAX_PATH) return 0;
  wchar_t root[MAX_PATH + 1] = {};
  if (!::GetVolumePathNameW(path, root, MAX_PATH)) return 0;
  ULARGE_INTEGER free{};
  return ::GetDiskFreeSpaceExW(root, &free, nullptr, nullptr) ? free.QuadPart : 0;
}

}  // namespace tarvo::platform
