#include <windows.h>
#include <winternl.h>

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

// The Win32 file API only takes whole paths, and every call walks and checks each of
// their components again: an archive's folder 2,000 levels deep would cost millions of
// lookups. The native call opens one name relative to the handle of the level above, so
// the walk does not grow with the depth (Wine's server still does: see kMaxLevels).
// ntdll is mapped into every process; nothing is imported.
using TNtCreateFile = LONG(NTAPI*)(PHANDLE, ACCESS_MASK, POBJECT_ATTRIBUTES, PIO_STATUS_BLOCK, PLARGE_INTEGER,
                                   ULONG, ULONG, ULONG, ULONG, PVOID, ULONG);
using TRtlNtStatusToDosError = ULONG(NTAPI*)(LONG);

template <typename T>
T NtFunction(const char* name) {
  static HMODULE ntdll = ::GetModuleHandleW(L"ntdll.dll");
  return ntdll ? reinterpret_cast<T>(reinterpret_cast<void*>(::GetProcAddress(ntdll, name))) : nullptr;
}

// Opens (with create, first creates) the folder part inside the open folder parent, the
// part itself when it is a reparse point. Returns the handle or sets error (Win32).
HANDLE OpenLevel(HANDLE parent, std::string_view part, bool create, DWORD& error) {
  static const auto ntCreateFile = NtFunction<TNtCreateFile>("NtCreateFile");
  static const auto toDosError = NtFunction<TRtlNtStatusToDosError>("RtlNtStatusToDosError");
  if (!ntCreateFile || !toDosError) {
    error = ERROR_PROC_NOT_FOUND;
    return INVALID_HANDLE_VALUE;
  }
  std::wstring wide = core::Utf8ToWide(std::string(part));
  // No component of any Windows file system is this long; the counted string could not hold it.
  if (wide.size() * sizeof(wchar_t) > 0xfffe) {
    error = ERROR_FILENAME_EXCED_RANGE;
    return INVALID_HANDLE_VALUE;
  }
  UNICODE_STRING name{static_cast<USHORT>(wide.size() * sizeof(wchar_t)),
                      static_cast<USHORT>(wide.size() * sizeof(wchar_t)), wide.data()};
  OBJECT_ATTRIBUTES attributes{};
  attributes.Length = sizeof attributes;
  attributes.RootDirectory = parent;
  attributes.ObjectName = &name;
  attributes.Attributes = OBJ_CASE_INSENSITIVE;  // as the Win32 names resolve
  IO_STATUS_BLOCK status{};
  HANDLE h = nullptr;
  const LONG result =
      ntCreateFile(&h, kFolderAccess | SYNCHRONIZE, &attributes, &status, nullptr, FILE_ATTRIBUTE_NORMAL,
                   kFolderSharing, create ? FILE_OPEN_IF : FILE_OPEN,
                   FILE_DIRECTORY_FILE | FILE_OPEN_REPARSE_POINT | FILE_OPEN_FOR_BACKUP_INTENT |
                       FILE_SYNCHRONOUS_IO_NONALERT,
                   nullptr, 0);
  if (result < 0) {
    error = toDosError(result);
    return INVALID_HANDLE_VALUE;
  }
  return h;
}

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

// Deeper output folders are refused as the entry's failure (as an unsafe name: a
// hostile archive's, and failing the entry, not the extraction). Under Wine
// every level opened costs its server a walk of the whole path (it resolves the new
// handle's full name), so 2,000 levels take minutes. Windows' own bounds lie far below
// anyway: Explorer and programs without long-path support stop at 260 characters (about
// 130 levels of one-letter names), and no path at all may exceed 32,767 UTF-16 units.
// 512 levels is four times what Explorer can ever show.
constexpr std::size_t kMaxLevels = 512;
constexpr std::size_t kMaxPathUnits = 32767;

// Refuses, before anything is created, a folder no Windows program could use.
void CheckDepth(std::string_view base, std::string_view relative) {
  std::size_t levels = 0;
  for (std::size_t start = 0; start < relative.size();) {
    std::size_t end = relative.find_first_of("\\/", start);
    if (end == std::string_view::npos) end = relative.size();
    const std::string_view part = relative.substr(start, end - start);
    if (!part.empty() && part != ".") ++levels;
    start = end + 1;
  }
  if (levels > kMaxLevels) throw EVmUnsafePath();
  // UTF-8 never takes fewer bytes than UTF-16 takes units: only long names need counting.
  if (base.size() + 1 + relative.size() > kMaxPathUnits &&
      core::Utf8ToWide(std::string(base) + '\\' + std::string(relative)).size() > kMaxPathUnits)
    throw EVmUnsafePath();
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
    CheckDepth(FBase, relative);
    handle = OpenBase();
    for (std::size_t start = 0; start < relative.size();) {
      std::size_t end = relative.find_first_of("\\/", start);
      if (end == std::string_view::npos) end = relative.size();
      const std::string_view part = relative.substr(start, end - start);
      start = end + 1;
      if (part.empty() || part == ".") continue;
      // The level above is held: a new folder appears exactly where it was checked.
      DWORD error = ERROR_SUCCESS;
      HANDLE h = OpenLevel(H(handle), part, create, error);
      if (h == INVALID_HANDLE_VALUE) {
        if (Missing(error)) throw EVmNoSuchDirectory();
        // Something that is not a folder holds the name.
        if (error == ERROR_DIRECTORY) throw core::EInOutError(ENOTDIR);
        throw core::EInOutError(core::ErrnoFromWindowsError(error));
      }
      FHeld.push_back(I(h));
      FILE_BASIC_INFO info{};
      if (!::GetFileInformationByHandleEx(h, FileBasicInfo, &info, sizeof info))
        throw core::EInOutError(core::ErrnoFromWindowsError(::GetLastError()));
      // A link, junction or mount point on the way is never passed through.
      if (info.FileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) throw EVmUnsafePath();
      if (!(info.FileAttributes & FILE_ATTRIBUTE_DIRECTORY)) throw core::EInOutError(ENOTDIR);
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
