#include "http/http_protocol.h"

#include <algorithm>
#include <charconv>

#include "core/resource_string.h"
#include "core/scope_guard.h"
#include "http/authentication.h"
#include "http/capped_stream.h"
#include "http/header_block.h"
#include "http/http_exception.h"
#include "http/http_strings.h"
#include "http/response_text.h"

namespace tarvo::http {

namespace {

bool HasUnsafeRequestChar(std::string_view text) {
  return text.find_first_of(std::string_view("\r\n\0", 3)) != std::string_view::npos;
}

bool Contains(const std::vector<int>& codes, int code) {
  return std::find(codes.begin(), codes.end(), code) != codes.end();
}

bool IsContinuation(const std::string& line) { return !line.empty() && (line[0] == ' ' || line[0] == '\t'); }

// The body length a response head announces, -1 for none. Every Content-Length line, and
// every item of a list in one, must be the same whole decimal number: with two different,
// negative, folded or oversized values the end of the body is a guess, and a wrong guess
// passes a cut body as complete or leaves bytes on the connection for the next response.
std::int64_t AnnouncedLength(const TNetHeaderList& headers) {
  std::int64_t result = -1;
  for (std::size_t i = 0; i < headers.Count(); ++i) {
    if (!SameText(headers.Names(i), "Content-Length")) continue;
    if (i + 1 < headers.Count() && IsContinuation(headers[i + 1]))
      throw ENetHTTPBadResponse(core::LoadResString(SInvalidContentLength));
    std::string_view items = std::string_view(headers[i]).substr(headers[i].find(':') + 1);
    for (;;) {
      std::size_t comma = items.find(',');
      std::int64_t value;
      if (!ParseInt64(Trim(items.substr(0, comma)), value) || (result >= 0 && value != result))
        throw ENetHTTPBadResponse(core::LoadResString(SInvalidContentLength));
      result = value;
      if (comma == std::string_view::npos) break;
      items.remove_prefix(comma + 1);
    }
  }
  return result;
}

}  // namespace

int ParseStatusCode(std::string_view line) {
  std::size_t space = line.find(' ');
  if (space == std::string_view::npos) return -1;
  std::string_view rest = Trim(line.substr(space + 1));
  rest = rest.substr(0, rest.find(' '));
  rest = rest.substr(0, rest.find('.'));
  if (!rest.empty() && rest.front() == '+') rest.remove_prefix(1);
  int code = 0;
  auto r = std::from_chars(rest.data(), rest.data() + rest.size(), code);
  if (rest.empty() || r.ec != std::errc() || r.ptr != rest.data() + rest.size()) return -1;
  return code;
}

void TNetHTTPResponse::Clear() {
  // The status line belongs to the exchange, not to the header fields: it survives.
  TNetResponseHeaderInfo::Clear();
  FMetaHTTPEquiv.Clear();
}

int TNetHTTPResponse::ResponseCode() {
  if (FResponseCode == -1) FResponseCode = ParseStatusCode(FResponseText);
  return FResponseCode;
}

void TNetHTTPResponse::SetResponseText(std::string text) {
  FResponseText = std::move(text);
  FResponseCode = -1;
  std::string version = FResponseText.size() >= 8 ? FResponseText.substr(5, 3) : std::string();
  FResponseVersion = SameText(version, "1.1") ? pv1_1 : pv1_0;
}

bool TNetHTTPResponse::KeepAlive() {
  if (FStopped) return false;
  if (!FExchange.StillConnected()) return false;
  std::string connection(Trim(FConnection.empty() ? FProxyConnection : FConnection));
  if (FExchange.ProtocolVersion() == pv1_0) {
    if (SameText(connection, "KEEP-ALIVE")) return true;
    // A scheme that authenticates the connection itself (NTLM) runs its steps on one
    // connection: an HTTP/1.1 server that did not say "close" keeps it for us.
    return FExchange.AuthenticationKeepsConnection() && FResponseVersion == pv1_1 && !SameText(connection, "CLOSE") &&
           !SameText(Trim(FProxyConnection), "CLOSE");
  }
  if (SameText(connection, "CLOSE")) return false;
  if (SameText(Trim(FProxyConnection), "CLOSE")) return false;
  // An HTTP/1.0 server closes after its response unless it said otherwise; reusing the
  // connection would make the next request fail on a socket the server has let go.
  if (!FResponseText.empty() && FResponseVersion == pv1_0 && !SameText(connection, "KEEP-ALIVE")) return false;
  return true;
}

TNetHTTPProtocol::TNetHTTPProtocol(TNetHTTPExchange& exchange, TNetCustomHTTP* http)
    : FExchange(exchange),
      FRequest(std::make_unique<TNetHTTPRequest>(http)),
      FResponse(std::make_unique<TNetHTTPResponse>(exchange)) {}

std::vector<std::string> TNetHTTPProtocol::ComposeRequest(TNetURI* uri) {
  TNetHTTPRequest& req = *FRequest;
  FExchange.PrepareAuthentication(req);
  req.SetHeaders();
  FExchange.AddConnectionHeaders(req, uri);

  std::vector<std::string> lines;
  lines.push_back(req.Method() + " " + req.URL() + " HTTP/" + (FExchange.ProtocolVersion() == pv1_0 ? "1.0" : "1.1"));
  for (const std::string& line : req.RawHeaders().Lines())
    if (!line.empty()) lines.push_back(line);
  // A line break or NUL inside the URL or a header would let its text start a header or a
  // request of its own: refuse before anything is sent.
  if (req.Method().find(' ') != std::string::npos || req.URL().find(' ') != std::string::npos)
    throw ENetHTTPInvalidRequestText(core::LoadResString(SInvalidRequestText));
  for (const std::string& line : lines)
    if (HasUnsafeRequestChar(line)) throw ENetHTTPInvalidRequestText(core::LoadResString(SInvalidRequestText));
  return lines;
}

void TNetHTTPProtocol::BuildAndSendRequest(TNetURI* uri) { FExchange.WriteRequestHead(ComposeRequest(uri)); }

void TNetHTTPProtocol::ReadResponseHead() {
  // The informational responses before the final one share one budget of bytes.
  TNetHeaderBlock interimHeads(0, FExchange.Limits().ResponseHeaderBytes);
  for (int interim = 0;; ++interim) {
    TNetResponseHeadReader head = FExchange.MakeHeadReader();
    FExchange.FeedStatusLine(head);
    const std::string& status = head.StatusLine();
    FResponse->SetResponseText(status);
    if (status.empty()) throw ENetHTTPBadResponse(core::LoadResString(SNoStatusLine));
    if (status.find('\0') != std::string::npos) throw ENetHTTPBadResponse(core::LoadResString(SNulInResponseHead));
    ReadHeaderLines(head);
    FExchange.HeadRead(*FResponse);
    // Informational replies are skipped with their headers, all but 101: a switch of
    // protocols that was never asked for ends the exchange.
    int code = FResponse->ResponseCode();
    if (code < 100 || code > 199 || code == 101) break;
    if (interim + 1 >= FExchange.Limits().InterimResponses)
      throw ENetHTTPBadResponse(core::LoadResString(STooManyInterimResponses));
    interimHeads.Count(status);
    for (const std::string& line : FResponse->RawHeaders().Lines()) interimHeads.Count(line);
  }
}

void TNetHTTPProtocol::ReadHeaderLines(TNetResponseHeadReader& reader) {
  FResponse->Clear();
  reader.ReadHeadersInto(FResponse->RawHeaders());
  FExchange.FeedHeaderLines(reader);
  ParseHead();
}

void TNetHTTPProtocol::ParseHead() {
  FResponse->ParseHeaderFields();
  FResponse->SetContentLength(AnnouncedLength(FResponse->RawHeaders()));
}

void TNetHTTPProtocol::RaiseProtocolError(int code, const std::vector<int>& ignoreReplies) {
  TNetCappedMemoryStream page(FExchange.Limits().ErrorPageBytes);
  core::TScopeGuard restore([this, saved = FResponse->ContentStream()] { FResponse->SetContentStream(saved); });
  FResponse->SetContentStream(&page);
  FExchange.ReadErrorBody(*FRequest, *FResponse);
  restore.Run();
  if (FExchange.HasOption(hoNoProtocolErrorException) || Contains(ignoreReplies, code)) return;
  throw ENetHTTPProtocolException::CreateError(code, FResponse->ResponseText(),
                                               DecodeResponseText(page.DataString(), *FResponse));
}

TNetHTTPWhatsNext TNetHTTPProtocol::HandleRedirect(int code, const std::vector<int>& ignoreReplies) {
  if (FResponse->Location().empty()) {
    RaiseProtocolError(code, ignoreReplies);
    return wnJustExit;
  }
  std::string location = FResponse->Location();
  std::string method = FRequest->Method();
  if (!FExchange.AnnounceRedirect(location, method)) {
    RaiseProtocolError(code, ignoreReplies);
    return wnJustExit;
  }
  TNetHTTPWhatsNext result;
  if (FExchange.FollowRedirect(location)) {
    FRequest->SetURL(location);
    if (code == 303 || (code == 302 && FExchange.HasOption(hoTreat302Like303))) {
      FRequest->SetSource(nullptr);
      FRequest->SetMethod("GET");
    } else {
      FRequest->SetMethod(method);
    }
    FRequest->SetMethodOverride("");
    result = wnGoToURL;
  } else {
    FResponse->SetLocation(location);
    result = wnJustExit;
  }
  if (FExchange.Connected()) FExchange.DiscardBody(*FRequest, *FResponse);
  return result;
}

TNetHTTPWhatsNext TNetHTTPProtocol::ProcessResponse(const std::vector<int>& ignoreReplies) {
  if (!FExchange.HeadersAvailable(FResponse->RawHeaders())) {
    FResponse->SetKeepAliveStopped();
    return wnJustExit;
  }
  int code = FResponse->ResponseCode();
  int cls = code / 100;
  if (cls == 3 && code != 304) return HandleRedirect(code, ignoreReplies);
  // An informational reply that is not skipped (101 Switching Protocols, which was never
  // asked for) is followed by more bytes on the connection: it cannot carry another request.
  if (cls == 1) FResponse->SetKeepAliveStopped();

  bool retry = false;
  if (cls == 2) FExchange.CheckAuthenticationInfo(*FResponse);
  if (cls != 2) {
    if (code == 401 || code == 407) {
      bool proxy = code == 407;
      if (!FExchange.Authorize(proxy, *FRequest, *FResponse)) {
        TNetAuthentication* auth = proxy ? FExchange.ProxyAuthentication() : FRequest->Authentication();
        if (auth != nullptr) auth->Reset();
        RaiseProtocolError(code, ignoreReplies);
        return wnJustExit;
      }
      retry = FExchange.HasOption(hoInProcessAuth);
    } else {
      RaiseProtocolError(code, ignoreReplies);
      return wnJustExit;
    }
  }
  if (retry) {
    FExchange.DiscardBody(*FRequest, *FResponse);
    return wnAuthRequest;
  }
  if (SameText(FRequest->Method(), "HEAD") || SameText(FRequest->MethodOverride(), "HEAD") || code == 204)
    FExchange.DiscardBody(*FRequest, *FResponse);
  else
    FExchange.ReadBody(*FRequest, *FResponse);
  return wnJustExit;
}

}  // namespace tarvo::http
