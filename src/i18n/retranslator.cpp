#include "i18n/retranslator.h"

#include <unordered_set>

#include "core/published.h"
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
    : Retranslator(std::make_unique<TRetranslator>(instance)) {
  Retranslator->Marker = this;
}

void TGettextComponentMarker::Watch(TComponent* holder) {
  if (holder && holder != this) FreeNotification(holder);
}

void TGettextComponentMarker::Notification(TComponent* component, core::TOperation operation) {
  // A remembered object must not outlive its component in our list.
  if (operation == core::opRemove && Retranslator) Retranslator->Forget(component);
  TComponent::Notification(component, operation);
}

TGettextComponentMarker* FindMarker(const TComponent* root) {
  if (!root) return nullptr;
  return dynamic_cast<TGettextComponentMarker*>(root->FindComponent(TGettextComponentMarker::kName));
}

void TRetranslator::Remember(TPersistent* obj, const std::string& propName, const std::string& oldValue,
                             TComponent* holder) {
  if (Marker) Marker->Watch(holder);
  List.push_back(TRetranslatorItem{obj, propName, oldValue, holder});
}

void TRetranslator::Forget(const TComponent* holder) {
  std::erase_if(List, [&](const TRetranslatorItem& item) { return item.Holder == holder || item.obj == holder; });
}

void TRetranslator::Execute() {
  const bool ownDomain = !TextDomain.empty() && TextDomain != "default";
  auto translate = [&](const std::string& text) {
    return ownDomain ? Instance.dgettext(TextDomain, text) : Instance.TranslateForComponents(text);
  };
  std::unordered_set<TRetranslator*> ran;
  // A copy: translating may create or free components, which edits List.
  const std::vector<TRetranslatorItem> items = List;
  for (const TRetranslatorItem& item : items) {
    auto* component = dynamic_cast<TComponent*>(item.obj);
    if (TGettextComponentMarker* marker = FindMarker(component); marker && marker->Retranslator.get() != this) {
      if (ran.insert(marker->Retranslator.get()).second) marker->Retranslator->Execute();
      continue;
    }
    if (auto* list = dynamic_cast<core::TStrings*>(item.obj)) {
      core::TStringList fresh;
      fresh.SetText(item.OldValue);
      Instance.TranslateStringList(&fresh, ownDomain ? TextDomain : std::string());
      list->BeginUpdate();
      try {
        list->Assign(fresh);
      } catch (...) {
        list->EndUpdate();
        throw;
      }
      list->EndUpdate();
      continue;
    }
    const core::TPropInfo* prop = core::GetPropInfo(item.obj->ClassInfo(), item.Propname);
    if (prop && prop->Kind == core::TPropKind::pkText && prop->SetText) prop->SetText(*item.obj, translate(item.OldValue));
  }
}

}  // namespace tarvo::i18n
