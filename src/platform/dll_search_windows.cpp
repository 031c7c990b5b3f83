#include <windows.h>

#include "platform/dll_search.h"

namespace tarvo::platform {

void RestrictDllSearch() noexcept {
  using TSetDefaultDllDirectories = BOOL(WINAPI*)(DWORD);
  HMODULE kernel = ::GetModuleHandleW(L"kernel32.dll");
  if (kernel == nullptr) return;
  const auto set = reinterpret_cast<TSetDefaultDllDirectories>(
      reinterpret_cast<void*>(::GetProcAddress(kernel, "SetDefaultDllDirectories")));
  if (set != nullptr) set(LOAD_LIBRARY_SEARCH_SYSTEM32);
  // The current folder stays out of the search as well, where that is still the default.
  ::SetDllDirectoryW(L"");
}

}  // namespace tarvo::platform
