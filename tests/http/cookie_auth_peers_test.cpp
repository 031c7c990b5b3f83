// Cookies and credentials against real servers on 127.0.0.1: nginx setting cookies with
// add_header and echoing the Cookie header it receives, nginx with auth_basic, and apache2
// with mod_auth_digest (MD5, qop auth) and mod_auth_basic. First the pieces alone over a plain socket, then
// the client and netget answering the same servers.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>

#include "../common/read_file.h"
#include "http/auth_digest.h"
#include "http/auth_registry.h"
#include "http/char_encoding.h"
#include "http/cookie_manager.h"
#include "http/http_client.h"
#include "http/http_exception.h"
#include "http/message_digest.h"
#include "../net/test_sockets.h"
#include "auth_attempt.h"
#include "real_peers.h"

using namespace tarvo::http;
using namespace tarvo::http::testing;

namespace {

std::string Md5Hex(const std::string& text) { return LowerCase(TNetHashMessageDigest5().HashStringAsHex(text)); }

// One request on a fresh connection; the whole response as text.
std::string Exchange(int port, const std::string& request) {
  int fd = tarvo::net::testing::OpenTestSocket(AF_INET);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_port = htons(static_cast<std::uint16_t>(port));
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  std::string response;
  if (::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0 &&
      tarvo::net::testing::SendTestBytes(fd, request.data(), request.size()) == static_cast<long>(request.size())) {
    char buffer[4096];
    for (long n; (n = tarvo::net::testing::ReceiveTestBytes(fd, buffer, sizeof buffer)) > 0;)
      response.append(buffer, static_cast<std::size_t>(n));
  }
  tarvo::net::testing::CloseTestSocket(fd);
  return response;
}

TNetHeaderList Challenges(const std::string& response) {
  TNetHeaderList head, out;
  head.SetText(response.substr(0, response.find("\r\n\r\n")));
  std::vector<std::string> values;
  head.Extract("WWW-Authenticate", values);
  for (std::string& v : values) out.Add(std::move(v));
  return out;
}

std::string Get(const std::string& path, const std::string& authorization,
                const TNetHeaderList& extra = TNetHeaderList()) {
  std::string r = "GET " + path + " HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n";
  if (!authorization.empty()) r += "Authorization: " + authorization + "\r\n";
  return r + extra.Text() + "\r\n";
}

std::string Body(const std::string& response) {
  std::size_t end = response.find("\r\n\r\n");
  return end == std::string::npos ? std::string() : response.substr(end + 4);
}

TEST(NginxCookies, StoredFromTheResponseAndSentBackAsTheServerSeesThem) {
  if (!Executable("/usr/sbin/nginx")) GTEST_SKIP() << "nginx is not installed";
  TTempDir root{TTempPlace::Shared};
  TNginxPeer nginx(root.Text(),
                   "location = /tarvo/Files/main.zip {\n"
                   "  add_header Set-Cookie \"a=1\";\n"
                   "  add_header Set-Cookie \"s=2; Path=/; Secure\";\n"
                   "  add_header Set-Cookie \"d=3; Path=/; Max-Age=60\";\n"
                   "  add_header Set-Cookie \"gone=1; Path=/\";\n"
                   "  add_header Set-Cookie \"x=1; Domain=other.example\";\n"
                   "  return 200 \"ok\"; }\n"
                   "location = /tarvo/Files/upgrade.zip {\n"
                   "  add_header Set-Cookie \"gone=; Path=/; Max-Age=0\";\n"
                   "  return 200 \"$http_cookie\"; }\n"
                   "location = /echo/ { return 200 \"$http_cookie\"; }\n");
  ASSERT_TRUE(nginx.Ok());
  TNetCookieManager manager;
  auto get = [&](const std::string& path) {
    const TNetURI uri(nginx.Base() + path);
    TNetHeaderList cookie;
    manager.AddCookieHeader(cookie, uri);
    std::string response = Exchange(nginx.Port(), Get(path, "", cookie));
    TNetHeaderList head;
    head.SetText(response.substr(0, response.find("\r\n\r\n")));
    manager.AddServerCookies(head, uri);
    return Body(response);
  };
  EXPECT_EQ(get("/tarvo/Files/main.zip"), "ok");
  EXPECT_EQ(manager.CookieCollection().Count(), 4u);               // the foreign domain is refused
  EXPECT_EQ(get("/tarvo/Files/upgrade.zip"), "a=1; d=3; gone=1");  // not the Secure one
  EXPECT_EQ(get("/echo/"), "d=3");

  // curl's cookie jar after the same two responses: the same cookies, paths and flags.
  std::string curl = FindProgram("curl");
  if (curl.empty()) return;
  const std::string jar = root.Text() + "/jar";
  for (const char* path : {"/tarvo/Files/main.zip", "/tarvo/Files/upgrade.zip"})
    ASSERT_EQ(LinuxShell(curl + " -s -o /dev/null -b " + jar + " -c " + jar + " " + nginx.Base() + path), 0);
  std::set<std::string> theirs, ours;
  std::ifstream in(jar);
  for (std::string line; std::getline(in, line);) {
    if (line.empty() || (line[0] == '#' && line.rfind("#HttpOnly_", 0) != 0)) continue;
    std::vector<std::string> f;  // domain, subdomains, path, secure, expiry, name, value
    std::istringstream fields(line);
    for (std::string field; std::getline(fields, field, '\t');) f.push_back(field);
    if (f.size() != 7) continue;
    // curl writes a default path with its trailing "/" ("/tarvo/Files/"); it matches the same.
    if (f[2].size() > 1 && f[2].back() == '/') f[2].pop_back();
    theirs.insert(f[5] + "=" + f[6] + " " + f[2] + (f[3] == "TRUE" ? " secure" : ""));
  }
  TNetCookieListLock lock(manager.CookieCollection(), caRead);
  for (const auto& c : lock.List())
    ours.insert(c->CookieName() + "=" + c->Value() + " " + c->Path() + (c->Secure() ? " secure" : ""));
  EXPECT_EQ(ours, theirs);
}

// Apache with keep-alive, and with "KeepAlive Off", where every answer closes the connection,
// the 401 included.
class ApacheDigest : public ::testing::TestWithParam<bool> {
protected:
  void SetUp() override {
    if (!Executable("/usr/sbin/apache2") || !std::filesystem::exists("/usr/lib/apache2/modules/mod_auth_digest.so"))
      GTEST_SKIP() << "apache2 with mod_auth_digest is not installed";
    const std::string& d = FDir.Text();
    FDir.WriteFile("htdocs/secret/x.txt", "granted\n");
    FDir.WriteFile("htdocs/basic/x.txt", "granted\n");
    // htpasswd's line for mod_auth_basic, the password in UTF-8.
    if (std::system(("printf 'J\xC3\xB6rg:%s\n' \"$(openssl passwd -apr1 'gr\xC3\xBC\xC3\x9F Gott')\" > " + d +
                     "/basic.pw").c_str()) != 0)
      GTEST_SKIP() << "openssl is not installed";
    // htdigest's line: user:realm:MD5(user:realm:password).
    FDir.WriteFile("digest.pw", "Mufasa:arvo:" + Md5Hex("Mufasa:arvo:Circle Of Life") + "\n");
    for (int attempt = 0; attempt < 3 && FPort == 0; ++attempt) {
      int port = FreeLoopbackPort();
      std::string modules = "/usr/lib/apache2/modules/";
      FDir.WriteFile(
          "httpd.conf",
          "ServerRoot " + d + "\nListen 127.0.0.1:" + std::to_string(port) + "\nPidFile " + d +
              "/httpd.pid\nErrorLog " + d + "/error.log\nServerName localhost\n" +
              (GetParam() ? "KeepAlive On\n" : "KeepAlive Off\n") + "LoadModule mpm_event_module " +
              modules + "mod_mpm_event.so\n" + "LoadModule authn_core_module " + modules + "mod_authn_core.so\n" +
              "LoadModule authn_file_module " + modules + "mod_authn_file.so\n" + "LoadModule authz_core_module " +
              modules + "mod_authz_core.so\n" + "LoadModule authz_user_module " + modules + "mod_authz_user.so\n" +
              "LoadModule auth_digest_module " + modules + "mod_auth_digest.so\n" + "LoadModule auth_basic_module " +
              modules + "mod_auth_basic.so\n" + "DocumentRoot " + d +
              "/htdocs\n<Location /secret/>\n AuthType Digest\n AuthName \"arvo\"\n"
              " AuthDigestProvider file\n AuthUserFile " +
              d + "/digest.pw\n Require valid-user\n</Location>\n<Location /basic/>\n AuthType Basic\n"
              " AuthName \"arvo\"\n AuthBasicProvider file\n AuthUserFile " + d + "/basic.pw\n"
              " Require valid-user\n</Location>\n");
      if (FProcess.Start({"/usr/sbin/apache2", "-f", d + "/httpd.conf", "-DFOREGROUND"}, d + "/out.log") &&
          WaitForPort(port, 10000))
        FPort = port;
      else
        FProcess.Stop();
    }
    ASSERT_NE(FPort, 0) << "apache2 did not start";
  }

