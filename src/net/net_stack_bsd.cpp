#include "net/net_stack_bsd.h"

#include <algorithm>
#include <cstring>

#include "core/byte_span.h"
#include "net/net_component.h"
#include "net/net_exception.h"
#include "net/net_host_name.h"
#include "net/net_ip_text.h"
#include "net/net_poll.h"
#include "net/net_socket_api.h"
#include "net/net_socket_errors.h"

namespace tarvo::net {

const int Net_SOL_SOCKET = SOL_SOCKET;
const int Net_SO_REUSEADDR = SO_REUSEADDR;
const int Net_SO_TYPE = SO_TYPE;
const int Net_SO_KEEPALIVE = SO_KEEPALIVE;
const int Net_IPPROTO_TCP = IPPROTO_TCP;
const int Net_TCP_NODELAY = TCP_NODELAY;

int TNetStack::AddressFamily(TNetIPVersion version) {
  switch (version) {
    case Net_IPv4: return AF_INET;
    case Net_IPv6: return AF_INET6;
  }
  throw ENetIPVersionUnsupported();
}

TNetSockLen NetMakeSockAddr(const std::string& ip, TNetIPVersion version, std::uint16_t port, sockaddr_storage& addr) {
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

void NetSockAddrText(const sockaddr_storage& addr, std::string& ip, std::uint16_t& port, TNetIPVersion& version) {
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

std::string NetResolvedAddressText(int family, const sockaddr* addr, TNetIPVersion version) {
  if (family == AF_INET && version == Net_IPv4)
    return NetIPv4Text(reinterpret_cast<const std::uint8_t*>(&reinterpret_cast<const sockaddr_in*>(addr)->sin_addr.s_addr));
  if (family == AF_INET6 && version == Net_IPv6)
    return NetIPv6Text(reinterpret_cast<const sockaddr_in6*>(addr)->sin6_addr.s6_addr);
  return {};
}

std::string TNetStackBSDBase::LookupHostAddress(const std::string& name, TNetIPVersion version) {
  if (version != Net_IPv4 && version != Net_IPv6) throw ENetIPVersionUnsupported();
  if (name.empty() || NetIsReservedInvalidName(name)) RaiseSocketError(Net_WSAHOST_NOT_FOUND);
  if (name.find('\0') != std::string::npos) RaiseSocketError(Net_WSAHOST_NOT_FOUND);

  std::string query = NetHostNameToASCII(name);
  if (NetIsReservedInvalidName(query)) RaiseSocketError(Net_WSAHOST_NOT_FOUND);
  return NetSystemLookup(query, version);
}

namespace {

// A connect that goes on in the background: non-blocking (POSIX EINPROGRESS, Winsock
// WSAEWOULDBLOCK) or interrupted by a signal.
bool ConnectPending(int code) {
  return code == Net_WSAEINPROGRESS || code == Net_WSAEWOULDBLOCK || code == Net_WSAEINTR;
}

}  // namespace

int TNetStackBSDBase::ConnectError(TNetStackSocketHandle handle) {
  int error = GetSocketOption(handle, SOL_SOCKET, SO_ERROR);
  return error == 0 ? 0 : NetErrnoToSocketError(error);
}

void TNetStackBSDBase::Connect(TNetStackSocketHandle handle, const std::string& ip, TNetIPVersion version,
                               std::uint16_t port) {
  sockaddr_storage addr;
  TNetSockLen len = NetMakeSockAddr(ip, version, port, addr);
  if (::connect(NetNativeSocket(handle), reinterpret_cast<sockaddr*>(&addr), len) == 0) return;
  int code = WSGetLastError();
  if (!ConnectPending(code)) RaiseSocketError(code);
  NetWaitConnected(handle, -1);
  if (int error = ConnectError(handle)) RaiseSocketError(error);
}

bool TNetStackBSDBase::ConnectWithTimeout(TNetStackSocketHandle handle, const std::string& ip, TNetIPVersion version,
                                          std::uint16_t port, int timeoutMS) {
  sockaddr_storage addr;
  TNetSockLen len = NetMakeSockAddr(ip, version, port, addr);
  // A non-blocking connect that we wait for: giving up is then just closing the socket,
  // with no thread left blocked in the system call.
  SetBlocking(handle, false);
  int error = 0;
  if (::connect(NetNativeSocket(handle), reinterpret_cast<sockaddr*>(&addr), len) != 0) {
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
      int rc = NetWaitConnected(handle, deadline.Remaining(step));
      TNetAntiFreezeBase::DoProcess();
      if (rc > 0) break;
    }
    error = ConnectError(handle);
  }
  SetBlocking(handle, true);
  if (error != 0) RaiseSocketError(error);
  return true;
}

void TNetStackBSDBase::Bind(TNetStackSocketHandle handle, const std::string& ip, TNetIPVersion version,
                            std::uint16_t port) {
  sockaddr_storage addr;
  TNetSockLen len = NetMakeSockAddr(ip, version, port, addr);
  if (::bind(NetNativeSocket(handle), reinterpret_cast<sockaddr*>(&addr), len) != 0) RaiseLastSocketError();
}

void TNetStackBSDBase::Disconnect(TNetStackSocketHandle handle) {
  WSShutdown(handle, Net_SHUT_SEND);
  WSCloseSocket(handle);
}

void TNetStackBSDBase::GetSocketName(TNetStackSocketHandle handle, std::string& ip, std::uint16_t& port,
                                     TNetIPVersion& version) {
  sockaddr_storage addr{};
  TNetSockLen len = sizeof addr;
  if (::getsockname(NetNativeSocket(handle), reinterpret_cast<sockaddr*>(&addr), &len) != 0) RaiseLastSocketError();
  NetSockAddrText(addr, ip, port, version);
}

void TNetStackBSDBase::GetPeerName(TNetStackSocketHandle handle, std::string& ip, std::uint16_t& port,
                                   TNetIPVersion& version) {
  sockaddr_storage addr{};
  TNetSockLen len = sizeof addr;
  if (::getpeername(NetNativeSocket(handle), reinterpret_cast<sockaddr*>(&addr), &len) != 0) RaiseLastSocketError();
  NetSockAddrText(addr, ip, port, version);
}

int TNetStackBSDBase::Receive(TNetStackSocketHandle handle, TNetBytes& buffer) {
  int length = static_cast<int>(std::min<std::size_t>(buffer.size(), 0x7FFFFFFF));
  return CheckForSocketError(WSRecv(handle, buffer.data(), length));
}

int TNetStackBSDBase::Send(TNetStackSocketHandle handle, const TNetBytes& bytes, int size, int offset) {
  const core::TByteSpan span = core::ClampSpan(bytes.size(), size, offset);
  if (span.Count == 0) return 0;
  const int count = static_cast<int>(std::min<std::size_t>(span.Count, 0x7FFFFFFF));
  return CheckForSocketError(WSSend(handle, bytes.data() + span.Offset, count));
}

bool TNetStackBSDBase::WouldBlock(int result) {
  return CheckForSocketError(result, {Net_WSAEWOULDBLOCK}) == Net_WSAEWOULDBLOCK;
}

bool TNetStackBSDBase::SupportsIPv6() { return CheckIPVersionSupport(Net_IPv6); }

}  // namespace tarvo::net
