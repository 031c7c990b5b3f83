// NTLM built by the client itself (MD4 and HMAC-MD5 of our own, DES from the system's
// library). Three steps on one kept-alive connection: step 1 sends the Type 1 message, the
// server's 401 carries a Type 2 challenge, step 2 answers it with a Type 3 message. The
// Type 3 carries the NTLMv2 response when the server sends target information (every
// server of this century does), NTLM version 1 only when it does not.
//
// NTLM authenticates the connection, not the request: the Type 3 goes out once; later
// requests on that connection carry no header, and when it closes the exchange is complete
// (the client hands the object over), so the next connection starts again with a Type 1.
#pragma once

#include <cstdint>
#include <string>

#include "http/authentication.h"
#include "http/ntlm_message.h"

namespace tarvo::http {

class TNetNTLMAuthentication : public TNetAuthentication {
public:
  // Loads DES; raises ENetOSSLCouldNotLoadSSLLibrary when the library is absent.
  TNetNTLMAuthentication();
  ~TNetNTLMAuthentication() override;

  // "DOMAIN\user" is split at the first backslash; a name without one has no domain.
  void AssignUserName(const std::string& name) override;
  // Step 1: "NTLM " + Type 1. Step 2: "NTLM " + Type 3 for the kept challenge, once;
  // without a challenge the object resets and raises ENetAbort. Otherwise empty (no header).
  std::string Authentication() override;
  bool KeepAlive() const override { return true; }
  int Steps() const override { return 3; }
  void Reset() override;
  // The connection the Type 3 authenticated is gone: the exchange is complete (step 3).
  void Disconnected() override;

  const std::string& Domain() const { return FDomain; }
  const std::string& User() const { return FUser; }
  // The workstation named in the messages: none unless set (the computer's name tells a
  // server, or anyone on the path, more than it needs).
  const std::string& Host() const { return FHost; }
  void SetHost(std::string host) { FHost = std::move(host); }

protected:
  // 0 -> 1 (or wnAskTheProgram without a user), 1 -> 2 (reads the challenge: one that does
  // not parse fails), 2 -> a refusal of the Type 3 sent: reset and wnFail; 3 resets and fails.
  TNetAuthWhatsNext NextStep() override;
  // 8 bytes from the system's random source; tests replace it.
  virtual TNetNTLMNonce MakeClientChallenge();
  // The current time in 100 ns units since 1601, for a server that sends no timestamp.
  virtual std::uint64_t Now();

private:
  std::string MakeType3();

  std::string FDomain, FUser, FHost;
  bool FHaveChallenge = false;
  bool FType3Sent = false;
  TNetNTLMChallenge FChallenge;
};

}  // namespace tarvo::http
