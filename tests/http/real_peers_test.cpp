// The client against real servers on 127.0.0.1: nginx (static files, keep-alive, error
// pages, redirects, a chunked response), Python's http.server family (HTTP/1.0, a body read
// until the server closes) and tinyproxy as the HTTP proxy.
#include <gtest/gtest.h>

#include <random>

#include "core/memory_stream.h"
#include "http/http_client.h"
#include "http/http_exception.h"
#include "real_peers.h"

using namespace tarvo;
using namespace tarvo::http;
using namespace tarvo::http::testing;

namespace {

std::string RandomBytes(std::size_t n, unsigned seed) {
  std::mt19937 gen(seed);
  std::string s(n, '\0');
  for (char& c : s) c = static_cast<char>(gen());
  return s;
}

class NginxTest : public ::testing::Test {
protected:
  static void SetUpTestSuite() {
    if (!Executable("/usr/sbin/nginx")) return;
    Root = new TTempDir(TTempPlace::Shared);
    Zip = RandomBytes(300000, 1);
    Root->WriteFile("tarvo/Files/main.zip", Zip);
    Root->WriteFile("text/page.txt", std::string(20000, 'a') + "tail");
    Server = new TNginxPeer(Root->Text(),
                            "    location = /moved { return 301 /tarvo/Files/main.zip; }\n"
                            "    location = /found { return 302 /tarvo/Files/main.zip; }\n"
                            "    location /text/ { sub_filter 'tail' 'TAIL'; sub_filter_types *; }\n"
                            // What reached the origin, as the origin saw it on the wire.
                            "    location = /echo { return 200 \"auth=[$http_authorization] "
                            "proxy=[$http_proxy_authorization] $request_method\"; }\n"
                            "    location = /away { return 302 http://localhost:$server_port/echo; }\n");
  }
  static void TearDownTestSuite() {
    delete Server;
    delete Root;
    Server = nullptr;
    Root = nullptr;
  }
  void SetUp() override {
    if (Server == nullptr) GTEST_SKIP() << "/usr/sbin/nginx is not installed";
    ASSERT_TRUE(Server->Ok()) << "nginx did not start";
  }
  static TTempDir* Root;
  static TNginxPeer* Server;
  static std::string Zip;
};
TTempDir* NginxTest::Root = nullptr;
TNginxPeer* NginxTest::Server = nullptr;
std::string NginxTest::Zip;

TEST_F(NginxTest, StaticFileWithLengthAndConnectionReuse) {
  TNetHTTP http;
  int connects = 0;
  http.OnStatus = [&](net::TNetComponent*, net::TNetStatus s, const std::string&) { connects += s == net::hsConnected; };
  core::TMemoryStream a, b;
  http.Get(Server->Base() + "/tarvo/Files/main.zip", a);
  EXPECT_EQ(http.ResponseCode(), 200);
  EXPECT_EQ(http.ResponseText(), "HTTP/1.1 200 OK");
  EXPECT_EQ(http.Response().ContentLength(), 300000);
  EXPECT_TRUE(a.DataString() == Zip);
  EXPECT_TRUE(http.Connected());
  http.Get("/tarvo/Files/main.zip", b);  // relative: same host, same connection
  EXPECT_TRUE(b.DataString() == Zip);
  EXPECT_EQ(connects, 1);
}

TEST_F(NginxTest, NotFoundRaisesWithTheStatusLineAndThePage) {
  TNetHTTP http;
  core::TMemoryStream out;
  out.WriteBuffer("keep", 4);
  try {
    http.Get(Server->Base() + "/tarvo/Files/none.zip", out);
    FAIL();
  } catch (const ENetHTTPProtocolException& e) {
    EXPECT_EQ(e.Message(), "HTTP/1.1 404 Not Found");
    EXPECT_EQ(e.ErrorCode(), 404);
    EXPECT_NE(e.ErrorMessage().find("404 Not Found"), std::string::npos);
  }
  EXPECT_EQ(out.DataString(), "keep");
  // The page was read whole: the kept connection serves the next call.
  core::TMemoryStream next;
  http.Get(Server->Base() + "/tarvo/Files/main.zip", next);
  EXPECT_TRUE(next.DataString() == Zip);
}

TEST_F(NginxTest, RedirectsRaiseUnlessFollowed) {
  TNetHTTP http;
  core::TMemoryStream out;
  try {
    http.Get(Server->Base() + "/moved", out);
    FAIL();
  } catch (const ENetHTTPProtocolException& e) {
    EXPECT_EQ(e.Message(), "HTTP/1.1 301 Moved Permanently");
  }
  http.SetHandleRedirects(true);
  http.Get(Server->Base() + "/found", out);
  EXPECT_EQ(http.RedirectCount(), 1);
  EXPECT_TRUE(out.DataString() == Zip);
}

TEST_F(NginxTest, ChunkedResponse) {
  TNetHTTP http;
  core::TMemoryStream out;
  http.Get(Server->Base() + "/text/page.txt", out);
  EXPECT_EQ(LowerCase(http.Response().TransferEncoding()), "chunked");
  EXPECT_EQ(out.DataString(), std::string(20000, 'a') + "TAIL");
  // HTTP/1.0 gets the same body read until the server closes.
  TNetHTTP old;
  old.SetProtocolVersion(pv1_0);
  core::TMemoryStream out10;
  old.Get(Server->Base() + "/text/page.txt", out10);
  EXPECT_EQ(out10.DataString(), std::string(20000, 'a') + "TAIL");
}

TEST_F(NginxTest, ThroughTinyproxy) {
  if (!Executable("/usr/bin/tinyproxy")) GTEST_SKIP() << "/usr/bin/tinyproxy is not installed";
  TTempDir dir{TTempPlace::Shared};
  TPeerProcess proxy;
  int port = StartTinyproxy(dir, proxy);
  ASSERT_NE(port, 0) << "tinyproxy did not start";
  TNetHTTP http;
  http.ProxyParams().SetProxyServer("127.0.0.1");
  http.ProxyParams().SetProxyPort(port);
  core::TMemoryStream out;
  http.Get(Server->Base() + "/tarvo/Files/main.zip", out);
  EXPECT_EQ(http.ResponseCode(), 200);
  EXPECT_TRUE(out.DataString() == Zip);
  EXPECT_EQ(http.Port(), port);  // the connection went to the proxy
  try {
    core::TMemoryStream missing;
    http.Get(Server->Base() + "/none", missing);
    FAIL();
  } catch (const ENetHTTPProtocolException& e) {
    EXPECT_EQ(e.ErrorCode(), 404);
  }
  // The same through a CONNECT tunnel.
  TNetHTTP tunnel;
  tunnel.ProxyParams().SetProxyServer("127.0.0.1");
  tunnel.ProxyParams().SetProxyPort(port);
  tunnel.SetHTTPOptions(tunnel.HTTPOptions() | hoNonSSLProxyUseConnectVerb);
  core::TMemoryStream tunnelled;
  tunnel.Get(Server->Base() + "/tarvo/Files/main.zip", tunnelled);
  EXPECT_TRUE(tunnelled.DataString() == Zip);
  // Dropping the proxy goes straight to the origin.
  http.ProxyParams().SetProxyServer("");
  core::TMemoryStream direct;
  http.Get(Server->Base() + "/tarvo/Files/main.zip", direct);
  EXPECT_EQ(http.Port(), Server->Port());
  EXPECT_TRUE(direct.DataString() == Zip);
}

// Credentials on the wire: the origin's own credentials reach it and no other origin after a
// redirect; the proxy's credentials reach the proxy (which lets nothing through without
// them) and never the origin, neither directly nor through a tunnel, where each request
// after the first goes into the open tunnel without a second CONNECT.
TEST_F(NginxTest, CredentialsReachOnlyWhereTheyBelong) {
  auto configure = [](TNetHTTP& http) {
    http.Request().SetUsername("u");
    http.Request().SetPassword("p");
    http.Request().SetBasicAuthentication(true);
    http.ProxyParams().SetProxyUsername("pu");
    http.ProxyParams().SetProxyPassword("pp");
    http.ProxyParams().SetBasicAuthentication(true);
  };
  TNetHTTP direct;
  configure(direct);
  EXPECT_EQ(direct.Get(Server->Base() + "/echo"), "auth=[Basic dTpw] proxy=[] GET");
  TNetHTTP redirected;
  configure(redirected);
  redirected.SetHandleRedirects(true);
  EXPECT_EQ(redirected.Get(Server->Base() + "/away"), "auth=[] proxy=[] GET");

  if (!Executable("/usr/bin/tinyproxy")) GTEST_SKIP() << "/usr/bin/tinyproxy is not installed";
  TTempDir dir{TTempPlace::Shared};
  TPeerProcess proxy;
  int port = StartTinyproxy(dir, proxy, "BasicAuth pu pp\n");
  ASSERT_NE(port, 0) << "tinyproxy did not start";
  for (bool tunnel : {false, true}) {
    SCOPED_TRACE(tunnel ? "tunnel" : "proxied");
    TNetHTTP http;
    configure(http);
    http.ProxyParams().SetProxyServer("127.0.0.1");
    http.ProxyParams().SetProxyPort(port);
    if (tunnel) http.SetHTTPOptions(http.HTTPOptions() | hoNonSSLProxyUseConnectVerb);
    for (int call = 0; call < 2; ++call) EXPECT_EQ(http.Get(Server->Base() + "/echo"), "auth=[Basic dTpw] proxy=[] GET");
  }
}

// A body without length from an HTTP/1.0 server that closes when done, and a counted body
// that the server cuts short.
// A proxy that wants credentials: its 407 is answered through the proxy authorization
// handler; without the handler, or with a wrong password, the 407 is the error.
TEST_F(NginxTest, TinyproxyBasicAuthAnsweredThroughTheHandler) {
  if (!Executable("/usr/bin/tinyproxy")) GTEST_SKIP() << "/usr/bin/tinyproxy is not installed";
  TTempDir dir{TTempPlace::Shared};
  TPeerProcess proxy;
  int port = StartTinyproxy(dir, proxy, "BasicAuth arvo s3cret\n");
  ASSERT_NE(port, 0) << "tinyproxy did not start";
  struct Case {
    const char* Name;
    bool Handler;
    const char* Password;
    int Code;  // 200, or the error's (tinyproxy answers a wrong password with a 401)
  };
  for (const Case& c : {Case{"handler", true, "s3cret", 200}, Case{"wrong", true, "nope", 401},
                        Case{"no handler", false, "s3cret", 407}}) {
    SCOPED_TRACE(c.Name);
    TNetHTTP http;
    http.SetHTTPOptions(http.HTTPOptions() | hoInProcessAuth);
    http.ProxyParams().SetProxyServer("127.0.0.1");
    http.ProxyParams().SetProxyPort(port);
    if (c.Handler)
      http.OnProxyAuthorization = [&](TNetCustomHTTP*, TNetAuthentication* auth, bool& handled) {
        auth->SetUsername("arvo");
        auth->SetPassword(c.Password);
        handled = true;
      };
    try {
      EXPECT_EQ(http.Get(Server->Base() + "/echo").substr(0, 8), "auth=[] ");
      EXPECT_EQ(c.Code, 200);
      EXPECT_EQ(http.AuthProxyRetries(), 1);
    } catch (const ENetHTTPProtocolException& e) {
      EXPECT_EQ(e.ErrorCode(), c.Code) << e.Message();
    }
  }
#ifdef TARVO_NETGET
  const std::string command = ProgramCommand(TARVO_NETGET) + " --proxy 127.0.0.1:" + std::to_string(port) + " " +
                              Server->Base() + "/echo -o " + kNullDevice + " 2>" + kNullDevice;
  EXPECT_EQ(Shell(command + " --proxy-user arvo:s3cret"), 0);
  EXPECT_NE(Shell(WithEnvironment("NETGET_PROXY_USER", "arvo:nope", command)), 0);
#endif
}

TEST(PythonServer, BodyUntilCloseAndCutShort) {
  std::string python = FindProgram("python3");
  if (python.empty()) GTEST_SKIP() << "python3 is not installed";
  TTempDir dir{TTempPlace::Shared};
  std::string body = RandomBytes(150000, 7);
  dir.WriteFile("body.bin", body);
  dir.WriteFile("server.py",
                "import http.server, sys\n"
                "data = open(sys.argv[2], 'rb').read()\n"
                "class H(http.server.BaseHTTPRequestHandler):\n"
                "    protocol_version = 'HTTP/1.0'\n"
                "    def log_message(self, *a): pass\n"
                "    def do_GET(self):\n"
                "        self.send_response(200)\n"
                "        if self.path == '/short':\n"
                "            self.send_header('Content-Length', str(len(data) * 2))\n"
                "        self.end_headers()\n"
                "        self.wfile.write(data)\n"
                "http.server.HTTPServer(('127.0.0.1', int(sys.argv[1])), H).serve_forever()\n");
  TPeerProcess server;
  int port = 0;
  for (int attempt = 0; attempt < 5 && port == 0; ++attempt) {
    int p = FreeLoopbackPort();
    server.Stop();
    ASSERT_TRUE(server.Start({python, dir.Text() + "/server.py", std::to_string(p), dir.Text() + "/body.bin"},
                             dir.Text() + "/out.log"));
    if (WaitForPort(p, 5000)) port = p;
  }
  ASSERT_NE(port, 0);
  std::string base = "http://127.0.0.1:" + std::to_string(port);
  TNetHTTP http;
  core::TMemoryStream out;
  http.Get(base + "/all", out);
  EXPECT_EQ(http.ResponseText().substr(0, 15), "HTTP/1.0 200 OK");
  EXPECT_FALSE(http.Response().HasContentLength());
  EXPECT_TRUE(out.DataString() == body);
  EXPECT_FALSE(http.Connected());

  core::TMemoryStream cut;
  try {
    http.Get(base + "/short", cut);
    FAIL() << "a truncated body passed for a complete one";
  } catch (const net::ENetConnClosedGracefully& e) {
    EXPECT_EQ(e.Message(), "Connection Closed Gracefully.");
  }
  EXPECT_EQ(cut.Size(), static_cast<std::int64_t>(body.size()));
}

}  // namespace
