#include <windows.h>

#include <cerrno>

#include "core/exception.h"
#include "core/utf16.h"
#include "core/win_error.h"
#include "platform/file_system.h"
#include "platform/file_time.h"

namespace tarvo::platform {

namespace {

bool Attributes(const std::string& path, WIN32_FILE_ATTRIBUTE_DATA& data) {
  return !path.empty() && ::GetFileAttributesExW(core::Utf8ToWide(path).c_str(), GetFileExInfoStandard, &data);
}

}  // namespace

TFileKind FileKindOf(const std::string& path) noexcept {
  WIN32_FILE_ATTRIBUTE_DATA data{};
  if (!Attributes(path, data)) return TFileKind::fkNone;
  const DWORD a = data.dwFileAttributes;
  if (a & FILE_ATTRIBUTE_REPARSE_POINT) return TFileKind::fkLink;
  if (a & FILE_ATTRIBUTE_DIRECTORY) return TFileKind::fkDirectory;
  if (a & FILE_ATTRIBUTE_DEVICE) return TFileKind::fkOther;
  return TFileKind::fkFile;
}

bool DirectoryExists(const std::string& path) noexcept {
  WIN32_FILE_ATTRIBUTE_DATA data{};
  return Attributes(path, data) && (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool PathExists(const std::string& path) noexcept {
  WIN32_FILE_ATTRIBUTE_DATA data{};
  return Attributes(path, data);
}

std::int64_t FileSizeOf(const std::string& path) noexcept {
  WIN32_FILE_ATTRIBUTE_DATA data{};
  if (!Attributes(path, data) || (data.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE))) return -1;
  return static_cast<std::int64_t>(data.nFileSizeHigh) << 32 | data.nFileSizeLow;
}

bool FileNamesIgnoreCase() noexcept { return true; }

std::string FoldFileNameCase(const std::string& path) {
  // The file systems compare names by their upper-case form, letter by letter, whatever
  // the user's language: the invariant mapping, not a locale's.
  std::wstring wide = core::Utf8ToWide(path);
  if (wide.empty()) return path;
  std::wstring upper(wide.size(), L'\0');
  const int n = ::LCMapStringEx(LOCALE_NAME_INVARIANT, LCMAP_UPPERCASE, wide.c_str(), static_cast<int>(wide.size()),
                                upper.data(), static_cast<int>(upper.size()), nullptr, nullptr, 0);
  if (n <= 0) return path;
  upper.resize(static_cast<std::size_t>(n));
  return core::WideToUtf8(upper);
}

int CreateOneFolder(const std::string& path) noexcept {
  if (::CreateDirectoryW(core::Utf8ToWide(path).c_str(), nullptr)) return 0;
  return core::ErrnoFromWindowsError(::GetLastError());
}

bool RemoveFile(const std::string& path) noexcept { return ::DeleteFileW(core::Utf8ToWide(path).c_str()) != 0; }

TFileIdentity FileIdentityOf(core::TFileHandle handle) noexcept {
  BY_HANDLE_FILE_INFORMATION info{};
  HANDLE h = reinterpret_cast<HANDLE>(handle);
  if (::GetFileType(h) != FILE_TYPE_DISK || !::GetFileInformationByHandle(h, &info) ||
      (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
    return {};
  return {info.dwVolumeSerialNumber, static_cast<std::uint64_t>(info.nFileIndexHigh) << 32 | info.nFileIndexLow, true};
}

std::int64_t FileModificationTimeOf(core::TFileHandle handle) noexcept {
  FILETIME written{};
  if (!::GetFileTime(reinterpret_cast<HANDLE>(handle), nullptr, nullptr, &written)) return -1;
  return FileTimeToEpoch(static_cast<std::uint64_t>(written.dwHighDateTime) << 32 | written.dwLowDateTime);
}

std::string MoveToUniqueName(const std::string& fileName, const std::string& suffix) {
  static const char kDigits[] = "0123456789abcdefghijklmnopqrstuvwxyz";
  const std::wstring from = core::Utf8ToWide(fileName);
  // The move itself claims the name: without MOVEFILE_REPLACE_EXISTING it fails on any
  // name already taken, so no other file can be lost.
  unsigned long seed = ::GetCurrentProcessId() * 2654435761u ^ ::GetTickCount();
  for (int attempt = 0; attempt < 100; ++attempt) {
    std::string name = fileName + ".";
    unsigned long v = seed + static_cast<unsigned long>(attempt) * 40503u;
    for (int i = 0; i < 6; ++i, v /= 36) name += kDigits[v % 36];
    name += suffix;
    if (::MoveFileExW(from.c_str(), core::Utf8ToWide(name).c_str(), 0)) return name;
    const DWORD error = ::GetLastError();
    if (error != ERROR_ALREADY_EXISTS && error != ERROR_FILE_EXISTS)
      throw core::EFOpenError(fileName, core::ErrnoFromWindowsError(error));
  }
  throw core::EFOpenError(fileName, EEXIST);
}

}  // namespace tarvo::platform
