// What a protocol object (http_protocol.h) asks of the connection its exchange runs on. The
// client implements it; the protocol object sees nothing else of the client, so it can run
// over a scripted exchange as well. Three groups: the wire (writing the request head,
// feeding the response head to a reader, reading or dropping a body), the request's
// additions the client knows (credentials, proxy and cookie headers), and the decisions
// that are the client's settings and events (redirects, authentication, options).
#pragma once

#include <string>
#include <vector>

#include "http/http_limits.h"
#include "http/http_types.h"
#include "http/response_head_reader.h"

namespace tarvo::http {

class TNetAuthentication;
class TNetHTTPRequest;
class TNetHTTPResponse;
class TNetHeaderList;
class TNetURI;

class TNetHTTPExchange {
public:
  virtual ~TNetHTTPExchange() = default;

  // --- the request -----------------------------------------------------------------------
  virtual TNetHTTPProtocolVersion ProtocolVersion() const = 0;
  // Before the request's own header fields are written: the authentication objects learn
  // the request.
  virtual void PrepareAuthentication(TNetHTTPRequest& request) = 0;
  // After them: the proxy's fields when the proxy reads the request, no server credentials
  // for another origin, the cookies for uri (null for a proxy CONNECT: none).
  virtual void AddConnectionHeaders(TNetHTTPRequest& request, TNetURI* uri) = 0;
  // Writes the request line and header lines (no terminators) and the empty line after them.
  virtual void WriteRequestHead(const std::vector<std::string>& lines) = 0;

  // --- the response head -----------------------------------------------------------------
  virtual const THTTPLimits& Limits() const = 0;
  // A reader of one response head under the connection's line rules.
  virtual TNetResponseHeadReader MakeHeadReader() = 0;
  // Feeds the reader up to the end of the status line: from here on a response has begun.
  virtual void FeedStatusLine(TNetResponseHeadReader& reader) = 0;
  // Feeds the reader the header lines. A peer that closes during them ends the head and
  // the connection.
  virtual void FeedHeaderLines(TNetResponseHeadReader& reader) = 0;
  // A head of the exchange (not a proxy's CONNECT answer) was read: its cookies are stored.
  virtual void HeadRead(TNetHTTPResponse& response) = 0;
  // OnHeadersAvailable: false stops the exchange.
  virtual bool HeadersAvailable(TNetHeaderList& headers) = 0;

  // --- the body --------------------------------------------------------------------------
  virtual void ReadBody(TNetHTTPRequest& request, TNetHTTPResponse& response) = 0;
  // The same, reporting no work: the body is an error page, not what the caller asked for.
  virtual void ReadErrorBody(TNetHTTPRequest& request, TNetHTTPResponse& response) = 0;
  virtual void DiscardBody(TNetHTTPRequest& request, TNetHTTPResponse& response) = 0;

  // --- the connection --------------------------------------------------------------------
  virtual bool Connected() = 0;
  // Connected, after a look whether the peer has closed meanwhile.
  virtual bool StillConnected() = 0;
  // Whether a scheme in use authenticates the connection itself (NTLM) and so keeps it.
  virtual bool AuthenticationKeepsConnection() = 0;

  // --- the decisions ---------------------------------------------------------------------
  virtual bool HasOption(TNetHTTPOption option) const = 0;
  // One more redirect, to location: counts it and runs OnRedirect, which may change the
  // location and the method. False when it is not to be handled at all.
  virtual bool AnnounceRedirect(std::string& location, std::string& method) = 0;
  // Whether the redirect to location is followed now (redirects handled, the maximum not
  // reached); when it is, credentials do not go along to another origin.
  virtual bool FollowRedirect(const std::string& location) = 0;
  // A 2xx answer's Authentication-Info: raises when it does not prove the server's identity.
  virtual void CheckAuthenticationInfo(TNetHTTPResponse& response) = 0;
  // 401 (proxy false) or 407 (proxy true): true when the request goes again with
  // credentials, within the retries allowed.
  virtual bool Authorize(bool proxy, TNetHTTPRequest& request, TNetHTTPResponse& response) = 0;
  virtual TNetAuthentication* ProxyAuthentication() = 0;
};

}  // namespace tarvo::http
