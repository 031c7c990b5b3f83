// https against real peers on 127.0.0.1: nginx with certificates from a private CA made here
// by openssl (a good one, one for another name, one from a CA nobody trusts, an expired and a
// self-signed one), tinyproxy for the CONNECT tunnel, and a Python server that ends its
// stream with or without close_notify. curl judges the same certificates.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <map>
#include <memory>
#include <random>
#include <string>

#include "../common/read_file.h"
#include "core/memory_stream.h"
#include "http/http_client.h"
#include "http/http_exception.h"
#include "real_peers.h"
#include "tls/tls_errors.h"
#include "tls/tls_io_handler.h"

using namespace tarvo;
using namespace tarvo::http;
using namespace tarvo::http::testing;
using tarvo::tls::ETlsCertificateError;
using tarvo::tls::TNetTLSIOHandler;

namespace {

std::string RandomBytes(std::size_t n) {
  std::mt19937 gen(11);
  std::string s(n, '\0');
  for (char& c : s) c = static_cast<char>(gen());
  return s;
}

// A client that speaks https, trusting the test CA.
struct TTlsClient {
  explicit TTlsClient(const std::string& caFile) {
    Tls.SetCAFile(caFile);
    Http.SetIOHandler(&Tls);
    Http.SetReadTimeout(20000);  // a fault fails the test instead of hanging it
  }
  TNetTLSIOHandler Tls;
  TNetHTTP Http;
};

class Https : public ::testing::Test {
protected:
  static void SetUpTestSuite() {
    if (!Executable("/usr/sbin/nginx") || FindProgram("openssl").empty()) return;
    Dir = new TTempDir(TTempPlace::Shared);
    if (LinuxShell("sh " + std::string(TARVO_HTTP_PEERS_DIR) + "/make-test-pki.sh " + Dir->Text() + "/pki") != 0) return;
    Body = RandomBytes(3 << 20);
    Dir->WriteFile("www/f.bin", Body);
    Dir->WriteFile("www/page.txt", "secure page\n");
    const std::string locations =
        "    location = /to-http { return 302 http://127.0.0.1:$arg_port/echo; }\n"
        "    location = /cookie { add_header Set-Cookie \"s=1; Path=/; Secure\"; add_header Set-Cookie \"p=1; Path=/\";"
        " return 302 http://127.0.0.1:$arg_port/echo; }\n";
    for (const char* name : {"good", "othername", "untrusted", "expired", "selfsigned"})
      Servers[name] = std::make_unique<TNginxPeer>(Dir->Text() + "/www", locations, Dir->Text() + "/pki/" + name + ".pem");
    Plain = new TNginxPeer(Dir->Text() + "/www",
                           "    location = /echo { return 200 \"auth=[$http_authorization] cookie=[$http_cookie]\"; }\n"
                           "    location = /to-https { return 302 https://127.0.0.1:$arg_port/page.txt; }\n");
  }
  static void TearDownTestSuite() {
    Servers.clear();
    delete Plain;
    delete Dir;
    Plain = nullptr;
    Dir = nullptr;
  }
  void SetUp() override {
    if (Dir == nullptr) GTEST_SKIP() << "nginx or openssl is not installed";
    for (auto& [name, server] : Servers) ASSERT_TRUE(server->Ok()) << name << ": nginx did not start";
    ASSERT_TRUE(Plain->Ok());
  }
  static std::string CA() { return Dir->Text() + "/pki/ca.pem"; }
  static std::string Url(const char* server, const std::string& path) { return Servers[server]->Base() + path; }

