// TNetHTTP: an HTTP/1.1 client over the transport's TCP client. Each call (Get, Head, Post,
// Put, Delete, Options, Trace) runs one request loop: resolve the target against the current
// one, pick the endpoint (origin or proxy), connect or reuse the connection, write the
// request, read the response and either finish, follow a redirect or repeat with
// credentials. A final status outside 2xx raises ENetHTTPProtocolException whose message is
// the status line as received. The connection stays open between calls only while the
// responses are keep-alive and the endpoint stays the same.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "core/scope_guard.h"
#include "core/stream.h"
#include "http/auth_registry.h"
#include "http/chunk_framer.h"
#include "http/header_info.h"
#include "http/http_limits.h"
#include "http/http_protocol.h"
#include "http/http_types.h"
#include "http/line_framer.h"
#include "http/response_head_reader.h"
#include "http/uri.h"
#include "net/net_exception.h"
#include "net/net_tcp_client.h"

namespace tarvo::http {

class TNetCustomHTTP;
class TNetBodySource;
class TNetCookieManager;
class TNetAuthenticationManager;

using TNetHeadersAvailableEvent =
    std::function<void(TNetCustomHTTP* Sender, TNetHeaderList& AHeaders, bool& VContinue)>;
using TNetRedirectEvent = std::function<void(TNetCustomHTTP* Sender, std::string& dest, int& NumRedirect,
                                             bool& Handled, std::string& VMethod)>;
// May change the scheme class chosen from the challenges (nullptr refuses).
using TNetSelectAuthorizationHTTPEvent = std::function<void(
    TNetCustomHTTP* Sender, TNetAuthenticationClass& AuthenticationClass, const TNetHeaderList& AuthInfo)>;
// Asked for credentials when a scheme lacks them: set them on Authentication (Username,
// Password) and Handled to true to go on.
using TNetAuthorizationHTTPEvent =
    std::function<void(TNetCustomHTTP* Sender, TNetAuthentication* Authentication, bool& Handled)>;

class TNetCustomHTTP : public net::TNetTCPClientCustom {
  TARVO_PERSISTENT_CLASS(TNetCustomHTTP)
public:
  TNetCustomHTTP();
  ~TNetCustomHTTP() override;

  // --- requests ----------------------------------------------------------------------
  void Get(const std::string& url, core::TStream& stream);
  // Codes in ignoreReplies return normally (nothing is written to the stream).
  void Get(const std::string& url, core::TStream& stream, const std::vector<int>& ignoreReplies);
  // The body as text, decoded with the response's charset.
  std::string Get(const std::string& url);
  void Head(const std::string& url);
  void Post(const std::string& url, core::TStream& source, core::TStream& response);
  // Form fields ("name=value" lines), encoded per HTTPOptions, posted as
  // application/x-www-form-urlencoded.
  std::string Post(const std::string& url, const std::vector<std::string>& fields);
  // The source stream posted as it is; the answer as text, decoded with its charset.
  std::string Post(const std::string& url, core::TStream& source);
  // The file's bytes posted as they are (read as a stream, not loaded whole).
  void Post(const std::string& url, const std::filesystem::path& sourceFile, core::TStream& response);
  std::string Post(const std::string& url, const std::filesystem::path& sourceFile);
  void Put(const std::string& url, core::TStream& source, core::TStream& response);
  void Delete(const std::string& url);
  void Options(const std::string& url);
  void Trace(const std::string& url, core::TStream& stream);
  void DoRequest(const std::string& method, const std::string& url, core::TStream* source,
                 core::TStream* responseStream, const std::vector<int>& ignoreReplies);

  // --- state after a call ------------------------------------------------------------
  int ResponseCode() { return Response().ResponseCode(); }
  const std::string& ResponseText() { return Response().ResponseText(); }
  TNetHTTPRequest& Request() { return FHTTPProto->Request(); }
  TNetHTTPResponse& Response() { return FHTTPProto->Response(); }
  TNetHTTPProtocol& HTTPProto() { return *FHTTPProto; }
  TNetURI& URL() { return FURI; }
  int RedirectCount() const { return FRedirectCount; }
  int AuthRetries() const { return FAuthRetries; }
  int AuthProxyRetries() const { return FAuthProxyRetries; }

