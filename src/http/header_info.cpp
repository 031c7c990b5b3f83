#include "http/header_info.h"

#include "http/auth_secret.h"

#include <charconv>
#include <limits>

#include "http/char_encoding.h"

namespace tarvo::http {

namespace {

// Raw header lists of the header infos fold only lines over this length.
constexpr int kRawHeaderFoldLength = 1024;

bool ParseSigned(std::string_view text, std::int64_t& value) {
  text = Trim(text);
  bool negative = !text.empty() && text.front() == '-';
  if (negative) text.remove_prefix(1);
  if (!ParseInt64(text, value)) return false;
  if (negative) value = -value;
  return true;
}

TNetDateTime ParseDateOr(std::string_view text, TNetDateTime fallback) {
  TNetDateTime v;
  return InternetStrToDateTime(text, v) ? v : fallback;
}

// The charset a text type has when it names none: us-ascii for XML, ISO-8859-1 for other
// text, none for the rest.
std::string DefaultCharSet(std::string_view contentType) {
  std::string media = LowerCase(Trim(contentType.substr(0, contentType.find(';'))));
  if (media.rfind("text/", 0) != 0) return {};
  std::string sub = media.substr(5);
  bool xml = sub == "xml" || sub == "xml-external-parsed-entity" ||
             (sub.size() >= 4 && sub.compare(sub.size() - 4, 4, "+xml") == 0);
  return xml ? "us-ascii" : "ISO-8859-1";
}

std::int64_t NumberOr(std::string_view text, std::int64_t fallback) {
  std::int64_t v;
  return ParseInt64(Trim(text), v) ? v : fallback;
}

struct TContentRange {
  std::string Units;
  std::int64_t Start = -1, End = -1, InstanceLength = -1;
};

// "units start-end/length"; a part that is missing or not a number is -1.
TContentRange ParseContentRange(std::string_view range) {
  TContentRange r;
  if (range.empty()) return r;
  std::size_t space = range.find(' ');
  r.Units = std::string(range.substr(0, space));
  std::string_view rest = space == std::string_view::npos ? std::string_view() : range.substr(space + 1);
  std::size_t slash = rest.find('/');
  std::string_view span = rest.substr(0, slash);
  std::size_t dash = span.find('-');
  if (dash != std::string_view::npos) {
    r.Start = NumberOr(span.substr(0, dash), -1);
    r.End = NumberOr(span.substr(dash + 1), -1);
  }
  if (slash != std::string_view::npos) r.InstanceLength = NumberOr(rest.substr(slash + 1), -1);
  return r;
}

// Expires as seconds from now (negative: already expired) or as a date; a date that does
// not parse means already expired.
TNetDateTime ParseExpires(std::string_view expires) {
  if (expires.empty()) return 0;
  std::int64_t seconds;
  if (!ParseSigned(expires, seconds)) return ParseDateOr(expires, NetNow() - 1);
  return seconds < 0 ? 0 : NetNow() + std::min<std::int64_t>(seconds, std::numeric_limits<std::int32_t>::max());
}

}  // namespace

bool ParseInt64(std::string_view text, std::int64_t& value) {
  if (text.empty()) return false;
  for (char c : text)
    if (c < '0' || c > '9') return false;
  auto r = std::from_chars(text.data(), text.data() + text.size(), value);
  return r.ec == std::errc() && r.ptr == text.data() + text.size();
}

TNetEntityHeaderInfo::TNetEntityHeaderInfo() {
  FRawHeaders.SetFoldLength(kRawHeaderFoldLength);
}

void TNetEntityHeaderInfo::Clear() {
  FCacheControl.clear(), FCharSet.clear(), FConnection.clear(), FContentDisposition.clear();
  FContentEncoding.clear(), FContentLanguage.clear(), FContentRangeUnits.clear(), FContentType.clear();
  FContentVersion.clear(), FETag.clear(), FPragma.clear(), FTransferEncoding.clear();
  FContentLength = FContentRangeStart = FContentRangeEnd = FContentRangeInstanceLength = -1;
  FDate = FExpires = FLastModified = 0;
  FCustomHeaders.Clear();
  FRawHeaders.Clear();
}

void TNetEntityHeaderInfo::ParseHeaderFields() {
  const TNetHeaderList& h = FRawHeaders;
  FCacheControl = h.Values("Cache-control");
  FConnection = h.Values("Connection");
  FContentVersion = h.Values("Content-Version");
  FContentDisposition = h.Values("Content-Disposition");
  FContentEncoding = h.Values("Content-Encoding");
  FContentLanguage = h.Values("Content-Language");

  std::string type = h.Values("Content-Type");
  FCharSet.clear();
  FContentType = type.empty() ? std::string() : RemoveHeaderSubItem(type, "charset", FCharSet);
  if (!type.empty() && FCharSet.empty()) FCharSet = DefaultCharSet(FContentType);

  FContentLength = NumberOr(h.Values("Content-Length"), -1);
  TContentRange range = ParseContentRange(h.Values("Content-Range"));
  FContentRangeUnits = std::move(range.Units);
  FContentRangeStart = range.Start;
  FContentRangeEnd = range.End;
  FContentRangeInstanceLength = range.InstanceLength;

  std::string date = h.Values("Date");
  FDate = date.empty() ? NetNow() : ParseDateOr(date, NetNow());
  std::string lastModified = h.Values("Last-Modified");
  FLastModified = lastModified.empty() ? 0 : ParseDateOr(lastModified, 0);
  FExpires = ParseExpires(h.Values("Expires"));

  FETag = h.Values("ETag");
  FPragma = h.Values("Pragma");
  FTransferEncoding = h.Values("Transfer-Encoding");
}

void TNetEntityHeaderInfo::SetEntityHeaders() {
  TNetHeaderList& h = FRawHeaders;
  h.Clear();
  h.SetValue("Connection", FConnection);
  h.SetValue("Content-Version", FContentVersion);
  h.SetValue("Content-Disposition", FContentDisposition);
  h.SetValue("Content-Encoding", FContentEncoding);
  h.SetValue("Content-Language", FContentLanguage);
  if (!FContentType.empty()) {
    h.SetValue("Content-Type", FContentType);
    h.SetParams("Content-Type", "charset", FCharSet);
  }
  if (FContentLength >= 0) h.SetValue("Content-Length", std::to_string(FContentLength));
  h.SetValue("Cache-control", FCacheControl);
  if (FDate > 0) h.SetValue("Date", DateTimeToInternetStr(FDate));
  h.SetValue("ETag", FETag);
  if (FExpires > 0) h.SetValue("Expires", DateTimeToInternetStr(FExpires));
  h.SetValue("Pragma", FPragma);
  h.SetValue("Transfer-Encoding", FTransferEncoding);
  for (const std::string& line : FCustomHeaders.Lines()) h.Add(line);
}

TNetRequestHeaderInfo::TNetRequestHeaderInfo() { TNetRequestHeaderInfo::Clear(); }

TNetRequestHeaderInfo::~TNetRequestHeaderInfo() { WipeString(FPassword); }

void TNetRequestHeaderInfo::SetPassword(std::string value) {
  WipeString(FPassword);
  FPassword = std::move(value);
}

void TNetRequestHeaderInfo::Clear() {
  TNetEntityHeaderInfo::Clear();
  FAccept = kDefaultAccept;
  FUserAgent = kDefaultUserAgent;
  FAcceptCharSet.clear(), FAcceptEncoding.clear(), FAcceptLanguage.clear(), FExpect.clear();
  WipeString(FPassword);
  FFrom.clear(), FReferer.clear(), FUsername.clear(), FHost.clear();
  FProxyConnection.clear(), FMethodOverride.clear();
  FRanges.Clear();
  FBasicByDefault = false;
  FAuthentication.reset();
}

const std::vector<TNetRequestHeaderInfo::TTextField>& TNetRequestHeaderInfo::TextFields() {
  static const std::vector<TTextField> fields = {
      {"Proxy-Connection", &TNetRequestHeaderInfo::FProxyConnection},
      {"Host", &TNetRequestHeaderInfo::FHost},
      {"Accept", &TNetRequestHeaderInfo::FAccept},
      {"Accept-Charset", &TNetRequestHeaderInfo::FAcceptCharSet},
      {"Accept-Encoding", &TNetRequestHeaderInfo::FAcceptEncoding},
      {"Accept-Language", &TNetRequestHeaderInfo::FAcceptLanguage},
      {"From", &TNetRequestHeaderInfo::FFrom},
      {"Referer", &TNetRequestHeaderInfo::FReferer},
      {"User-Agent", &TNetRequestHeaderInfo::FUserAgent},
  };
  return fields;
}

void TNetRequestHeaderInfo::ParseHeaderFields() {
  TNetEntityHeaderInfo::ParseHeaderFields();
  const TNetHeaderList& h = FRawHeaders;
  for (const auto& [name, field] : TextFields()) this->*field = h.Values(name);
  FMethodOverride = h.Values("X-HTTP-Method-Override");
  FExpect = h.Values("Expect");
}

void TNetRequestHeaderInfo::SetHeaders() {
  SetEntityHeaders();
  TNetHeaderList& h = FRawHeaders;
  for (const auto& [name, field] : TextFields()) h.SetValue(name, this->*field);
  h.SetValue("Range", FRanges.Text());
  if (FLastModified > 0) h.SetValue("If-Modified-Since", DateTimeToInternetStr(FLastModified));
  if (!FAuthentication && FBasicByDefault) {
    auto basic = std::make_unique<TNetBasicAuthentication>();
    basic->SetUsername(FUsername);
    basic->SetPassword(FPassword);
    FAuthentication = std::move(basic);
  }
  if (FAuthentication) h.SetValue("Authorization", FAuthentication->Authentication());
  h.SetValue("X-HTTP-Method-Override", FMethodOverride);
}

void TNetResponseHeaderInfo::Clear() {
  TNetEntityHeaderInfo::Clear();
  FAcceptRanges.clear(), FLocation.clear(), FServer.clear(), FProxyConnection.clear();
  FWWWAuthenticate.Clear();
  FProxyAuthenticate.Clear();
}

void TNetResponseHeaderInfo::ParseHeaderFields() {
  TNetEntityHeaderInfo::ParseHeaderFields();
  const TNetHeaderList& h = FRawHeaders;
  FLocation = h.Values("Location");
  FServer = h.Values("Server");
  FProxyConnection = h.Values("Proxy-Connection");
  std::vector<std::string> values;
  FWWWAuthenticate.Clear();
  h.Extract("WWW-Authenticate", values);
  for (std::string& v : values) FWWWAuthenticate.Add(std::move(v));
  values.clear();
  FProxyAuthenticate.Clear();
  h.Extract("Proxy-Authenticate", values);
  for (std::string& v : values) FProxyAuthenticate.Add(std::move(v));
  FAcceptRanges = h.Values("Accept-Ranges");
}

TNetProxyConnectionInfo::~TNetProxyConnectionInfo() { WipeString(FPassword); }

void TNetProxyConnectionInfo::Clear() {
  FServer.clear();
  FUsername.clear();
  WipeString(FPassword);
  FPort = 0;
}

void TNetProxyConnectionInfo::SetProxyPassword(std::string v) {
  WipeString(FPassword);
  FPassword = std::move(v);
}

void TNetProxyConnectionInfo::SetProxyServer(std::string server) {
  if (!SameText(server, FServer)) FAuthentication.reset();
  FServer = std::move(server);
}

void TNetProxyConnectionInfo::SetProxyPort(int port) {
  if (port != FPort) FAuthentication.reset();
  FPort = port;
}

void TNetProxyConnectionInfo::SetHeaders(TNetHeaderList& headers) {
  if (!FAuthentication && FBasicByDefault) {
    auto basic = std::make_unique<TNetBasicAuthentication>();
    basic->SetUsername(FUsername);
    basic->SetPassword(FPassword);
    FAuthentication = std::move(basic);
  }
  if (FAuthentication) headers.SetValue("Proxy-Authorization", FAuthentication->Authentication());
}

}  // namespace tarvo::http