  TTempDir FDir{TTempPlace::Shared};
  TPeerProcess FProcess;
  int FPort = 0;
};

TEST_P(ApacheDigest, TheClientAnswersWithinItsCall) {
  TNetHTTP http;
  http.SetHTTPOptions(http.HTTPOptions() | hoInProcessAuth);
  http.Request().SetUsername("Mufasa");
  http.Request().SetPassword("Circle Of Life");
  const std::string url = "http://127.0.0.1:" + std::to_string(FPort) + "/secret/x.txt";
  EXPECT_EQ(http.Get(url), "granted\n");
  EXPECT_EQ(http.AuthRetries(), 1);
  EXPECT_EQ(http.Get(url), "granted\n");  // the kept object answers the next call's challenge
  http.Request().SetPassword("circle of life");
  try {
    http.Get(url);
    ADD_FAILURE() << "a wrong password was accepted";
  } catch (const ENetHTTPProtocolException& e) {
    EXPECT_EQ(e.ErrorCode(), 401);
    // The kept object answered with the new password, once; a closed connection freed the
    // finished object, and a new one answered the new challenge.
    EXPECT_EQ(http.AuthRetries(), GetParam() ? 1 : 2);
  }
}

// mod_auth_basic with a UTF-8 password (RFC 7617), and curl's verdict on the same cases.
TEST_P(ApacheDigest, BasicWithUtf8CredentialsAsCurlSendsThem) {
  const std::string curl = FindProgram("curl");
  struct Case {
    const char* user;
    const char* password;
    bool granted;
  } cases[] = {
      {"J\xC3\xB6rg", "gr\xC3\xBC\xC3\x9F Gott", true},
      {"J\xC3\xB6rg", "gr\xC3\xBC\xC3\x9F gott", false},
      {"Jorg", "gr\xC3\xBC\xC3\x9F Gott", false},
  };
  const std::string url = "http://127.0.0.1:" + std::to_string(FPort) + "/basic/x.txt";
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.user) + ":" + c.password);
    TNetHTTP http;
    EXPECT_EQ(GetGranted(http, url, c.user, c.password), c.granted);
    if (curl.empty()) continue;
    const std::string command = curl + " -s -f -o /dev/null -u '" + c.user + ":" + c.password + "' " + url;
    EXPECT_EQ(std::system(command.c_str()) == 0, c.granted) << "curl disagrees";
  }
}

