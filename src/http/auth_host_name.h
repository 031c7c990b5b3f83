// The name this machine gives itself in NTLM messages.
#pragma once

#include <string>

namespace tarvo::http {

// The computer's name without a domain part; empty when the system gives none.
std::string NTLMWorkstationName();

}  // namespace tarvo::http
