// Cookies as a Python server sets them, compared with what curl (with its public suffix
// list) sends back after the same responses. The server is reached as a proxy, so the
// cases can use any host name: public suffixes, registrable domains, sibling hosts.
// Linux only: the peers are Debian programs started as Linux processes.
#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "http/http_client.h"
#include "real_peers.h"

using namespace tarvo::http;
using namespace tarvo::http::testing;

namespace {

// "http://host/path" followed by the Set-Cookie values it is to answer with.
struct Step {
  std::string url;
  std::vector<std::string> setCookies = {};
  // Where we answer otherwise than curl on purpose: what we send.
  const char* ours = nullptr;
};

std::string Target(const Step& s) {
  if (s.setCookies.empty()) return s.url;
  static const char* digits = "0123456789abcdef";
  std::string query;
  for (const std::string& c : s.setCookies) {
    if (!query.empty()) query += '.';
    for (unsigned char b : c) query += digits[b >> 4], query += digits[b & 15];
  }
  return s.url + "?" + query;
}

std::string Output(const std::string& command) {
  std::string out;
  if (FILE* p = ::popen(command.c_str(), "r")) {
    char buffer[4096];
    for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, p)) > 0;) out.append(buffer, n);
    ::pclose(p);
  }
  return out;
}

TEST(CookieServer, TheSameCookiesComeBackAsCurlSendsThem) {
  const std::string python = FindProgram("python3"), curl = FindProgram("curl");
  if (python.empty() || curl.empty()) GTEST_SKIP() << "python3 or curl missing";
  TTempDir dir{TTempPlace::Shared};
  TPortPeer server({python, std::string(TARVO_HTTP_PEERS_DIR) + "/cookie_server.py", "{port}"}, dir.Text() + "/log");
  ASSERT_TRUE(server.Ok()) << "the cookie server did not start";
  const std::string epoch = "; Expires=Thu, 01 Jan 1970 00:00:00 GMT";
  struct Case {
    const char* name;
    std::vector<Step> steps;  // every answer of a step without cookies is compared
  } cases[] = {
      {"PublicSuffixRefused",
       {{"http://www.example.co.uk/set", {"a=1; Domain=co.uk", "b=2; Domain=.uk", "c=3"}},
        {"http://other.co.uk/"},
        {"http://www.example.co.uk/"}}},
      {"RegistrableDomainShared",
       {{"http://www.example.co.uk/set", {"a=1; Domain=example.co.uk; Path=/"}}, {"http://shop.example.co.uk/"}}},
      {"TopLevelDomainRefused", {{"http://a.example.com/set", {"a=1; Domain=com"}}, {"http://b.example.com/"}}},
      {"HostOnlyStaysOnItsHost", {{"http://a.example.org/set", {"a=1; Path=/"}}, {"http://b.example.org/"},
                                  {"http://a.example.org/"}}},
      {"TheEpochDeletes",
       {{"http://a.example.org/set", {"a=1; Path=/", "b=2; Path=/"}},
        {"http://a.example.org/set", {"a=1; Path=/" + epoch}},
        {"http://a.example.org/"}}},
      {"MaxAgeZeroDeletes",
       {{"http://a.example.org/set", {"a=1; Path=/"}}, {"http://a.example.org/set", {"a=; Path=/; Max-Age=0"}},
        {"http://a.example.org/"}}},
      {"PathsAreCaseSensitive",
       {{"http://a.example.org/Tarvo/set", {"a=1; Path=/Tarvo"}}, {"http://a.example.org/tarvo/x"},
        {"http://a.example.org/Tarvo/x"}}},
      {"DefaultPathIsTheDirectory",
       {{"http://a.example.org/tarvo/Files/main.zip", {"a=1"}}, {"http://a.example.org/tarvo/Files/upgrade.zip"},
        {"http://a.example.org/tarvo/other"}, {"http://a.example.org/tarvo/Files/x/y"}}},
      {"LongerPathFirst",
       {{"http://a.example.org/tarvo/set", {"r=1; Path=/", "t=2; Path=/tarvo"}}, {"http://a.example.org/tarvo/x"}}},
      // The value is kept without its quotes and sent back so (curl sends them back).
      {"QuotedValue", {{"http://a.example.org/set", {"q=\"x y\"; Path=/"}}, {"http://a.example.org/", {}, "q=x y"}}},
  };
  const std::string proxy = "127.0.0.1:" + std::to_string(server.Port());
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TNetHTTP http;
    http.ProxyParams().SetProxyServer("127.0.0.1");
    http.ProxyParams().SetProxyPort(server.Port());
    const std::string jar = dir.Text() + "/" + c.name + ".jar";
    for (const Step& s : c.steps) {
      const std::string ours = http.Get(Target(s));
      const std::string theirs =
          Output(curl + " -s -x " + proxy + " -b " + jar + " -c " + jar + " '" + Target(s) + "'");
      if (!s.setCookies.empty()) continue;
      if (s.ours != nullptr) {
        EXPECT_EQ(ours, s.ours) << s.url;
        EXPECT_NE(theirs, s.ours) << s.url;
      } else {
        EXPECT_EQ(ours, theirs) << s.url;
      }
    }
  }
}

}  // namespace
