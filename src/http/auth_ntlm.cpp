#include "http/auth_ntlm.h"

#include <chrono>

#include "http/auth_exception.h"
#include "http/auth_secret.h"
#include "http/auth_strings.h"
#include "http/char_encoding.h"
#include "http/des_library.h"

namespace tarvo::http {

TNetNTLMAuthentication::TNetNTLMAuthentication() { (void)DESLibrary(); }

TNetNTLMAuthentication::~TNetNTLMAuthentication() = default;

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
  FType3Sent = false;
}

void TNetNTLMAuthentication::Disconnected() {
  if (FCurrentStep != 2) return;
  if (FType3Sent) {
    FCurrentStep = 3;
  } else {
    // The challenge belonged to the connection that closed: a Type 3 made from it means
    // nothing on the next one, where the handshake starts again with a Type 1.
    FCurrentStep = 1;
    FHaveChallenge = false;
  }
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
      // The server answered our Type 3 with another challenge: the credentials are wrong,
      // and a new handshake with the same ones would only be refused again.
      if (FType3Sent) break;
      FCurrentStep = 3;
      return wnDoRequest;
    default:
      break;
  }
  Reset();
  return wnFail;
}

TNetNTLMNonce TNetNTLMAuthentication::MakeClientChallenge() {
  TNetNTLMNonce challenge;
  if (!SystemRandomBytes(challenge.data(), challenge.size())) throw ENetException(core::LoadResString(SNoRandomSource));
  return challenge;
}

std::uint64_t TNetNTLMAuthentication::Now() {
  // FILETIME: 100 ns units since 1601-01-01, 11644473600 s before the Unix epoch.
  using namespace std::chrono;
  const auto since1970 = duration_cast<microseconds>(system_clock::now().time_since_epoch()).count();
  return (static_cast<std::uint64_t>(since1970) + 11644473600ull * 1000000) * 10;
}

std::string TNetNTLMAuthentication::MakeType3() {
  std::uint32_t flags = kNTLMType3Flags;
  TNetNTLMResponses responses;
  std::string domain = FDomain, host = FHost;
  if (FChallenge.HasTargetInfo) {
    TNetDigest key = NTLMHashV2(FPassword, FUser, FDomain);
    responses = NTLMv2Responses(key, FChallenge, MakeClientChallenge(), Now());
    WipeBytes(key.data(), key.size());
    flags |= FChallenge.Flags & kNTLMExtendedSessionSecurity;
  } else if (FChallenge.Flags & kNTLMExtendedSessionSecurity) {
    const TNetNTLMNonce client = MakeClientChallenge();
    responses = NTLMv1Responses(FPassword, FChallenge.Nonce, &client);
    flags |= kNTLMExtendedSessionSecurity;
    domain = UpperCase(domain), host = UpperCase(host);
  } else {
    responses = NTLMv1Responses(FPassword, FChallenge.Nonce, nullptr);
    domain = UpperCase(domain), host = UpperCase(host);
  }
  return "NTLM " + EncodeBase64(MakeNTLMType3(domain, FUser, host, responses, flags));
}

std::string TNetNTLMAuthentication::Authentication() {
  if (FCurrentStep == 1) return "NTLM " + EncodeBase64(MakeNTLMType1(FDomain, FHost));
  if (FCurrentStep != 2 || FType3Sent) return {};
  if (!FHaveChallenge) {
    Reset();
    throw ENetAbort();
  }
  FType3Sent = true;
  return MakeType3();
}

}  // namespace tarvo::http
