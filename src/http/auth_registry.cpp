#include "http/auth_registry.h"

#include <mutex>
#include <utility>

#include "http/auth_digest.h"
#include "http/auth_ntlm.h"
#include "http/char_encoding.h"

namespace tarvo::http {

namespace {

struct TRegistry {
  std::mutex Lock;
  std::vector<std::pair<std::string, TNetAuthenticationClass>> Entries{
      {"Basic", &CreateAuthentication<TNetBasicAuthentication>},
      {"NTLM", &CreateAuthentication<TNetNTLMAuthentication>},
      {"Digest", &CreateAuthentication<TNetDigestAuthentication>},
  };
};

TRegistry& Registry() {
  static TRegistry registry;  // built on first use, freed after every user at exit
  return registry;
}

}  // namespace

void RegisterAuthScheme(std::string_view name, TNetAuthenticationClass authClass) {
  TRegistry& r = Registry();
  std::lock_guard guard(r.Lock);
  for (auto& [n, c] : r.Entries)
    if (SameText(n, name)) {
      c = authClass;
      return;
    }
  r.Entries.emplace_back(std::string(name), authClass);
}

void UnregisterAuthScheme(std::string_view name) {
  TRegistry& r = Registry();
  std::lock_guard guard(r.Lock);
  std::erase_if(r.Entries, [&](const auto& e) { return SameText(e.first, name); });
}

TNetAuthenticationClass FindAuthClass(std::string_view name) {
  TRegistry& r = Registry();
  std::lock_guard guard(r.Lock);
  for (const auto& [n, c] : r.Entries)
    if (SameText(n, name)) return c;
  return nullptr;
}

std::vector<std::string> RegisteredAuthSchemes() {
  TRegistry& r = Registry();
  std::lock_guard guard(r.Lock);
  std::vector<std::string> names;
  for (const auto& e : r.Entries) names.push_back(e.first);
  return names;
}

TNetAuthenticationClass FindAuthClassForChallenges(const TNetHeaderList& challenges) {
  for (std::size_t i = 0; i < challenges.Count(); ++i) {
    const std::string& line = challenges[i];
    if (TNetAuthenticationClass c = FindAuthClass(std::string_view(line).substr(0, line.find(' ')))) return c;
  }
  return nullptr;
}

}  // namespace tarvo::http
