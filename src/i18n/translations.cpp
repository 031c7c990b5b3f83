#include "i18n/translations.h"

#include <atomic>
#include <stdexcept>
#include <thread>

#include "core/format.h"
#include "core/scope_guard.h"

namespace tarvo::i18n {

namespace {

std::atomic<TTranslationService*> gService{nullptr};
std::atomic<TGettextInstance*> gInstance{nullptr};

// Identifiers from here on are not valid string resources.
constexpr std::uint32_t kMaxResStringId = 65536;

// Set while a resource string is being translated: messages raised by the translation
// itself (a damaged catalog) must not try to open that catalog again.
thread_local int tTranslatingResString = 0;

}  // namespace

TTranslationService::TTranslationService(const std::string& executable) {
  TTranslationService* expected = nullptr;
  if (!gService.compare_exchange_strong(expected, this))
    throw std::logic_error("a translation service is already running");
  core::TScopeGuard release([]() noexcept { gService = nullptr; });
  FLocator = std::make_unique<TFileLocator>();
  FLocator->Analyze(executable);
  FComponentDomains = std::make_unique<TDomainList>();
  FResourceDomains = std::make_unique<TDomainList>();
  FInstance = std::make_unique<TGettextInstance>(*FLocator, FLocator->BaseDirectory(), FComponentDomains.get());
  release.Dismiss();
  gInstance = FInstance.get();
  FPreviousLoader = core::SetResStringLoader(&TranslatedResStringLoader);
}

TTranslationService::~TTranslationService() {
  gInstance = nullptr;
  FInstance.reset();
  FComponentDomains.reset();
  FResourceDomains.reset();
  core::SetResStringLoader(FPreviousLoader == &core::DefaultResStringLoader ? nullptr : FPreviousLoader);
  FLocator.reset();
  gService = nullptr;
}

TGettextInstance* DefaultInstance() noexcept { return gInstance.load(); }

std::string _(std::string_view msgid) { return gettext(msgid); }

std::string gettext(std::string_view msgid) {
  TGettextInstance* i = DefaultInstance();
  return i ? i->gettext(msgid) : std::string(msgid);
}

std::string dgettext(std::string_view domain, std::string_view msgid) {
  TGettextInstance* i = DefaultInstance();
  return i ? i->dgettext(domain, msgid) : std::string(msgid);
}

std::string ngettext(std::string_view singular, std::string_view plural, long long n) {
  TGettextInstance* i = DefaultInstance();
  return i ? i->ngettext(singular, plural, n) : std::string(n == 1 ? singular : plural);
}

std::string dngettext(std::string_view domain, std::string_view singular, std::string_view plural, long long n) {
  TGettextInstance* i = DefaultInstance();
  return i ? i->dngettext(domain, singular, plural, n) : std::string(n == 1 ? singular : plural);
}

void UseLanguage(const std::string& code) {
  if (TGettextInstance* i = DefaultInstance()) i->UseLanguage(code);
}

std::string GetCurrentLanguage() {
  TGettextInstance* i = DefaultInstance();
  return i ? i->GetCurrentLanguage() : std::string();
}

void bindtextdomain(const std::string& domain, const std::string& directory) {
  if (TGettextInstance* i = DefaultInstance()) i->bindtextdomain(domain, directory);
}

void textdomain(const std::string& domain) {
  if (TGettextInstance* i = DefaultInstance()) i->textdomain(domain);
}

void TranslateComponent(core::TComponent* root, const std::string& textdomain) {
  if (TGettextInstance* i = DefaultInstance()) i->TranslateComponent(root, textdomain);
}

void RetranslateComponent(core::TComponent* root, const std::string& textdomain) {
  if (TGettextInstance* i = DefaultInstance()) i->RetranslateComponent(root, textdomain);
}

void TranslateProperties(core::TPersistent* obj, const std::string& textdomain) {
  if (TGettextInstance* i = DefaultInstance()) i->TranslateProperties(obj, textdomain);
}

void GlobalIgnoreClass(const core::TClassInfo& cls) {
  if (TGettextInstance* i = DefaultInstance()) i->TP_GlobalIgnoreClass(cls);
}

void GlobalIgnoreClassProperty(const core::TClassInfo& cls, const std::string& propertyName) {
  if (TGettextInstance* i = DefaultInstance()) i->TP_GlobalIgnoreClassProperty(cls, propertyName);
}

void TP_Ignore(const std::string& name) {
  if (TGettextInstance* i = DefaultInstance()) i->TP_Ignore(name);
}

std::string TranslateForComponents(std::string_view text) {
  TGettextInstance* i = DefaultInstance();
  return i ? i->TranslateForComponents(text) : std::string(text);
}

std::string TranslateForResources(std::string_view text) {
  TTranslationService* s = gService.load();
  TGettextInstance* i = DefaultInstance();
  if (!s || !i) return std::string(text);
  return s->ResourceDomains().Translate(*i, text);
}

std::string TranslatedResStringLoader(const core::TResourceString& rs) {
  if (rs.Id >= kMaxResStringId) return "ERROR";
  std::string text = core::DefaultResStringLoader(rs);
  TGettextInstance* i = DefaultInstance();
  if (!i || i->CreatorThread != std::this_thread::get_id() || tTranslatingResString > 0) return text;
  ++tTranslatingResString;
  core::TScopeGuard nested([] { --tTranslatingResString; });
  text = TranslateForResources(text);
  nested.Run();
  return text;
}

std::string LoadResStringFmt(const core::TResourceString& rs, std::initializer_list<std::string_view> args) {
  return core::Format(core::LoadResString(rs), args);
}

}  // namespace tarvo::i18n
