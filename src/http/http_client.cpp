#include "http/http_client.h"

#include "core/file_stream.h"
#include "core/memory_stream.h"
#include "core/port_text.h"
#include "core/resource_string.h"
#include "core/scope_guard.h"
#include "http/capped_stream.h"
#include "http/cookie_manager.h"
#include "http/form_encoding.h"
#include "http/http_client_exchange.h"
#include "http/http_exception.h"
#include "http/http_io_handler.h"
#include "http/http_limits.h"
#include "http/http_strings.h"
#include "http/response_head_reader.h"
#include "http/response_text.h"
#include "net/net_exception.h"
#include "net/net_io_handler_socket.h"

namespace tarvo::http {

namespace {

// A port text as a number; one that is not a number (or out of range) counts as 80.
std::uint16_t PortNumber(std::string_view text) { return core::ParsePort(Trim(text)).value_or(80); }

std::string DefaultPortFor(std::string_view scheme) {
  if (SameText(scheme, "http")) return "80";
  if (SameText(scheme, "https")) return "443";
  return {};
}

bool NeedsHTTP11(std::string_view method) {
  return SameText(method, "TRACE") || SameText(method, "PUT") || SameText(method, "OPTIONS") ||
         SameText(method, "DELETE");
}

}  // namespace

const core::TClassInfo& TNetCustomHTTP::StaticClassInfo() noexcept {
  static const core::TClassInfo info{"TNetCustomHTTP", &core::ClassInfoOf<net::TNetTCPClientCustom>(), {}};
  return info;
}

const core::TClassInfo& TNetHTTP::StaticClassInfo() noexcept {
  static const core::TClassInfo info{"TNetHTTP", &core::ClassInfoOf<TNetCustomHTTP>(), {}};
  return info;
}

TNetCustomHTTP::TNetCustomHTTP()
    : FExchange(std::make_unique<TExchange>(*this)), FHTTPProto(std::make_unique<TNetHTTPProtocol>(*FExchange, this)) {
  FProxyParameters.Clear();
}

TNetCustomHTTP::~TNetCustomHTTP() {
  try {
    Disconnect();
  } catch (...) {
  }
}

std::unique_ptr<TNetHTTPProtocol> TNetCustomHTTP::CreateProtocol() {
  return std::make_unique<TNetHTTPProtocol>(*FExchange, this);
}

std::unique_ptr<net::TNetIOHandler> TNetCustomHTTP::MakeClientIOHandler() { return std::make_unique<TNetHTTPIOHandler>(); }

// --- the requests ----------------------------------------------------------------------

void TNetCustomHTTP::Get(const std::string& url, core::TStream& stream) { DoRequest("GET", url, nullptr, &stream, {}); }

void TNetCustomHTTP::Get(const std::string& url, core::TStream& stream, const std::vector<int>& ignoreReplies) {
  DoRequest("GET", url, nullptr, &stream, ignoreReplies);
}

std::string TNetCustomHTTP::Get(const std::string& url) {
  TNetLimitedMemoryStream body(FLimits.TextBodyBytes);
  DoRequest("GET", url, nullptr, &body, {});
  return DecodeResponseText(body.DataString(), Response());
}

void TNetCustomHTTP::Head(const std::string& url) { DoRequest("HEAD", url, nullptr, nullptr, {}); }

void TNetCustomHTTP::Post(const std::string& url, core::TStream& source, core::TStream& response) {
  // The protocol version is the caller's again when the call ends, also by an exception.
  core::TScopeGuard restoreVersion([this, saved = ProtocolVersion()] { SetProtocolVersion(saved); });
  if (!HasOption(hoKeepOrigProtocol)) {
    // An HTTP/1.0 POST on a fresh connection: a server cannot answer it on a connection
    // that a previous response has left in doubt.
    if (Connected()) Disconnect();
    SetProtocolVersion(pv1_0);
  }
  DoRequest("POST", url, &source, &response, {});
}

std::string TNetCustomHTTP::Post(const std::string& url, const std::vector<std::string>& fields) {
  std::string body = EncodeFormFields(fields, HasOption(hoForceEncodeParams), nullptr);
  core::TMemoryStream source(std::vector<std::uint8_t>(body.begin(), body.end()));
  TNetLimitedMemoryStream response(FLimits.TextBodyBytes);
  if (Request().ContentType().empty()) Request().SetContentType("application/x-www-form-urlencoded");
  Post(url, source, response);
  return DecodeResponseText(response.DataString(), Response());
}

std::string TNetCustomHTTP::Post(const std::string& url, core::TStream& source) {
  TNetLimitedMemoryStream response(FLimits.TextBodyBytes);
  Post(url, source, response);
  return DecodeResponseText(response.DataString(), Response());
}

void TNetCustomHTTP::Post(const std::string& url, const std::filesystem::path& sourceFile, core::TStream& response) {
  core::TFileStream source(sourceFile.string(), core::fmOpenRead | core::fmShareDenyWrite);
  Post(url, source, response);
}

std::string TNetCustomHTTP::Post(const std::string& url, const std::filesystem::path& sourceFile) {
  core::TFileStream source(sourceFile.string(), core::fmOpenRead | core::fmShareDenyWrite);
  return Post(url, source);
}

void TNetCustomHTTP::Put(const std::string& url, core::TStream& source, core::TStream& response) {
  DoRequest("PUT", url, &source, &response, {});
}

void TNetCustomHTTP::Delete(const std::string& url) { DoRequest("DELETE", url, nullptr, nullptr, {}); }

void TNetCustomHTTP::Options(const std::string& url) { DoRequest("OPTIONS", url, nullptr, nullptr, {}); }

void TNetCustomHTTP::Trace(const std::string& url, core::TStream& stream) { DoRequest("TRACE", url, nullptr, &stream, {}); }

// --- the request loop ------------------------------------------------------------------

void TNetCustomHTTP::DoRequest(const std::string& method, const std::string& url, core::TStream* source,
                               core::TStream* responseStream, const std::vector<int>& ignoreReplies) {
  FRedirectCount = FAuthRetries = FAuthProxyRetries = 0;
  std::int64_t start = responseStream != nullptr ? responseStream->Position() : 0;
  TNetHTTPRequest& request = Request();
  TNetHTTPResponse& response = Response();
  request.SetURL(url);
  request.SetMethod(method);
  request.SetSource(source);
  response.SetContentStream(responseStream);
  response.SetKeepAliveStopped(false);
  // However the call ends, the caller's stream is no longer the response's. Until a response
  // was read whole (an error page included), part of one may be left unread on the
  // connection, which would be taken for the start of the next one.
  core::TScopeGuard releaseStream([&response] { response.SetContentStream(nullptr); });
  core::TScopeGuard dropConnection([this] { Disconnect(); });
  auto finish = [&] {
    dropConnection.Dismiss();
    releaseStream.Run();
    if (!response.KeepAlive()) Disconnect();
  };
  try {
    for (bool first = true;; first = false) {
      ResolveRequestTarget(request.URL());
      // Credentials set for this call belong to the target it was made for; a redirect to
      // another origin does not take them along.
      if (first) FCredentialOrigin = OriginOf(FURI);
      if ((NeedsHTTP11(request.Method()) || NeedsHTTP11(request.MethodOverride())) && FProtocolVersion != pv1_1)
        throw ENetException(core::LoadResString(SMethodRequiresVersion));
      if (auto* tls = dynamic_cast<INetTLSHandler*>(IOHandler())) tls->SetURIToCheck(FURI.URI());
      SendAndReadHead();
      TNetHTTPWhatsNext next = FHTTPProto->ProcessResponse(ignoreReplies);
      if (next == wnGoToURL) {
        if (responseStream != nullptr) {
          responseStream->SetPosition(start);
          responseStream->SetSize(start);
        }
        FAuthRetries = FAuthProxyRetries = 0;
      } else if (next == wnAuthRequest) {
        // The answer goes to the target that asked: after a redirect that is not the URL
        // the call began with, which would only redirect again and never see it.
        request.SetURL(FRedirectCount > 0 ? FURI.URI() : url);
      } else {
        break;
      }
    }
  } catch (const ENetHTTPProtocolException&) {
    // The error page was read whole: the connection may serve the next call.
    finish();
    throw;
  }
  finish();
}

void TNetCustomHTTP::SendAndReadHead() {
  for (int attempt = 0;; ++attempt) {
    FHeadStarted = FReusedConnection = false;
    try {
      OpenRequestConnection();
      FHTTPProto->ReadResponseHead();
      return;
    } catch (const net::ENetConnClosedGracefully&) {
      if (!MayResend(attempt)) throw;
    } catch (const net::ENetSocketError&) {
      if (!MayResend(attempt)) throw;
    }
    Disconnect();
    if (IOHandler() != nullptr) IOHandler()->InputBuffer().Clear();
  }
}

bool TNetCustomHTTP::MayResend(int attempt) const {
  // A server may close a kept-alive connection at any moment between two requests, and the
  // close can cross our next request on the wire. Such a request never reached the server:
  // an idempotent one goes again, once, on a new connection. Nothing of a response may have
  // arrived, and a request that was not sent on a reused connection failed for another cause.
  const std::string& m = FHTTPProto->Request().Method();
  bool idempotent = SameText(m, "GET") || SameText(m, "HEAD") || SameText(m, "OPTIONS") || SameText(m, "TRACE") ||
                    SameText(m, "PUT") || SameText(m, "DELETE");
  return attempt == 0 && FReusedConnection && !FHeadStarted && idempotent;
}

namespace {

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// User information is percent-encoded in a URL (RFC 3986 section 3.2.1): a password with
// "@", ":" or "/" can only be written so, and the server wants the password itself. A "%"
// not followed by two hexadecimal digits stays as it is.
std::string UserInfoDecoded(std::string_view text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '%' && i + 2 < text.size() && HexDigit(text[i + 1]) >= 0 && HexDigit(text[i + 2]) >= 0) {
      out += static_cast<char>(HexDigit(text[i + 1]) << 4 | HexDigit(text[i + 2]));
      i += 2;
    } else {
      out += text[i];
    }
  }
  return out;
}

}  // namespace

