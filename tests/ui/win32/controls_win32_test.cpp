// The Win32 backend as the system shows it: the layout and fonts in device pixels at each
// DPI, the window definition's font or the system's dialog font, the real message box with
// the program's button texts (answered by the test from a timer inside the box's own loop),
// the drive list with the shell's icons, and the '&' accelerators.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include "../../common/temp_dir.h"
#include "ui/application.h"
#include "ui/controls.h"
#include "ui/dialogs.h"
#include "ui/drive_combo.h"
#include "ui/form.h"
// Windows headers last: their macros would rewrite our names.
#include <windows.h>
#include <commctrl.h>

using namespace tarvo::ui;
namespace fs = std::filesystem;

namespace {

std::wstring WindowText(HWND h) {
  wchar_t buf[256] = {};
  GetWindowTextW(h, buf, 256);
  return buf;
}

LOGFONTW FontOf(HWND h) {
  LOGFONTW lf{};
  GetObjectW(reinterpret_cast<HFONT>(SendMessageW(h, WM_GETFONT, 0, 0)), sizeof(lf), &lf);
  return lf;
}

SIZE DeviceSize(HWND h) {
  RECT r;
  GetWindowRect(h, &r);
  return SIZE{r.right - r.left, r.bottom - r.top};
}

class Win32Controls : public ::testing::Test {
protected:
  void SetUp() override {
    form = std::make_unique<TForm>();
    form->SetClientSize(300, 200);
    label = new TLabel(form.get());
    label->SetParent(form.get());
    label->SetBounds(10, 10, 200, 40);
    label->SetCaption("Kies uw taal");
    heading = new TLabel(form.get());
    heading->SetParent(form.get());
    heading->SetBounds(10, 60, 200, 20);
    heading->Font()->SetHeight(13);
    heading->Font()->SetBold(true);
    button = new TButton(form.get());
    button->SetParent(form.get());
    button->SetBounds(10, 160, 75, 25);
    button->SetCaption("&Annuleer");
    button->OnClick = [this](TComponent*) { ++clicks; };
    form->Show();
  }
  void TearDown() override {
    // Back to the DPI the other tests were laid out at.
    SendMessageW(form->Widget(), WM_DPICHANGED, MAKEWPARAM(96, 96), 0);
    form.reset();
  }

  std::unique_ptr<TForm> form;
  TLabel* label = nullptr;
  TLabel* heading = nullptr;
  TButton* button = nullptr;
  int clicks = 0;
};

// One case per DPI Windows offers: the logical layout of the window definition lands in
// device pixels scaled by dpi/96, fonts included; the logical bounds do not change.
TEST_F(Win32Controls, TheLayoutAndTheFontsFollowTheDpi) {
  for (int dpi : {144, 192, 120, 96}) {
    SCOPED_TRACE(dpi);
    SendMessageW(form->Widget(), WM_DPICHANGED, MAKEWPARAM(dpi, dpi), 0);
    RECT client;
    GetClientRect(form->Widget(), &client);
    EXPECT_EQ(client.right, MulDiv(300, dpi, 96));
    EXPECT_EQ(client.bottom, MulDiv(200, dpi, 96));
    EXPECT_EQ(DeviceSize(label->Widget()).cx, MulDiv(200, dpi, 96));
    EXPECT_EQ(DeviceSize(button->Widget()).cy, MulDiv(25, dpi, 96));
    EXPECT_EQ(label->Width(), 200);
    EXPECT_EQ(FontOf(label->Widget()).lfHeight, -MulDiv(11, dpi, 96));
    EXPECT_EQ(FontOf(heading->Widget()).lfHeight, -MulDiv(13, dpi, 96));
    EXPECT_EQ(FontOf(heading->Widget()).lfWeight, FW_BOLD);
  }
}

TEST_F(Win32Controls, TheWindowsFontElseTheSystemsDialogFont) {
  // Tahoma where it is installed (Windows; Wine with its fonts).
  EXPECT_STREQ(FontOf(label->Widget()).lfFaceName, L"Tahoma");
  NONCLIENTMETRICSW metrics{};
  metrics.cbSize = sizeof(metrics);
  ASSERT_TRUE(SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0));
  label->Font()->SetName("No Such Family 1234");
  EXPECT_STREQ(FontOf(label->Widget()).lfFaceName, metrics.lfMessageFont.lfFaceName);
  EXPECT_EQ(FontOf(label->Widget()).lfHeight, -11);
}

