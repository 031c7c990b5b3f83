// The translation service of the program: one locator, the two domain lists and the
// default instance, alive from start-up to shutdown, plus the free functions the rest of
// the program calls (_(), UseLanguage, TranslateComponent, ...). Without a running service
// every lookup answers its msgid unchanged.
#pragma once

#include <initializer_list>
#include <memory>
#include <string>
#include <string_view>

#include "core/class_info.h"
#include "core/component.h"
#include "core/resource_string.h"
#include "i18n/domain_list.h"
#include "i18n/file_locator.h"
#include "i18n/gettext_instance.h"

namespace tarvo::i18n {

// Start-up (constructor): analyse the executable for embedded catalogs, create the domain
// lists and the default instance (language detected), and route resource strings through
// the translation. Shutdown (destructor) undoes it in the order instance, lists, loader,
// locator. Only one service may run at a time.
class TTranslationService {
public:
  explicit TTranslationService(const std::string& executable = ExecutablePath());
  ~TTranslationService();
  TTranslationService(const TTranslationService&) = delete;
  TTranslationService& operator=(const TTranslationService&) = delete;

  TGettextInstance& Instance() noexcept { return *FInstance; }
  TFileLocator& Locator() noexcept { return *FLocator; }
  TDomainList& ComponentDomains() noexcept { return *FComponentDomains; }
  TDomainList& ResourceDomains() noexcept { return *FResourceDomains; }

private:
  std::unique_ptr<TFileLocator> FLocator;
  std::unique_ptr<TDomainList> FComponentDomains;
  std::unique_ptr<TDomainList> FResourceDomains;
  std::unique_ptr<TGettextInstance> FInstance;
  core::TResStringLoader FPreviousLoader = nullptr;
};

// The running service's instance, or none.
TGettextInstance* DefaultInstance() noexcept;

std::string _(std::string_view msgid);
std::string gettext(std::string_view msgid);
std::string dgettext(std::string_view domain, std::string_view msgid);
std::string ngettext(std::string_view singular, std::string_view plural, long long n);
std::string dngettext(std::string_view domain, std::string_view singular, std::string_view plural, long long n);
void UseLanguage(const std::string& code);
std::string GetCurrentLanguage();
void bindtextdomain(const std::string& domain, const std::string& directory);
void textdomain(const std::string& domain);

void TranslateComponent(core::TComponent* root, const std::string& textdomain = "");
void RetranslateComponent(core::TComponent* root, const std::string& textdomain = "");
void TranslateProperties(core::TPersistent* obj, const std::string& textdomain = "");
void GlobalIgnoreClass(const core::TClassInfo& cls);
void GlobalIgnoreClassProperty(const core::TClassInfo& cls, const std::string& propertyName);
void TP_Ignore(const std::string& name);

// A text through the component domains / the resource domains in turn.
std::string TranslateForComponents(std::string_view text);
std::string TranslateForResources(std::string_view text);

// The loader the service installs: identifiers of 65536 and above give "ERROR"; texts are
// translated only on the thread that started the service.
std::string TranslatedResStringLoader(const core::TResourceString& rs);
// Loads a resource string (translated) and fills in its arguments.
std::string LoadResStringFmt(const core::TResourceString& rs, std::initializer_list<std::string_view> args);

}  // namespace tarvo::i18n
