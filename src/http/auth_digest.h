// Digest access authentication (RFC 2617): MD5 and MD5-sess, qop "auth" and "auth-int",
// nonce counting and opaque. One step: a challenge read at step 0 moves the object to
// step 1; the next header written answers it and sets the step back to 0, so a later
// challenge (a stale or new nonce) is read afresh. The same nonce continues the count, a
// new one restarts it at 1.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "http/authentication.h"

namespace tarvo::http {

class TNetDigestAuthentication : public TNetAuthentication {
public:
  void SetRequest(const std::string& method, const std::string& uri) override;
  // "Digest" alone at step 0; the full answer at step 1. Raises nothing.
  std::string Authentication() override;
  int Steps() const override { return 1; }

  // The body hashed into A2 for qop "auth-int" (empty unless set).
  void SetEntityBody(std::string body) { FEntityBody = std::move(body); }

  const std::string& Realm() const { return FRealm; }
  const std::string& Nonce() const { return FNonce; }
  const std::string& Opaque() const { return FOpaque; }
  const std::string& Algorithm() const { return FAlgorithm; }
  const std::vector<std::string>& Qop() const { return FQopOptions; }
  const std::vector<std::string>& Domain() const { return FDomain; }
  bool Stale() const { return FStale; }
  std::uint32_t NonceCount() const { return FNonceCount; }

protected:
  // At step 0 reads the "Digest" challenge. Raises ENetInvalidAlgorithm for a hash other
  // than MD5 / MD5-sess; a challenge with an item too long or holding control characters
  // (which would be echoed into every request) fails.
  TNetAuthWhatsNext NextStep() override;
  // Lower-case hexadecimal MD5 of the current time; tests replace it.
  virtual std::string MakeClientNonce();

private:
  std::string FMethod, FURI, FEntityBody;
  std::string FRealm, FNonce, FOpaque, FAlgorithm;
  std::vector<std::string> FQopOptions, FDomain;
  bool FStale = false;
  std::uint32_t FNonceCount = 1;
};

// One challenge's items: after the scheme word, `name=value` separated by ","; a value
// that starts with a double quote runs to the next unescaped double quote (the backslashes
// stay). Names are lower-cased. False when the text breaks the bounds of auth_limits.h.
struct TNetChallengeItem {
  std::string Name, Value;
};
bool ParseDigestChallenge(std::string_view challenge, std::vector<TNetChallengeItem>& items);

}  // namespace tarvo::http
