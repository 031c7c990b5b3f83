// tarvo-demo-walk SCREENS: the wizard's window without a display, walked through every page
// in French and then in Dutch, each page saved as SCREENS/<lang>-<page>.png. The steps are
// the real ones (drives, desktop and download address come from the environment, as for
// tarvo-setup); the boxes are answered here and printed: Yes to any question, OK to any error
// box. On the done page Cancel just closes the window; a second window, cancelled on its
// second page, gives the abort page. Exit status 0 when both walks went as they should.
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
  auto shotOf = [&](TfrmMain& form, int page) {
    const std::string file = screens + "/" + lang + "-" + std::to_string(page) + ".png";
    if (!form.SaveImage(file)) std::cerr << "cannot write " << file << "\n";
  };
  auto shot = [&](int page) { shotOf(w, page); };
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
  w.btCANCEL->Click();  // on the done page: nothing is left to cancel, the window closes
  if (w.Showing() || w.ExitStatus() != 0) {
    std::cerr << lang << ": Cancel on the done page did not just close the window\n";
    return false;
  }
  // Cancel before the installation: asked, and Yes ends on the abort page.
  TfrmMain cancelled;
  cancelled.Show();
  (french ? cancelled.rbFRANS : cancelled.rbNEDERLANDS)->SetChecked(true);
  cancelled.btNEXT->Click();
  cancelled.btCANCEL->Click();
  shotOf(cancelled, cancelled.Notebook1->PageIndex());
  return cancelled.Notebook1->PageIndex() == pgAbort && cancelled.ExitStatus() == 3;
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
