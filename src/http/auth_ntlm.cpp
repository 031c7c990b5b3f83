#include "http/auth_ntlm.h"

#include "http/auth_exception.h"
#include "http/auth_host_name.h"
#include "http/char_encoding.h"
#include "http/des_library.h"

namespace tarvo::http {

TNetNTLMAuthentication::TNetNTLMAuthentication() : FHost(NTLMWorkstationName()) { (void)DESLibrary(); }

void TNetNTLMAuthentication::AssignUserName(const std::string& name) {
  if (name == FUsername && !name.empty()) return;
  TNetAuthentication::AssignUserName(name);
  std::size_t slash = name.find('\\');
  FDomain = slash == std::string::npos ? std::string() : name.substr(0, slash);
  FUser = slash == std::string::npos ? name : name.substr(slash + 1);
}

void TNetNTLMAuthentication::Reset() {
  TNetAuthentication::Reset();
  FHaveChallenge = false;
}

TNetAuthWhatsNext TNetNTLMAuthentication::NextStep() {
  switch (FCurrentStep) {
    case 0:
      if (FUsername.empty()) return wnAskTheProgram;
      FCurrentStep = 1;
      return wnDoRequest;
    case 1: {
      std::string line = FindChallenge("NTLM");
      std::size_t space = line.find(' ');
      if (space != std::string::npos) {
        std::string bytes;
        std::string_view encoded = Trim(std::string_view(line).substr(space + 1));
        if (!DecodeBase64(encoded, bytes) || !ParseNTLMType2(bytes, FChallenge)) {
          Reset();
          return wnFail;
        }
        FHaveChallenge = true;
      }
      FCurrentStep = 2;
      return wnDoRequest;
    }
    case 2:
      FCurrentStep = 3;
      return wnDoRequest;
    default:
      Reset();
      return wnFail;
  }
}

std::string TNetNTLMAuthentication::Authentication() {
  if (FCurrentStep == 1) return "NTLM " + EncodeBase64(MakeNTLMType1(FDomain, FHost));
  if (FCurrentStep != 2) return {};
  if (!FHaveChallenge) {
    Reset();
    throw ENetAbort();
  }
  const TNetNTLMResponse lm = NTLMv1LMResponse(FPassword, FChallenge.Nonce);
  const TNetNTLMResponse nt = NTLMv1NTResponse(FPassword, FChallenge.Nonce);
  return "NTLM " + EncodeBase64(MakeNTLMType3(FDomain, FUser, FHost, lm, nt));
}

}  // namespace tarvo::http
