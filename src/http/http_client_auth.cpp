// The client's cookies and credentials: the cookie store it keeps (its own or one it is
// given), the server and proxy authorization steps run for a 401 or 407, and the hand-over
// of a completed authentication when its connection closes.
#include "core/scope_guard.h"
#include "http/auth_manager.h"
#include "http/auth_secret.h"
#include "http/auth_step.h"
#include "http/auth_strings.h"
#include "http/cookie_manager.h"
#include "http/http_client.h"

namespace tarvo::http {

void TNetCustomHTTP::SetCookieManager(TNetCookieManager* manager) {
  if (manager == FCookieManager) return;
  if (FCookieManager != nullptr && !FImplicitCookieManager) RemoveFreeNotification(FCookieManager);
  FImplicitCookieManager.reset();
  FCookieManager = manager;
  if (manager != nullptr) FreeNotification(manager);
}

void TNetCustomHTTP::SetAuthenticationManager(TNetAuthenticationManager* manager) {
  if (manager == FAuthenticationManager) return;
  if (FAuthenticationManager != nullptr) RemoveFreeNotification(FAuthenticationManager);
  FAuthenticationManager = manager;
  if (manager != nullptr) FreeNotification(manager);
}

void TNetCustomHTTP::Notification(core::TComponent* component, core::TOperation operation) {
  if (operation == core::opRemove && component != nullptr) {
    if (component == FCookieManager && !FImplicitCookieManager) FCookieManager = nullptr;
    if (component == FAuthenticationManager) FAuthenticationManager = nullptr;
  }
  net::TNetTCPClientCustom::Notification(component, operation);
}

void TNetCustomHTTP::ProcessCookies(TNetHTTPResponse& response) {
  if (FCookieManager == nullptr) {
    FImplicitCookieManager = std::make_unique<TNetCookieManager>();
    FCookieManager = FImplicitCookieManager.get();
  }
  FCookieManager->AddServerCookies(response.RawHeaders(), FURI);
}

void TNetCustomHTTP::AddCookieHeader(TNetHeaderList& headers, const TNetURI& target) {
  if (FCookieManager != nullptr) FCookieManager->AddCookieHeader(headers, target);
}

bool TNetCustomHTTP::DoOnAuthorization(TNetHTTPRequest& request, TNetHTTPResponse& response) {
  std::string username = request.Username(), password = request.Password();
  core::TScopeGuard wipe([&password] { WipeString(password); });
  bool basic = request.BasicAuthentication();
  bool answered = false;
  TNetAuthStep step;
  step.Retries = &FAuthRetries;
  step.Challenges = &response.WWWAuthenticate();
  step.Authentication = &request.AuthenticationSlot();
  step.Username = &username;
  step.Password = &password;
  step.BasicAuthentication = &basic;
  if (OnSelectAuthorization)
    step.OnSelectAuthorization = [this](TNetAuthenticationClass& cls, const TNetHeaderList& info) {
      OnSelectAuthorization(this, cls, info);
    };
  if (OnAuthorization)
    step.OnAuthorization = [this, &answered](TNetAuthentication* auth, bool& handled) {
      OnAuthorization(this, auth, handled);
      answered = answered || handled;
    };
  bool again = RunAuthorizationStep(step);
  FServerAnswerPending = again;
  request.SetUsername(username);
  request.SetPassword(password);
  request.SetBasicAuthentication(basic);
  // Credentials the program gave when asked for this target belong to it, also when a
  // redirect led here from the origin the call began with.
  if (answered) FCredentialOrigin = OriginOf(FURI);
  return again;
}

bool TNetCustomHTTP::DoOnProxyAuthorization(TNetHTTPRequest& /*request*/, TNetHTTPResponse& response) {
  std::string username = FProxyParameters.ProxyUsername(), password = FProxyParameters.ProxyPassword();
  core::TScopeGuard wipe([&password] { WipeString(password); });
  TNetAuthStep step;
  step.Proxy = true;
  step.Retries = &FAuthProxyRetries;
  step.Challenges = &response.ProxyAuthenticate();
  step.Authentication = &FProxyParameters.AuthenticationSlot();
  step.Username = &username;
  step.Password = &password;
  if (OnSelectProxyAuthorization)
    step.OnSelectAuthorization = [this](TNetAuthenticationClass& cls, const TNetHeaderList& info) {
      OnSelectProxyAuthorization(this, cls, info);
    };
  if (OnProxyAuthorization)
    step.OnAuthorization = [this](TNetAuthentication* auth, bool& handled) { OnProxyAuthorization(this, auth, handled); };
  bool again = RunAuthorizationStep(step);
  FProxyParameters.SetProxyUsername(username);
  FProxyParameters.SetProxyPassword(password);
  return again;
}

void TNetCustomHTTP::PrepareAuthentication(TNetHTTPRequest& request) {
  if (TNetAuthentication* auth = request.Authentication()) {
    // Credentials changed since the object was fed: it answers with the new ones.
    if (auth->Username() != request.Username()) auth->AssignUserName(request.Username());
    if (auth->Password() != request.Password()) auth->AssignPassword(request.Password());
    // The server checks a Digest answer against the target it receives, and a proxy passes
    // the request on in origin form: the server's scheme is told that form, not ours.
    auth->SetRequest(request.Method(), request.UseProxy() == ctProxy ? FURI.GetPathAndParams() : request.URL());
    auth->SetRequestBody(request.Source());
  }
  // A proxy answers a Digest response for the request it reads: the same method and target.
  if (TNetAuthentication* auth = FProxyParameters.Authentication(); auth != nullptr && ProxyReadsRequest(request)) {
    auth->SetRequest(request.Method(), request.URL());
    auth->SetRequestBody(request.Source());
  }
}

void TNetCustomHTTP::CheckAuthenticationInfo(TNetHTTPResponse& response) {
  auto check = [&](TNetAuthentication* auth, const char* header) {
    if (auth == nullptr) return;
    std::string info = response.RawHeaders().Values(header);
    if (!info.empty() && !auth->CheckAuthenticationInfo(info)) {
      response.SetKeepAliveStopped();
      throw ENetException(core::LoadResString(SServerNotAuthenticated));
    }
  };
  check(Request().Authentication(), "Authentication-Info");
  check(FProxyParameters.Authentication(), "Proxy-Authentication-Info");
}

void TNetCustomHTTP::HandOverAuthentication() {
  std::unique_ptr<TNetAuthentication>& auth = Request().AuthenticationSlot();
  // An answer the server has not judged yet goes out with the repeated request, on a new
  // connection when the server (or a proxy in between) closed after its challenge.
  if (!auth || FServerAnswerPending || auth->CurrentStep() != auth->Steps()) return;
  if (FAuthenticationManager != nullptr) FAuthenticationManager->AddAuthentication(*auth, FURI);
  auth.reset();
}

}  // namespace tarvo::http
