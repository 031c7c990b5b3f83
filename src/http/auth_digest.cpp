#include "http/auth_digest.h"

#include <chrono>
#include <cstdio>

#include "http/auth_exception.h"
#include "http/auth_limits.h"
#include "http/char_encoding.h"
#include "http/message_digest.h"

namespace tarvo::http {

namespace {

std::string H(std::string_view text) { return LowerCase(TNetHashMessageDigest5().HashStringAsHex(text)); }

bool HasControl(std::string_view s) {
  for (unsigned char c : s)
    if (c < 0x20 || c == 0x7F) return true;
  return false;
}

std::vector<std::string> Split(std::string_view s, char sep) {
  std::vector<std::string> out;
  while (!s.empty()) {
    std::size_t k = s.find(sep);
    std::string_view part = Trim(s.substr(0, k));
    if (!part.empty()) out.emplace_back(part);
    s = k == std::string_view::npos ? std::string_view() : s.substr(k + 1);
  }
  return out;
}

}  // namespace

bool ParseDigestChallenge(std::string_view challenge, std::vector<TNetChallengeItem>& items) {
  items.clear();
  std::size_t space = challenge.find(' ');
  std::string_view s = space == std::string_view::npos ? std::string_view() : challenge.substr(space + 1);
  std::size_t i = 0;
  while (i < s.size()) {
    while (i < s.size() && (s[i] == ',' || s[i] == ' ' || s[i] == '\t')) ++i;
    if (i == s.size()) break;
    std::size_t eq = s.find_first_of("=,", i);
    TNetChallengeItem item;
    item.Name = LowerCase(Trim(s.substr(i, eq == std::string_view::npos ? std::string_view::npos : eq - i)));
    if (eq == std::string_view::npos || s[eq] == ',') {
      i = eq == std::string_view::npos ? s.size() : eq + 1;
    } else {
      i = eq + 1;
      while (i < s.size() && (s[i] == ' ' || s[i] == '\t')) ++i;
      if (i < s.size() && s[i] == '"') {
        std::size_t start = ++i;
        while (i < s.size() && s[i] != '"') i += s[i] == '\\' ? 2 : 1;
        item.Value = std::string(s.substr(start, std::min(i, s.size()) - start));
        i = std::min(i + 1, s.size());
        std::size_t comma = s.find(',', i);
        i = comma == std::string_view::npos ? s.size() : comma + 1;
      } else {
        std::size_t comma = s.find(',', i);
        item.Value =
            std::string(Trim(s.substr(i, comma == std::string_view::npos ? std::string_view::npos : comma - i)));
        i = comma == std::string_view::npos ? s.size() : comma + 1;
      }
    }
    if (item.Name.size() > kMaxDigestItemBytes || item.Value.size() > kMaxDigestItemBytes ||
        items.size() == kMaxDigestItems)
      return false;
    if (!item.Name.empty()) items.push_back(std::move(item));
  }
  return true;
}

void TNetDigestAuthentication::SetRequest(const std::string& method, const std::string& uri) {
  FMethod = method;
  FURI = uri;
}

TNetAuthWhatsNext TNetDigestAuthentication::NextStep() {
  if (FCurrentStep != 0) return wnDoRequest;
  std::vector<TNetChallengeItem> items;
  if (!ParseDigestChallenge(FindChallenge("Digest"), items)) return wnFail;
  std::string realm, nonce, opaque, algorithm;
  std::vector<std::string> qop, domain;
  bool stale = false;
  for (const TNetChallengeItem& item : items) {
    // Every item that goes back to the server must not be able to break the request.
    if (HasControl(item.Value)) return wnFail;
    if (item.Name == "realm")
      realm = item.Value;
    else if (item.Name == "nonce")
      nonce = item.Value;
    else if (item.Name == "domain")
      domain = Split(item.Value, ' ');
    else if (item.Name == "opaque")
      opaque = item.Value;
    else if (item.Name == "stale")
      stale = SameText(item.Value, "true");
    else if (item.Name == "algorithm")
      algorithm = item.Value;
    else if (item.Name == "qop")
      qop = Split(item.Value, ',');
  }
  if (algorithm.empty()) algorithm = "MD5";
  if (!SameText(algorithm, "MD5") && !SameText(algorithm, "MD5-sess")) throw ENetInvalidAlgorithm();
  if (nonce != FNonce) FNonceCount = 1;
  FRealm = std::move(realm), FNonce = std::move(nonce), FOpaque = std::move(opaque);
  FAlgorithm = std::move(algorithm), FQopOptions = std::move(qop), FDomain = std::move(domain);
  FStale = stale;
  if (FUsername.empty()) return wnAskTheProgram;
  FCurrentStep = 1;
  return wnDoRequest;
}

std::string TNetDigestAuthentication::MakeClientNonce() {
  auto now = std::chrono::system_clock::now().time_since_epoch();
  return H(std::to_string(std::chrono::duration_cast<std::chrono::nanoseconds>(now).count()));
}

std::string TNetDigestAuthentication::Authentication() {
  if (FCurrentStep != 1) return "Digest";
  const std::string cnonce = MakeClientNonce();
  std::string a1 = FUsername + ":" + FRealm + ":" + FPassword;
  if (SameText(FAlgorithm, "MD5-sess")) a1 = H(a1) + ":" + FNonce + ":" + cnonce;
  std::string a2 = FMethod + ":" + FURI;
  std::string qop;
  auto offered = [&](std::string_view q) {
    for (const std::string& o : FQopOptions)
      if (SameText(o, q)) return true;
    return false;
  };
  if (offered("auth-int")) {
    qop = "auth-int";
    a2 += ":" + H(FEntityBody);
  } else if (offered("auth")) {
    qop = "auth";
  }
  char nc[9];
  std::snprintf(nc, sizeof nc, "%08X", static_cast<unsigned>(FNonceCount));
  const std::string response = qop.empty()
                                   ? H(H(a1) + ":" + FNonce + ":" + H(a2))
                                   : H(H(a1) + ":" + FNonce + ":" + nc + ":" + cnonce + ":" + qop + ":" + H(a2));
  std::string value = "Digest username=\"" + FUsername + "\", realm=\"" + FRealm + "\", nonce=\"" + FNonce +
                      "\", algorithm=\"" + FAlgorithm + "\", uri=\"" + FURI + "\", ";
  if (!qop.empty()) value += "qop=\"" + qop + "\", nc=" + nc + ", cnonce=\"" + cnonce + "\", ";
  value += "response=\"" + response + "\"";
  if (!FOpaque.empty()) value += ", opaque=\"" + FOpaque + "\"";
  ++FNonceCount;
  FCurrentStep = 0;
  return value;
}

}  // namespace tarvo::http
