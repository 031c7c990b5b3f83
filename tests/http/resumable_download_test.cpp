// Continued and retried downloads against a scripted Python server (peers/flaky_server.py)
// that cuts a body at a chosen byte, ignores ranges, answers one with the wrong start,
// changes its ETag, gives no validator, or is busy for a while or for too long.
#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "../common/read_file.h"
#include "core/memory_stream.h"
#include "http/http_client.h"
#include "http/http_exception.h"
#include "http/resumable_download.h"
#include "net/net_exception.h"
#include "platform/system_crypto.h"
#include "real_peers.h"

using namespace tarvo;
using namespace tarvo::http;
using namespace tarvo::http::testing;

namespace {

std::string Body() {  // the server's body
  std::string body(300000, '\0');
  for (std::size_t i = 0; i < body.size(); ++i) body[i] = static_cast<char>((i * 7 + i / 251) % 256);
  return body;
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  for (std::size_t at = 0, end; at < text.size(); at = end + 1) {
    end = text.find('\n', at);
    if (end == std::string::npos) end = text.size();
    lines.push_back(text.substr(at, end - at));
  }
  return lines;
}

class Resumable : public ::testing::Test {
protected:
  void SetUp() override {
    const std::string python = FindProgram("python3");
    if (python.empty()) GTEST_SKIP() << "python3 is not installed";
    FServer = std::make_unique<TPortPeer>(
        std::vector<std::string>{python, std::string(TARVO_HTTP_PEERS_DIR) + "/flaky_server.py", "{port}", Log()},
        FDir.Text() + "/out.log");
    ASSERT_TRUE(FServer->Ok());
  }
  std::string Log() const { return FDir.Text() + "/requests.log"; }
  std::string Url(const std::string& path) const { return FServer->Base() + path; }

  TTempDir FDir{TTempPlace::Shared};
  std::unique_ptr<TPortPeer> FServer;
};

// Each misbehaviour: the requests that went out, what was fetched twice, and the outcome.
TEST_F(Resumable, ContinuesWhereItCanAndStartsOverWhereItMust) {
  struct Case {
    const char* path;
    int retries;
    std::vector<std::string> requests;  // as the server logged them, after the path
    std::int64_t refetched;
    int error;  // 0: the whole body; an HTTP status; -1: the connection's error
  } const cases[] = {
      {"/drop/100000", 3, {"range=[] if-range=[]", "range=[bytes=100000-] if-range=[\"v1\"]"}, 0, 0},
      {"/ignore/100000", 3, {"range=[] if-range=[]", "range=[bytes=100000-] if-range=[\"v1\"]"}, 100000, 0},
      {"/wrong/100000", 3,
       {"range=[] if-range=[]", "range=[bytes=100000-] if-range=[\"v1\"]", "range=[] if-range=[]"}, 100000, 0},
      {"/changed/100000", 3, {"range=[] if-range=[]", "range=[bytes=100000-] if-range=[\"v1\"]"}, 100000, 0},
      {"/novalidator/100000", 3, {"range=[] if-range=[]", "range=[] if-range=[]"}, 100000, 0},
      {"/busy/2", 3, {"range=[] if-range=[]", "range=[] if-range=[]"}, 0, 0},
      {"/busylong", 3, {"range=[] if-range=[]"}, 0, 503},
      {"/gone", 3, {"range=[] if-range=[]"}, 0, 404},
      {"/drop/120000", 0, {"range=[] if-range=[]"}, 0, -1},
  };
  const std::string body = Body();
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.path) + " retries " + std::to_string(c.retries));
    std::remove(Log().c_str());
    TNetHTTP http;
    http.SetReadTimeout(20000);
    TNetResumableDownload download(http);
    download.Retries = c.retries;
    std::vector<int> waits;
    int restarts = 0;
    download.OnWait = [&](int ms) { waits.push_back(ms); };
    download.OnRestart = [&] { ++restarts; };
    core::TMemoryStream out;
    int error = 0;
    try {
      download.Get(Url(c.path), out);
    } catch (const ENetHTTPProtocolException& e) {
      error = e.ErrorCode();
    } catch (const net::ENetException&) {
      error = -1;
    }
    EXPECT_EQ(error, c.error);
    if (c.error == 0) {
      EXPECT_TRUE(out.DataString() == body) << out.DataString().size();
    }
    EXPECT_EQ(download.RefetchedBytes(), c.refetched);
    EXPECT_EQ(restarts > 0, c.refetched > 0);
    std::vector<std::string> logged;
    for (const std::string& line : Lines(tarvo::testing::ReadFile(Log())))
      logged.push_back(line.substr(line.find(' ') + 1));
    EXPECT_EQ(logged, c.requests);
    if (std::string(c.path) == "/busy/2") {
      ASSERT_EQ(waits.size(), 1u);
      EXPECT_GE(waits[0], 2000);  // the server's Retry-After, not our first second
    }
  }
}

