// Winsock's headers and the handle conversion, for the Windows files of the transport.
// Winsock's SOCKET is pointer-sized, but its values are kernel handles, which fit in 32
// bits on every Windows; INVALID_SOCKET is -1 either way.
#pragma once

#include <winsock2.h>
#include <ws2tcpip.h>

#include "net/net_types.h"

namespace tarvo::net {

inline SOCKET NetNativeSocket(TNetStackSocketHandle handle) {
  return handle == Net_INVALID_SOCKET ? INVALID_SOCKET : static_cast<SOCKET>(static_cast<unsigned>(handle));
}

inline TNetStackSocketHandle NetSocketHandle(SOCKET socket) {
  return socket == INVALID_SOCKET ? Net_INVALID_SOCKET : static_cast<TNetStackSocketHandle>(socket);
}

}  // namespace tarvo::net
