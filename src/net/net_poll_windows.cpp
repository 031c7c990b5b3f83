#include <vector>

#include "net/net_poll.h"
#include "net/net_socket_errors.h"
#include "net/net_winsock.h"

namespace tarvo::net {

namespace {

// WSAPoll refuses POLLPRI; urgent data is the priority band there.
short ToNative(short events) {
  short native = 0;
  if (events & NetPollIn) native |= POLLRDNORM;
  if (events & NetPollOut) native |= POLLWRNORM;
  if (events & NetPollPri) native |= POLLRDBAND;
  return native;
}

short FromNative(short native) {
  short events = 0;
  if (native & POLLRDNORM) events |= NetPollIn;
  if (native & POLLWRNORM) events |= NetPollOut;
  if (native & POLLRDBAND) events |= NetPollPri;
  if (native & (POLLERR | POLLNVAL)) events |= NetPollError;
  if (native & POLLHUP) events |= NetPollHangUp;
  return events;
}

}  // namespace

int NetPoll(TNetPollFd* fds, std::size_t count, int timeoutMS) {
  const TNetDeadline deadline(timeoutMS);
  if (count == 0) {
    // WSAPoll refuses an empty set; poll() on it just waits.
    ::Sleep(deadline.Limited() ? static_cast<DWORD>(deadline.Remaining()) : INFINITE);
    return 0;
  }
  std::vector<WSAPOLLFD> native(count);
  for (std::size_t i = 0; i < count; ++i) {
    native[i].fd = NetNativeSocket(fds[i].Fd);
    native[i].events = ToNative(fds[i].Events);
    native[i].revents = 0;
  }
  int rc = ::WSAPoll(native.data(), static_cast<ULONG>(count), deadline.Remaining());
  if (rc == SOCKET_ERROR) RaiseSocketErrorCode(::WSAGetLastError());
  for (std::size_t i = 0; i < count; ++i) fds[i].REvents = FromNative(native[i].revents);
  return rc;
}

}  // namespace tarvo::net
