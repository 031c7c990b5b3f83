// The Public Suffix List, compiled in at build time: the domains under which anyone may
// register names ("com", "co.uk", "github.io"), which a cookie must not be set for.
#pragma once

#include <string_view>

namespace tarvo::http {

// True when the lower-case domain is a suffix of the list (a rule, a wildcard rule's match,
// not an exception). Names outside the list are not public suffixes: a private top-level
// domain of a company network keeps working.
bool IsPublicSuffix(std::string_view domain);

}  // namespace tarvo::http
