// The client's side of its exchanges: TNetHTTPExchange over the client's connection,
// settings and events, for the protocol objects the client makes.
#pragma once

#include "http/http_client.h"
#include "http/http_exchange.h"

namespace tarvo::http {

class TNetCustomHTTP::TExchange final : public TNetHTTPExchange {
public:
  explicit TExchange(TNetCustomHTTP& http) : FHTTP(http) {}

  TNetHTTPProtocolVersion ProtocolVersion() const override { return FHTTP.FProtocolVersion; }
  void PrepareAuthentication(TNetHTTPRequest& request) override { FHTTP.PrepareAuthentication(request); }
  void AddConnectionHeaders(TNetHTTPRequest& request, TNetURI* uri) override;
  void WriteRequestHead(const std::vector<std::string>& lines) override;

  const THTTPLimits& Limits() const override { return FHTTP.FLimits; }
  TNetResponseHeadReader MakeHeadReader() override { return FHTTP.MakeHeadReader(); }
  void FeedStatusLine(TNetResponseHeadReader& reader) override;
  void FeedHeaderLines(TNetResponseHeadReader& reader) override;
  void HeadRead(TNetHTTPResponse& response) override;
  bool HeadersAvailable(TNetHeaderList& headers) override;

  void ReadBody(TNetHTTPRequest& request, TNetHTTPResponse& response) override;
  void ReadErrorBody(TNetHTTPRequest& request, TNetHTTPResponse& response) override;
  void DiscardBody(TNetHTTPRequest& request, TNetHTTPResponse& response) override;

  bool Connected() override { return FHTTP.Connected(); }
  bool StillConnected() override;
  bool AuthenticationKeepsConnection() override;

  bool HasOption(TNetHTTPOption option) const override { return FHTTP.HasOption(option); }
  bool AnnounceRedirect(std::string& location, std::string& method) override;
  bool FollowRedirect(const std::string& location) override;
  void CheckAuthenticationInfo(TNetHTTPResponse& response) override { FHTTP.CheckAuthenticationInfo(response); }
  bool Authorize(bool proxy, TNetHTTPRequest& request, TNetHTTPResponse& response) override;
  TNetAuthentication* ProxyAuthentication() override { return FHTTP.FProxyParameters.Authentication(); }

private:
  TNetCustomHTTP& FHTTP;
};

}  // namespace tarvo::http
