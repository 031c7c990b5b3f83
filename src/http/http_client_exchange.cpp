#include "http/http_client_exchange.h"

#include "core/scope_guard.h"
#include "http/authentication.h"
#include "net/net_exception.h"

namespace tarvo::http {

TNetHTTPExchange& TNetCustomHTTP::Exchange() { return *FExchange; }

void TNetCustomHTTP::TExchange::AddConnectionHeaders(TNetHTTPRequest& request, TNetURI* uri) {
  TNetHeaderList& headers = request.RawHeaders();
  if (FHTTP.ProxyReadsRequest(request)) FHTTP.FProxyParameters.SetHeaders(headers);
  if (uri != nullptr && !FHTTP.MaySendCredentials(*uri))
    while (headers.IndexOfName("Authorization") >= 0) headers.SetValue("Authorization", "");
  if (uri != nullptr && FHTTP.FAllowCookies) FHTTP.AddCookieHeader(headers, *uri);
}

void TNetCustomHTTP::TExchange::WriteRequestHead(const std::vector<std::string>& lines) {
  net::TNetIOHandler* io = FHTTP.IOHandler();
  if (io == nullptr) throw net::ENetNotConnected();
  // The head goes out in one piece unless the caller is already collecting the writes.
  bool opened = !io->WriteBufferingActive();
  if (opened) io->WriteBufferOpen();
  core::TScopeGuard cancel([io] {
    if (io->WriteBufferingActive()) io->WriteBufferCancel();
  });
  if (!opened) cancel.Dismiss();
  for (const std::string& line : lines) io->WriteLn(line);
  io->WriteLn();
  cancel.Dismiss();
  if (opened) io->WriteBufferClose();
}

void TNetCustomHTTP::TExchange::FeedStatusLine(TNetResponseHeadReader& reader) {
  FHTTP.FeedReader(reader);
  FHTTP.FHeadStarted = true;
}

void TNetCustomHTTP::TExchange::FeedHeaderLines(TNetResponseHeadReader& reader) {
  try {
    FHTTP.FeedReader(reader);
  } catch (const net::ENetConnClosedGracefully&) {
    // A server that closes during the header lines ends the head, not the exchange. The
    // piece of a line it left behind is no body.
    reader.EndAtClose();
    FHTTP.Disconnect();
    if (FHTTP.IOHandler() != nullptr) FHTTP.IOHandler()->InputBuffer().Clear();
  }
}

void TNetCustomHTTP::TExchange::HeadRead(TNetHTTPResponse& response) {
  // The server judged the answer (a 407 is the proxy's, before the server saw the request;
  // a 401 is a new challenge, answered or refused next).
  const int code = response.ResponseCode();
  if (code != 401 && code != 407) FHTTP.FServerAnswerPending = false;
  if (FHTTP.FAllowCookies) FHTTP.ProcessCookies(response);
}

bool TNetCustomHTTP::TExchange::HeadersAvailable(TNetHeaderList& headers) {
  bool proceed = true;
  if (FHTTP.OnHeadersAvailable) FHTTP.OnHeadersAvailable(&FHTTP, headers, proceed);
  return proceed;
}

void TNetCustomHTTP::TExchange::ReadBody(TNetHTTPRequest& request, TNetHTTPResponse& response) {
  FHTTP.ReadResponseBody(request, response);
}

void TNetCustomHTTP::TExchange::ReadErrorBody(TNetHTTPRequest& request, TNetHTTPResponse& response) {
  auto quiet = FHTTP.SilenceBodyWork();
  FHTTP.ReadResponseBody(request, response);
}

void TNetCustomHTTP::TExchange::DiscardBody(TNetHTTPRequest& request, TNetHTTPResponse& response) {
  FHTTP.DiscardResponseBody(request, response);
}

bool TNetCustomHTTP::TExchange::StillConnected() {
  if (FHTTP.IOHandler() != nullptr && FHTTP.Connected()) FHTTP.IOHandler()->CheckForDisconnect(false);
  return FHTTP.Connected();
}

bool TNetCustomHTTP::TExchange::AuthenticationKeepsConnection() {
  TNetAuthentication* server = FHTTP.Request().Authentication();
  TNetAuthentication* proxy = FHTTP.FProxyParameters.Authentication();
  return (server != nullptr && server->KeepAlive()) || (proxy != nullptr && proxy->KeepAlive());
}

bool TNetCustomHTTP::TExchange::AnnounceRedirect(std::string& location, std::string& method) {
  ++FHTTP.FRedirectCount;
  bool handled = FHTTP.FHandleRedirects;
  int count = FHTTP.FRedirectCount;  // the handler sees the count; what it writes there is dropped
  if (FHTTP.OnRedirect) FHTTP.OnRedirect(&FHTTP, location, count, handled, method);
  return handled;
}

bool TNetCustomHTTP::TExchange::FollowRedirect(const std::string& location) {
  // The handler may have changed the setting.
  if (!FHTTP.FHandleRedirects || FHTTP.FRedirectCount >= FHTTP.FRedirectMax) return false;
  FHTTP.DropCredentialsForNewOrigin(location);
  return true;
}

bool TNetCustomHTTP::TExchange::Authorize(bool proxy, TNetHTTPRequest& request, TNetHTTPResponse& response) {
  const int retries = proxy ? FHTTP.FAuthProxyRetries : FHTTP.FAuthRetries;
  if (retries >= FHTTP.FMaxAuthRetries) return false;
  return proxy ? FHTTP.DoOnProxyAuthorization(request, response) : FHTTP.DoOnAuthorization(request, response);
}

}  // namespace tarvo::http
