// Translation of component trees: every published text property of an object, of the
// objects its properties reference, of the items of collections and of every owned
// component, each object once.
#include <algorithm>
#include <memory>
#include <unordered_set>

#include "core/collection.h"
#include "core/format.h"
#include "core/published.h"
#include "core/text_case.h"
#include "i18n/gettext_errors.h"
#include "i18n/gettext_instance.h"
#include "i18n/i18n_strings.h"
#include "i18n/message_box.h"

namespace tarvo::i18n {

using core::Format;
using core::LoadResString;
using core::TComponent;
using core::TPersistent;
using core::TPropInfo;
using core::TPropKind;

struct TGettextInstance::TQueued {
  std::string Name;         // upper-case component name, or empty
  TPersistent* Obj;
  TComponent* Holder;       // nearest component the object belongs to
};

namespace {

bool Contains(const std::vector<std::string>& list, const std::string& s) {
  return std::find(list.begin(), list.end(), s) != list.end();
}

bool HasOwnMarker(const TPersistent* obj) {
  auto* c = dynamic_cast<const TComponent*>(obj);
  return c && FindMarker(c);
}

// Clears the per-call rules and ends the recording however the walk ends.
struct TCallRulesReset {
  std::vector<std::string>& ignore;
  std::vector<TClassMode>& classes;
  TRetranslator*& retranslator;
  ~TCallRulesReset() {
    ignore.clear();
    classes.clear();
    retranslator = nullptr;
  }
};

}  // namespace

std::string TGettextInstance::TranslateText(std::string_view text, const std::string& textdomain) {
  return textdomain.empty() ? TranslateForComponents(text) : dgettext(textdomain, text);
}

bool TGettextInstance::ApplyClassRules(TPersistent* obj, std::vector<std::string>& skip) {
  const core::TClassInfo& cls = obj->ClassInfo();
  for (const std::vector<TClassMode>* rules : {&ClassHandling, &GlobalClassHandling}) {
    for (const TClassMode& rule : *rules) {
      if (!cls.InheritsFrom(*rule.HClass)) continue;
      if (rule.PropertiesToIgnore.empty()) {
        if (rule.SpecialHandler) rule.SpecialHandler(obj);
        return true;
      }
      skip.insert(skip.end(), rule.PropertiesToIgnore.begin(), rule.PropertiesToIgnore.end());
    }
  }
  return false;
}

void TGettextInstance::TranslateProperty(const TQueued& item, const TPropInfo& prop, const std::string& textdomain,
                                         std::vector<TQueued>& queue) {
  try {
    if (prop.Kind == TPropKind::pkText) {
      const std::string old = prop.GetText(*item.Obj);
      if (old.empty() || !prop.Writable()) return;
      if (Retranslator) Retranslator->Remember(item.Obj, prop.Name, old, item.Holder);
      const std::string translated = TranslateText(old, textdomain);
      if (translated != old) prop.SetText(*item.Obj, translated);
      return;
    }
    TPersistent* target = prop.GetObject(*item.Obj);
    if (target && !HasOwnMarker(target)) queue.push_back(TQueued{"", target, item.Holder});
  } catch (const std::exception& e) {
    const std::string reason = dynamic_cast<const core::Exception*>(&e)
                                   ? static_cast<const core::Exception&>(e).Message()
                                   : std::string(e.what());
    throw EGettextComponentError(
        Format(LoadResString(SPropertyNotTranslated), {item.Obj->ClassName(), prop.Name, prop.Name, reason}));
  }
}

void TGettextInstance::TranslateStringList(core::TStrings* list, const std::string& textdomain) {
  if (!list || list->Count() == 0) return;
  std::vector<std::string> lines;
  for (int i = 0, n = list->Count(); i < n; ++i) lines.push_back(list->Get(i));
  std::vector<std::string> translated = lines;
  for (auto& line : translated)
    if (!line.empty()) line = TranslateText(line, textdomain);
  list->BeginUpdate();
  try {
    for (std::size_t i = 0; i < lines.size(); ++i)
      if (translated[i] != lines[i]) list->Put(static_cast<int>(i), translated[i]);
  } catch (...) {
    list->EndUpdate();
    throw;
  }
  list->EndUpdate();
}

void TGettextInstance::TranslateProperties(TPersistent* root, const std::string& textdomain) {
  TCallRulesReset reset{IgnoreList, ClassHandling, Retranslator};
  if (Retranslator) Retranslator->TextDomain = textdomain.empty() ? curmsgdomain : textdomain;
  std::vector<TQueued> queue{TQueued{"", root, dynamic_cast<TComponent*>(root)}};
  std::unordered_set<const void*> done;
  for (std::size_t next = 0; next < queue.size(); ++next) {
    TQueued item = queue[next];
    if (!item.Obj || !done.insert(item.Obj).second) continue;
    if (auto* asComponent = dynamic_cast<TComponent*>(item.Obj)) item.Holder = asComponent;

    std::vector<std::string> skip;
    if (ApplyClassRules(item.Obj, skip)) continue;

    for (const TPropInfo* prop : core::GetPropList(item.Obj->ClassInfo())) {
      const std::string upper = core::UpperCase(prop->Name);
      if (Contains(IgnoreList, item.Name + "." + upper) || Contains(skip, upper)) continue;
      TranslateProperty(item, *prop, textdomain, queue);
    }

    if (auto* list = dynamic_cast<core::TStrings*>(item.Obj)) {
      const std::string text = list->Text();
      if (!text.empty() && Retranslator) Retranslator->Remember(list, "Text", text, item.Holder);
      TranslateStringList(list, textdomain);
    }
    if (auto* collection = dynamic_cast<core::TCollection*>(item.Obj)) {
      for (int i = 0, n = collection->Count(); i < n; ++i)
        queue.push_back(TQueued{"", collection->Items(i), item.Holder});
    }
    if (auto* component = dynamic_cast<TComponent*>(item.Obj)) {
      for (int i = 0, n = component->ComponentCount(); i < n; ++i) {
        TComponent* owned = component->Components(i);
        std::string name = core::UpperCase(owned->Name());
        if (Contains(IgnoreList, name) || FindMarker(owned)) continue;
        queue.push_back(TQueued{std::move(name), owned, owned});
      }
    }
  }
}

void TGettextInstance::TranslateComponent(TComponent* root, const std::string& textdomain) {
  if (!root) return;
  TGettextComponentMarker* marker = FindMarker(root);
  if (!marker) {
    auto fresh = std::make_unique<TGettextComponentMarker>(*this);
    fresh->SetName(TGettextComponentMarker::kName);
    Retranslator = fresh->Retranslator.get();
    TranslateProperties(root, textdomain);
    root->InsertComponent(fresh.get());
    marker = fresh.release();
  } else if (marker->LastLanguage != curlang) {
    ShowMessageBox(LoadResString(SSwitchedIncorrectly), LoadResString(SErrorCaption), MB_OK | MB_ICONERROR);
  }
  marker->LastLanguage = curlang;
}

void TGettextInstance::RetranslateComponent(TComponent* root, const std::string& /*textdomain*/) {
  TGettextComponentMarker* marker = root ? FindMarker(root) : nullptr;
  if (!marker) throw EGettextProgrammingError(LoadResString(SRetranslateNotTranslated));
  if (marker->LastLanguage != curlang) marker->Retranslator->Execute();
  marker->LastLanguage = curlang;
}

}  // namespace tarvo::i18n