  // --- settings ----------------------------------------------------------------------
  TNetProxyConnectionInfo& ProxyParams() { return FProxyParameters; }
  TNetHTTPProtocolVersion ProtocolVersion() const { return FProtocolVersion; }
  void SetProtocolVersion(TNetHTTPProtocolVersion v) { FProtocolVersion = v; }
  bool HandleRedirects() const { return FHandleRedirects; }
  void SetHandleRedirects(bool v) { FHandleRedirects = v; }
  int RedirectMaximum() const { return FRedirectMax; }
  void SetRedirectMaximum(int v) { FRedirectMax = v; }
  int MaxAuthRetries() const { return FMaxAuthRetries; }
  void SetMaxAuthRetries(int v) { FMaxAuthRetries = v; }
  // Header lines one response head (or chunked trailer) may have; more is an error. This
  // is Limits().HeaderLines: 0 or less leaves the bound to Limits().HeaderLinesWhenUnbounded.
  int MaxHeaderLines() const { return FLimits.HeaderLines; }
  void SetMaxHeaderLines(int v) { FLimits.HeaderLines = v; }
  // The bounds this client holds a peer to; each client may have its own. Setting them
  // replaces all of them, MaxHeaderLines included.
  const THTTPLimits& Limits() const { return FLimits; }
  void SetLimits(const THTTPLimits& v) { FLimits = v; }
  bool AllowCookies() const { return FAllowCookies; }
  void SetAllowCookies(bool v) { FAllowCookies = v; }
  TNetHTTPOptions HTTPOptions() const { return FOptions; }
  void SetHTTPOptions(TNetHTTPOptions v) { FOptions = v; }
  bool HasOption(TNetHTTPOption o) const { return (FOptions & o) != 0; }
  // Not owned.
  INetDecompressor* Compressor() const { return FCompressor; }
  void SetCompressor(INetDecompressor* c) { FCompressor = c; }

  // Cookies are kept in this manager (not owned). Without one, the first response makes
  // a manager the client owns, freed with the client or when another is assigned.
  TNetCookieManager* CookieManager() const { return FCookieManager; }
  void SetCookieManager(TNetCookieManager* manager);
  // Receives each completed authentication when its connection closes (not owned).
  TNetAuthenticationManager* AuthenticationManager() const { return FAuthenticationManager; }
  void SetAuthenticationManager(TNetAuthenticationManager* manager);

  TNetHeadersAvailableEvent OnHeadersAvailable;
  TNetRedirectEvent OnRedirect;
  TNetSelectAuthorizationHTTPEvent OnSelectAuthorization;
  TNetSelectAuthorizationHTTPEvent OnSelectProxyAuthorization;
  TNetAuthorizationHTTPEvent OnAuthorization;
  TNetAuthorizationHTTPEvent OnProxyAuthorization;

  // Where credentials may go. Proxy credentials only on a request the proxy itself reads
  // (one sent to it in absolute form, or the CONNECT that opens a tunnel), never on the
  // requests inside a tunnel nor on a direct request. Server credentials (Authorization,
  // whether from an authentication object or the custom headers) only to the origin
  // (scheme, host, port) the current call was made for, not to one a redirect leads to.
  bool ProxyReadsRequest(const TNetHTTPRequest& request) const;
  bool MaySendCredentials(const TNetURI& target) const;
  // "scheme://host:port" in lower case, with the scheme's default port filled in.
  static std::string OriginOf(const TNetURI& target);

  // The current target merged with a requested URL (scheme, host, port, path, query,
  // credentials) and the request fields that follow from it. Raises ENetUnknownProtocol for
  // a scheme other than http and https, ENetURIException for no host or a port outside
  // 1-65535.
  void ResolveRequestTarget(const std::string& url);

protected:
  // Overridable factory of the protocol object; a derived one runs it over Exchange().
  virtual std::unique_ptr<TNetHTTPProtocol> CreateProtocol();
  // What the protocol objects see of this client (http_client_exchange.cpp).
  TNetHTTPExchange& Exchange();
  // The handler Connect makes when none is attached: a socket handler that can receive a
  // body straight into its destination.
  std::unique_ptr<net::TNetIOHandler> MakeClientIOHandler() override;

  // Cookies and authentication (http_client_auth.cpp). Stores the response's cookies,
  // judged against the current target: the one that sent them.
  virtual void ProcessCookies(TNetHTTPResponse& response);
  // Adds a "Cookie" header for the target to the request's headers.
  virtual void AddCookieHeader(TNetHeaderList& headers, const TNetURI& target);
  // 401 / 407: true when the request is to be sent again with credentials.
  virtual bool DoOnAuthorization(TNetHTTPRequest& request, TNetHTTPResponse& response);
  virtual bool DoOnProxyAuthorization(TNetHTTPRequest& request, TNetHTTPResponse& response);
  // A completed authentication goes to the manager when its connection closes.
  void HandOverAuthentication();
  // Tells the server's and the proxy's authentication objects the request being written.
  void PrepareAuthentication(TNetHTTPRequest& request);
  // A 2xx answer's Authentication-Info: raises when it does not prove the server's identity.
  void CheckAuthenticationInfo(TNetHTTPResponse& response);

  void DoOnDisconnected() override;
  void Notification(core::TComponent* component, core::TOperation operation) override;

