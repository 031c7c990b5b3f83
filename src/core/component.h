// TComponent: a persistent object with a name that lives in an owner tree. An owner frees
// the components it owns when it is freed; components that merely reference each other
// ask for a removal notification (FreeNotification) so that a reference is cleared when
// the referenced component goes away.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "core/exception.h"
#include "core/persistent.h"

namespace tarvo::core {

enum TOperation { opInsert, opRemove };

// An invalid or duplicate component name.
class EComponentError : public Exception {
public:
  using Exception::Exception;
};

class TComponent : public TPersistent {
  TARVO_PERSISTENT_CLASS(TComponent)
public:
  // With an owner, the new component joins the owner's list and is freed with it.
  explicit TComponent(TComponent* owner = nullptr);
  // Tells every component that asked for a free notification, frees the owned
  // components, and leaves the owner (which tells its whole tree).
  ~TComponent() override;

  TComponent* Owner() const noexcept { return FOwner; }
  const std::string& Name() const noexcept { return FName; }
  // Names are identifiers, unique (ignoring case) among the owner's components; empty is
  // allowed any number of times.
  virtual void SetName(const std::string& name);

  int ComponentCount() const noexcept { return static_cast<int>(FComponents.size()); }
  TComponent* Components(int index) const;
  int ComponentIndex() const;
  // The owned component of that name (any case), or none.
  TComponent* FindComponent(std::string_view name) const;

  // Takes over ownership of a component that has no owner, or moves it from its owner.
  void InsertComponent(TComponent* component);
  // Gives up ownership without freeing the component.
  void RemoveComponent(TComponent* component);
  // Frees every owned component.
  void DestroyComponents();

  // Both components will be told (Notification with opRemove) when the other one is freed.
  void FreeNotification(TComponent* component);
  void RemoveFreeNotification(TComponent* component);

  bool Destroying() const noexcept { return FDestroying; }

protected:
  // Told about components inserted into or removed from the owner tree, and about freed
  // components this one asked to hear about; passes the news on to the owned components.
  virtual void Notification(TComponent* component, TOperation operation);

private:
  void ValidateRename(TComponent* component, const std::string& newName) const;
  void Remove(TComponent* component) noexcept;
  void UnlinkFreeNotification(TComponent* component) noexcept;

  TComponent* FOwner = nullptr;
  std::string FName;
  std::vector<TComponent*> FComponents;
  std::vector<TComponent*> FFreeNotifies;
  bool FDestroying = false;
};

bool IsValidIdent(std::string_view name) noexcept;

}  // namespace tarvo::core
