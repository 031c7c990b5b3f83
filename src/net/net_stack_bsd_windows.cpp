// The raw socket calls over Winsock 2.
#include "net/net_stack_bsd.h"
#include "net/net_socket_errors.h"
#include "net/net_winsock.h"

namespace tarvo::net {

TNetStackSocketHandle TNetStackBSDBase::NewSocketHandle(int socketType, int protocol, TNetIPVersion version,
                                                        bool overlapped) {
  int family = AddressFamily(version);
  // Child processes must not inherit the connection (the POSIX side's SOCK_CLOEXEC).
  DWORD flags = WSA_FLAG_NO_HANDLE_INHERIT | (overlapped ? WSA_FLAG_OVERLAPPED : 0);
  SOCKET s = ::WSASocketW(family, socketType, protocol, nullptr, 0, flags);
  if (s == INVALID_SOCKET) RaiseLastSocketError();
  return NetSocketHandle(s);
}

int TNetStackBSDBase::WSCloseSocket(TNetStackSocketHandle handle) { return ::closesocket(NetNativeSocket(handle)); }

int TNetStackBSDBase::WSRecv(TNetStackSocketHandle handle, void* buffer, int length) {
  return ::recv(NetNativeSocket(handle), static_cast<char*>(buffer), length, 0);
}

int TNetStackBSDBase::WSSend(TNetStackSocketHandle handle, const void* buffer, int length) {
  return ::send(NetNativeSocket(handle), static_cast<const char*>(buffer), length, 0);
}

int TNetStackBSDBase::WSShutdown(TNetStackSocketHandle handle, int how) {
  return ::shutdown(NetNativeSocket(handle), how);
}

int TNetStackBSDBase::GetSocketOption(TNetStackSocketHandle handle, int level, int option) {
  int value = 0;
  int len = sizeof value;
  if (::getsockopt(NetNativeSocket(handle), level, option, reinterpret_cast<char*>(&value), &len) != 0)
    RaiseLastSocketError();
  return value;
}

void TNetStackBSDBase::SetSocketOption(TNetStackSocketHandle handle, int level, int option, int value) {
  if (::setsockopt(NetNativeSocket(handle), level, option, reinterpret_cast<const char*>(&value), sizeof value) != 0)
    RaiseLastSocketError();
}

void TNetStackBSDBase::SetBlocking(TNetStackSocketHandle handle, bool blocking) {
  u_long nonBlocking = blocking ? 0 : 1;
  if (::ioctlsocket(NetNativeSocket(handle), FIONBIO, &nonBlocking) != 0) RaiseLastSocketError();
}

bool TNetStackBSDBase::CheckIPVersionSupport(TNetIPVersion version) {
  if (version != Net_IPv4 && version != Net_IPv6) return false;
  SOCKET s = ::WSASocketW(AddressFamily(version), SOCK_STREAM, 0, nullptr, 0, WSA_FLAG_NO_HANDLE_INHERIT);
  if (s == INVALID_SOCKET) return false;
  ::closesocket(s);
  return true;
}

}  // namespace tarvo::net
