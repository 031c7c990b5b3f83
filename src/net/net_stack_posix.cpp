#include "net/net_stack_posix.h"

#include <algorithm>
#include <cerrno>

#include "net/net_socket_api.h"
#include "net/net_socket_errors.h"

namespace tarvo::net {

std::unique_ptr<TNetStack> NetMakeSystemStack() { return std::make_unique<TNetStackPosix>(); }

int TNetStackPosix::WSGetLastError() { return NetErrnoToSocketError(errno); }

void TNetStackPosix::SetKeepAliveValues(TNetStackSocketHandle handle, bool enabled, int timeMS, int intervalMS) {
  SetSocketOption(handle, SOL_SOCKET, SO_KEEPALIVE, enabled ? 1 : 0);
  if (!enabled) return;
  SetSocketOption(handle, IPPROTO_TCP, TCP_KEEPIDLE, std::max(1, timeMS / 1000));
  SetSocketOption(handle, IPPROTO_TCP, TCP_KEEPINTVL, std::max(1, intervalMS / 1000));
}

}  // namespace tarvo::net
