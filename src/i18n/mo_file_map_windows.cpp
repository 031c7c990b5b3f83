#include <windows.h>

#include <cstdint>

#include "core/format.h"
#include "core/utf16.h"
#include "i18n/gettext_errors.h"
#include "i18n/i18n_strings.h"
#include "i18n/mo_file_map.h"

namespace tarvo::i18n {

using core::Format;
using core::LoadResString;

namespace {

// The operating system's error text is cut to this many characters in the message.
constexpr std::size_t kMaxReasonLength = 2000;

struct THandleCloser {
  HANDLE handle;
  ~THandleCloser() {
    if (handle != nullptr && handle != INVALID_HANDLE_VALUE) ::CloseHandle(handle);
  }
};

std::string SystemText(DWORD error) {
  wchar_t* text = nullptr;
  DWORD n = ::FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                             nullptr, error, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  std::wstring wide = n > 0 && text != nullptr ? std::wstring(text, n) : std::wstring();
  if (text != nullptr) ::LocalFree(text);
  while (!wide.empty() && (wide.back() == L'\n' || wide.back() == L'\r' || wide.back() == L' ')) wide.pop_back();
  return core::WideToUtf8(wide);
}

}  // namespace

TMoFileMap MapMoFile(const std::string& fileName) {
  const std::wstring path = core::Utf8ToWide(fileName);
  // Folders open too (FILE_FLAG_BACKUP_SEMANTICS), so that one is refused as the POSIX
  // side refuses it: as no file to map, rather than as no file at all.
  THandleCloser file{::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                   FILE_ATTRIBUTE_NORMAL | FILE_FLAG_BACKUP_SEMANTICS, nullptr)};
  if (file.handle == INVALID_HANDLE_VALUE) throw EGettextIOError(Format(LoadResString(SCannotOpenFile), {fileName}));
  BY_HANDLE_FILE_INFORMATION info{};
  LARGE_INTEGER size{};
  if (::GetFileType(file.handle) != FILE_TYPE_DISK || !::GetFileInformationByHandle(file.handle, &info) ||
      (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0 || !::GetFileSizeEx(file.handle, &size) ||
      size.QuadPart < 0)
    throw EGettextIOError(Format(LoadResString(SCannotCreateMemoryMap), {fileName}));
  TMoFileMap map;
  map.Size = static_cast<std::uint64_t>(size.QuadPart);
  if (map.Size == 0) return map;
  if (map.Size > SIZE_MAX) throw EGettextIOError(Format(LoadResString(SCannotCreateMemoryMap), {fileName}));
  THandleCloser mapping{::CreateFileMappingW(file.handle, nullptr, PAGE_READONLY, 0, 0, nullptr)};
  if (mapping.handle == nullptr) throw EGettextIOError(Format(LoadResString(SCannotCreateMemoryMap), {fileName}));
  // The view keeps the mapping and the file open by itself.
  void* view = ::MapViewOfFile(mapping.handle, FILE_MAP_READ, 0, 0, 0);
  if (view == nullptr) {
    std::string reason = SystemText(::GetLastError());
    if (reason.size() > kMaxReasonLength) reason.resize(kMaxReasonLength);
    throw EGettextIOError(Format(LoadResString(SCannotMapFile), {fileName, reason}));
  }
  map.View = view;
  return map;
}

void UnmapMoFile(const TMoFileMap& map) noexcept {
  if (map.View != nullptr) ::UnmapViewOfFile(map.View);
}

}  // namespace tarvo::i18n
