// The real window, offscreen, clicked through installations against the real nginx: what
// lands on disk, where each ending leaves the window, Cancel and the close box during a
// download. Every dialog is answered by the test.
#include <algorithm>
#include <cstdlib>
#include <deque>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include <QTimer>
#include <QWidget>

#include <gtest/gtest.h>

#include "install_sandbox.h"
#include "i18n/translations.h"
#include "platform/shell_link.h"
#include "scripted_dialogs.h"
#include "setup/frm_main.h"
#include "setup/startup.h"
#include "ui/application.h"
#include "ui/dialogs.h"

using namespace tarvo;
using namespace tarvo::setup;
using namespace tarvo::setup::testing;
namespace fs = std::filesystem;

namespace {

class WizardInstall : public ::testing::Test, protected tarvo::setup::testing::TScriptedDialogs {
protected:
  void Open(const std::string& scenario) {
    if (!TArchiveServer::Get().Ok()) GTEST_SKIP() << "nginx did not start";
    box = std::make_unique<TSandbox>(scenario);
    ::setenv("TARVO_DRIVES", ("C=" + box->Path() + "/c").c_str(), 1);
    service = std::make_unique<i18n::TTranslationService>(fs::path(TARVO_CATALOG_DIR).parent_path() / "tarvo-setup");
    RegisterTranslationExclusions();
    InstallDialogs();
    w = std::make_unique<TfrmMain>();
    w->Show();
    for (int i = 0; i < pgProxySettings; ++i) w->btNEXT->Click();
  }
  void TearDown() override {
    w.reset();
    RestoreDialogs();
    service.reset();
    box.reset();
    ::unsetenv("TARVO_DRIVES");
    EXPECT_TRUE(answers.empty()) << "a dialog the test answered did not appear";
  }
  int Page() const { return w->Notebook1->PageIndex(); }
  std::string Install() const { return box->Install(); }

  std::unique_ptr<TSandbox> box;
  std::unique_ptr<i18n::TTranslationService> service;
  std::unique_ptr<TfrmMain> w;
};

TEST_F(WizardInstall, ClickedThroughInstallsTheFilesTheSettingsAndTheShortcut) {
  Open("ok");
  std::vector<int> positions;
  QTimer watch;
  QObject::connect(&watch, &QTimer::timeout, [&] {
    if (Page() == pgInstallMain) positions.push_back(w->ProgressBar->Position());
  });
  watch.start(0);
  w->btNEXT->Click();
  ASSERT_EQ(Page(), pgData);
  EXPECT_EQ(w->GegevensLocatie->Text(), Install() + "DATA");
  // One bar across the step: it moved from its start to its end and never went back.
  ASSERT_FALSE(positions.empty());
  EXPECT_EQ(positions.back(), 100);
  EXPECT_TRUE(std::is_sorted(positions.begin(), positions.end()));
  w->btNEXT->Click();
  ASSERT_EQ(Page(), pgEinde);
  EXPECT_TRUE(w->btFINISH->IsInFrontOf(*w->btNEXT));
  EXPECT_TRUE(shown.empty());

  EXPECT_EQ(Tree(Install()),
            "DATA/\nDATA/FOTO/\nDATA/KLANTEN.CSV\nDATA/WINKEL.DAT\nSETUP.INI\nTARVO.EXE\nTARVO.HLP\nVERSION.TXT\n"
            "upgrade.zip\n");
  EXPECT_EQ(ReadFile(Install() + "SETUP.INI"), "[PRINT]\r\nPRINTER=LPT1\r\n[SETUP]\r\nTAAL=NLB\r\nKASSA=2\r\n"
                                               "DATA_DIRECTORY=" + Install() + "DATA/\r\n");
  platform::TShellLink link;
  link.SetLinkFile(box->Desktop() + "T.Arvo.lnk");
  ASSERT_TRUE(link.Read());
  EXPECT_EQ(link.ProgramFile(), Install() + "TARVO.EXE");
  EXPECT_EQ(link.Description(), "TArvo");
}

struct FailureCase {
  const char* scenario;
  const char* box;  // the error box's text
};

// The first line is the server's; the second names the file and the address.
const FailureCase kFailures[] = {
    {"missing", "HTTP/1.1 404 Not Found\r\nmain.zip kon niet worden gedownload van @/missing/tarvo/Files/main.zip."},
    {"nocontent", "HTTP Error:204: HTTP/1.1 204 No Content\r\nmain.zip kon niet worden gedownload van "
                  "@/nocontent/tarvo/Files/main.zip."},
};

class ComponentFailure : public WizardInstall, public ::testing::WithParamInterface<FailureCase> {};

TEST_P(ComponentFailure, EndsOnTheAbortPageWithTheStatusLineAndNoArchive) {
  Open(GetParam().scenario);
  answers.push_back(ui::mrOk);
  w->btNEXT->Click();
  EXPECT_EQ(Page(), pgAbort);
  EXPECT_FALSE(w->btCANCEL->Visible());
  ASSERT_EQ(shown.size(), 1u);
  EXPECT_EQ(shown[0].Type, ui::mtError);
  std::string expected = GetParam().box;
  const std::string base = TArchiveServer::Get().Base("x");
  expected.replace(expected.find('@'), 1, base.substr(0, base.find("/x/")));
  EXPECT_EQ(shown[0].Text, expected);
  EXPECT_EQ(Tree(Install()), "");
}

INSTANTIATE_TEST_SUITE_P(Wizard, ComponentFailure, ::testing::ValuesIn(kFailures),
                         [](const auto& info) { return std::string(info.param.scenario); });

// Cancel, or the close box, in the middle of a download: asked, and on Yes the step stops
// at its next notification, on the abort page, with nothing of the archive left. The close
// box never takes the window away under the step; it closes once the step has stopped.
class CancelDuringDownload : public WizardInstall, public ::testing::WithParamInterface<bool> {};

TEST_P(CancelDuringDownload, StopsOnTheAbortPageWithoutAPartialArchive) {
  const bool closeBox = GetParam();
  Open("big");
  const int requestsBefore = TArchiveServer::Get().Requests("/big/tarvo/Files/upgrade.zip");
  answers.push_back(ui::mrYes);
  bool pressed = false, showingAfterPress = false;
  QTimer watch;
  QObject::connect(&watch, &QTimer::timeout, [&] {
    const int position = w->ProgressBar->Position();
    if (pressed || Page() != pgInstallMain || position <= 0 || position >= 40) return;
    pressed = true;
    EXPECT_FALSE(w->btNEXT->Enabled() || w->btFINISH->Enabled());  // Cancel is the only way out
    if (closeBox) w->Widget()->close();
    else w->btCANCEL->Click();
    showingAfterPress = w->Showing();
  });
  watch.start(0);
  w->btNEXT->Click();
  ASSERT_TRUE(pressed);
  EXPECT_TRUE(showingAfterPress);
  EXPECT_EQ(Page(), pgAbort);
  EXPECT_EQ(w->Showing(), !closeBox);
  ASSERT_EQ(shown.size(), 1u);
  EXPECT_EQ(shown[0].Text, "De installatie is niet voltooid.\rBent u zeker ?");
  EXPECT_EQ(Tree(Install()), "");
  EXPECT_EQ(TArchiveServer::Get().Requests("/big/tarvo/Files/upgrade.zip"), requestsBefore);
}

INSTANTIATE_TEST_SUITE_P(Wizard, CancelDuringDownload, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "close_box" : "cancel_button"; });

