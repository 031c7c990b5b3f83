// One authorization step of the exchange, for a 401 (server) or a 407 (proxy): pick a
// scheme from the challenges, create and feed the authentication object, and say whether
// the request is to be sent again. The exchange binds its request or proxy settings and
// its events into a TNetAuthStep and calls RunAuthorizationStep while its retry count is
// below MaxAuthRetries; on false it resets the object and raises the protocol error.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "http/auth_registry.h"
#include "http/authentication.h"
#include "http/http_limits.h"

namespace tarvo::http {

// May change the chosen class (nullptr refuses).
using TNetSelectAuthorizationEvent =
    std::function<void(TNetAuthenticationClass& AuthenticationClass, const TNetHeaderList& AuthInfo)>;
// Asked for credentials when the scheme reports wnAskTheProgram; Handled true to go on.
using TNetAuthorizationEvent = std::function<void(TNetAuthentication* Authentication, bool& Handled)>;

struct TNetAuthStep {
  bool Proxy = false;                                             // 407: credentials only via the handler
  int* Retries = nullptr;                                         // AuthRetries / AuthProxyRetries
  const TNetHeaderList* Challenges = nullptr;                     // WWWAuthenticate / ProxyAuthenticate
  std::unique_ptr<TNetAuthentication>* Authentication = nullptr;  // the request's / proxy's object
  std::string* Username = nullptr;                                // credentials, copied back from the
  std::string* Password = nullptr;                                //   handler's answer
  bool* BasicAuthentication = nullptr;                            // set when the handler answers (server)
  TNetSelectAuthorizationEvent OnSelectAuthorization;
  TNetAuthorizationEvent OnAuthorization;
};

// True when the request is to be sent again with the object's header. May raise what
// creating or feeding the scheme raises (ENetOSSLCouldNotLoadSSLLibrary, ENetInvalidAlgorithm).
bool RunAuthorizationStep(TNetAuthStep& step);

}  // namespace tarvo::http
