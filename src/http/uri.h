// TNetURI: a URI split into its parts and put together again. The HTTP client keeps one
// as its current target and merges every requested URL into it; the cookie store and the
// authentication schemes read host, path and scheme from it. Parsing never fails: any text
// gives some split. Only rebuilding raises, when scheme or host is missing.
#pragma once

#include <string>
#include <string_view>

#include "http/char_encoding.h"
#include "http/net_types.h"

namespace tarvo::http {

enum TNetURIOptionalField : unsigned { ofAuthInfo = 1, ofBookmark = 2 };
using TNetURIOptionalFields = unsigned;

class TNetURI {
public:
  TNetURI() = default;
  explicit TNetURI(std::string_view uri);

  // Parses the text (after backslash normalisation) into the fields.
  void SetURI(std::string_view uri);
  // Scheme, host, port, path, document and query: no user information, no fragment.
  // Also stores the full form (with both) as the last set text.
  std::string URI();
  // Raises ENetURIException when scheme or host is empty.
  std::string GetFullURI(TNetURIOptionalFields fields = ofAuthInfo | ofBookmark) const;
  // Path + document, then "?" + query when there is one: the origin-form request target.
  std::string GetPathAndParams() const;

  const std::string& Protocol() const { return FProtocol; }
  void SetProtocol(std::string v) { FProtocol = std::move(v); }
  const std::string& Host() const { return FHost; }
  void SetHost(std::string v) { FHost = std::move(v); }
  const std::string& Port() const { return FPort; }
  void SetPort(std::string v) { FPort = std::move(v); }
  const std::string& Path() const { return FPath; }
  void SetPath(std::string v) { FPath = std::move(v); }
  const std::string& Document() const { return FDocument; }
  void SetDocument(std::string v) { FDocument = std::move(v); }
  const std::string& Params() const { return FParams; }
  void SetParams(std::string v) { FParams = std::move(v); }
  const std::string& Bookmark() const { return FBookmark; }
  void SetBookmark(std::string v) { FBookmark = std::move(v); }
  const std::string& Username() const { return FUserName; }
  void SetUsername(std::string v) { FUserName = std::move(v); }
  const std::string& Password() const { return FPassword; }
  void SetPassword(std::string v) { FPassword = std::move(v); }
  TNetIPVersion IPVersion() const { return FIPVersion; }
  void SetIPVersion(TNetIPVersion v) { FIPVersion = v; }
  // The text as last set (or as last stored by URI()).
  const std::string& RawURI() const { return FURI; }

  // Turns backslashes into slashes between the scheme and the first "?" or "#".
  static void NormalizePath(std::string& path);

  // Percent-encoding (see uri_encoding.h for the shared rules).
  static std::string URLDecode(std::string_view src, const INetTextEncoding* enc = nullptr);
  static std::string URLEncode(std::string_view src, const INetTextEncoding* enc = nullptr);
  static std::string PathEncode(std::string_view src, const INetTextEncoding* enc = nullptr);
  static std::string ParamsEncode(std::string_view src, const INetTextEncoding* enc = nullptr);

private:
  std::string FDocument;
  std::string FProtocol;
  std::string FURI;
  std::string FPort;
  std::string FPath;
  std::string FHost;
  std::string FBookmark;
  std::string FUserName;
  std::string FPassword;
  std::string FParams;
  TNetIPVersion FIPVersion = Net_IPv4;
};

// Merges a new path into a base path: a leading "/" replaces the base, ".." removes the
// segment before it, runs of "/" collapse. Single-dot segments are kept as they are.
std::string MergePaths(std::string_view base, std::string_view path);

// True when the scheme's default port is exactly this text (http 80, https 443, ftp 21).
bool IsDefaultPort(std::string_view protocol, std::string_view port);

}  // namespace tarvo::http
