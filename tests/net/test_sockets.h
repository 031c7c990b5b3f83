// Raw sockets for the test peers, the same calls on both systems: the peers stay
// independent of the transport they test. bind, listen, accept, connect, getsockname and
// the address structures are the system's own (their names agree); what differs is here.
#pragma once

#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

#include <cstddef>

namespace tarvo::net::testing {

#ifdef _WIN32
// Test peers may open sockets before any stack exists.
inline const bool GTestWinsockStarted = [] {
  WSADATA data;
  return ::WSAStartup(MAKEWORD(2, 2), &data) == 0;
}();

// True in a Windows program that Wine runs.
inline bool RunningUnderWine() {
  HMODULE ntdll = ::GetModuleHandleW(L"ntdll.dll");
  return ntdll != nullptr && ::GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

inline int OpenTestSocket(int family) { return static_cast<int>(::socket(family, SOCK_STREAM, 0)); }
inline void CloseTestSocket(int fd) { ::closesocket(static_cast<SOCKET>(fd)); }
inline void SetTestNonBlocking(int fd) {
  u_long on = 1;
  ::ioctlsocket(static_cast<SOCKET>(fd), FIONBIO, &on);
}
inline int WaitTestSocket(int fd, bool forWriting, int timeoutMS) {
  WSAPOLLFD p{static_cast<SOCKET>(fd), static_cast<short>(forWriting ? POLLWRNORM : POLLRDNORM), 0};
  return ::WSAPoll(&p, 1, timeoutMS);
}
inline long SendTestBytes(int fd, const void* data, std::size_t size) {
  return ::send(static_cast<SOCKET>(fd), static_cast<const char*>(data), static_cast<int>(size), 0);
}
inline long ReceiveTestBytes(int fd, void* data, std::size_t size) {
  return ::recv(static_cast<SOCKET>(fd), static_cast<char*>(data), static_cast<int>(size), 0);
}
inline void SetTestOption(int fd, int level, int option, const void* value, int length) {
  ::setsockopt(static_cast<SOCKET>(fd), level, option, static_cast<const char*>(value), length);
}
#else
inline bool RunningUnderWine() { return false; }

inline int OpenTestSocket(int family) { return ::socket(family, SOCK_STREAM | SOCK_CLOEXEC, 0); }
inline void CloseTestSocket(int fd) { ::close(fd); }
inline void SetTestNonBlocking(int fd) { ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL, 0) | O_NONBLOCK); }
inline int WaitTestSocket(int fd, bool forWriting, int timeoutMS) {
  pollfd p{fd, static_cast<short>(forWriting ? POLLOUT : POLLIN), 0};
  return ::poll(&p, 1, timeoutMS);
}
inline long SendTestBytes(int fd, const void* data, std::size_t size) {
  return ::send(fd, data, size, MSG_NOSIGNAL);
}
inline long ReceiveTestBytes(int fd, void* data, std::size_t size) { return ::recv(fd, data, size, 0); }
inline void SetTestOption(int fd, int level, int option, const void* value, int length) {
  ::setsockopt(fd, level, option, value, static_cast<socklen_t>(length));
}
#endif

}  // namespace tarvo::net::testing
