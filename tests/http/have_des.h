// Whether the system's DES (libcrypto on Linux, bcrypt.dll on Windows) can be loaded: the
// NTLM suites skip without it.
#pragma once

#include "http/auth_exception.h"
#include "http/des_library.h"

namespace tarvo::http::testing {

inline bool HaveDES() {
  try {
    (void)DESLibrary();
    return true;
  } catch (const ENetOSSLCouldNotLoadSSLLibrary&) {
    return false;
  }
}

}  // namespace tarvo::http::testing
