// NTLM against a server that checks every Type 3 with impacket's NTLM functions (an
// implementation independent of ours), for each kind of Type 2 a server may send, with
// curl answering the same server as the oracle of each case's outcome.
// Linux only: the peers are Debian programs started as Linux processes.
#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <string>

#include "http/auth_exception.h"
#include "http/des_library.h"
#include "http/http_client.h"
#include "http/http_exception.h"
#include "real_peers.h"

using namespace tarvo::http;
using namespace tarvo::http::testing;

namespace {

class NTLMServer : public ::testing::Test {
protected:
  void SetUp() override {
    const std::string python = PythonWithImpacket();
    if (python.empty()) GTEST_SKIP() << "Debian's python3-impacket is not installed";
    try {
      (void)DESLibrary();
    } catch (const ENetOSSLCouldNotLoadSSLLibrary&) {
      GTEST_SKIP() << "libcrypto is not installed";
    }
    FServer = std::make_unique<TPortPeer>(
        std::vector<std::string>{python, std::string(TARVO_HTTP_PEERS_DIR) + "/ntlm_server.py", "{port}", "Corp",
                                 "ann:Secret01", "J\xC3\xB6rg:p\xC3\xA4ss w\xC3\xB6rd \xE2\x82\xAC"},
        FDir.Text() + "/server.log");
    ASSERT_TRUE(FServer->Ok()) << "the NTLM server did not start";
  }

  TTempDir FDir{TTempPlace::Shared};
  std::unique_ptr<TPortPeer> FServer;
};

TEST_F(NTLMServer, EachKindOfChallengeIsAnsweredAsTheServerVerifiesIt) {
  struct Case {
    const char* path;
    const char* user;
    const char* password;
    const char* verdict;  // the server's X-NTLM: what it found in our Type 3; empty: refused
    bool curlToo;         // curl hashes a non-ASCII password byte by byte: no oracle there
  } cases[] = {
      {"/v2", "Corp\\ann", "Secret01", "v2 lm=zero ws= dom=Corp blob=ok", true},
      {"/v2-nostamp", "Corp\\ann", "Secret01", "v2 lm=lmv2 ws= dom=Corp blob=ok", true},
      {"/v1-ess", "Corp\\ann", "Secret01", "v1-ess lm=zero ws= dom=CORP", true},
      {"/v1", "Corp\\ann", "Secret01", "v1 lm=copy ws= dom=CORP", true},
      {"/squid", "Corp\\ann", "Secret01", "v1 lm=copy ws= dom=CORP", true},
      {"/v2", "CORP\\ANN", "Secret01", "v2 lm=zero ws= dom=CORP blob=ok", true},
      {"/v2", "Corp\\J\xC3\xB6rg", "p\xC3\xA4ss w\xC3\xB6rd \xE2\x82\xAC", "v2 lm=zero ws= dom=Corp blob=ok", false},
      {"/v2", "Corp\\ann", "secret01", "", true},
      {"/v1", "Corp\\ann", "secret01", "", true},
      {"/v2", "Other\\ann", "Secret01", "", true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.path) + " " + c.user + ":" + c.password);
    const std::string url = FServer->Base() + c.path;
    TNetHTTP http;
    http.SetHTTPOptions(http.HTTPOptions() | hoInProcessAuth);
    http.Request().SetUsername(c.user);
    http.Request().SetPassword(c.password);
    bool ok = false;
    try {
      EXPECT_EQ(http.Get(url), "ok");
      ok = true;
    } catch (const ENetHTTPProtocolException& e) {
      EXPECT_EQ(e.Message(), "HTTP/1.1 401 Unauthorized");
      EXPECT_EQ(http.AuthRetries(), 3);  // 401s to the plain request, the Type 1 and the Type 3: no more
    }
    EXPECT_EQ(ok, *c.verdict != '\0');
    if (ok) {
      EXPECT_EQ(http.Response().RawHeaders().Values("X-NTLM"), c.verdict);
      // The connection is authenticated: the next call sends no Type 3 again ...
      EXPECT_EQ(http.Get(url), "ok");
      EXPECT_EQ(http.Response().RawHeaders().Values("X-NTLM"), "connection");
      // ... and a new connection starts a new handshake.
      http.Disconnect();
      EXPECT_EQ(http.Get(url), "ok");
      EXPECT_EQ(http.Response().RawHeaders().Values("X-NTLM"), c.verdict);
    }
    const std::string curl = FindProgram("curl");
    if (!c.curlToo || curl.empty()) continue;
    const std::string command = curl + " -s -o /dev/null -f --ntlm -u '" + c.user + ":" + c.password + "' " + url;
    EXPECT_EQ(std::system(command.c_str()) == 0, ok) << "curl disagrees";
  }
}

}  // namespace