void TNetCustomHTTP::ResolveRequestTarget(const std::string& url) {
  TNetHTTPRequest& request = Request();
  TNetURI target(url);
  // Credentials in the URL of the call count; those in a Location the server sent do not:
  // a server must not choose the user we speak as.
  if (!target.Username().empty() && FRedirectCount == 0) {
    request.SetUsername(UserInfoDecoded(target.Username()));
    request.SetPassword(UserInfoDecoded(target.Password()));
  }
  // The target keeps no credentials: its text is cached and shown.
  FURI.SetUsername("");
  FURI.SetPassword("");
  FURI.SetPath(MergePaths(FURI.Path(), target.Path()));
  FURI.SetDocument(target.Document());
  FURI.SetParams(target.Params());
  if (!target.Host().empty()) {
    FURI.SetHost(target.Host());
    // A relative URL keeps the host, and so its address family.
    FURI.SetIPVersion(target.IPVersion());
  }
  // Only http and https are spoken: another scheme (ftp:, file:) in a URL or a Location is
  // refused, never sent as HTTP to whatever port the last target had.
  if (!target.Protocol().empty() && DefaultPortFor(target.Protocol()).empty())
    throw ENetUnknownProtocol(core::LoadResString(SUnknownProtocol));
  if (!target.Protocol().empty())
    FURI.SetProtocol(target.Protocol());
  else
    FURI.SetProtocol(SameText(FURI.Protocol(), "https") ? "https" : "http");
  if (!target.Port().empty()) {
    if (!core::ParsePort(target.Port()))
      throw ENetURIException(core::LoadResString(SInvalidPort));
    FURI.SetPort(target.Port());
  } else if (std::string port = DefaultPortFor(target.Protocol()); !port.empty()) {
    FURI.SetPort(port);
  } else if (FURI.Port().empty()) {
    throw ENetUnknownProtocol(core::LoadResString(SUnknownProtocol));
  }
  // Without a host the connect would fail with no message to show.
  if (FURI.Host().empty()) throw ENetURIException(core::LoadResString(SURIHostEmpty));
  bool options = SameText(request.Method(), "OPTIONS") || SameText(request.MethodOverride(), "OPTIONS");
  request.SetURL(options && target.Document() == "*" ? std::string("*") : FURI.GetPathAndParams());
  request.SetIPVersion(FURI.IPVersion());

  request.SetContentLength(request.Source() != nullptr ? request.Source()->Size() : -1);
  std::string host = FURI.IPVersion() == Net_IPv6 ? "[" + FURI.Host() + "]" : FURI.Host();
  bool defaultPort = (SameText(FURI.Protocol(), "http") && FURI.Port() == "80") ||
                     (SameText(FURI.Protocol(), "https") && FURI.Port() == "443");
  request.SetHost(defaultPort ? host : host + ":" + FURI.Port());
}

