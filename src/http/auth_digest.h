// Digest access authentication (RFC 7616, compatible with RFC 2617 servers): MD5, SHA-256
// and SHA-512-256, each also in its -sess form, the strongest a server offers; qop "auth"
// and "auth-int" (which hashes the request's body); userhash; opaque; the server's proof in
// Authentication-Info checked when it sends one.
//
// One step. A challenge read at step 0 moves the object to step 1, where it stays: every
// later request answers the same nonce with the next nonce count, so a server is not asked
// to challenge each request. A second 401 at step 1 is a rejection (wnFail) unless the
// server says the nonce was stale, which retries with the new nonce.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "core/stream.h"
#include "http/authentication.h"

namespace tarvo::http {

enum TNetDigestHash { dhNone, dhMD5, dhSHA256, dhSHA512_256 };

class TNetDigestAuthentication : public TNetAuthentication {
public:
  ~TNetDigestAuthentication() override;
  void SetRequest(const std::string& method, const std::string& uri) override;
  void SetRequestBody(core::TStream* body) override { FBody = body; }
  // Empty at step 0 (nothing to answer yet); the full answer at step 1.
  std::string Authentication() override;
  int Steps() const override { return 1; }
  // The server's Authentication-Info value after a success: false when its rspauth does not
  // prove that it knows the password; a nextnonce is taken for the following requests.
  bool CheckAuthenticationInfo(std::string_view info) override;
  void Reset() override;

  // The body hashed into A2 for qop "auth-int" when no request body stream is set.
  void SetEntityBody(std::string body) { FEntityBody = std::move(body); }

  const std::string& Realm() const { return FRealm; }
  const std::string& Nonce() const { return FNonce; }
  const std::string& Opaque() const { return FOpaque; }
  const std::string& Algorithm() const { return FAlgorithm; }
  const std::vector<std::string>& Qop() const { return FQopOptions; }
  const std::vector<std::string>& Domain() const { return FDomain; }
  bool Stale() const { return FStale; }
  bool UserHash() const { return FUserHash; }
  std::uint32_t NonceCount() const { return FNonceCount; }

protected:
  // Reads the strongest "Digest" challenge. Raises ENetInvalidAlgorithm when no challenge
  // names a hash of ours; a challenge with an item too long or holding control characters
  // (which would be echoed into every request) fails.
  TNetAuthWhatsNext NextStep() override;
  // 32 hexadecimal digits from the system's random source; tests replace it.
  virtual std::string MakeClientNonce();

private:
  std::string Hex(std::string_view bytes) const;
  std::string BodyHash();
  std::string ResponseFor(std::string_view method, std::string_view nc) const;

  std::string FMethod, FURI, FEntityBody;
  core::TStream* FBody = nullptr;
  std::string FRealm, FNonce, FOpaque, FAlgorithm;
  TNetDigestHash FHash = dhNone;
  bool FSession = false, FUserHash = false;
  std::vector<std::string> FQopOptions, FDomain;
  bool FStale = false;
  std::uint32_t FNonceCount = 1;
  // What the last answer was made of, for checking the server's rspauth.
  std::string FHA1, FLastCNonce, FLastQop, FLastURI, FLastBodyHash, FLastNC;
};

// One challenge's items: after the scheme word, `name=value` separated by ","; a value
// that starts with a double quote runs to the next unescaped double quote (the backslashes
// stay). Names are lower-cased. False when the text breaks the bounds of THTTPLimits.
struct TNetChallengeItem {
  std::string Name, Value;
};
bool ParseDigestChallenge(std::string_view challenge, std::vector<TNetChallengeItem>& items);

// One header value may hold several challenges ("Digest realm=..., algorithm=SHA-256,
// Digest realm=..., algorithm=MD5"): split where an item is a bare scheme word followed by
// a space. Each result starts with its scheme word. Bounded like ParseDigestChallenge.
std::vector<std::string> SplitChallenges(std::string_view value);

// The hash a Digest "algorithm" names (any case; "-sess" sets `session`), dhNone for others.
TNetDigestHash DigestHashOf(std::string_view algorithm, bool& session);

// A quoted-string's content with its backslash escapes resolved.
std::string Unquote(std::string_view value);

}  // namespace tarvo::http
