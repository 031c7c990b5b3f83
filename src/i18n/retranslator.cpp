#include "i18n/retranslator.h"

#include <unordered_set>

#include "core/published.h"
#include "core/scope_guard.h"
#include "core/string_list.h"
#include "i18n/gettext_instance.h"

namespace tarvo::i18n {

using core::TComponent;
using core::TPersistent;

const core::TClassInfo& TGettextComponentMarker::StaticClassInfo() noexcept {
  static const core::TClassInfo info{"TGettextComponentMarker", &core::ClassInfoOf<TComponent>(), {}};
  return info;
}

TGettextComponentMarker::TGettextComponentMarker(TGettextInstance& instance)
    : Retranslator(std::make_unique<TRetranslator>(instance)) {}

TGettextComponentMarker* FindMarker(const TComponent* root) {
  if (!root) return nullptr;
  return dynamic_cast<TGettextComponentMarker*>(root->FindComponent(TGettextComponentMarker::kName));
}

void ReplaceLines(core::TStrings& list, const std::vector<std::string>& lines) {
  core::TUpdateScope update(list);
  if (list.Count() == static_cast<int>(lines.size())) {
    for (int i = 0, n = list.Count(); i < n; ++i)
      if (list.Get(i) != lines[static_cast<std::size_t>(i)]) list.Put(i, lines[static_cast<std::size_t>(i)]);
  } else {
    list.Clear();
    for (const std::string& line : lines) list.Add(line);
  }
  update.End();
}

void TRetranslator::Remember(TPersistent* obj, const std::string& propName, const std::string& oldValue,
                             const std::string& shown) {
  List.push_back(TRetranslatorItem{obj, obj->Lifetime(), propName, oldValue, shown});
}

void TRetranslator::Execute() {
  const bool ownDomain = !TextDomain.empty() && TextDomain != "default";
  auto translate = [&](const std::string& text) {
    return ownDomain ? Instance.dgettext(TextDomain, text) : Instance.TranslateForComponents(text);
  };
  std::erase_if(List, [](const TRetranslatorItem& item) { return item.Alive.expired(); });
  std::unordered_set<TRetranslator*> ran;
  // By index, and liveness checked at each item: writing a property may free objects
  // further down the list.
  for (std::size_t i = 0; i < List.size(); ++i) {
    TRetranslatorItem& item = List[i];
    if (item.Alive.expired()) continue;
    auto* component = dynamic_cast<TComponent*>(item.obj);
    if (TGettextComponentMarker* marker = FindMarker(component); marker && marker->Retranslator.get() != this) {
      if (ran.insert(marker->Retranslator.get()).second) marker->Retranslator->Execute();
      continue;
    }
    if (auto* list = dynamic_cast<core::TStrings*>(item.obj)) {
      if (list->Text() != item.Shown) continue;  // refilled since: not ours any more
      core::TStringList fresh;
      fresh.SetText(item.OldValue);
      Instance.TranslateStringList(&fresh, ownDomain ? TextDomain : std::string());
      std::vector<std::string> lines;
      for (int k = 0, n = fresh.Count(); k < n; ++k) lines.push_back(fresh.Get(k));
      ReplaceLines(*list, lines);
      List[i].Shown = list->Text();
      continue;
    }
    const core::TPropInfo* prop = core::GetPropInfo(item.obj->ClassInfo(), item.Propname);
    if (!prop || prop->Kind != core::TPropKind::pkText || !prop->SetText) continue;
    if (prop->GetText(*item.obj) != item.Shown) continue;  // changed since: someone's data
    const std::string text = translate(item.OldValue);
    TPersistent* obj = item.obj;
    if (text != item.Shown) prop->SetText(*obj, text);
    List[i].Shown = prop->GetText(*obj);
  }
}

}  // namespace tarvo::i18n