TEST_F(Win32Controls, AltAndTheMarkedLetterClickTheButton) {
  PostMessageW(form->Widget(), WM_SYSCHAR, L'a', 0);
  Application()->ProcessMessages();
  EXPECT_EQ(clicks, 1);
  button->SetEnabled(false);  // a disabled button takes no key
  PostMessageW(form->Widget(), WM_SYSCHAR, L'A', 0);
  Application()->ProcessMessages();
  EXPECT_EQ(clicks, 1);
}

// The real MessageBoxW: the test's timer runs in the box's own message loop, reads what the
// box shows and presses a button.
struct TBoxSeen {
  std::wstring Caption, Text, Yes, No;
  UINT Press = IDNO;
  bool Found = false;
};
TBoxSeen* g_seen = nullptr;

BOOL CALLBACK FindBox(HWND h, LPARAM) {
  wchar_t cls[32] = {};
  GetClassNameW(h, cls, 32);
  if (std::wstring(cls) != L"#32770" || !IsWindowVisible(h)) return TRUE;
  g_seen->Found = true;
  g_seen->Caption = WindowText(h);
  g_seen->Yes = WindowText(GetDlgItem(h, IDYES));
  g_seen->No = WindowText(GetDlgItem(h, IDNO));
  for (HWND c = GetWindow(h, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
    wchar_t k[32] = {};
    GetClassNameW(c, k, 32);
    if (std::wstring(k) == L"Static" && !WindowText(c).empty()) g_seen->Text = WindowText(c);
  }
  PostMessageW(h, WM_COMMAND, MAKEWPARAM(g_seen->Press, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(h, g_seen->Press)));
  return FALSE;
}

void CALLBACK AnswerBox(HWND, UINT, UINT_PTR id, DWORD) {
  EnumThreadWindows(GetCurrentThreadId(), FindBox, 0);
  if (g_seen->Found) KillTimer(nullptr, id);
}

TEST_F(Win32Controls, TheRealBoxShowsTheProgramsButtonTextsAndAnswers) {
  for (UINT press : {IDYES, IDNO}) {
    TBoxSeen seen;
    seen.Press = press;
    g_seen = &seen;
    const UINT_PTR timer = SetTimer(nullptr, 0, 20, AnswerBox);
    TMessageDialog dialog("De installatie is niet voltooid.\rBent u zeker ?", mtConfirmation, {mbYes, mbNo});
    dialog.SetCaption("WAARSCHUWING");
    const int result = dialog.ShowModal();
    KillTimer(nullptr, timer);
    g_seen = nullptr;
    ASSERT_TRUE(seen.Found);
    EXPECT_EQ(seen.Caption, L"WAARSCHUWING");
    EXPECT_EQ(seen.Yes, L"&Yes");  // the toolkit's texts; the wizard's suite checks them in Dutch
    EXPECT_EQ(seen.No, L"&No");
    EXPECT_NE(seen.Text.find(L"Bent u zeker ?"), std::wstring::npos);
    EXPECT_EQ(result, press == IDYES ? mrYes : mrNo);
  }
}

TEST(Win32DriveList, TheShellsNamesAndIconsForTheFixedDisks) {
  const tarvo::testing::TTempDir temp;
  const fs::path& dir = temp.Path();
  fs::create_directories(dir / "c");
  fs::create_directories(dir / "d");
  _putenv_s("TARVO_DRIVES", ("C=" + (dir / "c").string() + ";D=" + (dir / "d").string()).c_str());
  {
    TForm form;
    auto* drives = new TDriveCombo(&form);
    drives->SetParent(&form);
    HWND combo = drives->Widget();
    ASSERT_NE(SendMessageW(combo, CBEM_GETIMAGELIST, 0, 0), 0) << "the shell's image list is attached";
    ASSERT_EQ(drives->Letters(), (std::vector<char>{'C', 'D'}));
    for (int i = 0; i < 2; ++i) {
      COMBOBOXEXITEMW item{};
      item.mask = CBEIF_IMAGE;
      item.iItem = i;
      ASSERT_TRUE(SendMessageW(combo, CBEM_GETITEMW, 0, reinterpret_cast<LPARAM>(&item)));
      EXPECT_GE(item.iImage, 0) << "entry " << i << " has the shell's icon";
    }
    const std::vector<std::string> names = drives->DisplayNames();
    ASSERT_EQ(names.size(), 2u);
    EXPECT_NE(names[1].find("D:"), std::string::npos) << names[1];
    drives->SetDrive('d');
    EXPECT_EQ(SendMessageW(combo, CB_GETCURSEL, 0, 0), 1);
    drives->SetDrive('q');  // not listed: nothing changes
    EXPECT_EQ(drives->Drive(), 'D');
  }
  _putenv_s("TARVO_DRIVES", "");
}

}  // namespace