  static TTempDir* Dir;
  static std::map<std::string, std::unique_ptr<TNginxPeer>> Servers;
  static TNginxPeer* Plain;
  static std::string Body;
};
TTempDir* Https::Dir = nullptr;
std::map<std::string, std::unique_ptr<TNginxPeer>> Https::Servers;
TNginxPeer* Https::Plain = nullptr;
std::string Https::Body;

// Each certificate refused for its own reason, with the reason in the message, and curl of
// the same opinion.
TEST_F(Https, EachCertificateJudgedAsCurlJudgesIt) {
  struct Case {
    const char* server;
    const char* host;
    int problem;  // -1: accepted
  } cases[] = {
      {"good", "127.0.0.1", -1},
      {"good", "localhost", -1},  // a name: sent as SNI, matched against the DNS entry
      {"othername", "127.0.0.1", tls::tcpNameMismatch},
      {"untrusted", "127.0.0.1", tls::tcpUntrusted},
      {"expired", "127.0.0.1", tls::tcpExpired},
      {"selfsigned", "127.0.0.1", tls::tcpSelfSigned},
  };
  const std::string curl = FindProgram("curl");
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.server) + " as " + c.host);
    const std::string url = "https://" + std::string(c.host) + ":" + std::to_string(Servers[c.server]->Port()) + "/page.txt";
    TTlsClient client(CA());
    try {
      EXPECT_EQ(client.Http.Get(url), "secure page\n");
      EXPECT_EQ(c.problem, -1);
    } catch (const ETlsCertificateError& e) {
      EXPECT_EQ(e.Problem(), c.problem) << e.Message();
      EXPECT_NE(e.Message().find(c.host), std::string::npos) << e.Message();
    }
    if (!curl.empty()) {
      EXPECT_EQ(LinuxShell(curl + " -s -f -o /dev/null --cacert " + CA() + " " + url) == 0, c.problem == -1)
          << "curl disagrees";
    }
  }
  // Without the test CA even the good one comes from nobody we know.
  TNetTLSIOHandler tls;
  TNetHTTP http;
  http.SetIOHandler(&tls);
  try {
    http.Get(Url("good", "/page.txt"));
    ADD_FAILURE() << "a certificate from an unknown CA was accepted";
  } catch (const ETlsCertificateError& e) {
    EXPECT_EQ(e.Problem(), tls::tcpUntrusted);
  }
}

// Bodies over one kept connection, whole; a plain http request on the same client after.
TEST_F(Https, KeptConnectionCarriesBodiesWhole) {
  TTlsClient client(CA());
  for (int round = 0; round < 3; ++round) {
    core::TMemoryStream out;
    client.Http.Get(Url("good", "/f.bin"), out);
    EXPECT_TRUE(out.DataString() == Body) << "round " << round;
    EXPECT_TRUE(client.Http.Connected());
  }
  EXPECT_FALSE(client.Tls.Protocol().empty());
  EXPECT_EQ(client.Http.Get(Plain->Base() + "/page.txt"), "secure page\n");
  EXPECT_TRUE(client.Tls.Protocol().empty());  // a new, plain connection
}

// http -> https is followed; https -> http too, but without the credentials of the https
// origin and without its Secure cookie.
TEST_F(Https, RedirectsBetweenHttpAndHttpsKeepSecretsOnTheSecureSide) {
  TTlsClient client(CA());
  client.Http.SetHandleRedirects(true);
  EXPECT_EQ(client.Http.Get(Plain->Base() + "/to-https?port=" + std::to_string(Servers["good"]->Port())),
            "secure page\n");
  client.Http.Request().SetUsername("u");
  client.Http.Request().SetPassword("p");
  client.Http.Request().SetBasicAuthentication(true);
  EXPECT_EQ(client.Http.Get(Url("good", "/cookie?port=" + std::to_string(Plain->Port()))), "auth=[] cookie=[p=1]");
}

// CONNECT through tinyproxy, with the proxy's own credentials, then TLS end to end with the
// target's name: the proxy sees no request in clear.
TEST_F(Https, ThroughTinyproxyTheTunnelCarriesTls) {
  if (!Executable("/usr/bin/tinyproxy")) GTEST_SKIP() << "/usr/bin/tinyproxy is not installed";
  TTempDir dir{TTempPlace::Shared};
  TPeerProcess proxy;
  const int port = StartTinyproxy(dir, proxy, "BasicAuth arvo s3cret\n");
  ASSERT_NE(port, 0) << "tinyproxy did not start";
  for (const char* server : {"good", "othername"}) {
    SCOPED_TRACE(server);
    TTlsClient client(CA());
    client.Http.SetHTTPOptions(client.Http.HTTPOptions() | hoInProcessAuth);
    client.Http.ProxyParams().SetProxyServer("127.0.0.1");
    client.Http.ProxyParams().SetProxyPort(port);
    client.Http.OnProxyAuthorization = [](TNetCustomHTTP*, TNetAuthentication* auth, bool& handled) {
      auth->SetUsername("arvo");
      auth->SetPassword("s3cret");
      handled = true;
    };
    try {
      core::TMemoryStream out;
      client.Http.Get(Url(server, "/f.bin"), out);
      EXPECT_TRUE(out.DataString() == Body);
      EXPECT_EQ(client.Http.Get(Url(server, "/page.txt")), "secure page\n");  // the same tunnel
      EXPECT_STREQ(server, "good");
    } catch (const ETlsCertificateError& e) {
      EXPECT_STREQ(server, "othername");
      EXPECT_EQ(e.Problem(), tls::tcpNameMismatch);
    }
  }
  const std::string log = tarvo::testing::ReadFile(dir.Text() + "/tinyproxy.log");
  EXPECT_NE(log.find("CONNECT"), std::string::npos) << log;
  EXPECT_EQ(log.find("page.txt"), std::string::npos) << "the proxy read a request in clear:\n" << log;
}

