// Translation of component trees: every published text property of an object, of the
// objects its properties reference, of the items of collections and of every owned
// component, each object once.
#include <algorithm>
#include <memory>
#include <unordered_set>
#include <utility>

#include "core/collection.h"
#include "core/format.h"
#include "core/published.h"
#include "core/scope_guard.h"
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
  std::string Name;  // upper-case component name, or empty
  TPersistent* Obj;
};

// The state of one TranslateProperties call: the per-call rules given before it.
struct TGettextInstance::TWalkRules {
  std::vector<std::string> Ignore;
  std::vector<TClassMode> Classes;
};

namespace {

bool Contains(const std::vector<std::string>& list, const std::string& s) {
  return std::find(list.begin(), list.end(), s) != list.end();
}

bool HasOwnMarker(const TPersistent* obj) {
  auto* c = dynamic_cast<const TComponent*>(obj);
  return c && FindMarker(c);
}

std::vector<std::string> Lines(const core::TStrings& list) {
  std::vector<std::string> lines;
  lines.reserve(static_cast<std::size_t>(list.Count()));
  for (int i = 0, n = list.Count(); i < n; ++i) lines.push_back(list.Get(i));
  return lines;
}

}  // namespace

std::string TGettextInstance::TranslateText(std::string_view text, const std::string& textdomain) {
  return textdomain.empty() ? TranslateForComponents(text) : dgettext(textdomain, text);
}

bool TGettextInstance::IsHandling(const TPersistent* obj) const {
  return std::find(FHandling.begin(), FHandling.end(), obj) != FHandling.end();
}

bool TGettextInstance::ApplyClassRules(TPersistent* obj, const TWalkRules& rules, std::vector<std::string>& skip) {
  const core::TClassInfo& cls = obj->ClassInfo();
  // An object whose handler is running is being translated by that handler: its own
  // class rules would only call the handler again.
  const bool handling = IsHandling(obj);
  const std::vector<TClassMode>* lists[] = {&rules.Classes, &GlobalClassHandling};
  for (const std::vector<TClassMode>* list : lists) {
    for (const TClassMode& rule : *list) {
      if (!cls.InheritsFrom(*rule.HClass)) continue;
      if (rule.PropertiesToIgnore.empty()) {
        if (handling) continue;
        if (rule.SpecialHandler) {
          FHandling.push_back(obj);
          core::TScopeGuard handled([this]() noexcept { FHandling.pop_back(); });
          rule.SpecialHandler(obj);
        }
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
      const std::string translated = TranslateText(old, textdomain);
      if (translated != old) prop.SetText(*item.Obj, translated);
      if (Retranslator) Retranslator->Remember(item.Obj, prop.Name, old, prop.GetText(*item.Obj));
      return;
    }
    TPersistent* target = prop.GetObject(*item.Obj);
    if (target && !HasOwnMarker(target)) queue.push_back(TQueued{"", target});
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
  std::vector<std::string> lines = Lines(*list);
  for (auto& line : lines)
    if (!line.empty()) line = TranslateText(line, textdomain);
  ReplaceLines(*list, lines);
}

void TGettextInstance::TranslateProperties(TPersistent* root, const std::string& textdomain) {
  // This call takes the per-call rules given before it. A class handler may start a walk
  // of its own, with rules of its own; that inner walk shares this one's record of
  // handled objects and its recording, and ends neither.
  TWalkRules rules{std::exchange(IgnoreList, {}), std::exchange(ClassHandling, {})};
  const bool outermost = FWalkDone == nullptr;
  std::unordered_set<const void*> ownDone;
  if (outermost) {
    FWalkDone = &ownDone;
    if (Retranslator) Retranslator->TextDomain = textdomain.empty() ? curmsgdomain : textdomain;
  }
  struct TEnd {
    TGettextInstance& self;
    bool outermost;
    ~TEnd() {
      self.IgnoreList.clear();
      self.ClassHandling.clear();
      if (!outermost) return;
      self.FWalkDone = nullptr;
      self.Retranslator = nullptr;
    }
  } end{*this, outermost};
  std::unordered_set<const void*>& done = *FWalkDone;

  std::vector<TQueued> queue{TQueued{"", root}};
  for (std::size_t next = 0; next < queue.size(); ++next) {
    TQueued item = queue[next];
    if (!item.Obj) continue;
    // Each object once per outermost walk; only the object a handler was given may be
    // walked again, by that handler.
    if (!done.insert(item.Obj).second && !(next == 0 && IsHandling(item.Obj))) continue;

    std::vector<std::string> skip;
    if (ApplyClassRules(item.Obj, rules, skip)) continue;

    for (const TPropInfo* prop : core::GetPropList(item.Obj->ClassInfo())) {
      const std::string upper = core::UpperCase(prop->Name);
      if (Contains(rules.Ignore, item.Name + "." + upper) || Contains(skip, upper)) continue;
      TranslateProperty(item, *prop, textdomain, queue);
    }

    if (auto* list = dynamic_cast<core::TStrings*>(item.Obj)) {
      const std::string text = list->Text();
      TranslateStringList(list, textdomain);
      if (!text.empty() && Retranslator) Retranslator->Remember(list, "Text", text, list->Text());
    }
    if (auto* collection = dynamic_cast<core::TCollection*>(item.Obj)) {
      for (int i = 0, n = collection->Count(); i < n; ++i) queue.push_back(TQueued{"", collection->Items(i)});
    }
    if (auto* component = dynamic_cast<TComponent*>(item.Obj)) {
      for (int i = 0, n = component->ComponentCount(); i < n; ++i) {
        TComponent* owned = component->Components(i);
        std::string name = core::UpperCase(owned->Name());
        if (Contains(rules.Ignore, name) || FindMarker(owned)) continue;
        queue.push_back(TQueued{std::move(name), owned});
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
    // A tree of its own, even when a class handler of another walk translates it here:
    // that walk gets its recording and its record of handled objects back afterwards.
    struct TOuterWalk {
      TGettextInstance& self;
      TRetranslator* retranslator = self.Retranslator;
      std::unordered_set<const void*>* done = std::exchange(self.FWalkDone, nullptr);
      ~TOuterWalk() {
        self.Retranslator = retranslator;
        self.FWalkDone = done;
      }
    } outer{*this};
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
