// A DLL an attacker saves beside the installer: when anything loads it, it appends its own
// path to the file TARVO_PLANTED_MARKER names. It exports nothing, so a program that
// imports it does not even start: either way the marker tells.
#include <windows.h>

#include <cwchar>

extern "C" BOOL WINAPI DllMain(HINSTANCE self, DWORD reason, LPVOID) {
  if (reason != DLL_PROCESS_ATTACH) return TRUE;
  wchar_t marker[MAX_PATH], name[MAX_PATH];
  if (::GetEnvironmentVariableW(L"TARVO_PLANTED_MARKER", marker, MAX_PATH) == 0) return TRUE;
  const DWORD length = ::GetModuleFileNameW(self, name, MAX_PATH);
  HANDLE file = ::CreateFileW(marker, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS, 0,
                              nullptr);
  if (file == INVALID_HANDLE_VALUE) return TRUE;
  char line[MAX_PATH * 3 + 2];
  int n = ::WideCharToMultiByte(CP_UTF8, 0, name, static_cast<int>(length), line, sizeof line - 2, nullptr, nullptr);
  line[n++] = '\n';
  DWORD written = 0;
  ::WriteFile(file, line, static_cast<DWORD>(n), &written, nullptr);
  ::CloseHandle(file);
  return TRUE;
}
