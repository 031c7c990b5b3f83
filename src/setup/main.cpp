// tarvo-setup: the installation wizard of T.Arvo.
#include <exception>

#include "i18n/translations.h"
#include "setup/frm_main.h"
#include "setup/startup.h"
#include "ui/application.h"

int main(int argc, char** argv) {
  using namespace tarvo;
  i18n::TTranslationService translations;
  ui::TApplication application(argc, argv);
  application.SetTitle("Setup");
  setup::RegisterTranslationExclusions();
  try {
    setup::TfrmMain frmMain;
    return application.Run(&frmMain);
  } catch (const std::exception& e) {
    ui::HandleException(e);
    return 1;
  }
}
