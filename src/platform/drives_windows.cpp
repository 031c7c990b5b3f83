#include <windows.h>

#include <string>

#include "core/utf16.h"
#include "platform/drives.h"

namespace tarvo::platform {

bool IsRemovableDrive(const std::string& path) noexcept {
  // The root of the drive the path names ("A:\", "\\server\share\" is never removable).
  if (path.size() < 2 || path[1] != ':') return false;
  const wchar_t root[] = {static_cast<wchar_t>(path[0]), L':', L'\\', L'\0'};
  return ::GetDriveTypeW(root) == DRIVE_REMOVABLE;
}

std::string ProgramFolder() {
  std::wstring name(MAX_PATH, L'\0');
  for (;;) {
    const DWORD n = ::GetModuleFileNameW(nullptr, name.data(), static_cast<DWORD>(name.size()));
    if (n == 0) return std::string();
    if (n < name.size()) {
      name.resize(n);
      break;
    }
    name.resize(name.size() * 2);  // cut short: try a larger buffer
  }
  const std::size_t slash = name.find_last_of(L"\\/");
  if (slash == std::wstring::npos) return std::string();
  // "C:\" keeps its delimiter; any other folder loses it.
  return core::WideToUtf8(name.substr(0, slash == 2 && name[1] == L':' ? 3 : slash));
}

}  // namespace tarvo::platform
