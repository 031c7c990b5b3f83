// Failures of the authentication schemes.
#pragma once

#include "http/net_types.h"

namespace tarvo::http {

// A Digest challenge that names a hash other than MD5 or MD5-sess.
class ENetInvalidAlgorithm : public ENetException {
public:
  ENetInvalidAlgorithm();
};

// The built-in NTLM scheme without OpenSSL's libcrypto (it takes DES from there).
class ENetOSSLCouldNotLoadSSLLibrary : public ENetException {
public:
  ENetOSSLCouldNotLoadSSLLibrary();
};

// A call abandoned on purpose (an NTLM exchange whose server sent no challenge): the
// caller sees an aborted operation, not an error to show.
class ENetAbort : public net::ENetSilentException {
public:
  ENetAbort();
};

}  // namespace tarvo::http
