#include "http/auth_exception.h"

#include "http/auth_strings.h"

namespace tarvo::http {

ENetInvalidAlgorithm::ENetInvalidAlgorithm() : ENetException(core::LoadResString(SInvalidAlgorithm)) {}
ENetOSSLCouldNotLoadSSLLibrary::ENetOSSLCouldNotLoadSSLLibrary()
    : ENetException(core::LoadResString(SCouldNotLoadSSLLibrary)) {}
ENetAbort::ENetAbort() : net::ENetSilentException(core::LoadResString(SOperationAborted)) {}

}  // namespace tarvo::http
