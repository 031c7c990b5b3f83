// TGettextInstance: the translation service's state (current language, text domains and
// the rules of what not to translate) and its operations: single-text lookups, language
// switching, and the translation of whole component trees.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <thread>
#include <unordered_set>
#include <vector>

#include "core/class_info.h"
#include "core/component.h"
#include "core/persistent.h"
#include "core/string_list.h"
#include "i18n/domain.h"
#include "i18n/file_locator.h"
#include "i18n/language.h"
#include "i18n/retranslator.h"

namespace tarvo::i18n {

class TDomainList;

// Called instead of translating an object of a handled class.
using TTranslatorHandler = std::function<void(core::TPersistent* obj)>;

// One class rule: skip these (upper-case) properties of the class and its descendants,
// or, with no properties, the whole object (calling the handler when there is one).
struct TClassMode {
  const core::TClassInfo* HClass = nullptr;
  TTranslatorHandler SpecialHandler;
  std::vector<std::string> PropertiesToIgnore;  // sorted, upper case
};

class TGettextInstance {
public:
  // Catalogs are looked for under executableFolder + "locale"; componentDomains (may be
  // none) are the domains that TranslateForComponents tries in turn.
  TGettextInstance(TFileLocator& locator, const std::string& executableFolder,
                   TDomainList* componentDomains = nullptr);
  virtual ~TGettextInstance();
  TGettextInstance(const TGettextInstance&) = delete;
  TGettextInstance& operator=(const TGettextInstance&) = delete;

  // Lookups of UTF-8 texts. Carriage returns in the msgid are ignored, and every line feed
  // of the result comes back preceded by a carriage return.
  virtual std::string gettext(std::string_view msgid);
  virtual std::string ngettext(std::string_view singular, std::string_view plural, long long n);
  virtual std::string dgettext(std::string_view domain, std::string_view msgid);
  virtual std::string dngettext(std::string_view domain, std::string_view singular, std::string_view plural,
                                long long n);

  // Switches the language; an empty code detects it. Catalogs reopen on the next lookup.
  void UseLanguage(std::string code);
  const std::string& GetCurrentLanguage() const noexcept { return curlang; }
  void bindtextdomain(const std::string& domain, const std::string& directory);
  // Uses this catalog file for the domain, whatever the language.
  void bindtextdomainToFile(const std::string& domain, const std::string& fileName);
  void textdomain(const std::string& domain);
  const std::string& getcurrenttextdomain() const noexcept { return curmsgdomain; }
  // A header field of the current domain's catalog.
  std::string GetTranslationProperty(std::string_view name);
  // Tries the component domains in turn (the current domain when there is no list).
  std::string TranslateForComponents(std::string_view text);

  // Translates every published text of root and of all it owns, once; remembers the
  // original texts in a marker component inserted into root. An empty text domain means
  // the component domains.
  void TranslateComponent(core::TComponent* root, const std::string& textdomain = "");
  // Shows a translated tree in the current language, from the remembered texts. What a
  // user or the program put into a property after it was translated (a typed text, a
  // chosen drive, refilled items) is left alone; see retranslator.h.
  void RetranslateComponent(core::TComponent* root, const std::string& textdomain = "");
  // Translates one object and everything reachable from it (no marker, no memory unless
  // called inside TranslateComponent). A class handler may call it for the object it was
  // given or for others: that inner walk has its own per-call rules, and the outer walk
  // keeps its rules, its recording and its record of the objects already handled.
  void TranslateProperties(core::TPersistent* obj, const std::string& textdomain = "");
  void TranslateStringList(core::TStrings* list, const std::string& textdomain);

  // Rules for the next TranslateProperties call only. name: a component name, or an object
  // name (empty for the root), a full stop and a property name.
  void TP_Ignore(const std::string& name);
  void TP_IgnoreClass(const core::TClassInfo& cls);
  void TP_IgnoreClassProperty(const core::TClassInfo& cls, const std::string& propertyName);
  // Permanent rules; give them before the first translation. Throw EGettextProgrammingError
  // on misuse.
  void TP_GlobalIgnoreClass(const core::TClassInfo& cls);
  void TP_GlobalIgnoreClassProperty(const core::TClassInfo& cls, const std::string& propertyName);
  void TP_GlobalHandleClass(const core::TClassInfo& cls, TTranslatorHandler handler);

  // Told the new code after every UseLanguage; answers an id for RemoveLanguageListener.
  int AddLanguageListener(std::function<void(const std::string&)> listener);
  void RemoveLanguageListener(int id);

  bool Enabled = true;
  const std::thread::id CreatorThread;
  TRetranslator* Retranslator = nullptr;  // being filled during TranslateComponent

protected:
  virtual void WhenNewLanguage(const std::string& languageID);
  virtual void WhenNewDomain(const std::string& /*textdomain*/) {}
  virtual void WhenNewDomainDirectory(const std::string& /*textdomain*/, const std::string& /*directory*/) {}

private:
  friend class TRetranslator;
  struct TQueued;
  struct TWalkRules;
  TDomain& FindOrAddDomain(std::string_view domain);
  std::string Lookup(TDomain& domain, std::string_view msgid);
  std::string TranslateText(std::string_view text, const std::string& textdomain);
  void TranslateProperty(const TQueued& item, const core::TPropInfo& prop, const std::string& textdomain,
                         std::vector<TQueued>& queue);
  bool ApplyClassRules(core::TPersistent* obj, const TWalkRules& rules, std::vector<std::string>& skip);
  bool IsHandling(const core::TPersistent* obj) const;

  TFileLocator& FLocator;
  TDomainList* FComponentDomains;
  std::string curlang;
  std::string curmsgdomain = "default";
  std::string DefaultDomainDirectory;
  std::vector<std::unique_ptr<TDomain>> domainlist;
  std::vector<std::string> IgnoreList;          // upper case
  std::vector<TClassMode> ClassHandling;        // this call only
  std::vector<TClassMode> GlobalClassHandling;  // derived classes before their ancestors
  std::unordered_set<const void*>* FWalkDone = nullptr;  // objects handled by the running walk
  std::vector<const core::TPersistent*> FHandling;        // objects whose class handler runs
  std::map<int, std::function<void(const std::string&)>> fWhenNewLanguageListeners;
  int FNextListenerId = 1;
  TGetPluralForm curGetPluralForm = nullptr;
};

}  // namespace tarvo::i18n
