// The exchange answering challenges and keeping cookies, against scripted servers on
// 127.0.0.1: what goes on the wire, on which connection, for which host, and where it stops.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>

#include "core/memory_stream.h"
#include "http/auth_manager.h"
#include "http/cookie_manager.h"
#include "http/http_client.h"
#include "http/http_exception.h"
#include "http/message_digest.h"
#include "real_peers.h"
#include "scripted_peer.h"

using namespace tarvo;
using namespace tarvo::http;
using namespace tarvo::http::testing;

namespace {

int Count(const std::string& text, const std::string& what) {
  int n = 0;
  for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
  return n;
}

std::vector<TScriptedResponse> Repeat(const std::string& response, int times) {
  return std::vector<TScriptedResponse>(static_cast<std::size_t>(times), TScriptedResponse{response});
}

// A server or proxy that challenges every request, whatever credentials come: one answer,
// and its refusal ends the call (wrong credentials do not get better by repeating them).
struct TEndlessCase {
  const char* Name;
  bool Proxy;
  bool InProcess;
  int Requests;  // sent in the one call
  bool Raises;   // else the call returns the challenge with its page
};

class EndlessChallenge : public ::testing::TestWithParam<TEndlessCase> {};

TEST_P(EndlessChallenge, StopsAfterTheRetryLimitWithTheStatus) {
  const TEndlessCase& c = GetParam();
  const std::string status = c.Proxy ? "HTTP/1.1 407 Proxy Authentication Required" : "HTTP/1.1 401 Unauthorized";
  const std::string challenge = c.Proxy ? "Proxy-Authenticate" : "WWW-Authenticate";
  TScriptedServer server([&](int) {
    return Repeat(status + "\r\n" + challenge + ": Basic realm=\"r\"\r\nContent-Length: 4\r\n\r\npage", 8);
  });
  TNetHTTP http;
  std::string url = "http://127.0.0.1:" + std::to_string(server.Port()) + "/x";
  if (c.Proxy) {
    http.ProxyParams().SetProxyServer("127.0.0.1");
    http.ProxyParams().SetProxyPort(server.Port());
    http.OnProxyAuthorization = [](TNetCustomHTTP*, TNetAuthentication* auth, bool& handled) {
      auth->SetUsername("pu");
      auth->SetPassword("pp");
      handled = true;
    };
    url = "http://origin.invalid/x";
  } else {
    http.Request().SetUsername("u");
    http.Request().SetPassword("p");
  }
  if (c.InProcess) http.SetHTTPOptions(http.HTTPOptions() | hoInProcessAuth);
  core::TMemoryStream out;
  try {
    http.Get(url, out);
    EXPECT_FALSE(c.Raises);
    EXPECT_EQ(out.DataString(), "page");
  } catch (const ENetHTTPProtocolException& e) {
    EXPECT_TRUE(c.Raises);
    EXPECT_EQ(e.Message(), status);
    EXPECT_EQ(e.ErrorCode(), c.Proxy ? 407 : 401);
    EXPECT_EQ(out.Size(), 0);
  }
  EXPECT_EQ(c.Proxy ? http.AuthProxyRetries() : http.AuthRetries(), c.Requests == 1 ? 1 : 2);
  const std::string received = server.Received();
  EXPECT_EQ(Count(received, "GET "), c.Requests);
  // Every request after the first answers the challenge.
  const std::string header = c.Proxy ? "Proxy-Authorization: Basic cHU6cHA=" : "Authorization: Basic dTpw";
  EXPECT_EQ(Count(received, header), c.Requests - 1);
}

INSTANTIATE_TEST_SUITE_P(Cases, EndlessChallenge,
                         ::testing::Values(TEndlessCase{"Server", false, true, 2, true},
                                           TEndlessCase{"Proxy", true, true, 2, true},
                                           TEndlessCase{"ServerOneCallOneRound", false, false, 1, false},
                                           TEndlessCase{"ProxyOneCallOneRound", true, false, 1, false}),
                         [](const auto& info) { return std::string(info.param.Name); });

// A Type 2 message: signature, type, empty target name, flags, the server nonce.
std::string NTLMChallengeLine() {
  std::string m(48, '\0');
  m.replace(0, 8, std::string("NTLMSSP\0", 8));
  m[8] = 2;
  m[16] = 48;
  m[20] = 0x01, m[21] = 0x02;
  for (int i = 0; i < 8; ++i) m[24 + i] = static_cast<char>(0x11 * (i + 1));
  m[44] = 48;
  return "NTLM " + EncodeBase64(m);
}

// NTLM authenticates the connection: the Type 1, the challenge and the Type 3 must travel
// on one, also for an HTTP/1.0 POST, which otherwise closes after each response.
TEST(NTLMExchange, ThreeStepsOnOneKeptConnection) {
  for (bool post : {false, true}) {
    SCOPED_TRACE(post ? "POST" : "GET");
    auto responses = [](int) {
      return std::vector<TScriptedResponse>{
          {"HTTP/1.1 401 Unauthorized\r\nWWW-Authenticate: NTLM\r\nContent-Length: 0\r\n\r\n"},
          {"HTTP/1.1 401 Unauthorized\r\nWWW-Authenticate: " + NTLMChallengeLine() + "\r\nContent-Length: 0\r\n\r\n"},
          {"HTTP/1.1 200 OK\r\nContent-Length: 2\r\n\r\nok"}};
    };
    TScriptedServer server(responses);
    TNetHTTP http;
    http.SetHTTPOptions(http.HTTPOptions() | hoInProcessAuth);
    http.Request().SetUsername("DOM\\user");
    http.Request().SetPassword("SecREt01");
    const std::string url = "http://127.0.0.1:" + std::to_string(server.Port()) + "/ntlm";
    if (post) {
      core::TMemoryStream source(std::vector<std::uint8_t>{'a', '=', '1'});
      EXPECT_EQ(http.Post(url, source), "ok");
    } else {
      EXPECT_EQ(http.Get(url), "ok");
    }
    EXPECT_EQ(server.Connections(), 1);
    const std::string received = server.Received();
    EXPECT_EQ(Count(received, "Authorization: NTLM TlRMTVNTUAABAAAA"), 1);  // Type 1
    EXPECT_EQ(Count(received, "Authorization: NTLM TlRMTVNTUAADAAAA"), 1);  // Type 3
    EXPECT_EQ(Count(received, "\r\n\r\na=1"), post ? 3 : 0);  // the body each time

    // curl speaks the same first two steps: the header name, the scheme, the message type.
    std::string curl = FindProgram("curl");
    if (!post && !curl.empty()) {
      // curl starts with its Type 1 unasked.
      TScriptedServer peer([&](int port) {
        std::vector<TScriptedResponse> r = responses(port);
        r.erase(r.begin());
        return r;
      });
      std::string command = curl + " -s -o /dev/null --ntlm -u 'DOM\\user:SecREt01' http://127.0.0.1:" +
                            std::to_string(peer.Port()) + "/ntlm";
      EXPECT_EQ(LinuxShell(command), 0);
      EXPECT_EQ(peer.Connections(), 1);
      EXPECT_EQ(Count(peer.Received(), "Authorization: NTLM TlRMTVNTUAABAAAA"), 1);
      EXPECT_EQ(Count(peer.Received(), "Authorization: NTLM TlRMTVNTUAADAAAA"), 1);
    }
  }
}

// The items of the "Authorization: Digest ..." line in what a server received, unquoted.
std::map<std::string, std::string> DigestItems(const std::string& received) {
  std::map<std::string, std::string> items;
  std::size_t at = received.find("Authorization: Digest ");
  if (at == std::string::npos) return items;
  std::string line = received.substr(at + 22, received.find("\r\n", at) - at - 22);
  for (std::size_t i = 0; i < line.size();) {
    std::size_t eq = line.find('=', i);
    if (eq == std::string::npos) break;
    std::string name(Trim(std::string_view(line).substr(i, eq - i)));
    std::size_t end = line[eq + 1] == '"' ? line.find('"', eq + 2) + 1 : line.find(',', eq);
    if (end == std::string::npos || end == 0) end = line.size();
    std::string value = line.substr(eq + 1, end - eq - 1);
    if (value.size() >= 2 && value.front() == '"') value = value.substr(1, value.size() - 2);
    items[name] = value;
    i = line.find(',', end);
    i = i == std::string::npos ? line.size() : i + 1;
  }
  return items;
}

// curl as the oracle for Digest: both answer the same challenge with the same items, and
// curl's response value is the one our hash of its inputs gives.
TEST(DigestExchange, SameItemsAsCurlAndTheSameResponseFunction) {
  std::string curl = FindProgram("curl");
  if (curl.empty()) GTEST_SKIP() << "curl is not installed";
  auto responses = [](int) {
    return std::vector<TScriptedResponse>{
        {"HTTP/1.1 401 Unauthorized\r\nWWW-Authenticate: Digest realm=\"arvo\", qop=\"auth\", "
         "nonce=\"dcd98b7102dd2f0e\", opaque=\"5ccc069c\", algorithm=MD5\r\nContent-Length: 0\r\n\r\n"},
        {"HTTP/1.1 200 OK\r\nContent-Length: 2\r\n\r\nok"}};
  };
  TScriptedServer ours(responses), theirs(responses);
  TNetHTTP http;
  http.SetHTTPOptions(http.HTTPOptions() | hoInProcessAuth);
  http.Request().SetUsername("Mufasa");
  http.Request().SetPassword("Circle Of Life");
  EXPECT_EQ(http.Get("http://127.0.0.1:" + std::to_string(ours.Port()) + "/dir/index.html"), "ok");
  ASSERT_EQ(LinuxShell(curl + " -s -o /dev/null --digest -u 'Mufasa:Circle Of Life' http://127.0.0.1:" +
                       std::to_string(theirs.Port()) + "/dir/index.html"),
            0);
  std::map<std::string, std::string> a = DigestItems(ours.Received()), b = DigestItems(theirs.Received());
  ASSERT_FALSE(b.empty());
  std::vector<std::string> namesA, namesB;
  for (const auto& [name, value] : a) namesA.push_back(name);
  for (const auto& [name, value] : b) namesB.push_back(name);
  EXPECT_EQ(namesA, namesB);
  for (const char* same : {"username", "realm", "nonce", "uri", "qop", "nc", "opaque", "algorithm"})
    EXPECT_EQ(a[same], b[same]) << same;
  auto h = [](const std::string& text) { return LowerCase(TNetHashMessageDigest5().HashStringAsHex(text)); };
  EXPECT_EQ(h(h("Mufasa:arvo:Circle Of Life") + ":" + b["nonce"] + ":" + b["nc"] + ":" + b["cnonce"] + ":auth:" +
              h("GET:" + b["uri"])),
            b["response"]);
}

// A redirect to another host: what the first host set or was given stays with it, and the
// cookie the second host sets is its own, not the first host's.
TEST(RedirectedExchange, CookiesAndCredentialsStayWithTheirHost) {
  TScriptedServer farServer([](int) {
    return std::vector<TScriptedResponse>{
        {"HTTP/1.1 200 OK\r\nSet-Cookie: far=1\r\nContent-Length: 2\r\n\r\nok"},
        {"HTTP/1.1 200 OK\r\nContent-Length: 0\r\n\r\n"}};
  });
  TScriptedServer nearServer([&](int port) {
    std::string self = "http://127.0.0.1:" + std::to_string(port);
    return std::vector<TScriptedResponse>{
        {"HTTP/1.1 401 Unauthorized\r\nWWW-Authenticate: Basic realm=\"r\"\r\nContent-Length: 0\r\n\r\n"},
        {"HTTP/1.1 302 Found\r\nSet-Cookie: near=1\r\nLocation: http://localhost:" + std::to_string(farServer.Port()) +
         "/land\r\nContent-Length: 0\r\n\r\n"},
        {"HTTP/1.1 200 OK\r\nContent-Length: 0\r\n\r\n"}};
  });
  TNetHTTP http;
  http.SetHandleRedirects(true);
  http.SetHTTPOptions(http.HTTPOptions() | hoInProcessAuth);
  http.Request().SetUsername("u");
  http.Request().SetPassword("p");
  const std::string nearURL = "http://127.0.0.1:" + std::to_string(nearServer.Port());
  EXPECT_EQ(http.Get(nearURL + "/start"), "ok");
  ASSERT_NE(http.CookieManager(), nullptr);
  TNetCookies& cookies = http.CookieManager()->CookieCollection();
  ASSERT_EQ(cookies.Count(), 2u);
  EXPECT_NE(cookies.GetCookieByNameAndDomain("far", "localhost"), nullptr);
  EXPECT_NE(cookies.GetCookieByNameAndDomain("near", "127.0.0.1"), nullptr);

  http.Get(nearURL + "/again");
  http.Get("http://localhost:" + std::to_string(farServer.Port()) + "/again");
  const std::string nearSaw = nearServer.Received(), farSaw = farServer.Received();
  EXPECT_EQ(Count(nearSaw, "Authorization: Basic dTpw"), 1);
  EXPECT_EQ(Count(farSaw, "Authorization"), 0);
  EXPECT_EQ(Count(nearSaw, "Cookie: near=1\r\n"), 1);
  EXPECT_EQ(Count(farSaw, "Cookie: far=1\r\n"), 1);
  EXPECT_EQ(Count(nearSaw, "far=1"), 0);
  EXPECT_EQ(Count(farSaw, "near=1"), 0);
}

// Credentials the program gives when the host a redirect led to asks for them are that
// host's: they reach it, within the call.
TEST(RedirectedExchange, TheProgramAnswersForTheNewHost) {
  TScriptedServer farServer([](int) {
    return std::vector<TScriptedResponse>{
        {"HTTP/1.1 401 Unauthorized\r\nWWW-Authenticate: Basic realm=\"farServer\"\r\nContent-Length: 0\r\n\r\n"},
        {"HTTP/1.1 200 OK\r\nContent-Length: 2\r\n\r\nok"}};
  });
  TScriptedServer nearServer([&](int) {
    return std::vector<TScriptedResponse>{{"HTTP/1.1 302 Found\r\nLocation: http://localhost:" +
                                           std::to_string(farServer.Port()) + "/land\r\nContent-Length: 0\r\n\r\n"}};
  });
  TNetHTTP http;
  http.SetReadTimeout(10000);  // a retry sent to the wrong host would wait for ever
  http.SetHandleRedirects(true);
  http.SetHTTPOptions(http.HTTPOptions() | hoInProcessAuth);
  http.Request().SetUsername("u");
  http.Request().SetPassword("p");
  int asked = 0;
  http.OnAuthorization = [&](TNetCustomHTTP*, TNetAuthentication* auth, bool& handled) {
    ++asked;
    auth->SetUsername("far");
    auth->SetPassword("fp");
    handled = true;
  };
  EXPECT_EQ(http.Get("http://127.0.0.1:" + std::to_string(nearServer.Port()) + "/start"), "ok");
  EXPECT_EQ(asked, 1);
  EXPECT_EQ(Count(farServer.Received(), "Authorization: Basic ZmFyOmZw\r\n"), 1);
  EXPECT_EQ(Count(nearServer.Received(), "Authorization"), 0);
}

// A proxy's answer to CONNECT is not the tunnelled site's: cookies in it are not stored.
TEST(TunnelExchange, CookiesFromTheProxyAnswerAreNotStored) {
  TScriptedServer proxy([](int) {
    return std::vector<TScriptedResponse>{
        {"HTTP/1.1 200 Connection established\r\nSet-Cookie: planted=1\r\n\r\n"
         "HTTP/1.1 200 OK\r\nContent-Length: 0\r\n\r\n"}};
  });
  TNetHTTP http;
  http.ProxyParams().SetProxyServer("127.0.0.1");
  http.ProxyParams().SetProxyPort(proxy.Port());
  http.SetHTTPOptions(http.HTTPOptions() | hoNonSSLProxyUseConnectVerb);
  core::TMemoryStream out;
  http.Get("http://site.invalid/x", out);
  EXPECT_EQ(http.ResponseCode(), 200);
  EXPECT_TRUE(http.CookieManager() == nullptr || http.CookieManager()->CookieCollection().Count() == 0);
}

// A scheme done in one step, so that its object is complete when the connection closes.
class TOneStepAuthentication : public TNetAuthentication {
public:
  static std::unique_ptr<TNetAuthentication> Create() { return std::make_unique<TOneStepAuthentication>(); }
  std::string Authentication() override { return "Token t"; }
  int Steps() const override { return 1; }

protected:
  TNetAuthWhatsNext NextStep() override {
    FCurrentStep = 1;
    return wnDoRequest;
  }
};

// The managers a program gives the client: cookies go into its store, a completed
// authentication reaches its manager when the connection closes, and a manager freed
// first is forgotten (the client then keeps cookies in one of its own).
TEST(ClientManagers, GivenManagersAreUsedAndForgottenWhenFreed) {
  TScriptedServer server([](int) {
    return std::vector<TScriptedResponse>{
        {"HTTP/1.1 401 Unauthorized\r\nWWW-Authenticate: Token\r\nSet-Cookie: m=1\r\nContent-Length: 0\r\n\r\n"},
        {"HTTP/1.1 200 OK\r\nConnection: close\r\nContent-Length: 0\r\n\r\n", true},
        {"HTTP/1.1 200 OK\r\nSet-Cookie: n=1\r\nContent-Length: 0\r\n\r\n"}};
  });
  TNetHTTP http;
  http.SetHTTPOptions(http.HTTPOptions() | hoInProcessAuth);
  http.Request().SetPassword("p");
  auto cookies = std::make_unique<TNetCookieManager>();
  auto auths = std::make_unique<TNetAuthenticationManager>();
  http.SetCookieManager(cookies.get());
  http.SetAuthenticationManager(auths.get());
  http.OnSelectAuthorization = [](TNetCustomHTTP*, TNetAuthenticationClass& cls, const TNetHeaderList&) {
    cls = &TOneStepAuthentication::Create;
  };
  const std::string url = "http://127.0.0.1:" + std::to_string(server.Port()) + "/m";
  http.Get(url);
  EXPECT_EQ(cookies->CookieCollection().Count(), 1u);
  ASSERT_EQ(auths->Authentications().size(), 1u);
  EXPECT_EQ(auths->Authentications()[0].URI.Host(), "127.0.0.1");
  EXPECT_EQ(auths->Authentications()[0].Params.Values("Authorization"), "Token t");
  EXPECT_EQ(http.Request().Authentication(), nullptr);

  cookies.reset();
  auths.reset();
  EXPECT_EQ(http.CookieManager(), nullptr);
  EXPECT_EQ(http.AuthenticationManager(), nullptr);
  http.Get(url);
  ASSERT_NE(http.CookieManager(), nullptr);
  EXPECT_EQ(http.CookieManager()->CookieCollection().Count(), 1u);
  EXPECT_EQ(Count(server.Received(), "Authorization: Token t"), 1);
}

// The text and file forms of Post send the same bytes as the stream form.
TEST(PostForms, TextAndFileSendTheSourceAsItIs) {
  TTempDir dir{TTempPlace::Shared};
  const std::string body(70000, 'x');
  dir.WriteFile("body.bin", body);
  TScriptedServer server([](int) { return Repeat("HTTP/1.1 200 OK\r\nContent-Length: 4\r\n\r\ndone", 2); });
  TNetHTTP http;
  const std::string url = "http://127.0.0.1:" + std::to_string(server.Port()) + "/p";
  EXPECT_EQ(http.Post(url, std::filesystem::path(dir.Text() + "/body.bin")), "done");
  core::TMemoryStream response;
  http.Post(url, std::filesystem::path(dir.Text() + "/body.bin"), response);
  EXPECT_EQ(response.DataString(), "done");
  std::string received = server.Received();
  EXPECT_EQ(Count(received, "Content-Length: 70000\r\n"), 2) << received.substr(0, 400);
  EXPECT_EQ(Count(received, "\r\n\r\n" + body), 2);
  EXPECT_THROW(http.Post(url, std::filesystem::path(dir.Text() + "/missing")), core::Exception);
}

}  // namespace
