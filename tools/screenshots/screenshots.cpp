// tarvo-screenshots DIR [SCALE]: a picture of every page of the wizard in Dutch and in
// French, DIR/nl-0.png ... DIR/fr-8.png, as the user sees them at that screen scale.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "i18n/translations.h"
#include "setup/frm_main.h"
#include "setup/startup.h"
#include "ui/application.h"

using namespace tarvo;

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: tarvo-screenshots DIR [SCALE]\n");
    return 2;
  }
  const std::string dir = argv[1];
  if (argc > 2) ::setenv("QT_SCALE_FACTOR", argv[2], 1);
  i18n::TTranslationService translations;
  ui::TApplication application(argc, argv);
  application.SetTitle("Setup");
  setup::RegisterTranslationExclusions();
  int failures = 0;
  for (const char* language : {"nl", "fr"}) {
    setup::TfrmMain form;
    form.Show();
    form.rbFRANS->SetChecked(std::string(language) == "fr");
    form.rbNEDERLANDS->SetChecked(std::string(language) == "nl");
    for (int page = 0; page < form.Notebook1->PageCount(); ++page) {
      if (page == 1) form.btNEXTClick(form.btNEXT);  // the language switch
      form.Notebook1->SetPageIndex(page);
      if (page >= setup::pgEinde) form.btFINISH->BringToFront();
      if (page == setup::pgAbort) form.btCANCEL->Hide();
      application.ProcessMessages();
      const std::string file = dir + "/" + language + "-" + std::to_string(page) + ".png";
      if (!form.SaveImage(file)) {
        std::fprintf(stderr, "cannot write %s\n", file.c_str());
        ++failures;
      }
    }
  }
  return failures == 0 ? 0 : 1;
}
