#include "http/auth_step.h"

#include "http/char_encoding.h"

namespace tarvo::http {

bool RunAuthorizationStep(TNetAuthStep& s) {
  ++*s.Retries;
  if (s.Proxy && !s.OnAuthorization) return false;
  std::unique_ptr<TNetAuthentication>& auth = *s.Authentication;
  if (!auth) {
    TNetAuthenticationClass chosen = FindAuthClassForChallenges(*s.Challenges);
    if (s.OnSelectAuthorization) s.OnSelectAuthorization(chosen, *s.Challenges);
    if (chosen == nullptr) return false;
    auth = chosen();
  }
  if (!s.OnAuthorization && Trim(*s.Password).empty()) return false;

  auth->AssignUserName(*s.Username);
  auth->AssignPassword(*s.Password);
  auth->Params().SetValue("Authorization", auth->Authentication());
  auth->AuthParams().Clear();
  for (std::size_t i = 0; i < s.Challenges->Count(); ++i) auth->AuthParams().Add((*s.Challenges)[i]);

  for (int asks = 0;;) {
    switch (auth->Next()) {
      case wnDoRequest:
        return true;
      case wnFail:
        return false;
      case wnAskTheProgram: {
        if (!s.OnAuthorization || asks++ == THTTPLimits::kMaxAuthorizationAsks) return false;
        auth->AssignUserName(*s.Username);
        auth->AssignPassword(*s.Password);
        bool handled = false;
        s.OnAuthorization(auth.get(), handled);
        if (!handled) return false;
        if (s.BasicAuthentication != nullptr) *s.BasicAuthentication = true;
        *s.Username = auth->Username();
        *s.Password = auth->Password();
        break;
      }
    }
  }
}

}  // namespace tarvo::http