// nginx killed in the middle of a body and started again: the transfer continues with a
// range where it broke, and nothing is fetched twice.
TEST(ResumableNginx, ContinuesAfterTheServerCameBack) {
  if (!Executable("/usr/sbin/nginx")) GTEST_SKIP() << "nginx is not installed";
  TTempDir root{TTempPlace::Shared};
  const std::string body = Body() + Body() + Body() + Body() + Body() + Body();  // 1.8 MB
  root.WriteFile("f.bin", body);
  TNginxPeer nginx(root.Text(), "    limit_rate 1m;\n");
  ASSERT_TRUE(nginx.Ok());
  TNetHTTP http;
  http.SetReadTimeout(20000);
  TNetResumableDownload download(http);
  download.Retries = 3;
  bool cut = false;
  http.OnWork = [&](net::TNetComponent*, net::TWorkMode mode, std::int64_t done) {
    if (mode != net::wmRead || cut || done < 400000) return;
    cut = true;
    nginx.Stop();
  };
  download.OnWait = [&](int) { ASSERT_TRUE(nginx.Restart()); };
  core::TMemoryStream out;
  download.Get(nginx.Base() + "/f.bin", out);
  EXPECT_TRUE(cut);
  EXPECT_TRUE(out.DataString() == body) << out.DataString().size();
  EXPECT_EQ(http.ResponseCode(), 206);
  EXPECT_GE(download.ResumedAt(), 400000);
  EXPECT_EQ(download.RefetchedBytes(), 0);
  EXPECT_EQ(download.Attempts(), 2);
}

TEST(RetryAfter, SecondsOrADateAndNothingElse) {
  EXPECT_EQ(RetryAfterMS("2"), 2000);
  EXPECT_EQ(RetryAfterMS(" 0 "), 0);
  EXPECT_EQ(RetryAfterMS("Wed, 21 Oct 2015 07:28:00 GMT"), 0);  // in the past: at once
  EXPECT_GT(RetryAfterMS("Fri, 01 Jan 2100 00:00:00 GMT"), 60'000);
  for (const char* far : {"99999999999", "999999999", "1000000"}) EXPECT_GT(RetryAfterMS(far), 60'000) << far;
  for (const char* bad : {"", "soon", "-5", "1.5"}) EXPECT_EQ(RetryAfterMS(bad), -1) << bad;
}

#ifdef TARVO_NETGET
// netget --retry continues a cut transfer; a body started over is checked by --sha256 as a
// whole, not with the first try's bytes in the digest.
TEST_F(Resumable, NetgetRetryContinuesAndChecksTheWholeBody) {
  const std::string netget = ProgramCommand(TARVO_NETGET);
  const std::string out = FDir.Text() + "/out.bin", err = FDir.Text() + "/err.txt";
  const std::string digest = platform::HexDigest(platform::TSha256::Of(Body().data(), Body().size()));
  struct Run {
    std::string arguments;
    int status;
  } const runs[] = {
      {Url("/drop/150000") + " --retry 2", 0},
      {Url("/ignore/150000") + " --retry 2 --sha256 " + digest, 0},
      {Url("/drop/160000"), 1},
      {Url("/busylong") + " --retry 5", 1},
  };
  for (const Run& r : runs) {
    SCOPED_TRACE(r.arguments);
    std::remove(out.c_str());
    EXPECT_EQ(Shell(netget + " " + r.arguments + " -o " + out + " 2>" + err), r.status) << tarvo::testing::ReadFile(err);
    if (r.status == 0) {
      EXPECT_TRUE(tarvo::testing::ReadFile(out) == Body());
      EXPECT_NE(tarvo::testing::ReadFile(err).find("trying again in 1 s (1 of 3 tries made)"), std::string::npos)
          << tarvo::testing::ReadFile(err);
    }
  }
}
#endif

}  // namespace
