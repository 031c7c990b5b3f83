#include <windows.h>

#include <cwchar>
#include <vector>

#include "core/utf16.h"
#include "platform/install_lock.h"

namespace tarvo::platform {

std::unique_ptr<TInstallLock> TInstallLock::TryTake(const std::string& installFolder) {
  // The full path without case (Windows names have none) and without its trailing
  // separator; hashed, as a mutex name has no "\" and a path may be longer than a name.
  std::wstring path = core::Utf8ToWide(installFolder);
  std::vector<wchar_t> full(32768);
  const DWORD n = ::GetFullPathNameW(path.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr);
  if (n > 0 && n < full.size()) path.assign(full.data(), n);
  while (!path.empty() && (path.back() == L'\\' || path.back() == L'/')) path.pop_back();
  ::CharUpperBuffW(path.data(), static_cast<DWORD>(path.size()));
  std::uint64_t hash = 14695981039346656037ull;  // FNV-1a
  for (wchar_t c : path) {
    hash ^= static_cast<std::uint16_t>(c == L'/' ? L'\\' : c);
    hash *= 1099511628211ull;
  }
  wchar_t name[64];
  ::swprintf(name, 64, L"Local\\T.Arvo Setup %016llx", static_cast<unsigned long long>(hash));
  HANDLE mutex = ::CreateMutexW(nullptr, FALSE, name);
  if (mutex == nullptr) return std::unique_ptr<TInstallLock>(new TInstallLock(-1));
  if (::GetLastError() == ERROR_ALREADY_EXISTS) {
    ::CloseHandle(mutex);
    return nullptr;
  }
  return std::unique_ptr<TInstallLock>(new TInstallLock(reinterpret_cast<std::intptr_t>(mutex)));
}

TInstallLock::~TInstallLock() {
  if (FHandle != -1) ::CloseHandle(reinterpret_cast<HANDLE>(FHandle));
}

}  // namespace tarvo::platform
