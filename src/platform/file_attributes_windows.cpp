#include <windows.h>

#include "core/utf16.h"
#include "platform/file_attributes.h"

namespace tarvo::platform {

bool SetFileAttributes(const std::string& path, std::uint32_t attributes, long) noexcept {
  const std::wstring name = core::Utf8ToWide(path);
  DWORD now = ::GetFileAttributesW(name.c_str());
  // A reparse point (link, junction, mount point) keeps its own attributes.
  if (now == INVALID_FILE_ATTRIBUTES || (now & FILE_ATTRIBUTE_REPARSE_POINT)) return false;
  constexpr DWORD kDos = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE;
  DWORD wanted = (now & ~kDos & ~FILE_ATTRIBUTE_NORMAL) | (attributes & kDos);
  if (now & FILE_ATTRIBUTE_DIRECTORY) wanted &= ~static_cast<DWORD>(FILE_ATTRIBUTE_READONLY);
  if (wanted == 0) wanted = FILE_ATTRIBUTE_NORMAL;
  return ::SetFileAttributesW(name.c_str(), wanted) != 0;
}

bool IsReadOnlyFile(const std::string& path) noexcept {
  DWORD a = ::GetFileAttributesW(core::Utf8ToWide(path).c_str());
  return a != INVALID_FILE_ATTRIBUTES && !(a & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) &&
         (a & FILE_ATTRIBUTE_READONLY);
}

}  // namespace tarvo::platform
