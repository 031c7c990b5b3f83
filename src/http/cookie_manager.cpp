#include "http/cookie_manager.h"

#include "http/char_encoding.h"
#include "http/set_cookie.h"

namespace tarvo::http {

const core::TClassInfo& TNetCookieManager::StaticClassInfo() noexcept {
  static const core::TClassInfo info{"TNetCookieManager", &::tarvo::core::ClassInfoOf<core::TComponent>(), {}};
  return info;
}

TNetCookieManager::TNetCookieManager(core::TComponent* owner) : core::TComponent(owner) {}

TNetCookieManager::~TNetCookieManager() {
  if (OnDestroy) OnDestroy(this);
}

void TNetCookieManager::AddServerCookie(std::string_view cookie, const TNetURI& uri) {
  std::unique_ptr<TNetCookie> parsed = ParseServerCookie(cookie, uri, FCookieCollection.Now());
  if (!parsed) return;
  bool accept = true;
  if (OnNewCookie) OnNewCookie(this, parsed.get(), accept);
  if (accept) FCookieCollection.AddCookie(std::move(parsed), uri);
}

void TNetCookieManager::AddServerCookies(const std::vector<std::string>& cookies, const TNetURI& uri) {
  std::size_t taken = 0;
  for (const std::string& c : cookies)
    if (taken++ < THTTPLimits::kMaxCookiesPerResponse) AddServerCookie(c, uri);
}

void TNetCookieManager::AddServerCookies(const TNetHeaderList& responseHeaders, const TNetURI& respondingURI) {
  std::vector<std::string> values;
  responseHeaders.Extract("Set-Cookie", values);
  AddServerCookies(values, respondingURI);
}

void TNetCookieManager::GenerateClientCookies(const TNetURI& url, bool secureOnly, TNetHeaderList& headers) {
  std::string value = FCookieCollection.ClientCookieHeader(url, secureOnly);
  if (!value.empty()) headers.AddValue("Cookie", value);
}

void TNetCookieManager::AddCookieHeader(TNetHeaderList& headers, const TNetURI& target) {
  GenerateClientCookies(target, SameText(target.Protocol(), "https"), headers);
}

}  // namespace tarvo::http
