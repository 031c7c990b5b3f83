// Resource strings of the core library. Identifiers 1..99 belong to core; each library
// keeps its own range (net 1000.., http 2000.., unzip 3000.., i18n 4000.., wizard 5000..).
#pragma once

#include "core/resource_string.h"

namespace tarvo::core {

TARVO_RESOURCESTRING(SReadError, 1, "Stream read error");
TARVO_RESOURCESTRING(SWriteError, 2, "Stream write error");
TARVO_RESOURCESTRING(SFCreateErrorEx, 3, "Cannot create file \"%s\". %s");
TARVO_RESOURCESTRING(SFOpenErrorEx, 4, "Cannot open file \"%s\". %s");
TARVO_RESOURCESTRING(SInOutError, 5, "I/O error %d");
TARVO_RESOURCESTRING(SStreamSetSize, 6, "Stream size error");

}  // namespace tarvo::core