TEST_P(ApacheDigest, AnswersTheChallengeAndCountsTheNonce) {
  const std::string path = "/secret/x.txt";
  std::string first = Exchange(FPort, Get(path, ""));
  ASSERT_EQ(first.compare(0, 12, "HTTP/1.1 401"), 0) << first;
  TNetHeaderList challenges = Challenges(first);
  TNetAuthenticationClass cls = FindAuthClassForChallenges(challenges);
  ASSERT_EQ(cls, FindAuthClass("Digest"));
  auto auth = cls();
  auth->AssignUserName("Mufasa");
  auth->AssignPassword("Circle Of Life");
  for (std::size_t i = 0; i < challenges.Count(); ++i) auth->AuthParams().Add(challenges[i]);
  ASSERT_EQ(auth->Next(), wnDoRequest);
  for (const char* nc : {"nc=00000001", "nc=00000002"}) {
    auth->SetRequest("GET", path);
    std::string header = auth->Authentication();
    EXPECT_NE(header.find(nc), std::string::npos) << header;
    std::string answer = Exchange(FPort, Get(path, header));
    EXPECT_EQ(answer.compare(0, 12, "HTTP/1.1 200"), 0) << answer.substr(0, 200);
    EXPECT_NE(answer.find("granted"), std::string::npos);
  }
  TNetDigestAuthentication wrong;
  wrong.AssignUserName("Mufasa");
  wrong.AssignPassword("circle of life");
  for (std::size_t i = 0; i < challenges.Count(); ++i) wrong.AuthParams().Add(challenges[i]);
  ASSERT_EQ(wrong.Next(), wnDoRequest);
  wrong.SetRequest("GET", path);
  EXPECT_EQ(Exchange(FPort, Get(path, wrong.Authentication())).compare(0, 12, "HTTP/1.1 401"), 0);
}

