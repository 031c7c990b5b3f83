#include "core/component.h"

#include <algorithm>

#include "core/component_strings.h"
#include "core/format.h"
#include "core/published.h"
#include "core/text_case.h"

namespace tarvo::core {

const TClassInfo& TComponent::StaticClassInfo() noexcept {
  static const TPropInfo props[] = {
      TextProperty<&TComponent::Name, &TComponent::SetName>("Name"),
  };
  static const TClassInfo info{"TComponent", &ClassInfoOf<TPersistent>(), props};
  return info;
}

bool IsValidIdent(std::string_view name) noexcept {
  if (name.empty()) return false;
  auto alpha = [](char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_'; };
  if (!alpha(name[0])) return false;
  return std::all_of(name.begin(), name.end(), [&](char c) { return alpha(c) || (c >= '0' && c <= '9'); });
}

TComponent::TComponent(TComponent* owner) {
  if (owner) owner->InsertComponent(this);
}

TComponent::~TComponent() {
  FDestroying = true;
  // Tell the components that reference this one; each call may change the list.
  while (!FFreeNotifies.empty()) {
    TComponent* other = FFreeNotifies.back();
    FFreeNotifies.pop_back();
    other->UnlinkFreeNotification(this);
    other->Notification(this, opRemove);
  }
  DestroyComponents();
  if (FOwner) FOwner->RemoveComponent(this);
}

TComponent* TComponent::Components(int index) const {
  if (index < 0 || index >= ComponentCount())
    throw EComponentError(Format(LoadResString(SListIndexError), {std::to_string(index)}));
  return FComponents[static_cast<std::size_t>(index)];
}

int TComponent::ComponentIndex() const {
  if (!FOwner) return -1;
  auto& list = FOwner->FComponents;
  auto it = std::find(list.begin(), list.end(), this);
  return it == list.end() ? -1 : static_cast<int>(it - list.begin());
}

TComponent* TComponent::FindComponent(std::string_view name) const {
  if (name.empty()) return nullptr;
  for (TComponent* c : FComponents)
    if (SameText(c->FName, name)) return c;
  return nullptr;
}

void TComponent::ValidateRename(TComponent* component, const std::string& newName) const {
  if (newName.empty()) return;
  for (TComponent* c : FComponents)
    if (c != component && SameText(c->FName, newName))
      throw EComponentError(Format(LoadResString(SDuplicateName), {newName}));
}

void TComponent::SetName(const std::string& name) {
  if (name == FName) return;
  if (!name.empty() && !IsValidIdent(name))
    throw EComponentError(Format(LoadResString(SInvalidName), {name}));
  if (FOwner) FOwner->ValidateRename(this, name);
  FName = name;
}

void TComponent::InsertComponent(TComponent* component) {
  if (!component || component->FOwner == this) return;
  ValidateRename(nullptr, component->FName);
  if (component->FOwner) component->FOwner->RemoveComponent(component);
  FComponents.push_back(component);
  component->FOwner = this;
  Notification(component, opInsert);
}

void TComponent::RemoveComponent(TComponent* component) {
  if (!component || component->FOwner != this) return;
  Notification(component, opRemove);
  Remove(component);
}

void TComponent::Remove(TComponent* component) noexcept {
  auto it = std::find(FComponents.begin(), FComponents.end(), component);
  if (it != FComponents.end()) FComponents.erase(it);
  component->FOwner = nullptr;
}

void TComponent::DestroyComponents() {
  while (!FComponents.empty()) {
    TComponent* c = FComponents.back();
    Remove(c);
    delete c;
  }
}

void TComponent::FreeNotification(TComponent* component) {
  if (!component || component == this) return;
  if (std::find(FFreeNotifies.begin(), FFreeNotifies.end(), component) == FFreeNotifies.end())
    FFreeNotifies.push_back(component);
  auto& theirs = component->FFreeNotifies;
  if (std::find(theirs.begin(), theirs.end(), this) == theirs.end()) theirs.push_back(this);
}

void TComponent::RemoveFreeNotification(TComponent* component) {
  if (!component) return;
  UnlinkFreeNotification(component);
  component->UnlinkFreeNotification(this);
}

void TComponent::UnlinkFreeNotification(TComponent* component) noexcept {
  auto it = std::find(FFreeNotifies.begin(), FFreeNotifies.end(), component);
  if (it != FFreeNotifies.end()) FFreeNotifies.erase(it);
}

void TComponent::Notification(TComponent* component, TOperation operation) {
  if (operation == opRemove && component) RemoveFreeNotification(component);
  // Index from the end: a component may free or move siblings while it is told.
  for (std::size_t i = FComponents.size(); i > 0; --i) {
    if (i > FComponents.size()) continue;
    FComponents[i - 1]->Notification(component, operation);
  }
}

}  // namespace tarvo::core