std::string TNetCustomHTTP::OriginOf(const TNetURI& target) {
  std::string port = target.Port().empty() ? DefaultPortFor(target.Protocol()) : target.Port();
  return LowerCase(target.Protocol()) + "://" + LowerCase(target.Host()) + ":" + port;
}

bool TNetCustomHTTP::ProxyReadsRequest(const TNetHTTPRequest& request) const {
  if (FProxyParameters.ProxyServer().empty()) return false;
  if (SameText(request.Method(), "CONNECT")) return true;
  return request.UseProxy() == ctProxy && !HasOption(hoNonSSLProxyUseConnectVerb);
}

bool TNetCustomHTTP::MaySendCredentials(const TNetURI& target) const {
  return !FCredentialOrigin.empty() && OriginOf(target) == FCredentialOrigin;
}

void TNetCustomHTTP::DropCredentialsForNewOrigin(const std::string& location) {
  TNetURI next(location);
  if (next.Host().empty()) return;  // relative: same origin
  std::string scheme = next.Protocol().empty() ? FURI.Protocol() : next.Protocol();
  std::string port = next.Port().empty() ? DefaultPortFor(scheme) : next.Port();
  if (SameText(next.Host(), FURI.Host()) && SameText(scheme, FURI.Protocol()) && port == FURI.Port()) return;
  // Credentials were given for the previous origin; another one must not receive them.
  Request().SetUsername("");
  Request().SetPassword("");
  Request().SetAuthentication(nullptr);
  FURI.SetUsername("");
  FURI.SetPassword("");
}

