// Typed views of HTTP headers. TNetEntityHeaderInfo holds the headers shared by requests
// and responses; TNetRequestHeaderInfo and TNetResponseHeaderInfo add their own. Each keeps
// the raw lines (RawHeaders) next to the typed fields: ParseHeaderFields reads the fields
// from the raw lines, SetHeaders (requests) writes the raw lines from the fields.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "http/authentication.h"
#include "http/entity_ranges.h"
#include "http/header_list.h"
#include "http/internet_date.h"

#define TARVO_HTTP_PROPERTY(Type, Name)            \
  const Type& Name() const { return F##Name; }     \
  void Set##Name(Type value) { F##Name = std::move(value); }

namespace tarvo::http {

class TNetEntityHeaderInfo {
public:
  TNetEntityHeaderInfo();
  virtual ~TNetEntityHeaderInfo() = default;

  virtual void Clear();
  virtual void ParseHeaderFields();

  TARVO_HTTP_PROPERTY(std::string, CacheControl)
  TARVO_HTTP_PROPERTY(std::string, CharSet)
  TARVO_HTTP_PROPERTY(std::string, Connection)
  TARVO_HTTP_PROPERTY(std::string, ContentDisposition)
  TARVO_HTTP_PROPERTY(std::string, ContentEncoding)
  TARVO_HTTP_PROPERTY(std::string, ContentLanguage)
  TARVO_HTTP_PROPERTY(std::int64_t, ContentLength)
  TARVO_HTTP_PROPERTY(std::int64_t, ContentRangeStart)
  TARVO_HTTP_PROPERTY(std::int64_t, ContentRangeEnd)
  TARVO_HTTP_PROPERTY(std::int64_t, ContentRangeInstanceLength)
  TARVO_HTTP_PROPERTY(std::string, ContentRangeUnits)
  TARVO_HTTP_PROPERTY(std::string, ContentType)
  TARVO_HTTP_PROPERTY(std::string, ContentVersion)
  TARVO_HTTP_PROPERTY(TNetDateTime, Date)
  TARVO_HTTP_PROPERTY(TNetDateTime, Expires)
  TARVO_HTTP_PROPERTY(TNetDateTime, LastModified)
  TARVO_HTTP_PROPERTY(std::string, ETag)
  TARVO_HTTP_PROPERTY(std::string, Pragma)
  TARVO_HTTP_PROPERTY(std::string, TransferEncoding)

  bool HasContentLength() const { return FContentLength >= 0; }
  bool HasContentRange() const { return FContentRangeEnd >= 0; }
  bool HasContentRangeInstance() const { return FContentRangeInstanceLength >= 0; }
  TNetHeaderList& CustomHeaders() { return FCustomHeaders; }
  TNetHeaderList& RawHeaders() { return FRawHeaders; }
  const TNetHeaderList& RawHeaders() const { return FRawHeaders; }

protected:
  // Writes the entity rows (Connection .. custom headers) into the raw list.
  void SetEntityHeaders();

  std::string FCacheControl, FCharSet, FConnection, FContentDisposition, FContentEncoding;
  std::string FContentLanguage, FContentRangeUnits, FContentType, FContentVersion;
  std::string FETag, FPragma, FTransferEncoding;
  std::int64_t FContentLength = -1;
  std::int64_t FContentRangeStart = -1, FContentRangeEnd = -1, FContentRangeInstanceLength = -1;
  TNetDateTime FDate = 0, FExpires = 0, FLastModified = 0;
  TNetHeaderList FCustomHeaders;
  TNetHeaderList FRawHeaders;
};

class TNetRequestHeaderInfo : public TNetEntityHeaderInfo {
public:
  TNetRequestHeaderInfo();
  ~TNetRequestHeaderInfo() override;
  void Clear() override;
  void ParseHeaderFields() override;
  // Fills the raw list from the fields, in the wire order of a request.
  void SetHeaders();

  TARVO_HTTP_PROPERTY(std::string, Accept)
  TARVO_HTTP_PROPERTY(std::string, AcceptCharSet)
  TARVO_HTTP_PROPERTY(std::string, AcceptEncoding)
  TARVO_HTTP_PROPERTY(std::string, AcceptLanguage)
  TARVO_HTTP_PROPERTY(std::string, Expect)
  TARVO_HTTP_PROPERTY(std::string, From)
  // The password's old text is wiped when it is replaced, cleared or the request goes.
  const std::string& Password() const { return FPassword; }
  void SetPassword(std::string value);
  TARVO_HTTP_PROPERTY(std::string, Referer)
  TARVO_HTTP_PROPERTY(std::string, UserAgent)
  TARVO_HTTP_PROPERTY(std::string, Username)
  TARVO_HTTP_PROPERTY(std::string, Host)
  TARVO_HTTP_PROPERTY(std::string, ProxyConnection)
  TARVO_HTTP_PROPERTY(std::string, MethodOverride)

  bool BasicAuthentication() const { return FBasicByDefault; }
  void SetBasicAuthentication(bool v) { FBasicByDefault = v; }
  TNetEntityRanges& Ranges() { return FRanges; }
  // The active authentication object, owned by the request; may be null.
  TNetAuthentication* Authentication() const { return FAuthentication.get(); }
  void SetAuthentication(std::unique_ptr<TNetAuthentication> auth) { FAuthentication = std::move(auth); }
  // The owning slot itself, for the authorization step that creates the object.
  std::unique_ptr<TNetAuthentication>& AuthenticationSlot() { return FAuthentication; }

protected:
  // Name and member of each field kept as plain text, in the order they are written.
  using TTextField = std::pair<const char*, std::string TNetRequestHeaderInfo::*>;
  static const std::vector<TTextField>& TextFields();
  std::string FAccept, FAcceptCharSet, FAcceptEncoding, FAcceptLanguage, FExpect, FFrom;
  std::string FPassword, FReferer, FUserAgent, FUsername, FHost, FProxyConnection, FMethodOverride;
  TNetEntityRanges FRanges;
  bool FBasicByDefault = false;
  std::unique_ptr<TNetAuthentication> FAuthentication;
};

class TNetResponseHeaderInfo : public TNetEntityHeaderInfo {
public:
  void Clear() override;
  void ParseHeaderFields() override;

  TARVO_HTTP_PROPERTY(std::string, AcceptRanges)
  TARVO_HTTP_PROPERTY(std::string, Location)
  TARVO_HTTP_PROPERTY(std::string, Server)
  TARVO_HTTP_PROPERTY(std::string, ProxyConnection)
  TNetHeaderList& WWWAuthenticate() { return FWWWAuthenticate; }
  TNetHeaderList& ProxyAuthenticate() { return FProxyAuthenticate; }

protected:
  std::string FAcceptRanges, FLocation, FServer, FProxyConnection;
  TNetHeaderList FWWWAuthenticate, FProxyAuthenticate;
};

// Headers declared by the META elements of an HTML body.
class TNetMetaHTTPEquiv : public TNetEntityHeaderInfo {};

// Where an HTTP proxy is and how to authenticate to it. An empty server means no proxy.
class TNetProxyConnectionInfo {
public:
  TNetProxyConnectionInfo() = default;
  TNetProxyConnectionInfo(const TNetProxyConnectionInfo&) = delete;
  TNetProxyConnectionInfo& operator=(const TNetProxyConnectionInfo&) = delete;
  ~TNetProxyConnectionInfo();
  void Clear();
  const std::string& ProxyServer() const { return FServer; }
  // Another server (compared without regard to case) drops the authentication object.
  void SetProxyServer(std::string server);
  int ProxyPort() const { return FPort; }
  void SetProxyPort(int port);
  const std::string& ProxyUsername() const { return FUsername; }
  void SetProxyUsername(std::string v) { FUsername = std::move(v); }
  const std::string& ProxyPassword() const { return FPassword; }
  // The old text is wiped, as it is on Clear and when the settings go.
  void SetProxyPassword(std::string v);
  bool BasicAuthentication() const { return FBasicByDefault; }
  void SetBasicAuthentication(bool v) { FBasicByDefault = v; }
  TNetAuthentication* Authentication() const { return FAuthentication.get(); }
  void SetAuthentication(std::unique_ptr<TNetAuthentication> auth) { FAuthentication = std::move(auth); }
  std::unique_ptr<TNetAuthentication>& AuthenticationSlot() { return FAuthentication; }
  // Writes "Proxy-Authorization" into the headers when there is something to send.
  void SetHeaders(TNetHeaderList& headers);

private:
  std::unique_ptr<TNetAuthentication> FAuthentication;
  std::string FPassword;
  int FPort = 0;
  std::string FServer;
  std::string FUsername;
  bool FBasicByDefault = false;
};

// The default Accept and User-Agent of a new request.
inline constexpr const char* kDefaultAccept = "text/html,application/xhtml+xml,application/xml;q=0.9,*/*;q=0.8";
inline constexpr const char* kDefaultUserAgent = "Mozilla/3.0 (compatible; T.Arvo Setup)";

// Parses a whole decimal 64-bit number (no sign, no blanks); false otherwise.
bool ParseInt64(std::string_view text, std::int64_t& value);

}  // namespace tarvo::http
