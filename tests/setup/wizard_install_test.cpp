// The real window, offscreen, clicked through installations against the real nginx: what
// lands on disk, where each ending leaves the window, Cancel and the close box during a
// download. Every dialog is answered by the test.
#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <string_view>
#include <thread>
#include <deque>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include <QTimer>
#include <QWidget>

#include <gtest/gtest.h>

#include "../net/loopback_server.h"
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
  // A scenario of the archive server, or a base address of another server.
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
  EXPECT_EQ(w->ExitStatus(), 0);

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
  // Nothing is left to cancel: Cancel closes without a question and without calling the
  // installation a failure.
  w->btCANCEL->Click();
  EXPECT_TRUE(shown.empty());
  EXPECT_FALSE(w->Showing());
  EXPECT_EQ(w->ExitStatus(), 0);
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
  EXPECT_EQ(w->ExitStatus(), 1);
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
  EXPECT_EQ(w->ExitStatus(), 3);
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


// ---- a window that stays alive: Cancel is answered at once, whatever the server does

using Clock = std::chrono::steady_clock;

void SilentServer(net::testing::TPeer& peer) {
  peer.ReadUntil("\r\n\r\n");
  while (!peer.Stopping()) std::this_thread::sleep_for(std::chrono::milliseconds(20));
}
void TricklingServer(net::testing::TPeer& peer) {
  peer.ReadUntil("\r\n\r\n");
  const std::string head = "HTTP/1.1 200 OK\r\nContent-Length: 100000\r\n";
  for (std::size_t i = 0; !peer.Stopping(); ++i) peer.Send(std::string(1, head[i % head.size()]), 300);
}

struct TResponsiveCase {
  const char* Name;
  void (*Script)(net::testing::TPeer&);  // none: nginx's "slow" scenario (20 KB/s)
};

const TResponsiveCase kResponsive[] = {
    {"throttled_nginx", nullptr},
    {"silent_server", SilentServer},
    {"trickling_server", TricklingServer},
};

class Responsive : public WizardInstall, public ::testing::WithParamInterface<TResponsiveCase> {};

TEST_P(Responsive, CancelIsAnsweredAtOnceAndEndsTheStepWithoutAnErrorBox) {
  std::unique_ptr<net::testing::TLoopbackServer> server;
  if (GetParam().Script) server = std::make_unique<net::testing::TLoopbackServer>(GetParam().Script);
  Open(server ? "http://127.0.0.1:" + std::to_string(server->Port()) + "/tarvo/Files/" : "slow");
  // The user clicks Cancel a second into the step; the dialog must follow that click, not
  // the next whole percent or the server's next byte.
  Clock::time_point clicked, asked;
  ui::TCursor cursorAsked = ui::crHourGlass;
  ui::TDialogHook scripted = ui::SetDialogHook([&](const ui::TDialogRequest& r) {
    asked = Clock::now();
    cursorAsked = ui::Screen().Cursor();  // the question shows the normal pointer
    shown.push_back(r);
    return ui::mrYes;
  });
  QTimer::singleShot(1000, [&] {
    clicked = Clock::now();
    w->btCANCEL->Click();
  });
  const Clock::time_point start = Clock::now();
  w->btNEXT->Click();
  const Clock::time_point ended = Clock::now();
  ui::SetDialogHook(scripted);
  ASSERT_EQ(shown.size(), 1u) << shown.back().Text;  // the question, and no error box after it
  EXPECT_EQ(shown[0].Text, "De installatie is niet voltooid.\rBent u zeker ?");
  // Bounds in seconds, generous: the frozen window took 10 s and more here (60 s silent).
  EXPECT_LT(clicked - start, std::chrono::seconds(8)) << "the timer itself waited on a frozen window";
  EXPECT_LT(asked - clicked, std::chrono::seconds(6));
  EXPECT_LT(ended - asked, std::chrono::seconds(6));
  EXPECT_EQ(cursorAsked, ui::crDefault);
  EXPECT_EQ(Page(), pgAbort);
  EXPECT_EQ(Tree(Install()), "");
}

INSTANTIATE_TEST_SUITE_P(Wizard, Responsive, ::testing::ValuesIn(kResponsive),
                         [](const auto& info) { return std::string(info.param.Name); });

// The progress page names the phase and the file, with bytes, speed and time left.
TEST_F(WizardInstall, TheProgressPageSaysWhatIsBeingDone) {
  Open("slow");
  std::vector<std::string> phases, details;
  ui::TDialogHook scripted = ui::SetDialogHook([&](const ui::TDialogRequest&) { return ui::mrYes; });
  QTimer watch;
  QObject::connect(&watch, &QTimer::timeout, [&] {
    if (Page() != pgInstallMain) return;
    if (phases.empty() || phases.back() != w->lbMainPhase->Caption()) phases.push_back(w->lbMainPhase->Caption());
    details.push_back(w->lbMainDetail->Caption());
    if (details.back().find("nog ") != std::string::npos) w->btCANCEL->Click();
  });
  watch.start(100);
  w->btNEXT->Click();
  ui::SetDialogHook(scripted);
  ASSERT_FALSE(phases.empty());
  EXPECT_EQ(phases.back(), "main.zip downloaden (1 van 2)");
  ASSERT_FALSE(details.empty());
  EXPECT_TRUE(Matches("* KB van 8,0 MB - * KB/s - nog *", details.back())) << details.back();
}

