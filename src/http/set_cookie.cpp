#include "http/set_cookie.h"

#include <charconv>
#include <optional>

#include "http/char_encoding.h"
#include "http/cookie_date.h"
#include "http/cookie_public_suffix.h"

namespace tarvo::http {

namespace {

bool HasControl(std::string_view s) {
  for (unsigned char c : s)
    if ((c < 0x20 && c != '\t') || c == 0x7F) return true;
  return false;
}

// A value that begins with a double quote loses it and ends before the next one.
std::string_view Unquote(std::string_view v) {
  if (v.empty() || v.front() != '"') return v;
  v.remove_prefix(1);
  return v.substr(0, v.find('"'));
}

std::optional<std::int64_t> Integer(std::string_view v) {
  std::int64_t n = 0;
  const char* first = v.data() + (!v.empty() && v.front() == '+' ? 1 : 0);
  auto [end, ec] = std::from_chars(first, v.data() + v.size(), n);
  if (ec != std::errc() || end != v.data() + v.size() || first == end) return std::nullopt;
  return n;
}

// `seconds` from now, saturated: zero or less is long expired, beyond the session expiry is
// the session expiry.
TNetDateTime SecondsFromNow(std::int64_t seconds, TNetDateTime now) {
  if (seconds <= 0) return kCookieLongExpired;
  if (seconds > kCookieSessionExpiry - now) return kCookieSessionExpiry;
  return now + seconds;
}

}  // namespace

std::unique_ptr<TNetCookie> ParseServerCookie(std::string_view text, const TNetURI& uri, TNetDateTime now) {
  if (HasControl(text)) return nullptr;
  std::size_t semi = text.find(';');
  std::string_view pair = text.substr(0, semi);
  std::size_t eq = pair.find('=');
  if (eq == std::string_view::npos) return nullptr;
  std::string_view name = Trim(pair.substr(0, eq));
  std::string_view value = Unquote(Trim(pair.substr(eq + 1)));
  if (name.empty() || name.size() + value.size() > THTTPLimits::kMaxCookiePairBytes) return nullptr;

  std::optional<TNetDateTime> maxAge, expires;
  std::optional<std::string> domain, path;
  bool secure = false, httpOnly = false;
  std::string_view rest = semi == std::string_view::npos ? std::string_view() : text.substr(semi + 1);
  while (!rest.empty()) {
    std::size_t next = rest.find(';');
    std::string_view av = rest.substr(0, next);
    rest = next == std::string_view::npos ? std::string_view() : rest.substr(next + 1);
    std::size_t aeq = av.find('=');
    std::string_view aname = Trim(av.substr(0, aeq));
    std::string_view avalue = aeq == std::string_view::npos ? std::string_view() : Unquote(Trim(av.substr(aeq + 1)));
    if (avalue.size() > THTTPLimits::kMaxCookieAttributeBytes) continue;
    if (SameText(aname, "Expires")) {
      TNetDateTime date;
      if (std::optional<std::int64_t> n = Integer(avalue))
        expires = SecondsFromNow(*n, now);
      else if (ParseCookieDate(avalue, date))
        expires = date > 0 ? date : kCookieLongExpired;  // 0 would read as "no expiry"
    } else if (SameText(aname, "Max-Age")) {
      if (std::optional<std::int64_t> n = Integer(avalue)) maxAge = SecondsFromNow(*n, now);
    } else if (SameText(aname, "Domain")) {
      if (!avalue.empty() && avalue.front() == '.') avalue.remove_prefix(1);
      avalue = avalue.substr(0, avalue.find(':'));
      if (!avalue.empty()) domain = LowerCase(avalue);
    } else if (SameText(aname, "Path")) {
      path = std::string(avalue);
    } else if (SameText(aname, "Secure")) {
      secure = true;
    } else if (SameText(aname, "HttpOnly")) {
      httpOnly = true;
    }
  }

  auto cookie = std::make_unique<TNetCookie>();
  cookie->SetCookieName(std::string(name));
  cookie->SetValue(std::string(value));
  cookie->SetCreatedAt(now);
  cookie->SetLastAccessed(now);
  if (maxAge || expires) {
    cookie->SetExpires(maxAge ? *maxAge : *expires);
    cookie->SetPersistent(true);
  } else {
    cookie->SetExpires(kCookieSessionExpiry);
  }
  if (!domain) {
    cookie->SetHostOnly(true);
    cookie->SetDomain(uri.Host());
  } else {
    if (!CookieDomainMatch(uri.Host(), *domain)) return nullptr;
    if (IsPublicSuffix(*domain)) {
      // A cookie for every site under "com" or "co.uk". Only the suffix's own host may
      // set one, and then for itself alone.
      if (!SameText(*domain, uri.Host())) return nullptr;
      cookie->SetHostOnly(true);
    }
    cookie->SetDomain(std::move(*domain));
  }
  cookie->SetPath(path && !path->empty() && path->front() == '/' ? std::move(*path) : CookieDefaultPath(uri));
  cookie->SetSecure(secure);
  cookie->SetHttpOnly(httpOnly);
  if (httpOnly && !IsHTTPScheme(uri.Protocol())) return nullptr;
  return cookie;
}

}  // namespace tarvo::http
