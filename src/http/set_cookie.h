// Reading one "Set-Cookie" value into a TNetCookie, judged against the URI of the response
// that carried it (RFC 6265 section 5.2, with the choices below):
//
//   set-cookie-string = cookie-pair *( ";" cookie-av )     cookie-pair = name "=" value
//
// - Name (trimmed) must not be empty; a value in double quotes loses them (and ends at the
//   next quote). Attribute names ignore case; unknown attributes are ignored.
// - Max-Age (last one) wins over Expires (last readable one); an integer Expires counts as
//   seconds from now; zero or fewer seconds mean long expired. No expiry: a session cookie.
// - Domain: leading "." and any ":port" dropped, lower-cased; the responding host must
//   domain-match it. Without one the cookie is host-only for the responding host.
// - Path: one not starting with "/" is replaced by the directory of the responding URI.
// - A text holding a control character (CR, LF, NUL, ...; tab aside), a name and value
//   longer than THTTPLimits::kMaxCookiePairBytes, or an HttpOnly cookie for a scheme other
//   than http/https is rejected. Attribute values longer than
//   THTTPLimits::kMaxCookieAttributeBytes are ignored.
#pragma once

#include <cstddef>
#include <memory>
#include <string_view>

#include "http/cookie.h"
#include "http/http_limits.h"

namespace tarvo::http {

// The cookie, or nullptr when it is rejected. CreatedAt and LastAccessed are `now`.
std::unique_ptr<TNetCookie> ParseServerCookie(std::string_view text, const TNetURI& uri, TNetDateTime now);

}  // namespace tarvo::http
