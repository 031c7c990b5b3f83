// The seam for authentication schemes: an object that reads a server's (or proxy's)
// challenges, says what to do next, and produces the value of the "Authorization" (or
// "Proxy-Authorization") header for each request written. The schemes build on this base;
// Basic is here because a request can ask for it up front, before any challenge.
//
// Life of an object: the client creates it for the first 401/407 it can answer, gives it
// the credentials (AssignUserName/AssignPassword) and the challenge lines (AuthParams), then
// calls Next until it says wnDoRequest or wnFail; before each request it calls SetRequest
// and Authentication. A scheme of several steps (NTLM) walks CurrentStep up to Steps.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "core/stream.h"
#include "http/header_list.h"

namespace tarvo::http {

enum TNetAuthWhatsNext {
  wnAskTheProgram,  // credentials are missing: ask the program's handler for them
  wnDoRequest,      // send the request (again) with this object's header
  wnFail,           // give up
};

class TNetAuthentication {
public:
  TNetAuthentication();
  virtual ~TNetAuthentication();
  TNetAuthentication(const TNetAuthentication&) = delete;
  TNetAuthentication& operator=(const TNetAuthentication&) = delete;

  // Back to step 0.
  virtual void Reset() { FCurrentStep = 0; }
  // Told the method and request target before each request is written (Digest needs them).
  virtual void SetRequest(const std::string& /*method*/, const std::string& /*uri*/) {}
  // The body of the request being written (Digest's auth-int hashes it); nullptr for none.
  virtual void SetRequestBody(core::TStream* /*body*/) {}
  // The server's "Authentication-Info" (or "Proxy-Authentication-Info") after a success:
  // false when it shows the server is not the one that knows the password.
  virtual bool CheckAuthenticationInfo(std::string_view /*info*/) { return true; }
  // The connection the requests went out on has closed (a scheme that authenticates the
  // connection is then complete, or has to start over).
  virtual void Disconnected() {}
  virtual void AssignUserName(const std::string& name);
  virtual void AssignPassword(const std::string& password);
  // The header value for the request being written.
  virtual std::string Authentication() = 0;
  // True when the exchange must keep the connection (the scheme authenticates it).
  virtual bool KeepAlive() const { return false; }
  virtual int Steps() const { return 0; }

  TNetAuthWhatsNext Next() { return NextStep(); }
  // The first challenge line whose scheme word is `scheme` (any case), or empty. The word
  // must stand alone: "Digest" does not pick a line of a scheme "DigestX".
  std::string FindChallenge(std::string_view scheme) const;

  // One line per "WWW-Authenticate" / "Proxy-Authenticate" value.
  TNetHeaderList& AuthParams() { return FAuthParams; }
  const TNetHeaderList& AuthParams() const { return FAuthParams; }
  // "Username", "Password" and scheme items ("Authorization", a Basic realm's items, ...);
  // the authentication manager keeps a copy of these.
  TNetHeaderList& Params() { return FParams; }
  const TNetHeaderList& Params() const { return FParams; }

  const std::string& Username() const { return FUsername; }
  void SetUsername(std::string v) { AssignUserName(v); }
  const std::string& Password() const { return FPassword; }
  void SetPassword(std::string v) { AssignPassword(v); }
  int CurrentStep() const { return FCurrentStep; }

protected:
  virtual TNetAuthWhatsNext NextStep() = 0;

  int FCurrentStep = 0;
  // Kept apart from FParams so that no header-list folding or trimming touches them.
  std::string FUsername;
  std::string FPassword;
  TNetHeaderList FAuthParams;
  TNetHeaderList FParams;
};

// "Basic " + Base64 of user:password (ASCII), one step.
class TNetBasicAuthentication : public TNetAuthentication {
public:
  std::string Authentication() override;
  int Steps() const override { return 1; }
  // The realm of the challenge, without its quotes.
  const std::string& Realm() const { return FRealm; }

protected:
  TNetAuthWhatsNext NextStep() override;

private:
  std::string FRealm;
};

// RFC 4648 Base64, standard alphabet with padding.
std::string EncodeBase64(std::string_view bytes);
// Strict decoding: false on a character outside the alphabet, a bad length or stray
// padding. Whitespace is not skipped.
bool DecodeBase64(std::string_view text, std::string& bytes);

}  // namespace tarvo::http