struct DataCase {
  const char* name;
  bool existingData;
  bool withDataFile;
  bool iniIsAFolder;  // SETUP.INI cannot be written
  int page;
  const char* box;  // beginning of the box's text, or none
};

const DataCase kDataCases[] = {
    {"rejected_location", true, false, false, pgData, "De opgegeven locatie bevat geen geldige gegevens."},
    {"existing_data", true, true, false, pgEinde, nullptr},
    {"settings_unwritable", false, false, true, pgInstallData, "Kan niet schrijven naar "},
};

class DataStep : public WizardInstall, public ::testing::WithParamInterface<DataCase> {};

TEST_P(DataStep, EndsWhereItsOutcomeLeadsWithNextEnabled) {
  const DataCase& c = GetParam();
  Open("ok");
  w->btNEXT->Click();
  ASSERT_EQ(Page(), pgData);
  const std::string data = box->Path() + "/elders";
  fs::create_directories(data);
  if (c.withDataFile) WriteFile(data + "/WINKEL.DAT", "");
  if (c.iniIsAFolder) {
    fs::remove(Install() + "SETUP.INI");  // the one upgrade.zip brought
    fs::create_directories(Install() + "SETUP.INI");
  }
  if (c.existingData) {
    w->rbWORKSTATION->SetChecked(true);
    w->GegevensLocatie->SetText(data);
  }
  if (c.box) answers.push_back(ui::mrOk);
  w->btNEXT->Click();
  EXPECT_EQ(Page(), c.page);
  EXPECT_TRUE(w->btNEXT->Enabled());
  EXPECT_EQ(ui::Screen().Cursor(), ui::crDefault);
  ASSERT_EQ(shown.size(), c.box ? 1u : 0u);
  if (c.box) {
    EXPECT_EQ(shown[0].Text.rfind(c.box, 0), 0u) << shown[0].Text;
  }
  // The settings and the shortcut only on the done page.
  const bool written = c.page == pgEinde;
  EXPECT_EQ(ReadFile(Install() + "SETUP.INI").find("DATA_DIRECTORY=" + data + "/\r\n") != std::string::npos, written);
  EXPECT_EQ(fs::exists(box->Desktop() + "T.Arvo.lnk"), written);
}

INSTANTIATE_TEST_SUITE_P(Wizard, DataStep, ::testing::ValuesIn(kDataCases),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