// A body that runs until the server ends the stream: whole after its close_notify, an error
// when the connection just stops (what came may be cut short).
TEST_F(Https, UntilCloseBodyNeedsTheServersCloseNotify) {
  const std::string python = FindProgram("python3");
  if (python.empty()) GTEST_SKIP() << "python3 is not installed";
  const std::string pki = Dir->Text() + "/pki/";
  TTempDir dir{TTempPlace::Shared};
  dir.WriteFile("server.py",
                "import socket, ssl, sys\n"
                "ctx = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)\n"
                "ctx.load_cert_chain(sys.argv[2], sys.argv[3])\n"
                "ls = socket.create_server(('127.0.0.1', int(sys.argv[1])))\n"
                "while True:\n"
                "    raw, _ = ls.accept()\n"
                "    try:\n"
                "        s = ctx.wrap_socket(raw, server_side=True)\n"
                "        req = s.recv(65536).decode()\n"
                "        s.sendall(b'HTTP/1.0 200 OK\\r\\n\\r\\n' + b'x' * 100000)\n"
                "        if ' /clean ' in req:\n"
                "            s.unwrap().close()\n"
                "        else:\n"
                "            s.shutdown(socket.SHUT_RDWR)\n"
                "            s.close()\n"
                "    except Exception:\n"
                "        raw.close()\n");
  TPortPeer server({python, dir.Text() + "/server.py", "{port}", pki + "good.pem", pki + "good.key"},
                   dir.Text() + "/out.log");
  ASSERT_TRUE(server.Ok());
  const std::string base = "https://127.0.0.1:" + std::to_string(server.Port());
  TTlsClient clean(CA());
  EXPECT_EQ(clean.Http.Get(base + "/clean"), std::string(100000, 'x'));
  TTlsClient cut(CA());
  EXPECT_THROW(cut.Http.Get(base + "/cut"), tls::ETlsTruncated);
}

#ifdef TARVO_NETGET
// netget as users run it: a refused certificate is exit 1 with its reason and no file;
// --insecure is loud and refuses credentials.
TEST_F(Https, NetgetRefusesWithTheReasonAndLeavesNoFile) {
  const std::string netget = ProgramCommand(TARVO_NETGET);
  const std::string out = Dir->Text() + "/netget.out", err = Dir->Text() + "/netget.err";
  struct Run {
    std::string arguments;
    int status;
    const char* shown;  // in stderr
  } runs[] = {
      {Url("good", "/f.bin") + " --cacert " + CA(), 0, ""},
      {Url("othername", "/f.bin") + " --cacert " + CA(), 1, "The certificate is not valid for 127.0.0.1"},
      {Url("untrusted", "/f.bin") + " --cacert " + CA(), 1, "not issued by a trusted authority"},
      {Url("expired", "/f.bin") + " --cacert " + CA(), 1, "has expired"},
      {Url("selfsigned", "/f.bin") + " --cacert " + CA(), 1, "is self-signed"},
      {Url("good", "/f.bin") + " --cacert " + Dir->Text() + "/none.pem", 1, "cannot be read"},
      {Url("selfsigned", "/f.bin") + " --insecure", 0, "warning: --insecure"},
      {Url("selfsigned", "/f.bin") + " --insecure --user u:p", 2, "would give the password"},
  };
  for (const Run& r : runs) {
    SCOPED_TRACE(r.arguments);
    std::remove(out.c_str());
    EXPECT_EQ(Shell(netget + " " + r.arguments + " -o " + out + " 2>" + err), r.status);
    EXPECT_NE(tarvo::testing::ReadFile(err).find(r.shown), std::string::npos) << tarvo::testing::ReadFile(err);
    if (r.status == 0) {
      EXPECT_TRUE(tarvo::testing::ReadFile(out) == Body);
    } else {
      EXPECT_FALSE(std::filesystem::exists(out));
    }
  }
#ifndef _WIN32
  // OpenSSL's default paths: SSL_CERT_FILE names the roots to trust instead of the system's.
  EXPECT_EQ(Shell(WithEnvironment("SSL_CERT_FILE", CA(), netget + " " + Url("good", "/f.bin") + " -o " + out)), 0);
#endif
}
#endif

}  // namespace
