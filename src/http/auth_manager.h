// TNetAuthenticationManager: remembers, per target, the parameters of authentications that
// completed (the exchange adds one when a connection closes after the last step).
#pragma once

#include <memory>
#include <vector>

#include "core/component.h"
#include "http/authentication.h"
#include "http/uri.h"

namespace tarvo::http {

struct TNetAuthenticationItem {
  TNetURI URI;
  TNetHeaderList Params;  // a copy of the authentication object's Params
};

using TNetAuthenticationCollection = std::vector<TNetAuthenticationItem>;

class TNetAuthenticationManager : public core::TComponent {
  TARVO_PERSISTENT_CLASS(TNetAuthenticationManager)
public:
  explicit TNetAuthenticationManager(core::TComponent* owner = nullptr);

  // A new item with the target and a copy of the object's Params.
  void AddAuthentication(const TNetAuthentication& authentication, const TNetURI& uri);
  const TNetAuthenticationCollection& Authentications() const { return FAuthentications; }

private:
  TNetAuthenticationCollection FAuthentications;
};

}  // namespace tarvo::http
