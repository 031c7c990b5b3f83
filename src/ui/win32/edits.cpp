// The number field and the folder field on Win32: the number field drops the keys it does
// not accept; the folder field has a browse button at its right edge and the shell's
// completion of folder names.
#include "ui/application.h"
#include "ui/directory_edit.h"
#include "ui/validate_edit.h"
// Windows headers last: their macros (MB_OK, ...) would rewrite our names.
#include "ui/win32/native.h"
#include <commctrl.h>
#include <shlwapi.h>

namespace tarvo::ui {

using namespace win32;

TValidateEdit::TValidateEdit(TComponent* owner)
    : TEdit(owner, CreateControl(this, nullptr, TKind::kEdit, WC_EDITW, ES_AUTOHSCROLL | ES_RIGHT | WS_TABSTOP,
                                 WS_EX_CLIENTEDGE)) {
  TWinState* s = StateOf(Widget());
  if (!s) return;
  s->OnMessage = [this](UINT msg, WPARAM wp, LPARAM, LRESULT& result) {
    if (msg != WM_CHAR) return false;
    DWORD start = 0, end = 0;
    SendMessageW(Widget(), EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
    const int length = static_cast<int>(end - start);
    // The caret is at the end of a selection made forwards; a sign needs the start anyway.
    if (AcceptsKey(static_cast<char32_t>(wp), Text(), static_cast<int>(end), static_cast<int>(start), length))
      return false;
    result = 0;
    return true;  // dropped
  };
}

namespace {
constexpr int kBrowseWidth = 22;  // logical pixels
constexpr int kBrowseId = 1;
}  // namespace

TDirectoryEdit::TDirectoryEdit(TComponent* owner)
    : TEdit(owner, CreateControl(this, nullptr, TKind::kEdit, WC_EDITW, ES_AUTOHSCROLL | WS_TABSTOP | WS_CLIPCHILDREN,
                                 WS_EX_CLIENTEDGE)) {
  HWND edit = Widget();
  if (!edit) return;
  SHAutoComplete(edit, SHACF_FILESYS_DIRS | SHACF_AUTOSUGGEST_FORCE_ON);
  HWND browse = CreateWindowExW(0, WC_BUTTONW, L"...", WS_CHILD | WS_VISIBLE | BS_PUSHBUTTON, 0, 0, 0, 0, edit,
                                reinterpret_cast<HMENU>(static_cast<INT_PTR>(kBrowseId)), GetModuleHandleW(nullptr),
                                nullptr);
  StateOf(edit)->OnMessage = [this, browse](UINT msg, WPARAM wp, LPARAM, LRESULT& result) {
    switch (msg) {
      case WM_COMMAND:
        if (LOWORD(wp) != kBrowseId || HIWORD(wp) != BN_CLICKED) return false;
        try {
          Browse();
        } catch (const std::exception& e) {
          HandleException(e);
        }
        result = 0;
        return true;
      case WM_SIZE: {
        RECT r;
        GetClientRect(Widget(), &r);
        const int w = Scale(kBrowseWidth);
        MoveWindow(browse, r.right - w, 0, w, r.bottom, TRUE);
        SendMessageW(Widget(), EM_SETMARGINS, EC_RIGHTMARGIN, MAKELPARAM(0, w + 2));
        return false;
      }
      case WM_SETFONT:
        SendMessageW(browse, WM_SETFONT, wp, FALSE);
        return false;
      default:
        return false;
    }
  };
}

void TDirectoryEdit::ToolkitTextsChanged() {}  // the browse button shows no text of its own

}  // namespace tarvo::ui
