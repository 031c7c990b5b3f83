#include "net/net_stack_bsd.h"

#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>

#include "net/net_poll.h"
#include "net/net_socket_api.h"
#include "net/net_socket_errors.h"

namespace tarvo::net {

std::string NetSystemLookup(const std::string& asciiName, TNetIPVersion version) {
  addrinfo hints{};
  hints.ai_family = TNetStack::AddressFamily(version);
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* result = nullptr;
  int rc = ::getaddrinfo(asciiName.c_str(), nullptr, &hints, &result);
  if (rc != 0) {
    int savedErrno = errno;
    if (result != nullptr) ::freeaddrinfo(result);
    RaiseSocketErrorCode(NetResolverErrorToSocketError(rc, savedErrno));
  }
  std::string text;
  for (addrinfo* ai = result; ai != nullptr && text.empty(); ai = ai->ai_next)
    text = NetResolvedAddressText(ai->ai_family, ai->ai_addr, version);
  ::freeaddrinfo(result);
  if (text.empty()) RaiseSocketErrorCode(Net_WSAHOST_NOT_FOUND);
  return text;
}

int NetWaitConnected(TNetStackSocketHandle handle, int timeoutMS) {
  TNetPollFd p{handle, NetPollOut, 0};
  return NetPoll(&p, 1, timeoutMS) > 0 ? 1 : 0;
}

TNetStackSocketHandle TNetStackBSDBase::NewSocketHandle(int socketType, int protocol, TNetIPVersion version,
                                                        bool /*overlapped*/) {
  int family = AddressFamily(version);
  int fd = ::socket(family, socketType | SOCK_CLOEXEC, protocol);
  if (fd < 0) RaiseLastSocketError();
  return fd;
}

int TNetStackBSDBase::WSCloseSocket(TNetStackSocketHandle handle) { return ::close(handle); }

int TNetStackBSDBase::WSRecv(TNetStackSocketHandle handle, void* buffer, int length) {
  for (;;) {
    ssize_t n = ::recv(handle, buffer, static_cast<std::size_t>(length), 0);
    if (n >= 0) return static_cast<int>(n);
    if (errno != EINTR) return Net_SOCKET_ERROR;
  }
}

int TNetStackBSDBase::WSSend(TNetStackSocketHandle handle, const void* buffer, int length) {
  for (;;) {
    // A peer that has gone must give an error, not a SIGPIPE that ends the program.
    ssize_t n = ::send(handle, buffer, static_cast<std::size_t>(length), MSG_NOSIGNAL);
    if (n >= 0) return static_cast<int>(n);
    if (errno != EINTR) return Net_SOCKET_ERROR;
  }
}

int TNetStackBSDBase::WSShutdown(TNetStackSocketHandle handle, int how) { return ::shutdown(handle, how); }

int TNetStackBSDBase::GetSocketOption(TNetStackSocketHandle handle, int level, int option) {
  int value = 0;
  socklen_t len = sizeof value;
  if (::getsockopt(handle, level, option, &value, &len) != 0) RaiseLastSocketError();
  return value;
}

void TNetStackBSDBase::SetSocketOption(TNetStackSocketHandle handle, int level, int option, int value) {
  if (::setsockopt(handle, level, option, &value, sizeof value) != 0) RaiseLastSocketError();
}

void TNetStackBSDBase::SetBlocking(TNetStackSocketHandle handle, bool blocking) {
  int flags = ::fcntl(handle, F_GETFL, 0);
  if (flags < 0) RaiseLastSocketError();
  flags = blocking ? (flags & ~O_NONBLOCK) : (flags | O_NONBLOCK);
  if (::fcntl(handle, F_SETFL, flags) != 0) RaiseLastSocketError();
}

bool TNetStackBSDBase::CheckIPVersionSupport(TNetIPVersion version) {
  if (version != Net_IPv4 && version != Net_IPv6) return false;
  int fd = ::socket(AddressFamily(version), SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return false;
  ::close(fd);
  return true;
}

}  // namespace tarvo::net
