// On Windows the native numbers already are the Windows socket error numbers.
#include "net/net_socket_errors.h"

namespace tarvo::net {

int NetErrnoToSocketError(int errnoValue) noexcept { return errnoValue; }

int NetResolverErrorToSocketError(int eaiCode, int errnoValue) noexcept {
  // GetAddrInfoW answers with socket error numbers (11001 for an unknown host); the small
  // EAI_* values of BSD resolvers, which some layers hand on, are mapped onto them.
  switch (eaiCode) {
    case 0: return 0;
    case 1: return 0;
    case 2: return Net_WSATRY_AGAIN;
    case 3: return Net_WSAEINVAL;
    case 4: return Net_WSANO_RECOVERY;
    case 5: return Net_WSAEAFNOSUPPORT;
    case 6: return 8;  // not enough memory
    case 7: return Net_WSANO_DATA;
    case 8: return Net_WSAHOST_NOT_FOUND;
    case 9: return 10109;  // class type not found
    case 10: return Net_WSAESOCKTNOSUPPORT;
    case 11: return errnoValue;  // a system error: the last error says which
    default: return eaiCode;
  }
}

}  // namespace tarvo::net
