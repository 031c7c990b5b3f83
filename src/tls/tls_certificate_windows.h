// The check of a server's certificate on Windows: Schannel is told to leave it to us (Wine's
// checks nothing), so the chain is built and judged here with crypt32 against the system's
// roots or, instead of them, those of a PEM file (read by certificate_text.h, as the name
// is matched there).
#pragma once

#include <windows.h>

#include <wincrypt.h>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "tls/certificate_text.h"
#include "tls/tls_errors.h"

namespace tarvo::tls {

// The certificates of a CA file; raises ETlsError (STlsCAFileUnreadable) when the file
// cannot be read, is malformed or holds none.
std::vector<TDerCertificate> ReadCAFile(const std::string& fileName);

// Everything the verdict on a chain depends on.
struct TCertificateFacts {
  DWORD ChainErrors = 0;          // CERT_TRUST_STATUS::dwErrorStatus of the chain
  bool CAFileRootsOnly = false;   // a CA file replaces the system's roots
  bool AnchoredByCAFile = false;  // the chain's root is one of the CA file's certificates
  bool SelfSignedLeaf = false;    // a chain of one certificate, issued by itself
  bool NotYetValid = false;       // a certificate of the chain starts in the future
  bool NameMatches = true;
  HRESULT PolicyError = 0;        // of the SSL policy (told to accept the CA file's root)
};

// Nullopt when the certificate is to be trusted.
std::optional<TTlsCertificateProblem> CertificateProblem(const TCertificateFacts& facts);

// Raises ETlsCertificateError when the server's certificate (with the intermediates of its
// store) does not lead to a trusted root (one of caCertificates when there are any), is not
// valid now, or is not for host.
void VerifyServerCertificate(PCCERT_CONTEXT certificate, const std::string& host,
                             const std::vector<TDerCertificate>& caCertificates);

// The system's text for a SECURITY_STATUS or another HRESULT, with the code.
std::string SecurityStatusText(HRESULT status);

}  // namespace tarvo::tls
