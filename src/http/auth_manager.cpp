#include "http/auth_manager.h"

namespace tarvo::http {

const core::TClassInfo& TNetAuthenticationManager::StaticClassInfo() noexcept {
  static const core::TClassInfo info{"TNetAuthenticationManager", &::tarvo::core::ClassInfoOf<core::TComponent>(), {}};
  return info;
}

TNetAuthenticationManager::TNetAuthenticationManager(core::TComponent* owner) : core::TComponent(owner) {}

void TNetAuthenticationManager::AddAuthentication(const TNetAuthentication& authentication, const TNetURI& uri) {
  FAuthentications.push_back({uri, authentication.Params()});
}

}  // namespace tarvo::http
