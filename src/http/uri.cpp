#include "http/uri.h"

#include "core/resource_string.h"
#include "http/http_exception.h"
#include "http/http_strings.h"

namespace tarvo::http {

namespace {

constexpr std::size_t npos = std::string::npos;

// Splits "?query#fragment" (or a lone "#fragment") off the rest.
void SplitQueryAndFragment(std::string& rest, std::string& params, std::string& bookmark) {
  std::size_t q = rest.find('?');
  if (q != npos) {
    params = rest.substr(q + 1);
    rest.erase(q);
    std::size_t h = params.find('#');
    if (h != npos) {
      bookmark = params.substr(h + 1);
      params.erase(h);
    }
    return;
  }
  std::size_t h = rest.find('#');
  if (h != npos) {
    bookmark = rest.substr(h + 1);
    rest.erase(h);
  }
}

}  // namespace

TNetURI::TNetURI(std::string_view uri) {
  if (!uri.empty()) SetURI(uri);
}

void TNetURI::NormalizePath(std::string& path) {
  std::size_t start = 0;
  std::size_t colon = path.find(':');
  if (colon != npos) {
    start = colon + 1;
    auto slash = [&](std::size_t i) { return i < path.size() && (path[i] == '\\' || path[i] == '/'); };
    if (slash(colon + 1) && slash(colon + 2)) start = colon + 3;
  }
  for (std::size_t i = start; i < path.size(); ++i) {
    if (path[i] == '#' || path[i] == '?') break;
    if (path[i] == '\\') path[i] = '/';
  }
}

namespace {

// "user:password"; the user ends at the first colon. A password without a user is dropped.
void SplitUserInfo(std::string_view userInfo, std::string& user, std::string& password) {
  std::size_t colon = userInfo.find(':');
  user = std::string(userInfo.substr(0, colon));
  password = colon == std::string_view::npos || user.empty() ? std::string() : std::string(userInfo.substr(colon + 1));
}

// "host:port" or "[IPv6]:port"; the IP version follows from the brackets.
TNetIPVersion SplitHostAndPort(std::string_view authority, std::string& host, std::string& port) {
  std::size_t open = authority.find('[');
  std::size_t close = authority.find(']');
  bool bracketed = open != std::string_view::npos && close != std::string_view::npos && open < close;
  std::size_t colon = bracketed ? authority.find(':', close) : authority.find(':');
  host = std::string(bracketed ? authority.substr(open + 1, close - open - 1) : authority.substr(0, colon));
  if (colon != std::string_view::npos) port = std::string(authority.substr(colon + 1));
  return bracketed ? Net_IPv6 : Net_IPv4;
}

}  // namespace

void TNetURI::SetURI(std::string_view uri) {
  FURI = std::string(uri);
  NormalizePath(FURI);
  std::string rest = FURI;
  FDocument.clear(), FProtocol.clear(), FPort.clear(), FPath.clear(), FHost.clear();
  FBookmark.clear(), FUserName.clear(), FPassword.clear(), FParams.clear();
  FIPVersion = Net_IPv4;

  std::size_t schemeEnd = rest.find("://");
  if (schemeEnd != npos) {
    FProtocol = rest.substr(0, schemeEnd);
    rest.erase(0, schemeEnd + 3);
    SplitQueryAndFragment(rest, FParams, FBookmark);

    std::string authority;
    std::size_t slash = rest.find('/');
    if (slash == npos) {
      authority.swap(rest);
    } else {
      authority = rest.substr(0, slash);
      rest.erase(0, slash + 1);
    }

    std::size_t at = authority.rfind('@');
    if (at != npos) {
      SplitUserInfo(std::string_view(authority).substr(0, at), FUserName, FPassword);
      authority.erase(0, at + 1);
    }
    FIPVersion = SplitHostAndPort(authority, FHost, FPort);

    std::size_t last = rest.rfind('/');
    if (last == npos) {
      FPath = "/";
    } else {
      FPath = "/" + rest.substr(0, last + 1);
      rest.erase(0, last + 1);
    }
  } else {
    SplitQueryAndFragment(rest, FParams, FBookmark);
    std::size_t last = rest.rfind('/');
    if (last != npos) {
      FPath = rest.substr(0, last + 1);
      rest.erase(0, last + 1);
    }
  }
  FDocument = rest;
}

bool IsDefaultPort(std::string_view protocol, std::string_view port) {
  if (SameText(protocol, "http")) return port == "80";
  if (SameText(protocol, "https")) return port == "443";
  if (SameText(protocol, "ftp")) return port == "21";
  return false;
}

std::string TNetURI::GetPathAndParams() const {
  std::string out = FPath + FDocument;
  if (!FParams.empty()) out += "?" + FParams;
  return out;
}

std::string TNetURI::GetFullURI(TNetURIOptionalFields fields) const {
  if (FProtocol.empty()) throw ENetURIException(core::LoadResString(SURIProtocolEmpty));
  if (FHost.empty()) throw ENetURIException(core::LoadResString(SURIHostEmpty));
  std::string out = FProtocol + "://";
  if ((fields & ofAuthInfo) && !FUserName.empty()) {
    out += FUserName;
    if (!FPassword.empty()) out += ":" + FPassword;
    out += "@";
  }
  if (FIPVersion == Net_IPv6)
    out += "[" + FHost + "]";
  else
    out += FHost;
  if (!FPort.empty() && !IsDefaultPort(FProtocol, FPort)) out += ":" + FPort;
  out += GetPathAndParams();
  if ((fields & ofBookmark) && !FBookmark.empty()) out += "#" + FBookmark;
  return out;
}

std::string TNetURI::URI() {
  FURI = GetFullURI(ofAuthInfo | ofBookmark);
  return GetFullURI(0);
}

std::string MergePaths(std::string_view base, std::string_view path) {
  if (!path.empty() && path.front() == '/') return std::string(path);
  bool keepTrail = path.empty() || path.back() == '/';
  std::string work(base);
  if (!work.empty() && work.back() != '/') work += '/';
  work += path;

  std::string result;
  for (std::size_t i = 0; i < work.size(); ++i) {
    char c = work[i];
    if (c == '/') {
      if (i == 0)
        result = "/";
      else if (result.empty() || result.back() != '/')
        result += '/';
    } else if (c == '.' && !result.empty() && result.back() == '/' && i + 1 < work.size() &&
               work[i + 1] == '.') {
      result.pop_back();
      while (!result.empty() && result.back() != '/') result.pop_back();
      ++i;
    } else {
      result += c;
    }
  }
  if (result != "/" && !result.empty() && result.back() == '/' && !keepTrail) result.pop_back();
  return result;
}

}  // namespace tarvo::http
