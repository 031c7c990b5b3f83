#include "net/net_stack_windows.h"

#include <algorithm>
#include <mutex>

#include "core/format.h"
#include "net/net_exception.h"
#include "net/net_socket_api.h"
#include "net/net_socket_errors.h"
#include "net/net_strings.h"

#include <mstcpip.h>  // after Winsock

namespace tarvo::net {

std::unique_ptr<TNetStack> NetMakeSystemStack() { return std::make_unique<TNetStackWindows>(); }

namespace {

// Winsock is started by the first stack of the process and stays started while the
// process lives, so that a stack freed and made again later does not start it a second
// time; WSACleanup runs once at process end.
class TWinsockLibrary {
public:
  void Start() {
    std::lock_guard<std::mutex> guard(FLock);
    if (FStarted) return;
    WSADATA data;
    int rc = ::WSAStartup(MAKEWORD(2, 2), &data);
    if (rc != 0) {
      const std::string title = core::Format(core::LoadResString(RSWinsockLoadError), {"WS2_32.DLL"});
      throw ENetStackInitializationFailed(ENetWinsockStubError(rc, title).Message());
    }
    FStarted = true;
  }
  ~TWinsockLibrary() {
    if (FStarted) ::WSACleanup();
  }

private:
  std::mutex FLock;
  bool FStarted = false;
};

TWinsockLibrary GWinsock;

// A host-unreachable status some systems report in place of the socket error.
constexpr int kHostUnreachableStatus = static_cast<int>(0xC000023D);

}  // namespace

TNetStackWindows::TNetStackWindows() { GWinsock.Start(); }

int TNetStackWindows::WSGetLastError() {
  int code = ::WSAGetLastError();
  return code == kHostUnreachableStatus ? Net_WSAEHOSTUNREACH : code;
}

void TNetStackWindows::SetKeepAliveValues(TNetStackSocketHandle handle, bool enabled, int timeMS, int intervalMS) {
  if (!enabled) {
    SetSocketOption(handle, SOL_SOCKET, SO_KEEPALIVE, 0);
    return;
  }
  tcp_keepalive values{1, static_cast<ULONG>(std::max(1, timeMS)), static_cast<ULONG>(std::max(1, intervalMS))};
  DWORD returned = 0;
  if (::WSAIoctl(NetNativeSocket(handle), SIO_KEEPALIVE_VALS, &values, sizeof values, nullptr, 0, &returned, nullptr,
                 nullptr) != 0)
    RaiseLastSocketError();
}

}  // namespace tarvo::net
