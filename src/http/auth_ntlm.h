// NTLM version 1 built by the client itself (MD4 of our own, DES from libcrypto). Three
// steps on one kept-alive connection: step 1 sends the Type 1 message, the server's 401
// carries a Type 2 challenge, step 2 answers it with a Type 3 message.
#pragma once

#include <string>

#include "http/authentication.h"
#include "http/ntlm_message.h"

namespace tarvo::http {

class TNetNTLMAuthentication : public TNetAuthentication {
public:
  // Loads DES; raises ENetOSSLCouldNotLoadSSLLibrary when libcrypto is absent.
  TNetNTLMAuthentication();

  // "DOMAIN\user" is split at the first backslash; a name without one has no domain.
  void AssignUserName(const std::string& name) override;
  // Step 1: "NTLM " + Type 1. Step 2: "NTLM " + Type 3 for the kept challenge; without a
  // challenge the object resets and raises ENetAbort. Other steps: empty (no header).
  std::string Authentication() override;
  bool KeepAlive() const override { return true; }
  int Steps() const override { return 3; }
  void Reset() override;

  const std::string& Domain() const { return FDomain; }
  const std::string& User() const { return FUser; }
  // The workstation named in the messages: this computer's name unless set.
  const std::string& Host() const { return FHost; }
  void SetHost(std::string host) { FHost = std::move(host); }

protected:
  // 0 -> 1 (or wnAskTheProgram without a user), 1 -> 2 (reads the challenge: one that does
  // not parse fails), 2 -> 3, and 3 resets and fails.
  TNetAuthWhatsNext NextStep() override;

private:
  std::string FDomain, FUser, FHost;
  bool FHaveChallenge = false;
  TNetNTLMChallenge FChallenge;
};

}  // namespace tarvo::http
