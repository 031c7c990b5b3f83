#include "http/auth_digest.h"

#include <cstdio>

#include "http/auth_exception.h"
#include "http/auth_limits.h"
#include "http/auth_strings.h"
#include "http/auth_secret.h"
#include "http/char_encoding.h"
#include "http/message_digest.h"
#include "http/message_digest_sha2.h"

namespace tarvo::http {

namespace {

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

// A list may hold empty elements (RFC 9110 section 5.6.1): ",Digest ...", "a, , b". They
// are dropped with the commas and blanks around a piece.
std::string_view TrimListPiece(std::string_view s) {
  while (!s.empty() && (s.front() == ',' || s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ',' || s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
  return s;
}

bool IsTokenChar(char c) {
  return c > 0x20 && c < 0x7F && std::string_view("()<>@,;:\\\"/[]?={}").find(c) == std::string_view::npos;
}

std::string HexLower(std::string_view bytes) {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string out;
  out.reserve(bytes.size() * 2);
  for (unsigned char b : bytes) out += kDigits[b >> 4], out += kDigits[b & 15];
  return out;
}

// One hash of the chosen kind, fed in pieces.
class THasher {
public:
  explicit THasher(TNetDigestHash kind) : FKind(kind) {}
  void Update(std::string_view bytes) {
    if (FKind == dhSHA256)
      FSHA256.Update(bytes);
    else if (FKind == dhSHA512_256)
      FSHA512.Update(bytes);
    else
      FMD5.Update(bytes);
  }
  std::string FinalHex() {
    if (FKind == dhSHA256) return HexLower(FSHA256.Final());
    if (FKind == dhSHA512_256) return HexLower(FSHA512.Final());
    TNetDigest d = FMD5.Final();
    return HexLower(std::string_view(reinterpret_cast<const char*>(d.data()), d.size()));
  }

private:
  TNetDigestHash FKind;
  TNetHashMessageDigest5 FMD5;
  TNetHashSHA256 FSHA256;
  TNetHashSHA512_256 FSHA512;
};

// A quoted-string for a header: quotes and backslashes escaped.
std::string Quote(std::string_view s) {
  std::string out = "\"";
  for (char c : s) {
    if (c == '"' || c == '\\') out += '\\';
    out += c;
  }
  return out + '"';
}

// RFC 8187 ext-value: UTF-8''percent-encoded.
std::string ExtValue(std::string_view s) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::string out = "UTF-8''";
  for (unsigned char c : s) {
    if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
        std::string_view("!#$&+-.^_`|~").find(static_cast<char>(c)) != std::string_view::npos)
      out += static_cast<char>(c);
    else
      out += '%', out += kDigits[c >> 4], out += kDigits[c & 15];
  }
  return out;
}

bool IsAscii(std::string_view s) {
  for (unsigned char c : s)
    if (c >= 0x80) return false;
  return true;
}

struct TChallenge {
  std::string Realm, Nonce, Opaque, Algorithm;
  std::vector<std::string> Qop, Domain;
  bool Stale = false, UserHash = false, Session = false;
  TNetDigestHash Hash = dhNone;
};

// False when the challenge must not be answered (items out of bounds or with control
// characters); a challenge of an unknown hash gives true with dhNone.
bool ReadChallenge(std::string_view line, TChallenge& c) {
  std::vector<TNetChallengeItem> items;
  if (!ParseDigestChallenge(line, items)) return false;
  for (TNetChallengeItem& item : items) {
    // Every item that goes back to the server must not be able to break the request.
    std::string value = Unquote(item.Value);
    if (HasControl(value)) return false;
    if (item.Name == "realm")
      c.Realm = std::move(value);
    else if (item.Name == "nonce")
      c.Nonce = std::move(value);
    else if (item.Name == "domain")
      c.Domain = Split(value, ' ');
    else if (item.Name == "opaque")
      c.Opaque = std::move(value);
    else if (item.Name == "stale")
      c.Stale = SameText(value, "true");
    else if (item.Name == "algorithm")
      c.Algorithm = std::move(value);
    else if (item.Name == "qop")
      c.Qop = Split(value, ',');
    else if (item.Name == "userhash")
      c.UserHash = SameText(value, "true");
  }
  if (c.Algorithm.empty()) c.Algorithm = "MD5";
  c.Hash = DigestHashOf(c.Algorithm, c.Session);
  return true;
}

}  // namespace

TNetDigestHash DigestHashOf(std::string_view algorithm, bool& session) {
  session = false;
  if (algorithm.size() > 5 && SameText(algorithm.substr(algorithm.size() - 5), "-sess")) {
    session = true;
    algorithm.remove_suffix(5);
  }
  if (SameText(algorithm, "MD5")) return dhMD5;
  if (SameText(algorithm, "SHA-256")) return dhSHA256;
  if (SameText(algorithm, "SHA-512-256")) return dhSHA512_256;
  session = false;
  return dhNone;
}

std::string Unquote(std::string_view value) {
  std::string out;
  out.reserve(value.size());
  for (std::size_t i = 0; i < value.size(); ++i) {
    if (value[i] == '\\' && i + 1 < value.size()) ++i;
    out += value[i];
  }
  return out;
}

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

std::vector<std::string> SplitChallenges(std::string_view value) {
  std::vector<std::string> out;
  std::size_t start = 0, i = 0;
  bool inQuotes = false;
  // A new challenge begins after a comma where a token is followed by a space (not "=").
  while (i < value.size() && out.size() < kMaxDigestItems) {
    char c = value[i];
    if (inQuotes) {
      if (c == '\\')
        ++i;
      else if (c == '"')
        inQuotes = false;
      ++i;
      continue;
    }
    if (c == '"') {
      inQuotes = true, ++i;
      continue;
    }
    if (c != ',') {
      ++i;
      continue;
    }
    std::size_t k = i + 1;
    while (k < value.size() && (value[k] == ' ' || value[k] == '\t')) ++k;
    std::size_t end = k;
    while (end < value.size() && IsTokenChar(value[end])) ++end;
    if (end > k && end < value.size() && value[end] == ' ') {
      std::size_t after = end;
      while (after < value.size() && value[after] == ' ') ++after;
      if (after == value.size() || value[after] != '=') {
        std::string_view piece = TrimListPiece(value.substr(start, i - start));
        if (!piece.empty()) out.emplace_back(piece);
        start = k;
      }
    }
    i = k;
  }
  std::string_view last = TrimListPiece(value.substr(std::min(start, value.size())));
  if (!last.empty() && out.size() < kMaxDigestItems) out.emplace_back(last);
  return out;
}

TNetDigestAuthentication::~TNetDigestAuthentication() { WipeString(FHA1); }

void TNetDigestAuthentication::Reset() {
  TNetAuthentication::Reset();
  WipeString(FHA1);
}

void TNetDigestAuthentication::SetRequest(const std::string& method, const std::string& uri) {
  FMethod = method;
  FURI = uri;
}

TNetAuthWhatsNext TNetDigestAuthentication::NextStep() {
  // The strongest hash among every Digest challenge; the first of equal strength.
  TChallenge best;
  bool any = false, answerable = false;
  for (std::size_t i = 0; i < FAuthParams.Count(); ++i) {
    for (const std::string& line : SplitChallenges(FAuthParams[i])) {
      std::string_view scheme = std::string_view(line).substr(0, line.find(' '));
      if (!SameText(scheme, "Digest")) continue;
      any = true;
      TChallenge c;
      if (!ReadChallenge(line, c) || c.Hash == dhNone) continue;
      answerable = true;
      if (c.Hash > best.Hash) best = std::move(c);
    }
  }
  if (!any) return wnFail;
  if (best.Hash == dhNone) {
    if (answerable) return wnFail;
    // Only hashes we do not have; a challenge that could not be read at all simply fails.
    for (std::size_t i = 0; i < FAuthParams.Count(); ++i)
      for (const std::string& line : SplitChallenges(FAuthParams[i])) {
        TChallenge c;
        if (SameText(std::string_view(line).substr(0, line.find(' ')), "Digest") && ReadChallenge(line, c))
          throw ENetInvalidAlgorithm();
      }
    return wnFail;
  }
  if (FCurrentStep != 0) {
    // We answered and were refused. Only a stale nonce is worth another try: the password
    // was right. Anything else is a wrong password and asking again would only repeat it.
    if (!best.Stale || best.Nonce == FNonce) return wnFail;
  }
  if (best.Nonce != FNonce || best.Hash != FHash || best.Realm != FRealm) FNonceCount = 1;
  FRealm = std::move(best.Realm), FNonce = std::move(best.Nonce), FOpaque = std::move(best.Opaque);
  FAlgorithm = std::move(best.Algorithm), FQopOptions = std::move(best.Qop), FDomain = std::move(best.Domain);
  FStale = best.Stale, FUserHash = best.UserHash, FHash = best.Hash, FSession = best.Session;
  WipeString(FHA1);
  if (FUsername.empty()) return wnAskTheProgram;
  // A user name the header cannot carry (a line break would start a header of its own).
  if (HasControl(FUsername)) return wnFail;
  FCurrentStep = 1;
  return wnDoRequest;
}

std::string TNetDigestAuthentication::MakeClientNonce() {
  unsigned char bytes[16];
  if (!SystemRandomBytes(bytes, sizeof bytes)) throw ENetException(core::LoadResString(SNoRandomSource));
  return HexLower(std::string_view(reinterpret_cast<const char*>(bytes), sizeof bytes));
}

std::string TNetDigestAuthentication::Hex(std::string_view bytes) const {
  THasher h(FHash);
  h.Update(bytes);
  return h.FinalHex();
}

std::string TNetDigestAuthentication::BodyHash() {
  if (FBody == nullptr) return Hex(FEntityBody);
  // The body is written from its start; hash it the same way, then leave it as found.
  THasher h(FHash);
  const std::int64_t at = FBody->Position();
  FBody->SetPosition(0);
  char buffer[16 * 1024];
  for (std::size_t n; (n = FBody->Read(buffer, sizeof buffer)) > 0;) h.Update(std::string_view(buffer, n));
  FBody->SetPosition(at);
  return h.FinalHex();
}

std::string TNetDigestAuthentication::ResponseFor(std::string_view method, std::string_view nc) const {
  std::string a2 = std::string(method) + ":" + FLastURI;
  if (FLastQop == "auth-int") a2 += ":" + FLastBodyHash;
  if (FLastQop.empty()) return Hex(FHA1 + ":" + FNonce + ":" + Hex(a2));
  return Hex(FHA1 + ":" + FNonce + ":" + std::string(nc) + ":" + FLastCNonce + ":" + FLastQop + ":" + Hex(a2));
}

std::string TNetDigestAuthentication::Authentication() {
  if (FCurrentStep != 1) return {};
  const std::string cnonce = MakeClientNonce();
  // Text goes in as UTF-8, the only charset RFC 7616 names.
  std::string secret = FUsername + ":" + FRealm + ":" + FPassword;
  std::string ha1 = Hex(secret);
  WipeString(secret);
  if (FSession) ha1 = Hex(ha1 + ":" + FNonce + ":" + cnonce);
  auto offered = [&](std::string_view q) {
    for (const std::string& o : FQopOptions)
      if (SameText(o, q)) return true;
    return false;
  };
  FLastQop = offered("auth-int") ? "auth-int" : offered("auth") ? "auth" : "";
  FLastBodyHash = FLastQop == "auth-int" ? BodyHash() : std::string();
  FLastURI = FURI, FLastCNonce = cnonce;
  WipeString(FHA1);
  FHA1 = std::move(ha1);
  char nc[9];
  std::snprintf(nc, sizeof nc, "%08x", static_cast<unsigned>(FNonceCount));
  FLastNC = nc;
  const std::string response = ResponseFor(FMethod, nc);

  std::string value = "Digest ";
  if (FUserHash)
    value += "username=" + Quote(Hex(FUsername + ":" + FRealm));
  else if (!IsAscii(FUsername))
    value += "username*=" + ExtValue(FUsername);
  else
    value += "username=" + Quote(FUsername);
  value += ", realm=" + Quote(FRealm) + ", nonce=" + Quote(FNonce) + ", uri=" + Quote(FURI) +
           ", algorithm=" + FAlgorithm;
  if (!FLastQop.empty()) value += ", qop=" + FLastQop + ", nc=" + nc + ", cnonce=" + Quote(cnonce);
  value += ", response=" + Quote(response);
  if (!FOpaque.empty()) value += ", opaque=" + Quote(FOpaque);
  if (FUserHash) value += ", userhash=true";
  ++FNonceCount;
  return value;
}

bool TNetDigestAuthentication::CheckAuthenticationInfo(std::string_view info) {
  if (FCurrentStep != 1 || FHA1.empty()) return true;
  std::vector<TNetChallengeItem> items;
  // The value has no scheme word; the parser skips one, so give it a blank one.
  if (!ParseDigestChallenge(std::string("- ") + std::string(info), items)) return false;
  std::string rspauth, nextnonce;
  bool haveRspauth = false;
  for (const TNetChallengeItem& item : items) {
    if (item.Name == "rspauth") rspauth = Unquote(item.Value), haveRspauth = true;
    if (item.Name == "nextnonce") nextnonce = Unquote(item.Value);
  }
  if (haveRspauth && !SameText(rspauth, ResponseFor("", FLastNC))) return false;
  if (!nextnonce.empty() && !HasControl(nextnonce) && nextnonce != FNonce) {
    FNonce = std::move(nextnonce);
    FNonceCount = 1;
  }
  return true;
}

}  // namespace tarvo::http
