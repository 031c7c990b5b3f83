#include "net/net_stack_windows.h"

#include <algorithm>
#include <cstring>
#include <mutex>

#include "core/format.h"
#include "core/utf16.h"
#include "net/net_component.h"
#include "net/net_exception.h"
#include "net/net_host_name.h"
#include "net/net_ip_text.h"
#include "net/net_poll.h"
#include "net/net_socket_errors.h"
#include "net/net_strings.h"
#include "net/net_winsock.h"

#include <mstcpip.h>  // after Winsock

namespace tarvo::net {

const int Net_SOL_SOCKET = SOL_SOCKET;
const int Net_SO_REUSEADDR = SO_REUSEADDR;
const int Net_SO_TYPE = SO_TYPE;
const int Net_SO_KEEPALIVE = SO_KEEPALIVE;
const int Net_IPPROTO_TCP = IPPROTO_TCP;
const int Net_TCP_NODELAY = TCP_NODELAY;

std::unique_ptr<TNetStack> NetMakeSystemStack() { return std::make_unique<TNetStackWindows>(); }

int TNetStack::AddressFamily(TNetIPVersion version) {
  switch (version) {
    case Net_IPv4: return AF_INET;
    case Net_IPv6: return AF_INET6;
  }
  throw ENetIPVersionUnsupported();
}

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

// Socket address for connect and bind; an empty ip leaves the address zero (any).
int MakeSockAddr(const std::string& ip, TNetIPVersion version, std::uint16_t port, sockaddr_storage& addr) {
  std::memset(&addr, 0, sizeof addr);
  if (version == Net_IPv4) {
    auto* a4 = reinterpret_cast<sockaddr_in*>(&addr);
    a4->sin_family = AF_INET;
    a4->sin_port = htons(port);
    if (!ip.empty() && !NetIPv4Bytes(ip, reinterpret_cast<std::uint8_t*>(&a4->sin_addr.s_addr)))
      RaiseSocketErrorCode(Net_WSAEINVAL);
    return sizeof(sockaddr_in);
  }
  if (version == Net_IPv6) {
    auto* a6 = reinterpret_cast<sockaddr_in6*>(&addr);
    a6->sin6_family = AF_INET6;
    a6->sin6_port = htons(port);
    if (!ip.empty()) {
      std::uint16_t groups[8];
      if (!NetIPv6Groups(ip, groups)) RaiseSocketErrorCode(Net_WSAEINVAL);
      for (int i = 0; i < 8; ++i) {
        a6->sin6_addr.s6_addr[2 * i] = static_cast<std::uint8_t>(groups[i] >> 8);
        a6->sin6_addr.s6_addr[2 * i + 1] = static_cast<std::uint8_t>(groups[i] & 0xFF);
      }
    }
    return sizeof(sockaddr_in6);
  }
  throw ENetIPVersionUnsupported();
}

void AddressText(const sockaddr_storage& addr, std::string& ip, std::uint16_t& port, TNetIPVersion& version) {
  if (addr.ss_family == AF_INET6) {
    const auto* a6 = reinterpret_cast<const sockaddr_in6*>(&addr);
    ip = NetIPv6Text(a6->sin6_addr.s6_addr);
    port = ntohs(a6->sin6_port);
    version = Net_IPv6;
  } else {
    const auto* a4 = reinterpret_cast<const sockaddr_in*>(&addr);
    ip = NetIPv4Text(reinterpret_cast<const std::uint8_t*>(&a4->sin_addr.s_addr));
    port = ntohs(a4->sin_port);
    version = Net_IPv4;
  }
}

// Waits for a pending connect to end within timeoutMS (negative: no limit): 1 when it has
// (made or failed: SO_ERROR says which), 0 when the time ran out. select() rather than
// WSAPoll here: a refused connect shows in select's exception set on every Windows, while
// WSAPoll reports it only from Windows 10 version 2004 on.
int WaitConnected(SOCKET s, int timeoutMS) {
  fd_set writable;
  fd_set failed;
  FD_ZERO(&writable);
  FD_ZERO(&failed);
  FD_SET(s, &writable);
  FD_SET(s, &failed);
  timeval limit{timeoutMS / 1000, (timeoutMS % 1000) * 1000};
  int rc = ::select(0, nullptr, &writable, &failed, timeoutMS >= 0 ? &limit : nullptr);
  if (rc == SOCKET_ERROR) RaiseSocketErrorCode(::WSAGetLastError());
  return rc > 0 ? 1 : 0;
}

bool ConnectPending(int code) { return code == Net_WSAEWOULDBLOCK || code == Net_WSAEINPROGRESS; }

}  // namespace

TNetStackWindows::TNetStackWindows() { GWinsock.Start(); }

int TNetStackWindows::WSGetLastError() {
  int code = ::WSAGetLastError();
  return code == kHostUnreachableStatus ? Net_WSAEHOSTUNREACH : code;
}

