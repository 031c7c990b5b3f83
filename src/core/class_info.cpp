#include "core/class_info.h"

#include "core/text_case.h"

namespace tarvo::core {

bool TClassInfo::InheritsFrom(const TClassInfo& ancestor) const noexcept {
  for (const TClassInfo* c = this; c; c = c->Parent)
    if (c == &ancestor) return true;
  return false;
}

bool TClassInfo::InheritsFrom(std::string_view className) const noexcept {
  for (const TClassInfo* c = this; c; c = c->Parent)
    if (SameText(c->Name, className)) return true;
  return false;
}

}  // namespace tarvo::core