// The answer to a challenge reaches the server however the connection the challenge came on
// ended: kept alive, closed by Apache after its 401, or closed by tinyproxy, which closes
// towards the client after every answer; Basic and Digest, the client and netget.
TEST_P(ApacheDigest, CredentialsSurviveTheConnectionTheChallengeCameOn) {
  TTempDir dir{TTempPlace::Shared};
  TPeerProcess proxy;
  const int proxyPort = Executable("/usr/bin/tinyproxy") ? StartTinyproxy(dir, proxy) : 0;
  struct Case {
    const char* path;
    const char* user;
    const char* password;
  } cases[] = {{"/basic/x.txt", "J\xC3\xB6rg", "gr\xC3\xBC\xC3\x9F Gott"}, {"/secret/x.txt", "Mufasa", "Circle Of Life"}};
  for (const Case& c : cases)
    for (int via = 0; via < (proxyPort != 0 ? 3 : 1); ++via) {  // direct, proxied, tunnelled
      SCOPED_TRACE(std::string(c.path) + " via " + std::to_string(via));
      TNetHTTP http;
      if (via > 0) {
        http.ProxyParams().SetProxyServer("127.0.0.1");
        http.ProxyParams().SetProxyPort(proxyPort);
      }
      if (via == 2) http.SetHTTPOptions(http.HTTPOptions() | hoNonSSLProxyUseConnectVerb);
      const std::string url = "http://127.0.0.1:" + std::to_string(FPort) + c.path;
      EXPECT_TRUE(GetGranted(http, url, c.user, c.password));
      EXPECT_EQ(http.AuthRetries(), 1);
#ifdef TARVO_NETGET
      const std::string proxyArgument = via > 0 ? " --proxy 127.0.0.1:" + std::to_string(proxyPort) : "";
      if (via < 2) {
        EXPECT_EQ(Shell(ProgramCommand(TARVO_NETGET) + proxyArgument + " --user " +
                        ShellQuote(std::string(c.user) + ":" + c.password) + " " + url + " -o " + kNullDevice),
                  0);
      }
#endif
    }
}

INSTANTIATE_TEST_SUITE_P(KeepAliveAndClose, ApacheDigest, ::testing::Bool(),
                         [](const ::testing::TestParamInfo<bool>& info) { return info.param ? "KeepAlive" : "Close"; });

