// tarvo-demo-walk SCREENS: the wizard's window without a display, walked through every page
// in French and then in Dutch, each page saved as SCREENS/<lang>-<page>.png. The steps are
// the real ones (drives, desktop and download address come from the environment, as for
// tarvo-setup); the boxes are answered here and printed: Yes to Cancel's question on the
// done page, which shows the abort page, and OK to any error box. Exit status 0 when both
// walks reached the done page.
#include <iostream>
#include <string>

#include "platform/dll_search.h"
#include "i18n/translations.h"
#include "setup/frm_main.h"
#include "setup/startup.h"
#include "ui/application.h"
#include "ui/dialogs.h"

using namespace tarvo;
using namespace tarvo::setup;

namespace {

bool Walk(const std::string& screens, bool french) {
  const std::string lang = french ? "fr" : "nl";
  TfrmMain w;
  w.Show();
  auto shot = [&](int page) {
    const std::string file = screens + "/" + lang + "-" + std::to_string(page) + ".png";
    if (!w.SaveImage(file)) std::cerr << "cannot write " << file << "\n";
  };
  auto page = [&] { return w.Notebook1->PageIndex(); };
  // The waiting pages are taken while their step runs, from its progress notifications;
  // page 4 at the last position short of the end.
  ui::TApplication& app = *ui::Application();
  app.OnMessagesProcessed = [&] {
    if ((page() == pgInstallMain && w.ProgressBar->Position() < 100) || page() == pgInstallData) shot(page());
  };

  shot(pgSelectTaal);
  (french ? w.rbFRANS : w.rbNEDERLANDS)->SetChecked(true);
  for (int expected : {pgStart, pgLocatie, pgProxySettings, pgData, pgEinde}) {
    w.btNEXT->Click();
    if (page() != expected) {
      std::cerr << lang << ": page " << page() << " instead of " << expected << "\n";
      shot(page());
      app.OnMessagesProcessed = nullptr;
      return false;
    }
    shot(page());
  }
  app.OnMessagesProcessed = nullptr;
  w.btCANCEL->Click();  // on the done page: asks, and Yes shows the abort page
  shot(page());
  return page() == pgAbort;
}

}  // namespace

int main(int argc, char** argv) {
  tarvo::platform::RestrictDllSearch();
  if (argc != 2) {
    std::cerr << "usage: tarvo-demo-walk SCREENS_FOLDER\n";
    return 2;
  }
  ui::UseOffscreenDisplay();
  i18n::TTranslationService translations;
  ui::TApplication application(argc, argv);
  application.SetTitle("Setup");
  RegisterTranslationExclusions();
  ui::SetDialogHook([](const ui::TDialogRequest& r) {
    std::string text = r.Text;
    for (char& c : text)
      if (c == '\r' || c == '\n') c = ' ';
    std::cerr << "  [" << r.Caption << "] " << text << "\n";
    return r.Type == ui::mtConfirmation ? ui::mrYes : ui::mrOk;
  });
  bool ok = true;
  for (bool french : {true, false}) {
    std::cerr << (french ? "fr" : "nl") << ": walking the window\n";
    ok = Walk(argv[1], french) && ok;
  }
  return ok ? 0 : 1;
}
