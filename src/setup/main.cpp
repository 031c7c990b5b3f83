// tarvo-setup: the installation wizard of T.Arvo; with --silent (or --help) the installation
// without the window.
#include <exception>

#include "i18n/translations.h"
#include "platform/dll_search.h"
#include "setup/frm_main.h"
#include "setup/silent.h"
#include "setup/startup.h"
#include "ui/application.h"

int main(int argc, char** argv) {
  using namespace tarvo;
  platform::RestrictDllSearch();
  // The silent mode needs no display: it goes before the toolkit starts.
  if (setup::WantsSilentSetup(argc, argv)) return setup::RunSilentSetup(argc, argv);
  i18n::TTranslationService translations;
  ui::TApplication application(argc, argv);
  application.SetTitle("Setup");
  setup::RegisterTranslationExclusions();
  try {
    setup::TfrmMain frmMain;
    const int ran = application.Run(&frmMain);
    return ran != 0 ? ran : frmMain.ExitStatus();
  } catch (const std::exception& e) {
    ui::HandleException(e);
    return 1;
  }
}
