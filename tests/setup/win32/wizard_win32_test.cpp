// The wizard on the Win32 backend, driven through the window's own messages as a user's
// keys and clicks arrive: page flow, the button rules, Cancel both ways, the abort page, the
// close box, the keys of the port field, the drive list. Dialogs are answered by the test.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include "../../common/temp_dir.h"
#include "core/published.h"
#include "i18n/translations.h"
#include "scripted_dialogs.h"
#include "setup/frm_main.h"
#include "setup/startup.h"
#include "ui/application.h"
// Windows headers last: their macros would rewrite our names.
#include <windows.h>

using namespace tarvo;
using namespace tarvo::setup;
namespace fs = std::filesystem;

namespace {

class TTestWindow : public TfrmMain {
public:
  using TfrmMain::TfrmMain;
  int Steps = 0;

protected:
  void RunComponentStep() override { ++Steps; }
  bool RunDataStep() override {
    btFINISH->BringToFront();  // as the real step does once the settings are written
    return ++Steps > 0;
  }
};

class WinWizard : public ::testing::Test, protected tarvo::setup::testing::TScriptedDialogs {
protected:
  void SetUp() override {
    fs::create_directories(dir / "c");
    fs::create_directories(dir / "d");
    // The program's folder with the catalogs beside it (a Linux path: Wine's drive Z:).
    fs::copy(fs::path(TARVO_CATALOG_DIR), dir / "locale", fs::copy_options::recursive);
    _putenv_s("TARVO_DRIVES", ("C=" + (dir / "c").string() + ";D=" + (dir / "d").string()).c_str());
    service = std::make_unique<i18n::TTranslationService>((dir / "tarvo-setup.exe").string());
    RegisterTranslationExclusions();
    InstallDialogs();
    w = std::make_unique<TTestWindow>();
    w->Show();
  }
  void TearDown() override {
    w.reset();
    RestoreDialogs();
    service.reset();
    _putenv_s("TARVO_DRIVES", "");
    EXPECT_TRUE(answers.empty()) << "a dialog the test answered did not appear";
  }
  // A key as the keyboard sends it to the focused control, then the loop's pass over it.
  void Key(WPARAM key) {
    HWND focus = GetFocus();
    PostMessageW(focus ? focus : w->Widget(), WM_KEYDOWN, key, 0);
    ui::Application()->ProcessMessages();
  }
  int Page() const { return w->Notebook1->PageIndex(); }