TNetHTTPConnectionType TNetCustomHTTP::SelectEndpoint() {
  TNetHTTPConnectionType result;
  std::string host;
  std::uint16_t port;
  bool https = SameText(FURI.Protocol(), "https");
  auto* tls = dynamic_cast<INetTLSHandler*>(IOHandler());
  if (FProxyParameters.ProxyServer().empty()) {
    if (IPVersion() != FURI.IPVersion() && Connected()) Disconnect();
    host = FURI.Host();
    port = PortNumber(FURI.Port());
    if ((!SameText(Host(), host) || Port() != port) && Connected()) Disconnect();
    // http and https on one host and port are two connections, never one that changes.
    if (https != FDirectTLS && Connected()) Disconnect();
    FDirectTLS = https;
    if (https) {
      if (tls == nullptr) throw ENetIOHandlerPropInvalid(core::LoadResString(SIOHandlerPropInvalid));
      tls->SetPassThrough(false);
      result = ctSSL;
    } else {
      if (tls != nullptr) tls->SetPassThrough(true);
      result = ctNormal;
    }
  } else {
    host = FProxyParameters.ProxyServer();
    int proxyPort = FProxyParameters.ProxyPort();
    port = proxyPort >= 1 && proxyPort <= 65535 ? static_cast<std::uint16_t>(proxyPort) : 80;
    if ((!SameText(Host(), host) || Port() != port) && Connected()) Disconnect();
    if (https) {
      // Without TLS the request would go into the tunnel in clear text.
      if (tls == nullptr) throw ENetIOHandlerPropInvalid(core::LoadResString(SIOHandlerPropInvalid));
      if (tls != nullptr) tls->SetPassThrough(true);
      result = ctSSLProxy;
    } else {
      if (tls != nullptr) tls->SetPassThrough(true);
      result = ctProxy;
    }
  }
  SetHost(host);
  SetPort(port);
  return result;
}

void TNetCustomHTTP::OpenRequestConnection() {
  TNetHTTPRequest& request = Request();
  TNetHTTPConnectionType type = SelectEndpoint();
  request.SetUseProxy(type);
  if (type == ctProxy) request.SetURL(FURI.URI());
  bool tunnel = false;
  switch (type) {
    case ctNormal:
      if (FProtocolVersion == pv1_0 && request.Connection().empty()) request.SetConnection("keep-alive");
      break;
    case ctSSL:
    case ctSSLProxy:
      request.SetConnection("");
      tunnel = type == ctSSLProxy;
      break;
    case ctProxy:
      if (FProtocolVersion == pv1_0 && request.Connection().empty()) request.SetProxyConnection("keep-alive");
      tunnel = HasOption(hoNonSSLProxyUseConnectVerb);
      break;
  }
  auto addEncoding = [&](const char* name) {
    std::string current = request.AcceptEncoding();
    if (current.find(name) != std::string::npos) return;
    request.SetAcceptEncoding(current.empty() ? std::string(name) : current + ", " + name);
  };
  if (FCompressor != nullptr && FCompressor->IsReady()) {
    addEncoding("deflate");
    addEncoding("gzip");
  }
  addEncoding("identity");

  // A tunnel carries every request to its one target: a connection to the proxy that is a
  // tunnel to another target (or none) cannot carry this request, and an open tunnel to
  // this target must not see a second CONNECT, which the far end would read as a request.
  std::string tunnelTarget = tunnel ? TunnelAuthority() : std::string();
  if (!Connected() || FTunnelTarget != tunnelTarget) {
    FTunnelTarget.clear();
    if (Connected()) Disconnect();
  }
  EnsureConnection(Response());
  FReusedConnection = !FJustConnected;
  if (tunnel && FTunnelTarget.empty()) {
    ConnectTunnel();
    FTunnelTarget = tunnelTarget;
  }
  FHTTPProto->BuildAndSendRequest(&FURI);
  if (request.Source() != nullptr) IOHandler()->Write(*request.Source(), 0);
}