// A proxy that refuses: Retry takes the user back to the proxy page, Cancel (the box's other
// button) ends on the abort page as any failure does.
class RetryOnThePageThree : public WizardInstall, public ::testing::WithParamInterface<int> {};

TEST_P(RetryOnThePageThree, RetryGoesBackToTheProxySettings) {
  Open("ok");
  w->PROXY_USE->SetChecked(true);
  w->PROXY_SERVER->SetText("127.0.0.1");
  w->PROXY_POORT->SetText(std::to_string(http::testing::FreeLoopbackPort()));
  answers.push_back(GetParam());
  w->btNEXT->Click();
  ASSERT_EQ(shown.size(), 1u);
  EXPECT_EQ(shown[0].Type, ui::mtError);
  EXPECT_EQ(shown[0].Buttons, (std::vector<std::string>{"&Opnieuw", "Annuleren"}));
  EXPECT_TRUE(Matches("Socketfout nr. 10061\r\nVerbinding geweigerd.\r\nDe proxyserver 127.0.0.1:* weigert de verbinding: "
                      "controleer het adres en de poort.\r\rKies Opnieuw om de proxy-instellingen na te kijken.",
                      shown[0].Text))
      << shown[0].Text;
  const bool retry = GetParam() == ui::mrRetry;
  EXPECT_EQ(Page(), retry ? pgProxySettings : pgAbort);
  EXPECT_EQ(w->btCANCEL->Visible(), retry);
  EXPECT_TRUE(w->btNEXT->Enabled());
  EXPECT_EQ(w->btFINISH->IsInFrontOf(*w->btNEXT), !retry);
  if (!retry) return;
  // The corrected settings go through.
  w->PROXY_USE->SetChecked(false);
  w->btNEXT->Click();
  EXPECT_EQ(Page(), pgData);
}

INSTANTIATE_TEST_SUITE_P(Wizard, RetryOnThePageThree, ::testing::Values(ui::mrRetry, ui::mrCancel),
                         [](const auto& info) { return info.param == ui::mrRetry ? "retry" : "cancel"; });

// Setup run again over an installation whose data the shop changed: asked, No by default,
// and No keeps the data and still writes the settings.
class RerunOverData : public WizardInstall, public ::testing::WithParamInterface<int> {};

TEST_P(RerunOverData, AsksBeforeReplacingTheDataFile) {
  Open("ok");
  w->btNEXT->Click();
  w->btNEXT->Click();
  ASSERT_EQ(Page(), pgEinde);
  const std::string data = Install() + "DATA/WINKEL.DAT";
  WriteFile(data, "changed by the shop\n");
  w.reset();
  w = std::make_unique<TfrmMain>();
  w->Show();
  for (int i = 0; i < pgProxySettings; ++i) w->btNEXT->Click();
  w->btNEXT->Click();
  ASSERT_EQ(Page(), pgData);
  std::vector<int> pagesSeen;
  answers.push_back(GetParam());
  const int dataRequests = TArchiveServer::Get().Requests("/ok/tarvo/Files/data.zip");
  w->btNEXT->Click();
  ASSERT_EQ(shown.size(), 1u);
  EXPECT_EQ(shown[0].Type, ui::mtWarning);
  EXPECT_EQ(shown[0].Buttons, (std::vector<std::string>{"&Ja", "&Nee"}));
  EXPECT_EQ(shown[0].Default, 1u);  // Enter keeps the data
  EXPECT_NE(shown[0].Text.find("WINKEL.DAT"), std::string::npos);
  EXPECT_EQ(Page(), pgEinde);
  const bool replaced = GetParam() == ui::mrYes;
  EXPECT_EQ(ReadFile(data), replaced ? std::string(4096, '\0') : "changed by the shop\n");
  EXPECT_EQ(TArchiveServer::Get().Requests("/ok/tarvo/Files/data.zip"), dataRequests + (replaced ? 1 : 0));
  EXPECT_EQ(w->lbDataPhase->Caption(), replaced ? "data.zip uitpakken (1 van 1)" : "De bestaande gegevens blijven behouden.");
  EXPECT_NE(ReadFile(Install() + "SETUP.INI").find("DATA_DIRECTORY=" + Install() + "DATA/\r\n"), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(Wizard, RerunOverData, ::testing::Values(ui::mrNo, ui::mrYes),
                         [](const auto& info) { return info.param == ui::mrYes ? "yes" : "no"; });

}  // namespace
