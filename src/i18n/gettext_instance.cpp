#include "i18n/gettext_instance.h"

#include <algorithm>

#include "core/collection.h"
#include "core/format.h"
#include "core/text_case.h"
#include "i18n/domain_list.h"
#include "i18n/gettext_errors.h"
#include "i18n/i18n_strings.h"
#include "i18n/language_system.h"

namespace tarvo::i18n {

using core::Format;
using core::LoadResString;

namespace {

// Catalogs store line ends as LF alone; the program's texts may carry CR LF.
std::string WithoutCR(std::string_view s) {
  std::string r;
  r.reserve(s.size());
  for (char c : s)
    if (c != '\r') r.push_back(c);
  return r;
}

std::string WithCRLF(std::string_view s) {
  std::size_t lf = s.find('\n');
  if (lf == std::string_view::npos) return std::string(s);
  std::string r;
  r.reserve(s.size() + s.size() / 16 + 8);
  std::size_t start = 0;
  while (lf != std::string_view::npos) {
    r.append(s.data() + start, lf - start);
    if (lf == 0 || s[lf - 1] != '\r') r.push_back('\r');
    r.push_back('\n');
    start = lf + 1;
    lf = s.find('\n', start);
  }
  r.append(s.data() + start, s.size() - start);
  return r;
}

TClassMode* RuleFor(std::vector<TClassMode>& rules, const core::TClassInfo& cls) {
  for (auto& r : rules)
    if (r.HClass == &cls) return &r;
  return nullptr;
}

// Derived classes go before their ancestors, so the most specific rule is met first.
TClassMode& InsertRule(std::vector<TClassMode>& rules, const core::TClassInfo& cls) {
  auto at = std::find_if(rules.begin(), rules.end(), [&](const TClassMode& r) { return cls.InheritsFrom(*r.HClass); });
  TClassMode rule;
  rule.HClass = &cls;
  return *rules.insert(at, std::move(rule));
}

void AddProperty(TClassMode& rule, const std::string& upperName) {
  auto& props = rule.PropertiesToIgnore;
  auto at = std::lower_bound(props.begin(), props.end(), upperName);
  if (at == props.end() || *at != upperName) props.insert(at, upperName);
}

void IgnoreClassProperty(std::vector<TClassMode>& rules, const core::TClassInfo& cls, const std::string& name) {
  const std::string upper = core::UpperCase(name);
  if (TClassMode* rule = RuleFor(rules, cls)) {
    if (rule->SpecialHandler) throw EGettextProgrammingError(LoadResString(SIgnoreWithHandler));
    // A class that is ignored as a whole stays ignored as a whole.
    if (!rule->PropertiesToIgnore.empty()) AddProperty(*rule, upper);
    return;
  }
  AddProperty(InsertRule(rules, cls), upper);
}

void IgnoreClass(std::vector<TClassMode>& rules, const core::TClassInfo& cls, TTranslatorHandler handler) {
  if (TClassMode* rule = RuleFor(rules, cls)) {
    if (rule->PropertiesToIgnore.empty())
      throw EGettextProgrammingError(Format(LoadResString(SClassAlreadyIgnored), {cls.Name}));
    rule->PropertiesToIgnore.clear();
    rule->SpecialHandler = std::move(handler);
    return;
  }
  InsertRule(rules, cls).SpecialHandler = std::move(handler);
}

}  // namespace

TGettextInstance::TGettextInstance(TFileLocator& locator, const std::string& executableFolder,
                                   TDomainList* componentDomains)
    : CreatorThread(std::this_thread::get_id()), FLocator(locator), FComponentDomains(componentDomains) {
  DefaultDomainDirectory = (executableFolder.empty() ? executableFolder : WithPathDelimiter(executableFolder)) + "locale";
  UseLanguage("");
  bindtextdomain("default", DefaultDomainDirectory);
  textdomain("default");
  // Component names and collection property names are identifiers, never texts.
  TP_GlobalIgnoreClassProperty(core::ClassInfoOf<core::TComponent>(), "Name");
  TP_GlobalIgnoreClassProperty(core::ClassInfoOf<core::TCollection>(), "PropName");
}

TGettextInstance::~TGettextInstance() = default;

TDomain& TGettextInstance::FindOrAddDomain(std::string_view domain) {
  for (auto& d : domainlist)
    if (d->Domain() == domain) return *d;
  domainlist.push_back(std::make_unique<TDomain>(FLocator, std::string(domain), DefaultDomainDirectory, curlang));
  return *domainlist.back();
}

std::string TGettextInstance::gettext(std::string_view msgid) { return dgettext(curmsgdomain, msgid); }

std::string TGettextInstance::ngettext(std::string_view singular, std::string_view plural, long long n) {
  return dngettext(curmsgdomain, singular, plural, n);
}

std::string TGettextInstance::dgettext(std::string_view domain, std::string_view msgid) {
  if (!Enabled) return std::string(msgid);
  TDomain& d = FindOrAddDomain(domain);
  // Most texts carry no carriage return; they are looked up without a copy.
  if (msgid.find('\r') == std::string_view::npos) return WithCRLF(d.Lookup(msgid));
  const std::string clean = WithoutCR(msgid);
  return WithCRLF(d.Lookup(clean));
}

std::string TGettextInstance::dngettext(std::string_view domain, std::string_view singular,
                                        std::string_view plural, long long n) {
  const int form = curGetPluralForm ? curGetPluralForm(n) : (n == 1 ? 0 : 1);
  if (!Enabled) return std::string(form == 0 ? singular : plural);
  TDomain& d = FindOrAddDomain(domain);
  return WithCRLF(d.ngettext(WithoutCR(singular), WithoutCR(plural), form));
}

void TGettextInstance::UseLanguage(std::string code) {
  if (code.empty()) code = DetectSystemLanguage();
  curlang = code;
  for (auto& d : domainlist) d->SetLanguageCode(curlang);
  curGetPluralForm = PluralRuleFor(curlang);
  WhenNewLanguage(curlang);
}

void TGettextInstance::WhenNewLanguage(const std::string& languageID) {
  // A copy: a listener may remove itself while it is told.
  auto listeners = fWhenNewLanguageListeners;
  for (auto& [id, listener] : listeners) listener(languageID);
}

int TGettextInstance::AddLanguageListener(std::function<void(const std::string&)> listener) {
  const int id = FNextListenerId++;
  fWhenNewLanguageListeners.emplace(id, std::move(listener));
  return id;
}

void TGettextInstance::RemoveLanguageListener(int id) { fWhenNewLanguageListeners.erase(id); }

void TGettextInstance::bindtextdomain(const std::string& domain, const std::string& directory) {
  FindOrAddDomain(domain).SetDirectory(directory);
  WhenNewDomainDirectory(domain, directory);
}

void TGettextInstance::bindtextdomainToFile(const std::string& domain, const std::string& fileName) {
  FindOrAddDomain(domain).SetFilename(fileName);
}

void TGettextInstance::textdomain(const std::string& domain) {
  curmsgdomain = domain;
  WhenNewDomain(domain);
}

std::string TGettextInstance::GetTranslationProperty(std::string_view name) {
  return FindOrAddDomain(curmsgdomain).GetTranslationProperty(name);
}

std::string TGettextInstance::TranslateForComponents(std::string_view text) {
  if (FComponentDomains) return FComponentDomains->Translate(*this, text);
  if (text.empty()) return {};
  return dgettext(curmsgdomain, text);
}

void TGettextInstance::TP_Ignore(const std::string& name) { IgnoreList.push_back(core::UpperCase(name)); }

void TGettextInstance::TP_IgnoreClass(const core::TClassInfo& cls) {
  if (!RuleFor(ClassHandling, cls)) IgnoreClass(ClassHandling, cls, nullptr);
  else RuleFor(ClassHandling, cls)->PropertiesToIgnore.clear();
}

void TGettextInstance::TP_IgnoreClassProperty(const core::TClassInfo& cls, const std::string& propertyName) {
  IgnoreClassProperty(ClassHandling, cls, propertyName);
}

void TGettextInstance::TP_GlobalIgnoreClass(const core::TClassInfo& cls) { IgnoreClass(GlobalClassHandling, cls, nullptr); }

void TGettextInstance::TP_GlobalIgnoreClassProperty(const core::TClassInfo& cls, const std::string& propertyName) {
  IgnoreClassProperty(GlobalClassHandling, cls, propertyName);
}

void TGettextInstance::TP_GlobalHandleClass(const core::TClassInfo& cls, TTranslatorHandler handler) {
  IgnoreClass(GlobalClassHandling, cls, std::move(handler));
}

}  // namespace tarvo::i18n
