// The judgement of a server certificate on Windows where it is ours rather than the system's:
// the CA file read and checked by crypt32, and the verdict drawn from what crypt32 reports.
// The sessions themselves meet real servers in https_peers_test.cpp.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "tls/tls_certificate_windows.h"

using namespace tarvo::tls;

namespace {

constexpr const char* kBegin = "-----BEGIN CERTIFICATE-----\n";
constexpr const char* kEnd = "-----END CERTIFICATE-----\n";

TEST(CAFilePem, UnreadableOrNotCertificatesRefused) {
  const std::string dir = ::testing::TempDir();
  const std::string garbage = dir + "tarvo-tls-garbage.pem", empty = dir + "tarvo-tls-empty.pem";
  std::ofstream(garbage, std::ios::binary) << kBegin << "AQIDBA==\n" << kEnd;  // Base64, but no certificate
  std::ofstream(empty, std::ios::binary) << "";
  for (const std::string& file : {dir + "tarvo-tls-none.pem", garbage, empty}) {
    SCOPED_TRACE(file);
    try {
      ReadCAFile(file);
      ADD_FAILURE() << "accepted";
    } catch (const ETlsError& e) {
      EXPECT_NE(e.Message().find("cannot be read"), std::string::npos) << e.Message();
    }
  }
  std::remove(garbage.c_str());
  std::remove(empty.c_str());
}

TEST(CertificateVerdict, EachFaultNamedOnce) {
  constexpr DWORD kUnknownRevocation = CERT_TRUST_REVOCATION_STATUS_UNKNOWN | CERT_TRUST_IS_OFFLINE_REVOCATION;
  struct Case {
    const char* what;
    TCertificateFacts facts;
    std::optional<TTlsCertificateProblem> problem;
  } cases[] = {
      {"clean", {}, std::nullopt},
      {"revocation not checkable", {kUnknownRevocation, false, false, false, false, true, CERT_E_REVOCATION_FAILURE},
       std::nullopt},
      {"unknown root", {CERT_TRUST_IS_UNTRUSTED_ROOT, false, false, false, false, true, CERT_E_UNTRUSTEDROOT},
       tcpUntrusted},
      {"missing issuer", {CERT_TRUST_IS_PARTIAL_CHAIN, false, false, false, false, true, CERT_E_CHAINING}, tcpUntrusted},
      {"self-signed", {CERT_TRUST_IS_UNTRUSTED_ROOT, false, false, true, false, true, 0}, tcpSelfSigned},
      {"root of the CA file",
       {CERT_TRUST_IS_UNTRUSTED_ROOT | kUnknownRevocation, true, true, false, false, true, CERT_E_UNTRUSTEDROOT},
       std::nullopt},
      {"system root where the CA file rules", {0, true, false, false, false, true, 0}, tcpUntrusted},
      {"policy blind, chain says unknown root", {CERT_TRUST_IS_UNTRUSTED_ROOT, false, false, false, false, true, 0},
       tcpUntrusted},
      {"CA file root, other name", {CERT_TRUST_IS_UNTRUSTED_ROOT, true, true, false, false, false, 0}, tcpNameMismatch},
      {"policy on the name", {0, false, false, false, false, true, CERT_E_CN_NO_MATCH}, tcpNameMismatch},
      {"CA file root, expired", {CERT_TRUST_IS_UNTRUSTED_ROOT | CERT_TRUST_IS_NOT_TIME_VALID, true, true, false, false,
                                 true, 0},
       tcpExpired},
      {"not yet valid", {CERT_TRUST_IS_NOT_TIME_VALID, false, false, false, true, true, CERT_E_EXPIRED}, tcpNotYetValid},
      {"revoked", {CERT_TRUST_IS_REVOKED, false, false, false, false, true, CRYPT_E_REVOKED}, tcpRevoked},
      {"bad signature", {CERT_TRUST_IS_NOT_SIGNATURE_VALID, false, false, false, false, true, TRUST_E_CERT_SIGNATURE},
       tcpOther},
      {"wrong usage by the policy alone", {0, false, false, false, false, true, CERT_E_WRONG_USAGE}, tcpOther},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(CertificateProblem(c.facts), c.problem);
  }
}

}  // namespace
