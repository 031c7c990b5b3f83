// The desktop on Windows: the value Desktop of the shell's folder list in the user's
// registry, as the product has always read it; where that value is missing (the list is
// kept only for old programs), the shell's known folder.
#include <string>

#include "platform/desktop_folder.h"
// Windows headers last: their macros would rewrite our names.
#include "platform/wide_text.h"
#include <knownfolders.h>
#include <shlobj.h>

namespace tarvo::platform {

namespace {

constexpr wchar_t kShellFolders[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";

std::wstring RegistryDesktop() {
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, kShellFolders, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) return {};
  wchar_t buffer[MAX_PATH * 4] = {};
  DWORD size = sizeof(buffer) - sizeof(wchar_t);  // room for the terminator the value may lack
  DWORD type = 0;
  const LSTATUS status = RegQueryValueExW(key, L"Desktop", nullptr, &type, reinterpret_cast<BYTE*>(buffer), &size);
  RegCloseKey(key);
  if (status != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ)) return {};
  std::wstring value(buffer, size / sizeof(wchar_t));
  while (!value.empty() && value.back() == L'\0') value.pop_back();
  if (type == REG_EXPAND_SZ) {
    wchar_t expanded[MAX_PATH * 4] = {};
    const DWORD n = ExpandEnvironmentStringsW(value.c_str(), expanded, MAX_PATH * 4);
    value = n > 0 && n <= MAX_PATH * 4 ? std::wstring(expanded) : std::wstring();
  }
  return value;
}

std::wstring KnownDesktop() {
  PWSTR path = nullptr;
  std::wstring value;
  if (SUCCEEDED(SHGetKnownFolderPath(FOLDERID_Desktop, 0, nullptr, &path))) value = path;
  CoTaskMemFree(path);
  return value;
}

}  // namespace

std::string DesktopFolder() {
  std::wstring folder = RegistryDesktop();
  if (folder.empty()) folder = KnownDesktop();
  const DWORD attributes = folder.empty() ? INVALID_FILE_ATTRIBUTES : GetFileAttributesW(folder.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY)) return {};
  if (folder.back() != L'\\' && folder.back() != L'/') folder += L'\\';
  return Narrow(folder);
}

}  // namespace tarvo::platform
