// What TranslateComponent remembers so that a tree can be shown in another language
// later: every text as it was before the first translation, and the marker component
// that carries that memory inside the translated root.
//
// Retranslation rules:
// - Values are always translated from the remembered original (Dutch) text.
// - A remembered object that has been destroyed is skipped and forgotten; one that moved
//   to another owner is still remembered.
// - Data someone chose is never reset: a property (or string list) is rewritten only
//   while it still shows what the last translation put there. A combo's items the
//   program refilled, the text a user typed into an edit, a drive the user picked stay
//   as they are. String lists are rewritten line by line, so a list's selection and the
//   objects attached to its lines survive.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "core/component.h"
#include "core/persistent.h"
#include "core/string_list.h"

namespace tarvo::i18n {

class TGettextInstance;

struct TRetranslatorItem {
  core::TPersistent* obj;
  std::weak_ptr<const void> Alive;  // expires with obj
  std::string Propname;
  std::string OldValue;  // the program's own (Dutch) text
  std::string Shown;     // what the property showed after the last translation
};

class TRetranslator {
public:
  explicit TRetranslator(TGettextInstance& instance) : Instance(instance) {}

  // shown: the value as it reads after this translation wrote it.
  void Remember(core::TPersistent* obj, const std::string& propName, const std::string& oldValue,
                const std::string& shown);
  // Translates every remembered value into the instance's current language.
  void Execute();

  std::string TextDomain;
  TGettextInstance& Instance;
  std::vector<TRetranslatorItem> List;
};

// Inserted into a translated root under the name "GettextMarker".
class TGettextComponentMarker : public core::TComponent {
  TARVO_PERSISTENT_CLASS(TGettextComponentMarker)
public:
  static constexpr const char* kName = "GettextMarker";
  explicit TGettextComponentMarker(TGettextInstance& instance);

  std::string LastLanguage;
  std::unique_ptr<TRetranslator> Retranslator;
};

// The marker a root carries, or none.
TGettextComponentMarker* FindMarker(const core::TComponent* root);

// Makes list hold lines, rewriting only the lines that differ when the counts match (a
// selection and the objects attached to lines stay), inside one update bracket.
void ReplaceLines(core::TStrings& list, const std::vector<std::string>& lines);

}  // namespace tarvo::i18n
