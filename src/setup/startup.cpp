#include "setup/startup.h"

#include "http/http_client.h"
#include "i18n/translations.h"
#include "ui/controls.h"

namespace tarvo::setup {

void RegisterTranslationExclusions() {
  i18n::GlobalIgnoreClassProperty(ui::TAction::StaticClassInfo(), "Category");
  i18n::GlobalIgnoreClassProperty(ui::TControl::StaticClassInfo(), "HelpKeyword");
  i18n::GlobalIgnoreClassProperty(ui::TNotebook::StaticClassInfo(), "Pages");
  i18n::GlobalIgnoreClassProperty(ui::TControl::StaticClassInfo(), "ImeName");
  i18n::GlobalIgnoreClass(ui::TFont::StaticClassInfo());
  i18n::GlobalIgnoreClassProperty(http::TNetHTTP::StaticClassInfo(), "Request");
}

}  // namespace tarvo::setup
