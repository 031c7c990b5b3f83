// The drive list on Win32: a ComboBoxEx with the shell's small icons and names.
#include <algorithm>
#include <filesystem>

#include "ui/drive_combo.h"
// Windows headers last: their macros (MB_OK, ...) would rewrite our names.
#include "ui/win32/native.h"
#include <commctrl.h>
#include <shellapi.h>

namespace tarvo::ui {

using namespace win32;

namespace {

int IconIndex(const std::string& root) {
  SHFILEINFOW info{};
  if (!SHGetFileInfoW(Widen(root).c_str(), 0, &info, sizeof(info), SHGFI_SYSICONINDEX | SHGFI_SMALLICON)) return -1;
  return info.iIcon;
}

}  // namespace

TDriveCombo::TDriveCombo(TComponent* owner)
    : TControl(owner, CreateControl(this, nullptr, TKind::kCombo, WC_COMBOBOXEXW,
                                    CBS_DROPDOWNLIST | WS_TABSTOP | WS_VSCROLL)) {
  HWND combo = Widget();
  if (!combo) return;
  SHFILEINFOW info{};
  const auto images = reinterpret_cast<HIMAGELIST>(
      SHGetFileInfoW(L"C:\\", 0, &info, sizeof(info), SHGFI_SYSICONINDEX | SHGFI_SMALLICON));
  if (images) SendMessageW(combo, CBEM_SETIMAGELIST, 0, reinterpret_cast<LPARAM>(images));
  StateOf(combo)->OnCommand = [this](UINT code) {
    if (code != CBN_SELCHANGE) return;
    const auto index = SendMessageW(Widget(), CB_GETCURSEL, 0, 0);
    if (index < 0 || static_cast<std::size_t>(index) >= FLetters.size()) return;
    const char letter = FLetters[static_cast<std::size_t>(index)];
    if (letter == FDrive) return;
    FDrive = letter;
    CallEvent(OnChange, this);
  };
  BuildList();
  if (FDrive == 0 && !FLetters.empty()) {
    std::error_code ec;
    const std::vector<platform::TDriveInfo> drives = platform::FixedDrives();
    const char current = platform::DriveOfPath(drives, std::filesystem::current_path(ec).string());
    const bool listed = std::find(FLetters.begin(), FLetters.end(), current) != FLetters.end();
    FDrive = listed ? current : FLetters.front();
    SelectIndex(static_cast<int>(std::find(FLetters.begin(), FLetters.end(), FDrive) - FLetters.begin()));
  }
}

void TDriveCombo::BuildList() {
  HWND combo = Widget();
  if (!combo) return;
  SendMessageW(combo, CB_RESETCONTENT, 0, 0);
  FLetters.clear();
  if (FDriveTypes & dtFixed) {  // every drive reported here is a fixed local disk
    for (const platform::TDriveInfo& d : platform::FixedDrives()) {
      std::wstring text = Widen(DisplayName(d));
      COMBOBOXEXITEMW item{};
      item.mask = CBEIF_TEXT | CBEIF_IMAGE | CBEIF_SELECTEDIMAGE;
      item.iItem = -1;
      item.pszText = text.data();
      item.iImage = item.iSelectedImage = IconIndex(d.Root);
      SendMessageW(combo, CBEM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item));
      FLetters.push_back(d.Letter);
    }
  }
  const auto it = std::find(FLetters.begin(), FLetters.end(), FDrive);
  if (it == FLetters.end()) FDrive = 0;
  SelectIndex(it == FLetters.end() ? -1 : static_cast<int>(it - FLetters.begin()));
}

void TDriveCombo::SelectIndex(int index) {
  if (Widget()) SendMessageW(Widget(), CB_SETCURSEL, static_cast<WPARAM>(index), 0);
}

std::vector<std::string> TDriveCombo::DisplayNames() const {
  std::vector<std::string> names;
  HWND combo = Widget();
  if (!combo) return names;
  const auto count = SendMessageW(combo, CB_GETCOUNT, 0, 0);
  for (LRESULT i = 0; i < count; ++i) {
    wchar_t buffer[512] = {};
    COMBOBOXEXITEMW item{};
    item.mask = CBEIF_TEXT;
    item.iItem = i;
    item.pszText = buffer;
    item.cchTextMax = static_cast<int>(std::size(buffer));
    SendMessageW(combo, CBEM_GETITEMW, 0, reinterpret_cast<LPARAM>(&item));
    names.push_back(Narrow(buffer));
  }
  return names;
}

}  // namespace tarvo::ui
