// The message dialog through MessageBoxW, its buttons renamed to the program's language, and
// the folder dialog of the shell (IFileDialog picking folders).
#include <algorithm>
#include <utility>

#include "core/resource_string.h"
#include "ui/backend.h"
#include "ui/ui_strings.h"
// Windows headers last: their macros (MB_OK, ...) would rewrite our names.
#include "ui/win32/native.h"
#include <shobjidl.h>

namespace tarvo::ui {

using namespace win32;

namespace {

struct TBoxTexts {
  HHOOK Hook = nullptr;
  std::vector<std::pair<int, std::wstring>> Buttons;  // dialog item id, text
};
thread_local TBoxTexts* g_box = nullptr;

// The box's buttons carry the system's language; ours replace them once the box exists.
LRESULT CALLBACK BoxHook(int code, WPARAM wp, LPARAM lp) {
  TBoxTexts* box = g_box;
  if (!box) return 0;
  if (code == HCBT_ACTIVATE) {
    const HWND dialog = reinterpret_cast<HWND>(wp);
    for (const auto& [id, text] : box->Buttons) SetDlgItemTextW(dialog, id, text.c_str());
    UnhookWindowsHookEx(box->Hook);
    box->Hook = nullptr;
    return 0;
  }
  return CallNextHookEx(box->Hook, code, wp, lp);
}

UINT IconOf(TMsgDlgType type) {
  switch (type) {
    case mtWarning: return MB_ICONWARNING;
    case mtError: return MB_ICONERROR;
    case mtInformation: return MB_ICONINFORMATION;
    case mtConfirmation: return MB_ICONQUESTION;
    case mtCustom: break;
  }
  return 0;
}

int IdOf(TMsgDlgBtn button) {
  switch (button) {
    case mbYes: return IDYES;
    case mbNo: return IDNO;
    case mbOK: return IDOK;
    case mbCancel: return IDCANCEL;
    case mbRetry: return IDRETRY;
  }
  return IDOK;
}

// The box layout of the buttons asked for (Yes/No, OK/Cancel, ...).
UINT LayoutOf(const std::vector<TMsgDlgBtn>& buttons) {
  auto has = [&](TMsgDlgBtn b) { return std::find(buttons.begin(), buttons.end(), b) != buttons.end(); };
  if (has(mbYes) && has(mbNo)) return has(mbCancel) ? MB_YESNOCANCEL : MB_YESNO;
  if (has(mbRetry)) return MB_RETRYCANCEL;
  if (has(mbCancel)) return MB_OKCANCEL;
  return MB_OK;
}

HWND Owner() {
  HWND active = GetActiveWindow();
  return active && IsWindowVisible(active) ? active : nullptr;
}

}  // namespace

int backend::ShowDialog(const TDialogRequest& request, const std::vector<TMsgDlgBtn>& buttons) {
  TBoxTexts texts;
  for (std::size_t i = 0; i < buttons.size() && i < request.Buttons.size(); ++i)
    texts.Buttons.emplace_back(IdOf(buttons[i]), Widen(request.Buttons[i]));
  // The box orders its buttons Yes, No, Cancel (or OK, Cancel): the default by its place.
  UINT defaultButton = MB_DEFBUTTON1;
  if (request.Default < buttons.size()) {
    const TMsgDlgBtn b = buttons[request.Default];
    const UINT layout = LayoutOf(buttons);
    if (b == mbNo) defaultButton = MB_DEFBUTTON2;
    else if (b == mbCancel) defaultButton = layout == MB_YESNOCANCEL ? MB_DEFBUTTON3 : MB_DEFBUTTON2;
  }
  TBoxTexts* outer = std::exchange(g_box, &texts);
  texts.Hook = SetWindowsHookExW(WH_CBT, BoxHook, nullptr, GetCurrentThreadId());
  const int id = MessageBoxW(Owner(), Widen(request.Text).c_str(), Widen(request.Caption).c_str(),
                             LayoutOf(buttons) | defaultButton | IconOf(request.Type) | MB_TASKMODAL | MB_SETFOREGROUND);
  if (texts.Hook) UnhookWindowsHookEx(texts.Hook);
  g_box = outer;
  for (TMsgDlgBtn b : buttons)
    if (IdOf(b) == id) return ModalResultOf(b);
  return mrCancel;
}

std::optional<std::string> backend::ShowFolderDialog(const std::string& start) {
  IFileDialog* dialog = nullptr;
  if (FAILED(CoCreateInstance(CLSID_FileOpenDialog, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&dialog))))
    return std::nullopt;
  std::optional<std::string> chosen;
  FILEOPENDIALOGOPTIONS options = 0;
  dialog->GetOptions(&options);
  dialog->SetOptions(options | FOS_PICKFOLDERS | FOS_FORCEFILESYSTEM | FOS_PATHMUSTEXIST);
  dialog->SetTitle(Widen(core::LoadResString(SBrowseFolderCaption)).c_str());
  dialog->SetOkButtonLabel(Widen(core::LoadResString(SBrowseChoose)).c_str());
  IShellItem* folder = nullptr;
  if (!start.empty() && SUCCEEDED(SHCreateItemFromParsingName(Widen(start).c_str(), nullptr, IID_PPV_ARGS(&folder)))) {
    dialog->SetFolder(folder);
    folder->Release();
  }
  if (SUCCEEDED(dialog->Show(Owner()))) {
    IShellItem* result = nullptr;
    if (SUCCEEDED(dialog->GetResult(&result))) {
      PWSTR path = nullptr;
      if (SUCCEEDED(result->GetDisplayName(SIGDN_FILESYSPATH, &path))) {
        chosen = Narrow(path);
        CoTaskMemFree(path);
      }
      result->Release();
    }
  }
  dialog->Release();
  return chosen;
}

}  // namespace tarvo::ui
