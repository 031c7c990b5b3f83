#include "tls/tls_errors.h"

#include "core/format.h"
#include "tls/tls_strings.h"

namespace tarvo::tls {

namespace {

std::string ProblemText(TTlsCertificateProblem problem, const std::string& host, const std::string& detail) {
  const core::TResourceString* text = nullptr;
  switch (problem) {
    case tcpUntrusted: text = &STlsUntrusted; break;
    case tcpSelfSigned: text = &STlsSelfSigned; break;
    case tcpNameMismatch: text = &STlsNameMismatch; break;
    case tcpExpired: text = &STlsExpired; break;
    case tcpNotYetValid: text = &STlsNotYetValid; break;
    case tcpRevoked: text = &STlsRevoked; break;
    case tcpOther: text = &STlsCertificateOther; break;
  }
  std::string message = core::Format(core::LoadResString(*text), {host});
  // The library's own words only where ours say nothing more than "refused".
  return problem != tcpOther || detail.empty() ? message : message + " (" + detail + ")";
}

}  // namespace

ETlsTruncated::ETlsTruncated() : net::ENetStreamCut(core::LoadResString(STlsTruncated)) {}

ETlsCertificateError::ETlsCertificateError(TTlsCertificateProblem problem, const std::string& host,
                                           const std::string& detail)
    : ETlsError(ProblemText(problem, host, detail)), FProblem(problem), FHost(host) {}

}  // namespace tarvo::tls