void TNetCustomHTTP::EnsureConnection(TNetHTTPResponse& response) {
  if (!response.KeepAlive()) Disconnect();
  if (IOHandler() != nullptr) IOHandler()->InputBuffer().Clear();
  CheckForGracefulDisconnect(false);
  FJustConnected = !Connected();
  if (!Connected()) {
    SetIPVersion(FURI.IPVersion());
    Connect();
    // Large receives on a socket cut the system calls of a big download.
    net::TNetIOHandler* io = IOHandler();
    if (dynamic_cast<net::TNetIOHandlerSocket*>(io) != nullptr && io->RecvBufferSize() < FLimits.BodyReceiveSize)
      io->SetRecvBufferSize(FLimits.BodyReceiveSize);
  }
}

std::string TNetCustomHTTP::TunnelAuthority() const {
  std::string host = FURI.IPVersion() == Net_IPv6 ? "[" + FURI.Host() + "]" : FURI.Host();
  return host + ":" + std::to_string(PortNumber(FURI.Port()));
}

void TNetCustomHTTP::ConnectTunnel() {
  std::unique_ptr<TNetHTTPProtocol> tunnel = CreateProtocol();
  TNetHTTPRequest& req = tunnel->Request();
  req.SetUserAgent(Request().UserAgent());
  req.SetHost(Request().Host());
  req.SetPragma("no-cache");
  req.SetURL(TunnelAuthority());
  req.SetMethod("CONNECT");
  req.SetProxyConnection("keep-alive");
  req.SetAccept("");
  core::TMemoryStream ignored;
  tunnel->Response().SetContentStream(&ignored);
  for (;;) {
    EnsureConnection(tunnel->Response());
    tunnel->BuildAndSendRequest(nullptr);
    TNetResponseHeadReader head = MakeHeadReader();
    FeedReader(head);
    if (head.StatusLine().empty()) {
      tunnel->Response().SetResponseText("HTTP/1.0 200 OK");
      tunnel->Response().SetConnection("close");
    } else {
      // The proxy's own answer: cookies in it are not the target's and are not stored,
      // or a proxy could plant them for a site it only carries the bytes of.
      tunnel->Response().SetResponseText(head.StatusLine());
      tunnel->ReadHeaderLines(head);
    }
    int code = tunnel->Response().ResponseCode();
    if (code == 200) break;
    // The proxy's answer is the outcome of this request: ResponseCode and ResponseText
    // tell it, not what the previous request got.
    Response().SetResponseText(tunnel->Response().ResponseText());
    // Anything but a retry with credentials ends here: a proxy that keeps answering
    // something else must not keep us sending CONNECT.
    if (tunnel->ProcessResponse({}) != wnAuthRequest)
      throw ENetHTTPProtocolException::CreateError(code, tunnel->Response().ResponseText(), "");
  }
  if (Request().UseProxy() == ctSSLProxy)
    if (auto* tls = dynamic_cast<INetTLSHandler*>(IOHandler())) tls->SetPassThrough(false);
}

TNetLineRules TNetCustomHTTP::LineRules() {
  net::TNetIOHandler* io = IOHandler();
  if (io == nullptr) throw net::ENetNotConnected();
  return {io->MaxLineLength(), io->MaxLineAction(), io->DefStringEncoding()};
}

TNetResponseHeadReader TNetCustomHTTP::MakeHeadReader() {
  return TNetResponseHeadReader(LineRules(), FLimits.HeaderLineBound(), FLimits.ResponseHeaderBytes);
}

void TNetCustomHTTP::DoOnDisconnected() {
  FTunnelTarget.clear();
  if (TNetAuthentication* auth = Request().Authentication()) auth->Disconnected();
  if (TNetAuthentication* auth = FProxyParameters.Authentication()) auth->Disconnected();
  HandOverAuthentication();
  // A finished handshake of a scheme bound to its connection (NTLM) cannot serve the next
  // one. Basic and Digest answers can, and one just made for a 407 goes out with the
  // repeated request, on a new connection when the proxy closed after its challenge.
  if (TNetAuthentication* auth = FProxyParameters.Authentication(); auth != nullptr && auth->KeepAlive() &&
                                                                    Response().ResponseCode() != 407 &&
                                                                    auth->CurrentStep() == auth->Steps())
    auth->Reset();
  net::TNetTCPClientCustom::DoOnDisconnected();
}

}  // namespace tarvo::http
