#include <windows.h>

#include <cerrno>

#include "core/exception.h"
#include "core/scope_guard.h"
#include "core/utf16.h"
#include "core/win_error.h"
#include "platform/file_attributes.h"
#include "platform/file_time.h"
#include "unzip/extract_path.h"
#include "unzip/output_folders.h"
#include "unzip/vm_exception.h"

namespace tarvo::unzip {

namespace {

HANDLE H(std::intptr_t handle) { return reinterpret_cast<HANDLE>(handle); }
std::intptr_t I(HANDLE handle) { return reinterpret_cast<std::intptr_t>(handle); }

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

// What a held level may be used for: listing and passing through it, and its time and
// attributes. Others may read and write in it, never rename or delete it meanwhile.
constexpr DWORD kFolderAccess = FILE_LIST_DIRECTORY | FILE_TRAVERSE | FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES;
constexpr DWORD kFolderSharing = FILE_SHARE_READ | FILE_SHARE_WRITE;

// Opens a folder by name; with noFollow a reparse point itself is opened, not its target.
HANDLE OpenFolder(const std::wstring& name, bool noFollow) {
  const DWORD flags = FILE_FLAG_BACKUP_SEMANTICS | (noFollow ? FILE_FLAG_OPEN_REPARSE_POINT : 0);
  return ::CreateFileW(name.c_str(), kFolderAccess, kFolderSharing, nullptr, OPEN_EXISTING, flags, nullptr);
}

bool Missing(DWORD error) { return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND; }

// The part of folder below base, or false when folder is not below it (or climbs with "..").
bool RelativeTo(std::string_view base, std::string_view folder, std::string_view& relative) {
  if (base.empty()) {
    if (!folder.empty() && (IsSeparator(folder.front()) || (folder.size() >= 2 && folder[1] == ':'))) return false;
    relative = folder;
  } else if (folder == base) {
    relative = {};
  } else {
    const std::size_t n = base.size();
    const bool delimited = IsSeparator(base.back());
    if (folder.compare(0, n, base) != 0 || (!delimited && (folder.size() <= n || !IsSeparator(folder[n]))))
      return false;
    relative = folder.substr(delimited ? n : n + 1);
  }
  for (std::size_t start = 0; start <= relative.size();) {
    std::size_t end = relative.find_first_of("\\/", start);
    if (end == std::string_view::npos) end = relative.size();
    if (relative.compare(start, end - start, "..") == 0) return false;
    start = end + 1;
  }
  return true;
}

}  // namespace

TVmOutputFolders::~TVmOutputFolders() { Reset(std::string()); }

void TVmOutputFolders::CloseAll() noexcept {
  for (std::intptr_t h : FHeld) ::CloseHandle(H(h));
  FHeld.clear();
  FHaveLast = false;
  FLast = {};
}

void TVmOutputFolders::Reset(const std::string& baseDirectory) {
  CloseAll();
  if (FBaseHandle != -1) ::CloseHandle(H(FBaseHandle));
  FBaseHandle = -1;
  FBase = baseDirectory;
}

std::intptr_t TVmOutputFolders::OpenBase() {
  if (FBaseHandle != -1) return FBaseHandle;
  // The base directory is the caller's choice and may itself be reached through a link.
  HANDLE h = OpenFolder(core::Utf8ToWide(FBase.empty() ? std::string(".") : FBase), false);
  if (h == INVALID_HANDLE_VALUE) {
    const DWORD error = ::GetLastError();
    if (Missing(error) || error == ERROR_DIRECTORY) throw EVmNoSuchDirectory();
    throw core::EInOutError(core::ErrnoFromWindowsError(error));
  }
  BY_HANDLE_FILE_INFORMATION info{};
  if (!::GetFileInformationByHandle(h, &info) || !(info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
    ::CloseHandle(h);
    throw EVmNoSuchDirectory();
  }
  FBaseHandle = I(h);
  return FBaseHandle;
}

const TVmFolder& TVmOutputFolders::Open(std::string_view folder, bool create) {
  if (FHaveLast && folder == FLast.Path) return FLast;
  CloseAll();
  core::TScopeGuard closeOnFailure([this]() noexcept { CloseAll(); });
  std::string_view relative;
  std::intptr_t handle;
  if (RelativeTo(FBase, folder, relative)) {
    handle = OpenBase();
    std::string path = FBase;
    for (std::size_t start = 0; start < relative.size();) {
      std::size_t end = relative.find_first_of("\\/", start);
      if (end == std::string_view::npos) end = relative.size();
      const std::string_view part = relative.substr(start, end - start);
      start = end + 1;
      if (part.empty() || part == ".") continue;
      if (!path.empty() && !IsSeparator(path.back())) path += '\\';
      path += part;
      const std::wstring name = core::Utf8ToWide(path);
      HANDLE h = OpenFolder(name, true);
      if (h == INVALID_HANDLE_VALUE && Missing(::GetLastError())) {
        if (!create) throw EVmNoSuchDirectory();
        // The level above is held: the new folder appears exactly where it was checked.
        if (!::CreateDirectoryW(name.c_str(), nullptr) && ::GetLastError() != ERROR_ALREADY_EXISTS)
          throw core::EInOutError(core::ErrnoFromWindowsError(::GetLastError()));
        h = OpenFolder(name, true);
      }
      if (h == INVALID_HANDLE_VALUE) throw core::EInOutError(core::ErrnoFromWindowsError(::GetLastError()));
      FHeld.push_back(I(h));
      BY_HANDLE_FILE_INFORMATION info{};
      if (!::GetFileInformationByHandle(h, &info)) throw core::EInOutError(core::ErrnoFromWindowsError(::GetLastError()));
      // A link, junction or mount point on the way is never passed through.
      if (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) throw EVmUnsafePath();
      if (!(info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) throw core::EInOutError(ENOTDIR);
      handle = I(h);
    }
  } else {
    // An explicit name outside the base directory: the caller chose it, links and all.
    const std::string name(folder);
    HANDLE h = OpenFolder(core::Utf8ToWide(name), false);
    if (h == INVALID_HANDLE_VALUE && Missing(::GetLastError())) {
      if (!create) throw EVmNoSuchDirectory();
      CreateFolderPath(name);
      h = OpenFolder(core::Utf8ToWide(name), false);
    }
    if (h == INVALID_HANDLE_VALUE) throw core::EInOutError(core::ErrnoFromWindowsError(::GetLastError()));
    FHeld.push_back(I(h));
    handle = I(h);
  }
  closeOnFailure.Dismiss();
  FLast = {handle, std::string(folder)};
  FHaveLast = true;
  return FLast;
}

bool TVmOutputFolders::HoldsNonFolder(const TVmFolder& folder, std::string_view name) noexcept {
  std::string path = folder.Path;
  if (!path.empty() && !IsSeparator(path.back())) path += '\\';
  path += name;
  const DWORD a = ::GetFileAttributesW(core::Utf8ToWide(path).c_str());
  return a != INVALID_FILE_ATTRIBUTES && (!(a & FILE_ATTRIBUTE_DIRECTORY) || (a & FILE_ATTRIBUTE_REPARSE_POINT));
}

std::uint64_t TVmOutputFolders::FreeSpace(const TVmFolder& folder) noexcept {
  ULARGE_INTEGER free{};
  const std::wstring name = core::Utf8ToWide(folder.Path.empty() ? std::string(".") : folder.Path);
  return ::GetDiskFreeSpaceExW(name.c_str(), &free, nullptr, nullptr) ? free.QuadPart : ~std::uint64_t{0};
}

void TVmOutputFolders::FinishFolder(const TVmFolder& folder, std::int64_t modificationTime,
                                    std::uint32_t attributes) noexcept {
  if (modificationTime >= 0) {
    const std::uint64_t ticks = platform::EpochToFileTime(modificationTime);
    const FILETIME written{static_cast<DWORD>(ticks), static_cast<DWORD>(ticks >> 32)};
    ::SetFileTime(H(folder.Handle), nullptr, nullptr, &written);
  }
  // Hidden, system and archive; a folder is never made read-only.
  FILE_BASIC_INFO basic{};
  if (!::GetFileInformationByHandleEx(H(folder.Handle), FileBasicInfo, &basic, sizeof basic)) return;
  constexpr DWORD kDos = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE;
  const DWORD wanted = (basic.FileAttributes & ~kDos) | (attributes & kDos);
  if (wanted == basic.FileAttributes) return;
  FILE_BASIC_INFO change{};
  change.FileAttributes = wanted;  // the zero times stay as they are
  ::SetFileInformationByHandle(H(folder.Handle), FileBasicInfo, &change, sizeof change);
}

}  // namespace tarvo::unzip
