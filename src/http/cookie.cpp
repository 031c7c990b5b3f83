#include "http/cookie.h"

#include "http/char_encoding.h"

namespace tarvo::http {

namespace {

bool IsIPv4Literal(std::string_view h) {
  int parts = 0;
  std::size_t i = 0;
  while (i <= h.size()) {
    std::size_t start = i;
    while (i < h.size() && h[i] >= '0' && h[i] <= '9') ++i;
    if (i == start || i - start > 3) return false;
    ++parts;
    if (i == h.size()) break;
    if (h[i] != '.') return false;
    ++i;
  }
  return parts == 4;
}

bool EndsWithText(std::string_view s, std::string_view suffix) {
  return s.size() >= suffix.size() && SameText(s.substr(s.size() - suffix.size()), suffix);
}

}  // namespace

std::string TNetCookie::ServerCookie(TNetDateTime now) const {
  std::string s = ClientCookie();
  if (!FPath.empty()) s += "; Path=" + FPath;
  if (!FDomain.empty()) s += "; Domain=" + FDomain;
  if (FSecure) s += "; Secure";
  if (FHttpOnly) s += "; HttpOnly";
  if (std::int64_t age = MaxAge(now); age >= 0) s += "; Max-Age=" + std::to_string(age);
  if (FExpires != 0) s += "; Expires=" + DateTimeToInternetStr(FExpires);
  return s;
}

bool CookieDomainMatch(std::string_view host, std::string_view domain) {
  if (host.empty() || domain.empty()) return false;
  if (SameText(host, domain)) return true;
  if (!EndsWithText(host, domain) || host.size() == domain.size()) return false;
  if (host[host.size() - domain.size() - 1] != '.') return false;
  return host.front() != '.' && host.find(':') == std::string_view::npos && !IsIPv4Literal(host);
}

bool CookiePathMatch(std::string_view requestPath, std::string_view cookiePath) {
  // Paths are case-sensitive on the server: /Private must not get the cookies of /private.
  if (requestPath == cookiePath) return true;
  if (requestPath.size() <= cookiePath.size() || requestPath.substr(0, cookiePath.size()) != cookiePath)
    return false;
  return (!cookiePath.empty() && cookiePath.back() == '/') || requestPath[cookiePath.size()] == '/';
}

std::string CookieDefaultPath(const TNetURI& uri) {
  const std::string& path = uri.Path();
  std::size_t last = path.rfind('/');
  if (path.empty() || path.front() != '/' || last == 0) return "/";
  return path.substr(0, last);
}

bool IsHTTPScheme(std::string_view scheme) { return SameText(scheme, "http") || SameText(scheme, "https"); }

}  // namespace tarvo::http
