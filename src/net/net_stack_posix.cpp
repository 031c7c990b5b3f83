#include "net/net_stack_posix.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "net/net_component.h"
#include "net/net_exception.h"
#include "net/net_host_name.h"
#include "net/net_ip_text.h"
#include "net/net_poll.h"
#include "net/net_socket_errors.h"

namespace tarvo::net {

const int Net_SOL_SOCKET = SOL_SOCKET;
const int Net_SO_REUSEADDR = SO_REUSEADDR;
const int Net_SO_TYPE = SO_TYPE;
const int Net_SO_KEEPALIVE = SO_KEEPALIVE;
const int Net_IPPROTO_TCP = IPPROTO_TCP;
const int Net_TCP_NODELAY = TCP_NODELAY;

std::unique_ptr<TNetStack> NetMakeSystemStack() { return std::make_unique<TNetStackPosix>(); }

int TNetStack::AddressFamily(TNetIPVersion version) {
  switch (version) {
    case Net_IPv4: return AF_INET;
    case Net_IPv6: return AF_INET6;
  }
  throw ENetIPVersionUnsupported();
}

namespace {

// Socket address for connect and bind; an empty ip leaves the address zero (any).
socklen_t MakeSockAddr(const std::string& ip, TNetIPVersion version, std::uint16_t port, sockaddr_storage& addr) {
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

int WaitFor(int fd, short events, int timeoutMS) {
  TNetPollFd p{fd, events, 0};
  return NetPoll(&p, 1, timeoutMS);
}

}  // namespace

TNetStackPosix::TNetStackPosix() = default;

int TNetStackPosix::WSGetLastError() { return NetErrnoToSocketError(errno); }

std::string TNetStackPosix::WSTranslateSocketErrorMsg(int code) { return TranslateSocketErrorMsg(code); }

std::string TNetStackPosix::LookupHostAddress(const std::string& name, TNetIPVersion version) {
  if (version != Net_IPv4 && version != Net_IPv6) throw ENetIPVersionUnsupported();
  if (name.empty() || NetIsReservedInvalidName(name)) RaiseSocketError(Net_WSAHOST_NOT_FOUND);
  if (name.find('\0') != std::string::npos) RaiseSocketError(Net_WSAHOST_NOT_FOUND);

  std::string query = NetHostNameToASCII(name);
  if (NetIsReservedInvalidName(query)) RaiseSocketError(Net_WSAHOST_NOT_FOUND);

  addrinfo hints{};
  hints.ai_family = AddressFamily(version);
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* result = nullptr;
  int rc = ::getaddrinfo(query.c_str(), nullptr, &hints, &result);
  if (rc != 0) {
    int savedErrno = errno;
    if (result != nullptr) ::freeaddrinfo(result);
    RaiseSocketError(NetResolverErrorToSocketError(rc, savedErrno));
  }
  std::string text;
  for (addrinfo* ai = result; ai != nullptr && text.empty(); ai = ai->ai_next) {
    if (ai->ai_family == AF_INET && version == Net_IPv4)
      text = NetIPv4Text(reinterpret_cast<const std::uint8_t*>(&reinterpret_cast<sockaddr_in*>(ai->ai_addr)->sin_addr.s_addr));
    else if (ai->ai_family == AF_INET6 && version == Net_IPv6)
      text = NetIPv6Text(reinterpret_cast<sockaddr_in6*>(ai->ai_addr)->sin6_addr.s6_addr);
  }
  ::freeaddrinfo(result);
  if (text.empty()) RaiseSocketError(Net_WSAHOST_NOT_FOUND);
  return text;
}

void TNetStackPosix::Connect(TNetStackSocketHandle handle, const std::string& ip, TNetIPVersion version,
                             std::uint16_t port) {
  sockaddr_storage addr;
  socklen_t len = MakeSockAddr(ip, version, port, addr);
  if (::connect(handle, reinterpret_cast<sockaddr*>(&addr), len) == 0) return;
  if (errno != EINTR && errno != EINPROGRESS) RaiseLastSocketError();
  // An interrupted (or non-blocking) connect goes on in the background: wait for its end.
  WaitFor(handle, NetPollOut, -1);
  int error = GetSocketOption(handle, SOL_SOCKET, SO_ERROR);
  if (error != 0) RaiseSocketError(NetErrnoToSocketError(error));
}

bool TNetStackPosix::ConnectWithTimeout(TNetStackSocketHandle handle, const std::string& ip, TNetIPVersion version,
                                        std::uint16_t port, int timeoutMS) {
  sockaddr_storage addr;
  socklen_t len = MakeSockAddr(ip, version, port, addr);
  // A non-blocking connect that we wait for: giving up is then just closing the socket,
  // with no thread left blocked in the system call.
  SetBlocking(handle, false);
  if (::connect(handle, reinterpret_cast<sockaddr*>(&addr), len) != 0) {
    if (errno != EINPROGRESS && errno != EINTR) {
      int code = WSGetLastError();
      SetBlocking(handle, true);
      RaiseSocketError(code);
    }
    const TNetDeadline deadline(timeoutMS);
    int step = 125;
    if (TNetAntiFreezeBase::ShouldUse()) step = std::min(step, std::max(1, TNetAntiFreezeBase::Instance()->IdleTimeOut()));
    for (;;) {
      if (deadline.Expired()) return false;
      int wait = deadline.Remaining(step);
      int rc = WaitFor(handle, NetPollOut, wait);
      TNetAntiFreezeBase::DoProcess();
      if (rc > 0) break;
    }
    int error = GetSocketOption(handle, SOL_SOCKET, SO_ERROR);
    if (error != 0) {
      SetBlocking(handle, true);
      RaiseSocketError(NetErrnoToSocketError(error));
    }
  }
  SetBlocking(handle, true);
  return true;
}

void TNetStackPosix::Bind(TNetStackSocketHandle handle, const std::string& ip, TNetIPVersion version,
                          std::uint16_t port) {
  sockaddr_storage addr;
  socklen_t len = MakeSockAddr(ip, version, port, addr);
  if (::bind(handle, reinterpret_cast<sockaddr*>(&addr), len) != 0) RaiseLastSocketError();
}

void TNetStackPosix::Disconnect(TNetStackSocketHandle handle) {
  WSShutdown(handle, SHUT_WR);
  WSCloseSocket(handle);
}

void TNetStackPosix::GetSocketName(TNetStackSocketHandle handle, std::string& ip, std::uint16_t& port,
                                   TNetIPVersion& version) {
  sockaddr_storage addr{};
  socklen_t len = sizeof addr;
  if (::getsockname(handle, reinterpret_cast<sockaddr*>(&addr), &len) != 0) RaiseLastSocketError();
  AddressText(addr, ip, port, version);
}

void TNetStackPosix::GetPeerName(TNetStackSocketHandle handle, std::string& ip, std::uint16_t& port,
                                 TNetIPVersion& version) {
  sockaddr_storage addr{};
  socklen_t len = sizeof addr;
  if (::getpeername(handle, reinterpret_cast<sockaddr*>(&addr), &len) != 0) RaiseLastSocketError();
  AddressText(addr, ip, port, version);
}

void TNetStackPosix::SetKeepAliveValues(TNetStackSocketHandle handle, bool enabled, int timeMS, int intervalMS) {
  SetSocketOption(handle, SOL_SOCKET, SO_KEEPALIVE, enabled ? 1 : 0);
  if (!enabled) return;
  SetSocketOption(handle, IPPROTO_TCP, TCP_KEEPIDLE, std::max(1, timeMS / 1000));
  SetSocketOption(handle, IPPROTO_TCP, TCP_KEEPINTVL, std::max(1, intervalMS / 1000));
}

bool TNetStackPosix::SupportsIPv6() { return CheckIPVersionSupport(Net_IPv6); }

}  // namespace tarvo::net
