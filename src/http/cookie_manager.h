// TNetCookieManager: the component a client keeps its cookies in. The exchange hands it
// the "Set-Cookie" values of every response with the URI that answered, and asks it for
// the "Cookie" header of every request it writes (a proxy CONNECT aside). Cookies live in
// memory only, for as long as the manager.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "core/component.h"
#include "http/cookie_list.h"
#include "http/header_list.h"

namespace tarvo::http {

class TNetCookieManager;

// Raised for each cookie a server sets, before it is stored; VAccept false drops it.
using TNetNewCookieEvent = std::function<void(TNetCookieManager* ASender, TNetCookie* ACookie, bool& VAccept)>;
using TNetCookieManagerEvent = std::function<void(TNetCookieManager* ASender)>;

class TNetCookieManager : public core::TComponent {
  TARVO_PERSISTENT_CLASS(TNetCookieManager)
public:
  explicit TNetCookieManager(core::TComponent* owner = nullptr);
  ~TNetCookieManager() override;

  TNetCookies& CookieCollection() { return FCookieCollection; }

  // One "Set-Cookie" value, judged against the URI of the response that carried it (after
  // a redirect, the host that sent it, not the one first asked). Parse, OnNewCookie, then
  // store with replacement.
  void AddServerCookie(std::string_view cookie, const TNetURI& uri);
  void AddServerCookies(const std::vector<std::string>& cookies, const TNetURI& uri);
  // Every "Set-Cookie" line of a response's headers, in order.
  void AddServerCookies(const TNetHeaderList& responseHeaders, const TNetURI& respondingURI);

  // Appends "Cookie: ..." (AddValue, so after every other header) when a stored cookie
  // matches the target; purges expired cookies first.
  void GenerateClientCookies(const TNetURI& url, bool secureOnly, TNetHeaderList& headers);
  // The same with SecureOnly taken from the target's scheme (https, any case).
  void AddCookieHeader(TNetHeaderList& headers, const TNetURI& target);

  TNetNewCookieEvent OnNewCookie;
  TNetCookieManagerEvent OnDestroy;

private:
  TNetCookies FCookieCollection;
};

}  // namespace tarvo::http
