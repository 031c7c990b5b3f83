// What TranslateComponent remembers so that a tree can be shown in another language
// later: every text as it was before the first translation, and the marker component
// that carries that memory inside the translated root.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "core/component.h"
#include "core/persistent.h"

namespace tarvo::i18n {

class TGettextInstance;

struct TRetranslatorItem {
  core::TPersistent* obj;
  std::string Propname;
  std::string OldValue;  // the program's own (Dutch) text
  // The component whose lifetime obj depends on (obj itself when it is a component).
  core::TComponent* Holder;
};

class TRetranslator {
public:
  explicit TRetranslator(TGettextInstance& instance) : Instance(instance) {}

  void Remember(core::TPersistent* obj, const std::string& propName, const std::string& oldValue,
                core::TComponent* holder);
  // Drops what belongs to a component that is going away.
  void Forget(const core::TComponent* holder);
  // Translates every remembered value into the instance's current language.
  void Execute();

  std::string TextDomain;
  TGettextInstance& Instance;
  std::vector<TRetranslatorItem> List;
  class TGettextComponentMarker* Marker = nullptr;  // watches the holders for us
};

// Inserted into a translated root under the name "GettextMarker".
class TGettextComponentMarker : public core::TComponent {
  TARVO_PERSISTENT_CLASS(TGettextComponentMarker)
public:
  static constexpr const char* kName = "GettextMarker";
  explicit TGettextComponentMarker(TGettextInstance& instance);

  std::string LastLanguage;
  std::unique_ptr<TRetranslator> Retranslator;

  // Asks to hear when a component holding remembered values is freed.
  void Watch(core::TComponent* holder);

protected:
  void Notification(core::TComponent* component, core::TOperation operation) override;
};

// The marker a root carries, or none.
TGettextComponentMarker* FindMarker(const core::TComponent* root);

}  // namespace tarvo::i18n
