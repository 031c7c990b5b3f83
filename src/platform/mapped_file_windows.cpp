#include <windows.h>

#include <cstdint>

#include "core/utf16.h"
#include "platform/mapped_file.h"

namespace tarvo::platform {

namespace {

HANDLE H(std::intptr_t handle) { return reinterpret_cast<HANDLE>(handle); }

// The system's own text for an error, without the line break it ends with.
std::string SystemMessage(DWORD error) {
  wchar_t* text = nullptr;
  const DWORD n = ::FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error, 0,
      reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  std::wstring message(text ? text : L"", n);
  if (text) ::LocalFree(text);
  while (!message.empty() && (message.back() == L'\n' || message.back() == L'\r' || message.back() == L' '))
    message.pop_back();
  return message.empty() ? "error " + std::to_string(error) : core::WideToUtf8(message);
}

}  // namespace

TMappedFile::TMappedFile(const std::string& fileName) noexcept {
  HANDLE h = ::CreateFileW(core::Utf8ToWide(fileName).c_str(), GENERIC_READ,
                           FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL | FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (h == INVALID_HANDLE_VALUE) return;
  FHandle = reinterpret_cast<std::intptr_t>(h);
  BY_HANDLE_FILE_INFORMATION info{};
  if (::GetFileType(h) != FILE_TYPE_DISK || !::GetFileInformationByHandle(h, &info) ||
      (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
    FStatus = TStatus::msNotAFile;
    return;
  }
  FFileSize = static_cast<std::uint64_t>(info.nFileSizeHigh) << 32 | info.nFileSizeLow;
  FStatus = TStatus::msOpened;
}

TMappedFile::~TMappedFile() {
  if (FData) ::UnmapViewOfFile(FData);
  if (FMapping != -1) ::CloseHandle(H(FMapping));
  if (FHandle != -1) ::CloseHandle(H(FHandle));
}

bool TMappedFile::Map(std::string& reason) noexcept {
  if (FData) return true;
  if (FStatus != TStatus::msOpened || FFileSize == 0 || FFileSize > SIZE_MAX) {
    reason = SystemMessage(ERROR_INVALID_PARAMETER);
    return false;
  }
  // The mapping covers the file as it is now; a read-only view of it.
  HANDLE mapping = ::CreateFileMappingW(H(FHandle), nullptr, PAGE_READONLY, 0, 0, nullptr);
  if (!mapping) {
    reason = SystemMessage(::GetLastError());
    return false;
  }
  void* view = ::MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, static_cast<SIZE_T>(FFileSize));
  if (!view) {
    reason = SystemMessage(::GetLastError());
    ::CloseHandle(mapping);
    return false;
  }
  FMapping = reinterpret_cast<std::intptr_t>(mapping);
  FData = static_cast<const unsigned char*>(view);
  return true;
}

}  // namespace tarvo::platform
