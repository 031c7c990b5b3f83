// Set-Cookie reading, storing and matching. Input: "<responding URI>\n<request URI>\n"
// followed by one Set-Cookie value per line. Whatever the server sends, the Cookie header
// never carries CR, LF or NUL, and the store stays within its bound.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "http/cookie_manager.h"
#include "http/set_cookie.h"

using namespace tarvo::http;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string_view text(reinterpret_cast<const char*>(data), size);
  auto line = [&]() {
    std::size_t nl = text.find('\n');
    std::string_view l = text.substr(0, nl);
    text = nl == std::string_view::npos ? std::string_view() : text.substr(nl + 1);
    return l;
  };
  const TNetURI responding{line()};
  const TNetURI target{line()};
  TNetDateTime now = 1'700'000'000;
  TNetCookieManager manager;
  manager.CookieCollection().SetClock([&] { return now; });
  while (!text.empty()) {
    std::string_view value = line();
    if (auto c = ParseServerCookie(value, responding, now)) {
      if (c->CookieName().empty() ||
          c->ClientCookie().find_first_of(std::string_view("\r\n\0", 3)) != std::string::npos)
        std::abort();
      (void)c->ServerCookie(now);
    }
    manager.AddServerCookie(value, responding);
    now += 7;
  }
  for (const TNetURI* uri : {&target, &responding}) {
    TNetHeaderList headers;
    manager.AddCookieHeader(headers, *uri);
    for (const std::string& l : headers.Lines())
      if (l.find_first_of(std::string_view("\r\n\0", 3)) != std::string::npos) std::abort();
  }
  if (manager.CookieCollection().Count() > THTTPLimits::kMaxStoredCookies) std::abort();
  return 0;
}
