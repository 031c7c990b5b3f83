// The raw socket calls over Winsock 2.
#include "net/net_stack_bsd.h"

#include "core/utf16.h"
#include "net/net_socket_api.h"
#include "net/net_socket_errors.h"

namespace tarvo::net {

std::string NetSystemLookup(const std::string& asciiName, TNetIPVersion version) {
  ADDRINFOW hints{};
  hints.ai_family = TNetStack::AddressFamily(version);
  hints.ai_socktype = SOCK_STREAM;
  ADDRINFOW* result = nullptr;
  const std::wstring wide = core::Utf8ToWide(asciiName);
  int rc = ::GetAddrInfoW(wide.c_str(), nullptr, &hints, &result);
  if (rc != 0) {
    int lastError = ::WSAGetLastError();
    if (result != nullptr) ::FreeAddrInfoW(result);
    RaiseSocketErrorCode(NetResolverErrorToSocketError(rc, lastError));
  }
  std::string text;
  for (ADDRINFOW* ai = result; ai != nullptr && text.empty(); ai = ai->ai_next)
    text = NetResolvedAddressText(ai->ai_family, ai->ai_addr, version);
  ::FreeAddrInfoW(result);
  if (text.empty()) RaiseSocketErrorCode(Net_WSAHOST_NOT_FOUND);
  return text;
}

// select() rather than WSAPoll here: a refused connect shows in select's exception set on
// every Windows, while WSAPoll reports it only from Windows 10 version 2004 on.
int NetWaitConnected(TNetStackSocketHandle handle, int timeoutMS) {
  SOCKET s = NetNativeSocket(handle);
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