#ifdef TARVO_NETGET

std::string Slurp(const std::string& path) { return tarvo::testing::ReadFile(path); }

// nginx with auth_basic (a password file made by openssl) and a cookie set on a redirect;
// the client and netget as a user would run them.
TEST(NginxAuthBasic, TheClientAndNetgetAnswerAndKeepCookies) {
  if (!Executable("/usr/sbin/nginx") || FindProgram("openssl").empty()) GTEST_SKIP() << "nginx or openssl missing";
  TTempDir root{TTempPlace::Shared};
  root.WriteFile("www/private/page.txt", "inside");
  ASSERT_EQ(LinuxShell("printf 'arvo:%s\\n' \"$(openssl passwd -apr1 'se cret:1')\" > " + root.Text() + "/htpasswd"), 0);
  TNginxPeer nginx(root.Text() + "/www",
                   "location /private/ { auth_basic \"arvo\"; auth_basic_user_file " + root.Text() +
                       "/htpasswd; }\n"
                       "location = /login { add_header Set-Cookie \"s=1; Path=/\"; return 302 /landing; }\n"
                       "location = /landing { return 200 \"[$http_cookie]\"; }\n");
  ASSERT_TRUE(nginx.Ok());
  const std::string url = nginx.Base() + "/private/page.txt";

  struct Case {
    const char* Name;
    const char* Password;
    int Retries;  // 0: the page comes back
  };
  for (const Case& c : {Case{"right", "se cret:1", 0}, Case{"wrong", "secret", 2}, Case{"none", "", 1}}) {
    SCOPED_TRACE(c.Name);
    TNetHTTP http;
    http.SetHTTPOptions(http.HTTPOptions() | hoInProcessAuth);
    http.Request().SetUsername("arvo");
    http.Request().SetPassword(c.Password);
    try {
      EXPECT_EQ(http.Get(url), "inside");
      EXPECT_EQ(c.Retries, 0);
    } catch (const ENetHTTPProtocolException& e) {
      EXPECT_EQ(e.Message(), "HTTP/1.1 401 Unauthorized");
      EXPECT_EQ(http.AuthRetries(), c.Retries);
    }
  }

  const std::string netget = ProgramCommand(TARVO_NETGET), out = root.Text() + "/out", err = root.Text() + "/err";
  // The password from the environment, or after the colon; a wrong one is the status.
  EXPECT_EQ(Shell(WithEnvironment("NETGET_USER", "arvo:se cret:1", netget + " " + url + " -o " + out)), 0);
  EXPECT_EQ(Slurp(out), "inside");
  EXPECT_EQ(Shell(netget + " " + url + " --user arvo:nope -o " + out + " 2>" + err), 1);
  EXPECT_EQ(Slurp(err), "HTTP/1.1 401 Unauthorized\n");
  EXPECT_EQ(Shell(netget + " " + nginx.Base() + "/login --follow -o " + out), 0);
  EXPECT_EQ(Slurp(out), "[s=1]");
  // -v shows the exchange, not the credentials nor the cookies.
  EXPECT_EQ(Shell(netget + " -v " + url + " --user " + ShellQuote("arvo:se cret:1") + " -o " + out + " 2>" + err), 0);
  EXPECT_NE(Slurp(err).find("> Authorization: Basic <redacted>"), std::string::npos) << Slurp(err);
  EXPECT_EQ(Slurp(err).find("YXJ2bzpzZSBjcmV0OjE"), std::string::npos);
  EXPECT_EQ(Shell(netget + " -v " + nginx.Base() + "/login --follow -o " + out + " 2>" + err), 0);
  EXPECT_NE(Slurp(err).find("> Cookie: <redacted>"), std::string::npos) << Slurp(err);
  EXPECT_EQ(Slurp(err).find("> Cookie: s=1"), std::string::npos);
}

#endif

}  // namespace
