// Failures of a TLS session, with texts that say what went wrong.
#pragma once

#include <string>

#include "net/net_exception.h"

namespace tarvo::tls {

// The handshake or a record failed: an alert, a cut connection, a protocol error.
class ETlsError : public net::ENetException {
public:
  using net::ENetException::ENetException;
};

// The connection ended without the server's close_notify: what came may be cut short.
class ETlsTruncated : public net::ENetStreamCut {
public:
  ETlsTruncated();
};

// Why a server's certificate was refused.
enum TTlsCertificateProblem { tcpUntrusted, tcpSelfSigned, tcpNameMismatch, tcpExpired, tcpNotYetValid, tcpRevoked, tcpOther };

class ETlsCertificateError : public ETlsError {
public:
  ETlsCertificateError(TTlsCertificateProblem problem, const std::string& host, const std::string& detail = {});
  TTlsCertificateProblem Problem() const noexcept { return FProblem; }
  const std::string& Host() const noexcept { return FHost; }

private:
  TTlsCertificateProblem FProblem;
  std::string FHost;
};

}  // namespace tarvo::tls
