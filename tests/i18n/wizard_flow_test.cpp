// The service as the wizard uses it, on the program's own catalogs: start in Dutch,
// switch to French on the language page, and a damaged catalog at that switch.
#include <string>

#include "catalog_helpers.h"
#include "core/resource_string.h"
#include "i18n/gettext_errors.h"
#include "i18n/translations.h"
#include "test_widgets.h"

using namespace tarvo::i18n;
using namespace testcatalogs;
using namespace testwidgets;

namespace {

TARVO_RESOURCESTRING(SMsgDlgYes, 4950, "&Yes");

struct Window {
  std::unique_ptr<TControl> form = std::make_unique<TControl>();
  TControl* cancel = new TControl(form.get());
  TControl* next = new TControl(form.get());
  TNotebook* pages = new TNotebook(form.get());
  Window() {
    form->SetCaption("BVBA T.Arvo - Setup");
    cancel->SetName("btCANCEL");
    cancel->SetCaption("&Annuleer");
    next->SetName("btNEXT");
    next->SetCaption("Volgende >");
    pages->SetName("Notebook1");
    pages->Pages()->SetText("SelectTaal\nStart\nLocatie\n");
  }
};

}  // namespace

TEST(WizardFlow, DutchAtStartFrenchAfterTheLanguagePage) {
  TempFolder dir;
  fs::copy(fs::path(TARVO_CATALOG_DIR), dir.path / "locale", fs::copy_options::recursive);
  TTranslationService service(dir.Exe());
  GlobalIgnoreClassProperty(ClassInfoOf<TNotebook>(), "Pages");
  GlobalIgnoreClass(ClassInfoOf<TFont>());
  Window w;
  UseLanguage("nl");
  TranslateComponent(w.form.get());
  EXPECT_EQ(w.next->Caption(), "Volgende >");
  EXPECT_EQ(tarvo::core::LoadResString(SMsgDlgYes), "&Ja");

  UseLanguage("fr");
  RetranslateComponent(w.form.get());
  EXPECT_EQ(w.form->Caption(), "SPRL T.Arvo - Installation");
  EXPECT_EQ(w.cancel->Caption(), "&Annuler");
  EXPECT_EQ(w.next->Caption(), "Suivant >");
  EXPECT_EQ(w.pages->Pages()->Strings(2), "Locatie");  // page names are never translated
  EXPECT_EQ(_("De installatie is niet voltooid.") + "\r" + _("Bent u zeker ?"),
            "L'installation n'est pas terminée.\rÊtes-vous sûr\u00a0?");
  EXPECT_EQ(tarvo::core::LoadResString(SMsgDlgYes), "&Oui");
}

TEST(WizardFlow, DamagedFrenchCatalogFailsTheLanguageSwitch) {
  TempFolder dir;
  fs::copy(fs::path(TARVO_CATALOG_DIR), dir.path / "locale", fs::copy_options::recursive);
  const fs::path fr = dir.Catalog("fr");
  std::string bytes = ReadFile(fr);
  bytes.resize(bytes.size() / 2);  // a download cut short
  fs::remove(fr);
  WriteFile(fr, bytes);
  TTranslationService service(dir.Exe());
  Window w;
  UseLanguage("nl");
  TranslateComponent(w.form.get());
  UseLanguage("fr");
  try {
    RetranslateComponent(w.form.get());
    FAIL() << "a damaged catalog went unnoticed";
  } catch (const EGettextIOError& e) {
    EXPECT_EQ(e.Message(), "This file is not a valid GNU gettext mo file: " + fr.string());
  }
  EXPECT_EQ(_("Voltooien"), "Voltooien");  // reported once; the texts stay Dutch
}
