// Exchange rules that need more than one scripted case: redirect chains, credentials across
// origins, events and work notifications.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>

#include "core/memory_stream.h"
#include "http/http_client.h"
#include "http/http_exception.h"
#include "scripted_peer.h"

using namespace tarvo;
using namespace tarvo::http;
using tarvo::http::testing::TScriptedMemoryPeer;
using tarvo::http::testing::TScriptedResponse;

namespace {

TScriptedResponse Redirect(const std::string& to, int code = 302) {
  return {"HTTP/1.1 " + std::to_string(code) + " Found\r\nLocation: " + to + "\r\nContent-Length: 0\r\n\r\n", false};
}

TScriptedResponse Ok(const std::string& body) {
  return {"HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body, false};
}

TEST(Redirects, ChainOfTwentyStopsAtTheMaximumWithoutError) {
  std::vector<TScriptedResponse> script;
  for (int i = 1; i <= 20; ++i) script.push_back(Redirect("/r" + std::to_string(i)));
  TScriptedMemoryPeer peer(script);
  TNetHTTP http;
  http.SetIOHandler(&peer);
  http.SetHandleRedirects(true);
  core::TMemoryStream out;
  http.Get("http://h/start", out);
  EXPECT_EQ(http.RedirectCount(), 15);
  EXPECT_EQ(http.ResponseCode(), 302);
  EXPECT_EQ(peer.Requests(), 15);  // the first request and 14 followed redirects
  EXPECT_EQ(http.Response().Location(), "/r15");
  http.SetIOHandler(nullptr);
}

TEST(Redirects, TheCallersStreamKeepsOnlyTheFinalBody) {
  TScriptedMemoryPeer peer({{"HTTP/1.1 301 Moved\r\nLocation: /b\r\nContent-Length: 5\r\n\r\nfirst", false}, Ok("final")});
  TNetHTTP http;
  http.SetIOHandler(&peer);
  http.SetHandleRedirects(true);
  core::TMemoryStream out;
  out.WriteBuffer("pre:", 4);
  http.Get("http://h/a", out);
  EXPECT_EQ(out.DataString(), "pre:final");
  http.SetIOHandler(nullptr);
}

TEST(Redirects, CredentialsStayWithTheirOrigin) {
  TScriptedMemoryPeer peer({Redirect("/same"), Redirect("http://other.example/x"), Ok("done")});
  TNetHTTP http;
  http.SetIOHandler(&peer);
  http.SetHandleRedirects(true);
  http.Request().SetBasicAuthentication(true);
  core::TMemoryStream out;
  http.Get("http://user:secret@h/a", out);
  std::string sent = peer.OutputString();
  const std::string auth = "Authorization: Basic dXNlcjpzZWNyZXQ=\r\n";
  std::size_t first = sent.find("GET /a ");
  std::size_t second = sent.find("GET /same ");
  std::size_t third = sent.find("GET /x ");
  ASSERT_NE(third, std::string::npos);
  EXPECT_NE(sent.substr(first, second - first).find(auth), std::string::npos);
  EXPECT_NE(sent.substr(second, third - second).find(auth), std::string::npos);
  EXPECT_EQ(sent.substr(third).find("secret"), std::string::npos);
  EXPECT_EQ(sent.substr(third).find(auth), std::string::npos);
  EXPECT_EQ(http.Request().Username(), "");
  EXPECT_EQ(http.URL().Password(), "");
  http.SetIOHandler(nullptr);
}

TEST(Redirects, OnRedirectMayRefuse) {
  TScriptedMemoryPeer peer({Redirect("/b")});
  TNetHTTP http;
  http.SetIOHandler(&peer);
  http.SetHandleRedirects(true);
  int seen = 0;
  http.OnRedirect = [&](TNetCustomHTTP*, std::string& dest, int& count, bool& handled, std::string&) {
    EXPECT_EQ(dest, "/b");
    seen = count;
    handled = false;
  };
  core::TMemoryStream out;
  EXPECT_THROW(http.Get("http://h/a", out), ENetHTTPProtocolException);
  EXPECT_EQ(seen, 1);
  http.SetIOHandler(nullptr);
}

TEST(Exchange, HeadersAvailableCanStopTheResponse) {
  TScriptedMemoryPeer peer({Ok("never read"), Ok("next")});
  TNetHTTP http;
  http.SetIOHandler(&peer);
  http.OnHeadersAvailable = [](TNetCustomHTTP*, TNetHeaderList& headers, bool& go) {
    EXPECT_EQ(headers.Values("Content-Length"), "10");
    go = false;
  };
  core::TMemoryStream out;
  http.Get("http://h/a", out);
  EXPECT_EQ(out.Size(), 0);
  EXPECT_FALSE(http.Connected());  // a stopped response is not kept alive
  // The next call is not stopped and keeps its connection.
  http.OnHeadersAvailable = nullptr;
  http.Get("http://h/b", out);
  EXPECT_EQ(out.DataString(), "next");
  EXPECT_TRUE(http.Connected());
  http.SetIOHandler(nullptr);
}

TEST(Exchange, MethodsThatNeedHTTP11AreRefusedUnder10) {
  TScriptedMemoryPeer peer({});
  TNetHTTP http;
  http.SetIOHandler(&peer);
  http.SetProtocolVersion(pv1_0);
  try {
    http.Delete("http://h/a");
    FAIL();
  } catch (const ENetException& e) {
    EXPECT_EQ(e.Message(), "Request method requires HTTP version 1.1");
  }
  EXPECT_EQ(peer.OutputString(), "");
  http.SetIOHandler(nullptr);
}

TEST(Exchange, UnknownSchemeWithoutPortAndHttpsWithoutTLS) {
  TNetHTTP http;
  TScriptedMemoryPeer peer({});
  http.SetIOHandler(&peer);
  core::TMemoryStream out;
  try {
    http.Get("gopher://h/a", out);
    FAIL();
  } catch (const ENetUnknownProtocol& e) {
    EXPECT_EQ(e.Message(), "Unknown Protocol");
  }
  try {
    http.Get("https://h/a", out);
    FAIL();
  } catch (const ENetIOHandlerPropInvalid& e) {
    EXPECT_EQ(e.Message(), "IOHandler value is not valid");
  }
  http.SetIOHandler(nullptr);
}

TEST(Exchange, RequestTargetResolution) {
  TNetHTTP http;
  http.ResolveRequestTarget("http://[::1]:8080/a/b/c.zip?x=1#f");
  EXPECT_EQ(http.Request().URL(), "/a/b/c.zip?x=1");
  EXPECT_EQ(http.Request().Host(), "[::1]:8080");
  EXPECT_EQ(http.Request().IPVersion(), Net_IPv6);
  http.ResolveRequestTarget("../d.zip");
  EXPECT_EQ(http.Request().URL(), "/a/d.zip");
  EXPECT_EQ(http.Request().Host(), "[::1]:8080");
  EXPECT_EQ(http.Request().IPVersion(), Net_IPv6);  // a relative URL keeps the host's family
  http.ResolveRequestTarget("https://s/");
  EXPECT_EQ(http.URL().Port(), "443");
  EXPECT_EQ(http.Request().Host(), "s");
  http.ResolveRequestTarget("http://s:80/");
  EXPECT_EQ(http.Request().Host(), "s");
  http.ResolveRequestTarget("https://s:80/");
  EXPECT_EQ(http.Request().Host(), "s:80");
  http.Request().SetMethod("OPTIONS");
  http.ResolveRequestTarget("http://s/*");
  EXPECT_EQ(http.Request().URL(), "*");
}

TEST(Work, CountedBodyReportsItsLengthAndRunningTotals) {
  std::string body(100000, 'x');
  TScriptedMemoryPeer peer({Ok(body)}, 7);
  TNetHTTP http;
  http.SetIOHandler(&peer);
  std::vector<std::int64_t> begins, totals;
  int ends = 0;
  http.OnWorkBegin = [&](net::TNetComponent*, net::TWorkMode m, std::int64_t max) {
    if (m == net::wmRead) begins.push_back(max);
  };
  http.OnWork = [&](net::TNetComponent*, net::TWorkMode m, std::int64_t n) {
    if (m == net::wmRead) totals.push_back(n);
  };
  http.OnWorkEnd = [&](net::TNetComponent*, net::TWorkMode m) { ends += m == net::wmRead; };
  core::TMemoryStream out;
  http.Get("http://h/a", out);
  ASSERT_EQ(begins.size(), 1u);
  EXPECT_EQ(begins[0], 100000);
  ASSERT_FALSE(totals.empty());
  EXPECT_EQ(totals.back(), 100000);
  EXPECT_TRUE(std::is_sorted(totals.begin(), totals.end()));
  EXPECT_EQ(ends, 1);
  http.SetIOHandler(nullptr);
}

TEST(Work, ChunkedBodyIsOneUnitOfWork) {
  TScriptedMemoryPeer peer({{"HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n3\r\nabc\r\n2\r\nde\r\n0\r\n\r\n", false}});
  TNetHTTP http;
  http.SetIOHandler(&peer);
  int begins = 0, ends = 0;
  std::vector<std::string> statuses;
  http.OnWorkBegin = [&](net::TNetComponent*, net::TWorkMode m, std::int64_t max) {
    begins += m == net::wmRead;
    EXPECT_EQ(max, 0);
  };
  http.OnWorkEnd = [&](net::TNetComponent*, net::TWorkMode m) { ends += m == net::wmRead; };
  http.OnStatus = [&](net::TNetComponent*, net::TNetStatus s, const std::string& text) {
    if (s == net::hsStatusText) statuses.push_back(text);
  };
  core::TMemoryStream out;
  http.Get("http://h/a", out);
  EXPECT_EQ(out.DataString(), "abcde");
  EXPECT_EQ(begins, 1);
  EXPECT_EQ(ends, 1);
  EXPECT_EQ(statuses, std::vector<std::string>{"Chunk Started"});
  http.SetIOHandler(nullptr);
}

TEST(Text, GetAsTextUsesTheCharset) {
  TScriptedMemoryPeer peer({{"HTTP/1.1 200 OK\r\nContent-Type: text/plain; charset=ISO-8859-1\r\nContent-Length: 2\r\n\r\n\xE9!", false},
                            {"HTTP/1.1 200 OK\r\nContent-Type: application/xml\r\nContent-Length: 2\r\n\r\n\xC3\xA9", false}});
  TNetHTTP http;
  http.SetIOHandler(&peer);
  EXPECT_EQ(http.Get("http://h/a"), "\xC3\xA9!");
  EXPECT_EQ(http.Get("http://h/b"), "\xC3\xA9");  // XML without a declaration is UTF-8
  http.SetIOHandler(nullptr);
}

TEST(Body, ErrorPageIsBoundedButReadWhole) {
  std::string page(3 * 1024 * 1024, 'e');
  TScriptedMemoryPeer peer({{"HTTP/1.1 500 Oops\r\nContent-Length: " + std::to_string(page.size()) + "\r\n\r\n" + page, false},
                            Ok("next")});
  TNetHTTP http;
  http.SetIOHandler(&peer);
  core::TMemoryStream out;
  try {
    http.Get("http://h/a", out);
    FAIL();
  } catch (const ENetHTTPProtocolException& e) {
    EXPECT_EQ(e.Message(), "HTTP/1.1 500 Oops");
    EXPECT_EQ(e.ErrorMessage().size(), 1024u * 1024u);
  }
  // The whole page left the connection, so the next response is read cleanly.
  http.Get("http://h/b", out);
  EXPECT_EQ(out.DataString(), "next");
  http.SetIOHandler(nullptr);
}

}  // namespace

namespace {

// Uppercases instead of inflating: enough to see which bytes reach the decoder and where
// its output goes.
class TUpperDecompressor : public INetDecompressor {
public:
  bool IsReady() const override { return true; }
  void DecompressDeflateStream(core::TStream& source, core::TStream& destination) override { Copy(source, destination, "D:"); }
  void DecompressGZipStream(core::TStream& source, core::TStream& destination) override { Copy(source, destination, "G:"); }

private:
  static void Copy(core::TStream& source, core::TStream& destination, const std::string& tag) {
    std::string all;
    char block[2];
    for (std::size_t n; (n = source.Read(block, sizeof block)) > 0;) all.append(block, n);
    for (char& c : all) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    all = tag + all;
    destination.WriteBuffer(all.data(), all.size());
  }
};

TEST(Body, AttachedDecompressorDecodesAndIsAnnounced) {
  TScriptedMemoryPeer peer({{"HTTP/1.1 200 OK\r\nContent-Encoding: gzip\r\nContent-Length: 3\r\n\r\nabc", false},
                            {"HTTP/1.1 200 OK\r\nContent-Length: 3\r\n\r\nxyz", false}});
  TNetHTTP http;
  http.SetIOHandler(&peer);
  TUpperDecompressor decoder;
  http.SetCompressor(&decoder);
  core::TMemoryStream out;
  http.Get("http://h/a", out);
  EXPECT_EQ(out.DataString(), "G:ABC");
  EXPECT_NE(peer.OutputString().find("Accept-Encoding: deflate, gzip, identity\r\n"), std::string::npos);
  core::TMemoryStream plain;
  http.Get("http://h/b", plain);
  EXPECT_EQ(plain.DataString(), "xyz");
  http.SetIOHandler(nullptr);
}

// A progress display sees the body the caller asked for: not the body of a redirect that was
// followed, not an error page, and a fresh begin for each call.
TEST(Body, WorkIsReportedForTheCallersBodyOnly) {
  TScriptedMemoryPeer peer({{"HTTP/1.1 302 Found\r\nLocation: /b\r\nContent-Length: 7\r\n\r\nignored", false},
                            {"HTTP/1.1 200 OK\r\nContent-Length: 4\r\n\r\nzip!", false},
                            {"HTTP/1.1 404 Not Found\r\nContent-Length: 9\r\n\r\nnot found", false},
                            {"HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n2\r\nab\r\n0\r\n\r\n", false}});
  TNetHTTP http;
  http.SetIOHandler(&peer);
  http.SetHandleRedirects(true);
  std::vector<std::string> seen;
  http.OnWorkBegin = [&](net::TNetComponent*, net::TWorkMode, std::int64_t total) { seen.push_back("begin " + std::to_string(total)); };
  http.OnWorkEnd = [&](net::TNetComponent*, net::TWorkMode) { seen.push_back("end"); };
  core::TMemoryStream out;
  http.Get("http://h/a", out);
  EXPECT_THROW(http.Get("http://h/c", out), ENetHTTPProtocolException);
  http.Get("http://h/d", out);
  EXPECT_EQ(seen, (std::vector<std::string>{"begin 4", "end", "begin 0", "end"}));
  http.SetIOHandler(nullptr);
}

// A peer that records how long the client is prepared to wait for bytes.
class TWaitRecordingPeer : public TScriptedMemoryPeer {
public:
  using TScriptedMemoryPeer::TScriptedMemoryPeer;
  std::vector<int> Waits;
  bool Readable(int timeoutMS) override {
    Waits.push_back(timeoutMS);
    return TScriptedMemoryPeer::Readable(timeoutMS);
  }
};

// The waits for a body that may never come are the client's own limits, not fixed times.
TEST(Limits, WaitsForABodyThatMayNotComeAreTheClientsOwn) {
  struct TCase {
    const char* Response;
    TNetHTTPOptions Options;
    int Expected;  // the wait the client asks for, taken from the limits below
  };
  THTTPLimits limits;
  limits.RedirectBodyWaitMS = 1234;
  limits.UnexpectedDataWaitMS = 77;
  const TCase cases[] = {
      {"HTTP/1.1 302 Found\r\nLocation: /b\r\n\r\n", 0, 1234},
      {"HTTP/1.1 204 No Content\r\n\r\n", hoWaitForUnexpectedData, 77},
  };
  for (const TCase& c : cases) {
    TWaitRecordingPeer peer({{c.Response, false}});
    TNetHTTP http;
    http.SetIOHandler(&peer);
    http.SetLimits(limits);
    http.SetHandleRedirects(false);
    http.SetHTTPOptions(http.HTTPOptions() | c.Options | hoNoProtocolErrorException);
    core::TMemoryStream out;
    http.Get("http://example.test/a", out);
    EXPECT_NE(std::find(peer.Waits.begin(), peer.Waits.end(), c.Expected), peer.Waits.end()) << c.Response;
  }
}

// MaxHeaderLines and the limits are one setting: the property is the limits' HeaderLines,
// and 0 or less falls back to HeaderLinesWhenUnbounded.
TEST(Limits, MaxHeaderLinesBoundsTheHead) {
  std::string head = "HTTP/1.1 200 OK\r\nContent-Length: 0\r\n";
  for (int i = 0; i < 4; ++i) head += "X-" + std::to_string(i) + ": v\r\n";
  head += "\r\n";
  struct TCase {
    int MaxHeaderLines;
    std::size_t WhenUnbounded;
    bool Refused;
  };
  const TCase cases[] = {  // the head has five lines
      {4, 1000, true}, {5, 1000, false}, {0, 4, true}, {-1, 5, false}, {5, 4, false},
  };
  for (const TCase& c : cases) {
    TScriptedMemoryPeer peer({{head, false}});
    TNetHTTP http;
    http.SetIOHandler(&peer);
    THTTPLimits limits;
    limits.HeaderLinesWhenUnbounded = c.WhenUnbounded;
    http.SetLimits(limits);
    http.SetMaxHeaderLines(c.MaxHeaderLines);
    EXPECT_EQ(http.Limits().HeaderLines, c.MaxHeaderLines);
    core::TMemoryStream out;
    if (c.Refused) {
      EXPECT_THROW(http.Get("http://example.test/", out), ENetHTTPBadResponse) << c.MaxHeaderLines;
    } else {
      EXPECT_NO_THROW(http.Get("http://example.test/", out)) << c.MaxHeaderLines;
    }
  }
}

TEST(Proxy, ConnectTunnelRefusedByTheProxyRaisesItsStatus) {
  TScriptedMemoryPeer peer({{"HTTP/1.1 403 Forbidden\r\nContent-Length: 0\r\n\r\n", false}});
  TNetHTTP http;
  http.SetIOHandler(&peer);
  http.ProxyParams().SetProxyServer("proxy");
  http.ProxyParams().SetProxyPort(3128);
  http.SetHTTPOptions(http.HTTPOptions() | hoNonSSLProxyUseConnectVerb);
  core::TMemoryStream out;
  try {
    http.Get("http://origin.example:8080/f", out);
    FAIL();
  } catch (const ENetHTTPProtocolException& e) {
    EXPECT_EQ(e.Message(), "HTTP/1.1 403 Forbidden");
  }
  EXPECT_EQ(peer.OutputString().substr(0, 38), "CONNECT origin.example:8080 HTTP/1.1\r\n");
  EXPECT_NE(peer.OutputString().find("Proxy-Connection: keep-alive\r\n"), std::string::npos);
  http.SetIOHandler(nullptr);
}

}  // namespace
