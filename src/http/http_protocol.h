// One request and its response on the wire: TNetHTTPRequest (what goes out), TNetHTTPResponse
// (what came back), and TNetHTTPProtocol, which writes the request, reads the response head,
// and decides what the exchange does next. Both the protocol object and the response reach
// the connection only through a TNetHTTPExchange (http_exchange.h).
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "core/memory_stream.h"
#include "core/stream.h"
#include "http/header_info.h"
#include "http/http_exchange.h"
#include "http/http_types.h"
#include "http/uri.h"

namespace tarvo::http {

class TNetCustomHTTP;

class TNetHTTPRequest : public TNetRequestHeaderInfo {
public:
  explicit TNetHTTPRequest(TNetCustomHTTP* http) : FHTTP(http) {}
  TNetCustomHTTP* HTTP() const { return FHTTP; }
  TARVO_HTTP_PROPERTY(std::string, URL)
  TARVO_HTTP_PROPERTY(std::string, Method)
  core::TStream* Source() const { return FSourceStream; }
  void SetSource(core::TStream* source) { FSourceStream = source; }
  TNetHTTPConnectionType UseProxy() const { return FUseProxy; }
  void SetUseProxy(TNetHTTPConnectionType v) { FUseProxy = v; }
  TNetIPVersion IPVersion() const { return FIPVersion; }
  void SetIPVersion(TNetIPVersion v) { FIPVersion = v; }

private:
  TNetCustomHTTP* FHTTP;
  std::string FURL;
  std::string FMethod;
  core::TStream* FSourceStream = nullptr;
  TNetHTTPConnectionType FUseProxy = ctNormal;
  TNetIPVersion FIPVersion = Net_IPv4;
};

class TNetHTTPResponse : public TNetResponseHeaderInfo {
public:
  explicit TNetHTTPResponse(TNetHTTPExchange& exchange) : FExchange(exchange) {}
  void Clear() override;

  // Status code of the status line: the number after the first space, up to a "." or the
  // next space; -1 when there is none.
  int ResponseCode();
  void SetResponseCode(int code) { FResponseCode = code; }
  const std::string& ResponseText() const { return FResponseText; }
  // Also resets the code to "not parsed" and reads the version.
  void SetResponseText(std::string text);
  TNetHTTPProtocolVersion ResponseVersion() const { return FResponseVersion; }
  // Recomputed on every call: a connection the peer has closed is not kept alive.
  bool KeepAlive();
  // A response stopped by OnHeadersAvailable is not kept alive for the rest of its request.
  void SetKeepAliveStopped(bool stopped = true) { FStopped = stopped; }
  core::TStream* ContentStream() const { return FContentStream; }
  void SetContentStream(core::TStream* s) { FContentStream = s; }
  TNetMetaHTTPEquiv& MetaHTTPEquiv() { return FMetaHTTPEquiv; }
  // Reads META http-equiv and charset declarations from the head of an HTML text and
  // merges them into the headers.
  void ProcessMetaHTTPEquiv(std::string_view html);

private:
  TNetHTTPExchange& FExchange;
  int FResponseCode = -1;
  std::string FResponseText;
  TNetHTTPProtocolVersion FResponseVersion = pv1_0;
  bool FStopped = false;
  core::TStream* FContentStream = nullptr;
  TNetMetaHTTPEquiv FMetaHTTPEquiv;
};

class TNetHTTPProtocol {
public:
  // The request names http as its client (null: none).
  TNetHTTPProtocol(TNetHTTPExchange& exchange, TNetCustomHTTP* http);
  virtual ~TNetHTTPProtocol() = default;

  TNetHTTPRequest& Request() { return *FRequest; }
  TNetHTTPResponse& Response() { return *FResponse; }

  // Writes the request line and headers. uri is the current target; null for a proxy
  // CONNECT, which carries no cookies. Raises ENetHTTPInvalidRequestText before sending
  // anything when the URL or a header holds CR, LF or NUL.
  virtual void BuildAndSendRequest(TNetURI* uri);
  // The request line and header lines that BuildAndSendRequest writes (no terminators).
  std::vector<std::string> ComposeRequest(TNetURI* uri);
  // The status line and header lines of the response, skipping the informational
  // responses before the final one (all but 101, which ends the exchange).
  void ReadResponseHead();
  // After the status line the reader took: the header lines into the response, which then
  // parses them.
  void ReadHeaderLines(TNetResponseHeadReader& reader);
  // Parses the header lines the response's raw headers received: the fields, and the body
  // length the head announces (ENetHTTPBadResponse when Content-Length is unusable).
  void ParseHead();
  virtual TNetHTTPWhatsNext ProcessResponse(const std::vector<int>& ignoreReplies);

private:
  TNetHTTPWhatsNext HandleRedirect(int code, const std::vector<int>& ignoreReplies);
  // Reads the error body and raises ENetHTTPProtocolException, unless the code is ignored.
  void RaiseProtocolError(int code, const std::vector<int>& ignoreReplies);

  TNetHTTPExchange& FExchange;
  std::unique_ptr<TNetHTTPRequest> FRequest;
  std::unique_ptr<TNetHTTPResponse> FResponse;
};

// The status code of a status line (see TNetHTTPResponse::ResponseCode).
int ParseStatusCode(std::string_view statusLine);

}  // namespace tarvo::http