  // Endpoint, connection, request line and headers, request body.
  TNetHTTPConnectionType SelectEndpoint();
  void OpenRequestConnection();
  void EnsureConnection(TNetHTTPResponse& response);
  void ConnectTunnel();
  // The line rules of the connection: its handler's line limit, what an over-long line does
  // and the text encoding. Raises ENetNotConnected without a handler.
  TNetLineRules LineRules();
  // A reader of one response head under the connection's line rules and the client's limits.
  TNetResponseHeadReader MakeHeadReader();
  // Hands the received bytes to a fed reader (a head reader, the chunk framing), receiving
  // more, until it wants no more; what follows stays in the input buffer. Raises
  // ENetReadTimeout on a time-out and ENetConnClosedGracefully when the peer closes first.
  template <class TReader>
  void FeedReader(TReader& reader);

  // Body transfer (http_body.cpp).
  bool BodyExpected(TNetHTTPRequest& request, TNetHTTPResponse& response);
  void ReadResponseBody(TNetHTTPRequest& request, TNetHTTPResponse& response);
  // Discards the body of the current response (content stream set to none meanwhile).
  void DiscardResponseBody(TNetHTTPRequest& request, TNetHTTPResponse& response);

  // Work notifications describe the body the caller asked for: bodies read only to be
  // dropped (redirects, retries) or kept for an error message report none, so a progress
  // display starts afresh with each body it is meant to show.
  // Silences them until the guard it returns ends.
  [[nodiscard]] auto SilenceBodyWork() {
    const bool saved = FReportBodyWork;
    FReportBodyWork = false;
    return core::TScopeGuard([this, saved] { FReportBodyWork = saved; });
  }
  bool FReportBodyWork = true;

  class TExchange;
  std::unique_ptr<TExchange> FExchange;  // before FHTTPProto, which uses it
  std::unique_ptr<TNetHTTPProtocol> FHTTPProto;
  TNetURI FURI;
  TNetProxyConnectionInfo FProxyParameters;
  int FAuthRetries = 0;
  bool FServerAnswerPending = false;
  bool FDirectTLS = false;  // the direct connection (no proxy) is, or is to be, https  // the request's authentication answered a 401 not yet judged
  int FAuthProxyRetries = 0;
  int FMaxAuthRetries = 3;
  THTTPLimits FLimits;
  bool FAllowCookies = true;
  TNetHTTPProtocolVersion FProtocolVersion = pv1_1;
  int FRedirectCount = 0;
  int FRedirectMax = 15;
  bool FHandleRedirects = false;
  TNetHTTPOptions FOptions = hoForceEncodeParams;
  INetDecompressor* FCompressor = nullptr;
  TNetCookieManager* FCookieManager = nullptr;
  std::unique_ptr<TNetCookieManager> FImplicitCookieManager;  // set when FCookieManager is our own
  TNetAuthenticationManager* FAuthenticationManager = nullptr;

private:
  friend class TNetBodySource;

  // Opens or reuses the connection, sends the request and reads the response head; sends
  // once more on a new connection when a reused one turns out closed (MayResend).
  void SendAndReadHead();
  bool MayResend(int attempt) const;
  // "host:port" of the current target, as a CONNECT names it.
  std::string TunnelAuthority() const;
  void CopyBody(core::TStream* target, std::int64_t count);
  void CopyBodyBytes(net::TNetIOHandler& io, core::TStream* target, std::int64_t count);
  void ReadChunkedBody(TNetHTTPResponse& response, core::TStream* target);
  // The framing of a chunked body of response; its trailer lines go to the raw headers.
  TNetChunkFramer MakeChunkFramer(TNetHTTPResponse& response);
  void DropCredentialsForNewOrigin(const std::string& location);

  std::string FTunnelTarget;       // what the open connection is a proxy tunnel to; empty: none
  std::string FCredentialOrigin;   // the origin the current call's credentials belong to
  bool FReusedConnection = false;  // the request went out on a connection kept from before
  bool FJustConnected = false;     // EnsureConnection opened a new connection
  bool FHeadStarted = false;       // a status line of the response has been read
};

template <class TReader>
void TNetCustomHTTP::FeedReader(TReader& reader) {
  net::TNetIOHandler* io = IOHandler();
  if (io == nullptr) throw net::ENetNotConnected();
  net::TNetBuffer& input = io->InputBuffer();
  for (;;) {
    input.Remove(static_cast<int>(reader.Feed(input.Data(), static_cast<std::size_t>(input.Size()))));
    if (!reader.WantsBytes()) return;
    // Everything received is taken and more is wanted.
    io->CheckForDisconnect(true, true);
    if (io->FillInputBuffer(true, net::NetTimeoutDefault, false) == -1) throw net::ENetReadTimeout();
  }
}

// The published client.
class TNetHTTP : public TNetCustomHTTP {
  TARVO_PERSISTENT_CLASS(TNetHTTP)
};

}  // namespace tarvo::http
