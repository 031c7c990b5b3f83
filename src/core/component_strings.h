// Resource strings of the component model (core identifiers 80..89).
#pragma once

#include "core/resource_string.h"

namespace tarvo::core {

TARVO_RESOURCESTRING(SAssignError, 80, "Cannot assign a %s to a %s");
TARVO_RESOURCESTRING(SDuplicateName, 81, "A component named %s already exists");
TARVO_RESOURCESTRING(SInvalidName, 82, "'%s' is not a valid component name");
TARVO_RESOURCESTRING(SListIndexError, 83, "List index out of bounds (%d)");
TARVO_RESOURCESTRING(SUnknownProperty, 84, "Property %s does not exist");
TARVO_RESOURCESTRING(SPropertyReadOnly, 85, "Property %s is read-only");
TARVO_RESOURCESTRING(SPropertyKind, 86, "Property %s is not of the requested kind");

}  // namespace tarvo::core
