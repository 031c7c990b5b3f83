// An ordered list of text domains that a translation tries in turn (one list for
// component texts, one for resource strings), guarded by a reader/writer lock because
// resource strings may be loaded from any thread.
#pragma once

#include <shared_mutex>
#include <string>
#include <string_view>
#include <vector>

namespace tarvo::i18n {

class TGettextInstance;

class TDomainList {
public:
  TDomainList() : FDomains{"default"} {}

  void Add(const std::string& domain);
  void Remove(const std::string& domain);
  // The first translation that differs from text, in list order; text itself otherwise.
  // An empty text stays empty.
  std::string Translate(TGettextInstance& instance, std::string_view text) const;

private:
  mutable std::shared_mutex FLock;
  std::vector<std::string> FDomains;
};

}  // namespace tarvo::i18n
