// The process-wide list of authentication schemes the client can answer: (scheme name,
// class), looked up by name without regard to case. At start-up it holds, in this order,
// "Basic", "NTLM" (built in, DES from libcrypto) and "Digest". There is no system security
// interface on this platform, so no "Negotiate" entry.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "http/authentication.h"

namespace tarvo::http {

// A class is its factory; nullptr stands for "none" (an event handler refusing a scheme).
using TNetAuthenticationClass = std::unique_ptr<TNetAuthentication> (*)();

// Adds an entry, or replaces the class of an existing name in its place.
void RegisterAuthScheme(std::string_view name, TNetAuthenticationClass authClass);
// Removes the entry of that name wherever it stands.
void UnregisterAuthScheme(std::string_view name);
// The class registered under the name, or nullptr.
TNetAuthenticationClass FindAuthClass(std::string_view name);
// The scheme names in registry order.
std::vector<std::string> RegisteredAuthSchemes();

// The first challenge (in order) whose scheme word (the text before its first space) is
// registered, or nullptr.
TNetAuthenticationClass FindAuthClassForChallenges(const TNetHeaderList& challenges);

template <class T>
std::unique_ptr<TNetAuthentication> CreateAuthentication() {
  return std::make_unique<T>();
}

}  // namespace tarvo::http
