#include <windows.h>
#include <winternl.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "core/exception.h"
#include "core/utf16.h"
#include "core/win_error.h"
#include "platform/file_attributes.h"
#include "platform/file_time.h"
#include "unzip/output_file.h"
#include "unzip/vm_exception.h"

namespace tarvo::unzip {

namespace {

HANDLE H(std::intptr_t handle) { return reinterpret_cast<HANDLE>(handle); }
int LastErrno() { return core::ErrnoFromWindowsError(::GetLastError()); }

// Others may read a file while it is written, never write it; DELETE lets the file be
// renamed into place and removed through its own handle.
constexpr DWORD kFileAccess = GENERIC_WRITE | DELETE | FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES;

HANDLE CreateNew(const std::wstring& name) {
  // OPEN_REPARSE_POINT: a link planted at the name is never written through; CREATE_NEW
  // fails on any name that exists, a link included.
  return ::CreateFileW(name.c_str(), kFileAccess, FILE_SHARE_READ, nullptr, CREATE_NEW,
                       FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
}

bool Exists(DWORD error) { return error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS; }

std::string Join(const std::string& folder, std::string_view name) {
  std::string path = folder;
  if (!path.empty() && path.back() != '\\' && path.back() != '/') path += '\\';
  path += name;
  return path;
}

// Removes the file of an open handle by the handle itself: the name may have been taken
// over meanwhile, the handle cannot.
void DeleteByHandle(HANDLE h) noexcept {
  FILE_DISPOSITION_INFO disposition{};
  disposition.DeleteFile = TRUE;
  ::SetFileInformationByHandle(h, FileDispositionInfo, &disposition, sizeof disposition);
}

// What is at an existing name, opened without following a reparse point.
struct TExisting {
  DWORD Attributes = 0;
  DWORD Type = FILE_TYPE_UNKNOWN;
  platform::TFileIdentity Identity;
};

using TNtQueryInformationFile = LONG(NTAPI*)(HANDLE, PIO_STATUS_BLOCK, PVOID, ULONG, FILE_INFORMATION_CLASS);

// The file index alone: unlike the volume serial it needs no query of the volume, which
// Wine answers through its mount manager, a costly round trip paid on every replacement.
bool FileIndex(HANDLE h, std::uint64_t& index) {
  static const auto query = [] {
    HMODULE ntdll = ::GetModuleHandleW(L"ntdll.dll");
    return ntdll ? reinterpret_cast<TNtQueryInformationFile>(
                       reinterpret_cast<void*>(::GetProcAddress(ntdll, "NtQueryInformationFile")))
                 : nullptr;
  }();
  IO_STATUS_BLOCK status{};
  LARGE_INTEGER internal{};  // FILE_INTERNAL_INFORMATION
  if (!query || query(h, &status, &internal, sizeof internal, static_cast<FILE_INFORMATION_CLASS>(6)) < 0)
    return false;
  index = static_cast<std::uint64_t>(internal.QuadPart);
  return true;
}

// What is at name; identity is filled in only when it may be protected (same file index):
// the volume is asked for then alone.
bool Inspect(const std::wstring& name, const platform::TFileIdentity& protectedFile, TExisting& what,
             DWORD& error) {
  HANDLE h = ::CreateFileW(name.c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                           nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (h == INVALID_HANDLE_VALUE) {
    error = ::GetLastError();
    return false;
  }
  what.Type = ::GetFileType(h);
  FILE_BASIC_INFO basic{};
  if (::GetFileInformationByHandleEx(h, FileBasicInfo, &basic, sizeof basic)) what.Attributes = basic.FileAttributes;
  std::uint64_t index = 0;
  const bool indexKnown = FileIndex(h, index);
  BY_HANDLE_FILE_INFORMATION info{};
  if ((!indexKnown || (protectedFile.Known && index == protectedFile.Index)) && ::GetFileInformationByHandle(h, &info)) {
    what.Identity = {info.dwVolumeSerialNumber,
                     static_cast<std::uint64_t>(info.nFileIndexHigh) << 32 | info.nFileIndexLow, true};
  }
  ::CloseHandle(h);
  return true;
}

// Gives the file its read-only, hidden, system and archive attributes; true when it is
// now read-only. A failure is ignored: the content matters more.
bool SetAttributes(HANDLE h, std::uint32_t attributes) noexcept {
  FILE_BASIC_INFO basic{};
  if (!::GetFileInformationByHandleEx(h, FileBasicInfo, &basic, sizeof basic)) return false;
  constexpr DWORD kDos = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE;
  DWORD wanted = (basic.FileAttributes & ~kDos & ~FILE_ATTRIBUTE_NORMAL) | (attributes & kDos);
  if (wanted == 0) wanted = FILE_ATTRIBUTE_NORMAL;
  if (wanted == basic.FileAttributes) return (wanted & FILE_ATTRIBUTE_READONLY) != 0;
  FILE_BASIC_INFO change{};
  change.FileAttributes = wanted;  // the zero times stay as they are
  if (!::SetFileInformationByHandle(h, FileBasicInfo, &change, sizeof change)) return false;
  return (wanted & FILE_ATTRIBUTE_READONLY) != 0;
}

}  // namespace

unsigned OutputFileMode(std::uint32_t attributes, long unixMode) noexcept {
  unsigned mode = 0666;
  if (attributes & platform::faReadOnly) mode &= ~0222u;
  if (unixMode >= 0) mode |= static_cast<unsigned>(unixMode) & 0111;
  return mode;
}

void TVmOutputFile::MakeTemporaryName(unsigned n) noexcept {
  const std::string name = ".tarvo-" + std::to_string(::GetCurrentProcessId()) + "-" + std::to_string(n) + ".part";
  std::memcpy(FTempName, name.c_str(), std::min(name.size() + 1, sizeof FTempName));
  FTempName[sizeof FTempName - 1] = '\0';
}

TVmOutputFile::TVmOutputFile(const TVmFolder& folder, std::string_view name, const std::string& displayPath,
                             std::uint32_t attributes, long, const TVmFileIdentity& protectedFile)
    : FFolder(0), FName(Join(folder.Path, name)), FAttributes(attributes) {
  const std::wstring target = core::Utf8ToWide(FName);
  for (int attempt = 0; attempt < 4; ++attempt) {
    HANDLE h = CreateNew(target);
    if (h != INVALID_HANDLE_VALUE) {
      FHandle = reinterpret_cast<std::intptr_t>(h);
      // A device answers to some names in every folder: nothing is written to one.
      if (::GetFileType(h) != FILE_TYPE_DISK) {
        ::CloseHandle(h);
        FHandle = -1;
        FFolder = -1;
        throw EVmUnsafePath();
      }
      return;
    }
    DWORD error = ::GetLastError();
    if (!Exists(error)) throw core::EFCreateError(displayPath, core::ErrnoFromWindowsError(error));

    TExisting existing;
    if (!Inspect(target, protectedFile, existing, error)) {
      if (error == ERROR_FILE_NOT_FOUND) continue;  // removed meanwhile: create it
      throw core::EFCreateError(displayPath, core::ErrnoFromWindowsError(error));
    }
    const bool reparse = (existing.Attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
    if ((existing.Attributes & FILE_ATTRIBUTE_DIRECTORY) && !reparse)
      throw core::EFCreateError(displayPath, EISDIR);
    // A link to a folder cannot be replaced by a file; a device is never written.
    if ((existing.Attributes & FILE_ATTRIBUTE_DIRECTORY) || existing.Type != FILE_TYPE_DISK) throw EVmUnsafePath();
    if (protectedFile == existing.Identity) throw EVmUnsafePath();
    // Read-only files are not replaced. A link to a file is replaced by the file (the
    // rename takes the link's place), never written through.
    if (!reparse && (existing.Attributes & FILE_ATTRIBUTE_READONLY)) throw core::EFCreateError(displayPath, EACCES);

    for (unsigned tries = 0; tries < 100; ++tries) {
      MakeTemporaryName(tries);
      h = CreateNew(core::Utf8ToWide(Join(folder.Path, FTempName)));
      if (h != INVALID_HANDLE_VALUE) {
        FHandle = reinterpret_cast<std::intptr_t>(h);
        return;
      }
      error = ::GetLastError();
      if (!Exists(error)) break;
    }
    FTempName[0] = '\0';
    throw core::EFCreateError(displayPath, core::ErrnoFromWindowsError(error));
  }
  throw core::EFCreateError(displayPath, EEXIST);
}

void TVmOutputFile::WriteHole(std::uint64_t count) {
  if (count == 0) return;
  if (count > static_cast<std::uint64_t>(INT64_MAX) - FWritten) throw core::EInOutError(EFBIG);
  LARGE_INTEGER by{};
  by.QuadPart = static_cast<LONGLONG>(count);
  // Bytes passed over read as zeros once the file reaches past them.
  if (!::SetFilePointerEx(H(FHandle), by, nullptr, FILE_CURRENT)) throw core::EInOutError(LastErrno());
  FWritten += count;
  FEndsInHole = true;
}

void TVmOutputFile::Commit(std::int64_t modificationTime) {
  HANDLE h = H(FHandle);
  // A file that ends in a hole gets its size only now.
  if (FEndsInHole && !::SetEndOfFile(h)) {
    const int error = LastErrno();
    Discard();
    throw core::EInOutError(error);
  }
  if (modificationTime >= 0) {
    const std::uint64_t ticks = platform::EpochToFileTime(modificationTime);
    const FILETIME written{static_cast<DWORD>(ticks), static_cast<DWORD>(ticks >> 32)};
    ::SetFileTime(h, nullptr, nullptr, &written);  // a file system without times still gets the content
  }
  if (FTempName[0] != '\0') {
    // The complete file takes the old one's name through its own handle, in one step:
    // the name holds the old content or the new, never a part.
    const std::wstring target = core::Utf8ToWide(FName);
    std::vector<std::uint8_t> block(sizeof(FILE_RENAME_INFO) + target.size() * sizeof(wchar_t));
    auto* rename = reinterpret_cast<FILE_RENAME_INFO*>(block.data());
    rename->ReplaceIfExists = TRUE;
    rename->RootDirectory = nullptr;
    rename->FileNameLength = static_cast<DWORD>(target.size() * sizeof(wchar_t));
    std::memcpy(rename->FileName, target.c_str(), (target.size() + 1) * sizeof(wchar_t) - sizeof(wchar_t));
    if (!::SetFileInformationByHandle(h, FileRenameInfo, rename, static_cast<DWORD>(block.size()))) {
      const int error = LastErrno();
      Discard();
      throw core::EInOutError(error);
    }
    FTempName[0] = '\0';
  }
  FHandle = -1;
  FFolder = -1;
  // Through the handle, once the file has its name (a read-only file could no longer be
  // removed by its handle): by name it would cost another open, which under Wine is as
  // dear as the whole rest of a small file.
  const bool readOnly = SetAttributes(h, FAttributes);
  if (!::CloseHandle(h)) {
    // The data may not all be on the disk: the file is not kept as if it were whole.
    const int error = LastErrno();
    const std::wstring name = core::Utf8ToWide(FName);
    if (readOnly) ::SetFileAttributesW(name.c_str(), FILE_ATTRIBUTE_NORMAL);
    ::DeleteFileW(name.c_str());
    throw core::EInOutError(error);
  }
}

void TVmOutputFile::Discard() noexcept {
  if (FFolder < 0) return;
  FFolder = -1;
  if (FHandle == -1) return;
  // Whatever this object created goes: the new file, or the temporary one beside an old
  // file that stays as it was.
  DeleteByHandle(H(FHandle));
  ::CloseHandle(H(FHandle));
  FHandle = -1;
  FTempName[0] = '\0';
}

}  // namespace tarvo::unzip
