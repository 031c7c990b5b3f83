#include "http/cookie_list.h"

#include <algorithm>
#include <mutex>

#include "http/char_encoding.h"
#include "http/set_cookie.h"

namespace tarvo::http {

namespace {

// A name or value that could end a header line or the request early.
bool SafeOnTheWire(const TNetCookie& c) {
  for (std::string_view s : {std::string_view(c.CookieName()), std::string_view(c.Value())})
    for (unsigned char ch : s)
      if (ch == '\r' || ch == '\n' || ch == '\0') return false;
  return !c.CookieName().empty();
}

}  // namespace

TNetCookies::TNetCookies() = default;
TNetCookies::~TNetCookies() = default;

TNetCookieList& TNetCookies::LockCookieList(TNetCookieAccess access) {
  if (access == caRead)
    FLock.lock_shared();
  else
    FLock.lock();
  return FCookies;
}

void TNetCookies::UnlockCookieList(TNetCookieAccess access) {
  if (access == caRead)
    FLock.unlock_shared();
  else
    FLock.unlock();
}

std::size_t TNetCookies::Count() {
  std::shared_lock guard(FLock);
  return FCookies.size();
}

bool TNetCookies::AddCookie(std::unique_ptr<TNetCookie> cookie, const TNetURI& uri, bool replaceOld) {
  std::unique_lock guard(FLock);
  return StoreLocked(std::move(cookie), uri, replaceOld);
}

bool TNetCookies::StoreLocked(std::unique_ptr<TNetCookie> cookie, const TNetURI& uri, bool replaceOld) {
  if (!cookie) return false;
  cookie->SetCreationIndex(FNextIndex++);
  if (replaceOld) {
    auto old = std::find_if(FCookies.begin(), FCookies.end(), [&](const auto& c) {
      return SameText(c->CookieName(), cookie->CookieName()) && SameText(c->Domain(), cookie->Domain()) &&
             SameText(c->Path(), cookie->Path());
    });
    if (old != FCookies.end()) {
      if ((*old)->HttpOnly() && !IsHTTPScheme(uri.Protocol())) return false;
      cookie->SetCreatedAt((*old)->CreatedAt());
      cookie->SetCreationIndex((*old)->CreationIndex());
      FCookies.erase(old);
    }
  }
  if (cookie->IsExpired(Now())) return false;
  // Over a cap the least recently sent cookie goes (of the domain, then of all).
  auto stalest = [](const auto& a, const auto& b) {
    return a->LastAccessed() != b->LastAccessed() ? a->LastAccessed() < b->LastAccessed()
                                                  : a->CreationIndex() < b->CreationIndex();
  };
  std::size_t sameDomain = 0;
  auto oldestOfDomain = FCookies.end();
  for (auto it = FCookies.begin(); it != FCookies.end(); ++it)
    if (SameText((*it)->Domain(), cookie->Domain())) {
      ++sameDomain;
      if (oldestOfDomain == FCookies.end() || stalest(*it, *oldestOfDomain)) oldestOfDomain = it;
    }
  if (sameDomain >= THTTPLimits::kMaxCookiesPerDomain) FCookies.erase(oldestOfDomain);
  if (FCookies.size() >= THTTPLimits::kMaxStoredCookies) {
    auto stalest = std::min_element(FCookies.begin(), FCookies.end(),
                                    [](const auto& a, const auto& b) { return a->LastAccessed() < b->LastAccessed(); });
    FCookies.erase(stalest);
  }
  FCookies.push_back(std::move(cookie));
  return true;
}

bool TNetCookies::AddServerCookie(std::string_view text, const TNetURI& uri) {
  return AddCookie(ParseServerCookie(text, uri, Now()), uri);
}

void TNetCookies::AddServerCookies(const std::vector<std::string>& texts, const TNetURI& uri) {
  std::size_t taken = 0;
  for (const std::string& t : texts)
    if (taken++ < THTTPLimits::kMaxCookiesPerResponse) AddServerCookie(t, uri);
}

void TNetCookies::AddClientCookie(std::string_view pair) {
  std::size_t eq = pair.find('=');
  if (eq == std::string_view::npos) return;
  auto cookie = std::make_unique<TNetCookie>();
  cookie->SetCookieName(std::string(Trim(pair.substr(0, eq))));
  cookie->SetValue(std::string(Trim(pair.substr(eq + 1))));
  if (cookie->CookieName().empty()) return;
  const TNetDateTime now = Now();
  cookie->SetExpires(kCookieSessionExpiry);
  cookie->SetCreatedAt(now);
  cookie->SetLastAccessed(now);
  cookie->SetPath("/");
  std::unique_lock guard(FLock);
  StoreLocked(std::move(cookie), TNetURI(), false);
}

void TNetCookies::AddClientCookies(std::string_view header) {
  while (!header.empty()) {
    std::size_t semi = header.find(';');
    AddClientCookie(header.substr(0, semi));
    header = semi == std::string_view::npos ? std::string_view() : header.substr(semi + 1);
  }
}

void TNetCookies::AddCookies(TNetCookies& source) {
  if (&source == this) return;
  std::vector<std::unique_ptr<TNetCookie>> copies;
  {
    std::shared_lock guard(source.FLock);
    for (const auto& c : source.FCookies) copies.push_back(std::make_unique<TNetCookie>(*c));
  }
  std::unique_lock guard(FLock);
  for (auto& c : copies) {
    c->SetCreationIndex(FNextIndex++);
    if (FCookies.size() < THTTPLimits::kMaxStoredCookies) FCookies.push_back(std::move(c));
  }
}

long TNetCookies::GetCookieIndex(std::string_view name, std::size_t firstIndex) {
  std::shared_lock guard(FLock);
  for (std::size_t i = firstIndex; i < FCookies.size(); ++i)
    if (SameText(FCookies[i]->CookieName(), name)) return static_cast<long>(i);
  return -1;
}

long TNetCookies::GetCookieIndex(std::string_view name, std::string_view domain, std::size_t firstIndex) {
  std::shared_lock guard(FLock);
  for (std::size_t i = firstIndex; i < FCookies.size(); ++i)
    if (SameText(FCookies[i]->CookieName(), name) && SameText(FCookies[i]->Domain(), domain))
      return static_cast<long>(i);
  return -1;
}

TNetCookie* TNetCookies::GetCookieByNameAndDomain(std::string_view name, std::string_view domain) {
  long i = GetCookieIndex(name, domain);
  std::shared_lock guard(FLock);
  return i < 0 ? nullptr : FCookies[static_cast<std::size_t>(i)].get();
}

void TNetCookies::Clear() {
  std::unique_lock guard(FLock);
  FCookies.clear();
}

std::size_t TNetCookies::PurgeExpired() {
  const TNetDateTime now = Now();
  std::unique_lock guard(FLock);
  return std::erase_if(FCookies, [&](const auto& c) { return c->IsExpired(now); });
}

std::string TNetCookies::ClientCookieHeader(const TNetURI& target, bool secureOnly) {
  const TNetDateTime now = Now();
  // LastAccessed changes below, so the whole pick runs under the writer's lock.
  std::unique_lock guard(FLock);
  std::erase_if(FCookies, [&](const auto& c) { return c->IsExpired(now); });
  const bool httpScheme = IsHTTPScheme(target.Protocol());
  // The whole request path, document included: "/a/b" gets the cookies of path "/a/b".
  const std::string requestPath = target.Path() + target.Document();
  std::vector<TNetCookie*> picked;
  for (const auto& c : FCookies) {
    const bool hostOk =
        c->HostOnly() ? SameText(c->Domain(), target.Host()) : CookieDomainMatch(target.Host(), c->Domain());
    if (hostOk && CookiePathMatch(requestPath, c->Path()) && (!c->Secure() || secureOnly) &&
        (!c->HttpOnly() || httpScheme) && SafeOnTheWire(*c))
      picked.push_back(c.get());
  }
  std::stable_sort(picked.begin(), picked.end(), [](const TNetCookie* a, const TNetCookie* b) {
    if (a->Path().size() != b->Path().size()) return a->Path().size() > b->Path().size();
    if (a->CreatedAt() != b->CreatedAt()) return a->CreatedAt() < b->CreatedAt();
    return a->CreationIndex() < b->CreationIndex();
  });
  std::string header;
  for (TNetCookie* c : picked) {
    const std::string pair = c->ClientCookie();
    if (header.size() + 2 + pair.size() > THTTPLimits::kMaxCookieHeaderBytes) continue;
    c->SetLastAccessed(now);
    if (!header.empty()) header += "; ";
    header += pair;
  }
  return header;
}

}  // namespace tarvo::http
