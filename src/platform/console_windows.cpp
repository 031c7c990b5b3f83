#include <cstdio>

#include "platform/console.h"
// Windows headers last: their macros would rewrite our names.
#include <windows.h>
#include <io.h>

namespace tarvo::platform {

namespace {

volatile int* g_flag = nullptr;

BOOL WINAPI OnControl(DWORD event) {
  if (event != CTRL_C_EVENT || !g_flag || *g_flag) return FALSE;  // the second one ends the program
  *g_flag = 1;
  return TRUE;
}

bool Leads(DWORD handle) {
  const HANDLE h = GetStdHandle(handle);
  return h && h != INVALID_HANDLE_VALUE && GetFileType(h) != FILE_TYPE_UNKNOWN;
}

}  // namespace

bool AttachParentConsole() noexcept {
  if (Leads(STD_ERROR_HANDLE)) return true;  // redirected, or a console program
  if (!AttachConsole(ATTACH_PARENT_PROCESS)) return false;
  std::FILE* ignored = nullptr;
  freopen_s(&ignored, "CONOUT$", "w", stdout);
  freopen_s(&ignored, "CONOUT$", "w", stderr);
  return true;
}

bool StderrIsTerminal() noexcept {
  DWORD mode = 0;
  return GetConsoleMode(GetStdHandle(STD_ERROR_HANDLE), &mode) != 0;
}

void CatchFirstInterrupt(volatile int* flag) noexcept {
  g_flag = flag;
  SetConsoleCtrlHandler(OnControl, TRUE);
}

void RestoreInterrupts() noexcept {
  SetConsoleCtrlHandler(OnControl, FALSE);
  g_flag = nullptr;
}

}  // namespace tarvo::platform
