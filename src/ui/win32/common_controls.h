// comctl32's functions, loaded at run time rather than imported. An import is resolved before
// main, and comctl32 brings uxtheme.dll along, which is no KnownDLL: the loader would take a
// uxtheme.dll saved beside the installer. Loaded after the program has restricted the search
// to System32 (platform::RestrictDllSearch), by name, so that the manifest's activation
// context still picks version 6.
#pragma once

#include <windows.h>

#include <commctrl.h>

namespace tarvo::ui::win32 {

struct TCommonControls {
  BOOL(WINAPI* InitCommonControlsEx)(const INITCOMMONCONTROLSEX*) = nullptr;
  BOOL(WINAPI* SetWindowSubclass)(HWND, SUBCLASSPROC, UINT_PTR, DWORD_PTR) = nullptr;
  BOOL(WINAPI* RemoveWindowSubclass)(HWND, SUBCLASSPROC, UINT_PTR) = nullptr;
  LRESULT(WINAPI* DefSubclassProc)(HWND, UINT, WPARAM, LPARAM) = nullptr;
};

// The functions, bound on first use; a system without them ends the program with a message
// (every window of the wizard needs them).
const TCommonControls& CommonControls();

}  // namespace tarvo::ui::win32
