// TNetCookie: one cookie as a server set it (RFC 6265), and the host and path rules that
// decide where it goes back to. Times are TNetDateTime (UTC seconds); a session cookie
// expires at 9999-12-31 23:59:59 and an Expires of 0 means "none".
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "http/internet_date.h"
#include "http/uri.h"

namespace tarvo::http {

#define TARVO_COOKIE_PROPERTY(Type, Name)      \
  const Type& Name() const { return F##Name; } \
  void Set##Name(Type value) { F##Name = std::move(value); }

// 9999-12-31 23:59:59 UTC: the expiry of a session cookie.
inline constexpr TNetDateTime kCookieSessionExpiry = 253402300799;
// 0001-01-01 00:00:00 UTC: what a Max-Age of zero or less stands for (long expired).
inline constexpr TNetDateTime kCookieLongExpired = -62135596800;

class TNetCookie {
public:
  TARVO_COOKIE_PROPERTY(std::string, CookieName)
  TARVO_COOKIE_PROPERTY(std::string, Value)
  TARVO_COOKIE_PROPERTY(std::string, Domain)  // lower case, or the request host (host-only)
  TARVO_COOKIE_PROPERTY(std::string, Path)
  TARVO_COOKIE_PROPERTY(TNetDateTime, Expires)
  TARVO_COOKIE_PROPERTY(bool, Secure)
  TARVO_COOKIE_PROPERTY(bool, HttpOnly)
  TARVO_COOKIE_PROPERTY(bool, HostOnly)
  TARVO_COOKIE_PROPERTY(bool, Persistent)
  TARVO_COOKIE_PROPERTY(TNetDateTime, CreatedAt)
  TARVO_COOKIE_PROPERTY(TNetDateTime, LastAccessed)

  // Expires is set and lies before `now`.
  bool IsExpired(TNetDateTime now) const { return FExpires != 0 && FExpires < now; }
  bool IsExpired() const { return IsExpired(NetNow()); }
  // Whole seconds from `now` to Expires; -1 when Expires is 0.
  std::int64_t MaxAge(TNetDateTime now) const { return FExpires == 0 ? -1 : FExpires - now; }
  std::int64_t MaxAge() const { return MaxAge(NetNow()); }
  // "name=value".
  std::string ClientCookie() const { return FCookieName + "=" + FValue; }
  // "name=value; Path=..; Domain=..; Secure; HttpOnly; Max-Age=..; Expires=..", each part
  // only when it has something to say.
  std::string ServerCookie(TNetDateTime now) const;
  std::string ServerCookie() const { return ServerCookie(NetNow()); }

  // Orders cookies created in the same second: the store numbers them as they arrive.
  std::uint64_t CreationIndex() const { return FCreationIndex; }
  void SetCreationIndex(std::uint64_t v) { FCreationIndex = v; }

private:
  std::string FCookieName, FValue, FDomain, FPath;
  TNetDateTime FExpires = 0, FCreatedAt = 0, FLastAccessed = 0;
  bool FSecure = false, FHttpOnly = false, FHostOnly = false, FPersistent = false;
  std::uint64_t FCreationIndex = 0;
};

#undef TARVO_COOKIE_PROPERTY

// RFC 6265 5.1.3: equal without regard to case, or the host ends with "." + domain and is a
// host name (not an IPv4 or IPv6 literal, not starting with "."). Either empty: false.
bool CookieDomainMatch(std::string_view host, std::string_view domain);
// RFC 6265 5.1.4: equal (any case), or the request path starts with the cookie path and
// either the cookie path ends with "/" or the next character is "/".
bool CookiePathMatch(std::string_view requestPath, std::string_view cookiePath);
// The directory of a target's path: up to (not including) its last "/", or "/" when the
// path does not start with "/" or that "/" is the first character.
std::string CookieDefaultPath(const TNetURI& uri);
// Schemes whose requests may carry HttpOnly cookies.
bool IsHTTPScheme(std::string_view scheme);

}  // namespace tarvo::http
