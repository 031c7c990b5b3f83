#include "setup/startup.h"

#include "http/http_client.h"
#include "i18n/translations.h"
#include "ui/controls.h"

namespace tarvo::setup {

void RegisterTranslationExclusions() {
  i18n::GlobalIgnoreClassProperty(::tarvo::core::ClassInfoOf<ui::TAction>(), "Category");
  i18n::GlobalIgnoreClassProperty(::tarvo::core::ClassInfoOf<ui::TControl>(), "HelpKeyword");
  i18n::GlobalIgnoreClassProperty(::tarvo::core::ClassInfoOf<ui::TNotebook>(), "Pages");
  i18n::GlobalIgnoreClassProperty(::tarvo::core::ClassInfoOf<ui::TControl>(), "ImeName");
  i18n::GlobalIgnoreClass(::tarvo::core::ClassInfoOf<ui::TFont>());
  i18n::GlobalIgnoreClassProperty(::tarvo::core::ClassInfoOf<http::TNetHTTP>(), "Request");
}

}  // namespace tarvo::setup