std::string TNetStackWindows::LookupHostAddress(const std::string& name, TNetIPVersion version) {
  if (version != Net_IPv4 && version != Net_IPv6) throw ENetIPVersionUnsupported();
  if (name.empty() || NetIsReservedInvalidName(name)) RaiseSocketError(Net_WSAHOST_NOT_FOUND);
  if (name.find('\0') != std::string::npos) RaiseSocketError(Net_WSAHOST_NOT_FOUND);

  std::string query = NetHostNameToASCII(name);
  if (NetIsReservedInvalidName(query)) RaiseSocketError(Net_WSAHOST_NOT_FOUND);

  ADDRINFOW hints{};
  hints.ai_family = AddressFamily(version);
  hints.ai_socktype = SOCK_STREAM;
  ADDRINFOW* result = nullptr;
  const std::wstring wide = core::Utf8ToWide(query);
  int rc = ::GetAddrInfoW(wide.c_str(), nullptr, &hints, &result);
  if (rc != 0) {
    int lastError = ::WSAGetLastError();
    if (result != nullptr) ::FreeAddrInfoW(result);
    RaiseSocketError(NetResolverErrorToSocketError(rc, lastError));
  }
  std::string text;
  for (ADDRINFOW* ai = result; ai != nullptr && text.empty(); ai = ai->ai_next) {
    if (ai->ai_family == AF_INET && version == Net_IPv4)
      text = NetIPv4Text(reinterpret_cast<const std::uint8_t*>(&reinterpret_cast<sockaddr_in*>(ai->ai_addr)->sin_addr.s_addr));
    else if (ai->ai_family == AF_INET6 && version == Net_IPv6)
      text = NetIPv6Text(reinterpret_cast<sockaddr_in6*>(ai->ai_addr)->sin6_addr.s6_addr);
  }
  ::FreeAddrInfoW(result);
  if (text.empty()) RaiseSocketError(Net_WSAHOST_NOT_FOUND);
  return text;
}

void TNetStackWindows::Connect(TNetStackSocketHandle handle, const std::string& ip, TNetIPVersion version,
                               std::uint16_t port) {
  sockaddr_storage addr;
  int len = MakeSockAddr(ip, version, port, addr);
  SOCKET s = NetNativeSocket(handle);
  if (::connect(s, reinterpret_cast<sockaddr*>(&addr), len) == 0) return;
  int code = WSGetLastError();
  if (!ConnectPending(code)) RaiseSocketError(code);
  // A socket switched to non-blocking mode connects in the background: wait for the end.
  WaitConnected(s, -1);
  int error = GetSocketOption(handle, SOL_SOCKET, SO_ERROR);
  if (error != 0) RaiseSocketError(error);
}

bool TNetStackWindows::ConnectWithTimeout(TNetStackSocketHandle handle, const std::string& ip, TNetIPVersion version,
                                          std::uint16_t port, int timeoutMS) {
  sockaddr_storage addr;
  int len = MakeSockAddr(ip, version, port, addr);
  SOCKET s = NetNativeSocket(handle);
  // A non-blocking connect that we wait for: giving up is then just closing the socket,
  // with no thread left blocked in the system call.
  SetBlocking(handle, false);
  if (::connect(s, reinterpret_cast<sockaddr*>(&addr), len) != 0) {
    int code = WSGetLastError();
    if (!ConnectPending(code)) {
      SetBlocking(handle, true);
      RaiseSocketError(code);
    }
    const TNetDeadline deadline(timeoutMS);
    int step = 125;
    if (TNetAntiFreezeBase::ShouldUse()) step = std::min(step, std::max(1, TNetAntiFreezeBase::Instance()->IdleTimeOut()));
    for (;;) {
      if (deadline.Expired()) return false;
      int rc = WaitConnected(s, deadline.Remaining(step));
      TNetAntiFreezeBase::DoProcess();
      if (rc > 0) break;
    }
    int error = GetSocketOption(handle, SOL_SOCKET, SO_ERROR);
    if (error != 0) {
      SetBlocking(handle, true);
      RaiseSocketError(error);
    }
  }
  SetBlocking(handle, true);
  return true;
}

void TNetStackWindows::Bind(TNetStackSocketHandle handle, const std::string& ip, TNetIPVersion version,
                            std::uint16_t port) {
  sockaddr_storage addr;
  int len = MakeSockAddr(ip, version, port, addr);
  if (::bind(NetNativeSocket(handle), reinterpret_cast<sockaddr*>(&addr), len) != 0) RaiseLastSocketError();
}

void TNetStackWindows::Disconnect(TNetStackSocketHandle handle) {
  WSShutdown(handle, SD_SEND);
  WSCloseSocket(handle);
}

void TNetStackWindows::GetSocketName(TNetStackSocketHandle handle, std::string& ip, std::uint16_t& port,
                                     TNetIPVersion& version) {
  sockaddr_storage addr{};
  int len = sizeof addr;
  if (::getsockname(NetNativeSocket(handle), reinterpret_cast<sockaddr*>(&addr), &len) != 0) RaiseLastSocketError();
  AddressText(addr, ip, port, version);
}

void TNetStackWindows::GetPeerName(TNetStackSocketHandle handle, std::string& ip, std::uint16_t& port,
                                   TNetIPVersion& version) {
  sockaddr_storage addr{};
  int len = sizeof addr;
  if (::getpeername(NetNativeSocket(handle), reinterpret_cast<sockaddr*>(&addr), &len) != 0) RaiseLastSocketError();
  AddressText(addr, ip, port, version);
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

bool TNetStackWindows::SupportsIPv6() { return CheckIPVersionSupport(Net_IPv6); }

}  // namespace tarvo::net
