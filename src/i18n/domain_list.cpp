#include "i18n/domain_list.h"

#include <algorithm>
#include <mutex>

#include "i18n/gettext_instance.h"
#include "i18n/message_box.h"

namespace tarvo::i18n {

void TDomainList::Add(const std::string& domain) {
  std::unique_lock lock(FLock);
  if (std::find(FDomains.begin(), FDomains.end(), domain) == FDomains.end()) FDomains.push_back(domain);
}

void TDomainList::Remove(const std::string& domain) {
  std::unique_lock lock(FLock);
  FDomains.erase(std::remove(FDomains.begin(), FDomains.end(), domain), FDomains.end());
}

std::string TDomainList::Translate(TGettextInstance& instance, std::string_view text) const {
  if (text.empty()) return {};
  // A catalog opened by this lookup may warn the user; the box waits until the lock is
  // released (declared first, it ends last).
  TDeferredMessageBoxes boxes;
  std::shared_lock lock(FLock);
  for (const std::string& domain : FDomains) {
    std::string result = instance.dgettext(domain, text);
    if (result != text) return result;
  }
  return std::string(text);
}

}  // namespace tarvo::i18n
