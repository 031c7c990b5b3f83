// Native errno and resolver values onto the Windows socket error numbers.
#include <netdb.h>

#include <cerrno>

#include "net/net_socket_errors.h"

namespace tarvo::net {

namespace {

struct TErrnoEntry {
  int Errno;
  int Code;
};

#define TARVO_ERRNO_ENTRY(name, number, text) {name, number},
#define TARVO_ERRNO_ALIAS(alias, name) {alias, Net_WSA##name},
// Exact names first, so that EAGAIN and EWOULDBLOCK (one value on Linux) find their own.
const TErrnoEntry kErrnos[] = {TARVO_SOCKET_ERRORS(TARVO_ERRNO_ENTRY) TARVO_SOCKET_ERRNO_ALIASES(TARVO_ERRNO_ALIAS)};
#undef TARVO_ERRNO_ENTRY
#undef TARVO_ERRNO_ALIAS

}  // namespace

int NetErrnoToSocketError(int errnoValue) noexcept {
  if (errnoValue == 0) return 0;
  for (const TErrnoEntry& e : kErrnos)
    if (e.Errno == errnoValue) return e.Code;
  return errnoValue;
}

int NetResolverErrorToSocketError(int eaiCode, int errnoValue) noexcept {
  switch (eaiCode) {
    case 0: return 0;
    case EAI_NONAME: return Net_WSAHOST_NOT_FOUND;
#ifdef EAI_NODATA
    case EAI_NODATA: return Net_WSANO_DATA;
#endif
#ifdef EAI_ADDRFAMILY
    case EAI_ADDRFAMILY: return Net_WSAHOST_NOT_FOUND;
#endif
    case EAI_AGAIN: return Net_WSATRY_AGAIN;
    case EAI_FAIL: return Net_WSANO_RECOVERY;
    case EAI_BADFLAGS: return Net_WSAEINVAL;
    case EAI_FAMILY: return Net_WSAEAFNOSUPPORT;
    case EAI_MEMORY: return 8;  // not enough memory
    case EAI_SERVICE: return 10109;
    case EAI_SOCKTYPE: return Net_WSAESOCKTNOSUPPORT;
    case EAI_SYSTEM: return NetErrnoToSocketError(errnoValue);
    default: return Net_WSANO_RECOVERY;
  }
}

}  // namespace tarvo::net
