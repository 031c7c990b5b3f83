// The program on Win32: COM for the GUI thread (the shell link and the folder dialog need
// it), the common controls of version 6, the message loop and the cursor.
#include "ui/backend.h"
// Windows headers last: their macros (MB_OK, ...) would rewrite our names.
#include "ui/win32/native.h"
#include "ui/win32/common_controls.h"
#include <objbase.h>
#include <commctrl.h>

namespace tarvo::ui {

struct TApplication::TToolkit {
  bool ComStarted = false;
};

void TApplication::TToolkitDeleter::operator()(TToolkit* toolkit) const noexcept {
  if (toolkit->ComStarted) CoUninitialize();
  delete toolkit;
}

TApplication::TToolkit* backend::StartToolkit(int&, char**) {
  auto* toolkit = new TApplication::TToolkit;
  const HRESULT hr = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
  toolkit->ComStarted = SUCCEEDED(hr);  // S_FALSE too: each success is paired with an uninitialise
  INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_STANDARD_CLASSES | ICC_PROGRESS_CLASS | ICC_USEREX_CLASSES};
  win32::CommonControls().InitCommonControlsEx(&controls);
  return toolkit;
}

namespace {

void Dispatch(MSG& msg) {
  if (win32::HandleDialogKey(msg)) return;
  TranslateMessage(&msg);
  DispatchMessageW(&msg);
}

}  // namespace

int backend::RunMessageLoop() {
  MSG msg;
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) Dispatch(msg);
  return msg.message == WM_QUIT ? static_cast<int>(msg.wParam) : 0;
}

void backend::ProcessMessages() {
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (msg.message == WM_QUIT) {  // for the loop that runs the program, not for us
      PostQuitMessage(static_cast<int>(msg.wParam));
      return;
    }
    Dispatch(msg);
  }
}

namespace {
TCursor g_cursor = crDefault;
}  // namespace

TCursor win32::ProgramCursor() noexcept { return g_cursor; }

void backend::ShowCursor(TCursor, TCursor cursor) {
  g_cursor = cursor;
  // Now, not at the next mouse move: the step that follows blocks the loop.
  ::SetCursor(LoadCursorW(nullptr, cursor == crHourGlass ? IDC_WAIT : IDC_ARROW));
}

void UseOffscreenDisplay() {}  // every Win32 window has a surface to draw on

}  // namespace tarvo::ui