  tarvo::testing::TTempDir FTemp;
  const fs::path& dir = FTemp.Path();
  std::unique_ptr<i18n::TTranslationService> service;
  std::unique_ptr<TTestWindow> w;
};

TEST_F(WinWizard, EnterWalksThePagesAndFinishTakesOverOnTheDonePage) {
  for (int expected : {pgStart, pgLocatie, pgProxySettings, pgData, pgEinde}) {
    Key(VK_RETURN);
    EXPECT_EQ(Page(), expected);
  }
  EXPECT_EQ(w->Steps, 2);
  EXPECT_TRUE(w->btFINISH->IsInFrontOf(*w->btNEXT));
  // Next is covered now: Enter is Finish's, and the window closes.
  Key(VK_RETURN);
  EXPECT_FALSE(w->Showing());
}

struct TCancelCase {
  const char* Name;
  WPARAM How;  // VK_ESCAPE, or 0 for the close box
  int Answer;
  int PageAfter;
};

const TCancelCase kCancels[] = {
    {"escape_no", VK_ESCAPE, ui::mrNo, pgStart},
    {"escape_yes", VK_ESCAPE, ui::mrYes, pgAbort},
};

class WinCancel : public WinWizard, public ::testing::WithParamInterface<TCancelCase> {};

TEST_P(WinCancel, AsksAndOnYesEndsOnTheAbortPage) {
  const TCancelCase& c = GetParam();
  Key(VK_RETURN);
  answers.push_back(c.Answer);
  Key(c.How);
  EXPECT_EQ(Page(), c.PageAfter);
  EXPECT_EQ(w->btCANCEL->Visible(), c.PageAfter != pgAbort);
  ASSERT_EQ(shown.size(), 1u);
  EXPECT_EQ(shown[0].Buttons, (std::vector<std::string>{"&Ja", "&Nee"}));
  // On the abort page Esc has no Cancel to click any more, and Enter is Finish's.
  if (c.PageAfter == pgAbort) {
    Key(VK_ESCAPE);
    EXPECT_TRUE(w->Showing());
    Key(VK_RETURN);
    EXPECT_FALSE(w->Showing());
  }
}

INSTANTIATE_TEST_SUITE_P(Keys, WinCancel, ::testing::ValuesIn(kCancels),
                         [](const auto& info) { return std::string(info.param.Name); });

TEST_F(WinWizard, TheCloseBoxClosesWhenNoStepRuns) {
  SendMessageW(w->Widget(), WM_CLOSE, 0, 0);
  EXPECT_FALSE(w->Showing());
}

struct TPortCase {
  const char* Typed;
  const char* Text;
};

const TPortCase kPorts[] = {{"8080", "8080"}, {"80a8", "808"}, {"-12", "-12"}, {"1-2", "12"}, {" 3", "3"}};

class WinPort : public WinWizard, public ::testing::WithParamInterface<TPortCase> {};

TEST_P(WinPort, ThePortFieldDropsTheKeysItDoesNotTake) {
  w->Notebook1->SetPageIndex(pgProxySettings);
  // The fields take input only while the proxy is used.
  w->PROXY_USE->SetChecked(true);
  w->PROXY_USE->OnClick(w->PROXY_USE);
  HWND port = w->PROXY_POORT->Widget();
  SetFocus(port);
  for (const char* c = GetParam().Typed; *c; ++c) PostMessageW(port, WM_CHAR, static_cast<WPARAM>(*c), 0);
  ui::Application()->ProcessMessages();
  EXPECT_EQ(w->PROXY_POORT->Text(), GetParam().Text);
}

INSTANTIATE_TEST_SUITE_P(Keys, WinPort, ::testing::ValuesIn(kPorts));

TEST_F(WinWizard, TheDriveListOffersTheDrivesAndAHiddenPageTakesNoTab) {
  EXPECT_EQ(w->InstallDrive->Letters(), (std::vector<char>{'C', 'D'}));
  EXPECT_EQ(w->InstallDrive->Drive(), 'C');
  w->InstallDrive->SetDrive('d');
  EXPECT_EQ(w->InstallDrive->Drive(), 'D');
  // Tab on the language page never lands on a control of another page.
  for (int i = 0; i < 8; ++i) {
    Key(VK_TAB);
    HWND focus = GetFocus();
    ASSERT_NE(focus, nullptr);
    EXPECT_TRUE(IsWindowVisible(focus));
    EXPECT_NE(focus, w->btFINISH->Widget());  // covered by Next
  }
}

}  // namespace

namespace {

LOGFONTW ShownFont(HWND h) {
  LOGFONTW lf{};
  GetObjectW(reinterpret_cast<HFONT>(SendMessageW(h, WM_GETFONT, 0, 0)), sizeof(lf), &lf);
  return lf;
}

TEST_F(WinWizard, HeadingsInBoldThirteenPixelsTheOtherTextsInTheWindowsFont) {
  for (const char* name : {"lbTitleTaal", "lbTitleProxy", "lbTitleAbort"}) {
    auto* heading = dynamic_cast<TControl*>(w->FindComponent(name));
    ASSERT_NE(heading, nullptr) << name;
    const LOGFONTW lf = ShownFont(heading->Widget());
    EXPECT_EQ(lf.lfWeight, FW_BOLD) << name;
    EXPECT_EQ(lf.lfHeight, -13) << name;
  }
  const LOGFONTW text = ShownFont(dynamic_cast<TControl*>(w->FindComponent("lbProxy1"))->Widget());
  EXPECT_EQ(text.lfWeight, FW_NORMAL);
  EXPECT_EQ(text.lfHeight, -11);
  EXPECT_STREQ(text.lfFaceName, L"Tahoma");
}

}  // namespace
