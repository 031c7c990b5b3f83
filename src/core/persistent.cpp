#include "core/persistent.h"

#include "core/component_strings.h"
#include "core/format.h"

namespace tarvo::core {

const TClassInfo& TPersistent::StaticClassInfo() noexcept {
  static const TClassInfo info{"TPersistent", nullptr, {}};
  return info;
}

std::weak_ptr<const void> TPersistent::Lifetime() const {
  if (!FLifetime) FLifetime = std::make_shared<const char>('\0');
  return FLifetime;
}

void TPersistent::Assign(const TPersistent& source) { source.AssignTo(*this); }

void TPersistent::AssignTo(TPersistent& dest) const {
  throw EConvertError(Format(LoadResString(SAssignError), {ClassName(), dest.ClassName()}));
}

}  // namespace tarvo::core
