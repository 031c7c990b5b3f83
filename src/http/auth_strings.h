// Resource strings of the authentication schemes (identifiers 2100..2119).
#pragma once

#include "core/resource_string.h"

namespace tarvo::http {

TARVO_RESOURCESTRING(SInvalidAlgorithm, 2100,
                     "Unsupported hash algorithm. This implementation supports only MD5 encoding.");
TARVO_RESOURCESTRING(SCouldNotLoadSSLLibrary, 2101, "Could not load SSL library.");
TARVO_RESOURCESTRING(SOperationAborted, 2102, "Operation aborted");
TARVO_RESOURCESTRING(SNoRandomSource, 2103, "The system's random source is not available.");
TARVO_RESOURCESTRING(SServerNotAuthenticated, 2104,
                     "The server's answer does not prove that it knows the password.");

}  // namespace tarvo::http
