// The protocol object over a scripted exchange, with no client and no peer: the response
// head it reads from fed bytes (informational answers skipped, bad status lines refused) and
// the next step it takes for each answer (body read, dropped or kept for the error, redirect
// followed, credentials asked for).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "http/http_exception.h"
#include "http/http_exchange.h"
#include "http/http_protocol.h"
#include "net/net_exception.h"
#include "net/net_io_handler.h"

namespace tarvo::http {
namespace {

// Feeds the script's bytes to the readers and notes what the protocol object asks for:
// "read", "error", "discard" for the body, "announce", "follow", "authorize" for decisions.
class TScriptedExchange final : public TNetHTTPExchange {
public:
  std::string Input;
  std::string Calls;
  TNetHTTPOptions Options = 0;
  bool HandleRedirects = true;
  int Redirects = 0;
  int RedirectMax = 15;
  bool AuthorizeAgain = false;
  bool Proceed = true;
  THTTPLimits HTTPLimits;

  TNetHTTPProtocolVersion ProtocolVersion() const override { return pv1_1; }
  void PrepareAuthentication(TNetHTTPRequest&) override {}
  void AddConnectionHeaders(TNetHTTPRequest&, TNetURI*) override {}
  void WriteRequestHead(const std::vector<std::string>&) override {}
  const THTTPLimits& Limits() const override { return HTTPLimits; }
  TNetResponseHeadReader MakeHeadReader() override {
    return TNetResponseHeadReader({net::TNetIOHandler::DefaultMaxLineLength, net::maException, nullptr},
                                  HTTPLimits.HeaderLineBound(), HTTPLimits.ResponseHeaderBytes);
  }
  void FeedStatusLine(TNetResponseHeadReader& reader) override {
    if (!Feed(reader)) throw net::ENetConnClosedGracefully();
  }
  void FeedHeaderLines(TNetResponseHeadReader& reader) override {
    if (!Feed(reader)) reader.EndAtClose();
  }
  void HeadRead(TNetHTTPResponse&) override {}
  bool HeadersAvailable(TNetHeaderList&) override { return Proceed; }
  void ReadBody(TNetHTTPRequest&, TNetHTTPResponse&) override { Note("read"); }
  void ReadErrorBody(TNetHTTPRequest&, TNetHTTPResponse&) override { Note("error"); }
  void DiscardBody(TNetHTTPRequest&, TNetHTTPResponse&) override { Note("discard"); }
  bool Connected() override { return true; }
  bool StillConnected() override { return true; }
  bool AuthenticationKeepsConnection() override { return false; }
  bool HasOption(TNetHTTPOption option) const override { return (Options & option) != 0; }
  bool AnnounceRedirect(std::string&, std::string&) override {
    ++Redirects;
    Note("announce");
    return HandleRedirects;
  }
  bool FollowRedirect(const std::string&) override {
    Note("follow");
    return HandleRedirects && Redirects < RedirectMax;
  }
  void CheckAuthenticationInfo(TNetHTTPResponse&) override {}
  bool Authorize(bool, TNetHTTPRequest&, TNetHTTPResponse&) override {
    Note("authorize");
    return AuthorizeAgain;
  }
  TNetAuthentication* ProxyAuthentication() override { return nullptr; }

private:
  // False when the script ended while the reader still wanted bytes.
  bool Feed(TNetResponseHeadReader& reader) {
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(Input.data());
    FOffset += reader.Feed(bytes + FOffset, Input.size() - FOffset);
    return !reader.WantsBytes();
  }
  void Note(const char* call) { Calls += Calls.empty() ? call : std::string(" ") + call; }
  std::size_t FOffset = 0;
};

// --- the next step for each answer --------------------------------------------------------

struct TStepCase {
  const char* Name;
  std::string Head;  // status line and header lines, without the empty line
  const char* Method = "GET";
  void (*Setup)(TScriptedExchange&) = nullptr;
  std::vector<int> Ignore = {};
  TNetHTTPWhatsNext Next = wnJustExit;
  const char* Calls = "";
  int RaisedCode = 0;            // the code of the ENetHTTPProtocolException raised, 0: none
  const char* MethodAfter = "";  // the request's method afterwards ("": as sent)
};

void PrintTo(const TStepCase& c, std::ostream* os) { *os << c.Name; }

const TStepCase kSteps[] = {
    {"OkReadsTheBody", "HTTP/1.1 200 OK", "GET", nullptr, {}, wnJustExit, "read"},
    {"NoContentDropsIt", "HTTP/1.1 204 No Content", "GET", nullptr, {}, wnJustExit, "discard"},
    {"HeadDropsIt", "HTTP/1.1 200 OK\r\nContent-Length: 5", "HEAD", nullptr, {}, wnJustExit, "discard"},
    {"UnaskedSwitchOfProtocolsRaises", "HTTP/1.1 101 Switching Protocols", "GET", nullptr, {}, wnJustExit, "error",
     101},
    {"NotFoundKeepsThePageAndRaises", "HTTP/1.1 404 Not Found", "GET", nullptr, {}, wnJustExit, "error", 404},
    {"NotModifiedIsNoRedirect", "HTTP/1.1 304 Not Modified", "GET", nullptr, {}, wnJustExit, "error", 304},
    {"AnIgnoredCodeReturns", "HTTP/1.1 404 Not Found", "GET", nullptr, {404}, wnJustExit, "error"},
    {"NoExceptionOption", "HTTP/1.1 500 Oops", "GET", [](TScriptedExchange& x) { x.Options = hoNoProtocolErrorException; },
     {}, wnJustExit, "error"},
    {"RedirectFollowedKeepsTheMethod", "HTTP/1.1 307 Moved\r\nLocation: /b", "POST", nullptr, {}, wnGoToURL,
     "announce follow discard", 0, "POST"},
    {"SeeOtherTurnsIntoGet", "HTTP/1.1 303 See Other\r\nLocation: /b", "POST", nullptr, {}, wnGoToURL,
     "announce follow discard", 0, "GET"},
    {"FoundStaysUnlessAskedOtherwise", "HTTP/1.1 302 Found\r\nLocation: /b", "POST", nullptr, {}, wnGoToURL,
     "announce follow discard", 0, "POST"},
    {"FoundLikeSeeOther", "HTTP/1.1 302 Found\r\nLocation: /b", "POST",
     [](TScriptedExchange& x) { x.Options = hoTreat302Like303; }, {}, wnGoToURL, "announce follow discard", 0, "GET"},
    {"RedirectWithoutLocationRaises", "HTTP/1.1 301 Moved", "GET", nullptr, {}, wnJustExit, "error", 301},
    {"RedirectNotHandledRaises", "HTTP/1.1 301 Moved\r\nLocation: /b", "GET",
     [](TScriptedExchange& x) { x.HandleRedirects = false; }, {}, wnJustExit, "announce error", 301},
    {"RedirectAtTheMaximumStops", "HTTP/1.1 301 Moved\r\nLocation: /b", "GET",
     [](TScriptedExchange& x) { x.Redirects = 14; }, {}, wnJustExit, "announce follow discard"},
    {"ChallengeAnsweredInProcess", "HTTP/1.1 401 Unauthorized", "GET",
     [](TScriptedExchange& x) {
       x.AuthorizeAgain = true;
       x.Options = hoInProcessAuth;
     },
     {}, wnAuthRequest, "authorize discard"},
    {"ChallengeAnsweredByTheCallerReadsThePage", "HTTP/1.1 407 Proxy Authentication Required", "GET",
     [](TScriptedExchange& x) { x.AuthorizeAgain = true; }, {}, wnJustExit, "authorize read"},
    {"ChallengeRefusedRaises", "HTTP/1.1 401 Unauthorized", "GET", nullptr, {}, wnJustExit, "authorize error", 401},
    {"StoppedByTheHeadersEvent", "HTTP/1.1 200 OK", "GET", [](TScriptedExchange& x) { x.Proceed = false; }, {},
     wnJustExit, ""},
};

class ProtocolStep : public ::testing::TestWithParam<TStepCase> {};

TEST_P(ProtocolStep, TakesTheAnswersNextStep) {
  const TStepCase& c = GetParam();
  TScriptedExchange exchange;
  exchange.Input = c.Head + "\r\n\r\n";
  if (c.Setup != nullptr) c.Setup(exchange);
  TNetHTTPProtocol protocol(exchange, nullptr);
  protocol.Request().SetMethod(c.Method);
  protocol.ReadResponseHead();
  int raised = 0;
  TNetHTTPWhatsNext next = wnJustExit;
  try {
    next = protocol.ProcessResponse(c.Ignore);
  } catch (const ENetHTTPProtocolException& e) {
    raised = e.ErrorCode();
    EXPECT_EQ(e.Message(), protocol.Response().ResponseText());
  }
  EXPECT_EQ(raised, c.RaisedCode);
  EXPECT_EQ(next, c.Next);
  EXPECT_EQ(exchange.Calls, c.Calls);
  EXPECT_EQ(protocol.Request().Method(), *c.MethodAfter != '\0' ? std::string(c.MethodAfter) : c.Method);
}

INSTANTIATE_TEST_SUITE_P(Answers, ProtocolStep, ::testing::ValuesIn(kSteps),
                         [](const auto& info) { return std::string(info.param.Name); });

// --- the head: informational answers and status lines --------------------------------------

struct THeadCase {
  const char* Name;
  std::string Input;
  const char* Status;   // the final status line ("" when the head is refused)
  const char* Message;  // the refusal's message ("" for none)
};

void PrintTo(const THeadCase& c, std::ostream* os) { *os << c.Name; }

std::string Interims(int count) {
  std::string heads;
  for (int i = 0; i < count; ++i) heads += "HTTP/1.1 100 Continue\r\nX-Step: " + std::to_string(i) + "\r\n\r\n";
  return heads;
}

const THeadCase kHeads[] = {
    {"Plain", "HTTP/1.1 200 OK\r\nA: 1\r\n\r\n", "HTTP/1.1 200 OK", ""},
    {"ContinueSkipped", Interims(1) + "HTTP/1.1 200 OK\r\n\r\n", "HTTP/1.1 200 OK", ""},
    {"SevenInterimsAndTheFinal", Interims(7) + "HTTP/1.1 201 Created\r\n\r\n", "HTTP/1.1 201 Created", ""},
    {"EightInterimsAreTooMany", Interims(8) + "HTTP/1.1 200 OK\r\n\r\n", "",
     "Too many informational responses before the final one"},
    {"SwitchingProtocolsIsFinal", "HTTP/1.1 101 Switching Protocols\r\n\r\nHTTP/1.1 200 OK\r\n\r\n",
     "HTTP/1.1 101 Switching Protocols", ""},
    {"EmptyStatusLine", "\r\nHTTP/1.1 200 OK\r\n\r\n", "", "The server sent an empty line instead of a status line"},
    {"EmptyStatusLineAfterAnInterim", Interims(1) + "\r\n", "", "The server sent an empty line instead of a status line"},
    {"NulInTheStatusLine", std::string("HTTP/1.1 200 O\0K\r\n\r\n", 20), "", "The response head contains a NUL character"},
    {"CloseDuringTheHeaderLinesEndsTheHead", "HTTP/1.1 200 OK\r\nA: 1\r\nB: tr", "HTTP/1.1 200 OK", ""},
};

class ProtocolHead : public ::testing::TestWithParam<THeadCase> {};

TEST_P(ProtocolHead, SkipsInterimAnswersAndRefusesBadStatusLines) {
  const THeadCase& c = GetParam();
  TScriptedExchange exchange;
  exchange.Input = c.Input;
  TNetHTTPProtocol protocol(exchange, nullptr);
  std::string message;
  try {
    protocol.ReadResponseHead();
  } catch (const ENetHTTPBadResponse& e) {
    message = e.Message();
  }
  EXPECT_EQ(message, c.Message);
  if (*c.Status != '\0') {
    EXPECT_EQ(protocol.Response().ResponseText(), c.Status);
  }
  if (*c.Message == '\0') {
    EXPECT_EQ(protocol.Response().RawHeaders().IndexOfName("X-Step"), -1) << "an interim's headers";
  }
}

INSTANTIATE_TEST_SUITE_P(Heads, ProtocolHead, ::testing::ValuesIn(kHeads),
                         [](const auto& info) { return std::string(info.param.Name); });

}  // namespace
}  // namespace tarvo::http
